// The port map: which device each COM port is on, kept in a small text file so that a desktop
// user (who cannot set environment variables for a program started from the menu) can put a
// USB adapter on a COM port. Lines are "COMn = PATH" with an absolute PATH; "#" starts a
// comment; anything else is reported and ignored.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace cablor::ports {

inline constexpr int kComPorts = 4;

struct PortMap {
    std::array<std::string, kComPorts> devices;  // COM1 first; empty: not in the map
    std::vector<std::string> problems;           // "line 3: ..." for each line ignored
};

PortMap parsePortMap(std::string_view text);

// The port number of a "COMn" name (any case), 0 when it is none.
int comPortNumber(std::string_view name);

// The map file in force: $CABLOR_PORTS when set (even when it does not exist); else the
// user's $XDG_CONFIG_HOME/qelveva/ports (default ~/.config/qelveva/ports) when it exists; else
// /etc/qelveva/ports.
std::filesystem::path portMapFile();
// The user's own map file, the one qel ports set and unset edit.
std::filesystem::path userPortMapFile();

// The map of portMapFile(); an empty map when there is none. Lines it ignores are reported
// once per process on standard error when QELVEVA_TRACE is 1.
PortMap readPortMap();

// The text of map with COM port n set to device (empty: removed), keeping every other line
// (comments included) as it was.
std::string portMapWith(std::string_view text, int port, const std::string& device);

}  // namespace cablor::ports
