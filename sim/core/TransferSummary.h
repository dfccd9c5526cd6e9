#pragma once

#include <chrono>
#include <ostream>
#include <string>

namespace cncsim {

// Times one transfer and prints its summary line when it ends:
// "transfer PT PROG1.PM: 1234 bytes in 0.052 s, complete".
class TransferSummary {
  public:
    TransferSummary(std::ostream* out, std::string what, std::string memory)
        : out_(out),
          what_(std::move(what)),
          memory_(std::move(memory)),
          start_(std::chrono::steady_clock::now()) {}
    void addBytes(std::size_t n) { bytes_ += n; }
    std::size_t bytes() const { return bytes_; }
    void finish(const std::string& outcome);

  private:
    std::ostream* out_;
    std::string what_;
    std::string memory_;
    std::chrono::steady_clock::time_point start_;
    std::size_t bytes_ = 0;
};

}  // namespace cncsim
