// TCP message framing on a socket pair: what a receive does with the announced length before it
// reads the payload.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "TcpTransport.h"

namespace {

using cablor::MessageResult;
using cablor::receiveMessage;
using cablor::Socket;

// The library's end of a connection and the CNC's end, which writes raw bytes.
struct Link {
    std::unique_ptr<Socket> library;
    int cnc = -1;
    Link() {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        library = std::make_unique<Socket>(fds[0]);
        cnc = fds[1];
    }
    ~Link() { ::close(cnc); }

    void send(const std::string& bytes) const {
        size_t sent = 0;
        while (sent < bytes.size()) {
            ssize_t n = ::send(cnc, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            ASSERT_GT(n, 0);
            sent += static_cast<size_t>(n);
        }
    }
    int unread() const {
        int n = -1;
        ::ioctl(library->fd(), FIONREAD, &n);
        return n;
    }
};

std::string lengthPrefix(uint32_t announced) {
    uint32_t wire = htonl(announced);
    return std::string(reinterpret_cast<const char*>(&wire), 4);
}

TEST(TcpTransport, ALengthNoCncSendsIsRefusedBeforeItsPayloadIsRead) {
    for (uint32_t announced : {cablor::kLongestAnnounced + 1, 0xFFFFFFFFu}) {
        SCOPED_TRACE(announced);
        Link link;
        link.send(lengthPrefix(announced) + std::string(100, 'x'));
        uint8_t buffer[cablor::kMaxMessage];
        int length = -1;
        // Waiting without limit: a receive that tried to read the payload would hang here.
        EXPECT_EQ(receiveMessage(*link.library, buffer, &length, -1), MessageResult::BadLength);
        EXPECT_EQ(link.unread(), 100);
        EXPECT_EQ(length, -1);
    }
}

TEST(TcpTransport, OverLongMessagesUpToTheLimitAreDrainedAndTheNextOneIsIntact) {
    for (uint32_t announced : {1500u, cablor::kLongestAnnounced}) {
        SCOPED_TRACE(announced);
        Link link;
        // The writer has its own thread: 64 KiB may not fit the socket buffer at once.
        std::thread cnc([&] {
            link.send(lengthPrefix(announced) + std::string(announced, 'y') + lengthPrefix(4) +
                      "M OK");
        });
        uint8_t buffer[cablor::kMaxMessage];
        int length = 0;
        EXPECT_EQ(receiveMessage(*link.library, buffer, &length, 2000), MessageResult::OverLong);
        EXPECT_EQ(length, cablor::kMaxMessage);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 1024), std::string(1024, 'y'));
        EXPECT_EQ(receiveMessage(*link.library, buffer, &length, 2000), MessageResult::Ok);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), static_cast<size_t>(length)),
                  "M OK");
        cnc.join();
    }
}

}  // namespace
