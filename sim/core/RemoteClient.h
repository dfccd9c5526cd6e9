#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "MemoryStore.h"
#include "TelegramLink.h"

namespace cncsim {

// The CNC driving the PC's remote mode: it sends its own commands and serves the block
// exchanges from the CNC side. Commands are words, one per line of a script:
//   login TEXT | version | message TEXT | dir PATTERN | delete PATTERN | lock PATTERN |
//   unlock PATTERN | free | mpfree | format | error | list TYPE | get NAME.TYPE |
//   put NAME.TYPE | raw TELEGRAM | wait MS
class RemoteClient {
  public:
    RemoteClient(TelegramLink& link, MemoryStore& store, std::ostream* report,
                 int replyTimeoutMs = 10000, std::size_t blockPayload = 124);

    // Runs the commands in order; stops at the first that lost the line. True when every
    // command completed.
    bool run(const std::vector<std::string>& commands);
    // One command; false when it failed. lineLost() tells whether the link broke.
    bool execute(const std::string& command);
    bool lineLost() const { return lineLost_; }

    // The directory request for one entry: the pattern ends before position 17, which holds
    // "D", and the entry number starts at position 20. Empty when the pattern is too long.
    static std::string directoryRequest(const std::string& pattern, int entry);
    // The lock request: the pattern, and at position 18 "+" to lock or "-" to unlock.
    static std::string lockRequest(const std::string& pattern, bool lock);

  private:
    bool ask(const std::string& telegram, std::string* reply);
    bool simple(const std::string& telegram);
    bool readDirectory(const std::string& pattern);
    bool listType(const std::string& type);
    bool fetch(const std::string& fileName);
    bool sendMemory(const std::string& fileName);
    bool breakOffNow(int blocks) const;

    TelegramLink& link_;
    MemoryStore& store_;
    std::ostream* report_;
    int replyTimeoutMs_;
    std::size_t blockPayload_;
    bool lineLost_ = false;
};

}  // namespace cncsim
