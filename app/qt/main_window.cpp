#include "app/qt/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QKeyEvent>
#include <QPixmap>
#include <QScreen>
#include <QWindow>
#include <limits>
#include <string_view>

#include "app/layout.h"
#include "app/qt/tarnwick_icon.xpm"
#include "app/qt/text_boundary.h"

namespace tarnwick {

namespace {

using namespace layout;

constexpr auto kWindowFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint;

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Group-box captions sit on the frame's top edge, as in the window's original look, and the
// radio buttons keep the circle close to the caption so a domain name fits in 48 pixels.
QString StyleSheet() {
    const int halfLine = QFontMetrics(QApplication::font()).height() / 2;
    return QStringLiteral(
               "QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
               " margin-top: %1px; }"
               "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
               " left: 7px; padding: 0px 2px; }"
               "QRadioButton { spacing: 2px; }"
               "QRadioButton::indicator { width: 12px; height: 12px; }")
        .arg(halfLine);
}

QWidget* CreateControl(const ControlSpec& spec, QWidget* container) {
    const QString caption = QStringFromText(spec.caption);
    QWidget* control = nullptr;
    switch (spec.kind) {
        case Kind::kEditBox: {
            auto* edit = new QLineEdit(caption, container);
            QPalette colours = edit->palette();
            colours.setColor(QPalette::Base, QColor::fromRgb(kEditBackground));
            colours.setColor(QPalette::Text, QColor::fromRgb(kCaptionColour));
            // Qt drops the selection when focus moves on; this hides it while the whole
            // window is inactive too.
            colours.setColor(QPalette::Inactive, QPalette::Highlight, Qt::white);
            colours.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
            edit->setPalette(colours);
            // No limit of the box's own: Qt's default would cut long links without a word.
            edit->setMaxLength(std::numeric_limits<int>::max());
            edit->setCursorPosition(0);
            control = edit;
            break;
        }
        case Kind::kGroupBox:
            control = new QGroupBox(caption, container);
            break;
        case Kind::kLabel:
            control = new CaptionLabel(
                container, caption,
                QColor::fromRgb(spec.name == kStatusLine ? kStatusColour : kCaptionColour));
            break;
        case Kind::kButton: {
            auto* button = new QPushButton(caption, container);
            button->setAutoDefault(false);
            control = button;
            break;
        }
        case Kind::kRadioBox:
            control = new QRadioButton(caption, container);
            break;
    }
    control->setObjectName(Utf8(spec.name));
    control->setGeometry(spec.left, spec.top, spec.width, spec.height);
    return control;
}

}  // namespace

QtMainWindow::QtMainWindow() : QWidget(nullptr, kWindowFlags) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QString::fromUtf8(kTitle));
    // Decoded straight from the compiled-in image: loading it as a file would read the MIME
    // database and load the image-format plugins, for one small icon.
    setWindowIcon(QIcon(QPixmap(tarnwick_icon)));

    // Button face behind everything, black captions; the edit boxes set their own colours.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Button));
    colours.setColor(QPalette::WindowText, Qt::black);
    colours.setColor(QPalette::ButtonText, Qt::black);
    setPalette(colours);
    setAutoFillBackground(true);
    setStyleSheet(StyleSheet());

    // Client area = outer size while the frame is unknown; FitOuterFrame trims it later.
    setFixedSize(kWindowOuterWidth, kWindowOuterHeight);
    BuildControls();
    MoveToScreenCentre();
}

void QtMainWindow::BuildControls() {
    QHash<QString, QWidget*> byName;
    for (const ControlSpec& spec : kControls) {
        QWidget* container = spec.container.empty() ? this : byName.value(Utf8(spec.container));
        byName.insert(Utf8(spec.name), CreateControl(spec, container));
    }
    // Later siblings paint over earlier ones; lowering each in table order leaves the
    // first-listed control of each container on top.
    for (const ControlSpec& spec : kControls) {
        byName.value(Utf8(spec.name))->lower();
    }
    const auto control = [&byName](std::string_view name) { return byName.value(Utf8(name)); };

    longLink_ = qobject_cast<QLineEdit*>(control(kLongLinkBox));
    shortLink_ = qobject_cast<QLineEdit*>(control(kShortLinkBox));
    status_ = qobject_cast<CaptionLabel*>(control(kStatusLine));
    generate_ = qobject_cast<QPushButton*>(control(kGenerateButton));
    copy_ = qobject_cast<QPushButton*>(control(kCopyButton));
    for (std::size_t i = 0; i < radios_.size(); ++i) {
        radios_[i] = qobject_cast<QRadioButton*>(control(kRadios[i]));
        radios_[i]->installEventFilter(this);
    }
    for (const std::string_view name : kFocusOrder) {
        focusOrder_.push_back(control(name));
    }
    for (std::size_t i = 0; i + 1 < focusOrder_.size(); ++i) {
        QWidget::setTabOrder(focusOrder_[i], focusOrder_[i + 1]);
    }

    radios_[0]->setChecked(true);
    focusOrder_.front()->setFocus();

    connect(generate_, &QPushButton::clicked, this, [this] {
        if (generateRoutine_) {
            generateRoutine_();
        }
    });
    connect(copy_, &QPushButton::clicked, this, [this] {
        if (copyRoutine_) {
            copyRoutine_();
        }
    });
    connect(longLink_, &QLineEdit::textChanged, this, &QtMainWindow::longLinkChanged);
    NameForAssistiveTechnology();
}

// The labels paint their own text, so Qt cannot pair them with the boxes beside them: each box
// takes its label's caption as its name, without the colon, and so does the status line.
void QtMainWindow::NameForAssistiveTechnology() {
    const auto captionOf = [](const ControlSpec& label) {
        QString caption = QStringFromText(label.caption);
        // Plain string tests: a regular expression here would load PCRE2's matcher at start.
        if (caption.endsWith(QLatin1Char(':')) || caption.endsWith(QChar(0xFF1A))) {
            caption.chop(1);
        }
        return caption;
    };
    longLink_->setAccessibleName(captionOf(Control(kLongLinkLabel)));
    shortLink_->setAccessibleName(captionOf(Control(kShortLinkLabel)));
    status_->SetStatusLine(captionOf(Control(kStatusLabel)),
                           QStringLiteral("生成或复制短链的结果"));
}

void QtMainWindow::BindGenerateClick(std::function<void()> routine) {
    generateRoutine_ = std::move(routine);
}

void QtMainWindow::BindCopyClick(std::function<void()> routine) {
    copyRoutine_ = std::move(routine);
}

Text QtMainWindow::LongLink() const {
    return TextFromQString(longLink_->text());
}

Text QtMainWindow::ShortLink() const {
    return TextFromQString(shortLink_->text());
}

void QtMainWindow::SetShortLink(const Text& link) {
    shortLink_->setText(QStringFromText(link));
    // setText leaves the caret at the end; the start ("http://") is what the user looks for.
    shortLink_->setCursorPosition(0);
}

void QtMainWindow::SetStatus(const Text& caption) {
    status_->SetCaption(QStringFromText(caption));
}

int QtMainWindow::SelectedProvider() const {
    for (std::size_t i = 0; i < radios_.size(); ++i) {
        if (radios_[i]->isChecked()) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

bool QtMainWindow::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // The window manager tells the frame only once the window is mapped, by moving or
    // resizing it; that is when the client part can be trimmed to keep the outer size.
    if (event->type() == QEvent::Show || event->type() == QEvent::Move ||
        event->type() == QEvent::Resize) {
        FitOuterFrame();
    }
    return handled;
}

// Qt moves between radio buttons by their geometry (单选框3 sits left of 单选框2); the
// window's own order is 1, 2, 3, and an arrow also selects the button it lands on.
bool QtMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    const auto radio = std::find(radios_.begin(), radios_.end(), watched);
    if (radio == radios_.end()) {
        return QWidget::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        return QWidget::eventFilter(watched, event);
    }
    const int index = static_cast<int>(radio - radios_.begin());
    const int count = static_cast<int>(radios_.size());
    switch (key->key()) {
        case Qt::Key_Right:
        case Qt::Key_Down:
            SelectRadio((index + 1) % count);
            return true;
        case Qt::Key_Left:
        case Qt::Key_Up:
            SelectRadio((index + count - 1) % count);
            return true;
        default:
            return QWidget::eventFilter(watched, event);
    }
}

void QtMainWindow::SelectRadio(int index) {
    QRadioButton* radio = radios_[static_cast<std::size_t>(index)];
    radio->setChecked(true);
    radio->setFocus(Qt::OtherFocusReason);
}

// Every Tab and Shift+Tab in the window ends up here (also the arrow keys on push buttons).
// Qt's own chain would let an exclusive radio group decide where focus goes.
bool QtMainWindow::focusNextPrevChild(bool next) {
    MoveFocusInOrder(next);
    return true;
}

void QtMainWindow::MoveFocusInOrder(bool forward) {
    const int count = static_cast<int>(focusOrder_.size());
    const auto current = std::find(focusOrder_.begin(), focusOrder_.end(), focusWidget());
    int target = forward ? 0 : count - 1;
    if (current != focusOrder_.end()) {
        const int index = static_cast<int>(current - focusOrder_.begin());
        target = (index + (forward ? 1 : count - 1)) % count;
    }
    focusOrder_[static_cast<std::size_t>(target)]->setFocus(forward ? Qt::TabFocusReason
                                                                    : Qt::BacktabFocusReason);
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted()) {
        emit closed();
    }
}

// The outer size is fixed at 380 by 250 with the frame; where the platform reports no frame
// (no window manager, offscreen) the client area takes the whole of it.
void QtMainWindow::FitOuterFrame() {
    const QWindow* handle = windowHandle();
    if (handle == nullptr) {
        return;
    }
    const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    // Qt's own title bar on Wayland keeps its size in device pixels whatever the scale; taken
    // at that size, the client area is the one the layout was drawn for, at every scale.
    const QMargins frame = handle->frameMargins() * (wayland ? handle->devicePixelRatio() : 1.0);
    const QSize client(kWindowOuterWidth - frame.left() - frame.right(),
                       kWindowOuterHeight - frame.top() - frame.bottom());
    if (client.isEmpty()) {
        return;
    }
    if (wayland) {
        FitWaylandFrame(client);
        return;
    }
    if (client == size()) {
        return;
    }
    setFixedSize(client);
    MoveToScreenCentre();
}

// A maximised Wayland window must take the size the compositor configures, or the compositor
// ends the connection, and Qt's own title bar offers maximise whatever the window's flags. So
// the size is only bounded below; the controls keep their places, and the normal state comes
// back at 380 by 250.
void QtMainWindow::FitWaylandFrame(QSize client) {
    if (minimumSize() != client || maximumSize() != QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX)) {
        setMinimumSize(client);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) && size() != client) {
        resize(client);
    }
}

void QtMainWindow::MoveToScreenCentre() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect whole = screen->geometry();
    // For a window, move() places the frame's top-left corner.
    move(whole.x() + (whole.width() - kWindowOuterWidth) / 2,
         whole.y() + (whole.height() - kWindowOuterHeight) / 2);
}

}  // namespace tarnwick
