#include "RefusalTable.h"

#include <cctype>

namespace cncsim {

namespace {
std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}
}  // namespace

bool RefusalTable::add(std::string_view rule, std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return false;
    };
    const auto equals = rule.find('=');
    if (equals == std::string_view::npos) return fail("expected [OP:]NAME=REPLY");
    std::string_view target = rule.substr(0, equals);
    Rule entry;
    entry.reply = std::string(rule.substr(equals + 1));
    if (entry.reply.size() < 4)
        return fail("the reply must be a telegram of at least 4 characters");
    if (const auto colon = target.find(':'); colon != std::string_view::npos) {
        entry.code = upper(target.substr(0, colon));
        target = target.substr(colon + 1);
        if (entry.code != "PT" && entry.code != "PR" && entry.code != "BR" && entry.code != "LI" &&
            entry.code != "MC")
            return fail("OP must be PT, PR, BR, LI or MC");
    }
    if (target == "*") {
        entry.name = entry.type = "*";
    } else {
        const auto dot = target.rfind('.');
        if (dot == std::string_view::npos || dot == 0 || target.size() - dot != 3)
            return fail("NAME must be NAME.TYPE, *.TYPE or *");
        entry.name = upper(target.substr(0, dot));
        entry.type = upper(target.substr(dot + 1));
    }
    rules_.push_back(std::move(entry));
    return true;
}

std::optional<std::string> RefusalTable::find(std::string_view code, std::string_view name,
                                              std::string_view type) const {
    const std::string wantedName = upper(name);
    const std::string wantedType = upper(type);
    for (const Rule& rule : rules_) {
        if (!rule.code.empty() && rule.code != code) continue;
        if (rule.type != "*" && rule.type != wantedType) continue;
        // A rule for one memory does not refuse the listing or the whole type.
        if (rule.name != "*" && rule.name != wantedName) continue;
        return rule.reply;
    }
    return std::nullopt;
}

}  // namespace cncsim
