// A refresh changes only what differs: a view that follows the observer's calls ends with the
// same rows as the listing, the rows that stayed are never removed (so their selection stays),
// and scattered changes beyond the limit fill the list anew.
#include "panes/LocalListing.h"

#include <gtest/gtest.h>

#include <random>

namespace qel {
namespace {

LocalEntry file(const std::string& name, uint64_t size = 0) {
    return LocalEntry{name, size, kLocalFileImage, false};
}
LocalEntry folder(const std::string& name) {
    return LocalEntry{name, 0, kLocalFolderImage, true};
}

// Follows the calls as a view would, on its own copy of the rows, and checks the begin/end
// pairs and the row numbers against the listing.
class MirrorView final : public LocalListingObserver {
  public:
    explicit MirrorView(const LocalListing& listing) : listing_(listing) {}
    std::vector<LocalEntry> rows;
    int resets = 0;
    int removals = 0;
    int insertions = 0;
    int changes = 0;

    void beginReset() override {
        EXPECT_FALSE(open_);
        open_ = true;
    }
    void endReset() override {
        close();
        rows = listing_.items();
        ++resets;
    }
    void beginRemove(size_t first, size_t last) override {
        EXPECT_FALSE(open_);
        ASSERT_LE(first, last);
        ASSERT_LT(last, rows.size());
        open_ = true;
        rows.erase(rows.begin() + static_cast<long>(first),
                   rows.begin() + static_cast<long>(last) + 1);
        ++removals;
    }
    void endRemove() override { close(); }
    void beginInsert(size_t first, size_t last) override {
        EXPECT_FALSE(open_);
        ASSERT_LE(first, rows.size());
        open_ = true;
        first_ = first;
        count_ = last - first + 1;
        ++insertions;
    }
    void endInsert() override {
        close();
        // The new rows are in the listing now, at the announced place.
        ASSERT_LE(first_ + count_, listing_.size());
        rows.insert(rows.begin() + static_cast<long>(first_),
                    listing_.items().begin() + static_cast<long>(first_),
                    listing_.items().begin() + static_cast<long>(first_ + count_));
    }
    void changed(size_t first, size_t last) override {
        EXPECT_FALSE(open_);
        for (size_t row = first; row <= last; ++row) rows[row] = listing_.at(row);
        ++changes;
    }

  private:
    void close() {
        EXPECT_TRUE(open_);
        open_ = false;
    }
    const LocalListing& listing_;
    bool open_ = false;
    size_t first_ = 0;
    size_t count_ = 0;
};

std::vector<std::string> namesOf(const std::vector<LocalEntry>& rows) {
    std::vector<std::string> names;
    for (const LocalEntry& row : rows) names.push_back(row.name);
    return names;
}

TEST(LocalListing, ARefreshRemovesAndInsertsOnlyTheDifferences) {
    LocalListing listing;
    MirrorView view(listing);
    listing.setObserver(&view);
    listing.replace({folder("Sub"), file("A.PM", 1), file("B.PM", 2), file("C.PM", 3)});
    ASSERT_EQ(view.resets, 1);

    // B went, a folder and a file came, C grew.
    const RefreshCount count = listing.refresh(
        {folder("New"), folder("Sub"), file("A.PM", 1), file("AB.PM", 9), file("C.PM", 30)});
    EXPECT_EQ(count.removed, 1u);
    EXPECT_EQ(count.added, 2u);
    EXPECT_EQ(count.resized, 1u);
    EXPECT_FALSE(count.reset);
    EXPECT_EQ(view.resets, 1);
    EXPECT_EQ(view.removals, 1);
    EXPECT_EQ(view.insertions, 2);
    EXPECT_EQ(view.changes, 1);
    EXPECT_EQ(namesOf(view.rows), namesOf(listing.items()));
    EXPECT_EQ(namesOf(listing.items()),
              (std::vector<std::string>{"New", "Sub", "A.PM", "AB.PM", "C.PM"}));
    EXPECT_EQ(listing.at(4).size, 30u);
    EXPECT_EQ(view.rows[4].size, 30u);

    // Nothing changed: no call at all.
    listing.refresh(listing.items());
    EXPECT_EQ(view.removals + view.insertions + view.changes, 4);
}

TEST(LocalListing, AFileReplacedByAFolderOfTheSameNameIsANewRow) {
    LocalListing listing;
    MirrorView view(listing);
    listing.setObserver(&view);
    listing.replace({file("X")});
    const RefreshCount count = listing.refresh({folder("X")});
    EXPECT_EQ(count.removed, 1u);
    EXPECT_EQ(count.added, 1u);
    EXPECT_TRUE(listing.at(0).folder);
    EXPECT_TRUE(view.rows.at(0).folder);
}

TEST(LocalListing, RandomRefreshesKeepTheViewInStepWithTheFolder) {
    std::mt19937 random(7);
    LocalListing listing;
    MirrorView view(listing);
    listing.setObserver(&view);
    for (int round = 0; round < 200; ++round) {
        std::vector<LocalEntry> fresh;
        for (int n = 0; n < 60; ++n) {
            if (random() % 3 == 0) continue;
            const std::string name =
                std::string(1, static_cast<char>('a' + n % 26)) + std::to_string(n);
            fresh.push_back(n % 7 == 0 ? folder(name) : file(name, random() % 4));
        }
        sortFoldersFirst(fresh);
        listing.refresh(fresh);
        ASSERT_EQ(namesOf(listing.items()), namesOf(fresh));
        ASSERT_EQ(namesOf(view.rows), namesOf(fresh));
        for (size_t row = 0; row < fresh.size(); ++row) {
            ASSERT_EQ(view.rows[row].size, fresh[row].size);
        }
    }
}

TEST(LocalListing, ScatteredChangesBeyondTheLimitFillTheListAnew) {
    LocalListing listing;
    MirrorView view(listing);
    listing.setObserver(&view);
    std::vector<LocalEntry> all;
    std::vector<LocalEntry> everyOther;
    for (size_t n = 0; n < 4 * LocalListing::kMostRuns; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "F%06zu", n);
        all.push_back(file(name));
        if (n % 2 == 0) everyOther.push_back(file(name));
    }
    listing.replace(all);
    const RefreshCount count = listing.refresh(everyOther);
    EXPECT_TRUE(count.reset);
    EXPECT_EQ(view.resets, 2);
    EXPECT_EQ(namesOf(view.rows), namesOf(everyOther));
    EXPECT_EQ(listing.find("F000002"), 1);
    EXPECT_EQ(listing.find("F000001"), -1);
}

}  // namespace
}  // namespace qel
