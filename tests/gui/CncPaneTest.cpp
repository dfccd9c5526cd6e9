// The CNC memory pane in the main window against the simulated CNC over TCP: the memory types,
// one type's memories, two of them received into the current folder, a memory deleted and
// gone from the list, a link pulled before a listing. The model is checked by Qt's tester.
#include "SimulatedCnc.h"
#include "panes/ui/CCncView.h"
#include "panes/ui/CLocView.h"
#include "panes/ui/LocalFilesModel.h"
#include "panes/ui/Prompter.h"
#include "shell/ui/CQelVevaDlg.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

#include <unistd.h>
#include <csignal>
#include <filesystem>

using namespace qel;
using namespace qel::ui;
using namespace std::chrono_literals;
using qel::testing::SimulatedCnc;
using qel::testing::TempFolder;

namespace {
constexpr int kLimitMs = 10000;

QStringList itemTexts(CncMemoryModel& model) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row) {
        texts << model.data(model.index(row, 0), Qt::DisplayRole).toString();
    }
    return texts;
}
}  // namespace

class CncPaneTest : public QObject {
    Q_OBJECT

  private:
    TempFolder settings_;
    TempFolder local_;

    std::unique_ptr<CQelVevaDlg> start(Prompter& prompter, SimulatedCnc& cnc) {
        auto window = std::make_unique<CQelVevaDlg>(prompter);
        const std::string address = cnc.tcpAddress();
        StartupChoices choices;
        choices.ipAddress = "127.0.0.1";
        choices.port = static_cast<unsigned>(std::stoi(address.substr(address.rfind(':') + 1)));
        choices.caption = "Pane";
        choices.showSplash = false;
        window->initialise(choices, settings_.str() + "QelVeva.cfg");
        window->show();
        // The files go to the current folder, which the local pane shows.
        window->localPane()->Navigate(local_.path.string());
        if (std::filesystem::current_path() != local_.path) return nullptr;
        window->cncView().setTransferPauses({0ms, 10ms, 300ms});
        return window;
    }
    static bool settled(CQelVevaDlg& window) {
        return QTest::qWaitFor([&] { return !window.connecting() && !window.cncView().busy(); },
                               kLimitMs);
    }

  private slots:
    void listsATypeReceivesTwoMemoriesAndDeletesOne() {
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0"});
        cnc.store.write("A.PM", "N10 G0 X1\r\n");
        cnc.store.write("B.PM", "N10 G0 X2\r\n");
        cnc.store.write("C.PP", "N10 G0 X3\r\n");
        Prompter prompter;
        prompter.presetAlways(true);
        auto window = start(prompter, cnc);
        QVERIFY(window != nullptr);
        QVERIFY(settled(*window));
        CCncView& pane = window->cncView();
        QAbstractItemModelTester tester(&pane.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(itemTexts(pane.model()), QStringList{QStringLiteral("Part Programs")});
        QVERIFY(!window->control(CCncView::IDC_BACK)->isEnabled());
        QVERIFY(!window->control(CCncView::IDC_DELETE)->isEnabled());
        QVERIFY(window->control(CCncView::IDC_RECEIVE)->isEnabled());
        QVERIFY(qobject_cast<QLabel*>(window->control(CCncView::IDC_FREE_MEMORY))
                    ->text()
                    .endsWith(QStringLiteral(" KB")));

        // Opening the type lists its memories of all three codes; *.PT has none ("T NP").
        QTest::keyClick(pane.list(), Qt::Key_Home);
        QCoreApplication::postEvent(pane.list(), new QEvent(WM_OPEN_FOCUSED_ITEM));
        QVERIFY(QTest::qWaitFor([&] { return pane.level() == 1 && !pane.busy(); }, kLimitMs));
        QCOMPARE(itemTexts(pane.model()), (QStringList{"A.PM", "B.PM", "C.PP", "PT.PT"}));
        QVERIFY(window->control(CCncView::IDC_BACK)->isEnabled());
        QVERIFY(window->control(CCncView::IDC_DELETE)->isEnabled());
        std::filesystem::create_directories(GRAB_FOLDER);
        QVERIFY(window->grab().save(QStringLiteral(GRAB_FOLDER "/cnc-pane.png")));

        // Two selected memories are received into the current folder.
        QSignalSpy arrived(&pane, &CCncView::localFolderChanged);
        QItemSelectionModel* selection = pane.list()->selectionModel();
        selection->clearSelection();
        selection->select(pane.model().index(0, 0), QItemSelectionModel::Select);
        selection->select(pane.model().index(1, 0), QItemSelectionModel::Select);
        qobject_cast<QPushButton*>(window->control(CCncView::IDC_RECEIVE))->click();
        QCOMPARE(arrived.count(), 1);
        QCOMPARE(local_.read("A.PM"), std::string("N10 G0 X1\r\n"));
        QCOMPARE(local_.read("B.PM"), std::string("N10 G0 X2\r\n"));
        QVERIFY(!local_.read("C.PP").has_value());
        // They show in the local pane without a manual refresh.
        LocalFilesModel& files = window->localPane()->model();
        const auto listed = [&files](const QString& name) {
            for (int row = 0; row < files.rowCount(); ++row) {
                if (files.data(files.index(row, 0), Qt::DisplayRole).toString() == name)
                    return true;
            }
            return false;
        };
        QVERIFY(QTest::qWaitFor([&] { return listed("A.PM") && listed("B.PM"); }, kLimitMs));
        QVERIFY(settled(*window));

        // Delete, answered Yes: the memory goes from the CNC and from the list.
        selection->clearSelection();
        const int row = pane.model().rowOf("C.PP");
        selection->select(pane.model().index(row, 0), QItemSelectionModel::Select);
        prompter.presetAnswers({IDYES});
        qobject_cast<QPushButton*>(window->control(CCncView::IDC_DELETE))->click();
        QVERIFY(QTest::qWaitFor([&] { return pane.model().rowOf("C.PP") < 0; }, kLimitMs));
        QVERIFY(!cnc.store.read("C.PP").has_value());
        // No PP memory is left: the CNC answers "T NP" and the whole memory stands for it.
        QCOMPARE(itemTexts(pane.model()), (QStringList{"A.PM", "B.PM", "PP.PP", "PT.PT"}));

        // Back selects the type again.
        qobject_cast<QPushButton*>(window->control(CCncView::IDC_BACK))->click();
        QVERIFY(QTest::qWaitFor([&] { return pane.level() == 0 && !pane.busy(); }, kLimitMs));
        QCOMPARE(pane.list()->currentIndex().row(), 0);
        window->close();
    }

    void aLinkPulledBeforeAListingGivesTheLinkLostBoxAndStaysUsable() {
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0"});
        cnc.store.write("A.PM", "N10\r\n");
        Prompter prompter;
        prompter.presetAlways(true);
        auto window = start(prompter, cnc);
        QVERIFY(window != nullptr);
        QVERIFY(settled(*window));
        const qsizetype before = prompter.asked().size();
        cnc.process().kill(SIGKILL);
        window->cncView().ShowLevel(1);
        QVERIFY(settled(*window));
        QVERIFY(prompter.asked().size() <= before + 1);
        QVERIFY(window->isVisible());
        QVERIFY(window->control(1031)->isEnabled());  // Reconnect
        QVERIFY(itemTexts(window->cncView().model()).isEmpty());
        window->close();
    }

    // A refresh that drops and adds many memories at once keeps the list sorted without
    // regard to case, drops every spelling of a gone name and keeps persistent rows right.
    void aRefreshOfManyChangesKeepsTheListSortedAndTheSelectionOnItsItem() {
        CncMemoryModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        std::vector<PaneItem> items;
        for (int i = 0; i < 300; i += 2)
            items.push_back({"P" + std::to_string(1000 + i) + ".PM", 1, 1});
        model.setItems(items);
        const QPersistentModelIndex kept = model.index(model.rowOf("P1102.PM"), 0);
        std::vector<std::string> gone;
        for (int i = 0; i < 300; i += 4) gone.push_back("p" + std::to_string(1000 + i) + ".pm");
        std::vector<PaneItem> added;
        for (int i = 299; i > 0; i -= 2)
            added.push_back({"P" + std::to_string(1000 + i) + ".PM", 1, 1});
        added.push_back({"a.PM", 1, 1});
        added.push_back({"Z.PM", 1, 1});
        model.update(gone, added);

        QStringList expected;
        for (int i = 1; i < 300; ++i) {
            if (i % 2 == 1 || i % 4 != 0) expected << QString("P%1.PM").arg(1000 + i);
        }
        expected.prepend("a.PM");
        expected.append("Z.PM");
        QCOMPARE(itemTexts(model), expected);
        QVERIFY(kept.isValid());
        QCOMPARE(kept.data().toString(), QString("P1102.PM"));
        model.update({"A.pm", "nothing.PM"}, {});
        QCOMPARE(model.rowCount(), expected.size() - 1);
    }
};

QTEST_MAIN(CncPaneTest)
#include "CncPaneTest.moc"
