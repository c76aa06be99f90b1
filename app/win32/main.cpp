// windows.h before the headers that build on it.
#include <windows.h>

#include <commctrl.h>

#include "app/fatal_error.h"
#include "app/program.h"
#include "app/runtime.h"

int main() {
    tarnwick::InstallFatalErrorReporting();
    // The manifest asks for common controls 6, the visual styles; this loads them. Found by
    // name: an import would load the library before main, ahead of everything else.
    using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    if (const HMODULE comctl32 = ::LoadLibraryW(L"comctl32.dll")) {
        // GetProcAddress gives every function the one type FARPROC.
        const auto init = reinterpret_cast<InitFunction>(
            reinterpret_cast<void*>(::GetProcAddress(comctl32, "InitCommonControlsEx")));
        const INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
        if (init != nullptr) {
            init(&controls);
        }
    }
    tarnwick::EnableErrorDialogs();
    tarnwick::StartProgram();
    tarnwick::ExitProgram(0);
}
