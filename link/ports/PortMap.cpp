#include "PortMap.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

namespace cablor::ports {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

int comPortNumber(std::string_view name) {
    if (name.size() != 4) return 0;
    for (int i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
    }
    const int port = name[3] - '0';
    return port >= 1 && port <= kComPorts ? port : 0;
}

namespace {

struct MapLine {
    int port = 0;  // 0: not a mapping
    std::string device;
    std::string problem;  // set for a line that is neither a mapping, blank nor a comment
};

MapLine readLine(std::string_view line) {
    const std::string_view content = trimmed(line.substr(0, line.find('#')));
    if (content.empty()) return {};
    const size_t equals = content.find('=');
    if (equals == std::string_view::npos) return {0, {}, "not \"COMn = PATH\""};
    const int port = comPortNumber(trimmed(content.substr(0, equals)));
    if (port == 0) return {0, {}, "COM1 to COM4 expected before \"=\""};
    const std::string_view device = trimmed(content.substr(equals + 1));
    if (device.empty()) return {0, {}, "no device after \"=\""};
    if (device.front() != '/') return {0, {}, "the device must be an absolute path"};
    return {port, std::string(device), {}};
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

PortMap parsePortMap(std::string_view text) {
    PortMap map;
    int number = 0;
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        ++number;
        const MapLine read = readLine(line);
        if (!read.problem.empty()) {
            map.problems.push_back("line " + std::to_string(number) + ": " + read.problem);
        } else if (read.port != 0) {
            map.devices[static_cast<size_t>(read.port - 1)] = read.device;  // the last one counts
        }
    }
    return map;
}

std::filesystem::path userPortMapFile() {
    std::string config = environment("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') {
        const std::string home = environment("HOME");
        if (home.empty()) return {};
        config = home + "/.config";
    }
    return std::filesystem::path(config) / "qelveva" / "ports";
}

std::filesystem::path portMapFile() {
    if (const std::string named = environment("CABLOR_PORTS"); !named.empty()) return named;
    std::error_code error;
    const std::filesystem::path user = userPortMapFile();
    if (!user.empty() && std::filesystem::exists(user, error)) return user;
    return "/etc/qelveva/ports";
}

PortMap readPortMap() {
    const std::filesystem::path file = portMapFile();
    std::ifstream in(file);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    PortMap map = parsePortMap(text.str());
    if (!map.problems.empty() && environment("QELVEVA_TRACE") == "1") {
        static std::mutex mutex;
        static std::set<std::string> reported;
        const std::lock_guard lock(mutex);
        for (const std::string& problem : map.problems) {
            if (reported.insert(file.string() + ": " + problem).second) {
                std::fprintf(stderr, "port map %s: %s (ignored)\n", file.c_str(), problem.c_str());
            }
        }
    }
    return map;
}

std::string portMapWith(std::string_view text, int port, const std::string& device) {
    std::string result;
    bool written = false;
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        if (readLine(line).port == port) {
            if (!device.empty() && !written)
                result += "COM" + std::to_string(port) + " = " + device + "\n";
            written = true;
            continue;
        }
        result += line + "\n";
    }
    if (!device.empty() && !written) result += "COM" + std::to_string(port) + " = " + device + "\n";
    return result;
}

}  // namespace cablor::ports
