#include "panes/ui/CncMemoryModel.h"

#include "panes/ui/ImageList.h"

#include <QString>

#include <algorithm>

namespace qel::ui {

namespace {
QString textOf(const std::string& text) {
    return QString::fromStdString(text);
}
}  // namespace

bool CncMemoryModel::before(const PaneItem& a, const PaneItem& b) {
    return textOf(a.text).compare(textOf(b.text), Qt::CaseInsensitive) < 0;
}

int CncMemoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

int CncMemoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CncMemoryModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const PaneItem& shown = items_[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return textOf(shown.text);
        case Qt::DecorationRole:
            return imageListIcon(shown.image);
        case kTagRole:
            return shown.tag;
        default:
            return {};
    }
}

QVariant CncMemoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section == Name && role == Qt::DisplayRole) {
        return QString::fromLatin1(kCncListColumn);
    }
    return {};
}

void CncMemoryModel::setItems(std::vector<PaneItem> items) {
    beginResetModel();
    items_ = std::move(items);
    std::stable_sort(items_.begin(), items_.end(), before);
    endResetModel();
}

void CncMemoryModel::update(const std::vector<std::string>& gone,
                            const std::vector<PaneItem>& added) {
    for (const std::string& text : gone) {
        const int row = rowOf(text);
        if (row < 0) continue;
        beginRemoveRows({}, row, row);
        items_.erase(items_.begin() + row);
        endRemoveRows();
    }
    for (const PaneItem& item : added) {
        const auto place = std::upper_bound(items_.begin(), items_.end(), item, before);
        const int row = static_cast<int>(place - items_.begin());
        beginInsertRows({}, row, row);
        items_.insert(place, item);
        endInsertRows();
    }
}

int CncMemoryModel::rowOf(const std::string& text) const {
    const QString wanted = textOf(text);
    for (size_t row = 0; row < items_.size(); ++row) {
        if (textOf(items_[row].text).compare(wanted, Qt::CaseInsensitive) == 0) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

std::vector<std::string> CncMemoryModel::texts() const {
    std::vector<std::string> all;
    for (const PaneItem& item : items_) all.push_back(item.text);
    return all;
}

}  // namespace qel::ui
