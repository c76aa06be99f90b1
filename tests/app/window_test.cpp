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
#include "app/runtime.h"
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

void Click(const QWidget& window, const char* name) {
    QTest::mouseClick(Find(window, name), Qt::LeftButton);
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MainWindow> window_;  // a fresh one, shown and active, for every test

  private slots:
    void init() {
        window_ = std::make_unique<MainWindow>();
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    void cleanup() { window_.reset(); }

    void controlsSitAtTheirPlacesWithTheirCaptions_data() {
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("clientRect");
        QTest::addColumn<QString>("caption");  // null: a provider's name of 4 to 6 characters
        const auto row = [](const char* name, const char* container, QRect rect, const char* text) {
            QTest::newRow(name) << QString::fromUtf8(container) << rect
                                << (text != nullptr ? QString::fromUtf8(text) : QString());
        };
        row("分组框1", "MainWindow", {10, 7, 353, 208}, "");
        row("标签4", "分组框1", {65, 183, 128, 24}, "");
        row("标签2", "分组框1", {31, 183, 30, 24}, "状态：");
        row("按钮2", "分组框1", {281, 183, 60, 25}, "复制");
        row("按钮1", "分组框1", {211, 183, 60, 25}, "生成");
        row("分组框3", "分组框1", {30, 84, 312, 92}, "URL");
        row("编辑框2", "分组框3", {79, 141, 240, 20}, "");
        row("编辑框1", "分组框3", {79, 108, 240, 20}, "https://www.iana.org/");
        row("标签1", "分组框3", {43, 108, 31, 24}, "长链:");
        row("标签3", "分组框3", {43, 141, 33, 24}, "短链:");
        row("分组框2", "分组框1", {30, 24, 312, 49}, "接口");
        row("单选框3", "分组框2", {102, 46, 60, 16}, nullptr);
        row("单选框2", "分组框2", {177, 46, 58, 16}, nullptr);
        row("单选框1", "分组框2", {43, 46, 48, 16}, nullptr);
    }
    void controlsSitAtTheirPlacesWithTheirCaptions() {
        QFETCH(QString, container);
        QFETCH(QRect, clientRect);
        QFETCH(QString, caption);
        const QWidget* control = Find(*window_, QTest::currentDataTag());
        QCOMPARE(control->parentWidget()->objectName(), container);
        QCOMPARE(QRect(control->mapTo(window_.get(), QPoint(0, 0)), control->size()), clientRect);
        QVERIFY(control->isVisibleTo(window_.get()) && control->isEnabled());
        const auto* label = qobject_cast<const CaptionLabel*>(control);
        const bool box = qobject_cast<const QGroupBox*>(control) != nullptr;
        const QString shown = label != nullptr
                                  ? label->Caption()
                                  : control->property(box ? "title" : "text").toString();
        if (caption.isNull()) {
            QVERIFY2(shown.size() >= 4 && shown.size() <= 6, qPrintable(shown));
        } else {
            QCOMPARE(shown, caption);
        }
    }

    void windowIsFixedCentredAndTitled() {
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
    }

    // What a screen reader is told of every control, and that it hears a new status caption.
    void assistiveTechnologyReadsEveryControlAndHearsTheStatus() {
        struct Row {
            const char* control;
            QAccessible::Role role;
            const char* name;
        };
        const Row rows[] = {
            {"分组框1", QAccessible::Grouping, ""},
            {"分组框2", QAccessible::Grouping, "接口"},
            {"单选框1", QAccessible::RadioButton, TARNWICK_PROVIDER1_CAPTION},
            {"单选框2", QAccessible::RadioButton, TARNWICK_PROVIDER2_CAPTION},
            {"单选框3", QAccessible::RadioButton, TARNWICK_PROVIDER3_CAPTION},
            {"分组框3", QAccessible::Grouping, "URL"},
            {"标签1", QAccessible::StaticText, "长链:"},
            {"编辑框1", QAccessible::EditableText, "长链"},
            {"标签3", QAccessible::StaticText, "短链:"},
            {"编辑框2", QAccessible::EditableText, "短链"},
            {"按钮1", QAccessible::Button, "生成"},
            {"按钮2", QAccessible::Button, "复制"},
            {"标签2", QAccessible::StaticText, "状态："},
            {"标签4", QAccessible::StatusBar, "状态"},
        };
        for (const Row& row : rows) {
            QAccessibleInterface* control =
                QAccessible::queryAccessibleInterface(Find(*window_, row.control));
            QVERIFY2(control != nullptr, row.control);
            QCOMPARE(control->role(), row.role);
            QCOMPARE(control->text(QAccessible::Name), QString::fromUtf8(row.name));
        }
        QCOMPARE(window_->findChildren<QWidget*>().size(), std::size(rows));

        // Events reach assistive technology only through an active bridge: AT-SPI on xcb (the
        // app_window_accessibility test), which comes up once the bus has answered.
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
        QCOMPARE(heard.size(), std::size_t{1});
        QCOMPARE(heard[0],
                 std::make_pair(QAccessible::TextUpdated, QStringLiteral("生成短链接成功！")));
        QCOMPARE(status->text(QAccessible::Name), QStringLiteral("状态"));
        QCOMPARE(status->textInterface()->text(0, status->textInterface()->characterCount()),
                 QStringLiteral("生成短链接成功！"));
    }

    void initialState() {
        QCOMPARE(Find<QLineEdit>(*window_, "编辑框1")->cursorPosition(), 0);
        QCOMPARE(window_->SelectedProvider(), 1);
        QVERIFY(!Find<QRadioButton>(*window_, "单选框2")->isChecked() &&
                !Find<QRadioButton>(*window_, "单选框3")->isChecked());
        QCOMPARE(Find<CaptionLabel>(*window_, "标签4")->Colour(), QColor(255, 0, 0));
        QCOMPARE(Find<CaptionLabel>(*window_, "标签2")->Colour(), QColor(Qt::black));
        QVERIFY(!Find<QPushButton>(*window_, "按钮1")->isDefault());
        for (const QWidget* control : window_->findChildren<QWidget*>()) {
            const bool takesFocus = qobject_cast<const QLineEdit*>(control) != nullptr ||
                                    qobject_cast<const QAbstractButton*>(control) != nullptr;
            QCOMPARE(control->focusPolicy() != Qt::NoFocus, takesFocus);
        }
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
        const std::array keys{Qt::Key_Right, Qt::Key_Down, Qt::Key_Right, Qt::Key_Left, Qt::Key_Up};
        const std::array radios{2, 3, 1, 3, 2};
        for (std::size_t i = 0; i < keys.size(); ++i) {
            QCOMPARE(Press(keys[i]), QStringLiteral("单选框%1").arg(radios[i]));
            QCOMPARE(window_->SelectedProvider(), radios[i]);
        }
    }

    void radiosExcludeEachOtherAndButtonsRunTheirBoundRoutines() {
        int generate = 0;
        Click(*window_, "按钮1");  // nothing bound yet
        window_->BindGenerateClick([&generate] { ++generate; });
        Click(*window_, "单选框3");
        QCOMPARE(window_->SelectedProvider(), 3);
        QVERIFY(!Find<QRadioButton>(*window_, "单选框1")->isChecked());
        Click(*window_, "单选框2");
        QCOMPARE(window_->SelectedProvider(), 2);
        QVERIFY(!Find<QRadioButton>(*window_, "单选框3")->isChecked());
        QCOMPARE(generate, 0);
        Click(*window_, "按钮1");
        QCOMPARE(generate, 1);

        // Copy takes whatever 编辑框2 holds: a set link, typed text, nothing.
        window_->BindCopyClick([this] { OnCopyClicked(*window_); });
        auto* shortLink = Find<QLineEdit>(*window_, "编辑框2");
        auto* status = Find<CaptionLabel>(*window_, "标签4");
        const auto copy = [&] {  // the status line, then the clipboard
            status->SetCaption(QString());
            Click(*window_, "按钮2");
            return status->Caption() + QLatin1Char('|') +
                   QGuiApplication::clipboard()->text(QClipboard::Clipboard);
        };
        window_->SetShortLink("http://a.test/Xy7");
        QCOMPARE(copy(), QStringLiteral("复制短链成功！|http://a.test/Xy7"));
        shortLink->clear();
        QTest::keyClicks(shortLink, QStringLiteral("typed "));
        QTest::sendKeyEvent(QTest::Click, shortLink, Qt::Key_unknown, QStringLiteral("短链"),
                            Qt::NoModifier);
        QCOMPARE(copy(), QStringLiteral("复制短链成功！|typed 短链"));
        shortLink->clear();
        QCOMPARE(copy(), QStringLiteral("复制短链成功！|"));
    }

    void editBoxesKeepLongTextsWholeAndShowTheirStart() {
        const QString link = QStringLiteral("http://a.test/") + QString(40000, QLatin1Char('x'));
        window_->SetShortLink(TextFromQString(link));
        auto* shortLink = Find<QLineEdit>(*window_, "编辑框2");
        QCOMPARE(shortLink->text(), link);
        QCOMPARE(shortLink->cursorPosition(), 0);
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
        jobs.SetShortLink("http://c.test/1");
        QCOMPARE(Find<QLineEdit>(*window_, "编辑框2")->text(), QStringLiteral("http://c.test/1"));
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

    void exitHandlersAreListedOnceAndRunInOrder() {
        static std::string calls;
        RegisterExitHandler([] { calls += 'a'; });
        const ExitHandler second = [] { calls += 'b'; };
        RegisterExitHandler(second);
        RegisterExitHandler(second);
        RunExitHandlers();
        RunExitHandlers();
        QCOMPARE(calls, std::string("ab"));
    }

    void errorTextsForTheDialogAndTheTerminal() {
        const Text stackError =
            "\xB5\xF7\xD3\xC3\x44\x4C\x4C\xC3\xFC\xC1\xEE\xBA\xF3\xB7\xA2"
            "\xCF\xD6\xB6\xD1\xD5\xBB\xB4\xED\xCE\xF3";  // "调用DLL命令后发现堆栈错误"
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
        // QT_QPA_PLATFORM, DISPLAY, WAYLAND_DISPLAY: a display server is needed and named?
        QVERIFY(!WindowSystemNamed("", "", ""));
        QVERIFY(WindowSystemNamed("", ":0", "") && WindowSystemNamed("", "", "wayland-0"));
        QVERIFY(!WindowSystemNamed("xcb:nograb", "", "") &&
                !WindowSystemNamed("wayland-egl", "", ""));
        QVERIFY(WindowSystemNamed("offscreen", "", "") &&
                WindowSystemNamed("xcb;offscreen", "", ""));
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
