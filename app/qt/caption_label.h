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

    // Assistive technology sees this label as a status line: a fixed name and description,
    // with the caption as its text.
    void SetStatusLine(const QString& name, const QString& description);
    bool IsStatusLine() const { return statusLine_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString caption_;
    QColor colour_;
    bool statusLine_ = false;
};

// Makes the captions readable to assistive technology; called once before any label is shown.
void RegisterCaptionLabelAccessibility();

}  // namespace tarnwick
