// cncsim as the CNC that calls the PC's remote mode, started as a child process.
#pragma once

#include "ChildProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace qel::remote::testing {

using qel::testing::ChildProcess;

// A TCP port nobody listens on: bound and closed again.
inline int unusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// The CNC's commands ("login TEXT", "dir PATTERN", "get NAME.TYPE", ...) as cncsim options.
inline std::vector<std::string> cncsimCommand(const std::vector<std::string>& line,
                                              const std::string& store,
                                              const std::vector<std::string>& commands,
                                              const std::vector<std::string>& options = {}) {
    std::vector<std::string> argv = {CNCSIM_PROGRAM,       "--quiet", "--store", store,
                                     "--transfer-timeout", "3000"};
    argv.insert(argv.end(), line.begin(), line.end());
    argv.insert(argv.end(), options.begin(), options.end());
    for (const std::string& command : commands) {
        argv.push_back("--do");
        argv.push_back(command);
    }
    return argv;
}

inline std::vector<std::string> callingOverTcp(int port) {
    return {"--tcp-connect", "127.0.0.1:" + std::to_string(port), "--connect-wait", "5000"};
}

// RXA/2 on a pseudo-terminal; the CNC repeats its first call quickly until the PC has opened
// the line.
inline std::vector<std::string> callingOverPty() {
    return {"--pty", "--ack-timeout", "200", "--retries", "25"};
}

}  // namespace qel::remote::testing
