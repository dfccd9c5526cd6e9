// The drive tree (DriveTree) as a Qt item model of one column: a drive shows its root, a folder
// its name, each with its picture. A branch not read yet has children but no rows; it is read
// when the view opens it (fetchMore, its rows arriving on the next turn of the event loop) and
// forgotten when the view closes it (closeBranch).
#pragma once

#include "panes/DriveTree.h"

#include <QAbstractItemModel>

#include <unordered_set>

namespace qel::ui {

class DriveTreeModel final : public QAbstractItemModel {
    Q_OBJECT
  public:
    enum Column { NameColumn, ColumnCount };

    explicit DriveTreeModel(DriveTree& tree, QObject* parent = nullptr);

    // Builds the tree anew, opened along start.
    void Init(const QString& start);
    // The view closed the branch: its rows go, the placeholder comes back.
    void closeBranch(const QModelIndex& index);
    // Opens a branch now, as the view's fetchMore would; false when it was refused.
    bool openBranch(const QModelIndex& index);

    DriveTreeItem* itemOf(const QModelIndex& index) const;
    QModelIndex indexOf(const DriveTreeItem* item) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

  signals:
    // A branch that was opened but held no folder: the view closes it again.
    void openingRefused(const QModelIndex& index);

  private:
    const std::vector<std::unique_ptr<DriveTreeItem>>& childrenOf(const QModelIndex& parent) const;

    DriveTree& tree_;
    std::unordered_set<const DriveTreeItem*> pending_;  // fetched, not read yet
};

}  // namespace qel::ui
