#pragma once

#include "TelegramLink.h"

namespace cncsim {

struct Rxa2Settings {
    int ackTimeoutMs = 2000;    // wait for the PC's acknowledgement of what we send
    int frameTimeoutMs = 3000;  // wait for the next byte inside an exchange the PC began
    int retries = 5;
};

// The CNC's side of the RXA/2 telegram protocol on a serial line or pty.
class Rxa2Link : public TelegramLink {
  public:
    Rxa2Link(ByteLine& line, FaultPlan& faults, TraceLog& trace, Rxa2Settings settings = {})
        : TelegramLink(line, faults, trace), settings_(settings) {}

  protected:
    bool transmit(std::string_view telegram) override;
    Incoming collect(int timeoutMs) override;

  private:
    bool writeByte(std::uint8_t byte);
    std::string damagedFrame(const std::string& frame);

    Rxa2Settings settings_;
};

}  // namespace cncsim
