// The serial devices of this computer as `qel ports` lists them: each COM port's device and its
// condition, the driver and (for FTDI-type adapters) the latency timer from sysfs, and the
// devices present that no COM port names. Stable names under /dev/serial/by-id are given beside
// the kernel's names, which change with the order adapters were plugged in.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "ComPortProblem.h"

namespace cablor::ports {

// Where the kernel's views are; tests hand in folders of their own.
struct SystemFolders {
    std::filesystem::path sys = "/sys";
    std::filesystem::path dev = "/dev";
};

struct SerialDeviceFacts {
    std::string device;  // as named: "/dev/ttyUSB0", "/dev/serial/by-id/usb-..."
    std::string node;    // the kernel's name behind it ("ttyUSB0"); empty when it is missing
    std::string byId;    // "/dev/serial/by-id/usb-..." naming the same node; empty when none
    std::string driver;  // "ftdi_sio", "cdc_acm", "serial8250"; empty when sysfs tells none
    int latencyMs = -1;  // the adapter's latency timer; -1 when its driver has none
};

struct ComPortFacts {
    int port = 0;
    SerialDeviceFacts facts;
    DeviceCondition condition;
};

struct PortSurvey {
    std::vector<ComPortFacts> ports;        // COM1..COM4
    std::vector<SerialDeviceFacts> others;  // devices present that no COM port names
};

SerialDeviceFacts serialDeviceFacts(const std::string& device, const SystemFolders& folders = {});
PortSurvey surveyPorts(const SystemFolders& folders = {});

}  // namespace cablor::ports
