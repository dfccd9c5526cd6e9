#include "panes/ui/CncMemoryModel.h"

#include "panes/ui/ImageList.h"

#include <QSet>
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
    // Each name is turned into a QString once, not at every comparison of the sort.
    std::vector<std::pair<QString, size_t>> order;
    order.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) order.emplace_back(textOf(items[i].text), i);
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
    });
    beginResetModel();
    items_.clear();
    items_.reserve(items.size());
    for (const auto& [key, i] : order) items_.push_back(std::move(items[i]));
    endResetModel();
}

void CncMemoryModel::update(const std::vector<std::string>& gone,
                            const std::vector<PaneItem>& added) {
    // Gone items leave in runs of neighbouring rows, from the bottom up, so that a refresh
    // after thousands of deletions on the CNC is one pass over the list.
    QSet<QString> goneNames;
    for (const std::string& text : gone) goneNames.insert(textOf(text).toCaseFolded());
    for (int last = static_cast<int>(items_.size()) - 1; last >= 0 && !goneNames.empty();) {
        if (!goneNames.contains(textOf(items_[static_cast<size_t>(last)].text).toCaseFolded())) {
            --last;
            continue;
        }
        int first = last;
        while (first > 0 && goneNames.contains(
                                textOf(items_[static_cast<size_t>(first - 1)].text).toCaseFolded()))
            --first;
        beginRemoveRows({}, first, last);
        items_.erase(items_.begin() + first, items_.begin() + last + 1);
        endRemoveRows();
        last = first - 1;
    }
    // New items go in sorted, each run that falls between the same two rows at once.
    std::vector<PaneItem> coming = added;
    std::stable_sort(coming.begin(), coming.end(), before);
    for (size_t i = 0; i < coming.size();) {
        const auto place = std::upper_bound(items_.begin(), items_.end(), coming[i], before);
        size_t end = i + 1;
        while (end < coming.size() && (place == items_.end() || before(coming[end], *place))) ++end;
        const int row = static_cast<int>(place - items_.begin());
        beginInsertRows({}, row, row + static_cast<int>(end - i) - 1);
        items_.insert(place, coming.begin() + static_cast<std::ptrdiff_t>(i),
                      coming.begin() + static_cast<std::ptrdiff_t>(end));
        endInsertRows();
        i = end;
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

Qt::ItemFlags CncMemoryModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren |
           Qt::ItemIsDragEnabled;
}

}  // namespace qel::ui
