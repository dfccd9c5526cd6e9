#include "SerialDevice.h"

#include <chrono>
#include <thread>

namespace cablor {

void SerialDevice::pause(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace cablor
