#include "SerialSurvey.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

#include "ComPortDevice.h"
#include "PortMap.h"

namespace cablor::ports {
namespace {

namespace fs = std::filesystem;

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The by-id link whose target is the node, if any.
std::string byIdOf(const std::string& node, const SystemFolders& folders) {
    std::error_code error;
    const fs::path dev = fs::weakly_canonical(folders.dev, error);
    std::vector<std::string> names;
    // A link that cannot be resolved is skipped; it does not end the look at the others.
    for (fs::directory_iterator it(folders.dev / "serial" / "by-id", error), end;
         !error && it != end; it.increment(error)) {
        std::error_code unresolved;
        const fs::path target = fs::weakly_canonical(it->path(), unresolved);
        if (!unresolved && target.filename() == node && target.parent_path() == dev) {
            names.push_back(it->path().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names.empty() ? std::string() : names.front();
}

// A legacy 16550 port that the kernel lists but no hardware answers for: type 0 ("unknown").
bool phantomUart(const std::string& node, const SystemFolders& folders) {
    return firstLine(folders.sys / "class" / "tty" / node / "type") == "0";
}

}  // namespace

SerialDeviceFacts serialDeviceFacts(const std::string& device, const SystemFolders& folders) {
    SerialDeviceFacts facts;
    facts.device = device;
    std::error_code error;
    const fs::path resolved = fs::canonical(device, error);
    if (error) return facts;
    facts.node = resolved.filename().string();
    facts.byId = byIdOf(facts.node, folders);
    if (facts.byId == device) facts.byId.clear();
    const fs::path tty = folders.sys / "class" / "tty" / facts.node / "device";
    const fs::path driver = fs::read_symlink(tty / "driver", error);
    if (!error) facts.driver = driver.filename().string();
    const std::string latency = firstLine(tty / "latency_timer");
    if (!latency.empty() && std::all_of(latency.begin(), latency.end(),
                                        [](unsigned char c) { return std::isdigit(c) != 0; })) {
        facts.latencyMs = std::stoi(latency);
    }
    return facts;
}

PortSurvey surveyPorts(const SystemFolders& folders) {
    PortSurvey survey;
    std::vector<std::string> named;
    for (int port = 1; port <= kComPorts; ++port) {
        ComPortFacts entry;
        entry.port = port;
        const std::string device = comPortDevice(port);
        entry.facts = serialDeviceFacts(device, folders);
        entry.condition = deviceCondition(device);
        if (!entry.facts.node.empty()) named.push_back(entry.facts.node);
        survey.ports.push_back(std::move(entry));
    }
    std::error_code error;
    std::vector<std::string> nodes;
    const fs::path classTty = folders.sys / "class" / "tty";
    for (fs::directory_iterator it(classTty, error), end; !error && it != end;
         it.increment(error)) {
        const std::string node = it->path().filename().string();
        std::error_code noDriver;
        const bool hasDriver =
            !fs::read_symlink(it->path() / "device" / "driver", noDriver).empty();
        if (!hasDriver || phantomUart(node, folders)) continue;  // consoles, ptys, ghost UARTs
        if (std::find(named.begin(), named.end(), node) != named.end()) continue;
        nodes.push_back(node);
    }
    std::sort(nodes.begin(), nodes.end());
    for (const std::string& node : nodes) {
        survey.others.push_back(serialDeviceFacts((folders.dev / node).string(), folders));
    }
    return survey;
}

}  // namespace cablor::ports
