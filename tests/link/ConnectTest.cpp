// Connecting: the checks of the parameter block in their order, the handle-less error slot,
// handle values and the error stack of a handle.
#include <gtest/gtest.h>

#include "Login.h"
#include "TcpPeer.h"
#include "cablor.h"

namespace {

DncConnectParams rxa2Block() {
    DncConnectParams p{};
    p.version = 3;
    p.linkType = DNC_LINK_RXA2;
    p.port = 1;
    p.ackTimeout = 5;
    p.replyTimeout = 7;
    p.baudRate = 9600;
    p.retries = 5;
    return p;
}

DncConnectParams tcpServerBlock(int port) {
    DncConnectParams p{};
    p.version = 3;
    p.linkType = DNC_LINK_TCP_SERVER;
    p.port = port;
    p.hostName = "127.0.0.1";
    p.flags = DNC_FLAG_NO_LOGIN;
    return p;
}

// A connected handle that needs no peer: a TCP server that has not accepted anyone yet.
struct ServerHandle {
    int32_t h;
    ServerHandle() {
        DncConnectParams p = tcpServerBlock(testing_peer::freePort());
        h = DncConnectEx(&p);
    }
    ~ServerHandle() {
        DncDisconnect(h);
        DncCloseHandle(h);
    }
};

TEST(ConnectChecks, VersionOtherThanThreeFailsAndTheCodeIsReadOnce) {
    DncConnectParams p = rxa2Block();
    p.version = 2;
    EXPECT_EQ(DncConnectEx(&p), 0);
    EXPECT_EQ(DncGetLastError(0), DNC_ERR_VERSION_LOW);
    EXPECT_EQ(DncGetLastError(0), 0);
    p.version = 4;
    EXPECT_EQ(DncConnectEx(&p), 0);
    EXPECT_EQ(DncGetLastError(0), DNC_ERR_VERSION_HIGH);
}

TEST(ConnectChecks, EachLinkTypeChecksItsOwnFieldsInOrder) {
    DncConnectParams p = rxa2Block();
    p.replyTimeout = 5;  // not above ackTimeout
    p.parity = 2;        // also wrong, but checked later
    EXPECT_EQ(DncConnectEx(&p), 0);
    EXPECT_EQ(DncGetLastError(0), DNC_ERR_TIMEOUTS);
    p = rxa2Block();
    p.parity = 2;
    EXPECT_EQ(DncConnectEx(&p), 0);
    EXPECT_EQ(DncGetLastError(0), DNC_ERR_PARITY);

    p = rxa2Block();
    p.linkType = DNC_LINK_DATAIO_XONXOFF;
    p.baudRate = 0;
    EXPECT_EQ(DncConnectEx(&p), 0);
    EXPECT_EQ(DncGetLastError(0), DNC_ERR_NO_SPEED);

    p = rxa2Block();
    p.linkType = 3;
    EXPECT_EQ(DncConnectEx(&p), 0);
    EXPECT_EQ(DncGetLastError(0), DNC_ERR_LINK_TYPE);

    p = tcpServerBlock(5000);
    p.hostName = nullptr;
    p.port = 1023;
    EXPECT_EQ(DncConnectEx(&p), 0);
    EXPECT_EQ(DncGetLastError(0), DNC_ERR_NO_ADDRESS);
}

TEST(ConnectChecks, TcpPortMustLieIn1024To65534) {
    for (int port : {1023, 65535, -1}) {
        DncConnectParams p = tcpServerBlock(port);
        EXPECT_EQ(DncConnectEx(&p), 0) << port;
        EXPECT_EQ(DncGetLastError(0), DNC_ERR_TCP_PORT) << port;
    }
    for (int port : {1024, 65534}) {
        DncConnectParams p = tcpServerBlock(port);
        int32_t h = DncConnectEx(&p);
        ASSERT_NE(h, 0) << port;
        EXPECT_EQ(DncDisconnect(h), 1);
        EXPECT_EQ(DncCloseHandle(h), 1);
    }
}

TEST(ConnectChecks, NullBlockAndBadSerialPortsFailWithoutCrashing) {
    EXPECT_EQ(DncConnectEx(nullptr), 0);
    EXPECT_NE(DncGetLastError(0), 0);
    for (int port : {0, 5, -3, 1000}) {
        DncConnectParams p = rxa2Block();
        p.port = port;
        p.flags = DNC_FLAG_NO_LOGIN;
        EXPECT_EQ(DncConnectEx(&p), 0) << port;
        EXPECT_EQ(DncGetLastError(0), DNC_ERR_PORT) << port;
    }
    DncConnectParams p = rxa2Block();
    p.parity = 7;
    EXPECT_EQ(DncConnectEx(&p), 0);
    EXPECT_EQ(DncGetLastError(0), DNC_ERR_PORT);
}

TEST(Handles, ValuesStartAt67219AndStayUnique) {
    ServerHandle a, b;
    EXPECT_EQ(a.h, 67219);
    EXPECT_EQ(b.h, 67220);
    DncDisconnect(a.h);
    ASSERT_EQ(DncCloseHandle(a.h), 1);
    a.h = 0;
    // One handle open: 67219 + 1 is taken by b, so another free value is found.
    ServerHandle c;
    EXPECT_NE(c.h, b.h);
    EXPECT_NE(c.h, 0);
    int32_t count = 0;
    ASSERT_EQ(DncGetParamEx(c.h, DNC_PARAM_HANDLE_COUNT, &count), 1);
    EXPECT_EQ(count, 2);
}

TEST(Handles, CloseWhileConnectedFailsAndLeavesTheHandleUsable) {
    ServerHandle s;
    EXPECT_EQ(DncCloseHandle(s.h), 0);
    EXPECT_EQ(DncGetLastError(s.h), DNC_ERR_STILL_CONNECTED);
    int32_t type = -1;
    EXPECT_EQ(DncGetParamEx(s.h, DNC_PARAM_LINK_TYPE, &type), 1);
    EXPECT_EQ(type, DNC_LINK_TCP_SERVER);
    EXPECT_EQ(DncDisconnect(s.h), 1);
    EXPECT_EQ(DncDisconnect(s.h), 0);
    EXPECT_EQ(DncGetLastError(s.h), DNC_ERR_NOT_CONNECTED);
}

TEST(Handles, InvalidHandleGoesToTheHandlelessSlot) {
    char buffer[8] = "M FR";
    int32_t length = 4;
    EXPECT_EQ(DncTransferEx(12345, buffer, &length, 1), 0);
    EXPECT_EQ(DncGetLastError(0), DNC_ERR_INVALID_HANDLE);
    EXPECT_EQ(DncGetLastError(12345), 0);
    // These calls refuse an invalid handle without an error code.
    EXPECT_EQ(DncReserve(12345), 0);
    EXPECT_EQ(DncRelease(12345), 0);
    EXPECT_EQ(DncSetDebugMode(12345, 1), 0);
    EXPECT_EQ(DncGetLastError(0), 0);
    EXPECT_EQ(DncGetLastStatus(), 0);
}

TEST(ErrorStack, SeventeenFailuresKeepTheSixteenNewestNewestFirst) {
    ServerHandle s;
    // Sixteen "not valid for this link type" after one older code that falls out.
    DncCloseHandle(s.h);  // error 1
    int32_t value;
    for (int i = 0; i < 16; ++i) DncGetParamEx(s.h, DNC_PARAM_ACK_TIMEOUT, &value);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(DncGetLastError(s.h), DNC_ERR_PARAM) << i;
    EXPECT_EQ(DncGetLastError(s.h), 0);

    DncCloseHandle(s.h);                                // 1
    DncGetParamEx(s.h, DNC_PARAM_ACK_TIMEOUT, &value);  // 25
    EXPECT_EQ(DncGetLastError(s.h), DNC_ERR_PARAM);
    EXPECT_EQ(DncGetLastError(s.h), DNC_ERR_STILL_CONNECTED);
    EXPECT_EQ(DncGetLastError(s.h), 0);
}

TEST(Params, IdsFollowTheLinkType) {
    ServerHandle s;
    int32_t value = 0;
    EXPECT_EQ(DncGetParamEx(s.h, DNC_PARAM_ACK_TIMEOUT, &value), 0);
    EXPECT_EQ(DncGetLastError(s.h), DNC_ERR_PARAM);
    EXPECT_EQ(DncGetParamEx(s.h, DNC_PARAM_MAX_TELEGRAM, &value), 1);
    EXPECT_EQ(value, 1024);
    EXPECT_EQ(DncGetParamEx(s.h, DNC_PARAM_CNC_CLASS, &value), 1);
    EXPECT_EQ(value, DNC_CNC_NO_LOGIN);
    EXPECT_EQ(DncGetParamEx(s.h, DNC_PARAM_BLOCK_SIZE, &value), 1);
    EXPECT_EQ(value, 124);
    EXPECT_EQ(DncGetParamEx(s.h, DNC_PARAM_NOT_RESERVED, &value), 1);
    EXPECT_EQ(value, 0);  // TCP links are always reserved
    EXPECT_EQ(DncSetParamEx(s.h, DNC_PARAM_BAUD_RATE, 9600), 0);
    EXPECT_EQ(DncGetLastError(s.h), DNC_ERR_PARAM);
    EXPECT_EQ(DncSetParamEx(s.h, DNC_PARAM_CLEAR_PEER_READY, 0), 0);
    EXPECT_EQ(DncGetLastError(s.h), DNC_ERR_PARAM);
    // Unknown and read-only ids fail without an error code.
    for (int id : {14, 15, 20, -1}) {
        EXPECT_EQ(DncGetParamEx(s.h, id, &value), 0) << id;
        EXPECT_EQ(DncSetParamEx(s.h, id, 1), 0) << id;
    }
    EXPECT_EQ(DncSetParamEx(s.h, DNC_PARAM_LINK_TYPE, 0), 0);
    EXPECT_EQ(DncGetLastError(s.h), 0);
    EXPECT_EQ(DncSetParamEx(s.h, DNC_PARAM_FLAGS, 0x1234), 1);
    EXPECT_EQ(DncGetParamEx(s.h, DNC_PARAM_FLAGS, &value), 1);
    EXPECT_EQ(value, 0x1234);
    EXPECT_EQ(DncGetParamEx(s.h, DNC_PARAM_FLAGS, nullptr), 0);
}

TEST(Params, DebugModeIsStoredAndNoDebugStringIsEverQueued) {
    ServerHandle s;
    EXPECT_EQ(DncSetDebugMode(s.h, 0), 0);
    EXPECT_EQ(DncSetDebugMode(s.h, 4), 1);
    EXPECT_EQ(DncSetDebugMode(s.h, 5), 0);
    char text[130];
    int32_t length = sizeof text;
    EXPECT_EQ(DncGetDebugString(s.h, text, &length), 0);
}

TEST(LoginClass, RepliesToVersionRequest) {
    using cablor::classifyLogin;
    auto cls = [](const std::string& reply, bool tcp) {
        return classifyLogin(reply.data(), static_cast<int>(reply.size()), tcp);
    };
    EXPECT_EQ(cls("R VNS3", false), DNC_CNC_S3);
    EXPECT_EQ(cls("R VNS5xxxxxx410", false), DNC_CNC_S3);
    EXPECT_EQ(cls("R VNS6", false), DNC_CNC_S3);
    EXPECT_EQ(cls("R VNS4_V4xx409 Mill", false), DNC_CNC_OLD);
    EXPECT_EQ(cls("R VNS4_V4xx410 Mill", false), DNC_CNC_410);
    EXPECT_EQ(cls("R VNS4_V4xx0410", false), DNC_CNC_410);
    EXPECT_EQ(cls("R VN", false), DNC_CNC_OLD);  // too short: number 0
    EXPECT_EQ(cls("M NR", false), DNC_CNC_OLD);
    EXPECT_EQ(cls("R VNS3_V4xx410", true), DNC_CNC_410);  // TCP has no S3 class
    EXPECT_EQ(cls("R VNS3_V4xx409", true), DNC_CNC_TCP);
    EXPECT_EQ(cls("T BD", true), DNC_CNC_TCP);
    EXPECT_EQ(cls("R VNxxxxxxx99999999999999", false), DNC_CNC_410);  // no overflow
}

}  // namespace
