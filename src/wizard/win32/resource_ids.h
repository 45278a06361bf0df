/* Identifiers of the program's resources, shared by res/kqwizard.rc.in and the window code.
   Plain C preprocessor definitions: the resource compiler reads this file too. */
#ifndef KQ_WIZARD_RESOURCE_IDS_H
#define KQ_WIZARD_RESOURCE_IDS_H

/* NOLINTBEGIN(cppcoreguidelines-macro-usage): the resource compiler knows no constants. */

/* The program icon: icon group 1, also the window's icon. */
#define KQ_ICON_PROGRAM 1

/* The left banner and the top banner's small picture, each drawn once for
   96 dots per inch and once at twice that resolution for larger scales. */
#define KQ_BITMAP_BANNER 101
#define KQ_BITMAP_BANNER_2X 102
#define KQ_BITMAP_HEADER 103
#define KQ_BITMAP_HEADER_2X 104
/* NOLINTEND(cppcoreguidelines-macro-usage) */

#endif
