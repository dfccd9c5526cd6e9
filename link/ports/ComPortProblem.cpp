#include "ComPortProblem.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

namespace cablor::ports {
namespace {

constexpr const char* kPermissionDenied = "permission denied (add the user to the dialout group)";
constexpr const char* kHeld = "held by another program";

std::string systemText(int error) {
    return std::generic_category().message(error);
}

// A flock on the device, as /proc/locks lists it.
struct Holder {
    bool found = false;
    long pid = 0;  // 0 when the kernel does not tell (a process outside our view)
};

// The link library locks a device with flock(LOCK_EX), so a FLOCK entry on the device's inode
// is what refuses the next open. /proc/locks names the inode as "major:minor:inode" of the file
// system holding it (hexadecimal device numbers). Waiting entries ("->") hold nothing.
Holder flockHolder(const struct stat& device) {
    Holder holder;
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, type, mode, access, where;
        long pid = 0;
        if (!(fields >> number >> type) || type != "FLOCK") continue;
        if (!(fields >> mode >> access >> pid >> where)) continue;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(where.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
        if (major != ::major(device.st_dev) || minor != ::minor(device.st_dev) ||
            inode != device.st_ino) {
            continue;
        }
        holder.found = true;
        // A lock of this very program (another of its links, or a descriptor it keeps) is
        // not named by a process number: it would only name ourselves.
        if (pid > 0 && pid != static_cast<long>(::getpid())) {
            holder.pid = pid;
            break;
        }
    }
    return holder;
}

}  // namespace

std::string comPortProblem(const std::string& device) {
    if (device.empty()) return "no device for this port number";
    struct stat status {};
    if (::stat(device.c_str(), &status) != 0) {
        const int error = errno;
        switch (error) {
            case ENOENT:
            case ENOTDIR:
            case ENODEV:
            case ENXIO:
                return "no such device";
            case EACCES:
            case EPERM:
                return kPermissionDenied;
            default:
                return systemText(error);
        }
    }
    if (!S_ISCHR(status.st_mode)) return "not a serial device";
    if (::access(device.c_str(), R_OK | W_OK) != 0) {
        const int error = errno;
        return error == EACCES || error == EPERM || error == EROFS ? kPermissionDenied
                                                                   : systemText(error);
    }
    if (Holder holder = flockHolder(status); holder.found) {
        if (holder.pid == 0) return kHeld;
        return std::string(kHeld) + " (process " + std::to_string(holder.pid) + ")";
    }
    return {};
}

}  // namespace cablor::ports
