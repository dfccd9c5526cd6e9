#include "ComPortProblem.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace cablor::ports {
namespace {

constexpr const char* kPermissionDenied = "permission denied (add the user to the dialout group)";
constexpr const char* kHeld = "held by another program";

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

// Another process with the device open, found among the descriptors /proc lets us see (all of
// them for root, our own user's otherwise). Programs that take a port with TIOCEXCL alone leave
// no lock behind.
long openedBy(const struct stat& device) {
    DIR* processes = ::opendir("/proc");
    if (processes == nullptr) return 0;
    long found = 0;
    const long self = static_cast<long>(::getpid());
    while (found == 0) {
        const dirent* entry = ::readdir(processes);
        if (entry == nullptr) break;
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == self) continue;
        const std::string fdFolder = std::string("/proc/") + entry->d_name + "/fd";
        DIR* fds = ::opendir(fdFolder.c_str());
        if (fds == nullptr) continue;
        while (const dirent* fd = ::readdir(fds)) {
            struct stat target {};
            if (fd->d_name[0] == '.') continue;
            if (::stat((fdFolder + "/" + fd->d_name).c_str(), &target) == 0 &&
                S_ISCHR(target.st_mode) && target.st_rdev == device.st_rdev) {
                found = pid;
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(processes);
    return found;
}

std::string programOf(long pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

}  // namespace

DeviceCondition deviceCondition(const std::string& device) {
    DeviceCondition condition;
    if (device.empty()) {
        condition.state = DeviceState::NoName;
        return condition;
    }
    struct stat status {};
    if (::stat(device.c_str(), &status) != 0) {
        const int error = errno;
        switch (error) {
            case ENOENT:
            case ENOTDIR:
            case ENODEV:
            case ENXIO:
                condition.state = DeviceState::Missing;
                break;
            case EACCES:
            case EPERM:
                condition.state = DeviceState::NoPermission;
                break;
            default:
                condition.state = DeviceState::OtherError;
                condition.error = error;
        }
        return condition;
    }
    if (!S_ISCHR(status.st_mode)) {
        condition.state = DeviceState::NotSerial;
        return condition;
    }
    if (::access(device.c_str(), R_OK | W_OK) != 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM || error == EROFS) {
            condition.state = DeviceState::NoPermission;
        } else {
            condition.state = DeviceState::OtherError;
            condition.error = error;
        }
        return condition;
    }
    Holder holder = flockHolder(status);
    if (!holder.found) {
        holder.pid = openedBy(status);
        holder.found = holder.pid != 0;
    }
    if (holder.found) {
        condition.state = DeviceState::Held;
        condition.holderPid = holder.pid;
        if (holder.pid != 0) condition.holderProgram = programOf(holder.pid);
    }
    return condition;
}

std::string conditionText(const DeviceCondition& condition) {
    switch (condition.state) {
        case DeviceState::Free:
            return {};
        case DeviceState::NoName:
            return "no device for this port number";
        case DeviceState::Missing:
            return "no such device";
        case DeviceState::NotSerial:
            return "not a serial device";
        case DeviceState::NoPermission:
            return kPermissionDenied;
        case DeviceState::Held:
            if (condition.holderPid == 0) return kHeld;
            return std::string(kHeld) + " (process " + std::to_string(condition.holderPid) + ")";
        case DeviceState::OtherError:
            return std::generic_category().message(condition.error);
    }
    return {};
}

std::string comPortProblem(const std::string& device) {
    return conditionText(deviceCondition(device));
}

}  // namespace cablor::ports
