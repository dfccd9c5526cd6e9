// Which device a COM port number stands for. The link library opens it and the program names it
// in its messages, so both take it from here.
#pragma once

#include <string>

namespace cablor::ports {

// The device of COM port n (1..4): $CABLOR_COMn when it is set and not empty, else the line
// "COMn = PATH" of the port map (PortMap.h), else /dev/ttyS<n-1>. Empty for any other n.
std::string comPortDevice(int port);

}  // namespace cablor::ports
