// TCP message framing on a socket pair: what a receive does with the announced length before it
// reads the payload, and how messages are taken from what the socket delivered.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

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
};

std::string lengthPrefix(uint32_t announced) {
    uint32_t wire = htonl(announced);
    return std::string(reinterpret_cast<const char*>(&wire), 4);
}

std::string frame(const std::string& text) {
    return lengthPrefix(static_cast<uint32_t>(text.size())) + text;
}

std::string received(const uint8_t* buffer, int length) {
    return std::string(reinterpret_cast<const char*>(buffer), static_cast<size_t>(length));
}

TEST(TcpTransport, ALengthNoCncSendsIsRefusedAtOnceAndNothingBehindItIsDelivered) {
    for (uint32_t announced : {cablor::kLongestAnnounced + 1, 0xFFFFFFFFu}) {
        SCOPED_TRACE(announced);
        Link link;
        // A well-formed message behind the payload's start, in the same write.
        link.send(lengthPrefix(announced) + std::string(100, 'x') + frame("M OK"));
        uint8_t buffer[cablor::kMaxMessage];
        int length = -1;
        // Waiting without limit: a receive that waited for the payload would hang here.
        EXPECT_EQ(receiveMessage(*link.library, buffer, &length, -1), MessageResult::BadLength);
        EXPECT_EQ(length, -1);
        // The stream is out of step: what came with the length is no message.
        EXPECT_EQ(receiveMessage(*link.library, buffer, &length, 200), MessageResult::Failed);
        EXPECT_EQ(length, -1);
    }
}

TEST(TcpTransport, MessagesArrivingInOneWriteAreDeliveredOneByOne) {
    Link link;
    link.send(frame("M OK") + frame("") + frame(std::string(1024, 'z')) + frame("R FR123"));
    uint8_t buffer[cablor::kMaxMessage];
    int length = -1;
    ASSERT_EQ(receiveMessage(*link.library, buffer, &length, 2000), MessageResult::Ok);
    EXPECT_EQ(received(buffer, length), "M OK");
    ASSERT_EQ(receiveMessage(*link.library, buffer, &length, 2000), MessageResult::Ok);
    EXPECT_EQ(length, 0);
    ASSERT_EQ(receiveMessage(*link.library, buffer, &length, 2000), MessageResult::Ok);
    EXPECT_EQ(received(buffer, length), std::string(1024, 'z'));
    ASSERT_EQ(receiveMessage(*link.library, buffer, &length, 2000), MessageResult::Ok);
    EXPECT_EQ(received(buffer, length), "R FR123");
    // Nothing more came: the wait ends with the time-out, not with a message made up.
    EXPECT_EQ(receiveMessage(*link.library, buffer, &length, 100), MessageResult::TimedOut);
}

TEST(TcpTransport, AFloodOfMessagesOfEverySizeArrivesIntact) {
    // Far more than one read takes, so that messages begin and end at every place of what was
    // read ahead.
    std::vector<std::string> messages;
    std::string wire;
    for (int i = 0; i < 300; ++i) {
        std::string text(static_cast<size_t>(i * 37 % 1025), '\0');
        for (size_t j = 0; j < text.size(); ++j) text[j] = static_cast<char>((i + j) % 251);
        wire += frame(text);
        messages.push_back(std::move(text));
    }
    Link link;
    std::thread cnc([&] { link.send(wire); });
    uint8_t buffer[cablor::kMaxMessage];
    for (size_t i = 0; i < messages.size(); ++i) {
        int length = -1;
        ASSERT_EQ(receiveMessage(*link.library, buffer, &length, 2000), MessageResult::Ok) << i;
        ASSERT_EQ(received(buffer, length), messages[i]) << i;
    }
    cnc.join();
}

TEST(TcpTransport, WhatCameOfAStalledMessageIsNotTakenForTheStartOfTheNext) {
    Link link;
    link.send(lengthPrefix(20) + "R ");
    uint8_t buffer[cablor::kMaxMessage];
    int length = -1;
    EXPECT_EQ(receiveMessage(*link.library, buffer, &length, 200), MessageResult::Failed);
    link.send(frame("M OK"));
    ASSERT_EQ(receiveMessage(*link.library, buffer, &length, 2000), MessageResult::Ok);
    EXPECT_EQ(received(buffer, length), "M OK");
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
