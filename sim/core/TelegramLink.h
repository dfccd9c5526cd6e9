#pragma once

#include <string>
#include <string_view>

#include "ByteLine.h"
#include "FaultPlan.h"
#include "TraceLog.h"

namespace cncsim {

// One telegram (or the reason why none came).
struct Incoming {
    enum class Status { Telegram, Timeout, Closed, Stopped, Ended, TooLong };
    Status status = Status::Timeout;
    std::string text;
    bool ok() const { return status == Status::Telegram; }
};

// Telegrams to and from the PC over one line, whatever the line protocol. Traces every
// telegram and counts them for fault injection.
class TelegramLink {
  public:
    TelegramLink(ByteLine& line, FaultPlan& faults, TraceLog& trace)
        : line_(line), faults_(faults), trace_(trace) {}
    virtual ~TelegramLink() = default;

    bool send(std::string_view telegram);
    // Waits at most timeoutMs (negative: without limit) for the PC's next telegram.
    Incoming receive(int timeoutMs);
    // Answers nothing any more: reads and drops what arrives until the line closes or the
    // simulator is asked to end.
    void goSilent();
    bool pause(int ms) { return line_.pause(ms); }
    int receivedCount() const { return received_; }
    FaultPlan& faults() const { return faults_; }

  protected:
    virtual bool transmit(std::string_view telegram) = 0;
    virtual Incoming collect(int timeoutMs) = 0;

    ByteLine& line_;
    FaultPlan& faults_;
    TraceLog& trace_;
    int sent_ = 0;
    int received_ = 0;
};

}  // namespace cncsim
