// The remote-mode window with cncsim as the CNC that calls it over TCP: the log, the status
// line, the progress of a receive and of a send, Abort, Exit during a transfer, Browse, a CNC
// that floods commands, and the main window's Remote Mode button.
#include "ChildProcess.h"
#include "RemoteTestSupport.h"
#include "SimulatedCaller.h"
#include "config/ConfigDefaults.h"
#include "config/FixedText.h"
#include "panes/ui/Prompter.h"
#include "remote/RemoteLink.h"
#include "remote/ui/CRemoteModeDlg.h"
#include "shell/ui/CQelVevaDlg.h"

#include <cablor.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <fstream>

using namespace qel;
using namespace qel::ui;
using qel::remote::testing::callingOverTcp;
using qel::remote::testing::cncsimCommand;
using qel::remote::testing::unusedPort;
using qel::testing::ChildProcess;
using Texts = std::vector<std::string>;

namespace {

constexpr int kLimitMs = 10000;

ConfigRecord tcpConfiguration(int port) {
    ConfigRecord config = newConfiguration("Sim", "/");
    config.linkType = DNC_LINK_TCP_CLIENT;
    config.destinationPort = static_cast<int16_t>(port);
    config.timeout = 5;  // a CNC that pauses on purpose stays inside the reply time-out
    config.retries = 1;
    return config;
}

QString logOf(CRemoteModeDlg& window) {
    return window.findChild<QPlainTextEdit*>(QStringLiteral("c1049"))->toPlainText();
}
QString textOf(CRemoteModeDlg& window, int id) {
    return window.findChild<QLabel*>(QStringLiteral("c%1").arg(id))->text();
}
QPushButton* button(CRemoteModeDlg& window, int id) {
    return window.findChild<QPushButton*>(QStringLiteral("c%1").arg(id));
}

}  // namespace

class RemoteModeWindowTest : public QObject {
    Q_OBJECT

  private:
    // Remote mode served from served_, listening on port_, in a window of its own.
    struct Served {
        remote::testing::TempFolder parent;
        std::filesystem::path served = parent / "served";
        std::filesystem::path store = parent / "store";
        int port = unusedPort();
        std::unique_ptr<CncClient> link;
        std::unique_ptr<CRemoteModeDlg> window;

        Served() {
            std::filesystem::create_directory(served);
            std::filesystem::create_directory(store);
        }
        ~Served() { window.reset(); }  // before the link it serves on

        bool open() {
            const remote::RemoteLinkSetup setup =
                remote::remoteLinkSetupFor(tcpConfiguration(port));
            link = remote::connectForRemoteMode(setup);
            if (!link->isConnected()) return false;
            window = std::make_unique<CRemoteModeDlg>();
            window->SetLink(link.get(), setup);
            window->engine()->setServedFolder(served.string());
            window->show();
            return true;
        }
        std::unique_ptr<ChildProcess> call(const Texts& commands, const Texts& options = {}) {
            return std::make_unique<ChildProcess>(
                cncsimCommand(callingOverTcp(port), store.string(), commands, options));
        }
        // Exit, and the window gone once the worker has returned.
        bool exit() {
            window->reject();
            return QTest::qWaitFor([&] { return !window->isVisible(); }, kLimitMs);
        }
    };

    static std::string bytes(size_t size) {
        std::string data;
        for (size_t i = 0; i < size; ++i) data += static_cast<char>('A' + i % 23);
        return data;
    }

  private slots:
    void theLogShowsTheLastFourLinesAndTheStatusWaits() {
        Served served;
        QVERIFY(served.open());
        CRemoteModeDlg& window = *served.window;
        QCOMPARE(logOf(window), QStringLiteral("Remote mode started."));
        QTRY_COMPARE(textOf(window, 1048), QStringLiteral("Waiting for DNC commands"));
        QCOMPARE(textOf(window, 1003), QStringLiteral(" 0 %"));
        QVERIFY(!button(window, 3)->isEnabled());
        QVERIFY(button(window, 2)->isEnabled());

        auto cnc = served.call({"login Lathe 7", "message two", "message three", "message four",
                                "message five",
                                "wait 2000"});  // still on the line while the log is looked at
        QTRY_COMPARE_WITH_TIMEOUT(
            logOf(window), QStringLiteral("QEL: two\nQEL: three\nQEL: four\nQEL: five"), kLimitMs);
        QCOMPARE(cnc->finish(std::chrono::milliseconds(kLimitMs)).exitStatus, 0);
        QVERIFY(served.exit());
        QVERIFY(logOf(window).endsWith(QStringLiteral("Closing server. Please wait...")));
    }

    void aReceiveCountsKilobytesWhileTheBarWrapsEvery128Kb() {
        Served served;
        remote::testing::writeFile(served.store / "BIG.PM", bytes(300 * 1024));
        QVERIFY(served.open());
        CRemoteModeDlg& window = *served.window;
        // The CNC pauses before its block after the PC's 2200th telegram: 2199 blocks of 124
        // bytes (266 KB) are in.
        auto cnc = served.call({"put BIG.PM"}, {"--delay-ack", "2200:1500"});
        auto* bar = window.findChild<QProgressBar*>(QStringLiteral("c1070"));
        QTRY_VERIFY_WITH_TIMEOUT(textOf(window, 1003).startsWith(QStringLiteral("(26")), kLimitMs);
        QVERIFY(QRegularExpression(QStringLiteral("^\\(\\d+\\.\\d\\dKB\\)$"))
                    .match(textOf(window, 1003))
                    .hasMatch());
        const double kilobytes = textOf(window, 1003).mid(1).chopped(3).toDouble();
        QCOMPARE(bar->value(), static_cast<int>(kilobytes * 1024 * 100 / 131072) % 100);
        QVERIFY(textOf(window, 1048).startsWith(QStringLiteral("Receiving the file 'BIG.PM'")));
        QVERIFY(button(window, 3)->isEnabled());   // Abort during the transfer
        QVERIFY(!button(window, 2)->isEnabled());  // Exit not
        std::filesystem::create_directories(GRAB_FOLDER);
        QVERIFY(window.grab().save(QStringLiteral(GRAB_FOLDER "/remote-mode-receiving.png")));

        QTRY_VERIFY_WITH_TIMEOUT(
            logOf(window).contains(QStringLiteral("'BIG.PM' successfully received from the CNC.")),
            kLimitMs);
        QTRY_COMPARE(textOf(window, 1048), QStringLiteral("Waiting for DNC commands"));
        QCOMPARE(std::filesystem::file_size(served.served / "BIG.PM"), 300u * 1024u);
        QCOMPARE(cnc->finish(std::chrono::milliseconds(kLimitMs)).exitStatus, 0);
        QVERIFY(served.exit());
    }

    void aSendOf1000BytesStopsAt99PercentBeforeTheReset() {
        Served served;
        remote::testing::writeFile(served.served / "SMALL.PM", bytes(1000));
        QVERIFY(served.open());
        CRemoteModeDlg& window = *served.window;
        // Eight blocks of 124 bytes and one of 8; the CNC takes its time over the last.
        auto cnc = served.call({"get SMALL.PM"}, {"--delay-ack", "10:1500"});
        QTRY_COMPARE_WITH_TIMEOUT(textOf(window, 1003), QStringLiteral("99% (0.97KB)"), kLimitMs);
        QVERIFY(textOf(window, 1048).startsWith(QStringLiteral("Sending the file 'SMALL.PM'")));
        QTRY_COMPARE_WITH_TIMEOUT(textOf(window, 1003), QStringLiteral("0%"), kLimitMs);
        QVERIFY(logOf(window).contains(QStringLiteral("'SMALL.PM' successfully sent to the CNC.")));
        QCOMPARE(cnc->finish(std::chrono::milliseconds(kLimitMs)).exitStatus, 0);
        QVERIFY(served.exit());
    }

    void abortDuringAReceiveKeepsNoPartialFile() {
        Served served;
        remote::testing::writeFile(served.store / "BIG.PM", bytes(100 * 1024));
        QVERIFY(served.open());
        CRemoteModeDlg& window = *served.window;
        auto cnc = served.call({"put BIG.PM"}, {"--delay-ack", "200:800"});
        QTRY_VERIFY_WITH_TIMEOUT(button(window, 3)->isEnabled(), kLimitMs);
        QTest::mouseClick(button(window, 3), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(
            logOf(window).contains(QStringLiteral("Transfer of 'BIG.PM' aborted.")), kLimitMs);
        QTRY_VERIFY(!button(window, 3)->isEnabled());
        cnc->finish(std::chrono::milliseconds(kLimitMs));
        QVERIFY(std::filesystem::is_empty(served.served));  // not even a hidden partial file
        QVERIFY(served.exit());
    }

    void exitDuringATransferWaitsForTheWorker() {
        Served served;
        remote::testing::writeFile(served.store / "BIG.PM", bytes(100 * 1024));
        QVERIFY(served.open());
        CRemoteModeDlg& window = *served.window;
        auto cnc = served.call({"put BIG.PM"}, {"--delay-ack", "200:1500"});
        QTRY_VERIFY_WITH_TIMEOUT(button(window, 3)->isEnabled(), kLimitMs);
        // The window ends only once the worker has returned.
        std::optional<bool> workerRunningAtTheEnd;
        QObject::connect(&window, &QDialog::finished, &window,
                         [&] { workerRunningAtTheEnd = window.engine()->workerRunning(); });
        window.reject();  // Escape or the close box while the CNC pauses
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), kLimitMs);
        QCOMPARE(workerRunningAtTheEnd, std::optional<bool>(false));
        QVERIFY(logOf(window).contains(QStringLiteral("Closing server. Please wait...")));
        cnc->finish(std::chrono::milliseconds(kLimitMs));
        QVERIFY(std::filesystem::is_empty(served.served));
    }

    void browseServesTheChosenFolderFromTheNextDirectoryRequest() {
        Served served;
        const std::filesystem::path other = served.parent / "other";
        std::filesystem::create_directory(other);
        remote::testing::writeFile(other / "THERE.PM", "there");
        remote::testing::writeFile(served.served / "HERE.PM", "here");
        QVERIFY(served.open());
        CRemoteModeDlg& window = *served.window;
        QString start;
        window.setFolderChooser([&](QWidget*, const QString& from) {
            start = from;
            return std::optional<QString>(QString::fromStdString(other.string() + "/"));
        });
        QTest::mouseClick(button(window, 1105), Qt::LeftButton);
        QCOMPARE(start, QString::fromStdString(served.served.string()));
        QCOMPARE(window.servedFolder(), QString::fromStdString(other.string()));
        auto cnc = served.call({"dir *.PM"});
        const ChildProcess::Result result = cnc->finish(std::chrono::milliseconds(kLimitMs));
        QVERIFY2(result.out.find("THERE.PM") != std::string::npos, result.out.c_str());
        QVERIFY2(result.out.find(" HERE.PM") == std::string::npos, result.out.c_str());
        QVERIFY(served.exit());
    }

    void aFloodOfCommandsIsDrawnOncePerTickAndTheWindowStaysResponsive() {
        Served served;
        QVERIFY(served.open());
        CRemoteModeDlg& window = *served.window;
        Texts commands;
        for (int i = 0; i < 400; ++i) commands.push_back("message flood " + std::to_string(i));
        commands.push_back("wait 2000");
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(10);
        QElapsedTimer clock;
        clock.start();
        const uint64_t before = window.redraws();
        auto cnc = served.call(commands);
        QTRY_COMPARE_WITH_TIMEOUT(logOf(window).section(QLatin1Char('\n'), 3),
                                  QStringLiteral("QEL: flood 399"), kLimitMs);
        const qint64 took = clock.elapsed();
        // 400 log lines, but at most one redraw per 50 ms tick; the event loop ran throughout.
        QVERIFY2(window.redraws() - before <= static_cast<uint64_t>(took / 50 + 3),
                 qPrintable(QString::number(window.redraws() - before)));
        QVERIFY2(ticks >= took / 10 / 8,
                 qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(took)));
        QCOMPARE(logOf(window), QStringLiteral("QEL: flood 396\nQEL: flood 397\nQEL: flood "
                                               "398\nQEL: flood 399"));
        cnc->finish(std::chrono::milliseconds(kLimitMs));
        QVERIFY(served.exit());
    }

    void aNameReachingOutsideIsRefusedWithOneLogLine() {
        Served served;
        QVERIFY(served.open());
        CRemoteModeDlg& window = *served.window;
        auto cnc = served.call({"raw PRPM../EVIL", "raw PTPM../../etc/passwd", "wait 1500"});
        QTRY_VERIFY_WITH_TIMEOUT(logOf(window).count(QStringLiteral("Refused the name")) == 2,
                                 kLimitMs);
        const ChildProcess::Result result = cnc->finish(std::chrono::milliseconds(kLimitMs));
        QVERIFY2(result.out.find("reply: M RR") == std::string::npos, result.out.c_str());
        QVERIFY(!std::filesystem::exists(served.parent / "EVIL.PM"));
        QVERIFY(!std::filesystem::exists(served.parent / "EVIL"));
        QVERIFY(std::filesystem::is_empty(served.served));
        QVERIFY(served.exit());
    }

    // "Remote mode when QEL starts" opens the window at start, after the connect.
    void remoteModeAtStartOpensTheWindow() {
        remote::testing::TempFolder settings;
        {
            SettingsImage image = builtInConfigList("/opt/qel");
            image.configs[2] = tcpConfiguration(unusedPort());
            image.configs[2].options |= OPT_REMOTE_AT_START;
            image.currentConfig = 2;
            std::ofstream(settings / "QelVeva.cfg", std::ios::binary)
                .write(reinterpret_cast<const char*>(&image), sizeof image);
        }
        Prompter prompter;
        prompter.presetAlways(true);
        CQelVevaDlg main(prompter);
        bool seen = false;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* window = qobject_cast<CRemoteModeDlg*>(QApplication::activeModalWidget())) {
                seen = true;
                window->reject();
            }
        });
        closer.start(20);
        StartupChoices choices;
        choices.showSplash = false;
        main.initialise(choices, (settings / "QelVeva.cfg").string());
        main.show();
        QTRY_VERIFY_WITH_TIMEOUT(seen, kLimitMs);
        QTRY_VERIFY(!main.remoteModeRunning());
        QCOMPARE(main.connectionText(), QStringLiteral("Not Connected"));
        main.close();
    }

    // The main window's Remote Mode makes a listening link from a TCP/IP configuration, runs the
    // window and disconnects that link afterwards; a port it cannot listen on gives the box.
    void theMainWindowsRemoteModeListensAndDisconnectsAfterwards() {
        remote::testing::TempFolder settings;
        const int port = unusedPort();
        {
            SettingsImage image = builtInConfigList("/opt/qel");
            image.configs[2] = tcpConfiguration(port);
            setText(image.configs[2].name, "Bench");
            image.currentConfig = 2;
            std::ofstream(settings / "QelVeva.cfg", std::ios::binary)
                .write(reinterpret_cast<const char*>(&image), sizeof image);
        }
        Prompter prompter;
        prompter.presetAlways(true);
        CQelVevaDlg main(prompter);
        StartupChoices choices;
        choices.showSplash = false;
        main.initialise(choices, (settings / "QelVeva.cfg").string());
        main.show();
        auto* remoteButton = qobject_cast<QPushButton*>(main.control(1035));
        QVERIFY(remoteButton->isEnabled());

        std::string seen;
        QTimer::singleShot(0, &main, [&] {
            auto* window = qobject_cast<CRemoteModeDlg*>(QApplication::activeModalWidget());
            if (!window) return;
            ChildProcess cnc(
                cncsimCommand(callingOverTcp(port), settings.path().string(), {"login Mill 2"}));
            cnc.finish(std::chrono::milliseconds(kLimitMs));
            QTRY_VERIFY_WITH_TIMEOUT(
                logOf(*window).contains(QStringLiteral("Connected to CNC: Mill 2")), kLimitMs);
            seen = logOf(*window).toStdString();
            window->reject();
        });
        remoteButton->click();
        QVERIFY2(seen.find("Connected to CNC: Mill 2") != std::string::npos, seen.c_str());
        QVERIFY(!main.remoteModeRunning());
        QCOMPARE(main.connectionText(), QStringLiteral("Not Connected"));
        QVERIFY(main.session().link() != nullptr);  // the listening link, disconnected
        QVERIFY(!main.session().link()->isConnected());

        // Another program holds the port: no window, the box says so.
        const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;  // the connection just ended may still wait in TIME_WAIT on the port
        ::setsockopt(holder, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        QCOMPARE(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        QCOMPARE(::listen(holder, 1), 0);
        const qsizetype asked = prompter.asked().size();
        remoteButton->click();
        ::close(holder);
        QCOMPARE(prompter.asked().size(), asked + 1);
        QVERIFY2(prompter.asked().back().startsWith(
                     QStringLiteral("Failed to connect to CNC \"Bench\". Press 'Help'")),
                 qPrintable(prompter.asked().back()));
        main.close();
    }
};

QTEST_MAIN(RemoteModeWindowTest)
#include "RemoteModeWindowTest.moc"
