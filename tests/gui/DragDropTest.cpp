// Dragging between the panes of the main window against the simulated CNC over TCP, with the
// mouse as QTest moves it: memories dropped onto a folder item land in that folder, files
// dropped onto the CNC pane arrive byte-exact, and a drop on the source pane, on a button,
// outside the window, on a pane without a link, or after the list lost the mouse starts
// nothing and leaves no highlight behind.
#include "SimulatedCnc.h"
#include "panes/ui/CCncView.h"
#include "panes/ui/CLocView.h"
#include "panes/ui/LocalFilesModel.h"
#include "panes/ui/PaneList.h"
#include "panes/ui/Prompter.h"
#include "shell/ui/CQelVevaDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>
#include <filesystem>

using namespace qel;
using namespace qel::ui;
using namespace std::chrono_literals;
using qel::testing::SimulatedCnc;
using qel::testing::TempFolder;

namespace {
constexpr int kLimitMs = 10000;

int rowOf(const QAbstractItemModel& model, const QString& text) {
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.index(row, 0).data().toString() == text) return row;
    }
    return -1;
}

void selectRows(PaneList& list, const QStringList& texts) {
    QItemSelectionModel* selection = list.selectionModel();
    selection->clearSelection();
    for (const QString& text : texts) {
        const QModelIndex index = list.model()->index(rowOf(*list.model(), text), 0);
        selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
}

// The mouse as the list holds it from the press on: every move and the release go to the
// source list's viewport, wherever the mouse is.
class Mouse {
  public:
    explicit Mouse(PaneList& source) : viewport_(source.viewport()) {}

    // Presses on the item of row and moves far enough for the drag to begin.
    void pressAndPull(PaneList& source, int row) {
        const QPoint start = source.visualRect(source.model()->index(row, 0)).center();
        QTest::mousePress(viewport_, Qt::LeftButton, {}, start);
        QTest::mouseMove(viewport_, start + QPoint(2, 1));
        QTest::mouseMove(viewport_, start + QPoint(30, 3));
    }
    void moveOver(QWidget& where, QPoint at) {
        last_ = viewport_->mapFromGlobal(where.mapToGlobal(at));
        QTest::mouseMove(viewport_, last_);
    }
    void release() { QTest::mouseRelease(viewport_, Qt::LeftButton, {}, last_); }

  private:
    QWidget* viewport_;
    QPoint last_;
};

QPoint centreOfRow(PaneList& list, int row) {
    return list.visualRect(list.model()->index(row, 0)).center();
}
}  // namespace

class DragDropTest : public QObject {
    Q_OBJECT

  private:
    TempFolder settings_;
    TempFolder local_;
    const std::string startFolder_ = std::filesystem::current_path().string();

    std::unique_ptr<CQelVevaDlg> start(Prompter& prompter, SimulatedCnc* cnc) {
        auto window = std::make_unique<CQelVevaDlg>(prompter);
        StartupChoices choices;
        if (cnc != nullptr) {
            const std::string address = cnc->tcpAddress();
            choices.ipAddress = "127.0.0.1";
            choices.port = static_cast<unsigned>(std::stoi(address.substr(address.rfind(':') + 1)));
        } else {
            // Nobody listens there: the connect fails at once.
            choices.ipAddress = "127.0.0.1";
            choices.port = 1;
        }
        choices.caption = "Drag";
        choices.showSplash = false;
        window->initialise(choices, settings_.str() + "QelVeva.cfg");
        window->resize(900, 520);
        window->show();
        window->activateWindow();
        window->localPane()->Navigate(local_.path.string());
        window->cncView().setTransferPauses({0ms, 10ms, 300ms});
        window->localPane()->setTransferPauses({0ms, 10ms, 300ms});
        return window;
    }
    static bool settled(CQelVevaDlg& window) {
        return QTest::qWaitFor([&] { return !window.connecting() && !window.cncView().busy(); },
                               kLimitMs);
    }
    static PaneList& localList(CQelVevaDlg& window) {
        return *qobject_cast<PaneList*>(window.control(CQelVevaDlg::IDC_LOCAL_LIST));
    }
    static PaneList& cncList(CQelVevaDlg& window) {
        return *qobject_cast<PaneList*>(window.control(CQelVevaDlg::IDC_CNC_LIST));
    }
    static bool showMemories(CQelVevaDlg& window) {
        window.cncView().ShowLevel(1);
        return settled(window) && window.cncView().level() == 1;
    }

  private slots:
    void init() {
        std::filesystem::remove_all(local_.path);
        std::filesystem::create_directories(local_.path / "Parts");
    }
    void cleanup() { std::filesystem::current_path(startFolder_); }

    void memoriesDroppedOnAFolderItemLandInThatFolder() {
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0"});
        cnc.store.write("A.PM", "N10 G0 X1\r\n");
        cnc.store.write("B.PM", "N10 G0 X2\r\n");
        cnc.store.write("C.PM", "N10 G0 X3\r\n");
        Prompter prompter;
        prompter.presetAlways(true);
        auto window = start(prompter, &cnc);
        QVERIFY(settled(*window));
        QVERIFY(showMemories(*window));
        PaneList& source = cncList(*window);
        PaneList& target = localList(*window);
        selectRows(source, {"A.PM", "B.PM"});

        // Pressing on one of the two selected memories keeps both selected; the picture
        // carries the mark of several items.
        Mouse mouse(source);
        mouse.pressAndPull(source, rowOf(*source.model(), "B.PM"));
        QVERIFY(source.dragging());
        QCOMPARE(window->statusText(),
                 QStringLiteral("Drop the file(s) on the destination list to transfer..."));
        QCOMPARE(source.selectionModel()->selectedRows().size(), 2);
        const int parts = rowOf(*target.model(), QStringLiteral("Parts"));
        QVERIFY(parts >= 0);
        mouse.moveOver(*target.viewport(), centreOfRow(target, parts));
        QCOMPARE(target.dropRow(), parts);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::ArrowCursor);
        QVERIFY(source.dragPicture() != nullptr);
        const int severalWidth = source.dragPicture()->width();
        // The picture sits under the mouse, inside the window.
        QVERIFY(source.dragPicture()->isVisible());
        QVERIFY(window->rect().contains(source.dragPicture()->geometry()));
        std::filesystem::create_directories(GRAB_FOLDER);
        QVERIFY(window->grab().save(QStringLiteral(GRAB_FOLDER "/drag-memories.png")));
        mouse.release();
        QCOMPARE(target.dropRow(), -1);
        QVERIFY(source.dragPicture() == nullptr);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);

        // The receive starts once the release is handled, into the folder of the item.
        QVERIFY(QTest::qWaitFor([&] { return local_.read("Parts/B.PM").has_value(); }, kLimitMs));
        QVERIFY(settled(*window));
        QCOMPARE(local_.read("Parts/A.PM"), std::string("N10 G0 X1\r\n"));
        QCOMPARE(local_.read("Parts/B.PM"), std::string("N10 G0 X2\r\n"));
        QVERIFY(!local_.read("A.PM").has_value());
        QVERIFY(!local_.read("Parts/C.PM").has_value());
        // The pane still shows its own folder; the memories keep their selection.
        QCOMPARE(window->localPane()->pane().currentFolder(), local_.str());
        QCOMPARE(source.selectionModel()->selectedRows().size(), 2);

        // One memory dropped on the list below its items goes into the shown folder; its
        // picture has no mark.
        selectRows(source, {"C.PM"});
        mouse.pressAndPull(source, rowOf(*source.model(), "C.PM"));
        QVERIFY(source.dragPicture()->width() < severalWidth);
        mouse.moveOver(*target.viewport(), QPoint(20, target.viewport()->height() - 5));
        QCOMPARE(target.dropRow(), -1);
        mouse.release();
        QVERIFY(QTest::qWaitFor([&] { return local_.read("C.PM").has_value(); }, kLimitMs));
        QCOMPARE(local_.read("C.PM"), std::string("N10 G0 X3\r\n"));
        QVERIFY(settled(*window));
        window->close();
    }

    void filesDroppedOnTheCncPaneArriveByteExact() {
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0"});
        std::string binary;
        for (int i = 0; i < 5000; ++i) binary += static_cast<char>((i * 7) % 256);
        local_.write("1001.PM", "%\r\nN10 G0 X1\r\nM30\r\n");
        local_.write("1002.PM", binary);
        Prompter prompter;
        prompter.presetAlways(true);
        auto window = start(prompter, &cnc);
        QVERIFY(settled(*window));
        QVERIFY(showMemories(*window));
        PaneList& source = localList(*window);
        PaneList& target = cncList(*window);
        QVERIFY(source.model()->rowCount() == 3);
        selectRows(source, {"1001.PM", "1002.PM"});

        Mouse mouse(source);
        mouse.pressAndPull(source, rowOf(*source.model(), "1001.PM"));
        mouse.moveOver(*target.viewport(), QPoint(30, 10));
        QCOMPARE(target.dropRow(), 0);
        mouse.release();
        QVERIFY(QTest::qWaitFor([&] { return cnc.store.read("1002.PM").has_value(); }, kLimitMs));
        QCOMPARE(cnc.store.read("1001.PM"), std::string("%\r\nN10 G0 X1\r\nM30\r\n"));
        QCOMPARE(cnc.store.read("1002.PM"), binary);
        // The CNC pane lists them afterwards; the local files keep their selection.
        QVERIFY(QTest::qWaitFor(
            [&] { return settled(*window) && rowOf(*target.model(), "1002.PM") >= 0; }, kLimitMs));
        QCOMPARE(source.selectionModel()->selectedRows().size(), 2);
        QCOMPARE(target.dropRow(), -1);
        window->close();
    }

    void aDropAnywhereElseStartsNothing() {
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0"});
        local_.write("1001.PM", "N10\r\n");
        Prompter prompter;
        prompter.presetAlways(true);
        auto window = start(prompter, &cnc);
        QVERIFY(settled(*window));
        QVERIFY(showMemories(*window));
        PaneList& source = localList(*window);
        PaneList& cnc_list = cncList(*window);
        QSignalSpy dropped(&source, &PaneList::dropped);
        const int file = rowOf(*source.model(), "1001.PM");
        Mouse mouse(source);

        // The source pane itself: no target, the forbidden cursor, no highlight there.
        selectRows(source, {"1001.PM"});
        mouse.pressAndPull(source, file);
        mouse.moveOver(*source.viewport(), centreOfRow(source, 0));
        QCOMPARE(source.dropRow(), -1);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::ForbiddenCursor);
        mouse.release();

        // Over the CNC pane first (highlighted), then dropped on a button: the highlight goes.
        mouse.pressAndPull(source, file);
        mouse.moveOver(*cnc_list.viewport(), QPoint(30, 10));
        QCOMPARE(cnc_list.dropRow(), 0);
        QWidget* button = window->control(CQelVevaDlg::IDC_RECEIVE);
        mouse.moveOver(*button, button->rect().center());
        QCOMPARE(cnc_list.dropRow(), -1);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::ForbiddenCursor);
        mouse.release();

        // Outside the window.
        mouse.pressAndPull(source, file);
        mouse.moveOver(*window, QPoint(-40, window->height() + 40));
        mouse.release();

        // The list loses the mouse (another window took it): the drag ends without a drop,
        // also when the mouse comes back over the CNC pane with the button up.
        mouse.pressAndPull(source, file);
        mouse.moveOver(*cnc_list.viewport(), QPoint(30, 10));
        QVERIFY(source.dragging());
        QEvent deactivated(QEvent::ActivationChange);
        window->activateWindow();
        QApplication::sendEvent(&source, &deactivated);
        if (source.dragging()) {
            // The offscreen window stays active: the release that went elsewhere ends it.
            QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(1, 1));
            QMouseEvent moved(
                QEvent::MouseMove, QPointF(source.viewport()->rect().center()),
                QPointF(source.viewport()->mapToGlobal(source.viewport()->rect().center())),
                Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(source.viewport(), &moved);
        }
        QVERIFY(!source.dragging());
        QCOMPARE(cnc_list.dropRow(), -1);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);

        QTest::qWait(50);
        QCOMPARE(dropped.count(), 0);
        QVERIFY(!cnc.store.read("1001.PM").has_value());
        QCOMPARE(window->statusText(), QStringLiteral("Ready"));
        window->close();
    }

    void aPaneWithoutALinkTakesNoDrop() {
        local_.write("1001.PM", "N10\r\n");
        Prompter prompter;
        prompter.presetAlways(true);
        auto window = start(prompter, nullptr);
        QVERIFY(settled(*window));
        PaneList& source = localList(*window);
        PaneList& target = cncList(*window);
        QVERIFY(!target.isEnabled());
        QSignalSpy dropped(&source, &PaneList::dropped);
        selectRows(source, {"1001.PM"});
        Mouse mouse(source);
        mouse.pressAndPull(source, rowOf(*source.model(), "1001.PM"));
        mouse.moveOver(*target.viewport(), QPoint(30, 10));
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::ForbiddenCursor);
        QCOMPARE(target.dropRow(), -1);
        mouse.release();
        QTest::qWait(50);
        QCOMPARE(dropped.count(), 0);
        window->close();
    }

    void aDropAfterTheCncWentAwayTellsAndLosesNothing() {
        auto cnc =
            std::make_unique<SimulatedCnc>(std::vector<std::string>{"--tcp-listen", "127.0.0.1:0"});
        local_.write("1001.PM", "N10 G0 X1\r\n");
        Prompter prompter;
        prompter.presetAlways(true);
        auto window = start(prompter, cnc.get());
        QVERIFY(settled(*window));
        QVERIFY(showMemories(*window));
        cnc->process().kill(SIGKILL);
        PaneList& source = localList(*window);
        PaneList& target = cncList(*window);
        selectRows(source, {"1001.PM"});
        Mouse mouse(source);
        mouse.pressAndPull(source, rowOf(*source.model(), "1001.PM"));
        mouse.moveOver(*target.viewport(), QPoint(30, 10));
        mouse.release();
        // The send window tells of the lost CNC; the file stays as it was.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return prompter.asked().contains(QStringLiteral(
                    "Unable to start sending.\nThe CNC may no longer be available."));
            },
            kLimitMs));
        QVERIFY(settled(*window));
        QCOMPARE(local_.read("1001.PM"), std::string("N10 G0 X1\r\n"));
        window->close();
    }
};

QTEST_MAIN(DragDropTest)
#include "DragDropTest.moc"
