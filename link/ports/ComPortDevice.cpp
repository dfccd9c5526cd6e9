#include "ComPortDevice.h"

#include <cstdlib>

namespace cablor::ports {

std::string comPortDevice(int port) {
    if (port < 1 || port > 4) return {};
    const std::string variable = "CABLOR_COM" + std::to_string(port);
    if (const char* device = std::getenv(variable.c_str()); device != nullptr && *device != '\0') {
        return device;
    }
    return "/dev/ttyS" + std::to_string(port - 1);
}

}  // namespace cablor::ports
