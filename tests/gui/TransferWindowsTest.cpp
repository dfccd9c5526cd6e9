// The transfer windows against the simulated CNC, over TCP and over a serial line on a
// pseudo-terminal: what the operator sees and answers, what ends up in the folder and on the
// CNC. Each window is grabbed to a PNG once during a transfer for a person to look at.
#include "SimulatedCnc.h"
#include "panes/ui/CFileAnimation.h"
#include "panes/ui/Prompter.h"
#include "transfer/TransferTexts.h"
#include "transfer/ui/BtrSendWindow.h"
#include "transfer/ui/CDownloadDlg.h"
#include "transfer/ui/CUploadDlg.h"
#include "transfer/ui/TransferWindows.h"

#include <QPushButton>
#include <QtTest>

#include <csignal>
#include <filesystem>
#include <random>

using namespace qel;
using namespace qel::ui;
using namespace std::chrono_literals;
using qel::testing::SimulatedCnc;
using qel::testing::TempFolder;

namespace {
constexpr TransferPauses kShortPauses{0ms, 10ms, 300ms};
constexpr int kRunLimitMs = 20000;
using Names = std::set<std::string>;

std::string programText(size_t lines, unsigned seed = 7) {
    std::mt19937 random(seed);
    std::string text;
    for (size_t i = 0; i < lines; ++i) {
        text += "N" + std::to_string(10 * (i + 1)) + " X" + std::to_string(random() % 1000) + " Y" +
                std::to_string(random() % 1000) + "\r\n";
    }
    return text;
}

// A paced serial line, so that a transfer lasts long enough to look at it.
std::vector<std::string> pacedPty(int baud) {
    return {"--pty", "--baud", std::to_string(baud)};
}

void grab(QWidget& window, const QString& name) {
    std::filesystem::create_directories(GRAB_FOLDER);
    QVERIFY(window.grab().save(QStringLiteral(GRAB_FOLDER "/") + name));
}

void pressCancel(QWidget& window) {
    auto* cancel = window.findChild<QPushButton*>(QStringLiteral("c2"));
    QVERIFY(cancel != nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
}

// Shows a transfer window as the panes do (modal); ended turns true when it has closed itself.
void openShown(CTransferDlg& dialog, bool& ended) {
    ended = false;
    QObject::connect(&dialog, &CTransferDlg::ended, [&ended] { ended = true; });
    dialog.engine().setPauses(kShortPauses);
    dialog.open();
}

// Shows a transfer window and waits until it has closed itself.
bool runShown(CTransferDlg& dialog) {
    bool ended = false;
    openShown(dialog, ended);
    return QTest::qWaitFor([&] { return ended; }, kRunLimitMs);
}
}  // namespace

class TransferWindowsTest : public QObject {
    Q_OBJECT

  private slots:
    void aPercentStreamBecomesTwoFilesWithYesToAllPresetForBothReplaces() {
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0", "--block-size", "7"});
        const std::string first = programText(20, 1);
        const std::string second = programText(30, 2);
        cnc.store.write("1234.PM", "%PM1234\r\n" + first);
        cnc.store.write("5678.PM", "%PM5678\r\n" + second);
        auto client = cnc.tcpClient();
        QVERIFY(client->isConnected());
        TempFolder folder;
        folder.write("1234.PM", "old");
        folder.write("5678.PM", "old");
        Prompter prompter;
        prompter.presetAlways(true);
        prompter.presetAnswers({IDYESTOALL});

        const TransferOutcome outcome = runReceiveDialog(
            nullptr, prompter, *client, {"PM.PM"}, kReceivePercentB, folder.str(), kShortPauses);
        QVERIFY2(outcome.succeeded, outcome.problem.c_str());
        QCOMPARE(folder.read("1234.PM"), first);
        QCOMPARE(folder.read("5678.PM"), second);
        QCOMPARE(folder.entries(), (Names{"1234.PM", "5678.PM"}));
        // One question, for the first file: Yes to All covers the second.
        QCOMPARE(prompter.asked().size(), 1);
        QVERIFY(prompter.asked().front().startsWith(QStringLiteral("Replace the file '1234.PM'")));
        QCOMPARE(client->transferState(), TransferState::Idle);
    }

    void replaceAnsweredNoKeepsTheFileAndReceiveAsStoresUnderTheNewName() {
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0"});
        const std::string text = programText(50);
        cnc.store.write("PROG.PM", text);
        auto client = cnc.tcpClient();
        TempFolder folder;
        folder.write("PROG.PM", "old");
        Prompter prompter;
        prompter.presetAlways(true);
        prompter.presetAnswers({IDNO});
        {
            CDownloadDlg dialog(prompter, *client, {"PROG.PM"}, 0, folder.str());
            QVERIFY(runShown(dialog));
            QCOMPARE(folder.read("PROG.PM"), std::string("old"));
            QCOMPARE(folder.entries(), Names{"PROG.PM"});
            QVERIFY(cnc.report("transfer PT PROG.PM").value_or("").find("aborted by the PC") !=
                    std::string::npos);
        }
        prompter.presetTexts({QStringLiteral("COPY.PM")});
        {
            CDownloadDlg dialog(prompter, *client, {"PROG.PM"}, kReceiveAskNames, folder.str());
            QVERIFY(runShown(dialog));
            QVERIFY(dialog.engine().succeeded());
            QCOMPARE(folder.read("COPY.PM"), text);
            QCOMPARE(folder.read("PROG.PM"), std::string("old"));
            // The receiver has no size: the bar stays hidden, the size unknown.
            QVERIFY(!dialog.progressVisible());
            QCOMPARE(dialog.text(CDownloadDlg::IDC_FILE_SIZE), QStringLiteral("Unknown"));
            QCOMPARE(dialog.text(CDownloadDlg::IDC_FILE_NAME), QStringLiteral("COPY.PM"));
            QCOMPARE(dialog.text(CDownloadDlg::IDC_STATUS), QStringLiteral(" Upload complete"));
        }
        QCOMPARE(prompter.asked().last(), QStringLiteral("Enter a new name for 'PROG.PM':"));
    }

    void cancelMidTransferOnASerialLineLeavesNoFileAndAbortsTheMemory() {
        SimulatedCnc cnc(pacedPty(19200));
        cnc.store.write("BIG.PM", programText(400));
        auto client = cnc.serialClient();
        QVERIFY(client->isConnected());
        TempFolder folder;
        Prompter prompter;
        prompter.presetAlways(true);
        CDownloadDlg dialog(prompter, *client, {"BIG.PM"}, 0, folder.str());
        QCOMPARE(dialog.text(CDownloadDlg::IDC_FILE_NAME), QStringLiteral("??.??"));
        QCOMPARE(dialog.text(CDownloadDlg::IDC_FILE_SIZE), QStringLiteral("0  KB"));
        QCOMPARE(dialog.text(CDownloadDlg::IDC_SPEED), QStringLiteral("0.00"));
        QCOMPARE(dialog.text(CDownloadDlg::IDC_STATUS), QStringLiteral(" Idle"));
        bool ended = false;
        openShown(dialog, ended);
        // Data flows, the speed shows once a second and the sheet flies.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return dialog.text(CDownloadDlg::IDC_SPEED) != QStringLiteral("0.00") &&
                       dialog.text(CDownloadDlg::IDC_RECEIVED) != QStringLiteral("0");
            },
            kRunLimitMs));
        QCOMPARE(dialog.text(CDownloadDlg::IDC_STATUS),
                 QStringLiteral("Receiving data from CNC..."));
        QVERIFY(dialog.animation().step() > 0);
        grab(dialog, QStringLiteral("receive-dialog.png"));

        pressCancel(dialog);
        QCOMPARE(dialog.text(CDownloadDlg::IDC_STATUS),
                 QStringLiteral("Stopping download. Please wait..."));
        QVERIFY(dialog.isVisible());  // until the worker has ended
        QVERIFY(QTest::qWaitFor([&] { return ended; }, kRunLimitMs));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.engine().status(), static_cast<int>(XS_STOPPING));
        QVERIFY(folder.entries().empty());
        QVERIFY(cnc.report("transfer PT BIG.PM").value_or("").find("aborted by the PC") !=
                std::string::npos);
        QCOMPARE(client->reserveDepth(), 0);
    }

    void aCablePulledMidTransferGivesTheLinkErrorAndNoPartialFile() {
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0", "--block-size", "16"});
        cnc.store.write("BIG.PM", programText(40000));
        auto client = cnc.tcpClient();
        TempFolder folder;
        Prompter prompter;
        prompter.presetAlways(true);
        CDownloadDlg dialog(prompter, *client, {"BIG.PM"}, 0, folder.str());
        bool ended = false;
        openShown(dialog, ended);
        QVERIFY(QTest::qWaitFor(
            [&] { return dialog.text(CDownloadDlg::IDC_RECEIVED) != QStringLiteral("0"); },
            kRunLimitMs));
        cnc.process().kill(SIGKILL);
        QVERIFY(QTest::qWaitFor([&] { return ended; }, kRunLimitMs));
        QVERIFY(!dialog.engine().succeeded());
        QCOMPARE(prompter.asked().size(), 1);
        QVERIFY(prompter.asked().front().contains(QStringLiteral("'BIG.PM'")));
        QVERIFY(folder.entries().empty());
    }

    void aFolderThatCannotBeWrittenAsksRetryAndCancelLeavesNothing() {
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0"});
        cnc.store.write("PROG.PM", programText(10));
        auto client = cnc.tcpClient();
        TempFolder folder;
        Prompter prompter;
        prompter.presetAlways(true);
        prompter.presetAnswers({IDYES});  // Retry once, then Cancel
        CDownloadDlg dialog(prompter, *client, {"PROG.PM"}, 0, folder.str() + "gone/");
        QVERIFY(runShown(dialog));
        QVERIFY(!dialog.engine().succeeded());
        QCOMPARE(prompter.asked().size(), 2);
        QCOMPARE(prompter.asked().front(), prompter.asked().back());
        QVERIFY(prompter.asked().front().contains(QStringLiteral("'PROG.PM'")));
        QVERIFY(folder.entries().empty());
        QVERIFY(cnc.report("transfer PT PROG.PM").value_or("").find("aborted by the PC") !=
                std::string::npos);
    }

    void sendOfThreeFilesAsksForTheRefusedOneAndSendsTheOthers() {
        SimulatedCnc cnc({"--pty", "--refuse", "PR:B.PM=M NR"});
        auto client = cnc.serialClient();
        QVERIFY(client->isConnected());
        TempFolder folder;
        const std::string small = programText(10);
        const std::string big = programText(4000, 3);
        folder.write("A.PM", small);
        folder.write("B.PM", small);
        folder.write("C.PM", big);
        Prompter prompter;
        prompter.presetAlways(true);
        prompter.presetAnswers({IDNO});
        CUploadDlg dialog(prompter, *client, {"A.PM", "B.PM", "C.PM"}, 0, folder.str());
        QCOMPARE(dialog.text(CUploadDlg::IDC_DESTINATION), QStringLiteral("??.??"));
        QCOMPARE(dialog.text(CUploadDlg::IDC_FILE_SIZE), QStringLiteral("0"));
        bool ended = false;
        openShown(dialog, ended);
        // The big file: its size shows and the bar moves.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return dialog.text(CUploadDlg::IDC_DESTINATION) == QStringLiteral("C.PM") &&
                       dialog.progressValue() > 0;
            },
            kRunLimitMs));
        QVERIFY(dialog.progressVisible());
        QCOMPARE(dialog.text(CUploadDlg::IDC_FILE_SIZE),
                 QString::fromStdString(texts::kilobytes(big.size())));
        grab(dialog, QStringLiteral("send-dialog.png"));
        QVERIFY(QTest::qWaitFor([&] { return ended; }, kRunLimitMs));
        QVERIFY(dialog.engine().succeeded());
        QCOMPARE(cnc.store.read("A.PM"), small);
        QCOMPARE(cnc.store.read("C.PM"), big);
        QVERIFY(!cnc.store.read("B.PM").has_value());
        QCOMPARE(prompter.asked().size(), 1);
        QVERIFY(prompter.asked().front().startsWith(
            QStringLiteral("The destination memory 'B.PM' already exists on the CNC.")));
        QCOMPARE(dialog.progressValue(), 100);
    }

    void behindTapeReaderCancelWhileTheCncExecutesEndsTheCommand() {
        SimulatedCnc cnc(
            {"--tcp-listen", "127.0.0.1:0", "--block-size", "64", "--btr-block-ms", "3000"});
        auto client = cnc.tcpClient();
        TempFolder folder;
        folder.write("RUN.PM", programText(40));
        folder.write("NEXT.PM", programText(5));
        Prompter prompter;
        prompter.presetAlways(true);
        QWidget owner;
        owner.show();
        BtrSendWindow command(prompter, *client, {"RUN.PM", "NEXT.PM"}, folder.str(), &owner);
        command.engine().setEndPause(0ms);
        bool cancelled = false;
        QElapsedTimer clock;
        clock.start();
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            CProgressDlg& window = command.window();
            if (cancelled || !window.text().startsWith(QStringLiteral("Sending memory: 'RUN.PM'")))
                return;
            cancelled = true;
            grab(window, QStringLiteral("btr-progress.png"));
            pressCancel(window);
        });
        watch.start(20);
        command.run();
        QVERIFY(cancelled);
        QVERIFY(!command.window().isVisible());
        QVERIFY(command.engine().completedFiles().empty());
        QVERIFY(cnc.report("transfer BR RUN.PM").value_or("").find("aborted") != std::string::npos);
        // The next file was not sent.
        QVERIFY(!cnc.report("transfer BR NEXT.PM", 200ms).has_value());
    }

    void aLinkHeldByAnotherHandleIsWaitedForThenUsed() {
        SimulatedCnc cnc({"--pty"});
        const std::string text = programText(30);
        cnc.store.write("PROG.PM", text);
        auto other = cnc.serialClient();
        auto client = cnc.serialClient();
        Reservation held = other->reserve();
        QVERIFY(held);
        TempFolder folder;
        Prompter prompter;
        prompter.presetAlways(true);
        CDownloadDlg dialog(prompter, *client, {"PROG.PM"}, 0, folder.str());
        bool ended = false;
        openShown(dialog, ended);
        QCOMPARE(dialog.text(CDownloadDlg::IDC_STATUS),
                 QStringLiteral(" Waiting for the connection to become free..."));
        QTest::qWait(300);
        QVERIFY(!ended);
        QVERIFY(!dialog.engine().started());
        // The close box while waiting ends that window at once: nothing was started.
        {
            CDownloadDlg closed(prompter, *client, {"PROG.PM"}, 0, folder.str());
            closed.open();
            QVERIFY(closed.isVisible());
            closed.close();
            QVERIFY(!closed.isVisible());
            QVERIFY(!closed.engine().started());
        }
        held.release();
        QVERIFY(QTest::qWaitFor([&] { return ended; }, kRunLimitMs));
        QVERIFY(dialog.engine().succeeded());
        QCOMPARE(folder.read("PROG.PM"), text);
    }
};

QTEST_MAIN(TransferWindowsTest)
#include "TransferWindowsTest.moc"
