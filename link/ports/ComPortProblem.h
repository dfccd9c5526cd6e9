// What keeps a serial device from opening, told to the operator after a port failed. The device
// is never opened for this: an open would race the real state, and taking and dropping the
// device could disturb the program that holds it.
#pragma once

#include <string>

namespace cablor::ports {

// Empty when nothing is wrong that can be seen from outside; otherwise one of
//   "no device for this port number"                         (empty device name)
//   "no such device"
//   "not a serial device"                                    (not a character device)
//   "permission denied (add the user to the dialout group)"
//   "held by another program"                                (a flock on the device)
//   "held by another program (process 1234)"                 (when the kernel names the holder)
// or the system's text for any other failure. Symbolic links are followed.
std::string comPortProblem(const std::string& device);

}  // namespace cablor::ports
