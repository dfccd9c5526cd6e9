#include "cli/ConfigCommand.h"

#include <optional>
#include <ostream>
#include <string_view>

#include "cli/ConfigEdits.h"
#include "config/ConfigRules.h"
#include "config/FixedText.h"
#include "config/SettingsPath.h"
#include "config/SettingsStore.h"

namespace qel {

namespace {

constexpr const char* kUsage =
    "usage: qel config list\n"
    "       qel config show [NAME]\n"
    "       qel config select NAME\n"
    "       qel config new NAME          a new configuration (RXA/2 on COM1, no connect at start)\n"
    "       qel config copy NAME         a new configuration as a copy of \"Default\"\n"
    "       qel config delete NAME\n"
    "       qel config set NAME FIELD=VALUE...\n"
    "FIELDs of set: linkType (0 RXA/2, 1 DataIO RTS/CTS, 2 DataIO XOn/XOff, 4 TCP/IP), comPort,\n"
    "  baudRate (0 = autodetect, RXA/2 only), parityMode, timeout, retries, sendDelay,\n"
    "  leaderTrailerSize, ipAddressText, destinationPort, serverPort, defaultLocalFolder,\n"
    "  defaultCncFolder (0, CNC or a memory type), editor, memoryTypes[i]=NAME|WILDCARDS|ICON\n"
    "  (empty: deleted), and 0 or 1 for percentA, percentB, notifyCnc, portSharing,\n"
    "  cncVersionCheck, connectAtStart, remoteAtStart, ignoreEmpty.\n";

// A request the settings pages would refuse: nothing is written.
constexpr int kRefused = 2;

std::optional<uint32_t> slotNamed(const SettingsStore& store, std::string_view name) {
    for (uint32_t slot = 0; slot < static_cast<uint32_t>(kConfigSlots); ++slot) {
        const ConfigRecord& record = store.configs()[slot];
        if (isUsed(record) && textOf(record.name) == name) return slot;
    }
    return std::nullopt;
}

void list(const SettingsStore& store, std::ostream& out) {
    for (uint32_t slot = 0; slot < static_cast<uint32_t>(kConfigSlots); ++slot) {
        const ConfigRecord& record = store.configs()[slot];
        if (!isUsed(record)) continue;
        out << slot << (slot == store.currentConfig() ? "*" : "") << ' ' << textOf(record.name)
            << '\n';
    }
}

// Integers widened so that the 8-bit fields print as numbers, not characters.
void show(const ConfigRecord& r, std::ostream& out) {
    out << "inUse=" << r.inUse << '\n'
        << "name=" << textOf(r.name) << '\n'
        << "linkType=" << r.linkType << '\n'
        << "comPort=" << r.comPort << '\n'
        << "leaderTrailerSize=" << r.leaderTrailerSize << '\n'
        << "baudRate=" << r.baudRate << '\n'
        << "parityMode=" << unsigned{r.parityMode} << '\n'
        << "options=" << unsigned{r.options} << '\n'
        << "sendDelay=" << r.sendDelay << '\n'
        << "linkFlags=" << r.linkFlags << '\n'
        << "timeout=" << r.timeout << '\n'
        << "retries=" << r.retries << '\n'
        << "serverPort=" << r.serverPort << '\n'
        << "destinationPort=" << r.destinationPort << '\n'
        << "defaultLocalFolder=" << textOf(r.defaultLocalFolder) << '\n'
        << "defaultCncFolder=" << r.defaultCncFolder << '\n'
        << "editor=" << textOf(r.editor) << '\n'
        << "ipAddressText=" << textOf(r.ipAddressText) << '\n'
        << "ipAddressValue=" << r.ipAddressValue << '\n';
    for (int i = 0; i < kMemoryTypeSlots; ++i) {
        const MemoryTypeEntry& entry = r.memoryTypes[i];
        if (!isUsed(entry)) continue;
        out << "memoryTypes[" << i << "]=" << textOf(entry.name) << '|' << textOf(entry.wildcards)
            << '|' << entry.iconIndex << '\n';
    }
}

int refuse(const std::string& why, std::ostream& err) {
    err << "qel config: " << why << "; nothing was written\n";
    return kRefused;
}

int unknownName(std::string_view name, std::ostream& err) {
    err << "qel config: no configuration named \"" << name << "\"\n";
    return 1;
}

}  // namespace

int runConfigCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::string_view verb = args.empty() ? std::string_view{} : std::string_view{args[0]};
    const bool usageOk =
        (verb == "list" && args.size() == 1) || (verb == "show" && args.size() <= 2) ||
        ((verb == "select" || verb == "new" || verb == "copy" || verb == "delete") &&
         args.size() == 2) ||
        (verb == "set" && args.size() >= 3);
    if (verb == "--help" || verb == "help") {
        out << kUsage;
        return 0;
    }
    if (!usageOk) {
        err << kUsage;
        return 2;
    }

    const std::filesystem::path program = desktopProgramFile();
    StreamMessages messages(err);
    SettingsStore store(resolveSettingsFile(program), program.parent_path().string(), messages);

    if (verb == "list") {
        list(store, out);
        return 0;
    }
    if (verb == "show") {
        ConfigRecord record;
        if (args.size() == 2) {
            const std::optional<uint32_t> named = slotNamed(store, args[1]);
            if (!named) return unknownName(args[1], err);
            record = store.configs()[*named];
        } else {
            store.GetCurrentConfig(record, false);
        }
        show(record, out);
        return 0;
    }
    std::string refusal;
    if (verb == "new" || verb == "copy") {
        std::error_code ignored;
        if (!createConfiguration(store, args[1], verb == "copy",
                                 std::filesystem::current_path(ignored).string(), refusal))
            return refuse(refusal, err);
        return store.write() ? 0 : 1;
    }
    const std::optional<uint32_t> named = slotNamed(store, args[1]);
    if (!named) return unknownName(args[1], err);
    if (verb == "delete") {
        if (!deleteConfiguration(store, *named, refusal)) return refuse(refusal, err);
        return store.write() ? 0 : 1;
    }
    if (verb == "set") {
        const std::vector<std::string> assignments(args.begin() + 2, args.end());
        if (!setConfigurationFields(store, *named, assignments, refusal))
            return refuse(refusal, err);
        return store.write() ? 0 : 1;
    }
    store.currentConfig() = *named;
    ConfigRecord selected;
    return store.GetCurrentConfig(selected, true) ? 0 : 1;
}

}  // namespace qel
