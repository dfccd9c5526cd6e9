#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cncsim {

// Replies with which the CNC refuses requests for chosen memories ("M NR", "T NP",
// "T BD" + text). A rule is written [OP:]NAME=REPLY: OP is a request code (PT, PR, BR, LI, MC)
// or absent for all of them; NAME is NAME.TYPE, *.TYPE for every memory of a type, or *.
class RefusalTable {
  public:
    // False, with a reason, when the rule is malformed.
    bool add(std::string_view rule, std::string* error = nullptr);
    // The refusal for a request, if any; name is empty for a whole type or a listing.
    std::optional<std::string> find(std::string_view code, std::string_view name,
                                    std::string_view type) const;

  private:
    struct Rule {
        std::string code;
        std::string name;  // upper case; "*" any
        std::string type;  // upper case; "*" any
        std::string reply;
    };
    std::vector<Rule> rules_;
};

}  // namespace cncsim
