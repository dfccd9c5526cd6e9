#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace cncsim {

// Telegram text with control bytes and bytes above 0x7E written as \r, \n or \xNN.
std::string printable(std::string_view text);

// Every telegram the simulator sends is traced as ">> text", every one it receives as
// "<< text", one per line.
class TraceLog {
  public:
    explicit TraceLog(std::ostream* out) : out_(out) {}
    void sent(std::string_view telegram) { line(">> ", telegram); }
    void received(std::string_view telegram) { line("<< ", telegram); }
    void note(std::string_view text) { line("-- ", text); }

  private:
    void line(std::string_view prefix, std::string_view text);
    std::ostream* out_;
};

}  // namespace cncsim
