#include "panes/LocalListing.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <unordered_set>

namespace qel {

namespace {
bool sameItem(const LocalEntry& a, const LocalEntry& b) {
    return a.folder == b.folder && a.name == b.name;
}

// Runs of true in flags.
size_t runsOf(const std::vector<bool>& flags) {
    size_t runs = 0;
    for (size_t i = 0; i < flags.size(); ++i) {
        if (flags[i] && (i == 0 || !flags[i - 1])) ++runs;
    }
    return runs;
}
}  // namespace

void LocalListing::replace(std::vector<LocalEntry> entries) {
    if (observer_) observer_->beginReset();
    items_ = std::move(entries);
    if (observer_) observer_->endReset();
}

RefreshCount LocalListing::refresh(std::vector<LocalEntry> fresh) {
    RefreshCount count;
    // Both lists are in the same order: one walk tells what goes and what comes.
    std::vector<bool> gone(items_.size(), false);
    std::vector<bool> added(fresh.size(), false);
    std::vector<uint64_t> keptSizes;
    keptSizes.reserve(std::min(items_.size(), fresh.size()));
    size_t i = 0;
    size_t j = 0;
    while (i < items_.size() || j < fresh.size()) {
        if (i < items_.size() && j < fresh.size() && sameItem(items_[i], fresh[j])) {
            keptSizes.push_back(fresh[j].size);
            ++i;
            ++j;
        } else if (j == fresh.size() || (i < items_.size() && listedBefore(items_[i], fresh[j]))) {
            gone[i++] = true;
        } else {
            added[j++] = true;
        }
    }
    count.removed = static_cast<size_t>(std::count(gone.begin(), gone.end(), true));
    count.added = static_cast<size_t>(std::count(added.begin(), added.end(), true));

    if (runsOf(gone) + runsOf(added) > kMostRuns) {
        count.reset = true;
        replace(std::move(fresh));
        return count;
    }

    // Removed from the last to the first, so that the rows before stay where they are.
    for (size_t last = items_.size(); last > 0;) {
        if (!gone[last - 1]) {
            --last;
            continue;
        }
        size_t first = last - 1;
        while (first > 0 && gone[first - 1]) --first;
        if (observer_) observer_->beginRemove(first, last - 1);
        items_.erase(items_.begin() + static_cast<long>(first),
                     items_.begin() + static_cast<long>(last));
        if (observer_) observer_->endRemove();
        last = first;
    }

    // The sizes of the files that stayed.
    for (size_t row = 0; row < items_.size(); ++row) {
        if (items_[row].size == keptSizes[row]) continue;
        items_[row].size = keptSizes[row];
        ++count.resized;
        if (observer_) observer_->changed(row, row);
    }

    // The new ones, run by run, where the order puts them.
    size_t row = 0;
    for (size_t k = 0; k < fresh.size();) {
        if (!added[k]) {
            ++row;
            ++k;
            continue;
        }
        size_t end = k;
        while (end < fresh.size() && added[end]) ++end;
        const size_t length = end - k;
        if (observer_) observer_->beginInsert(row, row + length - 1);
        items_.insert(items_.begin() + static_cast<long>(row),
                      std::make_move_iterator(fresh.begin() + static_cast<long>(k)),
                      std::make_move_iterator(fresh.begin() + static_cast<long>(end)));
        if (observer_) observer_->endInsert();
        row += length;
        k = end;
    }
    return count;
}

RefreshCount LocalListing::refreshNames(
    const std::vector<std::pair<std::string, std::optional<LocalEntry>>>& looked) {
    std::unordered_set<std::string_view> names;
    for (const auto& [name, entry] : looked) names.insert(name);
    std::vector<LocalEntry> fresh;
    fresh.reserve(items_.size() + looked.size());
    for (const LocalEntry& item : items_) {
        if (!names.contains(item.name)) fresh.push_back(item);
    }
    for (const auto& [name, entry] : looked) {
        if (!entry) continue;
        fresh.insert(std::upper_bound(fresh.begin(), fresh.end(), *entry, listedBefore), *entry);
    }
    return refresh(std::move(fresh));
}

long LocalListing::find(std::string_view name) const {
    for (size_t row = 0; row < items_.size(); ++row) {
        if (items_[row].name == name) return static_cast<long>(row);
    }
    return -1;
}

}  // namespace qel
