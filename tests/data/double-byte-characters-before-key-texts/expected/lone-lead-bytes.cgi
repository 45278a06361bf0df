#!/usr/bin/perl
BEGIN {
    $KQPATH = '.';
    my $pgm = $0;
    $pgm =~s/\\/\//g;
    $pgm =~s/^.*\/([^\/]+)$/$1/g;
    unless (-e $KQPATH.'/'.$pgm) {
        foreach ($0, $ENV{'SCRIPT_FILENAME'}, $ENV{'PATH_TRANSLATED'}) {
            s!\\!/!g; s/^(.*)\/[^\/]+$/$1/g;
            if (-e $_ . '/' .$pgm) { $KQPATH = $_; last; }
        }
    }
    unshift (@INC, "$KQPATH");
}
use CGI;
require "a.pl";
eval {
($0 =~ m,(.*)/[^/]+,)   and unshift (@INC, "$1");
($0 =~ m,(.*)\\[^\\]+,) and unshift (@INC, "$1");
($0 =~ m,[/\\],)        or unshift (@INC, ".");
require "b.pl"};
if (my $err = $@) {
    print header(-charset=>gb2312); print start_html(-title=>"KQ7100 ³ö´í£¡");
    print "²»ÄÜ¹»ÕÒµ½ÎÄ¼ş£º$err\nÇë¸ü¸ÄÃ¿¸ö³ÌĞòÖĞµÄ require Óï¾ä£¬ÌîÈë¾ø¶ÔÂ·¾¶£¡";
    print end_html; exit;
}
$q = new KQCGI;
# kqcgi CGI kqcgi
