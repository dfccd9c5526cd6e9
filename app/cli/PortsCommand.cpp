#include "cli/PortsCommand.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <ostream>
#include <sstream>

#include "ComPortDevice.h"
#include "PortMap.h"
#include "config/ReplaceFile.h"

namespace qel {
namespace {

using cablor::ports::ComPortFacts;
using cablor::ports::DeviceState;
using cablor::ports::PortSurvey;
using cablor::ports::SerialDeviceFacts;

// FTDI-type adapters hold received bytes for 16 ms by default; the udev rule sets 1 ms, and
// anything above that is worth a word.
constexpr int kSlowLatencyMs = 2;

std::string stateName(DeviceState state) {
    switch (state) {
        case DeviceState::Free:
            return "free";
        case DeviceState::NoName:
        case DeviceState::Missing:
            return "missing";
        case DeviceState::NotSerial:
            return "not a serial device";
        case DeviceState::NoPermission:
            return "no permission";
        case DeviceState::Held:
            return "held";
        case DeviceState::OtherError:
            return "error";
    }
    return "error";
}

std::string stateText(const cablor::ports::DeviceCondition& condition) {
    switch (condition.state) {
        case DeviceState::Free:
            return "free";
        case DeviceState::NoName:
        case DeviceState::Missing:
            return "missing";
        case DeviceState::NoPermission:
            return "no permission (add the user to the dialout group, then log in again)";
        case DeviceState::Held: {
            std::string text = "held by another program";
            if (condition.holderPid == 0) return text;
            text += " (";
            if (!condition.holderProgram.empty()) text += condition.holderProgram + ", ";
            return text + "process " + std::to_string(condition.holderPid) + ")";
        }
        default:
            return cablor::ports::conditionText(condition);
    }
}

std::string factsText(const SerialDeviceFacts& facts) {
    std::string text;
    if (!facts.byId.empty()) text += "  by-id " + facts.byId;
    if (!facts.driver.empty()) text += "  driver " + facts.driver;
    if (facts.latencyMs >= 0) {
        text += "  latency timer " + std::to_string(facts.latencyMs) + " ms";
        if (facts.latencyMs >= kSlowLatencyMs) text += " (slow: the udev rule sets 1 ms)";
    }
    return text;
}

std::string jsonString(const std::string& text) {
    std::string json = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

std::string optionalJson(const std::string& text) {
    return text.empty() ? "null" : jsonString(text);
}

std::string factsJson(const SerialDeviceFacts& facts) {
    return "\"device\": " + optionalJson(facts.device) + ", \"byId\": " + optionalJson(facts.byId) +
           ", \"driver\": " + optionalJson(facts.driver) +
           ", \"latencyMs\": " + (facts.latencyMs >= 0 ? std::to_string(facts.latencyMs) : "null");
}

std::filesystem::path editedMapFile() {
    const char* named = std::getenv("CABLOR_PORTS");
    if (named != nullptr && *named != '\0') return named;
    return cablor::ports::userPortMapFile();
}

int usage(std::ostream& err, const std::string& problem) {
    err << "qel: ports: " << problem
        << "\nusage: qel ports [--json] | set COMn PATH | unset COMn\n";
    return 2;
}

int editMap(int port, const std::string& device, std::ostream& out, std::ostream& err) {
    const std::filesystem::path file = editedMapFile();
    if (file.empty()) {
        err << "qel: ports: no home folder for the port map (set HOME or CABLOR_PORTS)\n";
        return 1;
    }
    std::string text;
    {
        std::ifstream in(file);
        if (!in && std::filesystem::exists(file)) {
            err << "qel: ports: " << file.string() << " cannot be read: " << std::strerror(errno)
                << '\n';
            return 1;
        }
        std::ostringstream all;
        all << in.rdbuf();
        text = all.str();
    }
    const std::string changed = cablor::ports::portMapWith(text, port, device);
    if (!replaceFile(file, std::as_bytes(std::span(changed.data(), changed.size())))) {
        err << "qel: ports: " << file.string() << " could not be written: " << std::strerror(errno)
            << '\n';
        return 1;
    }
    const std::string name = "COM" + std::to_string(port);
    out << name << " = " << cablor::ports::comPortDevice(port) << "  (" << file.string() << ")\n";
    const std::string variable = "CABLOR_" + name;
    if (const char* set = std::getenv(variable.c_str()); set != nullptr && *set != '\0') {
        err << "qel: ports: note: " << variable << " is set and names the device before the map\n";
    }
    return 0;
}

}  // namespace

std::string portsText(const PortSurvey& survey) {
    std::string text;
    for (const ComPortFacts& port : survey.ports) {
        text += "COM" + std::to_string(port.port) + "  " +
                (port.facts.device.empty() ? "-" : port.facts.device) + "  " +
                stateText(port.condition) + factsText(port.facts) + "\n";
    }
    if (!survey.others.empty()) {
        text += "serial devices on no COM port:\n";
        for (const SerialDeviceFacts& facts : survey.others) {
            text += "  " + facts.device + factsText(facts) + "\n";
        }
    }
    return text;
}

std::string portsJson(const PortSurvey& survey) {
    std::string json = "{\"ports\": [";
    for (size_t i = 0; i < survey.ports.size(); ++i) {
        const ComPortFacts& port = survey.ports[i];
        json += i == 0 ? "\n  " : ",\n  ";
        json +=
            "{\"port\": \"COM" + std::to_string(port.port) + "\", " + factsJson(port.facts) +
            ", \"state\": \"" + stateName(port.condition.state) +
            "\", \"text\": " + jsonString(stateText(port.condition)) + ", \"holderPid\": " +
            (port.condition.holderPid != 0 ? std::to_string(port.condition.holderPid) : "null") +
            ", \"holderProgram\": " + optionalJson(port.condition.holderProgram) + "}";
    }
    json += "],\n\"others\": [";
    for (size_t i = 0; i < survey.others.size(); ++i) {
        json += (i == 0 ? "\n  {" : ",\n  {") + factsJson(survey.others[i]) + "}";
    }
    return json + "]}\n";
}

int runPortsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    const cablor::ports::SystemFolders& folders) {
    if (args.empty() || (args.size() == 1 && args[0] == "--json")) {
        const PortSurvey survey = cablor::ports::surveyPorts(folders);
        out << (args.empty() ? portsText(survey) : portsJson(survey));
        return 0;
    }
    const std::string& verb = args[0];
    if (verb != "set" && verb != "unset") return usage(err, "unknown word \"" + verb + "\"");
    const size_t words = verb == "set" ? 3 : 2;
    if (args.size() != words)
        return usage(err, verb + " takes " + (words == 3 ? "COMn PATH" : "COMn"));
    const int port = cablor::ports::comPortNumber(args[1]);
    if (port == 0) return usage(err, "\"" + args[1] + "\" is not COM1 to COM4");
    if (verb == "unset") return editMap(port, {}, out, err);
    const std::string& device = args[2];
    if (device.empty() || device.front() != '/' ||
        device.find_first_of("#\n\r") != std::string::npos) {
        return usage(err, "the device must be an absolute path without \"#\"");
    }
    return editMap(port, device, out, err);
}

}  // namespace qel
