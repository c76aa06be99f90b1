// The Win32 front end under Wine: a real window, messages sent to it as the system would, and
// the fatal path and a held clipboard in processes of their own (this program again, in a role
// that an environment variable names).
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/fatal_error.h"
#include "app/front_end.h"
#include "app/layout.h"
#include "app/win32/main_window.h"
#include "app/win32/window_shorten_host.h"
#include "shorten/shorten_job.h"
#include "text/runtime_error.h"
#include "text/wide_text.h"

namespace tarnwick {
namespace {

using namespace layout;

constexpr char kRoleVariable[] = "TARNWICK_TEST_ROLE";
constexpr UINT kDpiChanged = 0x02E0;

const ControlSpec& SpecOf(std::string_view name) {
    return kControls[detail::FindControl(name)];
}

HWND ControlOf(const Win32MainWindow& window, std::string_view name) {
    return ::GetDlgItem(window.Handle(), ControlId(SpecOf(name)));
}

RECT PlaceOf(const Win32MainWindow& window, HWND control) {
    RECT place{};
    ::GetWindowRect(control, &place);
    ::MapWindowPoints(nullptr, window.Handle(), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::DispatchMessageW(&message);
    }
}

// This program again, in a role; its process handle, or null.
HANDLE StartRole(const char* role, const char* test) {
    std::array<wchar_t, MAX_PATH> self{};
    ::GetModuleFileNameW(nullptr, self.data(), MAX_PATH);
    std::wstring command =
        L"\"" + std::wstring(self.data()) + L"\" --gtest_filter=" + WideFromText(test);
    ::SetEnvironmentVariableA(kRoleVariable, role);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const bool started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                          nullptr, nullptr, &startup, &process) != FALSE;
    ::SetEnvironmentVariableA(kRoleVariable, nullptr);
    if (!started) {
        return nullptr;
    }
    ::CloseHandle(process.hThread);
    return process.hProcess;
}

bool InRole(const char* role) {
    const char* value = std::getenv(kRoleVariable);
    return value != nullptr && std::string(value) == role;
}

// Every control where the layout table puts it, at 96 DPI and, after WM_DPICHANGED, at 144; a
// label may run on wider than its place, never narrower.
TEST(Win32Window, ControlsWhereTheLayoutPutsThemAtEachDpi) {
    Win32MainWindow window;
    ASSERT_TRUE(window.IsCreated());
    // At first centred on the work area; then where WM_DPICHANGED suggests.
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT place{(work.left + work.right - kWindowOuterWidth) / 2,
               (work.top + work.bottom - kWindowOuterHeight) / 2, 0, 0};
    place.right = place.left + kWindowOuterWidth;
    place.bottom = place.top + kWindowOuterHeight;
    for (const int dpi : {96, 144}) {
        if (dpi != 96) {
            place = {10, 20, 10 + ::MulDiv(kWindowOuterWidth, dpi, 96),
                     20 + ::MulDiv(kWindowOuterHeight, dpi, 96)};
            ::SendMessageW(window.Handle(), kDpiChanged, MAKEWPARAM(dpi, dpi),
                           reinterpret_cast<LPARAM>(&place));
        }
        RECT outer{};
        ::GetWindowRect(window.Handle(), &outer);
        EXPECT_EQ(std::vector<LONG>({outer.left, outer.top, outer.right, outer.bottom}),
                  std::vector<LONG>({place.left, place.top, place.right, place.bottom}))
            << dpi;
        // Every control in the system's message font as it is, at 9 points for this DPI.
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
        for (const ControlSpec& spec : kControls) {
            LOGFONTW font{};
            const auto handle = reinterpret_cast<HFONT>(
                ::SendMessageW(ControlOf(window, spec.name), WM_GETFONT, 0, 0));
            ASSERT_EQ(::GetObjectW(handle, sizeof(font), &font), static_cast<int>(sizeof(font)));
            EXPECT_EQ(font.lfHeight, -::MulDiv(9, dpi, 72)) << spec.name;
            EXPECT_EQ(std::wstring(font.lfFaceName), metrics.lfMessageFont.lfFaceName);
            EXPECT_EQ(font.lfCharSet, metrics.lfMessageFont.lfCharSet);
        }
        for (const ControlSpec& spec : kControls) {
            const Rect want = PlaceInClientArea(spec);
            const RECT got = PlaceOf(window, ControlOf(window, spec.name));
            const auto scale = [dpi](int value) { return ::MulDiv(value, dpi, 96); };
            const std::string where = std::string(spec.name) + " at " + std::to_string(dpi);
            EXPECT_EQ(got.left, scale(want.left)) << where;
            EXPECT_EQ(got.top, scale(want.top)) << where;
            EXPECT_EQ(got.bottom - got.top, scale(want.height)) << where;
            if (spec.kind == Kind::kLabel) {
                EXPECT_GE(got.right - got.left, scale(want.width)) << where;
            } else {
                EXPECT_EQ(got.right - got.left, scale(want.width)) << where;
            }
        }
    }
}

// Tab and Shift+Tab go the focus order round, wrapping at both ends; the arrow keys take the
// radio buttons 1, 2, 3 round and select where they land.
TEST(Win32Window, KeyboardOrder) {
    Win32MainWindow window;
    ASSERT_TRUE(window.IsCreated());
    ::ShowWindow(window.Handle(), SW_SHOW);
    ::SetForegroundWindow(window.Handle());
    const auto press = [&](WPARAM key, bool shift) {
        std::array<BYTE, 256> keys{};
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        ::SetKeyboardState(keys.data());
        const MSG message{::GetFocus(), WM_KEYDOWN, key, 0, 0, {}};
        const bool handled = window.PreTranslate(message);
        Pump();
        return handled;
    };
    const std::size_t count = kFocusOrder.size();
    ::SetFocus(ControlOf(window, kFocusOrder[0]));
    for (std::size_t step = 1; step <= count; ++step) {
        EXPECT_TRUE(press(VK_TAB, false));
        EXPECT_EQ(::GetFocus(), ControlOf(window, kFocusOrder[step % count])) << step;
    }
    for (std::size_t step = 1; step <= count; ++step) {
        EXPECT_TRUE(press(VK_TAB, true));
        EXPECT_EQ(::GetFocus(), ControlOf(window, kFocusOrder[(count - step) % count])) << step;
    }
    // clang-format off
    const std::array<std::pair<WPARAM, int>, 6> arrows{{
        {VK_RIGHT, 2}, {VK_DOWN, 3}, {VK_RIGHT, 1}, {VK_LEFT, 3}, {VK_UP, 2}, {VK_LEFT, 1}}};
    // clang-format on
    ::SetFocus(ControlOf(window, kRadios[0]));
    for (const auto& [key, provider] : arrows) {
        EXPECT_TRUE(press(key, false));
        EXPECT_EQ(window.SelectedProvider(), provider) << key;
        EXPECT_EQ(::GetFocus(), ControlOf(window, kRadios[provider - 1])) << key;
    }
    ::SetFocus(ControlOf(window, kLongLinkBox));
    EXPECT_FALSE(press(VK_RIGHT, false));  // the edit box's own caret, not the radio buttons
    press(VK_SHIFT, false);
}

// The status line shows its text in red, the other captions in black. (Clicks through the group
// boxes reach their routines in the desktop check, on the real program.)
TEST(Win32Window, TheStatusLineIsRed) {
    Win32MainWindow window;
    ASSERT_TRUE(window.IsCreated());
    window.SetStatus(Text(kStatusFailed));
    const HWND status = ControlOf(window, kStatusLine);
    std::array<wchar_t, 64> caption{};
    ::GetWindowTextW(status, caption.data(), static_cast<int>(caption.size()));
    EXPECT_EQ(std::wstring(caption.data()), WideFromText(kStatusFailed));
    for (const auto& [name, colour] :
         {std::pair{kStatusLine, RGB(0xFF, 0, 0)}, std::pair{kLongLinkLabel, RGB(0, 0, 0)}}) {
        const HWND label = ControlOf(window, name);
        const HDC dc = ::GetDC(label);
        ::SendMessageW(window.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                       reinterpret_cast<LPARAM>(label));
        EXPECT_EQ(::GetTextColor(dc), colour) << name;
        ::ReleaseDC(label, dc);
    }
}

// The jobs' view of the window: the long link as typed, and a result that reaches the window
// while it is there and is dropped once it is gone.
TEST(Win32Window, ResultsAfterTheWindowIsGoneAreDropped) {
    Win32MainWindow window;
    ASSERT_TRUE(window.IsCreated());
    WindowShortenHost host(window);
    // The jobs read the long link from the host's copy, which follows the box.
    EXPECT_EQ(host.LongLinkSnapshot(), kSampleLongLink);
    ::SetWindowTextW(ControlOf(window, kLongLinkBox), L"http://\x4F8B.test/");  // "例"
    EXPECT_EQ(host.LongLinkSnapshot(), "http://\xC0\xFD.test/");
    // A pasted link longer than an edit box takes by default stays whole.
    const Text pasted = "http://a.test/" + Text(40000, 'x');
    ASSERT_TRUE(ClipboardSetText(pasted));
    ::SendMessageW(ControlOf(window, kLongLinkBox), EM_SETSEL, 0, -1);
    ::SendMessageW(ControlOf(window, kLongLinkBox), WM_PASTE, 0, 0);
    EXPECT_EQ(host.LongLinkSnapshot().size(), pasted.size());
    int ran = 0;
    host.PostToGui([&ran] { ++ran; });
    Pump();
    EXPECT_EQ(ran, 1);
    host.PostToGui([&ran] { ++ran; });
    ::DestroyWindow(window.Handle());
    host.PostToGui([&ran] { ++ran; });
    Pump();
    EXPECT_EQ(ran, 1);
}

// Copy waits out another program that holds the clipboard for a moment, and leaves the link
// there as CF_UNICODETEXT.
TEST(Win32Window, CopyWaitsForAHeldClipboard) {
    const HANDLE held = ::CreateEventW(nullptr, TRUE, FALSE, L"TarnwickTestClipboardHeld");
    ASSERT_NE(held, nullptr);
    const HANDLE holder = StartRole("hold-clipboard", "Win32Roles.HoldClipboard");
    ASSERT_NE(holder, nullptr);
    ASSERT_EQ(::WaitForSingleObject(held, 10000), WAIT_OBJECT_0);
    const Text link = "http://\xC0\xFD.test/\xCE\xC4";  // "http://例.test/文"
    EXPECT_TRUE(ClipboardSetText(link));
    ASSERT_TRUE(::OpenClipboard(nullptr));
    const auto* data = static_cast<const wchar_t*>(::GetClipboardData(CF_UNICODETEXT));
    EXPECT_EQ(std::wstring(data != nullptr ? data : L""), WideFromText(link));
    ::CloseClipboard();
    ::WaitForSingleObject(holder, 10000);
    ::CloseHandle(holder);
    ::CloseHandle(held);
}

struct DialogSearch {
    DWORD process;
    HWND dialog;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<DialogSearch*>(data);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    std::array<wchar_t, 16> name{};
    ::GetClassNameW(window, name.data(), static_cast<int>(name.size()));
    if (process == search.process && std::wstring(name.data()) == L"#32770") {
        search.dialog = window;
        return FALSE;
    }
    return TRUE;
}

// The fatal path: one dialog with the composed message, then the end with -1.
TEST(Win32Window, FatalErrorShowsTheDialogAndEndsWithMinusOne) {
    const HANDLE child = StartRole("fail", "Win32Roles.Fail");
    ASSERT_NE(child, nullptr);
    DialogSearch search{::GetProcessId(child), nullptr};
    for (int tries = 0; search.dialog == nullptr && tries < 200; ++tries) {
        ::EnumWindows(&FindDialog, reinterpret_cast<LPARAM>(&search));
        ::WaitForSingleObject(child, 50);  // a pause that ends early should the child end
    }
    ASSERT_NE(search.dialog, nullptr);
    std::array<wchar_t, 256> text{};
    ::GetDlgItemTextW(search.dialog, 0xFFFF, text.data(), static_cast<int>(text.size()));
    EXPECT_EQ(
        std::wstring(text.data()),
        L"\x8FD0\x884C\x65F6\x51FA\x9519!\r\n\r\n\x9519\x8BEF\x4EE3\x7801\xFF1A"
        L"6\r\n\r\n\x9519\x8BEF\x4FE1\x606F\xFF1Ax\r\n");  // 运行时出错! 错误代码：6 错误信息：x
    ::GetWindowTextW(search.dialog, text.data(), static_cast<int>(text.size()));
    EXPECT_EQ(std::wstring(text.data()), L"\x9519\x8BEF");  // "错误"
    ::PostMessageW(search.dialog, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(::WaitForSingleObject(child, 10000), WAIT_OBJECT_0);
    DWORD status = 0;
    ::GetExitCodeProcess(child, &status);
    EXPECT_EQ(status, 0xFFFFFFFFu);
    ::CloseHandle(child);
}

// The roles the tests above start this program in; each does nothing when run as a test.
TEST(Win32Roles, HoldClipboard) {
    if (!InRole("hold-clipboard")) {
        GTEST_SKIP();
    }
    ASSERT_TRUE(::OpenClipboard(nullptr));
    const HANDLE held = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, L"TarnwickTestClipboardHeld");
    ::SetEvent(held);
    ::Sleep(100);  // the scenario itself: a program that holds the clipboard for 100 ms
    ::CloseClipboard();
    ::CloseHandle(held);
}

TEST(Win32Roles, Fail) {
    if (!InRole("fail")) {
        GTEST_SKIP();
    }
    InstallFatalErrorReporting();
    ReportRuntimeError(6, "x");
}

}  // namespace
}  // namespace tarnwick
