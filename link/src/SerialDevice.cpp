#include "SerialDevice.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace cablor {

void SerialDevice::pause(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string comPortPath(int port) {
    if (port < 1 || port > 4) return {};
    std::string variable = "CABLOR_COM" + std::to_string(port);
    if (const char* path = std::getenv(variable.c_str()); path != nullptr && *path != '\0') {
        return path;
    }
    return "/dev/ttyS" + std::to_string(port - 1);
}

}  // namespace cablor
