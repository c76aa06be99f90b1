#include "app/qt/caption_label.h"

#include <QAccessible>
#include <QFontMetrics>
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
    // A caption wider than its fixed place (状态： in the default CJK font) is squeezed to
    // fit rather than cut; the place keeps its size at every scale factor.
    QRect area = rect();
    const int inkWidth = QFontMetrics(font()).tightBoundingRect(caption_).right() + 1;
    if (inkWidth > width() && width() > 0) {
        painter.scale(static_cast<double>(width()) / inkWidth, 1.0);
        area.setWidth(inkWidth);
    }
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, caption_);
}

}  // namespace tarnwick
