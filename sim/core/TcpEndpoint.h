#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "UniqueFd.h"

namespace cncsim {

// An IPv4 address and port as written on the command line: "HOST:PORT" or "PORT".
struct TcpAddress {
    std::string host = "127.0.0.1";
    std::uint16_t port = 19000;
};
std::optional<TcpAddress> parseTcpAddress(const std::string& text);

// A listening socket; port 0 lets the system choose, port() tells which.
class TcpListener {
  public:
    // Throws std::runtime_error with the reason.
    explicit TcpListener(const TcpAddress& address);
    std::uint16_t port() const { return port_; }
    std::string host() const { return host_; }
    // Waits for the PC; an invalid descriptor when the simulator is asked to end.
    UniqueFd accept();

  private:
    UniqueFd socket_;
    std::string host_;
    std::uint16_t port_ = 0;
};

// Calls the PC, trying again until waitMs have passed (the PC may still be starting).
// Throws std::runtime_error when no connection could be made.
UniqueFd connectTcp(const TcpAddress& address, int waitMs);

}  // namespace cncsim
