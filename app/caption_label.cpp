#include "app/caption_label.h"

#include <QPainter>

namespace tarnwick {

CaptionLabel::CaptionLabel(QWidget* parent, const QString& caption, const QColor& colour)
    : QWidget(parent), caption_(caption), colour_(colour) {
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(caption_);
}

void CaptionLabel::SetCaption(const QString& caption) {
    if (caption == caption_) {
        return;
    }
    caption_ = caption;
    setAccessibleName(caption_);
    update();
}

void CaptionLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(colour_);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, caption_);
}

}  // namespace tarnwick
