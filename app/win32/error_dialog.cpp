// The Win32 front end's side of the fatal path: the message box, on whichever thread fails.
#include <windows.h>

#include "app/fatal_error.h"
#include "text/wide_text.h"

namespace tarnwick {

void InstallFrontEndFatalHooks() {}

void EnableErrorDialogs() {}

// No owner window: MainWindow keeps working, and other workers go on, while the box waits.
void ShowFatalError(std::string_view text, bool dialogPossible) {
    if (dialogPossible) {
        ::MessageBoxW(nullptr, WideFromText(text).c_str(), WideFromText(kErrorCaption).c_str(),
                      MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    }
}

}  // namespace tarnwick
