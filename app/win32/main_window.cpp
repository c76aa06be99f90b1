#include "app/win32/main_window.h"

#include <algorithm>

#include "app/layout.h"
#include "text/wide_text.h"
#include "web/win32/library_function.h"

namespace tarnwick {

namespace {

using namespace layout;

constexpr wchar_t kClassName[] = L"TarnwickMainWindow";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kIconResource = 1;
constexpr UINT kDpiChanged = 0x02E0;  // WM_DPICHANGED, which older headers lack
constexpr int kFontPoints = 9;

COLORREF Colour(unsigned rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

std::size_t IndexOf(const ControlSpec& spec) {
    return static_cast<std::size_t>(&spec - kControls.data());
}

struct ControlClass {
    const wchar_t* name;
    DWORD style;
    DWORD extendedStyle;
};

ControlClass ClassOf(Kind kind) {
    switch (kind) {
        case Kind::kEditBox:
            return {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case Kind::kGroupBox:
            return {L"BUTTON", BS_GROUPBOX, 0};
        case Kind::kLabel:
            // One line, centred in its height, as the labels are drawn on Linux.
            return {L"STATIC", SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, 0};
        case Kind::kButton:
            return {L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0};
        case Kind::kRadioBox:
            return {L"BUTTON", WS_TABSTOP | BS_AUTORADIOBUTTON, 0};
    }
    return {L"STATIC", 0, 0};
}

// Creation order is the order of the dialog manager's groups: the three radio buttons side by
// side in one group, for the auto radio buttons to clear each other, then the focusable
// controls, then the labels, and the group boxes last, beneath everything they frame.
std::array<const ControlSpec*, kControls.size()> CreationOrder() {
    std::array<const ControlSpec*, kControls.size()> order{};
    std::size_t next = 0;
    for (const std::string_view radio : kRadios) {
        order[next++] = &kControls[detail::FindControl(radio)];
    }
    for (const std::string_view name : kFocusOrder) {
        const ControlSpec& spec = kControls[detail::FindControl(name)];
        if (spec.kind != Kind::kRadioBox) {
            order[next++] = &spec;
        }
    }
    for (const ControlSpec& spec : kControls) {
        if (spec.kind == Kind::kLabel) {
            order[next++] = &spec;
        }
    }
    // The table lists containers before what they contain; an inner box must lie above the
    // outer one, or the outer one's window would clip it away.
    for (auto spec = kControls.rbegin(); spec != kControls.rend(); ++spec) {
        if (spec->kind == Kind::kGroupBox) {
            order[next++] = &*spec;
        }
    }
    return order;
}

// The DPI of the sign-in session: all that Windows 7 and 8 know.
UINT SessionDpi() {
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) {
        ::ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// The DPI of the monitor a window is on: Windows 10's user32 tells it straight, Windows 8.1's
// shcore by the monitor, and Windows 7 knows only the sign-in session's.
UINT WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        LibraryFunction<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        return dpi > 0 ? dpi : SessionDpi();
    }
    using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const auto getDpiForMonitor =
        LibraryFunction<GetDpiForMonitorFunction>(L"shcore.dll", "GetDpiForMonitor");
    constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
    UINT x = 0;
    UINT y = 0;
    if (getDpiForMonitor != nullptr &&
        SUCCEEDED(getDpiForMonitor(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST),
                                   kEffectiveDpi, &x, &y)) &&
        y > 0) {
        return y;
    }
    return SessionDpi();
}

// The window's outer place at a DPI: its size, centred on the work area, clear of the taskbar.
RECT CentredPlace(UINT dpi) {
    const int width = ::MulDiv(kWindowOuterWidth, static_cast<int>(dpi), 96);
    const int height = ::MulDiv(kWindowOuterHeight, static_cast<int>(dpi), 96);
    RECT work{0, 0, width, height};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int left = work.left + (work.right - work.left - width) / 2;
    const int top = work.top + (work.bottom - work.top - height) / 2;
    return {left, top, left + width, top + height};
}

HFONT CreateMessageFont(UINT dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    LOGFONTW font{};
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        font = metrics.lfMessageFont;
    }
    // The message font as it is, at the window's DPI: its face and character set stay the
    // system's, so Latin text keeps that face, and the standard controls' font linking shows the
    // Chinese captions on a Windows of any language.
    font.lfHeight = -::MulDiv(kFontPoints, static_cast<int>(dpi), 72);
    font.lfWidth = 0;
    return ::CreateFontIndirectW(&font);
}

int TextWidth(HWND control, HFONT font) {
    const std::wstring text = [control] {
        std::wstring buffer(256, L'\0');
        buffer.resize(static_cast<std::size_t>(std::max(
            ::GetWindowTextW(control, buffer.data(), static_cast<int>(buffer.size())), 0)));
        return buffer;
    }();
    const HDC dc = ::GetDC(control);
    if (dc == nullptr) {
        return 0;
    }
    const HGDIOBJ previous = ::SelectObject(dc, font);
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, previous);
    ::ReleaseDC(control, dc);
    return static_cast<int>(size.cx) + 2;
}

}  // namespace

Win32MainWindow::Win32MainWindow() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &Win32MainWindow::Procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kClassName;
    if (::RegisterClassExW(&windowClass) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return;
    }
    face_ = ::GetSysColorBrush(COLOR_BTNFACE);
    editBackground_ = ::CreateSolidBrush(Colour(kEditBackground));
    const std::wstring title = WideFromText(kTitle);
    // Made at the session's DPI, then given the DPI of the monitor it opens on: the session's is
    // the DPI at sign-in, not that of a monitor docked or rescaled since.
    dpi_ = SessionDpi();
    RECT place = CentredPlace(dpi_);
    ::CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, title.c_str(), kWindowStyle, place.left,
                      place.top, place.right - place.left, place.bottom - place.top, nullptr,
                      nullptr, instance, this);
    if (window_ == nullptr) {
        return;
    }
    if (const UINT monitor = WindowDpi(window_); monitor != dpi_) {
        dpi_ = monitor;
        place = CentredPlace(dpi_);
        ::SetWindowPos(window_, nullptr, place.left, place.top, place.right - place.left,
                       place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    font_ = CreateMessageFont(dpi_);
    CreateControls();
    PlaceControls();
    ::SendMessageW(Control(kRadios[0]), BM_SETCHECK, BST_CHECKED, 0);
}

Win32MainWindow::~Win32MainWindow() {
    if (window_ != nullptr) {
        ::DestroyWindow(window_);
    }
    if (font_ != nullptr) {
        ::DeleteObject(font_);
    }
    if (editBackground_ != nullptr) {
        ::DeleteObject(editBackground_);
    }
}

void Win32MainWindow::CreateControls() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    bool groupStart = true;
    for (const ControlSpec* spec : CreationOrder()) {
        const ControlClass kind = ClassOf(spec->kind);
        // A group starts at the first radio button and at the first control after the last.
        DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | kind.style;
        if (groupStart) {
            style |= WS_GROUP;
        }
        groupStart = spec->name == kRadios.back();
        const std::wstring caption = WideFromText(spec->caption);
        const HWND control = ::CreateWindowExW(
            kind.extendedStyle, kind.name, caption.c_str(), style, 0, 0, 0, 0, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(*spec))), instance, nullptr);
        controls_[IndexOf(*spec)] = control;
        if (spec->kind == Kind::kEditBox) {
            // No limit of the box's own: the default would cut long links without a word.
            ::SendMessageW(control, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
        }
    }
}

void Win32MainWindow::PlaceControls() {
    const auto scale = [this](int value) { return ::MulDiv(value, static_cast<int>(dpi_), 96); };
    for (const ControlSpec& spec : kControls) {
        const Rect place = PlaceInClientArea(spec);
        const HWND control = controls_[IndexOf(spec)];
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
        int width = scale(place.width);
        if (spec.kind == Kind::kLabel) {
            // A caption wider than its label at this font runs on rather than being cut.
            width = std::max(width, TextWidth(control, font_));
        }
        ::MoveWindow(control, scale(place.left), scale(place.top), width, scale(place.height),
                     TRUE);
    }
}

HWND Win32MainWindow::Control(std::string_view name) const {
    const std::size_t index = detail::FindControl(name);
    return index < controls_.size() ? controls_[index] : nullptr;
}

namespace {

std::wstring WindowText(HWND control) {
    const int length = ::GetWindowTextLengthW(control);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

}  // namespace

Text Win32MainWindow::LongLink() const {
    return TextFromWide(WindowText(Control(kLongLinkBox)));
}

Text Win32MainWindow::ShortLink() const {
    return TextFromWide(WindowText(Control(kShortLinkBox)));
}

void Win32MainWindow::SetShortLink(const Text& link) {
    const HWND box = Control(kShortLinkBox);
    ::SetWindowTextW(box, WideFromText(link).c_str());
    // The start ("http://") is what the user looks for.
    ::SendMessageW(box, EM_SETSEL, 0, 0);
    ::SendMessageW(box, EM_SCROLLCARET, 0, 0);
}

void Win32MainWindow::SetStatus(const Text& caption) {
    ::SetWindowTextW(Control(kStatusLine), WideFromText(caption).c_str());
}

int Win32MainWindow::SelectedProvider() const {
    for (std::size_t i = 0; i < kRadios.size(); ++i) {
        if (::SendMessageW(Control(kRadios[i]), BM_GETCHECK, 0, 0) == BST_CHECKED) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

bool Win32MainWindow::PreTranslate(const MSG& message) {
    if (message.message != WM_KEYDOWN || window_ == nullptr ||
        (message.hwnd != window_ && ::GetParent(message.hwnd) != window_)) {
        return false;
    }
    if ((::GetKeyState(VK_CONTROL) < 0) || (::GetKeyState(VK_MENU) < 0)) {
        return false;
    }
    if (message.wParam == VK_TAB) {
        MoveFocus(::GetKeyState(VK_SHIFT) >= 0);
        return true;
    }
    // The radio buttons go 1, 2, 3 whatever their places, and an arrow selects where it lands.
    const auto radio = std::find_if(kRadios.begin(), kRadios.end(), [&](std::string_view name) {
        return Control(name) == message.hwnd;
    });
    if (radio == kRadios.end()) {
        return false;
    }
    const auto index = static_cast<std::size_t>(radio - kRadios.begin());
    switch (message.wParam) {
        case VK_RIGHT:
        case VK_DOWN:
            SelectRadio((index + 1) % kRadios.size());
            return true;
        case VK_LEFT:
        case VK_UP:
            SelectRadio((index + kRadios.size() - 1) % kRadios.size());
            return true;
        default:
            return false;
    }
}

void Win32MainWindow::MoveFocus(bool forward) {
    const HWND focus = ::GetFocus();
    const std::size_t count = kFocusOrder.size();
    std::size_t target = forward ? 0 : count - 1;
    for (std::size_t i = 0; i < count; ++i) {
        if (Control(kFocusOrder[i]) == focus) {
            target = (i + (forward ? 1 : count - 1)) % count;
            break;
        }
    }
    // As the dialog manager would, an edit box that takes the focus by the keyboard has its text
    // selected. (WM_NEXTDLGCTL would do it all, but only a dialog's window procedure knows it.)
    const HWND next = Control(kFocusOrder[target]);
    ::SetFocus(next);
    if (::SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
        ::SendMessageW(next, EM_SETSEL, 0, -1);
    }
}

void Win32MainWindow::SelectRadio(std::size_t index) {
    for (std::size_t i = 0; i < kRadios.size(); ++i) {
        ::SendMessageW(Control(kRadios[i]), BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED,
                       0);
    }
    ::SetFocus(Control(kRadios[index]));
}

LRESULT CALLBACK Win32MainWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<Win32MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

void Win32MainWindow::OnCommand(int id, int code) {
    if (code == BN_CLICKED && id == ControlId(layout::Control(kGenerateButton)) && generate_) {
        generate_();
    } else if (code == BN_CLICKED && id == ControlId(layout::Control(kCopyButton)) && copy_) {
        copy_();
    } else if (code == EN_CHANGE && id == ControlId(layout::Control(kLongLinkBox)) &&
               longLinkChanged_) {
        longLinkChanged_(LongLink());
    }
}

// A monitor of another DPI: the window takes the size the system suggests, and the controls
// and their font follow.
void Win32MainWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
    dpi_ = dpi;
    const HFONT old = font_;
    font_ = CreateMessageFont(dpi_);
    ::SetWindowPos(window_, nullptr, suggested.left, suggested.top,
                   suggested.right - suggested.left, suggested.bottom - suggested.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceControls();
    ::DeleteObject(old);
}

LRESULT Win32MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CTLCOLORSTATIC: {
            const auto dc = reinterpret_cast<HDC>(wParam);
            const bool status = reinterpret_cast<HWND>(lParam) == Control(kStatusLine);
            ::SetTextColor(dc, Colour(status ? kStatusColour : kCaptionColour));
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(face_);
        }
        case WM_CTLCOLOREDIT: {
            const auto dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, Colour(kCaptionColour));
            ::SetBkColor(dc, Colour(kEditBackground));
            return reinterpret_cast<LRESULT>(editBackground_);
        }
        case kPostedMessage:
            if (posted_) {
                posted_(wParam);
            }
            return 0;
        case kDpiChanged:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_CLOSE:
            ::DestroyWindow(window_);
            return 0;
        case WM_DESTROY:
            if (destroyed_) {
                destroyed_();
            }
            ::PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY: {
            const HWND window = window_;
            ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            window_ = nullptr;
            return ::DefWindowProcW(window, message, wParam, lParam);
        }
        default:
            return ::DefWindowProcW(window_, message, wParam, lParam);
    }
}

}  // namespace tarnwick
