// The yardstick: the smallest Qt Widgets program that opens a window of the same size. With
// an argument "caption" it also shows one Chinese caption, which tells what drawing CJK text
// alone costs (fonts and shaping) apart from everything else tarnwick does.
#include <QApplication>
#include <QLabel>
#include <QWidget>
#include <cstring>
#include <optional>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(380, 250);
    std::optional<QLabel> caption;
    if (argc > 1 && std::strcmp(argv[1], "caption") == 0) {
        caption.emplace(QStringLiteral("状态："), &window);
        caption->move(31, 183);
    }
    window.show();
    return QApplication::exec();
}
