// The udev rule shipped for USB serial adapters: every rule line is a list of KEY op "VALUE"
// pairs udev can read (a typo there makes udev skip the line, silently for the operator), and
// it gives dialout access and sets the FTDI latency timer to 1 ms.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>

namespace {

TEST(UdevRule, EveryLineIsWellFormedAndTheRuleSetsAccessAndLatency) {
    std::ifstream rules(UDEV_RULE_FILE);
    ASSERT_TRUE(rules) << UDEV_RULE_FILE;
    const std::regex pair(R"re(([A-Z_]+)(\{[a-z_]+\})?(==|!=|=|\+=|:=)"([^"]*)")re");
    const std::regex whole(
        R"re(([A-Z_]+(\{[a-z_]+\})?(==|!=|=|\+=|:=)"[^"]*")(, [A-Z_]+(\{[a-z_]+\})?(==|!=|=|\+=|:=)"[^"]*")*)re");
    std::string line;
    bool group = false;
    bool latency = false;
    int number = 0;
    while (std::getline(rules, line)) {
        ++number;
        if (line.empty() || line[0] == '#') continue;
        EXPECT_TRUE(std::regex_match(line, whole)) << "line " << number << ": " << line;
        for (std::sregex_iterator it(line.begin(), line.end(), pair), end; it != end; ++it) {
            const std::smatch& m = *it;
            if (m[1] == "GROUP" && m[3] == "=" && m[4] == "dialout") group = true;
            if (m[1] == "ATTR" && m[2] == "{latency_timer}" && m[3] == "=" && m[4] == "1") {
                latency = line.find("DRIVER==\"ftdi_sio\"") != std::string::npos;
            }
        }
    }
    EXPECT_TRUE(group);
    EXPECT_TRUE(latency);
}

}  // namespace
