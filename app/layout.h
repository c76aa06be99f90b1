// MainWindow's layout as data: every control's name, kind, container, place, size and caption.
// Both front ends build the window from it; whatever needs a control's place reads it here too.
// Names are UTF-8, written as themselves; captions are code-page-936 bytes, written as escapes
// with their text beside them, as every code-page text of the program is.
#pragma once

#include <array>
#include <string_view>

#include "shorten/hosts.h"
#include "shorten/providers.h"

namespace tarnwick::layout {

// The controls the program's routines address.
inline constexpr std::string_view kLongLinkBox = "编辑框1";
inline constexpr std::string_view kShortLinkBox = "编辑框2";
inline constexpr std::string_view kStatusLine = "标签4";
inline constexpr std::string_view kGenerateButton = "按钮1";
inline constexpr std::string_view kCopyButton = "按钮2";
// The labels beside them, whose captions name them to assistive technology.
inline constexpr std::string_view kLongLinkLabel = "标签1";
inline constexpr std::string_view kShortLinkLabel = "标签3";
inline constexpr std::string_view kStatusLabel = "标签2";
// Radio button n chooses provider n.
inline constexpr std::array<std::string_view, 3> kRadios{"单选框1", "单选框2", "单选框3"};
// Tab and Shift+Tab go through these, wrapping at both ends.
inline constexpr std::array<std::string_view, 7> kFocusOrder{
    kRadios[0], kLongLinkBox, kShortLinkBox, kGenerateButton, kCopyButton, kRadios[1], kRadios[2]};

inline constexpr const char* kTitle = "Tarnwick v" TARNWICK_VERSION "  " TARNWICK_MAKER_HOST;

// The window's outer size, frame included, in pixels at 96 DPI.
inline constexpr int kWindowOuterWidth = 380;
inline constexpr int kWindowOuterHeight = 250;
// Colours as 0xRRGGBB: captions black on the button face, the status line red, edit boxes
// black on white.
inline constexpr unsigned kCaptionColour = 0x000000;
inline constexpr unsigned kStatusColour = 0xFF0000;
inline constexpr unsigned kEditBackground = 0xFFFFFF;

enum class Kind { kEditBox, kGroupBox, kLabel, kButton, kRadioBox };

struct ControlSpec {
    std::string_view name;
    Kind kind;
    std::string_view container;  // empty: the window's client area
    int left;
    int top;
    int width;
    int height;
    std::string_view caption;
};

inline constexpr std::string_view kSampleLongLink = "https://www.iana.org/";

constexpr std::string_view RadioCaption(ShortLinkProvider provider) {
    return Provider(provider).caption;
}

// In the order in which their containers stack them, topmost first.
inline constexpr std::array<ControlSpec, 14> kControls{{
    {"分组框1", Kind::kGroupBox, "", 10, 7, 353, 208, ""},
    {kStatusLine, Kind::kLabel, "分组框1", 55, 176, 128, 24, ""},
    {kStatusLabel, Kind::kLabel, "分组框1", 21, 176, 30, 24,
     "\xD7\xB4\xCC\xAC\xA3\xBA"},                                                   // "状态："
    {kCopyButton, Kind::kButton, "分组框1", 271, 176, 60, 25, "\xB8\xB4\xD6\xC6"},  // "复制"
    {kGenerateButton, Kind::kButton, "分组框1", 201, 176, 60, 25, "\xC9\xFA\xB3\xC9"},  // "生成"
    {"分组框3", Kind::kGroupBox, "分组框1", 20, 77, 312, 92, "URL"},
    {kShortLinkBox, Kind::kEditBox, "分组框3", 49, 57, 240, 20, ""},
    {kLongLinkBox, Kind::kEditBox, "分组框3", 49, 24, 240, 20, kSampleLongLink},
    {kLongLinkLabel, Kind::kLabel, "分组框3", 13, 24, 31, 24, "\xB3\xA4\xC1\xB4:"},   // "长链:"
    {kShortLinkLabel, Kind::kLabel, "分组框3", 13, 57, 33, 24, "\xB6\xCC\xC1\xB4:"},  // "短链:"
    {"分组框2", Kind::kGroupBox, "分组框1", 20, 17, 312, 49, "\xBD\xD3\xBF\xDA"},     // "接口"
    {kRadios[2], Kind::kRadioBox, "分组框2", 72, 22, 60, 16,
     RadioCaption(ShortLinkProvider::kProvider3)},
    {kRadios[1], Kind::kRadioBox, "分组框2", 147, 22, 58, 16,
     RadioCaption(ShortLinkProvider::kProvider2)},
    {kRadios[0], Kind::kRadioBox, "分组框2", 13, 22, 48, 16,
     RadioCaption(ShortLinkProvider::kProvider1)},
}};

namespace detail {

// The control's index, kControls.size() when there is none. By index, not by pointer: GCC
// cannot compare the pointers that UBSan's checks make of them while compiling.
constexpr std::size_t FindControl(std::string_view name) {
    std::size_t index = 0;
    while (index < kControls.size() && kControls[index].name != name) {
        ++index;
    }
    return index;
}

}  // namespace detail

// Evaluated while compiling: a name that no control has stops the build.
consteval const ControlSpec& Control(std::string_view name) {
    const std::size_t index = detail::FindControl(name);
    if (index == kControls.size()) {
        throw "no control of that name";
    }
    return kControls[index];
}

// The control's number among the window's children, for toolkits that address them by number.
constexpr int ControlId(const ControlSpec& spec) {
    return 1000 + static_cast<int>(detail::FindControl(spec.name));
}

struct Rect {
    int left;
    int top;
    int width;
    int height;
};

// A control's place in the window's client area: its own plus those of its containers.
constexpr Rect PlaceInClientArea(const ControlSpec& spec) {
    Rect place{spec.left, spec.top, spec.width, spec.height};
    for (std::size_t in = detail::FindControl(spec.container); in < kControls.size();
         in = detail::FindControl(kControls[in].container)) {
        place.left += kControls[in].left;
        place.top += kControls[in].top;
    }
    return place;
}

}  // namespace tarnwick::layout
