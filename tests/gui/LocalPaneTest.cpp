// The local files pane on its controls: the model passes Qt's model tester while folders are
// shown and refreshed; the watcher's changes reach the list without losing the selection; the
// path combo, Back and the display filter; a folder that hangs or cannot be read asks Retry or
// Cancel; 100,000 files; and the pane in the main window, grabbed to a PNG.
#include "ScratchFolder.h"
#include "TestDisk.h"
#include "panes/ui/CLocView.h"
#include "panes/ui/CTreeCombo.h"
#include "panes/ui/ControlIds.h"
#include "panes/ui/PaneList.h"
#include "shell/ui/CQelVevaDlg.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

using namespace qel;
using namespace qel::ui;
using qel::testing::ScratchFolder;
using qel::testing::TestDisk;
using namespace std::chrono_literals;

namespace {
// The controls of the main window's left half, by id, for a pane of its own.
class PaneWindow final : public QWidget {
  public:
    PaneWindow() {
        auto* layout = new QVBoxLayout(this);
        add(folder = new CTreeCombo(this), 1008);
        add(back = new QPushButton(QStringLiteral("&Back"), this), 1009);
        add(list = new PaneList(this), 1010);
        add(filter = new QLineEdit(QStringLiteral("*.*"), this), 1012);
        add(freeDisk = new QLabel(QStringLiteral("???"), this), 1013);
        for (const int id : {1014, 1015, 1016, 1023, 1018, 1073}) {
            add(new QPushButton(QString::number(id), this), id);
        }
        for (QWidget* control : findChildren<QWidget*>()) layout->addWidget(control);
        resize(360, 420);
    }
    CTreeCombo* folder;
    QPushButton* back;
    PaneList* list;
    QLineEdit* filter;
    QLabel* freeDisk;

  private:
    void add(QWidget* control, int id) { identify(control, id); }
};

MemoryTypeTable programTypes() {
    MemoryTypeTable types{};
    types[0].inUse = 1;
    std::strcpy(types[0].name, "Programs");
    std::strcpy(types[0].wildcards, "*.PM;*.PP");
    types[0].iconIndex = 5;
    return types;
}

QStringList rowNames(const QAbstractItemModel& model) {
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row) names << model.index(row, 0).data().toString();
    return names;
}

QString selectedName(QTreeView& list) {
    const QModelIndexList rows = list.selectionModel()->selectedRows();
    return rows.size() == 1 ? rows.front().data().toString() : QString();
}
}  // namespace

class LocalPaneTest : public QObject {
    Q_OBJECT

  private:
    struct Pane {
        explicit Pane(const std::string& driveRoot, std::chrono::milliseconds limit = 2000ms)
            : disk(std::make_shared<TestDisk>(driveRoot)), view(prompter, disk, limit) {
            prompter.presetAlways(true);
            window.show();
        }
        bool attach() {
            return view.Attach(&window, LocalPaneControls{}, programTypes(), 0, folder);
        }
        Prompter prompter;
        std::shared_ptr<TestDisk> disk;
        PaneWindow window;
        std::string folder;
        CLocView view;
    };
    const std::string startFolder_ = std::filesystem::current_path().string();

    static void makeFolder(const ScratchFolder& scratch) {
        scratch.folder("A/Sub");
        scratch.folder("A/Older");
        scratch.write("A/one.PM", std::string(512, 'x'));
        scratch.write("A/two.PP", std::string(20000, 'y'));
        scratch.write("A/notes.txt");
    }

  private slots:
    void cleanup() { ::chdir(startFolder_.c_str()); }

    void theListShowsFoldersFirstWithSizesIconsAndColumns() {
        ScratchFolder scratch;
        makeFolder(scratch);
        Pane pane(scratch.str());
        QVERIFY(pane.attach());
        QAbstractItemModelTester tester(&pane.view.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(pane.view.Navigate(scratch / "A"));
        QCOMPARE(pane.window.filter->text(), QStringLiteral("*"));
        const QAbstractItemModel& model = pane.view.model();
        QCOMPARE(rowNames(model), (QStringList{"Older", "Sub", "notes.txt", "one.PM", "two.PP"}));
        QCOMPARE(model.columnCount(), 2);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Files & Folders"));
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Size"));
        QCOMPARE(model.index(0, 1).data().toString(), QString());  // a folder has no size
        QCOMPARE(model.index(3, 1).data().toString(), QStringLiteral("0.50KB"));
        QCOMPARE(model.index(4, 1).data().toString(), QStringLiteral("19.5KB"));
        QCOMPARE(model.index(4, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
                 Qt::AlignRight | Qt::AlignVCenter);
        QCOMPARE(model.index(0, 0).data(LocalFilesModel::TagRole).toInt(), 0);
        QCOMPARE(model.index(2, 0).data(LocalFilesModel::TagRole).toInt(), 2);
        QCOMPARE(model.index(2, 0).data(LocalFilesModel::ImageRole).toInt(), 2);
        QCOMPARE(model.index(3, 0).data(LocalFilesModel::ImageRole).toInt(), 5);
        QVERIFY(!model.index(3, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
        // The first item is selected and current; the free space is shown.
        QCOMPARE(selectedName(*pane.window.list), QStringLiteral("Older"));
        QVERIFY(pane.window.freeDisk->text().endsWith(QStringLiteral(" KB")));
        QCOMPARE(pane.window.freeDisk->accessibleName(), pane.window.freeDisk->text());
        QCOMPARE(pane.folder, scratch / "A/");
    }

    void theWatchersChangesReachTheListAndTheSelectionStays() {
        ScratchFolder scratch;
        makeFolder(scratch);
        Pane pane(scratch.str());
        QVERIFY(pane.attach());
        QAbstractItemModelTester tester(&pane.view.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(pane.view.Navigate(scratch / "A"));
        QTreeView& list = *pane.window.list;
        const QModelIndex two = pane.view.model().index(4, 0);
        list.selectionModel()->setCurrentIndex(
            two, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

        // Names before and after the selected one come and go; it stays selected.
        scratch.write("A/aaa.PM");
        scratch.write("A/zzz.PM");
        std::filesystem::remove(scratch / "A/one.PM");
        scratch.folder("A/New folder");
        QTRY_COMPARE(
            rowNames(pane.view.model()),
            (QStringList{"New folder", "Older", "Sub", "aaa.PM", "notes.txt", "two.PP", "zzz.PM"}));
        QCOMPARE(selectedName(list), QStringLiteral("two.PP"));
        QCOMPARE(list.currentIndex().data().toString(), QStringLiteral("two.PP"));

        // A folder deleted while shown: the pane moves up to the deepest one that exists.
        QVERIFY(pane.view.Navigate(scratch / "A/Sub"));
        std::filesystem::remove_all(scratch / "A");
        QTRY_VERIFY2(pane.folder == scratch.str(), pane.folder.c_str());
        QCOMPARE(pane.window.folder->currentText(),
                 QStringLiteral("scratch (%1)").arg(QString::fromStdString(scratch.str())));
        QVERIFY(!pane.window.back->isEnabled());  // at the drive root
    }

    void thePathComboAndBackMoveBetweenFolders() {
        ScratchFolder scratch;
        makeFolder(scratch);
        Pane pane(scratch.str());
        QVERIFY(pane.attach());
        QVERIFY(!pane.view.Navigate(scratch / "A/Sub/missing/deeper"));
        CTreeCombo& combo = *pane.window.folder;
        QCOMPARE(combo.count(), 4);
        QCOMPARE(combo.currentIndex(), 3);
        QCOMPARE(combo.itemText(3), QStringLiteral("Sub"));
        QCOMPARE(combo.indentOf(3), 2);
        QCOMPARE(combo.imageOf(3), 1);
        QCOMPARE(combo.imageOf(2), 0);
        QCOMPARE(combo.imageOf(1), 42);
        QVERIFY(pane.window.back->isEnabled());

        // Back: one level up, the first item selected and the list focused.
        pane.window.back->click();
        QCOMPARE(pane.folder, scratch / "A/");
        QCOMPARE(selectedName(*pane.window.list), QStringLiteral("Older"));
        QCOMPARE(combo.count(), 3);

        // The drive entry of the combo: its root.
        combo.activated(1);
        QCOMPARE(pane.folder, scratch.str());
        QVERIFY(!pane.window.back->isEnabled());
        QCOMPARE(rowNames(pane.view.model()), QStringList{"A"});
    }

    void typingInTheFilterReadsTheFolderOnlyWhenTheEditIsLeft() {
        ScratchFolder scratch;
        makeFolder(scratch);
        Pane pane(scratch.str());
        QVERIFY(pane.attach());
        QVERIFY(pane.view.Navigate(scratch / "A"));
        pane.window.activateWindow();
        pane.window.filter->setFocus();
        QTRY_VERIFY(pane.window.filter->hasFocus());
        const int readings = pane.disk->readings();
        pane.window.filter->selectAll();
        QTest::keyClicks(pane.window.filter, QStringLiteral("*.PM;*.PP"));
        QCOMPARE(pane.disk->readings(), readings);
        pane.window.list->setFocus();
        QTRY_COMPARE(pane.disk->readings(), readings + 1);
        QCOMPARE(rowNames(pane.view.model()), (QStringList{"Older", "Sub", "one.PM", "two.PP"}));
        // Leaving the edit again without typing reads nothing.
        pane.window.filter->setFocus();
        pane.window.list->setFocus();
        QCOMPARE(pane.disk->readings(), readings + 1);
    }

    void aHangingDiskAsksRetryOrCancelWithinTheLimit() {
        ScratchFolder scratch;
        makeFolder(scratch);
        Pane pane(scratch.str(), 150ms);
        QVERIFY(pane.attach());
        QVERIFY(pane.view.Navigate(scratch / "A"));
        pane.disk->hang();
        QElapsedTimer clock;
        clock.start();
        pane.prompter.presetAnswers({IDCANCEL});
        QVERIFY(!pane.view.Navigate(scratch / "A/Sub"));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(pane.prompter.asked().constLast(),
                 QStringLiteral("Unable to access directory/drive.\nPlease check that there is a "
                                "disk in the drive or\nthat you have permission to access the "
                                "directory."));
        QCOMPARE(pane.view.model().rowCount(), 0);
        QCOMPARE(pane.window.freeDisk->text(), QStringLiteral("???"));
        pane.disk->release();
    }

    void aHundredThousandFilesAreListedAndRefreshed() {
        ScratchFolder scratch;
        scratch.folder("Big");
        constexpr int kFiles = 100000;
        for (int n = 0; n < kFiles; ++n) {
            char name[32];
            std::snprintf(name, sizeof name, "Big/P%06d.PM", n);
            const int fd = ::open((scratch / name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
            QVERIFY(fd >= 0);
            ::close(fd);
        }
        qInfo("made %d files", kFiles);
        Pane pane(scratch.str());
        QVERIFY(pane.attach());
        // (The model tester walks every row at each change: it is run on the smaller folders.)
        QElapsedTimer clock;
        clock.start();
        QVERIFY(pane.view.Navigate(scratch / "Big"));
        qInfo("Navigate to %d files: %lld ms", kFiles, static_cast<long long>(clock.elapsed()));
        QCOMPARE(pane.view.model().rowCount(), kFiles);
        scratch.write("Big/A-first.PM");
        QTRY_COMPARE(pane.view.model().rowCount(), kFiles + 1);
        QCOMPARE(pane.view.model().index(0, 0).data().toString(), QStringLiteral("A-first.PM"));
    }

    void aFolderThatTakesNoChangeTellsAndKeepsEverything() {
        ScratchFolder scratch;
        makeFolder(scratch);
        Prompter prompter;
        prompter.presetAlways(true);
        PaneWindow window;
        window.show();
        std::string folder;
        CLocView view(prompter, std::make_shared<qel::testing::ReadOnlyDisk>(scratch.str()));
        QVERIFY(view.Attach(&window, LocalPaneControls{}, programTypes(), 0, folder));
        QVERIFY(view.Navigate(scratch / "A"));
        const QStringList before = rowNames(view.model());

        // Delete stops at the first file with its box and leaves the rest.
        view.list()->selectAll();
        prompter.presetAnswers({IDYES});
        view.DeleteFiles();
        QCOMPARE(prompter.asked().last(),
                 QStringLiteral("Failed to delete the file 'notes.txt'.\nFile may be in use.\n"
                                "Aborting delete."));
        QVERIFY(std::filesystem::exists(scratch / "A/notes.txt"));
        QVERIFY(std::filesystem::exists(scratch / "A/one.PM"));

        view.NewFolder();
        QVERIFY(prompter.asked().last().startsWith(QStringLiteral("Unable to create directory.")));
        view.NewTextFile();
        QCOMPARE(prompter.asked().last(),
                 QStringLiteral("Unable to create the file 'New File.txt'.\nCheck if you have "
                                "permission to create files on the current drive."));
        QCOMPARE(rowNames(view.model()), before);
        QVERIFY(view.pane().refreshEnabled());
    }

    void theMainWindowShowsThePaneOnItsLeftHalf() {
        ScratchFolder scratch;
        makeFolder(scratch);
        scratch.write("A/a-rather-long-program-name-for-the-column.PM", std::string(2 << 20, 'z'));
        ScratchFolder settings;
        ::setenv("CABLOR_COM1", "/nonexistent/qelveva-test-port", 1);
        QVERIFY(::chdir((scratch / "A").c_str()) == 0);
        Prompter prompter;
        prompter.presetAlways(true);
        CQelVevaDlg window(prompter);
        StartupChoices choices;
        choices.showSplash = false;
        window.initialise(choices, settings / "QelVeva.cfg");
        window.show();
        QVERIFY(window.localPane() != nullptr);
        QTRY_VERIFY(!window.connecting());
        QCOMPARE(window.localPane()->pane().currentFolder(), scratch / "A/");
        auto* list = qobject_cast<QTreeView*>(window.control(1010));
        QCOMPARE(list->model()->rowCount(), 6);
        auto* combo = qobject_cast<CTreeCombo*>(window.control(1008));
        QCOMPARE(combo->itemText(0).right(3), QStringLiteral("(/)"));
        QCOMPARE(combo->currentText(), QStringLiteral("A"));
        QVERIFY(qobject_cast<QLabel*>(window.control(1013))->text().endsWith(" KB"));
        QCOMPARE(qobject_cast<QLineEdit*>(window.control(1012))->text(), QStringLiteral("*"));
        QVERIFY(window.control(1009)->isEnabled());

        std::filesystem::create_directories(GRAB_FOLDER);
        QVERIFY(window.grab().save(QStringLiteral(GRAB_FOLDER "/local-pane.png")));
        combo->showPopup();
        QTest::qWait(50);
        QWidget* popup = combo->view()->window();
        QVERIFY(popup->grab().save(QStringLiteral(GRAB_FOLDER "/local-pane-path.png")));
        combo->hidePopup();
        window.close();
        QVERIFY(window.localPane() == nullptr);  // the pane and its watcher went with the window
    }
};

QTEST_MAIN(LocalPaneTest)
#include "LocalPaneTest.moc"
