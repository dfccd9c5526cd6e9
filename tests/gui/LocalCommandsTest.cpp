// The local pane's commands in the main window: Delete skips folders and falls back to the
// focused file, renaming by editing the label holds the refresh off and never replaces a file,
// a new folder takes the next free number and is named at once, the Select filter and Select
// All Files, the two context menus, the editor getting a name with blanks whole (and the
// status line when no editor can be started), and the transfer buttons per link type.
#include "SimulatedCnc.h"
#include "panes/ui/CLocView.h"
#include "panes/ui/LocalFilesModel.h"
#include "panes/ui/PaneList.h"
#include "panes/ui/Prompter.h"
#include "shell/ui/CQelVevaDlg.h"

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace qel;
using namespace qel::ui;
using namespace std::chrono_literals;
using qel::testing::SimulatedCnc;
using qel::testing::TempFolder;

namespace {
constexpr int kLimitMs = 10000;

QStringList rowNames(const QAbstractItemModel& model) {
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row) names << model.index(row, 0).data().toString();
    return names;
}

int rowOf(const QAbstractItemModel& model, const QString& name) {
    return static_cast<int>(rowNames(model).indexOf(name));
}

QStringList selectedNames(PaneList& list) {
    QStringList names;
    QModelIndexList rows = list.selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    for (const QModelIndex& index : rows) names << index.data().toString();
    return names;
}

// The menu that opens next: its name and its actions' names, then it is closed.
QStringList nextMenu(const std::function<void()>& open) {
    QStringList seen;
    QTimer::singleShot(0, [&seen] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) return;
        for (QAction* action : menu->findChildren<QAction*>()) {
            if (!action->objectName().isEmpty()) seen << action->objectName();
        }
        seen.sort();
        seen.prepend(menu->objectName());
        std::filesystem::create_directories(GRAB_FOLDER);
        menu->grab().save(QStringLiteral(GRAB_FOLDER "/local-menu-%1.png").arg(menu->objectName()));
        menu->close();
    });
    open();
    return seen;
}
}  // namespace

class LocalCommandsTest : public QObject {
    Q_OBJECT

  private:
    TempFolder settings_;
    TempFolder local_;
    const std::string startFolder_ = std::filesystem::current_path().string();

    std::unique_ptr<CQelVevaDlg> start(Prompter& prompter, SimulatedCnc* cnc = nullptr) {
        prompter.presetAlways(true);  // no box waits for a person
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
        choices.caption = "Commands";
        choices.showSplash = false;
        window->initialise(choices, settings_.str() + "QelVeva.cfg");
        window->show();
        window->activateWindow();
        window->localPane()->Navigate(local_.path.string());
        if (!QTest::qWaitFor([&] { return !window->connecting(); }, kLimitMs)) return nullptr;
        return window;
    }
    static PaneList& list(CQelVevaDlg& window) { return *window.localPane()->list(); }
    static void select(CQelVevaDlg& window, const QStringList& names) {
        PaneList& files = list(window);
        files.selectionModel()->clearSelection();
        for (const QString& name : names) {
            const QModelIndex index = files.model()->index(rowOf(*files.model(), name), 0);
            files.selectionModel()->select(index,
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    static void focusOnly(CQelVevaDlg& window, const QString& name) {
        PaneList& files = list(window);
        files.selectionModel()->clearSelection();
        files.selectionModel()->setCurrentIndex(
            files.model()->index(rowOf(*files.model(), name), 0), QItemSelectionModel::NoUpdate);
    }
    static QPushButton* button(CQelVevaDlg& window, int id) {
        return qobject_cast<QPushButton*>(window.control(id));
    }
    static QLineEdit* labelEditor(CQelVevaDlg& window) {
        return list(window).viewport()->findChild<QLineEdit*>();
    }
    static void typeName(CQelVevaDlg& window, const QString& name, Qt::Key end = Qt::Key_Return) {
        QLineEdit* editor = labelEditor(window);
        QVERIFY(editor != nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, name);
        QTest::keyClick(editor, end);
    }

  private slots:
    void init() {
        std::filesystem::current_path(startFolder_);
        std::filesystem::remove_all(local_.path);
        std::filesystem::create_directories(local_.path / "Sub");
        local_.write("a.PM", "A");
        local_.write("b.PM", "BB");
        local_.write("c.txt", "CCC");
    }
    void cleanup() { std::filesystem::current_path(startFolder_); }

    void deleteSkipsFoldersAndWithoutASelectionTakesTheFocusedFile() {
        Prompter prompter;
        auto window = start(prompter);
        QPushButton* remove = button(*window, CQelVevaDlg::IDC_LOCAL_DELETE);
        select(*window, {"Sub", "a.PM", "b.PM"});
        QVERIFY(remove->isEnabled());

        // No keeps everything.
        prompter.presetAnswers({IDNO});
        remove->click();
        QVERIFY(std::filesystem::exists(local_.path / "a.PM"));

        prompter.presetAnswers({IDYES});
        remove->click();
        QVERIFY(prompter.asked().last().startsWith(QStringLiteral("Delete selected files?")));
        QVERIFY(std::filesystem::is_directory(local_.path / "Sub"));
        QVERIFY(!std::filesystem::exists(local_.path / "a.PM"));
        QVERIFY(!std::filesystem::exists(local_.path / "b.PM"));
        QCOMPARE(rowNames(window->localPane()->model()), (QStringList{"Sub", "c.txt"}));
        QCOMPARE(window->statusText(), QStringLiteral("Ready"));

        // The focus on a folder: nothing to delete, the button is off.
        focusOnly(*window, "Sub");
        QVERIFY(!remove->isEnabled());
        focusOnly(*window, "c.txt");
        QVERIFY(remove->isEnabled());
        prompter.presetAnswers({IDYES});
        remove->click();
        QVERIFY(!std::filesystem::exists(local_.path / "c.txt"));
        QCOMPARE(rowNames(window->localPane()->model()), QStringList{"Sub"});
        window->close();
    }

    void renamingHoldsTheRefreshOffAndNeverReplacesAFile() {
        Prompter prompter;
        auto window = start(prompter);
        select(*window, {"a.PM"});
        window->localPane()->RenameSelected();
        QVERIFY(labelEditor(*window) != nullptr);
        QVERIFY(!window->localPane()->pane().refreshEnabled());
        // A file that comes meanwhile waits for the end of the editing.
        local_.write("late.PM", "L");
        QTest::qWait(150);
        QCOMPARE(rowOf(window->localPane()->model(), "late.PM"), -1);
        typeName(*window, "My Part \"1\".PM");
        QVERIFY(QTest::qWaitFor([&] { return rowOf(window->localPane()->model(), "late.PM") >= 0; },
                                kLimitMs));
        QCOMPARE(local_.read("My Part \"1\".PM"), std::string("A"));
        QCOMPARE(rowNames(window->localPane()->model()),
                 (QStringList{"Sub", "b.PM", "c.txt", "late.PM", "My Part \"1\".PM"}));
        QVERIFY(window->localPane()->pane().refreshEnabled());

        // Onto an existing name: refused, both files stay as they were, both are listed.
        select(*window, {"b.PM"});
        window->localPane()->RenameSelected();
        typeName(*window, "c.txt");
        QTest::qWait(20);
        QCOMPARE(local_.read("b.PM"), std::string("BB"));
        QCOMPARE(local_.read("c.txt"), std::string("CCC"));
        QVERIFY(rowOf(window->localPane()->model(), "b.PM") >= 0);
        // Into a folder: refused too. Escape keeps the name.
        select(*window, {"b.PM"});
        window->localPane()->RenameSelected();
        typeName(*window, "Sub/b.PM");
        QVERIFY(!std::filesystem::exists(local_.path / "Sub/b.PM"));
        select(*window, {"b.PM"});
        window->localPane()->RenameSelected();
        typeName(*window, "x.PM", Qt::Key_Escape);
        QTest::qWait(20);
        QCOMPARE(local_.read("b.PM"), std::string("BB"));
        QVERIFY(window->localPane()->pane().refreshEnabled());
        // A folder is not renamed from the menu command.
        select(*window, {"Sub"});
        window->localPane()->RenameSelected();
        QVERIFY(labelEditor(*window) == nullptr);
        window->close();
    }

    void aNewFolderTakesTheNextFreeNumberAndIsNamedAtOnce() {
        std::filesystem::create_directories(local_.path / "New Folder");
        std::filesystem::create_directories(local_.path / "New Folder (2)");
        Prompter prompter;
        auto window = start(prompter);
        window->localPane()->NewFolder();
        QVERIFY(std::filesystem::is_directory(local_.path / "New Folder (3)"));
        QLineEdit* editor = labelEditor(*window);
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->text(), QStringLiteral("New Folder (3)"));
        std::filesystem::create_directories(GRAB_FOLDER);
        QVERIFY(window->grab().save(QStringLiteral(GRAB_FOLDER "/local-new-folder.png")));
        typeName(*window, "Fixtures");
        QVERIFY(QTest::qWaitFor(
            [&] { return rowOf(window->localPane()->model(), "Fixtures") >= 0; }, kLimitMs));
        QVERIFY(std::filesystem::is_directory(local_.path / "Fixtures"));
        QCOMPARE(rowOf(window->localPane()->model(), "New Folder (3)"), -1);

        // A new text file keeps its default name when the editing ends unchanged.
        window->localPane()->NewTextFile();
        typeName(*window, "New File.txt");
        QVERIFY(QTest::qWaitFor(
            [&] { return rowOf(window->localPane()->model(), "New File.txt") >= 0; }, kLimitMs));
        QCOMPARE(local_.read("New File.txt"), std::string());
        window->close();
    }

    void theSelectionsAndTheTwoMenus() {
        Prompter prompter;
        auto window = start(prompter);
        PaneList& files = list(*window);
        select(*window, {"Sub", "c.txt"});
        prompter.presetTexts({QStringLiteral("*.pm")});
        button(*window, CQelVevaDlg::IDC_LOCAL_SELECT)->click();
        QCOMPARE(selectedNames(files), (QStringList{"a.PM", "b.PM"}));
        window->localPane()->SelectAll();
        QCOMPARE(selectedNames(files), (QStringList{"Sub", "a.PM", "b.PM", "c.txt"}));
        window->localPane()->SelectAllFiles();
        QCOMPARE(selectedNames(files), (QStringList{"a.PM", "b.PM", "c.txt"}));

        // A right click on a file gives its menu; on a folder, below the items or from the
        // keyboard the other one.
        const auto rightClick = [&](QPoint at, QContextMenuEvent::Reason reason) {
            return nextMenu([&] {
                QContextMenuEvent event(reason, at, files.viewport()->mapToGlobal(at));
                QApplication::sendEvent(files.viewport(), &event);
            });
        };
        const QPoint onFile = files.visualRect(files.model()->index(1, 0)).center();
        const QPoint onFolder = files.visualRect(files.model()->index(0, 0)).center();
        const QPoint below(10, files.viewport()->height() - 5);
        // The menu's name, then its commands (those of the submenu New too), sorted.
        const QStringList fileMenu{"m142", "m1026", "m1200", "m1201", "m1202"};
        const QStringList folderMenu{"m153", "m1021", "m1024", "m1026", "m1206", "m1207", "m32"};
        QCOMPARE(rightClick(onFile, QContextMenuEvent::Mouse), fileMenu);
        QCOMPARE(rightClick(onFolder, QContextMenuEvent::Mouse), folderMenu);
        QCOMPARE(rightClick(below, QContextMenuEvent::Mouse), folderMenu);
        QCOMPARE(rightClick(onFile, QContextMenuEvent::Keyboard), folderMenu);
        window->close();
    }

    void theEditorGetsTheWholePathAndAMissingOneIsTold() {
        // The editor writes each argument it got on a line of its own.
        const std::string editor = local_.str() + "Sub/record editor";
        const std::string record = local_.str() + "Sub/arguments";
        std::ofstream(editor) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \""
                              << record << "\"\n";
        ::chmod(editor.c_str(), 0755);
        local_.write("My Part 'one'.PM", "N1\r\n");
        Prompter prompter;
        auto window = start(prompter);
        CLocView& pane = *window->localPane();
        pane.SetEditor("\"" + editor + "\" --new");
        pane.OpenItem(rowOf(pane.model(), "My Part 'one'.PM"));
        QVERIFY(
            QTest::qWaitFor([&] { return local_.read("Sub/arguments").has_value(); }, kLimitMs));
        QVERIFY(
            QTest::qWaitFor([&] { return local_.read("Sub/arguments")->size() > 6; }, kLimitMs));
        QCOMPARE(*local_.read("Sub/arguments"), "--new\n" + local_.str() + "My Part 'one'.PM\n");

        // No editor and no xdg-open to fall back on: the status line says so.
        const std::string path = std::getenv("PATH");
        const char* visual = std::getenv("VISUAL");
        const std::string keptVisual = visual != nullptr ? visual : "";
        ::setenv("PATH", (local_.str() + "Sub").c_str(), 1);
        ::unsetenv("VISUAL");
        pane.SetEditor("NOTEPAD");
        pane.OpenItem(rowOf(pane.model(), "a.PM"));
        ::setenv("PATH", path.c_str(), 1);
        if (visual != nullptr) ::setenv("VISUAL", keptVisual.c_str(), 1);
        QCOMPARE(window->statusText(),
                 QStringLiteral("The editor could not be started (xdg-open)."));

        // A folder opens in the pane.
        pane.OpenItem(rowOf(pane.model(), "Sub"));
        QCOMPARE(pane.pane().currentFolder(), local_.str() + "Sub/");
        window->close();
    }

    void theTransferButtonsFollowTheLink() {
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0"});
        Prompter prompter;
        prompter.presetAlways(true);
        auto window = start(prompter, &cnc);
        QVERIFY(window->session().connected());
        select(*window, {"a.PM"});
        QVERIFY(button(*window, CQelVevaDlg::IDC_SEND)->isEnabled());
        QVERIFY(button(*window, CQelVevaDlg::IDC_SEND_AS)->isEnabled());
        QVERIFY(!button(*window, CQelVevaDlg::IDC_BTR_SEND)->isEnabled());
        select(*window, {"Sub"});
        QVERIFY(!button(*window, CQelVevaDlg::IDC_SEND)->isEnabled());

        // Send as, with the name the operator gives.
        select(*window, {"a.PM"});
        prompter.presetTexts({QStringLiteral("7000.PM")});
        button(*window, CQelVevaDlg::IDC_SEND_AS)->click();
        QCOMPARE(cnc.store.read("7000.PM"), std::string("A"));
        QVERIFY(!cnc.store.read("a.PM").has_value());

        // A file another program deleted after it was selected: the send window asks Retry or
        // Cancel, and Cancel leaves nothing on the CNC.
        select(*window, {"b.PM"});
        std::filesystem::remove(local_.path / "b.PM");
        button(*window, CQelVevaDlg::IDC_SEND)->click();
        QVERIFY(prompter.asked().contains(QStringLiteral(
            "The file 'b.PM' no longer exists in the current directory.\nPress 'Retry' to look "
            "again.")));
        QVERIFY(!cnc.store.read("b.PM").has_value());
        QCOMPARE(cnc.store.entries(), std::set<std::string>{"7000.PM"});

        // A telegram line allows sending behind the tape reader.
        SimulatedCnc serial({"--pty"});
        auto client = serial.serialClient();
        QVERIFY(client->isConnected());
        window->localPane()->SetLink(client.get(), window->session().localPaneOptions());
        select(*window, {"a.PM"});
        QVERIFY(button(*window, CQelVevaDlg::IDC_BTR_SEND)->isEnabled());
        window->localPane()->SetLink(nullptr, 0);
        select(*window, {"a.PM"});
        QVERIFY(!button(*window, CQelVevaDlg::IDC_SEND)->isEnabled());
        QVERIFY(button(*window, CQelVevaDlg::IDC_LOCAL_DELETE)->isEnabled());
        window->close();
    }
};

QTEST_MAIN(LocalCommandsTest)
#include "LocalCommandsTest.moc"
