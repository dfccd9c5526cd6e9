// A reservation of the link held for as long as the guard lives: the serial port stays open for
// one program between exchanges. Reservations nest; only the outermost reaches the library.
#pragma once

#include "client/LinkChannel.h"

#include <utility>

namespace qel {

class Reservation {
  public:
    Reservation() = default;  // holds nothing
    // Reserves the channel; the guard is empty when the library refused (lastError() says why).
    explicit Reservation(LinkChannel& channel) : channel_(channel.reserve() ? &channel : nullptr) {}
    ~Reservation() { release(); }
    Reservation(Reservation&& other) noexcept : channel_(std::exchange(other.channel_, nullptr)) {}
    Reservation& operator=(Reservation&& other) noexcept {
        if (this != &other) {
            release();
            channel_ = std::exchange(other.channel_, nullptr);
        }
        return *this;
    }
    Reservation(const Reservation&) = delete;
    Reservation& operator=(const Reservation&) = delete;

    explicit operator bool() const { return channel_ != nullptr; }
    // Gives the reservation back now.
    void release() {
        if (LinkChannel* channel = std::exchange(channel_, nullptr)) channel->release();
    }

  private:
    LinkChannel* channel_ = nullptr;
};

}  // namespace qel
