// The yardstick: the smallest Qt Widgets program that shows what tarnwick's window shows — the
// same window size and title, the same kinds and number of controls at the same places, the
// same Chinese captions — and nothing else: no styling, no icon, no program behind it.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include "shorten/hosts.h"

namespace {

template <typename Control>
Control* Place(Control* control, int left, int top, int width, int height) {
    control->setGeometry(left, top, width, height);
    return control;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Tarnwick v1.0.0  tarnwick.example"));
    window.setFixedSize(380, 250);
    // Parents own their children; the window owns them all.
    auto* frame = Place(new QGroupBox(&window), 10, 7, 353, 208);
    Place(new QLabel(frame), 55, 176, 128, 24);
    Place(new QLabel(QStringLiteral("状态："), frame), 21, 176, 30, 24);
    Place(new QPushButton(QStringLiteral("复制"), frame), 271, 176, 60, 25);
    Place(new QPushButton(QStringLiteral("生成"), frame), 201, 176, 60, 25);
    auto* links = Place(new QGroupBox(QStringLiteral("URL"), frame), 20, 77, 312, 92);
    Place(new QLineEdit(links), 49, 57, 240, 20);
    Place(new QLineEdit(QStringLiteral("https://www.iana.org/"), links), 49, 24, 240, 20);
    Place(new QLabel(QStringLiteral("长链:"), links), 13, 24, 31, 24);
    Place(new QLabel(QStringLiteral("短链:"), links), 13, 57, 33, 24);
    auto* services = Place(new QGroupBox(QStringLiteral("接口"), frame), 20, 17, 312, 49);
    Place(new QRadioButton(QStringLiteral(TARNWICK_PROVIDER3_CAPTION), services), 72, 22, 60, 16);
    Place(new QRadioButton(QStringLiteral(TARNWICK_PROVIDER2_CAPTION), services), 147, 22, 58, 16);
    Place(new QRadioButton(QStringLiteral(TARNWICK_PROVIDER1_CAPTION), services), 13, 22, 48, 16)
        ->setChecked(true);
    window.show();
    return QApplication::exec();
}
