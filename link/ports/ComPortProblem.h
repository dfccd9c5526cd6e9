// What keeps a serial device from opening, told to the operator after a port failed and listed
// by `qel ports`. The device is never opened for this: an open would race the real state, and
// taking and dropping the device could disturb the program that holds it (and, on a real port,
// raise its modem lines).
#pragma once

#include <string>

namespace cablor::ports {

enum class DeviceState { Free, NoName, Missing, NotSerial, NoPermission, Held, OtherError };

struct DeviceCondition {
    DeviceState state = DeviceState::Free;
    long holderPid = 0;         // Held: the process, when the kernel tells (0 otherwise)
    std::string holderProgram;  // Held: its program name, when it can be read
    int error = 0;              // OtherError: the errno of the look at the device
};

// The condition of a device path (symbolic links followed). Held means a flock on the device
// (how the link library takes a port), or failing that another process with it open.
DeviceCondition deviceCondition(const std::string& device);

// Empty when nothing is wrong that can be seen from outside; otherwise one of
//   "no device for this port number"                         (empty device name)
//   "no such device"
//   "not a serial device"                                    (not a character device)
//   "permission denied (add the user to the dialout group)"
//   "held by another program"                                (a flock on the device)
//   "held by another program (process 1234)"                 (when the kernel names the holder)
// or the system's text for any other failure.
std::string comPortProblem(const std::string& device);
std::string conditionText(const DeviceCondition& condition);

}  // namespace cablor::ports
