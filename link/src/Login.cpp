#include "Login.h"

#include <cstring>

#include "cablor.h"

namespace cablor {
namespace {

bool startsWith(const char* reply, int length, const char* prefix) {
    int n = static_cast<int>(std::strlen(prefix));
    return length >= n && std::memcmp(reply, prefix, static_cast<size_t>(n)) == 0;
}

}  // namespace

int32_t versionNumberAt11(const char* reply, int length) {
    int64_t number = 0;
    for (int i = 11; i < length && reply[i] >= '0' && reply[i] <= '9'; ++i) {
        number = number * 10 + (reply[i] - '0');
        if (number > INT32_MAX) return INT32_MAX;
    }
    return static_cast<int32_t>(number);
}

int32_t classifyLogin(const char* reply, int length, bool tcp) {
    if (!tcp && (startsWith(reply, length, "R VNS5") || startsWith(reply, length, "R VNS3") ||
                 startsWith(reply, length, "R VNS6"))) {
        return DNC_CNC_S3;
    }
    int32_t older = tcp ? DNC_CNC_TCP : DNC_CNC_OLD;
    if (!startsWith(reply, length, "R VN")) return older;
    return versionNumberAt11(reply, length) >= 410 ? DNC_CNC_410 : older;
}

}  // namespace cablor
