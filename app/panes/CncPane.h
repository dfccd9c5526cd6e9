// The CNC memory pane's logic, without a window: the two levels (the memory types, and the
// memories of one type as the CNC lists them under the type's wildcards), the free memory, the
// names a receive, a delete or a Quick View works on, the Select filter and which controls are
// usable. The listings talk to the CNC and may take seconds on a serial line, so the window
// runs them on a worker: they work on a snapshot (CncPaneSetup) and return what to show.
#pragma once

#include "client/QelComC.h"
#include "config/ConfigRecord.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

inline constexpr const char* kReadingCncDirectoryText = "Reading CNC directory...";
inline constexpr const char* kCncDirectoryFailedText =
    "Failed to get CNC diectory. Press 'Reconnect' to retry.";
inline constexpr const char* kGettingInformationText = "Getting information from the CNC...";
inline constexpr const char* kDeletingMemoriesText = "Deleting memories...";
inline constexpr const char* kDeleteQuestionText =
    "Are you sure you want to delete the selected memory(s)?";
inline constexpr const char* kSelectFilterPrompt = "Enter a file selection filter (*.* , etc.):";
inline constexpr const char* kQuickViewCaption = "Viewing the first lines of '%s':";
inline constexpr const char* kCncListColumn = "Memories & Folders";
inline constexpr const char* kTopLevelName = "CNC";
inline constexpr int kCncImage = 1;  // the open folder
inline constexpr int kQuickViewBlocks = 5;

// The wildcard entries of a memory type: split at ';' (a leading one skipped), each at most 10
// characters (a longer run is cut and its rest taken as the next entry).
std::vector<std::string> wildcardEntries(std::string_view wildcards);
// The memory code of a wildcard entry: its last two characters ("*.PM" gives "PM").
std::string memoryCodeOf(std::string_view wildcard);
// "PM.PM": the whole memory of a code.
std::string wholeMemoryName(std::string_view code);

// One memory type of the selector, as the configuration has it.
struct MemoryTypeView {
    std::string name;
    std::string wildcards;
    int icon = 0;
};
// The used entries of the table, in its order (used ones stand first, sorted by name).
std::vector<MemoryTypeView> usedMemoryTypes(const MemoryTypeEntry (&table)[kMemoryTypeSlots]);

// What a listing needs, taken on the window thread before the worker starts.
struct CncPaneSetup {
    std::vector<MemoryTypeView> types;
    CncClient* link = nullptr;  // connected, or null
    int linkType = 0;
    uint8_t paneOptions = 0;
    bool connected() const { return link != nullptr; }
    // DataIO: a plain stream without a directory.
    bool plainStream() const;
};

struct PaneItem {
    std::string text;
    int image = 0;
    int tag = 0;  // top level: the selector position of the type; memories: non-zero; "CNC": 0
};

struct SelectorEntry {
    std::string text;
    int image = 0;
    int indent = 0;
};

// A box the window shows when the listing has come back.
struct PaneMessage {
    enum class Kind { CncError, LinkLost };
    Kind kind;
    std::string text;
};

struct LevelListing {
    int level = 0;
    std::vector<SelectorEntry> selector;  // empty: the selector stays as it is
    int selectorIndex = 0;
    std::vector<PaneItem> items;
    std::string freeText;  // "%d KB" or "???"
    std::string status;    // the status line afterwards
    std::vector<PaneMessage> messages;
    int selectRow = 0;  // the item to select and show, -1 for none
    bool ok = true;
};

// The full listing of the top level (0) or of memory type n (1..). reselect is the row the top
// level selects. A level beyond the used types shows the top level.
LevelListing listLevel(const CncPaneSetup& setup, int level, int reselect);

struct LevelRefresh {
    std::vector<std::string> gone;   // items to drop
    std::vector<std::string> added;  // names to add
    std::string freeText;
    std::vector<PaneMessage> messages;
    bool listed = true;  // false: the link failed, nothing is changed
};
// The incremental refresh of memory type level: what went and what came against shown, the
// texts of the present items.
LevelRefresh refreshLevel(const CncPaneSetup& setup, int level,
                          const std::vector<std::string>& shown);

// The names a Receive works on: selected (or, with none, the focused item, at the top level
// only when its tag is set), each once. fromItems tells whether a name came from the items
// (Receive as then asks for new names).
struct ReceiveChoice {
    std::vector<std::string> names;
    uint32_t flags = 0;  // kReceive... of Download.h
};
ReceiveChoice namesToReceive(const CncPaneSetup& setup, int level,
                             const std::vector<PaneItem>& selected, const PaneItem* focused,
                             bool receiveAs);

// Select filter: an item with a tag whose text matches the list.
bool selectedByFilter(const PaneItem& item, std::string_view filter);

// Quick View: the first kQuickViewBlocks data blocks of a memory, as received; then the
// memory is broken off. False when the memory could not be opened.
struct QuickViewText {
    bool opened = false;
    std::string caption;
    std::string text;
};
QuickViewText readQuickView(CncClient& link, const std::string& name);

// Which controls may be used.
struct CncPaneEnables {
    bool back = false;
    bool deleteAndSelect = false;
    bool list = false;
    bool receive = false;
    bool receiveAs = false;
};
CncPaneEnables cncPaneEnables(const CncPaneSetup& setup, int level);

// The free memory: "%d KB", or "???" when unknown; linkFailed tells whether the asking failed
// with a send or receive error (the listing then stops).
std::string freeMemoryText(const CncPaneSetup& setup, bool* linkFailed = nullptr);

}  // namespace qel
