// The main window against the simulated CNC over TCP: the title, the connection text, the
// greetings the CNC sees, a failed connect with its box, Reconnect after the CNC came back, and
// closing while connected. One test grabs the window to a PNG for a person to look at.
#include "ChildProcess.h"
#include "SimulatedCnc.h"
#include "panes/LocalPane.h"
#include "panes/ui/CCncView.h"
#include "panes/ui/CLocView.h"
#include "panes/ui/Prompter.h"
#include "shell/ui/CQelVevaDlg.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <filesystem>

using namespace qel;
using namespace qel::ui;
using qel::testing::SimulatedCnc;
using qel::testing::TempFolder;

namespace {
constexpr int kConnectLimitMs = 10000;

int portOf(const std::string& address) {
    return std::stoi(address.substr(address.rfind(':') + 1));
}
}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    TempFolder settings_;
    std::string settingsFile() const { return settings_.str() + "QelVeva.cfg"; }

    // A main window started as "QelVeva -i 127.0.0.1 PORT -c CAPTION".
    std::unique_ptr<CQelVevaDlg> start(Prompter& prompter, int port, const std::string& caption) {
        auto window = std::make_unique<CQelVevaDlg>(prompter);
        StartupChoices choices;
        choices.ipAddress = "127.0.0.1";
        choices.port = static_cast<unsigned>(port);
        choices.caption = caption;
        choices.showSplash = false;
        window->initialise(choices, settingsFile());
        window->show();
        return window;
    }
    static bool waitConnected(CQelVevaDlg& window) {
        return QTest::qWaitFor([&] { return !window.connecting(); }, kConnectLimitMs);
    }

  private slots:
    void startsConnectedWithTheCaptionInTheTitleAndGreetsTheCnc() {
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0"});
        Prompter prompter;
        prompter.presetAlways(true);
        auto window = start(prompter, portOf(cnc.tcpAddress()), "Mill 2");
        QCOMPARE(window->windowTitle(), QStringLiteral("Vantor 4.10 Veva - Mill 2"));
        QVERIFY(waitConnected(*window));
        QCOMPARE(window->connectionText(), QStringLiteral("Connected to CNC"));
        QCOMPARE(window->statusText(), QStringLiteral("Ready"));
        QVERIFY(cnc.report("message: QEL active on this CNC.").has_value());
        // Names for screen readers and automation.
        auto* connection = window->findChild<QLabel*>(QStringLiteral("c1032"));
        QCOMPARE(connection->accessibleName(), QStringLiteral("Connected to CNC"));
        QCOMPARE(connection->accessibleDescription(), QStringLiteral("Connection"));
        QCOMPARE(window->control(1010)->accessibleName(), QStringLiteral("Local Files"));
        QCOMPARE(window->control(1029)->accessibleName(), QStringLiteral("CNC Memories"));
        QCOMPARE(window->control(1031)->toolTip(), QStringLiteral("Reconnect to the CNC"));

        std::filesystem::create_directories(GRAB_FOLDER);
        QVERIFY(window->grab().save(QStringLiteral(GRAB_FOLDER "/main-window.png")));

        // Closing while connected says goodbye on the CNC screen.
        window->close();
        QVERIFY(cnc.report("message: QEL inactive.").has_value());
    }

    void aFailedConnectShowsItsBoxAndTheProgramStaysUsable() {
        // Nobody listens on the port of a simulator that has ended.
        int port = 0;
        {
            SimulatedCnc gone({"--tcp-listen", "127.0.0.1:0"});
            port = portOf(gone.tcpAddress());
        }
        Prompter prompter;
        prompter.presetAlways(true);
        auto window = start(prompter, port, "Lathe");
        QVERIFY(waitConnected(*window));
        QCOMPARE(window->connectionText(), QStringLiteral("Not Connected"));
        const QString box = prompter.asked().constLast();
        QVERIFY2(box.startsWith(QStringLiteral("Failed to connect to CNC \"Lathe\". Press 'Help' "
                                               "for more information.")),
                 qPrintable(box));
        QVERIFY2(box.contains(QStringLiteral("link error 23")), qPrintable(box));
        QCOMPARE(window->statusText(), QStringLiteral("Ready"));
        QVERIFY(window->control(1031)->isEnabled());

        // The CNC comes (back) on that port: Reconnect reaches it.
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:" + std::to_string(port)});
        QVERIFY(cnc.report("listening on").has_value());
        QSignalSpy finished(window.get(), &CQelVevaDlg::connectFinished);
        qobject_cast<QPushButton*>(window->control(1031))->click();
        QVERIFY(window->connecting());
        QCOMPARE(window->statusText(), QStringLiteral("Attempting to connect to CNC..."));
        QVERIFY(finished.wait(kConnectLimitMs));
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QCOMPARE(window->connectionText(), QStringLiteral("Connected to CNC"));
        window->close();
    }

    void noPaneKeepsTheLinkThatAReconnectReplaces() {
        // Each login is answered late, so that the reconnect can be looked at while it runs.
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0", "--delay-ack", "1:400"});
        Prompter prompter;
        prompter.presetAlways(true);
        auto window = start(prompter, portOf(cnc.tcpAddress()), "Mill");
        QVERIFY(waitConnected(*window));
        QVERIFY(window->localPane()->pane().link() != nullptr);
        QTRY_VERIFY(!window->cncView().busy());  // its listing after the connect
        qobject_cast<QPushButton*>(window->control(1031))->click();
        QVERIFY(window->connecting());
        // The old link is being deleted on the connect's worker: a Send now must find no link.
        QCOMPARE(window->localPane()->pane().link(), nullptr);
        QVERIFY(waitConnected(*window));
        QCOMPARE(window->connectionText(), QStringLiteral("Connected to CNC"));
        QVERIFY(window->localPane()->pane().link() != nullptr);
        window->close();
    }

    void theWindowThreadNeverWaitsForASilentCnc() {
        // A CNC that accepts but never answers the login: the window stays responsive.
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0", "--silent-after", "0"});
        Prompter prompter;
        prompter.presetAlways(true);
        QElapsedTimer clock;
        clock.start();
        auto window = start(prompter, portOf(cnc.tcpAddress()), "Silent");
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY(window->connecting());
        QTest::qWait(50);  // the event loop runs meanwhile
        QVERIFY(window->isVisible());
        QVERIFY(waitConnected(*window));
        QCOMPARE(window->connectionText(), QStringLiteral("Not Connected"));
    }

    void aDamagedSettingsFileIsToldOnceAndKeptAsItIs() {
        // The built-in "Default" connects to COM1 at start: a device that is not there fails
        // at once.
        ::setenv("CABLOR_COM1", "/nonexistent/qelveva-test-port", 1);
        TempFolder folder;
        const std::string file = folder.str() + "QelVeva.cfg";
        folder.write("QelVeva.cfg", "not a settings file");
        Prompter prompter;
        prompter.presetAlways(true);
        CQelVevaDlg window(prompter);
        StartupChoices choices;
        choices.showSplash = false;
        window.initialise(choices, file);
        QCOMPARE(prompter.asked(),
                 QStringList{QStringLiteral(
                     "Failed to open settings file, resetting to the default value.")});
        QCOMPARE(folder.read("QelVeva.cfg").value_or(""), std::string("not a settings file"));
        QVERIFY(window.windowTitle().startsWith(QStringLiteral("Vantor 4.10 Veva - ")));
        window.close();

        // A first start without any file writes the built-in configurations once.
        std::filesystem::remove(file);
        CQelVevaDlg first(prompter);
        first.initialise(choices, file);
        QCOMPARE(std::filesystem::file_size(file), std::uintmax_t{18684});
        first.close();
    }

    void enterOpensTheFocusedItemInsteadOfClosing() {
        Prompter prompter;
        prompter.presetAlways(true);
        CQelVevaDlg window(prompter);
        window.show();
        QWidget* list = window.control(1010);
        list->setFocus();
        struct Catcher : QObject {
            int seen = 0;
            bool eventFilter(QObject*, QEvent* event) override {
                if (event->type() == WM_OPEN_FOCUSED_ITEM) ++seen;
                return false;
            }
        } catcher;
        list->installEventFilter(&catcher);
        QTest::keyClick(&window, Qt::Key_Return);
        QTRY_COMPARE(catcher.seen, 1);
        QVERIFY(window.isVisible());
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
