// The qel command line: one optional connection, then a command and its words.
//     qel [-c NAME | -i HOST[:PORT]] COMMAND [ARGS]
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace qel {

inline constexpr int kDefaultCncPort = 19000;

struct SelectedConfiguration {};  // the selected configuration of the settings file
struct NamedConfiguration {
    std::string name;
};
struct DirectAddress {
    std::string host;
    int port = kDefaultCncPort;
};
using ConnectionChoice = std::variant<SelectedConfiguration, NamedConfiguration, DirectAddress>;

struct QelArguments {
    ConnectionChoice connection;
    bool connectionGiven = false;
    std::string command;
    std::vector<std::string> words;  // after the command
};

// Parses argv[1..]. On a usage error returns nothing and sets problem to one line.
std::optional<QelArguments> parseQelArguments(const std::vector<std::string>& args,
                                              std::string& problem);

}  // namespace qel
