// What assistive technology reads of a CaptionLabel. The label paints its caption itself, so
// without this Qt offers only an unnamed filler; here it is static text (or a status bar) whose
// name and text are the caption.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>

#include "app/qt/caption_label.h"

namespace tarnwick {

namespace {

class CaptionLabelAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    explicit CaptionLabelAccessible(CaptionLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    QAccessible::Role role() const override {
        return Label()->IsStatusLine() ? QAccessible::StatusBar : QAccessible::StaticText;
    }

    // Qt's fallback for an unnamed widget is the title of the group box around it, which
    // would name both link labels "URL".
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value ||
            (kind == QAccessible::Name && Label()->accessibleName().isEmpty())) {
            return Label()->Caption();
        }
        return QAccessibleWidget::text(kind);
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    // The caption is read-only text without a caret or selection.
    QString text(int startOffset, int endOffset) const override {
        return Label()->Caption().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(Label()->Caption().size()); }
    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = offset;
        *endOffset = offset;
        return {};
    }

    // Where the painted caption puts each character: left-aligned, vertically centred.
    QRect characterRect(int offset) const override {
        const QString caption = Label()->Caption();
        if (offset < 0 || offset >= caption.size()) {
            return {};
        }
        const QFontMetrics metrics(Label()->font());
        const int left = metrics.horizontalAdvance(caption.left(offset));
        const int top = (Label()->height() - metrics.height()) / 2;
        const QRect local(left, top, metrics.horizontalAdvance(caption.at(offset)),
                          metrics.height());
        return local.translated(Label()->mapToGlobal(QPoint(0, 0)));
    }
    int offsetAtPoint(const QPoint& point) const override {
        for (int offset = 0; offset < characterCount(); ++offset) {
            if (characterRect(offset).contains(point)) {
                return offset;
            }
        }
        return -1;
    }

  private:
    CaptionLabel* Label() const { return static_cast<CaptionLabel*>(widget()); }
};

QAccessibleInterface* CaptionLabelFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("tarnwick::CaptionLabel") && object->isWidgetType()) {
        // Qt keeps the interface in its cache and deletes it with the label.
        return new CaptionLabelAccessible(static_cast<CaptionLabel*>(object));
    }
    return nullptr;
}

}  // namespace

void RegisterCaptionLabelAccessibility() {
    static const bool registered = [] {
        QAccessible::installFactory(&CaptionLabelFactory);
        return true;
    }();
    (void)registered;
}

}  // namespace tarnwick
