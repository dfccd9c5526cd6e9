#include "cli/QelArguments.h"

#include <charconv>

namespace qel {

namespace {

std::optional<DirectAddress> parseAddress(const std::string& text) {
    DirectAddress address;
    const size_t colon = text.rfind(':');
    address.host = text.substr(0, colon);
    if (colon != std::string::npos) {
        const std::string portText = text.substr(colon + 1);
        const char* end = portText.data() + portText.size();
        auto [stop, error] = std::from_chars(portText.data(), end, address.port);
        if (portText.empty() || error != std::errc() || stop != end) return std::nullopt;
    }
    if (address.host.empty()) return std::nullopt;
    return address;
}

}  // namespace

std::optional<QelArguments> parseQelArguments(const std::vector<std::string>& args,
                                              std::string& problem) {
    QelArguments parsed;
    size_t next = 0;
    while (next < args.size() && args[next].size() > 1 && args[next][0] == '-') {
        const std::string& option = args[next];
        if (option != "-c" && option != "--config" && option != "-i" && option != "--ip") {
            problem = "unknown option " + option;
            return std::nullopt;
        }
        if (parsed.connectionGiven) {
            problem = "give at most one connection (-c or -i)";
            return std::nullopt;
        }
        if (next + 1 >= args.size()) {
            problem = option + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[next + 1];
        if (option == "-c" || option == "--config") {
            parsed.connection = NamedConfiguration{value};
        } else if (auto address = parseAddress(value)) {
            parsed.connection = *address;
        } else {
            problem = "not a HOST[:PORT]: " + value;
            return std::nullopt;
        }
        parsed.connectionGiven = true;
        next += 2;
    }
    if (next >= args.size()) {
        problem = "no command given";
        return std::nullopt;
    }
    parsed.command = args[next];
    parsed.words.assign(args.begin() + static_cast<std::ptrdiff_t>(next) + 1, args.end());
    return parsed;
}

}  // namespace qel
