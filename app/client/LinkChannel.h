// One connection to a CNC: owns one link handle of the link library and turns its calls into a
// small object interface (connect, exchange a telegram, listen, nested reservation, parameters).
// The destructor disconnects the handle and closes it.
#pragma once

#include "client/LinkApi.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qel {

// What connect() hands to DncConnectEx; the time-outs and retries start at the library's
// defaults and are changed after connecting with setLinkParams().
struct LinkSettings {
    int port = 0;  // COM number 1..4, or TCP port
    int speed = 0;
    int linkType = DNC_LINK_RXA2;
    int parity = 0;
    uint32_t flags = 0;
    uint32_t ipAddress = 0;  // host byte order; used when hostName is empty
    std::string hostName;
};

// Room for the largest telegram the library can deliver plus a terminating zero.
inline constexpr int kTelegramBufferSize = DNC_MAX_MESSAGE + 1;

// Without a handle (no connect, or a failed one) nothing reaches the library, so that
// lastError() still reads why connecting failed.
class LinkChannel {
  public:
    explicit LinkChannel(LinkApi& api = cablorLinkApi());
    virtual ~LinkChannel();
    LinkChannel(const LinkChannel&) = delete;
    LinkChannel& operator=(const LinkChannel&) = delete;

    // Closes a handle still held, then connects. Returns whether the link is connected.
    bool connect(const LinkSettings& settings);
    // Safe to call from another thread to break a pending listen(); the handle stays held.
    bool disconnect();
    bool isConnected() const { return connected_.load(); }
    int handle() const { return handle_; }

    // The largest telegram of this link in bytes (0 when the library cannot tell).
    int maxTelegram();

    // Sends text as one telegram; with expectReply, text becomes the reply. Traced.
    bool exchange(std::string& text, bool expectReply);
    // The same for raw data (DataIO leader, blocks, trailer); not traced.
    bool exchangeRaw(std::string& data, bool expectReply);
    // Waits for one telegram from the CNC. Traced.
    bool listen(std::string& text);
    // Waits for one block of raw data of at most maxTelegram() bytes.
    bool listenRaw(std::string& data);
    // The last telegram or raw block received, kept for the operator's error messages.
    const std::string& lastReceived() const { return lastReceived_; }

    bool setLinkParams(int retries, int timeoutSeconds, int sendDelayMs);
    // Pops the newest library error of this handle (the handle-less one without a handle).
    int lastError();

    // Nested reservation: only the outermost reserve() and release() reach the library.
    bool reserve();
    bool release();
    int reserveDepth() const { return reserveDepth_; }

    void setPendingSpeed(int speed) { pendingSpeed_ = speed; }
    bool applyPendingSpeed();
    // Puts back the stored parity. Nothing in the program stores one, so the line stays as it is.
    bool applyParity();

    bool setParam(int id, int value);
    bool getParam(int id, int32_t& value);
    // TCP server: host name of the CNC that called in.
    bool peerName(std::string& name);

  protected:
    LinkApi& api() { return api_; }

  private:
    bool transfer(std::string& data, bool expectReply);
    bool receive(std::string& data, int capacity);
    void closeHandle();

    LinkApi& api_;
    std::optional<int> storedParity_;
    int pendingSpeed_ = 0;
    int reserveDepth_ = 0;
    std::atomic<bool> connected_ = false;
    int handle_ = 0;
    std::string lastReceived_;
    // What transfer() hands to the library: the telegram out, then the reply. It keeps its room
    // from one exchange to the next, so that a block costs no allocation here.
    std::vector<char> buffer_;
};

}  // namespace qel
