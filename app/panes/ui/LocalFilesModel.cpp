#include "panes/ui/LocalFilesModel.h"

#include "panes/ui/ImageList.h"

namespace qel::ui {

LocalFilesModel::LocalFilesModel(LocalListing& listing, QObject* parent)
    : QAbstractTableModel(parent), listing_(listing) {
    listing_.setObserver(this);
}

LocalFilesModel::~LocalFilesModel() {
    listing_.setObserver(nullptr);
}

int LocalFilesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(listing_.size());
}

int LocalFilesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

const QIcon& LocalFilesModel::icon(int image) const {
    if (icons_.empty()) icons_.resize(kImageCount);
    if (image < 0 || image >= kImageCount) image = kImagePlainFile;
    QIcon& icon = icons_[static_cast<size_t>(image)];
    if (icon.isNull()) icon = imageListIcon(image);
    return icon;
}

QVariant LocalFilesModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const LocalEntry& entry = listing_.at(static_cast<size_t>(index.row()));
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
        case Qt::EditRole:  // the label editor starts with the name
            if (index.column() == NameColumn) return QString::fromStdString(entry.name);
            if (role == Qt::EditRole) return {};
            if (entry.folder) return {};
            return QString::fromStdString(sizeText(entry.size));
        case Qt::DecorationRole:
            if (index.column() == NameColumn) return icon(entry.image);
            return {};
        case Qt::TextAlignmentRole:
            if (index.column() == SizeColumn) {
                return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
            }
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        case TagRole:
            return entry.folder ? kFolderTag : kFileTag;
        case ImageRole:
            return entry.image;
        case SizeRole:
            return static_cast<qulonglong>(entry.size);
        default:
            return {};
    }
}

QVariant LocalFilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) {
        if (section == NameColumn) return tr("Files & Folders");
        if (section == SizeColumn) return tr("Size");
    }
    if (role == Qt::TextAlignmentRole && section == SizeColumn) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

Qt::ItemFlags LocalFilesModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // Items are dragged onto the CNC pane; names are edited to rename.
    Qt::ItemFlags flags =
        Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren | Qt::ItemIsDragEnabled;
    if (index.column() == NameColumn) flags |= Qt::ItemIsEditable;
    return flags;
}

void LocalFilesModel::beginReset() {
    beginResetModel();
}
void LocalFilesModel::endReset() {
    endResetModel();
}
void LocalFilesModel::beginRemove(size_t first, size_t last) {
    beginRemoveRows({}, static_cast<int>(first), static_cast<int>(last));
}
void LocalFilesModel::endRemove() {
    endRemoveRows();
}
void LocalFilesModel::beginInsert(size_t first, size_t last) {
    beginInsertRows({}, static_cast<int>(first), static_cast<int>(last));
}
void LocalFilesModel::endInsert() {
    endInsertRows();
}
void LocalFilesModel::changed(size_t first, size_t last) {
    emit dataChanged(index(static_cast<int>(first), SizeColumn),
                     index(static_cast<int>(last), SizeColumn));
}

}  // namespace qel::ui
