#pragma once
// The window class of the wizard's own containers and pictures: the frames, the two picture
// boxes and the image. A panel fills itself with its colours from the layout table, draws its
// etched rectangle (a frame with a border) or its picture at its top-left corner, and passes its
// children's notifications (commands, colour requests) on to the top-level window, which
// handles them all.

#include <windows.h>

namespace kq::wizard::win32 {

inline constexpr wchar_t panelClassName[] = L"KqWizardPanel";

// Registers the class once per process; false when the system refused.
bool registerPanelClass(HINSTANCE instance);

}  // namespace kq::wizard::win32
