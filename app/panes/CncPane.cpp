#include "panes/CncPane.h"

#include "client/LinkErrorText.h"
#include "client/LinkTypes.h"
#include "panes/MatchPattern.h"
#include "transfer/Download.h"
#include "transfer/TransferTexts.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace qel {

namespace {
constexpr size_t kLongestWildcard = 10;
constexpr const char* kReadyText = "Ready";
constexpr const char* kCncRefusedText = "The CNC aborts the transfer with the following message: ";
constexpr const char* kLinkLostText =
    "Connection to CNC lost.\nCheck the cables and the communication settings.\nReselect the "
    "memory type or press 'Reconnect' to retry the connection.";

// The lost-link box, with the device when the operator pulled the adapter out.
std::string linkLostText(const CncClient& link) {
    const std::string gone = link.goneDevice();
    return gone.empty() ? std::string(kLinkLostText) : kLinkLostText + ("\n" + asSentence(gone));
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

void addOnce(std::vector<std::string>& names, std::string name) {
    if (std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(std::move(name));
}

// One "LI" of a code: the pane names that match the wildcard entry, in the CNC's order.
struct CodeListing {
    enum class End { Complete, NotListed, LinkLost };
    End end = End::Complete;
    std::vector<std::string> names;
    std::string cncText;  // the CNC ended the listing with this reason
};

CodeListing listCode(CncClient& link, const std::string& wildcard) {
    CodeListing listing;
    const std::string code = memoryCodeOf(wildcard);
    if (!link.listOpen(code)) {
        listing.end =
            link.lastError() != 0 ? CodeListing::End::LinkLost : CodeListing::End::NotListed;
        return listing;
    }
    if (link.transferState() == TransferState::Idle) {
        // "T NP": the CNC has only the whole memory of the code.
        listing.names.push_back(wholeMemoryName(code));
        return listing;
    }
    while (link.transferState() != TransferState::Idle) {
        const BlockResult block = link.readBlock();
        if (block.end == BlockEnd::BrokenOff) {
            listing.cncText = block.text;
            break;
        }
        if (block.end == BlockEnd::LinkFailed) {
            listing.end = CodeListing::End::LinkLost;
            break;
        }
        if (block.endOfMemory()) break;
        size_t start = 0;
        while (start <= block.text.size()) {
            const size_t comma = std::min(block.text.find(',', start), block.text.size());
            if (comma > start) {
                std::string name = block.text.substr(start, comma - start) + "." + code;
                if (MatchPattern(name, wildcard)) listing.names.push_back(std::move(name));
            }
            start = comma + 1;
        }
    }
    if (link.transferState() != TransferState::Idle) link.abort();
    return listing;
}

// The used type of level n (1..), or null beyond the table.
const MemoryTypeView* typeOfLevel(const CncPaneSetup& setup, int level) {
    if (level < 1 || level > static_cast<int>(setup.types.size())) return nullptr;
    return &setup.types[static_cast<size_t>(level - 1)];
}

std::vector<SelectorEntry> topSelector(const CncPaneSetup& setup) {
    std::vector<SelectorEntry> selector{{kTopLevelName, kCncImage, 0}};
    for (const MemoryTypeView& type : setup.types) selector.push_back({type.name, type.icon, 1});
    return selector;
}
}  // namespace

std::vector<std::string> wildcardEntries(std::string_view wildcards) {
    wildcards = wildcards.substr(0, std::min(wildcards.find('\0'), wildcards.size()));
    if (!wildcards.empty() && wildcards.front() == ';') wildcards.remove_prefix(1);
    std::vector<std::string> entries;
    size_t start = 0;
    while (start < wildcards.size()) {
        const size_t stop = std::min(wildcards.find(';', start), wildcards.size());
        // A run longer than an entry is cut; its rest is the next entry.
        const size_t end = std::min(stop, start + kLongestWildcard);
        if (end > start) entries.emplace_back(wildcards.substr(start, end - start));
        start = end == stop ? stop + 1 : end;
    }
    return entries;
}

std::string memoryCodeOf(std::string_view wildcard) {
    return std::string(wildcard.substr(wildcard.size() < 2 ? 0 : wildcard.size() - 2));
}

std::string wholeMemoryName(std::string_view code) {
    return std::string(code) + "." + std::string(code);
}

std::vector<MemoryTypeView> usedMemoryTypes(const MemoryTypeEntry (&table)[kMemoryTypeSlots]) {
    std::vector<MemoryTypeView> types;
    for (const MemoryTypeEntry& entry : table) {
        if (entry.inUse == 0) continue;
        types.push_back(
            {std::string(entry.name, ::strnlen(entry.name, sizeof entry.name)),
             std::string(entry.wildcards, ::strnlen(entry.wildcards, sizeof entry.wildcards)),
             entry.iconIndex});
    }
    return types;
}

bool CncPaneSetup::plainStream() const {
    return isDataIoLinkType(linkType);
}

std::string freeMemoryText(const CncPaneSetup& setup, bool* linkFailed) {
    if (linkFailed != nullptr) *linkFailed = false;
    if (!setup.connected() || setup.plainStream()) return "???";
    const int64_t bytes = setup.link->freeMemory();
    if (bytes < 0) {
        const int error = setup.link->lastError();
        if (linkFailed != nullptr) *linkFailed = error == DNC_ERR_SEND || error == DNC_ERR_RECEIVE;
        return "???";
    }
    return std::to_string(bytes / 1024) + " KB";
}

LevelListing listLevel(const CncPaneSetup& setup, int level, int reselect) {
    LevelListing out;
    out.status = kReadyText;
    if (level < 0 || typeOfLevel(setup, level) == nullptr) level = 0;
    out.level = level;
    Reservation hold;
    if (setup.connected()) hold = setup.link->reserve();

    bool linkFailed = false;
    out.freeText = freeMemoryText(setup, &linkFailed);
    if (linkFailed) {
        out.status = kCncDirectoryFailedText;
        out.selectRow = -1;
        out.ok = false;
        return out;
    }
    if (setup.connected() && setup.plainStream()) {
        out.level = 0;
        out.selector = {{kTopLevelName, kCncImage, 0}};
        out.items = {{kTopLevelName, kCncImage, 0}};
        return out;
    }
    out.selector = topSelector(setup);
    if (level == 0) {
        for (size_t i = 0; i < setup.types.size(); ++i) {
            out.items.push_back(
                {setup.types[i].name, setup.types[i].icon, static_cast<int>(i + 1)});
        }
        out.selectRow =
            std::clamp(reselect, 0, std::max(0, static_cast<int>(out.items.size()) - 1));
        return out;
    }
    out.selectorIndex = level;
    const MemoryTypeView& type = *typeOfLevel(setup, level);
    if (!setup.connected()) return out;
    for (const std::string& wildcard : wildcardEntries(type.wildcards)) {
        if (memoryCodeOf(wildcard).empty()) continue;
        const CodeListing listing = listCode(*setup.link, wildcard);
        for (const std::string& name : listing.names) out.items.push_back({name, type.icon, 1});
        if (!listing.cncText.empty()) {
            out.messages.push_back(
                {PaneMessage::Kind::CncError, kCncRefusedText + listing.cncText});
        }
        if (listing.end == CodeListing::End::LinkLost) {
            out.messages.push_back({PaneMessage::Kind::LinkLost, linkLostText(*setup.link)});
            out.ok = false;
            break;
        }
    }
    return out;
}

LevelRefresh refreshLevel(const CncPaneSetup& setup, int level,
                          const std::vector<std::string>& shown) {
    LevelRefresh out;
    const MemoryTypeView* type = typeOfLevel(setup, level);
    if (type == nullptr || !setup.connected() || setup.plainStream()) {
        out.listed = false;
        return out;
    }
    Reservation hold = setup.link->reserve();
    // The shown items by their name in lower case, so that a memory type of 10,000 memories
    // is compared in one pass, not name by name against every item.
    std::unordered_map<std::string, std::vector<size_t>> shownByName;
    shownByName.reserve(shown.size());
    for (size_t i = 0; i < shown.size(); ++i) shownByName[lowerCase(shown[i])].push_back(i);
    std::unordered_set<std::string> added;
    std::vector<bool> keep(shown.size(), false);
    for (const std::string& wildcard : wildcardEntries(type->wildcards)) {
        if (memoryCodeOf(wildcard).empty()) continue;
        const CodeListing listing = listCode(*setup.link, wildcard);
        if (listing.end == CodeListing::End::LinkLost) {
            // The link's pending errors are dropped (the stack is short; never loop for ever).
            for (int i = 0; i < 64 && setup.link->lastError() != 0; ++i) {
            }
            out.messages.push_back({PaneMessage::Kind::LinkLost, linkLostText(*setup.link)});
            out.listed = false;
            return out;
        }
        for (const std::string& name : listing.names) {
            const auto same = shownByName.find(lowerCase(name));
            if (same != shownByName.end()) {
                for (const size_t i : same->second) keep[i] = true;
            } else if (added.insert(name).second) {
                out.added.push_back(name);
            }
        }
        if (!listing.cncText.empty()) {
            out.messages.push_back(
                {PaneMessage::Kind::CncError, kCncRefusedText + listing.cncText});
        }
        out.freeText = freeMemoryText(setup);
    }
    for (size_t i = 0; i < shown.size(); ++i) {
        if (!keep[i]) out.gone.push_back(shown[i]);
    }
    return out;
}

ReceiveChoice namesToReceive(const CncPaneSetup& setup, int level,
                             const std::vector<PaneItem>& selected, const PaneItem* focused,
                             bool receiveAs) {
    ReceiveChoice choice;
    bool fromItems = false;
    if (setup.plainStream()) {
        choice.names.push_back("*");
    } else if (level == 0) {
        std::vector<PaneItem> types = selected;
        if (types.empty() && focused != nullptr && focused->tag != 0) types.push_back(*focused);
        for (const PaneItem& item : types) {
            const MemoryTypeView* type = typeOfLevel(setup, item.tag);
            if (type == nullptr) continue;
            for (const std::string& wildcard : wildcardEntries(type->wildcards)) {
                const std::string code = memoryCodeOf(wildcard);
                if (!code.empty()) addOnce(choice.names, wholeMemoryName(code));
            }
        }
    } else {
        for (const PaneItem& item : selected) addOnce(choice.names, item.text);
        if (selected.empty() && focused != nullptr) addOnce(choice.names, focused->text);
        fromItems = !choice.names.empty();
    }
    if ((setup.paneOptions & OPT_PERCENT_B) != 0) choice.flags |= kReceivePercentB;
    if ((setup.paneOptions & OPT_PERCENT_A) != 0) choice.flags |= kReceivePercentA;
    if (receiveAs && fromItems) choice.flags |= kReceiveAskNames;
    return choice;
}

bool selectedByFilter(const PaneItem& item, std::string_view filter) {
    return item.tag != 0 && MatchPatternList(item.text, filter);
}

QuickViewText readQuickView(CncClient& link, const std::string& name) {
    QuickViewText view;
    Reservation hold = link.reserve();
    if (!link.readOpen(name)) return view;
    view.opened = true;
    view.caption = texts::formatText(kQuickViewCaption, {name});
    for (int block = 0; block < kQuickViewBlocks; ++block) {
        const BlockResult read = link.readBlock();
        if (!read.ok() || read.endOfMemory()) break;
        view.text += read.text;
    }
    // The CNC stops sending the rest.
    if (link.transferState() != TransferState::Idle) link.abort();
    return view;
}

CncPaneEnables cncPaneEnables(const CncPaneSetup& setup, int level) {
    CncPaneEnables enables;
    const bool connected = setup.connected();
    enables.back = level > 0 && connected;
    enables.deleteAndSelect = level > 0 && connected && !setup.plainStream();
    enables.list = connected;
    enables.receive = connected && (setup.paneOptions & (OPT_PERCENT_A | OPT_PERCENT_B)) != 0;
    enables.receiveAs = connected && (level > 0 || setup.plainStream());
    return enables;
}

}  // namespace qel
