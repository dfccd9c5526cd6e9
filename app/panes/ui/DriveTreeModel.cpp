#include "panes/ui/DriveTreeModel.h"

#include "panes/ui/ImageList.h"

#include <QIcon>

namespace qel::ui {

namespace {
QIcon itemIcon(const DriveTreeItem& item) {
    if (item.image == item.selectedImage) return imageListIcon(item.image);
    QIcon icon;
    for (const QSize size : {QSize(16, 16), QSize(32, 32)}) {
        icon.addPixmap(imageListIcon(item.image).pixmap(size), QIcon::Normal);
        icon.addPixmap(imageListIcon(item.selectedImage).pixmap(size), QIcon::Selected);
    }
    return icon;
}
}  // namespace

DriveTreeModel::DriveTreeModel(DriveTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree) {}

void DriveTreeModel::Init(const QString& start) {
    beginResetModel();
    pending_.clear();
    tree_.Init(start.toStdString());
    endResetModel();
}

DriveTreeItem* DriveTreeModel::itemOf(const QModelIndex& index) const {
    return static_cast<DriveTreeItem*>(index.internalPointer());
}

QModelIndex DriveTreeModel::indexOf(const DriveTreeItem* item) const {
    if (item == nullptr) return {};
    return createIndex(tree_.rowOf(*item), NameColumn, const_cast<DriveTreeItem*>(item));
}

const std::vector<std::unique_ptr<DriveTreeItem>>& DriveTreeModel::childrenOf(
    const QModelIndex& parent) const {
    return parent.isValid() ? itemOf(parent)->children : tree_.drives();
}

QModelIndex DriveTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (!hasIndex(row, column, parent)) return {};
    return createIndex(row, column, childrenOf(parent)[static_cast<size_t>(row)].get());
}

QModelIndex DriveTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    return indexOf(itemOf(child)->parent);
}

int DriveTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    return static_cast<int>(childrenOf(parent).size());
}

int DriveTreeModel::columnCount(const QModelIndex&) const {
    return ColumnCount;
}

bool DriveTreeModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid()) return !tree_.drives().empty();
    return parent.column() == 0 && itemOf(parent)->openable();
}

QVariant DriveTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const DriveTreeItem& item = *itemOf(index);
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return QString::fromStdString(item.text);
        case Qt::DecorationRole:
            return itemIcon(item);
        default:
            return {};
    }
}

bool DriveTreeModel::canFetchMore(const QModelIndex& parent) const {
    return parent.isValid() && itemOf(parent)->placeholder;
}

void DriveTreeModel::fetchMore(const QModelIndex& parent) {
    // The rows come on the next turn of the event loop, not inside the view's (or a checker's)
    // handling of another change.
    DriveTreeItem* item = itemOf(parent);
    if (item == nullptr || !pending_.insert(item).second) return;
    QMetaObject::invokeMethod(
        this,
        [this, item, index = QPersistentModelIndex(parent)] {
            pending_.erase(item);
            if (index.isValid() && !openBranch(index)) emit openingRefused(index);
        },
        Qt::QueuedConnection);
}

bool DriveTreeModel::openBranch(const QModelIndex& index) {
    if (!canFetchMore(index)) return itemOf(index) != nullptr && itemOf(index)->open;
    DriveTreeItem& item = *itemOf(index);
    DriveTree::Branch branch = tree_.Read(item);
    const int count = static_cast<int>(branch.folders.size());
    if (count > 0) beginInsertRows(index, 0, count - 1);
    const bool opened = tree_.Fill(item, std::move(branch));
    if (count > 0) endInsertRows();
    // The button may have gone (a folder without subfolders after all).
    emit dataChanged(index, index);
    return opened;
}

void DriveTreeModel::closeBranch(const QModelIndex& index) {
    DriveTreeItem* item = itemOf(index);
    if (item == nullptr || !item->open) return;
    const int count = static_cast<int>(item->children.size());
    beginRemoveRows(index, 0, count - 1);
    tree_.Close(*item);
    endRemoveRows();
    emit dataChanged(index, index);
}

}  // namespace qel::ui
