// TCP links against a scripted CNC on loopback: login classes, framing limits both ways,
// time-outs, a peer that drops the connection, the server side and the kept listener.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

#include "TcpPeer.h"
#include "cablor.h"

namespace {

using testing_peer::answerLogin;
using testing_peer::Connection;
using testing_peer::TcpPeer;

DncConnectParams clientBlock(int port, uint32_t flags = 0) {
    DncConnectParams p{};
    p.version = 3;
    p.linkType = DNC_LINK_TCP_CLIENT;
    p.port = port;
    p.ackTimeout = 1;
    p.replyTimeout = 2;
    p.flags = flags;
    p.hostName = "127.0.0.1";
    return p;
}

struct Client {
    int32_t h = 0;
    explicit Client(DncConnectParams p) { h = DncConnectEx(&p); }
    ~Client() {
        if (h == 0) return;
        DncDisconnect(h);
        DncCloseHandle(h);
    }
};

int32_t paramOf(int32_t h, int id) {
    int32_t value = -1;
    EXPECT_EQ(DncGetParamEx(h, id, &value), 1);
    return value;
}

TEST(TcpLogin, VersionDecidesTheClass) {
    struct Case {
        const char* reply;
        int32_t cncClass;
    };
    for (Case c : {Case{"R VNS4_V4xx410 QEL", DNC_CNC_410}, Case{"R VNS4_V4xx409", DNC_CNC_TCP},
                   Case{"M NR", DNC_CNC_TCP}}) {
        std::string sent;
        TcpPeer peer([&](Connection& cnc) {
            std::string first;
            cnc.readFrame(&first);
            sent = first;
            cnc.sendFrame("M OK");
            cnc.readFrame(&first);
            sent += "|" + first;
            cnc.sendFrame(c.reply);
        });
        Client client(clientBlock(peer.port()));
        ASSERT_NE(client.h, 0) << c.reply;
        EXPECT_EQ(paramOf(client.h, DNC_PARAM_CNC_CLASS), c.cncClass) << c.reply;
        DncDisconnect(client.h);
        EXPECT_EQ(sent, "M  I|M VN");
    }
}

TEST(TcpLogin, NoLoginSendsNothingAndAFailedGreetingDiscardsTheHandle) {
    std::promise<std::string> received;
    {
        TcpPeer peer([&](Connection& cnc) {
            std::string text;
            cnc.readFrame(&text);
            received.set_value(text);
        });
        Client client(clientBlock(peer.port(), DNC_FLAG_NO_LOGIN));
        ASSERT_NE(client.h, 0);
        EXPECT_EQ(paramOf(client.h, DNC_PARAM_CNC_CLASS), DNC_CNC_NO_LOGIN);
        char telegram[DNC_MAX_MESSAGE] = "M DIhello";
        int32_t length = 9;
        EXPECT_EQ(DncTransferEx(client.h, telegram, &length, 0), 1);
        EXPECT_EQ(received.get_future().get(), "M DIhello");
    }
    // A CNC that hangs up during the greeting: no handle, the reason in the handle-less slot.
    TcpPeer closer([](Connection&) {});
    Client client(clientBlock(closer.port()));
    EXPECT_EQ(client.h, 0);
    int code = DncGetLastError(0);
    EXPECT_TRUE(code == DNC_ERR_SEND || code == DNC_ERR_CONNECTION) << code;
}

TEST(TcpFraming, OverLongSendGoesOutTruncatedAndIsReported) {
    std::promise<std::pair<uint32_t, std::string>> wire;
    TcpPeer peer([&](Connection& cnc) {
        std::string text;
        uint32_t announced = 0;
        cnc.readFrame(&text, &announced);
        wire.set_value({announced, text});
    });
    Client client(clientBlock(peer.port(), DNC_FLAG_NO_LOGIN));
    std::vector<char> big(1500, 'x');
    int32_t length = 1500;
    EXPECT_EQ(DncTransferEx(client.h, big.data(), &length, 0), 0);
    EXPECT_EQ(DncGetLastError(client.h), DNC_ERR_SEND);
    auto [announced, text] = wire.get_future().get();
    EXPECT_EQ(announced, 1500u);
    EXPECT_EQ(text, std::string(1024, 'x'));
}

TEST(TcpFraming, OverLongReplyDeliversItsStartAndTheNextMessageIsIntact) {
    TcpPeer peer([](Connection& cnc) {
        std::string text;
        cnc.readFrame(&text);
        cnc.sendFrame(std::string(2000, 'y'));
        cnc.readFrame(&text);
        cnc.sendFrame("R FR123");
    });
    Client client(clientBlock(peer.port(), DNC_FLAG_NO_LOGIN));
    char buffer[DNC_MAX_MESSAGE];
    int32_t length = 4;
    std::memcpy(buffer, "M FR", 4);
    EXPECT_EQ(DncTransferEx(client.h, buffer, &length, 1), 0);
    EXPECT_EQ(DncGetLastError(client.h), DNC_ERR_RECEIVE);
    EXPECT_EQ(length, 1024);
    EXPECT_EQ(std::string(buffer, 1024), std::string(1024, 'y'));
    length = 4;
    std::memcpy(buffer, "M FR", 4);
    ASSERT_EQ(DncTransferEx(client.h, buffer, &length, 1), 1);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), "R FR123");
}

TEST(TcpFraming, LengthPrefixInPiecesIsCompleted) {
    TcpPeer peer([](Connection& cnc) {
        std::string text;
        cnc.readFrame(&text);
        const char wire[] = {0, 0, 0, 4, 'M', ' ', 'O', 'K'};
        for (char byte : wire) {
            cnc.sendRaw(&byte, 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    Client client(clientBlock(peer.port(), DNC_FLAG_NO_LOGIN));
    char buffer[DNC_MAX_MESSAGE] = "M DI";
    int32_t length = 4;
    ASSERT_EQ(DncTransferEx(client.h, buffer, &length, 1), 1);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), "M OK");
}

TEST(TcpFraming, RepliesArrivingTogetherAreDeliveredOneByOne) {
    TcpPeer peer([](Connection& cnc) {
        std::string text;
        cnc.readFrame(&text);
        const std::string both =
            std::string("\0\0\0\4M OK", 8) + std::string("\0\0\0\7R FR123", 11);
        cnc.sendRaw(both.data(), both.size());
        cnc.readFrame(&text);  // stays connected until the client is done
    });
    Client client(clientBlock(peer.port(), DNC_FLAG_NO_LOGIN));
    char buffer[DNC_MAX_MESSAGE] = "M DI";
    int32_t length = 4;
    ASSERT_EQ(DncTransferEx(client.h, buffer, &length, 1), 1);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), "M OK");
    length = sizeof buffer;
    ASSERT_EQ(DncListenEx(client.h, buffer, &length), 1);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), "R FR123");
}

TEST(TcpFraming, PeerClosingMidMessageFailsAtOnceWithError28) {
    TcpPeer peer([](Connection& cnc) {
        std::string text;
        cnc.readFrame(&text);
        const char partial[] = {0, 0, 0, 20, 'R', ' '};
        cnc.sendRaw(partial, sizeof partial);
    });
    Client client(clientBlock(peer.port(), DNC_FLAG_NO_LOGIN));
    char buffer[DNC_MAX_MESSAGE] = "M DI";
    int32_t length = 4;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DncTransferEx(client.h, buffer, &length, 1), 0);
    EXPECT_EQ(DncGetLastError(client.h), DNC_ERR_CONNECTION);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(TcpFraming, ReplyAnnouncingALengthNoCncSendsEndsTheConnectionAtOnce) {
    std::promise<bool> connectionEnded;
    TcpPeer peer([&](Connection& cnc) {
        std::string text;
        cnc.readFrame(&text);
        // Only the length, and the socket stays open: a receive that waited for the payload
        // would hang.
        const unsigned char length[] = {0xFF, 0xFF, 0xFF, 0xFF};
        cnc.sendRaw(length, sizeof length);
        timeval limit{2, 0};  // a library that kept the connection fails the test, not hangs it
        ::setsockopt(cnc.fd(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        char byte;
        connectionEnded.set_value(::recv(cnc.fd(), &byte, 1, 0) == 0);
    });
    Client client(clientBlock(peer.port(), DNC_FLAG_NO_LOGIN));
    DncSetParamEx(client.h, DNC_PARAM_REPLY_TIMEOUT, 0);  // without limit
    char buffer[DNC_MAX_MESSAGE] = "M FR";
    int32_t length = 4;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DncTransferEx(client.h, buffer, &length, 1), 0);
    EXPECT_EQ(DncGetLastError(client.h), DNC_ERR_CONNECTION);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(connectionEnded.get_future().get());
    EXPECT_EQ(DncListenEx(client.h, buffer, &length), 0);
    EXPECT_EQ(DncGetLastError(client.h), DNC_ERR_CONNECTION);
}

TEST(TcpFraming, SilentCncTimesOutWithError12) {
    std::atomic<bool> done{false};
    TcpPeer peer([&](Connection& cnc) {
        std::string text;
        cnc.readFrame(&text);
        while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    Client client(clientBlock(peer.port(), DNC_FLAG_NO_LOGIN));
    DncSetParamEx(client.h, DNC_PARAM_REPLY_TIMEOUT, 1);
    char buffer[DNC_MAX_MESSAGE] = "M FR";
    int32_t length = 4;
    EXPECT_EQ(DncTransferEx(client.h, buffer, &length, 1), 0);
    EXPECT_EQ(DncGetLastError(client.h), DNC_ERR_TIMEOUT);
    // The connection is given up, so that a late reply cannot answer the next request.
    std::memcpy(buffer, "PTPMPROG1", 9);
    length = 9;
    EXPECT_EQ(DncTransferEx(client.h, buffer, &length, 1), 0);
    EXPECT_NE(DncGetLastError(client.h), 0);
    done = true;
}

TEST(TcpFraming, NullBufferAndNegativeLengthAreRefused) {
    TcpPeer peer([](Connection&) {});
    Client client(clientBlock(peer.port(), DNC_FLAG_NO_LOGIN));
    int32_t length = 4;
    char buffer[DNC_MAX_MESSAGE] = "M FR";
    EXPECT_EQ(DncTransferEx(client.h, nullptr, &length, 1), 0);
    EXPECT_EQ(DncGetLastError(client.h), DNC_ERR_SEND);
    EXPECT_EQ(DncTransferEx(client.h, buffer, nullptr, 1), 0);
    length = -5;
    EXPECT_EQ(DncTransferEx(client.h, buffer, &length, 1), 0);
    EXPECT_EQ(DncListenEx(client.h, nullptr, &length), 0);
    EXPECT_EQ(DncGetLastError(client.h), DNC_ERR_RECEIVE);
}

int connectTo(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

DncConnectParams serverBlock(int port, uint32_t flags) {
    DncConnectParams p = clientBlock(port, flags);
    p.linkType = DNC_LINK_TCP_SERVER;
    return p;
}

TEST(TcpServer, AcceptsTheCncAndKnowsItsAddress) {
    int port = testing_peer::freePort();
    Client server(serverBlock(port, 0));
    ASSERT_NE(server.h, 0);
    EXPECT_EQ(paramOf(server.h, DNC_PARAM_CNC_CLASS), DNC_CNC_TCP);
    std::thread cnc([port] {
        int fd = connectTo(port);
        Connection c(fd);
        c.sendFrame("MPINmill 7");
        std::string reply;
        c.readFrame(&reply);
        ::close(fd);
    });
    char buffer[DNC_MAX_MESSAGE];
    int32_t length = sizeof buffer;
    ASSERT_EQ(DncListenEx(server.h, buffer, &length), 1);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), "MPINmill 7");
    EXPECT_EQ(static_cast<uint32_t>(paramOf(server.h, DNC_PARAM_PEER_ADDRESS)), INADDR_LOOPBACK);
    char reply[] = "M OKRemote Mode";
    length = static_cast<int32_t>(std::strlen(reply));
    EXPECT_EQ(DncTransferEx(server.h, reply, &length, 0), 1);
    cnc.join();
    // The CNC has gone: the next listen fails with 28 instead of waiting.
    length = sizeof buffer;
    EXPECT_EQ(DncListenEx(server.h, buffer, &length), 0);
    EXPECT_EQ(DncGetLastError(server.h), DNC_ERR_CONNECTION);
}

TEST(TcpServer, ListenGivesUpAfterTheReplyTimeoutAndTheNextTelegramStillArrives) {
    int port = testing_peer::freePort();
    Client server(serverBlock(port, DNC_FLAG_NO_LOGIN));
    std::promise<void> firstTimedOut;
    std::thread cnc([port, done = firstTimedOut.get_future()]() mutable {
        int fd = connectTo(port);
        Connection c(fd);
        c.sendFrame("MPINlathe");
        done.wait();
        c.sendFrame("M FR");
        ::close(fd);
    });
    char buffer[DNC_MAX_MESSAGE];
    int32_t length = sizeof buffer;
    ASSERT_EQ(DncListenEx(server.h, buffer, &length), 1);
    DncSetParamEx(server.h, DNC_PARAM_REPLY_TIMEOUT, 1);
    length = sizeof buffer;
    EXPECT_EQ(DncListenEx(server.h, buffer, &length), 0);
    EXPECT_EQ(DncGetLastError(server.h), DNC_ERR_TIMEOUT);
    firstTimedOut.set_value();
    length = sizeof buffer;
    ASSERT_EQ(DncListenEx(server.h, buffer, &length), 1);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), "M FR");
    cnc.join();
}

TEST(TcpServer, KeptListenerServesTheNextHandleOnThePort) {
    int port = testing_peer::freePort();
    auto serveOnce = [port](const char* text) {
        Client server(serverBlock(port, DNC_FLAG_KEEP_LISTENER | DNC_FLAG_NO_LOGIN));
        EXPECT_NE(server.h, 0);
        std::thread cnc([port, text] {
            int fd = connectTo(port);
            Connection(fd).sendFrame(text);
            ::close(fd);
        });
        char buffer[DNC_MAX_MESSAGE];
        int32_t length = sizeof buffer;
        EXPECT_EQ(DncListenEx(server.h, buffer, &length), 1);
        cnc.join();
        return std::string(buffer, static_cast<size_t>(std::max(length, 0)));
    };
    EXPECT_EQ(serveOnce("M VN"), "M VN");
    // The library still listens on the port: a plain bind now fails.
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    EXPECT_NE(::bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ::close(probe);
    EXPECT_EQ(serveOnce("M FR"), "M FR");
}

TEST(TcpServer, DisconnectEndsAnAcceptOnTheKeptListenerAndTheNextHandleGetsTheCall) {
    int port = testing_peer::freePort();
    const uint32_t keep = DNC_FLAG_KEEP_LISTENER | DNC_FLAG_NO_LOGIN;
    auto acceptOne = [port](int32_t h) {
        std::thread cnc([port] {
            int fd = connectTo(port);
            Connection(fd).sendFrame("M VN");
            ::close(fd);
        });
        char buffer[DNC_MAX_MESSAGE];
        int32_t length = sizeof buffer;
        int32_t ok = DncListenEx(h, buffer, &length);
        cnc.join();
        return ok;
    };
    {
        Client first(serverBlock(port, keep));
        ASSERT_EQ(acceptOne(first.h), 1);  // the library now keeps the listening socket
    }
    Client waiting(serverBlock(port, keep));
    auto listening = std::async(std::launch::async, [h = waiting.h] {
        char buffer[DNC_MAX_MESSAGE];
        int32_t length = sizeof buffer;
        return DncListenEx(h, buffer, &length);
    });
    EXPECT_EQ(listening.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    EXPECT_EQ(DncDisconnect(waiting.h), 1);
    ASSERT_EQ(listening.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(listening.get(), 0);
    EXPECT_EQ(DncGetLastError(waiting.h), DNC_ERR_ACCEPT);
    // The call of the next CNC goes to a live handle, not to the disconnected one.
    Client next(serverBlock(port, keep));
    EXPECT_EQ(acceptOne(next.h), 1);
}

TEST(TcpServer, DisconnectEndsAPendingAccept) {
    Client server(serverBlock(testing_peer::freePort(), 0));
    auto listening = std::async(std::launch::async, [h = server.h] {
        char buffer[DNC_MAX_MESSAGE];
        int32_t length = sizeof buffer;
        return DncListenEx(h, buffer, &length);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(DncDisconnect(server.h), 1);
    EXPECT_EQ(listening.get(), 0);
}

}  // namespace
