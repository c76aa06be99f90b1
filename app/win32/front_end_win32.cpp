// The Win32 front end: MainWindow, the message loop with the dialog manager, the clipboard.
#include <windows.h>

#include <memory>

#include "app/front_end.h"
#include "app/program_routines.h"
#include "app/win32/main_window.h"
#include "app/win32/window_shorten_host.h"
#include "shorten/never_destroyed.h"
#include "shorten/shorten_job.h"
#include "text/wide_text.h"

namespace tarnwick {

namespace {

struct Win32Program {
    std::unique_ptr<Win32MainWindow> window;
    // Workers may hold the host until the process ends; it is never destroyed.
    std::unique_ptr<WindowShortenHost> host;
};

Win32Program& TheProgram() {
    static NeverDestroyed<Win32Program> program;
    return program.Get();
}

// Frees a global memory block unless the clipboard took it.
struct GlobalBlock {
    HGLOBAL handle;
    ~GlobalBlock() {
        if (handle != nullptr) {
            ::GlobalFree(handle);
        }
    }
};

// Clipboard history, a remote desktop's clipboard and clipboard managers open the clipboard for
// a moment after every change: a few tries over about a quarter of a second get past them.
bool OpenClipboardPatiently(HWND owner) {
    constexpr int kTries = 6;
    constexpr DWORD kPauseMs = 50;
    for (int attempt = 1;; ++attempt) {
        if (::OpenClipboard(owner)) {
            return true;
        }
        if (attempt == kTries) {
            return false;
        }
        ::Sleep(kPauseMs);
    }
}

}  // namespace

bool CreateMainWindow() {
    Win32Program& program = TheProgram();
    program.window = std::make_unique<Win32MainWindow>();
    return program.window->IsCreated();
}

void ShowMainWindow() {
    Win32Program& program = TheProgram();
    Win32MainWindow& window = *program.window;
    program.host = std::make_unique<WindowShortenHost>(window);
    BindProgramRoutines(window, *program.host);
    ::ShowWindow(window.Handle(), SW_SHOW);
    ::UpdateWindow(window.Handle());
    ::SetForegroundWindow(window.Handle());
    ::SetFocus(::GetNextDlgTabItem(window.Handle(), nullptr, FALSE));
}

void RunMessageLoop() {
    Win32Program& program = TheProgram();
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        Win32MainWindow* window = program.window.get();
        if (window != nullptr && window->IsCreated() &&
            (window->PreTranslate(message) || ::IsDialogMessageW(window->Handle(), &message))) {
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    program.window.reset();
}

// As CF_UNICODETEXT: Windows offers CF_TEXT in the reader's own code page beside it, so the link
// pastes the same on a Windows of any language.
bool ClipboardSetText(const Text& text) {
    const std::wstring wide = WideFromText(text);
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    GlobalBlock block{::GlobalAlloc(GMEM_MOVEABLE, bytes)};
    if (block.handle == nullptr) {
        return false;
    }
    void* data = ::GlobalLock(block.handle);
    if (data == nullptr) {
        return false;
    }
    std::copy(wide.c_str(), wide.c_str() + wide.size() + 1, static_cast<wchar_t*>(data));
    ::GlobalUnlock(block.handle);
    const Win32MainWindow* window = TheProgram().window.get();
    if (!OpenClipboardPatiently(window != nullptr ? window->Handle() : nullptr)) {
        return false;
    }
    ::EmptyClipboard();
    const bool taken = ::SetClipboardData(CF_UNICODETEXT, block.handle) != nullptr;
    if (taken) {
        block.handle = nullptr;
    }
    ::CloseClipboard();
    return taken;
}

// The exit handlers touch no control: a worker may run them itself.
void HandExitToGuiThread(int /*exitCode*/) {}

}  // namespace tarnwick
