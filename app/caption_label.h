// A label that paints its own caption: one line, left-aligned, vertically centred, "&" drawn
// as it is, in the colour it was given, on its container's background.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace tarnwick {

class CaptionLabel final : public QWidget {
    Q_OBJECT

  public:
    explicit CaptionLabel(QWidget* parent, const QString& caption = {},
                          const QColor& colour = Qt::black);

    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    QColor Colour() const { return colour_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString caption_;
    QColor colour_;
};

}  // namespace tarnwick
