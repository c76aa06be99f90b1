// MainWindow, its host for the shortening jobs, the Copy action and the pieces of the shell
// that run in process.
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

QString FocusName() {
    const QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus->objectName() : QString();
}

std::unique_ptr<MainWindow> ShownWindow() {
    auto window = std::make_unique<MainWindow>();
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get())) {
        qFatal("the window did not become active");
    }
    return window;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

  private slots:
    void controlsSitAtTheirPlacesInTheirContainers_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("clientRect");
        const auto row = [](const char* name, const char* container, QRect rect) {
            QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(container) << rect;
        };
        row("分组框1", "MainWindow", {10, 7, 353, 208});
        row("标签4", "分组框1", {65, 183, 128, 24});
        row("标签2", "分组框1", {31, 183, 30, 24});
        row("按钮2", "分组框1", {281, 183, 60, 25});
        row("按钮1", "分组框1", {211, 183, 60, 25});
        row("分组框3", "分组框1", {30, 84, 312, 92});
        row("编辑框2", "分组框3", {79, 141, 240, 20});
        row("编辑框1", "分组框3", {79, 108, 240, 20});
        row("标签1", "分组框3", {43, 108, 31, 24});
        row("标签3", "分组框3", {43, 141, 33, 24});
        row("分组框2", "分组框1", {30, 24, 312, 49});
        row("单选框3", "分组框2", {102, 46, 60, 16});
        row("单选框2", "分组框2", {177, 46, 58, 16});
        row("单选框1", "分组框2", {43, 46, 48, 16});
    }
    void controlsSitAtTheirPlacesInTheirContainers() {
        QFETCH(QString, name);
        QFETCH(QString, container);
        QFETCH(QRect, clientRect);
        MainWindow window;
        const QWidget* control = window.findChild<QWidget*>(name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->parentWidget()->objectName(), container);
        QCOMPARE(QRect(control->mapTo(&window, QPoint(0, 0)), control->size()), clientRect);
        QVERIFY(control->isVisibleTo(&window));
        QVERIFY(control->isEnabled());
    }

    void windowIsFixedCentredAndTitled() {
        const auto window = ShownWindow();
        // The outer size includes the frame the platform reports (offscreen: 2 pixels a side).
        const QMargins frame = window->windowHandle()->frameMargins();
        QCOMPARE(window->frameGeometry().size(), QSize(380, 250));
        QCOMPARE(window->size(), QSize(380, 250).shrunkBy(frame));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(window->frameGeometry().topLeft(),
                 QPoint(screen.x() + (screen.width() - 380) / 2,
                        screen.y() + (screen.height() - 250) / 2));
        const Qt::WindowFlags flags = window->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(window->windowTitle(), QStringLiteral("Tarnwick v1.0.0  tarnwick.example"));
        QVERIFY(!QIcon(QStringLiteral(":/DEFAULT_ICON")).isNull());
        QVERIFY(!window->windowIcon().isNull());
        QCOMPARE(window->palette().color(QPalette::Window),
                 window->palette().color(QPalette::Button));
    }

    void captionsAndInitialState() {
        MainWindow window;
        const auto caption = [&](const char* name) {
            if (auto* label = window.findChild<CaptionLabel*>(QString::fromUtf8(name))) {
                return label->Caption();
            }
            if (auto* box = window.findChild<QGroupBox*>(QString::fromUtf8(name))) {
                return box->title();
            }
            if (auto* edit = window.findChild<QLineEdit*>(QString::fromUtf8(name))) {
                return edit->text();
            }
            return Find<QAbstractButton>(window, name)->text();
        };
        QCOMPARE(caption("分组框1"), QString());
        QCOMPARE(caption("分组框2"), QStringLiteral("接口"));
        QCOMPARE(caption("分组框3"), QStringLiteral("URL"));
        QCOMPARE(caption("标签1"), QStringLiteral("长链:"));
        QCOMPARE(caption("标签2"), QStringLiteral("状态："));
        QCOMPARE(caption("标签3"), QStringLiteral("短链:"));
        QCOMPARE(caption("标签4"), QString());
        QCOMPARE(caption("按钮1"), QStringLiteral("生成"));
        QCOMPARE(caption("按钮2"), QStringLiteral("复制"));
        QCOMPARE(caption("编辑框1"), QStringLiteral("https://www.iana.org/"));
        QCOMPARE(caption("编辑框1").size(), 21);
        QCOMPARE(Find<QLineEdit>(window, "编辑框1")->cursorPosition(), 0);
        QCOMPARE(caption("编辑框2"), QString());
        for (const char* radio : {"单选框1", "单选框2", "单选框3"}) {
            const qsizetype length = caption(radio).size();
            QVERIFY2(length >= 4 && length <= 6, radio);
        }
        QCOMPARE(window.SelectedProvider(), 1);
        QVERIFY(!Find<QRadioButton>(window, "单选框2")->isChecked());
        QVERIFY(!Find<QRadioButton>(window, "单选框3")->isChecked());
        QCOMPARE(Find<CaptionLabel>(window, "标签4")->Colour(), QColor(255, 0, 0));
        QCOMPARE(Find<CaptionLabel>(window, "标签2")->Colour(), QColor(Qt::black));
        QVERIFY(!Find<QPushButton>(window, "按钮1")->isDefault());
        for (const QWidget* control : window.findChildren<QWidget*>()) {
            const bool takesFocus = qobject_cast<const QLineEdit*>(control) != nullptr ||
                                    qobject_cast<const QAbstractButton*>(control) != nullptr;
            QCOMPARE(bool(control->focusPolicy() & Qt::TabFocus), takesFocus);
        }
    }

    void radiosExcludeEachOtherAndRunNoRoutine() {
        const auto window = ShownWindow();
        int clicks = 0;
        window->BindGenerateClick([&clicks] { ++clicks; });
        window->BindCopyClick([&clicks] { ++clicks; });
        QTest::mouseClick(Find<QRadioButton>(*window, "单选框3"), Qt::LeftButton);
        QCOMPARE(window->SelectedProvider(), 3);
        QVERIFY(!Find<QRadioButton>(*window, "单选框1")->isChecked());
        QTest::mouseClick(Find<QRadioButton>(*window, "单选框2"), Qt::LeftButton);
        QCOMPARE(window->SelectedProvider(), 2);
        QVERIFY(!Find<QRadioButton>(*window, "单选框3")->isChecked());
        QCOMPARE(clicks, 0);
    }

    void tabAndShiftTabFollowTheWindowOrderAndKeepTheSelection() {
        const auto window = ShownWindow();
        QCOMPARE(FocusName(), QStringLiteral("单选框1"));
        const QStringList order{QStringLiteral("编辑框1"), QStringLiteral("编辑框2"),
                                QStringLiteral("按钮1"),   QStringLiteral("按钮2"),
                                QStringLiteral("单选框2"), QStringLiteral("单选框3"),
                                QStringLiteral("单选框1")};
        QStringList forward;
        for (int i = 0; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            forward << FocusName();
        }
        QCOMPARE(forward, order);
        QStringList backward;
        for (int i = 0; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
            backward.prepend(FocusName());
        }
        QStringList expectedBackward = order;
        expectedBackward.move(expectedBackward.size() - 1, 0);
        QCOMPARE(backward, expectedBackward);
        QCOMPARE(window->SelectedProvider(), 1);
    }

    void arrowKeysSelectAndFocusTheNextRadioInNumberOrder() {
        const auto window = ShownWindow();
        const auto press = [](Qt::Key key) {
            QTest::keyClick(QApplication::focusWidget(), key);
            return FocusName();
        };
        QCOMPARE(press(Qt::Key_Right), QStringLiteral("单选框2"));
        QCOMPARE(window->SelectedProvider(), 2);
        QCOMPARE(press(Qt::Key_Down), QStringLiteral("单选框3"));
        QCOMPARE(window->SelectedProvider(), 3);
        QCOMPARE(press(Qt::Key_Right), QStringLiteral("单选框1"));
        QCOMPARE(press(Qt::Key_Left), QStringLiteral("单选框3"));
        QCOMPARE(press(Qt::Key_Up), QStringLiteral("单选框2"));
        QCOMPARE(window->SelectedProvider(), 2);
    }

    void boundClicksInsideGroupBoxesRunTheirRoutines() {
        const auto window = ShownWindow();
        int generate = 0;
        int copy = 0;
        QTest::mouseClick(Find<QPushButton>(*window, "按钮1"), Qt::LeftButton);
        window->BindGenerateClick([&generate] { ++generate; });
        window->BindCopyClick([&copy] { ++copy; });
        QTest::mouseClick(Find<QPushButton>(*window, "按钮1"), Qt::LeftButton);
        QTest::mouseClick(Find<QPushButton>(*window, "按钮2"), Qt::LeftButton);
        QTest::mouseClick(Find<QPushButton>(*window, "按钮2"), Qt::LeftButton);
        QCOMPARE(generate, 1);
        QCOMPARE(copy, 2);
    }

    void copyPutsWhateverTheShortLinkBoxHoldsOnTheClipboard() {
        const auto window = ShownWindow();
        window->BindCopyClick([&window] { OnCopyClicked(*window); });
        QClipboard* clipboard = QGuiApplication::clipboard();
        const auto clickCopy = [&] {
            Find<CaptionLabel>(*window, "标签4")->SetCaption(QString());
            QTest::mouseClick(Find<QPushButton>(*window, "按钮2"), Qt::LeftButton);
            QCOMPARE(Find<CaptionLabel>(*window, "标签4")->Caption(),
                     QStringLiteral("复制短链成功！"));
        };

        window->SetShortLink("http://a.test/Xy7");
        clickCopy();
        QCOMPARE(clipboard->text(QClipboard::Clipboard), QStringLiteral("http://a.test/Xy7"));

        auto* shortLink = Find<QLineEdit>(*window, "编辑框2");
        shortLink->clear();
        QTest::keyClicks(shortLink, QStringLiteral("typed "));
        QTest::sendKeyEvent(QTest::Click, shortLink, Qt::Key_unknown, QStringLiteral("短链"),
                            Qt::NoModifier);
        clickCopy();
        QCOMPARE(clipboard->text(QClipboard::Clipboard), QStringLiteral("typed 短链"));

        shortLink->clear();
        clickCopy();
        QCOMPARE(clipboard->text(QClipboard::Clipboard), QString());
    }

    void textBoundaryKeepsEveryCharacter() {
        QCOMPARE(TextFromQString(QStringLiteral("长链")), Text("\xB3\xA4\xC1\xB4"));
        QCOMPARE(QStringFromText(kCopySucceeded), QStringLiteral("复制短链成功！"));
        // Outside code page 936: the bytes differ from "?" and come back unchanged.
        const QString address = QStringLiteral("https://例子.test/€ 한 😀");
        const Text bytes = TextFromQString(address);
        QVERIFY(bytes.find('?') == Text::npos);
        QCOMPARE(QStringFromText(bytes), address);
        QCOMPARE(TextFromQString(QString()), Text());
        QCOMPARE(TextFromQString(QStringLiteral("ab") + QChar(0) + QStringLiteral("cd")),
                 Text("ab"));
        QCOMPARE(QStringFromText("\xFF"), QString(QChar(0xFFFD)));
    }

    void hostKeepsTheLongLinkAndPostsToTheGuiThread() {
        auto window = std::make_unique<MainWindow>();
        WindowShortenHost host(*window);
        ShortenHost& jobs = host;
        QCOMPARE(jobs.LongLinkSnapshot(), Text("https://www.iana.org/"));
        Find<QLineEdit>(*window, "编辑框1")->setText(QStringLiteral("https://例子.test/"));
        Text seenByWorker;
        bool ranOnGui = false;
        std::thread worker([&] {
            seenByWorker = jobs.LongLinkSnapshot();
            jobs.PostToGui([&] { ranOnGui = QThread::currentThread() == qApp->thread(); });
        });
        worker.join();
        QCOMPARE(QStringFromText(seenByWorker), QStringLiteral("https://例子.test/"));
        QVERIFY(!ranOnGui);
        QCoreApplication::processEvents();
        QVERIFY(ranOnGui);

        jobs.SetStatus("\xC9\xFA\xB3\xC9\xB6\xCC\xC1\xB4\xBD\xD3\xB3\xC9\xB9\xA6\xA3\xA1");
        jobs.SetShortLink("http://c.test/1");
        QCOMPARE(Find<CaptionLabel>(*window, "标签4")->Caption(),
                 QStringLiteral("生成短链接成功！"));
        QCOMPARE(Find<QLineEdit>(*window, "编辑框2")->text(), QStringLiteral("http://c.test/1"));
        Find<QRadioButton>(*window, "单选框3")->setChecked(true);
        QCOMPARE(jobs.SelectedProvider(), 3);

        bool ranAfterClose = false;
        std::thread late([&] { jobs.PostToGui([&] { ranAfterClose = true; }); });
        late.join();
        window.reset();
        QCoreApplication::processEvents();
        QVERIFY(!ranAfterClose);
        QCOMPARE(jobs.SelectedProvider(), 0);
        QCOMPARE(QStringFromText(jobs.LongLinkSnapshot()), QStringLiteral("https://例子.test/"));
    }

    void exitHandlersAreListedOnceAndRunInOrder() {
        static std::string calls;
        calls.clear();
        RegisterExitHandler([] { calls += 'a'; });
        const ExitHandler second = [] { calls += 'b'; };
        RegisterExitHandler(second);
        RegisterExitHandler(second);
        RunExitHandlers();
        QCOMPARE(calls, std::string("ab"));
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

        std::array<char, 256> buffer;
        for (const auto& [code, message] :
             {std::pair<int, Text>{6, stackError}, {0, Text(kLoadWindowFailed)}, {0, ""}}) {
            QCOMPARE(Text(ComposeErrorText(code, message, buffer)),
                     BuildRuntimeErrorText(code, message));
        }
        std::array<char, 8> small;
        QCOMPARE(ComposeErrorText(6, stackError, small).size(), small.size());

        QCOMPARE(QStringFromText(AllocationFailureMessage(100).View()),
                 QStringLiteral("分配 100 字节内存失败!"));
        QCOMPARE(QStringFromText(AllocationFailureMessage(std::size_t{1} << 40).View()),
                 QStringLiteral("分配 1099511627776 字节内存失败!"));
    }

    void windowSystemIsLookedForBeforeQtStarts_data() {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("wayland");
        QTest::addColumn<bool>("named");
        QTest::newRow("nothing") << ""
                                 << ""
                                 << "" << false;
        QTest::newRow("X display") << ""
                                   << ":0"
                                   << "" << true;
        QTest::newRow("Wayland display") << ""
                                         << ""
                                         << "wayland-0" << true;
        QTest::newRow("xcb without display") << "xcb"
                                             << ""
                                             << "" << false;
        QTest::newRow("xcb with options") << "xcb:nograb"
                                          << ""
                                          << "" << false;
        QTest::newRow("wayland without display") << "wayland-egl"
                                                 << ""
                                                 << "" << false;
        QTest::newRow("offscreen") << "offscreen"
                                   << ""
                                   << "" << true;
        QTest::newRow("fallback list") << "xcb;offscreen"
                                       << ""
                                       << "" << true;
    }
    void windowSystemIsLookedForBeforeQtStarts() {
        QFETCH(QString, platform);
        QFETCH(QString, display);
        QFETCH(QString, wayland);
        QFETCH(bool, named);
        QCOMPARE(
            WindowSystemNamed(platform.toStdString(), display.toStdString(), wayland.toStdString()),
            named);
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
