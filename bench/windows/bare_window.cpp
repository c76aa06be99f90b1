// The yardstick: a bare Win32 window of the same size with the same controls and captions, the
// system's font as it is, under the same manifest (visual styles), and nothing else: no program,
// no jobs, no allocator of its own, no request object.
#include <windows.h>

#include <string>

#include "app/layout.h"
#include "text/code_page.h"
#include "text/code_page_system.h"

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

const wchar_t* ClassName(tarnwick::layout::Kind kind) {
    using tarnwick::layout::Kind;
    switch (kind) {
        case Kind::kEditBox:
            return L"EDIT";
        case Kind::kLabel:
            return L"STATIC";
        default:
            return L"BUTTON";
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Procedure;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = L"BareWindow";
    ::RegisterClassW(&windowClass);
    const HWND window = ::CreateWindowExW(
        0, L"BareWindow", L"Bare window", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
        CW_USEDEFAULT, CW_USEDEFAULT, tarnwick::layout::kWindowOuterWidth,
        tarnwick::layout::kWindowOuterHeight, nullptr, nullptr, instance, nullptr);
    // The system's message font as it is, at 9 points.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    LOGFONTW font = metrics.lfMessageFont;
    font.lfHeight = -12;  // 9 points at 96 DPI
    font.lfWidth = 0;
    const HFONT captions = ::CreateFontIndirectW(&font);
    for (const tarnwick::layout::ControlSpec& spec : tarnwick::layout::kControls) {
        const std::u16string caption = tarnwick::DecodeToUtf16(spec.caption, 936);
        const tarnwick::layout::Rect place = tarnwick::layout::PlaceInClientArea(spec);
        const HWND control = ::CreateWindowExW(
            0, ClassName(spec.kind), reinterpret_cast<const wchar_t*>(caption.c_str()),
            WS_CHILD | WS_VISIBLE, place.left, place.top, place.width, place.height, window,
            nullptr, instance, nullptr);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(captions), FALSE);
    }
    ::ShowWindow(window, SW_SHOW);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
