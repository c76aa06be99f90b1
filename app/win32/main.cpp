// windows.h before the headers that build on it.
#include <windows.h>

#include <commctrl.h>

#include "app/fatal_error.h"
#include "app/program.h"
#include "app/runtime.h"
#include "web/win32/library_function.h"

int main() {
    tarnwick::InstallFatalErrorReporting();
    // The manifest asks for common controls 6, the visual styles; this loads them. Found by
    // name: an import would load the library before main, ahead of everything else.
    using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    if (const auto init =
            tarnwick::LibraryFunction<InitFunction>(L"comctl32.dll", "InitCommonControlsEx")) {
        init(&controls);
    }
    tarnwick::EnableErrorDialogs();
    tarnwick::StartProgram();
    tarnwick::ExitProgram(0);
}
