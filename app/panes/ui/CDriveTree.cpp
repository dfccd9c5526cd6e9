#include "panes/ui/CDriveTree.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTimer>

namespace qel::ui {

CDriveTree::CDriveTree(std::shared_ptr<LocalDisk> disk, std::chrono::milliseconds diskLimit,
                       QWidget* parent)
    : QTreeView(parent),
      tree_(disk ? std::move(disk) : std::make_shared<LocalDisk>(), diskLimit),
      model_(new DriveTreeModel(tree_, this)) {
    setModel(model_);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // A long mount point or folder name scrolls instead of being cut off.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(this, &QTreeView::collapsed, this, &CDriveTree::closing);
    connect(model_, &DriveTreeModel::openingRefused, this, [this](const QModelIndex& index) {
        // The view is still busy opening it; close it once it is done.
        QTimer::singleShot(0, this, [this, index = QPersistentModelIndex(index)] {
            if (index.isValid()) collapse(index);
        });
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { selectionMoved(current); });
}

void CDriveTree::Init(const QString& start) {
    model_->Init(start);
    showOpened({});
    const QModelIndex selected = model_->indexOf(tree_.selected());
    if (selected.isValid()) {
        setCurrentIndex(selected);
        scrollTo(selected, QAbstractItemView::PositionAtCenter);
    }
    // Scrolling to a deep item also scrolls sideways; the drives' buttons and pictures stay
    // in view instead.
    horizontalScrollBar()->setValue(0);
}

void CDriveTree::showOpened(const QModelIndex& parent) {
    for (int row = 0; row < model_->rowCount(parent); ++row) {
        const QModelIndex child = model_->index(row, DriveTreeModel::NameColumn, parent);
        if (!model_->itemOf(child)->open) continue;
        expand(child);
        showOpened(child);
    }
}

void CDriveTree::closing(const QModelIndex& index) {
    DriveTreeItem* item = model_->itemOf(index);
    if (item == nullptr || !item->open) return;
    // A selection inside the closed branch moves up to it, as the path it shows does.
    const DriveTreeItem* at = model_->itemOf(currentIndex());
    for (; at != nullptr && at != item; at = at->parent) {
        if (at->parent == item) setCurrentIndex(index);
    }
    model_->closeBranch(index);
}

void CDriveTree::selectionMoved(const QModelIndex& current) {
    tree_.Select(model_->itemOf(current));
}

QString CDriveTree::selectedPath() const {
    return QString::fromStdString(tree_.selectedPath());
}

}  // namespace qel::ui
