// The "Drive list" dialog: the tree opens at the starting folder whatever its case and OK gives
// the folder as spelt on disk; Cancel leaves the caller's folder; branches open and close through
// the view with Qt's model tester watching; a refused opening closes again. Grabbed to a PNG.
#include "ScratchFolder.h"
#include "TreeDisk.h"
#include "panes/ui/CDirListDlg.h"
#include "panes/ui/CDriveTree.h"
#include "panes/ui/ControlIds.h"

#include <QAbstractItemModelTester>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace qel;
using namespace qel::ui;
using qel::testing::ScratchFolder;
using qel::testing::TreeDisk;

namespace {
QModelIndex childNamed(const QAbstractItemModel& model, const QModelIndex& parent,
                       const QString& name) {
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex child = model.index(row, 0, parent);
        if (child.data().toString() == name) return child;
    }
    return {};
}
}  // namespace

class DirListDlgTest : public QObject {
    Q_OBJECT

  private slots:
    void okGivesTheFolderAsSpeltOnDisk() {
        ScratchFolder fixed;
        fixed.folder("Jobs/Mill-7/Fixtures");
        auto disk =
            std::make_shared<TreeDisk>(std::vector<Drive>{{fixed.str(), "", DriveKind::Fixed}});
        CDirListDlg dialog(nullptr, disk);
        QAbstractItemModelTester tester(&dialog.tree()->driveModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        dialog.setPath(QString::fromStdString(fixed.str() + "jobs/MILL-7"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Drive list"));
        QVERIFY(dialog.findChild<QLabel*>() != nullptr);
        QCOMPARE(dialog.findChild<QLabel*>()->text(), QStringLiteral("Select a starting folder:"));
        CDriveTree* tree = dialog.findChild<CDriveTree*>(controlName(1071));
        QVERIFY(tree != nullptr);
        QCOMPARE(tree->accessibleName(), QStringLiteral("Select a starting folder"));
        QCOMPARE(tree->currentIndex().data().toString(), QStringLiteral("Mill-7"));
        QVERIFY(tree->isExpanded(tree->currentIndex()));
        QVERIFY(tree->isExpanded(tree->currentIndex().parent()));

        dialog.findChild<QPushButton*>(controlName(1))->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.path(), QString::fromStdString(fixed.str() + "Jobs/Mill-7"));
    }

    void cancelLeavesTheCallersFolder() {
        ScratchFolder fixed;
        fixed.folder("a/b");
        auto disk =
            std::make_shared<TreeDisk>(std::vector<Drive>{{fixed.str(), "", DriveKind::Fixed}});
        CDirListDlg dialog(nullptr, disk);
        dialog.setPath(QString::fromStdString(fixed.str() + "a"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        CDriveTree* tree = dialog.tree();
        tree->setCurrentIndex(childNamed(tree->driveModel(), tree->currentIndex(), "b"));
        QCOMPARE(tree->selectedPath(), QString::fromStdString(fixed.str() + "a/b"));
        dialog.findChild<QPushButton*>(controlName(2))->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.path(), QString::fromStdString(fixed.str() + "a"));
    }

    void branchesOpenAndCloseThroughTheView() {
        ScratchFolder fixed, stick;
        fixed.folder("deep/er");
        fixed.folder("flat");
        stick.folder("NC");
        auto disk = std::make_shared<TreeDisk>(std::vector<Drive>{
            {fixed.str(), "", DriveKind::Fixed}, {stick.str(), "", DriveKind::Removable}});
        CDriveTree tree(disk);
        tree.Init(QString::fromStdString(fixed.str()));
        tree.show();
        DriveTreeModel& model = tree.driveModel();
        const QModelIndex drive = model.index(0, 0);
        const QModelIndex removable = model.index(1, 0);
        QVERIFY(!disk->touched(stick.str()));
        QVERIFY(model.hasChildren(removable));
        QCOMPARE(model.rowCount(removable), 0);

        // Opening reads the branch; closing drops it, and it is read again next time.
        tree.expand(removable);
        QTRY_COMPARE(model.rowCount(removable), 1);
        QVERIFY(disk->touched(stick.str()));
        tree.collapse(removable);
        QCOMPARE(model.rowCount(removable), 0);
        QVERIFY(model.hasChildren(removable));
        disk->forget();
        tree.expand(removable);
        QTRY_VERIFY(disk->touched(stick.str()));
        QTRY_COMPARE(model.rowCount(removable), 1);

        // A folder that proves to have no subfolder when opened closes again and loses its button.
        const QModelIndex deep = childNamed(model, drive, "deep");
        QVERIFY(model.hasChildren(deep));
        std::filesystem::remove(fixed / "deep/er");
        tree.expand(deep);
        QTRY_VERIFY(!tree.isExpanded(deep));
        QVERIFY(!model.hasChildren(deep));
        QVERIFY(!model.hasChildren(childNamed(model, drive, "flat")));

        // The selection inside a branch that closes moves up to it.
        tree.setCurrentIndex(childNamed(model, removable, "NC"));
        QCOMPARE(tree.selectedPath(), QString::fromStdString(stick.str() + "NC"));
        tree.collapse(removable);
        QCOMPARE(tree.currentIndex(), removable);
        QCOMPARE(tree.selectedPath(), QString::fromStdString(stick.str()));
    }

    // Qt's checks while branches open and the tree starts anew. They fetch every branch that
    // can be fetched at each change, so a closed branch would open again under them: closing
    // is checked above, without them.
    void theModelKeepsQtsRulesAsBranchesOpenAndTheTreeStartsAnew() {
        ScratchFolder fixed, stick;
        fixed.folder("deep/er/est");
        fixed.folder("flat");
        stick.folder("NC/lathe");
        auto disk = std::make_shared<TreeDisk>(std::vector<Drive>{
            {fixed.str(), "", DriveKind::Fixed}, {stick.str(), "", DriveKind::Removable}});
        CDriveTree tree(disk);
        DriveTreeModel& model = tree.driveModel();
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        tree.Init(QString::fromStdString(fixed.str() + "deep/er"));
        tree.show();
        const QModelIndex drive = model.index(0, 0);
        QCOMPARE(model.rowCount(drive), 2);
        const QModelIndex er = childNamed(model, childNamed(model, drive, "deep"), "er");
        tree.expand(er);
        QTRY_COMPARE(model.rowCount(er), 1);
        tree.Init(QString::fromStdString(stick.str() + "NC/lathe"));
        QCOMPARE(tree.selectedPath(), QString::fromStdString(stick.str() + "NC/lathe"));
    }

    void looksRight() {
        ScratchFolder fixed;
        fixed.folder("Programs/Lathe/Customer with a long folder name, 2026");
        fixed.folder("Programs/Mill");
        fixed.folder("Setup sheets");
        auto disk = std::make_shared<TreeDisk>(std::vector<Drive>{
            {"/", "vda", DriveKind::Fixed},
            {fixed.str(), "", DriveKind::Fixed},
            {"/media/operator/USB-STICK-WITH-A-LONG-LABEL/", "", DriveKind::Removable},
            {"/mnt/cdrom/", "", DriveKind::CdRom},
            {"/srv/nc-share/", "", DriveKind::Network}});
        CDirListDlg dialog(nullptr, disk);
        dialog.setPath(QString::fromStdString(fixed.str() + "Programs/Lathe"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(QDir().mkpath(QStringLiteral(GRAB_FOLDER)));
        QVERIFY(dialog.grab().save(QStringLiteral(GRAB_FOLDER "/drive-list.png")));
    }
};

QTEST_MAIN(DirListDlgTest)
#include "DirListDlgTest.moc"
