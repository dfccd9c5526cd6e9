// The items of the local list, kept in the list's order (folders first, then by name), and the
// way a refresh changes them: only what differs is removed or inserted, so that a view over
// them keeps its selection, its focus and its scroll position while a transfer adds files.
// The observer hears every change before and after it is made, in the order of a Qt item
// model's begin and end calls.
#pragma once

#include "panes/LocalFolder.h"

#include <cstddef>
#include <vector>

namespace qel {

class LocalListingObserver {
  public:
    virtual ~LocalListingObserver() = default;
    virtual void beginReset() = 0;
    virtual void endReset() = 0;
    // Rows first..last (inclusive) go, or come at first..last.
    virtual void beginRemove(size_t first, size_t last) = 0;
    virtual void endRemove() = 0;
    virtual void beginInsert(size_t first, size_t last) = 0;
    virtual void endInsert() = 0;
    // The size of rows first..last was written again.
    virtual void changed(size_t first, size_t last) = 0;
};

// What a refresh did, for the status and for tests.
struct RefreshCount {
    size_t removed = 0;
    size_t added = 0;
    size_t resized = 0;
    bool reset = false;  // so many scattered changes that the list was filled anew
};

class LocalListing {
  public:
    // Beyond this many separate runs of changes a refresh fills the list anew: moving the rows
    // run by run would cost more than the view's own start from the top.
    static constexpr size_t kMostRuns = 256;

    void setObserver(LocalListingObserver* observer) { observer_ = observer; }

    const std::vector<LocalEntry>& items() const { return items_; }
    size_t size() const { return items_.size(); }
    const LocalEntry& at(size_t row) const { return items_[row]; }

    // All items anew (entries sorted folders first).
    void replace(std::vector<LocalEntry> entries);
    void clear() { replace({}); }
    // Keeps the items that are still there (by exact name and kind), writes their sizes again,
    // removes the others and inserts the new ones in their places. fresh is sorted.
    RefreshCount refresh(std::vector<LocalEntry> fresh);

    // After the watcher told of some names: the items of those names go, the entries found
    // for them come (an entry of none: the name is gone or hidden), the rest stays; through
    // refresh, so that the rows change as little as there.
    RefreshCount refreshNames(
        const std::vector<std::pair<std::string, std::optional<LocalEntry>>>& looked);

    // The row of an item by its exact name, or -1.
    long find(std::string_view name) const;

  private:
    std::vector<LocalEntry> items_;
    LocalListingObserver* observer_ = nullptr;
};

}  // namespace qel
