#include "panes/LocalFileCommands.h"

#include "client/LinkTypes.h"
#include "config/ConfigRecord.h"
#include "panes/MatchPattern.h"
#include "transfer/Upload.h"

#include <algorithm>

namespace qel {

std::vector<std::string> chosenFiles(const LocalListing& listing, std::vector<size_t> selected,
                                     std::optional<size_t> focused) {
    std::vector<std::string> names;
    if (selected.empty()) {
        if (focused && *focused < listing.size() && !listing.at(*focused).folder) {
            names.push_back(listing.at(*focused).name);
        }
        return names;
    }
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    for (const size_t row : selected) {
        if (row < listing.size() && !listing.at(row).folder) names.push_back(listing.at(row).name);
    }
    return names;
}

LocalPaneEnables localPaneEnables(int depth, bool fileChosen, int linkType) {
    LocalPaneEnables enables;
    enables.back = depth > 0;
    enables.remove = fileChosen;
    enables.send = fileChosen && linkType >= 0;
    enables.btrSend = fileChosen && linkType == DNC_LINK_RXA2;
    return enables;
}

uint32_t sendRequestFlags(uint8_t paneOptions, bool sendAs) {
    uint32_t flags = 0;
    if ((paneOptions & OPT_PERCENT_B) != 0) flags |= kSendPercentB;
    if ((paneOptions & OPT_PERCENT_A) != 0) flags |= kSendPercentA;
    if ((paneOptions & OPT_IGNORE_EMPTY) != 0) flags |= kSendSkipEmpty;
    if (sendAs) flags |= kSendAskNames;
    return flags;
}

std::vector<size_t> filesMatching(const LocalListing& listing, std::string_view patterns) {
    std::vector<size_t> rows;
    for (size_t row = 0; row < listing.size(); ++row) {
        const LocalEntry& entry = listing.at(row);
        if (!entry.folder && MatchPatternList(entry.name, patterns)) rows.push_back(row);
    }
    return rows;
}

std::vector<size_t> fileRows(const LocalListing& listing) {
    std::vector<size_t> rows;
    for (size_t row = 0; row < listing.size(); ++row) {
        if (!listing.at(row).folder) rows.push_back(row);
    }
    return rows;
}

std::string newEntryName(std::string_view base, std::string_view extension, size_t count) {
    std::string name(base);
    if (count > 0) name += " (" + std::to_string(count + 1) + ")";
    name += extension;
    return name;
}

}  // namespace qel
