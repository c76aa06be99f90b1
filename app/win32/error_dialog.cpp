// The Win32 front end's side of the fatal path: the message box, on whichever thread fails.
#include <windows.h>

#include <array>

#include "app/fatal_error.h"
#include "app/runtime.h"
#include "text/runtime_error.h"
#include "text/wide_text.h"

namespace tarnwick {

namespace {

constexpr wchar_t kCaption[] = L"\x9519\x8BEF";  // "错误"

// No owner window: MainWindow keeps working, and other workers go on, while the box waits.
void ShowErrorDialog(int code, std::string_view message) {
    ReleaseMemorySetAside();
    std::array<char, kRuntimeErrorTextBytes> composed;
    const std::wstring text = WideFromText(ComposeRuntimeErrorText(code, message, composed));
    ::MessageBoxW(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace

void InstallFatalErrorReporting() {
    InitRuntime();
    SetMemoryAside();
    SetRuntimeErrorReporter(&ShowErrorDialog);
}

void EnableErrorDialogs() {}

}  // namespace tarnwick
