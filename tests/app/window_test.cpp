// MainWindow on Qt, its host for the shortening jobs, the Copy action and the pieces of the shell
// that run in process. Clicks, paste, the provider choice and results reaching the window are
// shown by the Xvfb run of the executable (app_process_tests).
#include <QAccessible>
#include <QClipboard>
#include <QGroupBox>
#include <QLineEdit>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <memory>
#include <thread>

#include "app/copy_action.h"
#include "app/layout.h"
#include "app/qt/caption_label.h"
#include "app/qt/main_window.h"
#include "app/qt/text_boundary.h"
#include "app/qt/window_shorten_host.h"
#include "app/qt/window_system.h"
#include "shorten/hosts.h"

using namespace tarnwick;

namespace {

QString Shown(const QWidget* control) {  // what the control shows as its caption or text
    if (const auto* label = qobject_cast<const CaptionLabel*>(control)) {
        return label->Caption();
    }
    return control->property(qobject_cast<const QGroupBox*>(control) ? "title" : "text").toString();
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QtMainWindow> window_;  // a fresh one, shown and active, for every test

    template <typename Control = QWidget>
    Control* Find(const char* name) const {
        return window_->findChild<Control*>(QString::fromUtf8(name));
    }

  private slots:
    void init() {
        window_ = std::make_unique<QtMainWindow>();
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    void cleanup() { window_.reset(); }

    // Place, caption, what a screen reader is told and focus of every control; nothing else is
    // there. Then the window itself as it starts.
    // The places as designed, written out rather than read from the layout table: a control the
    // table moves by mistake shows here and nowhere else. The table's own sums must agree.
    void windowAndControlsAreAsDesigned() {
        using enum QAccessible::Role;
        const struct {
            const char *name, *container;
            QRect clientRect;
            const char *caption, *accessibleName;  // "": the caption
            QAccessible::Role role;
        } rows[] = {
            // clang-format off
            {"分组框1", "MainWindow", {10, 7, 353, 208}, "", "", Grouping},
            {"标签4", "分组框1", {65, 183, 128, 24}, "", "状态", StatusBar},
            {"标签2", "分组框1", {31, 183, 30, 24}, "状态：", "", StaticText},
            {"按钮2", "分组框1", {281, 183, 60, 25}, "复制", "", Button},
            {"按钮1", "分组框1", {211, 183, 60, 25}, "生成", "", Button},
            {"分组框3", "分组框1", {30, 84, 312, 92}, "URL", "", Grouping},
            {"编辑框2", "分组框3", {79, 141, 240, 20}, "", "短链", EditableText},
            {"编辑框1", "分组框3", {79, 108, 240, 20}, "https://www.iana.org/", "长链",
             EditableText},
            {"标签1", "分组框3", {43, 108, 31, 24}, "长链:", "", StaticText},
            {"标签3", "分组框3", {43, 141, 33, 24}, "短链:", "", StaticText},
            {"分组框2", "分组框1", {30, 24, 312, 49}, "接口", "", Grouping},
            {"单选框3", "分组框2", {102, 46, 60, 16}, TARNWICK_PROVIDER3_CAPTION, "", RadioButton},
            {"单选框2", "分组框2", {177, 46, 58, 16}, TARNWICK_PROVIDER2_CAPTION, "", RadioButton},
            {"单选框1", "分组框2", {43, 46, 48, 16}, TARNWICK_PROVIDER1_CAPTION, "", RadioButton},
            // clang-format on
        };
        for (const auto& row : rows) {
            QWidget* control = Find(row.name);
            QCOMPARE(control->parentWidget()->objectName(), QString::fromUtf8(row.container));
            QCOMPARE(QRect(control->mapTo(window_.get(), QPoint(0, 0)), control->size()),
                     row.clientRect);
            const layout::Rect place =
                layout::PlaceInClientArea(layout::kControls[layout::detail::FindControl(row.name)]);
            QCOMPARE(QRect(place.left, place.top, place.width, place.height), row.clientRect);
            QVERIFY(control->isVisibleTo(window_.get()) && control->isEnabled());
            QCOMPARE(Shown(control), QString::fromUtf8(row.caption));
            QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(control);
            QCOMPARE(reader->role(), row.role);
            QCOMPARE(reader->rect(), QRect(control->mapToGlobal(QPoint(0, 0)), control->size()));
            if (QAccessibleTextInterface* text = reader->textInterface(); row.role == StaticText) {
                QVERIFY(text != nullptr && reader->rect().contains(text->characterRect(0)));
            }
            QCOMPARE(
                reader->text(QAccessible::Name),
                QString::fromUtf8(*row.accessibleName != 0 ? row.accessibleName : row.caption));
            // Edit boxes, buttons and radio buttons take the focus; labels and groups do not.
            QCOMPARE(control->focusPolicy() != Qt::NoFocus,
                     row.role == EditableText || row.role == Button || row.role == RadioButton);
        }
        QCOMPARE(window_->findChildren<QWidget*>().size(), std::size(rows));

        // The outer size includes the frame the platform reports (offscreen: 2 pixels a side);
        // before the frame is known the window already has it and is centred, so it maps there.
        const QRect centred = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, QSize(380, 250),
                                                  QGuiApplication::primaryScreen()->geometry());
        QCOMPARE(window_->frameGeometry(), centred);
        QCOMPARE(QtMainWindow().geometry(), centred);
        QCOMPARE(window_->size(),
                 QSize(380, 250).shrunkBy(window_->windowHandle()->frameMargins()));
        QCOMPARE(window_->minimumSize(), window_->maximumSize());
        const auto minimiseAndClose = Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
        QCOMPARE(window_->windowFlags() & (minimiseAndClose | Qt::WindowMaximizeButtonHint),
                 minimiseAndClose);
        QCOMPARE(window_->windowTitle(),
                 QStringLiteral("Tarnwick v" TARNWICK_VERSION "  " TARNWICK_MAKER_HOST));
        QVERIFY(!window_->windowIcon().isNull());
        QCOMPARE(window_->palette().color(QPalette::Window),
                 window_->palette().color(QPalette::Button));
        QCOMPARE(Find<QLineEdit>("编辑框1")->cursorPosition(), 0);
        // No selection shows in an edit box while the window is inactive.
        QCOMPARE(Find("编辑框2")->palette().color(QPalette::Inactive, QPalette::Highlight),
                 QColor(Qt::white));
        QCOMPARE(Find("编辑框2")->palette().color(QPalette::Inactive, QPalette::HighlightedText),
                 QColor(Qt::black));
        QCOMPARE(Find<CaptionLabel>("标签4")->Colour(), QColor(255, 0, 0));
        QCOMPARE(Find<CaptionLabel>("标签2")->Colour(), QColor(Qt::black));
        QVERIFY(!Find<QPushButton>("按钮1")->isDefault());
        QCOMPARE(window_->SelectedProvider(), 1);
    }

    void tabAndArrowsFollowTheWindowOrder() {
        // As at a keyboard, the release goes to wherever the press moved the focus.
        const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QTest::keyPress(QApplication::focusWidget(), key, modifiers);
            QTest::keyRelease(QApplication::focusWidget(), key, modifiers);
            return QApplication::focusWidget()->objectName();
        };
        QStringList order{QApplication::focusWidget()->objectName()};
        while (order.size() < 8) {
            order << press(Qt::Key_Tab);
        }
        while (order.size() < 15) {
            order << press(Qt::Key_Tab, Qt::ShiftModifier);
        }
        // Arrows select and focus in number order, not by geometry, and wrap.
        for (const Qt::Key key :
             {Qt::Key_Right, Qt::Key_Down, Qt::Key_Right, Qt::Key_Left, Qt::Key_Up}) {
            order << press(key);
            QCOMPARE(QStringLiteral("单选框%1").arg(window_->SelectedProvider()), order.back());
        }
        QCOMPARE(order.join(QLatin1Char(' ')),
                 QStringLiteral("单选框1 编辑框1 编辑框2 按钮1 按钮2 单选框2 单选框3 单选框1 "
                                "单选框3 单选框2 按钮2 按钮1 编辑框2 编辑框1 单选框1 "
                                "单选框2 单选框3 单选框1 单选框3 单选框2"));
    }

    // A link longer than Qt's default limit of an edit box stays whole, from the host to the
    // clipboard, and shows its start. Once the window is gone, late work from a worker is
    // dropped, not run on a dead window.
    void longLinksAndLateWorkThroughTheHost() {
        WindowShortenHost host(*window_);
        ShortenHost& jobs = host;
        QCOMPARE(jobs.LongLinkSnapshot(), Text("https://www.iana.org/"));  // the box as it starts
        const QString link =
            QStringLiteral("http://s.example/中") + QString(40000, QLatin1Char('x'));
        Find<QLineEdit>("编辑框1")->setText(QStringLiteral("https://中.example/"));
        jobs.SetShortLink(TextFromQString(link));
        QCOMPARE(Find<QLineEdit>("编辑框2")->cursorPosition(), 0);
        OnCopyClicked(*window_);
        QCOMPARE(QGuiApplication::clipboard()->text(), link);
        QCOMPARE(Shown(Find("标签4")), QStringLiteral("复制短链成功！"));
        // A screen reader's pointer over a character of the status line finds that character.
        QAccessibleTextInterface* status =
            QAccessible::queryAccessibleInterface(Find("标签4"))->textInterface();
        for (int offset = 0; offset < 7; ++offset) {
            QCOMPARE(status->offsetAtPoint(status->characterRect(offset).center()), offset);
        }
        QCOMPARE(status->offsetAtPoint(status->characterRect(6).bottomRight() + QPoint(9, 0)), -1);
        // Painted in red on grey.
        QVERIFY(!Find("标签4")->grab().toImage().allGray());
        jobs.SetStatus("");
        QVERIFY(Shown(Find("标签4")).isEmpty());
        bool ranAfterClose = false;
        std::thread([&] { jobs.PostToGui([&] { ranAfterClose = true; }); }).join();
        window_.reset();
        QCoreApplication::processEvents();
        QVERIFY(!ranAfterClose);
        jobs.SetStatus("late");
        jobs.SetShortLink("late");
        QCOMPARE(jobs.SelectedProvider(), 0);
        QCOMPARE(jobs.LongLinkSnapshot(), Text("https://\xD6\xD0.example/"));
    }

    void windowSystemDetection() {
        // QT_QPA_PLATFORM, DISPLAY, WAYLAND_DISPLAY: is a display server needed and named?
        const std::tuple<const char*, const char*, const char*, bool> rows[] = {
            // clang-format off
            {"", "", "", false}, {"", ":0", "", true}, {"", "", "wayland-0", true},
            {"xcb:nograb", "", "", false}, {"wayland-egl", "", "", false},
            {"offscreen", "", "", true}, {"xcb;offscreen", "", "", true}};
        // clang-format on
        for (const auto& [platform, display, wayland, named] : rows) {
            QCOMPARE(WindowSystemNamed(platform, display, wayland), named);
        }
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
