#include "client/QelComC.h"

#include "client/LinkTypes.h"
#include "client/MemoryAddress.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace qel {

namespace {
constexpr int kCodeLength = 4;
constexpr int kLongPayload = 124;
constexpr int kShortTelegram = 128;
constexpr char kEot = 0x04;

bool startsWith(std::string_view text, std::string_view code) {
    return text.substr(0, code.size()) == code;
}

// The text a telegram carries after its four-character code.
std::string afterCode(std::string_view telegram) {
    return std::string(telegram.substr(std::min<size_t>(telegram.size(), kCodeLength)));
}

// "T BD" may come with a reason; without one the operator sees the placeholder.
std::string reasonOrPlaceholder(std::string_view telegram, std::string_view placeholder) {
    return telegram.size() > static_cast<size_t>(kCodeLength) ? afterCode(telegram)
                                                              : std::string(placeholder);
}

// Digits after "R FR" (blanks before them allowed); -1 when there are none.
int64_t freeBytesOf(std::string_view reply) {
    std::string_view rest = reply.substr(kCodeLength);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (rest.empty() || rest.front() < '0' || rest.front() > '9') return -1;
    int64_t bytes = 0;
    constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 10 - 9;
    for (char c : rest) {
        if (c < '0' || c > '9') break;
        if (bytes > kLimit) return std::numeric_limits<int64_t>::max();
        bytes = bytes * 10 + (c - '0');
    }
    return bytes;
}
}  // namespace

CncClient::CncClient(const LinkSettings& settings, int leaderLength, LinkApi& api)
    : LinkChannel(api), linkType_(settings.linkType) {
    connect(settings);
    leaderLength_ = std::max(0, std::min(leaderLength, maxTelegram() - 1));
}

CncClient::~CncClient() {
    if (state_ != TransferState::Idle) abort();
}

bool CncClient::isDataIo() const {
    // Type 6 streams raw data just like 1 and 2: a telegram there would reach the machine as
    // program text.
    return isDataIoLinkType(linkType_);
}

int CncClient::blockPayload() {
    const int max = maxTelegram();
    if (isDataIo()) return std::max(1, max);
    return std::max(1, max > kShortTelegram ? kLongPayload : max - kCodeLength);
}

int CncClient::takeFailureKind() {
    return std::exchange(failureKind_, kFailureNone);
}

bool CncClient::exchangeWithReply(std::string telegram, std::string& reply) {
    if (!exchange(telegram, true)) return false;
    reply = std::move(telegram);
    return true;
}

bool CncClient::sendWithoutReply(std::string telegram) {
    return exchange(telegram, false);
}

void CncClient::endTransfer() {
    state_ = TransferState::Idle;
    endOfFileSent_ = false;
    release();
}

bool CncClient::showMessage(std::string_view text) {
    if (isDataIo() || state_ != TransferState::Idle) return false;
    const int room = maxTelegram() - kCodeLength;
    if (room > 0 && text.size() > static_cast<size_t>(room)) text = text.substr(0, room);
    std::string reply;
    return exchangeWithReply("M DI" + std::string(text), reply);
}

int64_t CncClient::freeMemory() {
    if (isDataIo()) return 0;
    if (state_ != TransferState::Idle) return -1;
    std::string reply;
    if (!exchangeWithReply("M FR", reply) || !startsWith(reply, "R FR")) return -1;
    return freeBytesOf(reply);
}

bool CncClient::deleteMemory(std::string_view fileName) {
    if (isDataIo() || state_ != TransferState::Idle) return false;
    const auto address = parseMemoryFileName(fileName);
    if (!address) return false;
    std::string reply;
    return exchangeWithReply(address->telegram("MC"), reply) && startsWith(reply, "M OK");
}

bool CncClient::readOpen(std::string_view fileName) {
    if (state_ != TransferState::Idle) return false;
    if (isDataIo()) {
        state_ = TransferState::Receiving;
        reserve();
        return true;
    }
    const auto address = parseMemoryFileName(fileName);
    if (!address) return false;
    reserve();
    std::string reply;
    if (exchangeWithReply(address->telegram("PT"), reply) && startsWith(reply, "M RT")) {
        state_ = TransferState::Receiving;
        return true;
    }
    release();
    return false;
}

bool CncClient::listOpen(std::string_view fileName) {
    if (isDataIo() || state_ != TransferState::Idle) return false;
    const auto address = parseMemoryFileName(fileName);
    if (!address) return false;
    reserve();
    std::string reply;
    if (exchangeWithReply(address->telegram("LI"), reply)) {
        if (startsWith(reply, "M RT")) {
            state_ = TransferState::Receiving;
            return true;
        }
        if (startsWith(reply, "T NP")) {
            release();
            return true;
        }
    }
    release();
    return false;
}

bool CncClient::readBlock(std::string& text) {
    if (isDataIo()) return readDataIoBlock(text);
    if (state_ != TransferState::Receiving) {
        text.clear();
        return false;
    }
    std::string reply;
    if (!exchangeWithReply("T NB", reply)) {
        text.clear();
        endTransfer();
        return false;
    }
    if (startsWith(reply, "R ") || startsWith(reply, "S ") || startsWith(reply, "DI")) {
        text = afterCode(reply);
        return true;
    }
    if (startsWith(reply, "T FD")) {
        sendWithoutReply("M OK");
        text.clear();
        endTransfer();
        return true;
    }
    if (startsWith(reply, "T BD")) {
        text = reasonOrPlaceholder(reply, "-");
        endTransfer();
        return false;
    }
    text = reply;
    abort();
    return false;
}

bool CncClient::readDataIoBlock(std::string& text) {
    text.clear();
    if (state_ == TransferState::DataIoEndSeen) {
        state_ = TransferState::Idle;  // the port was given back when the EOT came
        return true;
    }
    if (state_ != TransferState::Receiving) return false;
    std::string data;
    if (!listenRaw(data)) {
        endTransfer();
        return false;
    }
    const size_t eot = data.find(kEot);
    text = data.substr(0, eot);
    if (eot != std::string::npos) {
        state_ = TransferState::DataIoEndSeen;
        release();
    }
    return true;
}

bool CncClient::writeOpen(std::string_view fileName) {
    if (state_ != TransferState::Idle) return false;
    if (isDataIo()) {
        state_ = TransferState::Sending;
        reserve();
        if (leaderLength_ == 0) return true;
        std::string leader(static_cast<size_t>(leaderLength_), '\0');
        if (exchangeRaw(leader, false)) return true;
        endTransfer();
        return false;
    }
    const auto address = parseMemoryFileName(fileName);
    if (!address) return false;
    memoryType_ = toUpperAscii(address->type);
    reserve();
    std::string reply;
    if (!exchangeWithReply(address->telegram("PR"), reply)) {
        failureKind_ = kFailureNoReply;
    } else if (startsWith(reply, "M RR")) {
        state_ = TransferState::Sending;
        endOfFileSent_ = false;
        return true;
    } else if (startsWith(reply, "M NR")) {
        failureKind_ = kFailureNotReady;
    } else if (startsWith(reply, "T NP")) {
        failureKind_ = kFailureNoSuchMemory;
    } else if (startsWith(reply, "T BD")) {
        failureKind_ = kFailureAborted;
    }
    release();
    return false;
}

bool CncClient::btrOpen(std::string_view fileName) {
    if (isDataIo() || state_ != TransferState::Idle) return false;
    const auto address = parseMemoryFileName(fileName);
    if (!address || address->type != "PM") return false;
    memoryType_ = address->type;
    reserve();
    std::string reply;
    if (exchangeWithReply(address->telegramAsWritten("BR"), reply) && startsWith(reply, "M RR")) {
        state_ = TransferState::Sending;
        endOfFileSent_ = false;
        return true;
    }
    release();
    return false;
}

bool CncClient::writeBlock(std::string& data) {
    if (state_ != TransferState::Sending) {
        data.clear();
        return false;
    }
    if (isDataIo()) return writeDataIoBlock(data);

    const bool endOfFile = data.empty();
    std::string reply;
    if (!exchangeWithReply(endOfFile ? std::string("T FD") : "R " + memoryType_ + data, reply)) {
        data.clear();
        endTransfer();
        return false;
    }
    // "T NB" asks for the next block; after "T FD" only "M OK" confirms the file.
    if (!endOfFile && startsWith(reply, "T NB")) return true;
    if (endOfFile && startsWith(reply, "M OK")) {
        data.clear();
        endTransfer();
        return true;
    }
    if (startsWith(reply, "T BD")) {
        data = reasonOrPlaceholder(reply, "-");
        endTransfer();
        return false;
    }
    data = reply;
    abort();
    return false;
}

bool CncClient::writeDataIoBlock(std::string& data) {
    if (!data.empty()) {
        if (exchangeRaw(data, false)) return true;
        data.clear();
        endTransfer();
        return false;
    }
    // Trailer: EOT, then NUL bytes up to the leader length.
    std::string trailer(static_cast<size_t>(std::max(1, leaderLength_)), '\0');
    trailer[0] = kEot;
    const bool sent = exchangeRaw(trailer, false);
    endTransfer();
    return sent;
}

bool CncClient::abort() {
    if (isDataIo()) {
        const bool holdsPort =
            state_ == TransferState::Receiving || state_ == TransferState::Sending;
        state_ = TransferState::Idle;
        // Forget a pending XOff or CTS so that the next transfer starts afresh; type 6 has no
        // such state and would refuse the parameter.
        if (linkType_ != DNC_LINK_DATAIO_CTS) setParam(DNC_PARAM_CLEAR_PEER_READY, 0);
        if (holdsPort) release();
        return true;
    }
    if (state_ == TransferState::Idle) return false;
    sendWithoutReply("T BD");
    endTransfer();
    return true;
}

bool CncClient::serveTransmit(std::string_view request) {
    if (isDataIo() || state_ != TransferState::Idle) return false;
    if (request.size() < kCodeLength || !startsWith(request, "PT")) return false;
    memoryType_ = std::string(request.substr(2, 2));
    reserve();
    std::string reply;
    if (exchangeWithReply("M RT", reply) && reply == "T NB") {
        state_ = TransferState::Sending;
        endOfFileSent_ = false;
        return true;
    }
    release();
    return false;
}

bool CncClient::serveReceive(std::string& request) {
    if (isDataIo() || state_ != TransferState::Idle) return false;
    if (request.size() < kCodeLength || !startsWith(request, "PR")) return false;
    memoryType_ = request.substr(2, 2);
    reserve();
    std::string reply;
    if (exchangeWithReply("M RR", reply)) {
        if (startsWith(reply, "R ")) {
            request = std::move(reply);
            state_ = TransferState::Receiving;
            return true;
        }
        if (startsWith(reply, "T FD")) sendWithoutReply("M OK");
    }
    release();
    return false;
}

bool CncClient::serveBlock(std::string& text) {
    if (state_ != TransferState::Sending || isDataIo()) return false;
    endOfFileSent_ = text.empty();
    if (sendWithoutReply(endOfFileSent_ ? std::string("T FD") : "R " + memoryType_ + text)) {
        return true;
    }
    text.clear();
    endTransfer();
    return false;
}

ServeAnswer CncClient::serveAwait(std::string& text) {
    if (state_ != TransferState::Sending || isDataIo()) {
        text.clear();
        return ServeAnswer::Stop;
    }
    std::string answer;
    if (!listen(answer)) return ServeAnswer::NoAnswer;
    if (!endOfFileSent_ && startsWith(answer, "T NB")) return ServeAnswer::Continue;
    if (endOfFileSent_ && startsWith(answer, "M OK")) {
        endTransfer();
        return ServeAnswer::Continue;
    }
    if (startsWith(answer, "T BD")) {
        text = reasonOrPlaceholder(answer, "0");
        endTransfer();
        return ServeAnswer::Stop;
    }
    text = afterCode(answer);
    abort();
    return ServeAnswer::Stop;
}

void CncClient::restoreLine() {
    applyParity();
    applyPendingSpeed();
}

}  // namespace qel
