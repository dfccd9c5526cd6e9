#pragma once

#include <set>

#include "TelegramLink.h"

namespace cncsim {

// Telegrams in length-prefixed TCP messages; TCP has no acknowledgement layer, so a withheld
// or delayed acknowledgement here withholds or delays the reply itself.
class TcpLink : public TelegramLink {
  public:
    TcpLink(ByteLine& line, FaultPlan& faults, TraceLog& trace, int frameTimeoutMs = 3000)
        : TelegramLink(line, faults, trace), frameTimeoutMs_(frameTimeoutMs) {}

  protected:
    bool transmit(std::string_view telegram) override;
    Incoming collect(int timeoutMs) override;

  private:
    int frameTimeoutMs_;
    std::set<int> answered_;  // received telegrams whose reply-fault was already applied
};

}  // namespace cncsim
