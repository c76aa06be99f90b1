#include "app/copy_action.h"

#include <QClipboard>
#include <QGuiApplication>

#include "app/app_texts.h"
#include "app/main_window.h"
#include "app/text_boundary.h"

namespace tarnwick {

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
