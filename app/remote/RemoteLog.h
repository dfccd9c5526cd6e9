// The remote-mode log the operator sees: the last four lines, each cut to 159 characters.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace qel::remote {

class RemoteLog {
  public:
    static constexpr int kLines = 4;
    static constexpr std::size_t kLineLength = 159;

    // Fills the first empty line; when all four are used, the oldest goes and the new line
    // becomes the last. A text ends at its first NUL, as the CNC's texts do. Returns the line as
    // stored.
    const std::string& add(std::string_view line);

    // The four lines joined by line feeds, empty ones included; "Remote mode started." until the
    // first line arrives.
    std::string text() const;
    const std::array<std::string, kLines>& lines() const { return lines_; }

  private:
    std::array<std::string, kLines> lines_;
    bool started_ = false;
};

}  // namespace qel::remote
