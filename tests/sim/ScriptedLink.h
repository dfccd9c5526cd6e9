#pragma once

#include <deque>
#include <string>
#include <vector>

#include "TelegramLink.h"

namespace cncsim::testing {

// A line that has nothing to say; the scripted link below never reads from it.
class IdleLine : public ByteLine {
  public:
    int readByte(int) override { return kReadClosed; }
    bool write(std::string_view) override { return true; }
    bool pause(int) override { return true; }
};

// A telegram link whose PC side is a script: receive() hands out the queued telegrams (then
// reports the line closed), send() records what the CNC said.
class ScriptedLink : public TelegramLink {
  public:
    explicit ScriptedLink(std::deque<std::string> incoming, FaultOptions faults = {})
        : TelegramLink(line_, plan_, trace_),
          plan_(std::move(faults)),
          incoming_(std::move(incoming)) {}

    std::vector<std::string> sent;

  protected:
    bool transmit(std::string_view telegram) override {
        sent.emplace_back(telegram);
        return true;
    }
    Incoming collect(int) override {
        if (incoming_.empty()) return {Incoming::Status::Closed, {}};
        Incoming in{Incoming::Status::Telegram, incoming_.front()};
        incoming_.pop_front();
        return in;
    }

  private:
    IdleLine line_;
    FaultPlan plan_;
    TraceLog trace_{nullptr};
    std::deque<std::string> incoming_;
};

}  // namespace cncsim::testing
