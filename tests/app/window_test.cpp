// MainWindow, its host for the shortening jobs, the Copy action and the pieces of the shell
// that run in process.
#include <QAccessible>
#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <memory>
#include <string>
#include <thread>

#include "app/app_texts.h"
#include "app/caption_label.h"
#include "app/copy_action.h"
#include "app/fatal_error.h"
#include "app/main_window.h"
#include "app/text_boundary.h"
#include "app/window_shorten_host.h"
#include "app/window_system.h"
#include "shorten/hosts.h"
#include "text/runtime_error.h"

using namespace tarnwick;

namespace {

template <typename Control = QWidget>
Control* Find(const QWidget& window, const char* name) {
    auto* control = window.findChild<Control*>(QString::fromUtf8(name));
    if (control == nullptr) {
        qFatal("no control %s", name);
    }
    return control;
}

QString Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    return QApplication::focusWidget()->objectName();
}

QString Shown(const QWidget* control) {  // what the control shows as its caption or text
    if (const auto* label = qobject_cast<const CaptionLabel*>(control)) {
        return label->Caption();
    }
    return control->property(qobject_cast<const QGroupBox*>(control) ? "title" : "text").toString();
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MainWindow> window_;  // a fresh one, shown and active, for every test

    void Click(const char* name) { QTest::mouseClick(Find(*window_, name), Qt::LeftButton); }

  private slots:
    void init() {
        window_ = std::make_unique<MainWindow>();
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    void cleanup() { window_.reset(); }

    // Place, caption, and what a screen reader is told, of every control; nothing else is there.
    void everyControlSitsAtItsPlaceWithItsCaption() {
        using enum QAccessible::Role;
        const struct {
            const char *name, *container;
            QRect clientRect;
            const char *caption, *accessibleName;
            QAccessible::Role role;
        } rows[] = {
            {"分组框1", "MainWindow", {10, 7, 353, 208}, "", "", Grouping},
            {"标签4", "分组框1", {65, 183, 128, 24}, "", "状态", StatusBar},
            {"标签2", "分组框1", {31, 183, 30, 24}, "状态：", "状态：", StaticText},
            {"按钮2", "分组框1", {281, 183, 60, 25}, "复制", "复制", Button},
            {"按钮1", "分组框1", {211, 183, 60, 25}, "生成", "生成", Button},
            {"分组框3", "分组框1", {30, 84, 312, 92}, "URL", "URL", Grouping},
            {"编辑框2", "分组框3", {79, 141, 240, 20}, "", "短链", EditableText},
            {"编辑框1",
             "分组框3",
             {79, 108, 240, 20},
             "https://www.iana.org/",
             "长链",
             EditableText},
            {"标签1", "分组框3", {43, 108, 31, 24}, "长链:", "长链:", StaticText},
            {"标签3", "分组框3", {43, 141, 33, 24}, "短链:", "短链:", StaticText},
            {"分组框2", "分组框1", {30, 24, 312, 49}, "接口", "接口", Grouping},
            {"单选框3",
             "分组框2",
             {102, 46, 60, 16},
             TARNWICK_PROVIDER3_CAPTION,
             nullptr,
             RadioButton},
            {"单选框2",
             "分组框2",
             {177, 46, 58, 16},
             TARNWICK_PROVIDER2_CAPTION,
             nullptr,
             RadioButton},
            {"单选框1",
             "分组框2",
             {43, 46, 48, 16},
             TARNWICK_PROVIDER1_CAPTION,
             nullptr,
             RadioButton},
        };
        for (const auto& row : rows) {
            QWidget* control = Find(*window_, row.name);
            QCOMPARE(control->parentWidget()->objectName(), QString::fromUtf8(row.container));
            QCOMPARE(QRect(control->mapTo(window_.get(), QPoint(0, 0)), control->size()),
                     row.clientRect);
            QVERIFY(control->isVisibleTo(window_.get()) && control->isEnabled());
            QCOMPARE(Shown(control), QString::fromUtf8(row.caption));
            QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(control);
            QCOMPARE(reader->role(), row.role);
            QCOMPARE(reader->text(QAccessible::Name),
                     QString::fromUtf8(row.accessibleName ? row.accessibleName : row.caption));
            // Edit boxes, buttons and radio buttons take the focus; labels and groups do not.
            QCOMPARE(control->focusPolicy() != Qt::NoFocus,
                     row.role == EditableText || row.role == Button || row.role == RadioButton);
        }
        QCOMPARE(window_->findChildren<QWidget*>().size(), std::size(rows));
        for (const char* caption :
             {TARNWICK_PROVIDER1_CAPTION, TARNWICK_PROVIDER2_CAPTION, TARNWICK_PROVIDER3_CAPTION}) {
            QVERIFY(QString::fromUtf8(caption).size() >= 4 &&
                    QString::fromUtf8(caption).size() <= 6);
        }
    }

    void windowIsFixedCentredTitledAndStartsAsIntended() {
        const MainWindow& window = *window_;
        // The outer size includes the frame the platform reports (offscreen: 2 pixels a side).
        QCOMPARE(window.frameGeometry().size(), QSize(380, 250));
        QCOMPARE(window.size(), QSize(380, 250).shrunkBy(window.windowHandle()->frameMargins()));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(
            window.frameGeometry().topLeft(),
            screen.topLeft() + QPoint((screen.width() - 380) / 2, (screen.height() - 250) / 2));
        const auto minimiseAndClose = Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
        QCOMPARE(window.windowFlags() & (minimiseAndClose | Qt::WindowMaximizeButtonHint),
                 minimiseAndClose);
        QCOMPARE(window.windowTitle(), QStringLiteral("Tarnwick v1.0.0  " TARNWICK_MAKER_HOST));
        QVERIFY(!QIcon(QStringLiteral(":/DEFAULT_ICON")).isNull() && !window.windowIcon().isNull());
        QCOMPARE(window.palette().color(QPalette::Window),
                 window.palette().color(QPalette::Button));
        QCOMPARE(Find<QLineEdit>(window, "编辑框1")->cursorPosition(), 0);
        QCOMPARE(window.SelectedProvider(), 1);
        QVERIFY(!Find<QRadioButton>(window, "单选框2")->isChecked() &&
                !Find<QRadioButton>(window, "单选框3")->isChecked());
        QCOMPARE(Find<CaptionLabel>(window, "标签4")->Colour(), QColor(255, 0, 0));
        QCOMPARE(Find<CaptionLabel>(window, "标签2")->Colour(), QColor(Qt::black));
        QVERIFY(!Find<QPushButton>(window, "按钮1")->isDefault());
    }

    // Events reach assistive technology only through an active bridge: AT-SPI on xcb (the
    // app_window_accessibility test), which comes up once the bus has answered.
    void screenReaderHearsTheStatus() {
        const int bridgeWait =
            qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON") ? 5000 : 0;
        if (!QTest::qWaitFor([] { return QAccessible::isActive(); }, bridgeWait)) {
            QSKIP("no accessibility bridge on this platform; app_window_accessibility hears it");
        }
        QAccessibleInterface* status =
            QAccessible::queryAccessibleInterface(Find(*window_, "标签4"));
        QVERIFY(!status->text(QAccessible::Description).isEmpty());
        static std::vector<std::pair<QAccessible::Event, QString>> heard;
        heard.clear();
        const auto previous = QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
            if (event->object() != nullptr && event->object()->objectName() == "标签4") {
                const bool text = event->type() == QAccessible::TextUpdated;
                heard.emplace_back(
                    event->type(),
                    text ? static_cast<QAccessibleTextUpdateEvent*>(event)->textInserted()
                         : QString());
            }
        });
        window_->SetStatus(TextFromQString(QStringLiteral("生成短链接成功！")));
        window_->SetStatus(TextFromQString(QStringLiteral("生成短链接成功！")));  // no change
        QAccessible::installUpdateHandler(previous);
        QCOMPARE(heard, (std::vector{std::make_pair(QAccessible::TextUpdated,
                                                    QStringLiteral("生成短链接成功！"))}));
        QCOMPARE(status->text(QAccessible::Name), QStringLiteral("状态"));
        QCOMPARE(status->textInterface()->text(0, status->textInterface()->characterCount()),
                 QStringLiteral("生成短链接成功！"));
    }

    void tabAndArrowsFollowTheWindowOrder() {
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("单选框1"));
        const auto tabs = [](Qt::KeyboardModifiers modifiers) {
            QStringList names;
            while (names.size() < 7) {
                names << Press(Qt::Key_Tab, modifiers);
            }
            return names.join(QLatin1Char(' '));
        };
        QCOMPARE(tabs(Qt::NoModifier),
                 QStringLiteral("编辑框1 编辑框2 按钮1 按钮2 单选框2 单选框3 单选框1"));
        QCOMPARE(tabs(Qt::ShiftModifier),
                 QStringLiteral("单选框3 单选框2 按钮2 按钮1 编辑框2 编辑框1 单选框1"));
        QCOMPARE(window_->SelectedProvider(), 1);
        // Arrows select and focus in number order, not by geometry, and wrap.
        const std::pair<Qt::Key, int> arrows[] = {{Qt::Key_Right, 2},
                                                  {Qt::Key_Down, 3},
                                                  {Qt::Key_Right, 1},
                                                  {Qt::Key_Left, 3},
                                                  {Qt::Key_Up, 2}};
        for (const auto& [key, radio] : arrows) {
            QCOMPARE(Press(key), QStringLiteral("单选框%1").arg(radio));
            QCOMPARE(window_->SelectedProvider(), radio);
        }
    }

    void radiosExcludeEachOtherAndButtonsRunTheirBoundRoutines() {
        int generate = 0;
        Click("按钮1");  // nothing bound yet
        window_->BindGenerateClick([&generate] { ++generate; });
        for (const auto& [radio, other, selected] :
             {std::tuple{"单选框3", "单选框1", 3}, {"单选框2", "单选框3", 2}}) {
            Click(radio);
            QCOMPARE(window_->SelectedProvider(), selected);
            QVERIFY(!Find<QRadioButton>(*window_, other)->isChecked());
        }
        QCOMPARE(generate, 0);
        Click("按钮1");
        QCOMPARE(generate, 1);

        // Copy takes whatever 编辑框2 holds: a set link, typed text, nothing.
        window_->BindCopyClick([this] { OnCopyClicked(*window_); });
        auto* shortLink = Find<QLineEdit>(*window_, "编辑框2");
        const auto copy = [&] {  // the status line, then the clipboard
            Find<CaptionLabel>(*window_, "标签4")->SetCaption(QString());
            Click("按钮2");
            return Shown(Find(*window_, "标签4")) + QLatin1Char('|') +
                   QGuiApplication::clipboard()->text();
        };
        window_->SetShortLink("http://s.example/Xy7");
        QCOMPARE(copy(), QStringLiteral("复制短链成功！|http://s.example/Xy7"));
        shortLink->clear();
        QTest::keyClicks(shortLink, QStringLiteral("typed "));
        QTest::sendKeyEvent(QTest::Click, shortLink, Qt::Key_unknown, QStringLiteral("短链"),
                            Qt::NoModifier);
        QCOMPARE(copy(), QStringLiteral("复制短链成功！|typed 短链"));
        shortLink->clear();
        QCOMPARE(copy(), QStringLiteral("复制短链成功！|"));
    }

    void editBoxesKeepLongTextsWholeAndShowTheirStart() {
        const QString link = QStringLiteral("http://s.example/") + QString(40000, QLatin1Char('x'));
        window_->SetShortLink(TextFromQString(link));
        QCOMPARE(Find<QLineEdit>(*window_, "编辑框2")->text(), link);
        QCOMPARE(Find<QLineEdit>(*window_, "编辑框2")->cursorPosition(), 0);
        QGuiApplication::clipboard()->setText(link);
        for (const char* name : {"编辑框1", "编辑框2"}) {
            auto* box = Find<QLineEdit>(*window_, name);
            box->clear();
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(box->text(), link);
        }
    }

    void textBoundaryKeepsEveryCharacter() {
        QCOMPARE(TextFromQString(QStringLiteral("长链")), Text("\xB3\xA4\xC1\xB4"));
        QCOMPARE(QStringFromText(kCopySucceeded), QStringLiteral("复制短链成功！"));
        // Outside code page 936 (GB18030 at the boundary): no "?", and back unchanged.
        const QString address = QStringLiteral("https://例子.test/€ 한 😀");
        QVERIFY(TextFromQString(address).find('?') == Text::npos);
        QCOMPARE(QStringFromText(TextFromQString(address)), address);
        QCOMPARE(TextFromQString(QStringLiteral("ab") + QChar(0) + QStringLiteral("cd")),
                 Text("ab"));
        QCOMPARE(QStringFromText("\xFF"), QString(QChar(0xFFFD)));
    }

    void hostKeepsTheLongLinkAndPostsToTheGuiThread() {
        WindowShortenHost host(*window_);
        ShortenHost& jobs = host;
        QCOMPARE(jobs.LongLinkSnapshot(), Text("https://www.iana.org/"));
        const QString typed = QStringLiteral("https://例子.test/");
        Find<QLineEdit>(*window_, "编辑框1")->setText(typed);
        Text seenByWorker;
        bool ranOnGui = false;
        std::thread([&] {
            seenByWorker = jobs.LongLinkSnapshot();
            jobs.PostToGui([&] { ranOnGui = QThread::currentThread() == qApp->thread(); });
        }).join();
        QCOMPARE(QStringFromText(seenByWorker), typed);
        QVERIFY(!ranOnGui);
        QCoreApplication::processEvents();
        QVERIFY(ranOnGui);
        jobs.SetShortLink("http://s.example/1");
        jobs.SetStatus(Text(kCopySucceeded));
        QCOMPARE(Find<QLineEdit>(*window_, "编辑框2")->text() + Shown(Find(*window_, "标签4")),
                 QStringLiteral("http://s.example/1复制短链成功！"));
        Find<QRadioButton>(*window_, "单选框3")->setChecked(true);
        QCOMPARE(jobs.SelectedProvider(), 3);
        // Once the window is gone, late work from a worker is dropped, not run on a dead window.
        bool ranAfterClose = false;
        std::thread([&] { jobs.PostToGui([&] { ranAfterClose = true; }); }).join();
        window_.reset();
        QCoreApplication::processEvents();
        QVERIFY(!ranAfterClose);
        jobs.SetStatus("late");
        jobs.SetShortLink("late");
        QCOMPARE(jobs.SelectedProvider(), 0);
        QCOMPARE(QStringFromText(jobs.LongLinkSnapshot()), typed);
    }

    void errorTextsForTheDialogAndTheTerminal() {
        const Text stackError = TextFromQString(QStringLiteral("调用DLL命令后发现堆栈错误"));
        QCOMPARE(
            ErrorDialogText(6, stackError),
            QStringLiteral("运行时出错!\n\n错误代码：6\n\n错误信息：调用DLL命令后发现堆栈错误\n"));
        QCOMPARE(ErrorDialogText(0, kLoadWindowFailed),
                 QStringLiteral("运行时出错!\n\n错误信息：载入启动窗口失败\n"));
        // The heap-free composer agrees with the text layer, and stops at its buffer's end.
        std::array<char, 256> buffer;
        for (const auto& [code, message] :
             {std::pair<int, Text>{6, stackError}, {0, Text(kLoadWindowFailed)}, {0, ""}}) {
            QCOMPARE(Text(ComposeErrorText(code, message, buffer)),
                     BuildRuntimeErrorText(code, message));
        }
        std::array<char, 8> small;
        QCOMPARE(ComposeErrorText(6, stackError, small).size(), small.size());
        QCOMPARE(QStringFromText(AllocationFailureMessage(std::size_t{1} << 40).View()),
                 QStringLiteral("分配 1099511627776 字节内存失败!"));
    }

    void windowSystemIsLookedForBeforeQtStarts() {
        // QT_QPA_PLATFORM, DISPLAY, WAYLAND_DISPLAY: is a display server needed and named?
        const std::tuple<const char*, const char*, const char*, bool> rows[] = {
            {"", "", "", false},
            {"", ":0", "", true},
            {"", "", "wayland-0", true},
            {"xcb:nograb", "", "", false},
            {"wayland-egl", "", "", false},
            {"offscreen", "", "", true},
            {"xcb;offscreen", "", "", true}};
        for (const auto& [platform, display, wayland, named] : rows) {
            QCOMPARE(WindowSystemNamed(platform, display, wayland), named);
        }
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
