// The tree of the "Drive list" dialog: the drives and their folders, read only as the operator
// opens them (DriveTree, shown through DriveTreeModel). The selected path follows the selection.
#pragma once

#include "panes/DriveTree.h"
#include "panes/ui/DriveTreeModel.h"

#include <QTreeView>

#include <memory>

namespace qel::ui {

class CDriveTree final : public QTreeView {
    Q_OBJECT
  public:
    explicit CDriveTree(std::shared_ptr<LocalDisk> disk = nullptr,
                        std::chrono::milliseconds diskLimit = TimedDiskCalls::kDefaultLimit,
                        QWidget* parent = nullptr);

    // Builds the tree and opens it at start (the current folder when empty).
    void Init(const QString& start);
    QString selectedPath() const;

    DriveTree& tree() { return tree_; }
    DriveTreeModel& driveModel() { return *model_; }

  private:
    void showOpened(const QModelIndex& parent);
    void closing(const QModelIndex& index);
    void selectionMoved(const QModelIndex& current);

    DriveTree tree_;
    DriveTreeModel* model_;
};

}  // namespace qel::ui
