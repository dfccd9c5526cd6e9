#include "client/LinkChannel.h"

#include "base/Trace.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace qel {

namespace {
// Connection defaults until the configuration's own values are set after connecting.
constexpr int kDefaultAckTimeout = 5;
constexpr int kDefaultReplyTimeout = 7;
constexpr int kDefaultRetries = 5;

// The library reports a length; never trust it beyond the buffer it was given.
int32_t clampedLength(int32_t length, int32_t capacity) {
    return std::clamp<int32_t>(length, 0, capacity);
}
// The debug trace of every telegram, ">> " sent and "<< " received.
void traceTelegram(const char* direction, const std::string& text) {
    trace("%s %.*s\n", direction, static_cast<int>(text.size()), text.data());
}
}  // namespace

LinkChannel::LinkChannel(LinkApi& api) : api_(api), buffer_(kTelegramBufferSize) {}

LinkChannel::~LinkChannel() {
    closeHandle();
}

void LinkChannel::closeHandle() {
    if (handle_ == 0) return;
    if (connected_.exchange(false)) api_.disconnect(handle_);
    api_.closeHandle(handle_);
    handle_ = 0;
}

bool LinkChannel::connect(const LinkSettings& settings) {
    closeHandle();
    DncConnectParams params{};
    params.version = 3;
    params.linkType = settings.linkType;
    params.port = settings.port;
    params.ackTimeout = kDefaultAckTimeout;
    params.replyTimeout = kDefaultReplyTimeout;
    params.flags = settings.flags;
    params.baudRate = static_cast<uint32_t>(settings.speed);
    params.parity = static_cast<uint32_t>(settings.parity);
    params.sendDelay = 0;
    params.retries = kDefaultRetries;
    params.ipAddress = settings.ipAddress;
    params.hostName = settings.hostName.empty() ? nullptr : settings.hostName.c_str();

    handle_ = api_.connectEx(&params);
    connected_ = handle_ != 0;
    // A connection made with DNC_FLAG_RESERVE holds its reservation until it disconnects.
    reserveDepth_ = (connected_ && (settings.flags & DNC_FLAG_RESERVE) != 0) ? 1 : 0;
    return connected_;
}

bool LinkChannel::disconnect() {
    connected_ = false;
    if (handle_ == 0) return false;
    return api_.disconnect(handle_) != 0;
}

int LinkChannel::maxTelegram() {
    int32_t value = 0;
    if (!getParam(DNC_PARAM_MAX_TELEGRAM, value)) return 0;
    return std::clamp<int32_t>(value, 0, DNC_MAX_MESSAGE);
}

bool LinkChannel::transfer(std::string& data, bool expectReply) {
    if (data.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() - 1)) return false;
    if (handle_ == 0) return false;
    // The reply lands in the same buffer, so it needs room for the largest telegram as well.
    const size_t room = std::max<size_t>(data.size(), DNC_MAX_MESSAGE);
    if (buffer_.size() < room + 1) buffer_.resize(room + 1);
    std::copy(data.begin(), data.end(), buffer_.begin());
    buffer_[data.size()] = '\0';
    int32_t length = static_cast<int32_t>(data.size());
    if (api_.transferEx(handle_, buffer_.data(), &length, expectReply ? 1 : 0) == 0) return false;
    if (expectReply) {
        length = clampedLength(length, static_cast<int32_t>(room));
        data.assign(buffer_.data(), static_cast<size_t>(length));
        lastReceived_ = data;
    }
    return true;
}

bool LinkChannel::receive(std::string& data, int capacity) {
    // Telegram links fill up to 1024 bytes whatever the capacity says, so the buffer always
    // has that room; capacity limits DataIO blocks.
    char buffer[kTelegramBufferSize] = {};
    int32_t length = std::clamp(capacity, 1, kTelegramBufferSize - 1);
    if (handle_ == 0) return false;
    if (api_.listenEx(handle_, buffer, &length) == 0) return false;
    length = clampedLength(length, kTelegramBufferSize - 1);
    data.assign(buffer, static_cast<size_t>(length));
    lastReceived_ = data;
    return true;
}

bool LinkChannel::exchange(std::string& text, bool expectReply) {
    traceTelegram(">>", text);
    if (!transfer(text, expectReply)) return false;
    if (expectReply) traceTelegram("<<", text);
    return true;
}

bool LinkChannel::exchangeRaw(std::string& data, bool expectReply) {
    return transfer(data, expectReply);
}

bool LinkChannel::listen(std::string& text) {
    if (!receive(text, DNC_MAX_MESSAGE)) return false;
    traceTelegram("<<", text);
    return true;
}

bool LinkChannel::listenRaw(std::string& data) {
    const int capacity = maxTelegram();
    return receive(data, capacity > 0 ? capacity : DNC_MAX_MESSAGE);
}

bool LinkChannel::setLinkParams(int retries, int timeoutSeconds, int sendDelayMs) {
    bool ok = setParam(DNC_PARAM_RETRIES, retries);
    ok = setParam(DNC_PARAM_ACK_TIMEOUT, timeoutSeconds) && ok;
    ok = setParam(DNC_PARAM_REPLY_TIMEOUT, timeoutSeconds + 2) && ok;
    ok = setParam(DNC_PARAM_SEND_DELAY, sendDelayMs) && ok;
    return ok;
}

int LinkChannel::lastError() {
    return api_.getLastError(handle_);
}

bool LinkChannel::reserve() {
    if (reserveDepth_ > 0) {
        ++reserveDepth_;
        return true;
    }
    if (handle_ == 0 || api_.reserve(handle_) == 0) return false;
    reserveDepth_ = 1;
    return true;
}

bool LinkChannel::release() {
    if (reserveDepth_ == 0) return false;
    if (--reserveDepth_ > 0) return true;
    return handle_ != 0 && api_.release(handle_) != 0;
}

bool LinkChannel::applyPendingSpeed() {
    if (pendingSpeed_ == 0 || !setParam(DNC_PARAM_BAUD_RATE, pendingSpeed_)) return false;
    pendingSpeed_ = 0;
    return true;
}

bool LinkChannel::applyParity() {
    if (!storedParity_) return true;  // no parity was ever taken from the line
    return setParam(DNC_PARAM_PARITY, *storedParity_);
}

bool LinkChannel::setParam(int id, int value) {
    return handle_ != 0 && api_.setParamEx(handle_, id, value) != 0;
}

bool LinkChannel::getParam(int id, int32_t& value) {
    if (id == DNC_PARAM_PEER_NAME) return false;  // a text, see peerName()
    return handle_ != 0 && api_.getParamEx(handle_, id, &value) != 0;
}

bool LinkChannel::peerName(std::string& name) {
    char buffer[DNC_PEER_NAME_SIZE] = {};
    if (handle_ == 0 || api_.getParamEx(handle_, DNC_PARAM_PEER_NAME, buffer) == 0) return false;
    buffer[DNC_PEER_NAME_SIZE - 1] = '\0';
    name = buffer;
    return true;
}

}  // namespace qel
