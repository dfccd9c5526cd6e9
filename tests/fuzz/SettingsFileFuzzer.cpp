// Any bytes as the settings file, into the settings store and the readers after it. A file of
// any other length than 18684 bytes gives the reset message and the built-in list. A file of
// that length is taken as it is, except that a text without NUL is cut to its field and a
// selected index outside 0..9 or naming a free slot becomes 0; every reader then stays inside
// the record; written and read again, it comes back the same (free slots as zero bytes); "qel
// config" lists and shows it; and connecting with the selected configuration hands the link
// what the record says.
//
// Input: byte 0 chooses how the file is made. Bit 0 set: the rest of the input is the file.
// Clear: bytes 1 and 2 are an offset, and the rest of the input is laid over the built-in
// list's file from there on (wrapping), so that a short input reaches any slot. Bit 1 asks for
// the write and the reading again, bit 2 for "qel config".
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "FakeLink.h"
#include "ScratchFolder.h"
#include "cli/ConfigCommand.h"
#include "client/ConfiguredConnection.h"
#include "config/ConfigDefaults.h"
#include "config/ConfigRules.h"
#include "config/FixedText.h"
#include "config/SettingsStore.h"

using namespace qel;

namespace {

constexpr const char* kProgramFolder = "/opt/qelveva";

struct CountedMessages final : OperatorMessages {
    void show(MessageKind, std::string_view, std::string_view) override { ++shown; }
    int shown = 0;
};

void check(bool holds) {
    if (!holds) std::abort();
}

const std::filesystem::path& settingsFile() {
    static const std::filesystem::path file = [] {
        const std::filesystem::path path = fuzz::scratchFolder() / "QelVeva.cfg";
        ::setenv("QELVEVA_CFG", path.c_str(), 1);  // for "qel config"
        return path;
    }();
    return file;
}

std::string fileBytes(const uint8_t* data, size_t size) {
    if ((data[0] & 0x01) != 0)
        return std::string(reinterpret_cast<const char*>(data + 1), size - 1);
    const SettingsImage builtIn = builtInConfigList(kProgramFolder);
    std::string bytes(reinterpret_cast<const char*>(&builtIn), sizeof builtIn);
    if (size < 3) return bytes;
    size_t at = ((size_t{data[1]} << 8) | data[2]) % bytes.size();
    for (size_t i = 3; i < size; ++i, at = (at + 1) % bytes.size()) {
        bytes[at] = static_cast<char>(data[i]);
    }
    return bytes;
}

// A text field as loaded: unchanged when the file had a NUL in it, else cut to N-1.
template <size_t N>
void checkText(const char (&loaded)[N], const char (&raw)[N]) {
    check(std::memchr(loaded, '\0', N) != nullptr);
    if (std::memchr(raw, '\0', N) != nullptr) {
        check(std::memcmp(loaded, raw, N) == 0);
    } else {
        check(std::memcmp(loaded, raw, N - 1) == 0 && loaded[N - 1] == '\0');
    }
}

void checkRecord(const ConfigRecord& loaded, const ConfigRecord& raw) {
    checkText(loaded.name, raw.name);
    checkText(loaded.defaultLocalFolder, raw.defaultLocalFolder);
    checkText(loaded.editor, raw.editor);
    checkText(loaded.ipAddressText, raw.ipAddressText);
    for (int i = 0; i < kMemoryTypeSlots; ++i) {
        checkText(loaded.memoryTypes[i].name, raw.memoryTypes[i].name);
        checkText(loaded.memoryTypes[i].wildcards, raw.memoryTypes[i].wildcards);
    }
    // Every other byte is as the file had it.
    ConfigRecord texts = loaded;
    std::memcpy(texts.name, raw.name, sizeof raw.name);
    std::memcpy(texts.defaultLocalFolder, raw.defaultLocalFolder, sizeof raw.defaultLocalFolder);
    std::memcpy(texts.editor, raw.editor, sizeof raw.editor);
    std::memcpy(texts.ipAddressText, raw.ipAddressText, sizeof raw.ipAddressText);
    for (int i = 0; i < kMemoryTypeSlots; ++i) {
        std::memcpy(texts.memoryTypes[i].name, raw.memoryTypes[i].name,
                    sizeof raw.memoryTypes[i].name);
        std::memcpy(texts.memoryTypes[i].wildcards, raw.memoryTypes[i].wildcards,
                    sizeof raw.memoryTypes[i].wildcards);
    }
    check(std::memcmp(&texts, &raw, sizeof raw) == 0);

    const int count = memoryTypeCount(loaded);
    check(count >= 0 && count <= kMemoryTypeSlots);
    for (int i = 0; i < count; ++i) check(isUsed(loaded.memoryTypes[i]));
    check(count == kMemoryTypeSlots || !isUsed(loaded.memoryTypes[count]));
    const int level = cncFolderLevel(loaded);
    check(level >= 0 && level <= count);
    for (const MemoryTypeEntry& entry : loaded.memoryTypes) {
        check(iconIndexOf(entry) >= 0 && iconIndexOf(entry) <= kMaxIconIndex);
    }
}

bool sameImage(const SettingsStore& a, const SettingsStore& b) {
    if (a.currentConfig() != b.currentConfig()) return false;
    for (int slot = 0; slot < kConfigSlots; ++slot) {
        const ConfigRecord& x = a.configs()[slot];
        const ConfigRecord& y = b.configs()[slot];
        if (isUsed(x)) {
            if (std::memcmp(&x, &y, sizeof x) != 0) return false;
        } else {
            const ConfigRecord zero{};
            if (std::memcmp(&y, &zero, sizeof y) != 0) return false;
        }
    }
    return true;
}

// Connecting with the selected record: the link gets the record's values, a port that fits
// 16 bits and a host name that ends inside its field.
void checkConnect(const ConfigRecord& selected) {
    qel::testing::FakeLink link;
    const auto client = connectConfigured(selected, link);
    check(link.connects == 1);
    check(link.lastParams.linkType == selected.linkType);
    check(link.lastParams.port >= -32768 && link.lastParams.port <= 65535);
    check(link.lastHostName == textOf(selected.ipAddressText));
    check(client->leaderLength() >= 0 && client->leaderLength() < DNC_MAX_MESSAGE);
}

void checkConfigCommand(const SettingsStore& store) {
    std::ostringstream out, err;
    check(runConfigCommand({"list"}, out, err) == 0);
    check(err.str().empty());
    const ConfigRecord& current = store.configs()[store.currentConfig()];
    std::ostringstream shown;
    check(runConfigCommand({"show"}, shown, err) == 0);
    check(shown.str().starts_with("inUse=" + std::to_string(current.inUse) + "\n"));
    if (isUsed(current)) {
        std::ostringstream named;
        check(runConfigCommand({"show", std::string(textOf(current.name))}, named, err) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string bytes = fileBytes(data, size);
    fuzz::writeBytes(settingsFile(), bytes);

    CountedMessages messages;
    SettingsStore store(settingsFile(), kProgramFolder, messages);
    if (bytes.size() != kSettingsFileSize) {
        check(!store.loadedFromFile() && messages.shown == 1);
        const SettingsImage builtIn = builtInConfigList(kProgramFolder);
        check(std::memcmp(store.configs().data(), builtIn.configs, sizeof builtIn.configs) == 0);
        check(store.currentConfig() == kDefaultSlot);
        return 0;
    }
    check(store.loadedFromFile() && messages.shown == 0);

    SettingsImage raw;
    std::memcpy(&raw, bytes.data(), sizeof raw);
    for (int slot = 0; slot < kConfigSlots; ++slot)
        checkRecord(store.configs()[slot], raw.configs[slot]);
    const uint32_t selected = store.currentConfig();
    check(selected == selectableConfig(raw.configs, raw.currentConfig));

    ConfigRecord current;
    check(store.GetCurrentConfig(current, false));
    check(store.currentConfig() == selected);
    check(std::memcmp(&current, &store.configs()[selected], sizeof current) == 0);
    checkConnect(current);

    if ((data[0] & 0x02) != 0) {
        check(store.write());
        CountedMessages again;
        SettingsStore reloaded(settingsFile(), kProgramFolder, again);
        check(reloaded.loadedFromFile() && again.shown == 0);
        check(sameImage(store, reloaded));
    }
    if ((data[0] & 0x04) != 0) checkConfigCommand(store);
    return 0;
}
