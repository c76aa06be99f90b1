// Writes, as shell assignments, where the desktop checks click: the centres of the controls in
// the window's client area and the window's outer size, all from the layout table.
#include <cstdio>
#include <string>
#include <string_view>

#include "app/layout.h"

namespace {

using namespace tarnwick::layout;

void PrintCentre(const std::string& variable, std::string_view control) {
    const Rect place = PlaceInClientArea(kControls[detail::FindControl(control)]);
    std::printf("%s=\"%d %d\"\n", variable.c_str(), place.left + place.width / 2,
                place.top + place.height / 2);
}

}  // namespace

int main() {
    std::printf("window_size=\"%d %d\"\n", kWindowOuterWidth, kWindowOuterHeight);
    PrintCentre("long_box", kLongLinkBox);
    PrintCentre("short_box", kShortLinkBox);
    PrintCentre("generate", kGenerateButton);
    PrintCentre("copy", kCopyButton);
    for (std::size_t n = 0; n < kRadios.size(); ++n) {
        PrintCentre("radio_" + std::to_string(n + 1), kRadios[n]);
    }
    return 0;
}
