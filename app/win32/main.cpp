// windows.h before the headers that build on it.
#include <windows.h>

#include <commctrl.h>

#include "app/fatal_error.h"
#include "app/program.h"
#include "app/runtime.h"

int main() {
    tarnwick::InstallFatalErrorReporting();
    // The manifest asks for common controls 6, the visual styles; this loads them.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    tarnwick::EnableErrorDialogs();
    tarnwick::StartProgram();
    tarnwick::ExitProgram(0);
}
