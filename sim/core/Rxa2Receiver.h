#pragma once

#include <cstdint>
#include <string>

namespace cncsim {

// The CNC's side of receiving one RXA/2 telegram, as a state machine fed with the bytes read
// from the line (and with read time-outs). It answers the PC's ENQ with ACK0, checks the block,
// answers ACK1 or NAK, and ends with the PC's EOT.
class Rxa2Receiver {
  public:
    enum class Answer { None, Ack0, Ack1, Nak };
    enum class Outcome { Pending, Received, Ended, TimedOut };
    struct Step {
        Answer answer = Answer::None;
        Outcome outcome = Outcome::Pending;
    };
    // How the CNC misbehaves on the block of this telegram (fault injection).
    enum class AckFault { None, Nak, Withhold };

    explicit Rxa2Receiver(AckFault fault = AckFault::None) : fault_(fault) {}

    Step onByte(std::uint8_t byte);
    Step onTimeout();

    const std::string& telegram() const { return telegram_; }
    // True until the PC's first ENQ arrived: the caller waits longer for it.
    bool idle() const { return state_ == State::Idle; }
    // True while the frame was rejected because it was too long.
    bool overflowed() const { return overflow_; }

  private:
    enum class State { Idle, WaitDle, WaitStx, Data, DataDle, Check, WaitEot, AfterNak };
    Step rejectFrame();

    State state_ = State::Idle;
    std::string telegram_;
    std::uint8_t bcc_ = 0;
    bool reacknowledged_ = false;
    bool firstWait_ = true;
    bool overflow_ = false;
    AckFault fault_;
};

}  // namespace cncsim
