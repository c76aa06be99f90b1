#include "app/copy_action.h"

#include "app/front_end.h"

namespace tarnwick {

namespace {

constexpr std::string_view kCopySucceeded =
    "\xB8\xB4\xD6\xC6\xB6\xCC\xC1\xB4\xB3\xC9\xB9\xA6\xA3\xA1";  // "复制短链成功！"

}  // namespace

void OnCopyClicked(ProgramWindow& window) {
    const Text link = window.ShortLink();
    ClipboardSetText(link);
    window.SetStatus(Text(kCopySucceeded));
}

}  // namespace tarnwick
