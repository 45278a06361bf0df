// kqwizard: the wizard window. Everything happens in the window; the program ends when it closes.

#include <windows.h>

#include <commctrl.h>

#include "com_apartment.hpp"
#include "wizard_window.hpp"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int showCommand) {
    const kq::wizard::win32::ComApartment com;
    INITCOMMONCONTROLSEX commonControls{sizeof commonControls,
                                        ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&commonControls);

    kq::wizard::win32::WizardWindow wizard(instance);
    return wizard.run(showCommand);
}
