#include "app/copy_action.h"

#include <QClipboard>
#include <QGuiApplication>

#include "app/main_window.h"
#include "app/text_boundary.h"

namespace tarnwick {

namespace {

constexpr std::string_view kCopySucceeded =
    "\xB8\xB4\xD6\xC6\xB6\xCC\xC1\xB4\xB3\xC9\xB9\xA6\xA3\xA1";  // "复制短链成功！"

}  // namespace

bool ClipboardSetText(const Text& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return false;
    }
    clipboard->setText(QStringFromText(text), QClipboard::Clipboard);
    return true;
}

void OnCopyClicked(MainWindow& window) {
    const Text link = window.ShortLink();
    ClipboardSetText(link);
    window.SetStatus(Text(kCopySucceeded));
}

}  // namespace tarnwick
