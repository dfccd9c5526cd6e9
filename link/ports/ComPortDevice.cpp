#include "ComPortDevice.h"

#include <cstdlib>

#include "PortMap.h"

namespace cablor::ports {

std::string comPortDevice(int port) {
    if (port < 1 || port > kComPorts) return {};
    const std::string variable = "CABLOR_COM" + std::to_string(port);
    if (const char* device = std::getenv(variable.c_str()); device != nullptr && *device != '\0') {
        return device;
    }
    const PortMap map = readPortMap();
    if (const std::string& mapped = map.devices[static_cast<size_t>(port - 1)]; !mapped.empty()) {
        return mapped;
    }
    return "/dev/ttyS" + std::to_string(port - 1);
}

}  // namespace cablor::ports
