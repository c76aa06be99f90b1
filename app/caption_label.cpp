#include "app/caption_label.h"

#include <QAccessible>
#include <QPainter>

namespace tarnwick {

CaptionLabel::CaptionLabel(QWidget* parent, const QString& caption, const QColor& colour)
    : QWidget(parent), caption_(caption), colour_(colour) {
    RegisterCaptionLabelAccessibility();
    setFocusPolicy(Qt::NoFocus);
}

void CaptionLabel::SetCaption(const QString& caption) {
    if (caption == caption_) {
        return;
    }
    const QString old = caption_;
    caption_ = caption;
    update();
    // A plain label is named by its caption; the status line keeps its name and changes its
    // text, which is what a screen reader announces.
    if (!statusLine_) {
        QAccessibleEvent named(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&named);
    }
    QAccessibleTextUpdateEvent text(this, 0, old, caption_);
    QAccessible::updateAccessibility(&text);
}

void CaptionLabel::SetStatusLine(const QString& name, const QString& description) {
    statusLine_ = true;
    setAccessibleName(name);
    setAccessibleDescription(description);
}

void CaptionLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(colour_);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, caption_);
}

}  // namespace tarnwick
