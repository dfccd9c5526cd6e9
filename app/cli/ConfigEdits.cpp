#include "cli/ConfigEdits.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

#include "config/CncFoldersPageModel.h"
#include "config/CommunicationsPageModel.h"
#include "config/ConfigRules.h"
#include "config/FixedText.h"
#include "config/OptionsPageModel.h"
#include "config/SelectPageModel.h"

namespace qel {

const char* const kSettableFields =
    "linkType comPort baudRate parityMode timeout retries sendDelay leaderTrailerSize "
    "percentA percentB notifyCnc portSharing cncVersionCheck ipAddressText destinationPort "
    "serverPort defaultLocalFolder defaultCncFolder editor connectAtStart remoteAtStart "
    "ignoreEmpty memoryTypes[i]";

namespace {

constexpr std::size_t kLongestName = 27;

using Configs = std::array<ConfigRecord, kConfigSlots>;

bool nameInUse(const SettingsStore& store, std::string_view name) {
    return std::any_of(store.configs().begin(), store.configs().end(),
                       [&](const ConfigRecord& r) { return isUsed(r) && textOf(r.name) == name; });
}

std::optional<long> decimal(std::string_view text) {
    long value = 0;
    if (text.empty() || text.size() > 9) return std::nullopt;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (problem != std::errc() || end != text.data() + text.size() || text[0] == '-' ||
        text[0] == '+')
        return std::nullopt;
    return value;
}

// One FIELD=VALUE of the command line.
struct Assignment {
    std::string field;
    std::string value;
};

// Applies the assignments to one record through the pages, in the order an operator would work:
// the protocol first (it decides the speed list), then the line and the rest of the
// Communications page, the memory types, and the Options page, whose CNC folder names a
// memory type.
class FieldEditor {
  public:
    FieldEditor(Configs& configs, uint32_t& slot)
        : communications_(configs, slot),
          folders_(configs, slot),
          options_(configs, slot),
          record_(configs[slot]) {}

    bool apply(const std::vector<Assignment>& assignments, std::string& error) {
        communications_.Fill();
        options_.Fill();
        bool communications = false, options = false;
        // The protocol before everything else, then the page order.
        std::vector<const Assignment*> ordered;
        for (const Assignment& a : assignments)
            if (a.field == "linkType") ordered.push_back(&a);
        for (const Assignment& a : assignments)
            if (a.field != "linkType" && !isOptionsField(a.field)) ordered.push_back(&a);
        for (const Assignment& a : assignments)
            if (isOptionsField(a.field)) ordered.push_back(&a);

        for (const Assignment* a : ordered) {
            std::string problem;
            if (a->field.starts_with("memoryTypes[")) {
                problem = setMemoryType(*a);
                options_.Fill();  // its CNC folder spin runs over the memory types as they are now
            } else if (isOptionsField(a->field)) {
                problem = setOption(*a);
                options = true;
            } else {
                problem = setCommunication(*a);
                communications = true;
            }
            if (!problem.empty()) {
                error = a->field + ": " + problem;
                return false;
            }
        }
        if (communications) communications_.TakeOver();
        if (options) options_.TakeOver();
        return true;
    }

  private:
    static bool isOptionsField(const std::string& field) {
        return field == "defaultLocalFolder" || field == "defaultCncFolder" || field == "editor" ||
               field == "connectAtStart" || field == "remoteAtStart" || field == "ignoreEmpty";
    }

    static std::optional<bool> flag(const std::string& value) {
        if (value == "1") return true;
        if (value == "0") return false;
        return std::nullopt;
    }

    static std::string number(const std::string& value, long lowest, long highest, int16_t& to) {
        const std::optional<long> n = decimal(value);
        if (!n || *n < lowest || *n > highest)
            return "a number " + std::to_string(lowest) + " to " + std::to_string(highest);
        to = static_cast<int16_t>(*n);
        return {};
    }

    static std::string text(const std::string& value, std::size_t longest, std::string& to) {
        if (value.size() > longest) return "at most " + std::to_string(longest) + " characters";
        to = value;
        return {};
    }

    std::string setCommunication(const Assignment& a) {
        CommunicationsControls& c = communications_.controls();
        const std::string& v = a.value;
        int16_t n = 0;
        if (a.field == "linkType") {
            const std::optional<long> type = decimal(v);
            if (!type || (*type != 0 && *type != 1 && *type != 2 && *type != 4))
                return "one of 0 (RXA/2), 1 (DataIO, RTS/CTS), 2 (DataIO, XOn/XOff), 4 (TCP/IP)";
            communications_.ChooseProtocol(*type == 0   ? Protocol::Rxa2
                                           : *type == 4 ? Protocol::Tcp
                                                        : Protocol::DataIo);
            c.xonXoff = *type == 2;
            return {};
        }
        if (a.field == "comPort") {
            const std::string problem = number(v, 1, CommunicationsPageModel::kPorts, n);
            if (problem.empty()) c.port = n - 1;
            return problem.empty() ? problem : "one of 1, 2, 3, 4";
        }
        if (a.field == "baudRate") {
            if (c.speeds.empty()) return "not used on TCP/IP (linkType 4)";
            std::string allowed;
            for (std::size_t i = 0; i < c.speeds.size(); ++i) {
                const std::string speed = std::to_string(c.speeds[i].bitsPerSecond);
                if (speed == v) {
                    communications_.ChooseSpeed(static_cast<int>(i));
                    return {};
                }
                allowed += (i == 0 ? "" : ", ") + speed +
                           (c.speeds[i].bitsPerSecond == 0 ? " (autodetect)" : "");
            }
            return "one of " + allowed;
        }
        if (a.field == "parityMode") {
            if (!c.parityEnabled) return "not used while baudRate is 0 (autodetect)";
            if (v != "0" && v != "1") return "0 (8 bits, no parity) or 1 (7 bits, even parity)";
            communications_.ChooseParity(v == "1" ? 1 : 0);
            return {};
        }
        if (a.field == "timeout" || a.field == "retries" || a.field == "sendDelay" ||
            a.field == "leaderTrailerSize") {
            const long highest = a.field == "sendDelay"           ? 1000
                                 : a.field == "leaderTrailerSize" ? 1023
                                                                  : 127;
            const std::string problem = number(v, 0, highest, n);
            if (!problem.empty()) return problem;
            std::string& to = a.field == "timeout"     ? c.timeout
                              : a.field == "retries"   ? c.retries
                              : a.field == "sendDelay" ? c.sendDelay
                                                       : c.leaderTrailerSize;
            to = std::to_string(n);
            return {};
        }
        if (a.field == "destinationPort" || a.field == "serverPort") {
            // Ports are stored in 16 signed bits: a larger one would come back negative.
            const std::string problem = number(v, 1, 32767, n);
            if (!problem.empty()) return problem;
            (a.field == "destinationPort" ? c.destinationPort : c.serverPort) = std::to_string(n);
            return {};
        }
        if (a.field == "ipAddressText") {
            if (v.empty()) return "an IP address or host name";
            return text(v, 129, c.ipAddress);
        }
        bool* checkBox = a.field == "percentA"          ? &c.percentA
                         : a.field == "percentB"        ? &c.percentB
                         : a.field == "notifyCnc"       ? &c.notify
                         : a.field == "portSharing"     ? &c.portSharing
                         : a.field == "cncVersionCheck" ? &c.versionCheck
                                                        : nullptr;
        if (!checkBox) {
            if (a.field == "inUse" || a.field == "name" || a.field == "options" ||
                a.field == "linkFlags" || a.field == "ipAddressValue")
                return std::string("cannot be set; fields: ") + kSettableFields;
            return std::string("no such field; fields: ") + kSettableFields;
        }
        const std::optional<bool> on = flag(v);
        if (!on) return "0 or 1";
        *checkBox = *on;
        c.percentSupport = c.percentA || c.percentB;
        return {};
    }

    std::string setOption(const Assignment& a) {
        OptionsControls& c = options_.controls();
        const std::string& v = a.value;
        if (a.field == "defaultLocalFolder") return text(v, 259, c.localFolder);
        if (a.field == "editor") return text(v, 129, c.editor);
        if (a.field == "defaultCncFolder") {
            // A level number, "CNC", or a memory type's name: the spin goes round until it shows
            // it.
            const int count = memoryTypeCount(record_);
            for (int step = 0; step <= count; ++step) {
                const int level = options_.cncFolder();
                if (options_.cncFolderText() == v || std::to_string(level) == v) return {};
                options_.SpinUp();
            }
            std::string allowed = "0 or CNC";
            for (int i = 0; i < count; ++i)
                allowed += ", " + std::to_string(i + 1) + " or " +
                           std::string(textOf(record_.memoryTypes[i].name));
            return "one of " + allowed;
        }
        bool& box = a.field == "connectAtStart"  ? c.connectAtStart
                    : a.field == "remoteAtStart" ? c.remoteAtStart
                                                 : c.ignoreEmpty;
        const std::optional<bool> on = flag(v);
        if (!on) return "0 or 1";
        box = *on;
        return {};
    }

    // memoryTypes[i]=NAME|WILDCARDS|ICON replaces entry i (i = the count adds one), an empty
    // value deletes it. The table stays sorted by name, so the entry may move.
    std::string setMemoryType(const Assignment& a) {
        const std::size_t close = a.field.find(']');
        const int count = memoryTypeCount(record_);
        long index = -1;
        if (close != std::string::npos && close + 1 == a.field.size()) {
            index = decimal(std::string_view(a.field).substr(12, close - 12)).value_or(-1);
        }
        if (index < 0 || index > count || index >= kMemoryTypeSlots)
            return "the index is 0 to " + std::to_string(std::min(count, kMemoryTypeSlots - 1));
        const int position = static_cast<int>(index);
        folders_.Fill();
        if (a.value.empty()) {
            if (position == count)
                return "no memory type " + std::to_string(position) + " to delete";
            folders_.Select(position);
            folders_.Delete();
            return {};
        }
        const std::size_t bar1 = a.value.find('|');
        const std::size_t bar2 = bar1 == std::string::npos ? bar1 : a.value.find('|', bar1 + 1);
        const std::optional<long> icon = bar2 == std::string::npos
                                             ? std::nullopt
                                             : decimal(std::string_view(a.value).substr(bar2 + 1));
        if (!icon) return "NAME|WILDCARDS|ICON, for example Part Programs|*.PM;*.PP|6";
        const std::string name = a.value.substr(0, bar1);
        const std::string wildcards = a.value.substr(bar1 + 1, bar2 - bar1 - 1);
        if (name.empty() || name.size() > kLongestName) return "a NAME of 1 to 27 characters";
        if (wildcards.size() > kLongestName) return "WILDCARDS of at most 27 characters";
        if (*icon > kMaxIconIndex) return "an ICON 0 to 45";
        if (position < count) {
            folders_.Select(position);
            folders_.Delete();
        }
        folders_.Typing();
        folders_.Add(name);
        folders_.EditWildcards(wildcards);
        while (folders_.iconIndex() < *icon) folders_.SpinUp();
        while (folders_.iconIndex() > *icon) folders_.SpinDown();
        return {};
    }

    CommunicationsPageModel communications_;
    CncFoldersPageModel folders_;
    OptionsPageModel options_;
    const ConfigRecord& record_;
};

}  // namespace

bool createConfiguration(SettingsStore& store, std::string_view name, bool copyDefault,
                         const std::string& currentDirectory, std::string& error) {
    if (name.empty() || name.size() > kLongestName) {
        error = "a configuration name has 1 to 27 characters";
        return false;
    }
    if (nameInUse(store, name)) {
        error = "a configuration named \"" + std::string(name) + "\" exists";
        return false;
    }
    const uint32_t selected = store.currentConfig();
    SelectPageModel page(store.configs(), store.currentConfig(), currentDirectory);
    page.Fill();
    page.Typing();
    if (!page.newEnabled() || !(copyDefault ? page.CopyDefault(name) : page.New(name))) {
        error = "ten configurations at most: delete one first";
        return false;
    }
    store.currentConfig() = selected;
    return true;
}

bool deleteConfiguration(SettingsStore& store, uint32_t slot, std::string& error) {
    const bool wasSelected = store.currentConfig() == slot;
    SelectPageModel page(store.configs(), store.currentConfig(), {});
    page.Fill();
    const auto& items = page.items();
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].slot == slot) page.Select(static_cast<int>(i));
    if (!page.Delete()) {
        error = "\"Default\" and \"Command line\" cannot be deleted";
        return false;
    }
    if (wasSelected) page.TakeOver();
    return true;
}

bool setConfigurationFields(SettingsStore& store, uint32_t slot,
                            const std::vector<std::string>& assignments, std::string& error) {
    std::vector<Assignment> parsed;
    for (const std::string& text : assignments) {
        const std::size_t equals = text.find('=');
        if (equals == std::string::npos || equals == 0) {
            error = "\"" + text + "\": FIELD=VALUE expected";
            return false;
        }
        parsed.push_back({text.substr(0, equals), text.substr(equals + 1)});
    }
    // The pages work on a copy: a refused value leaves the store as it was.
    Configs copy;
    std::copy(store.configs().begin(), store.configs().end(), copy.begin());
    uint32_t current = slot;
    FieldEditor editor(copy, current);
    if (!editor.apply(parsed, error)) return false;
    store.configs()[slot] = copy[slot];
    return true;
}

}  // namespace qel
