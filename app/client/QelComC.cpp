#include "client/QelComC.h"

#include "client/LinkErrorText.h"
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

CncClient::CncClient(LinkApi& api) : channel_(api) {}

CncClient::CncClient(const LinkSettings& settings, int leaderLength, LinkApi& api) : channel_(api) {
    connect(settings, leaderLength);
}

CncClient::~CncClient() {
    if (state_ != TransferState::Idle) abort();
    // The transfer's hold goes before the channel closes its handle.
    transferHold_.release();
}

bool CncClient::connect(const LinkSettings& settings, int leaderLength) {
    if (state_ != TransferState::Idle) abort();
    transferHold_.release();
    settings_ = settings;
    linkType_ = settings.linkType;
    const bool connected = channel_.connect(settings);
    leaderLength_ = std::max(0, std::min(leaderLength, maxTelegram() - 1));
    return connected;
}

std::string CncClient::failureText(int code) const {
    return linkFailureText(code, settings_);
}

std::string CncClient::goneDevice() const {
    return goneDeviceText(settings_);
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
    if (!channel_.exchange(telegram, true)) return false;
    reply = std::move(telegram);
    return true;
}

bool CncClient::sendWithoutReply(std::string telegram) {
    return channel_.exchange(telegram, false);
}

void CncClient::beginTransfer(TransferState state) {
    state_ = state;
    endOfFileSent_ = false;
    endUnconfirmed_ = false;
}

void CncClient::endTransfer() {
    state_ = TransferState::Idle;
    endOfFileSent_ = false;
    endUnconfirmed_ = false;
    transferHold_.release();
}

bool CncClient::confirmEnd() {
    if (!endUnconfirmed_) return false;
    const bool sent = sendWithoutReply("M OK");
    endTransfer();
    return sent;
}

BlockResult CncClient::linkFailed() {
    const int code = channel_.lastError();
    endTransfer();
    return BlockResult::linkFailed(code);
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
        transferHold_ = reserve();
        beginTransfer(TransferState::Receiving);
        return true;
    }
    const auto address = parseMemoryFileName(fileName);
    if (!address) return false;
    transferHold_ = reserve();
    std::string reply;
    if (exchangeWithReply(address->telegram("PT"), reply) && startsWith(reply, "M RT")) {
        beginTransfer(TransferState::Receiving);
        return true;
    }
    transferHold_.release();
    return false;
}

bool CncClient::listOpen(std::string_view fileName) {
    if (isDataIo() || state_ != TransferState::Idle) return false;
    const auto address = parseMemoryFileName(fileName);
    if (!address) return false;
    transferHold_ = reserve();
    std::string reply;
    if (exchangeWithReply(address->telegram("LI"), reply)) {
        if (startsWith(reply, "M RT")) {
            beginTransfer(TransferState::Receiving);
            return true;
        }
        if (startsWith(reply, "T NP")) {
            transferHold_.release();
            return true;
        }
    }
    transferHold_.release();
    return false;
}

BlockResult CncClient::readBlock(EndConfirmation confirmation) {
    if (isDataIo()) return readDataIoBlock();
    if (state_ != TransferState::Receiving || endUnconfirmed_) return BlockResult::linkFailed(0);
    blockTelegram_.assign("T NB");
    if (!channel_.exchange(blockTelegram_, true)) return linkFailed();
    const std::string& reply = blockTelegram_;
    if (startsWith(reply, "R ") || startsWith(reply, "S ") || startsWith(reply, "DI")) {
        return BlockResult::data(afterCode(reply));
    }
    if (startsWith(reply, "T FD")) {
        if (confirmation == EndConfirmation::Later) {
            endUnconfirmed_ = true;
            return BlockResult::endOf();
        }
        sendWithoutReply("M OK");
        endTransfer();
        return BlockResult::endOf();
    }
    if (startsWith(reply, "T BD")) {
        endTransfer();
        return BlockResult::brokenOff(reasonOrPlaceholder(reply, "-"));
    }
    abort();
    return BlockResult::brokenOff(reply);
}

BlockResult CncClient::readDataIoBlock() {
    if (state_ == TransferState::DataIoEndSeen) {
        state_ = TransferState::Idle;  // the port was given back when the EOT came
        return BlockResult::endOf();
    }
    if (state_ != TransferState::Receiving) return BlockResult::linkFailed(0);
    std::string data;
    if (!channel_.listenRaw(data)) return linkFailed();
    const size_t eot = data.find(kEot);
    if (eot != std::string::npos) {
        data.resize(eot);
        state_ = TransferState::DataIoEndSeen;
        transferHold_.release();
    }
    return BlockResult::data(std::move(data));
}

bool CncClient::writeOpen(std::string_view fileName) {
    if (state_ != TransferState::Idle) return false;
    if (isDataIo()) {
        transferHold_ = reserve();
        beginTransfer(TransferState::Sending);
        if (leaderLength_ == 0) return true;
        std::string leader(static_cast<size_t>(leaderLength_), '\0');
        if (channel_.exchangeRaw(leader, false)) return true;
        endTransfer();
        return false;
    }
    const auto address = parseMemoryFileName(fileName);
    if (!address) return false;
    memoryType_ = toUpperAscii(address->type);
    transferHold_ = reserve();
    std::string reply;
    if (!exchangeWithReply(address->telegram("PR"), reply)) {
        failureKind_ = kFailureNoReply;
    } else if (startsWith(reply, "M RR")) {
        beginTransfer(TransferState::Sending);
        return true;
    } else if (startsWith(reply, "M NR")) {
        failureKind_ = kFailureNotReady;
    } else if (startsWith(reply, "T NP")) {
        failureKind_ = kFailureNoSuchMemory;
    } else if (startsWith(reply, "T BD")) {
        failureKind_ = kFailureAborted;
    }
    transferHold_.release();
    return false;
}

bool CncClient::btrOpen(std::string_view fileName) {
    if (isDataIo() || state_ != TransferState::Idle) return false;
    const auto address = parseMemoryFileName(fileName);
    if (!address || address->type != "PM") return false;
    memoryType_ = address->type;
    transferHold_ = reserve();
    std::string reply;
    if (exchangeWithReply(address->telegramAsWritten("BR"), reply) && startsWith(reply, "M RR")) {
        beginTransfer(TransferState::Sending);
        return true;
    }
    transferHold_.release();
    return false;
}

BlockResult CncClient::writeBlock(std::string_view data) {
    if (state_ != TransferState::Sending) return BlockResult::linkFailed(0);
    if (isDataIo()) return writeDataIoBlock(data);

    const bool endOfFile = data.empty();
    if (endOfFile) {
        blockTelegram_.assign("T FD");
    } else {
        blockTelegram_.assign("R ").append(memoryType_).append(data);
    }
    if (!channel_.exchange(blockTelegram_, true)) return linkFailed();
    const std::string& reply = blockTelegram_;
    // "T NB" asks for the next block; after "T FD" only "M OK" confirms the file.
    if (!endOfFile && startsWith(reply, "T NB")) return BlockResult::data({});
    if (endOfFile && startsWith(reply, "M OK")) {
        endTransfer();
        return BlockResult::endOf();
    }
    if (startsWith(reply, "T BD")) {
        endTransfer();
        return BlockResult::brokenOff(reasonOrPlaceholder(reply, "-"));
    }
    abort();
    return BlockResult::brokenOff(reply);
}

BlockResult CncClient::writeDataIoBlock(std::string_view data) {
    if (!data.empty()) {
        std::string raw(data);
        if (channel_.exchangeRaw(raw, false)) return BlockResult::data({});
        return linkFailed();
    }
    // Trailer: EOT, then NUL bytes up to the leader length.
    std::string trailer(static_cast<size_t>(std::max(1, leaderLength_)), '\0');
    trailer[0] = kEot;
    if (!channel_.exchangeRaw(trailer, false)) return linkFailed();
    endTransfer();
    return BlockResult::endOf();
}

bool CncClient::abort() {
    if (isDataIo()) {
        state_ = TransferState::Idle;
        endOfFileSent_ = false;
        // Forget a pending XOff or CTS so that the next transfer starts afresh; type 6 has no
        // such state and would refuse the parameter.
        if (linkType_ != DNC_LINK_DATAIO_CTS) channel_.setParam(DNC_PARAM_CLEAR_PEER_READY, 0);
        transferHold_.release();
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
    transferHold_ = reserve();
    std::string reply;
    if (exchangeWithReply("M RT", reply) && reply == "T NB") {
        beginTransfer(TransferState::Sending);
        return true;
    }
    transferHold_.release();
    return false;
}

bool CncClient::serveReceive(std::string& request) {
    if (isDataIo() || state_ != TransferState::Idle) return false;
    if (request.size() < kCodeLength || !startsWith(request, "PR")) return false;
    memoryType_ = request.substr(2, 2);
    transferHold_ = reserve();
    std::string reply;
    if (exchangeWithReply("M RR", reply)) {
        if (startsWith(reply, "R ")) {
            request = std::move(reply);
            beginTransfer(TransferState::Receiving);
            return true;
        }
        if (startsWith(reply, "T FD")) sendWithoutReply("M OK");
    }
    transferHold_.release();
    return false;
}

bool CncClient::serveBlock(std::string& text) {
    if (state_ != TransferState::Sending || isDataIo()) return false;
    endOfFileSent_ = text.empty();
    if (endOfFileSent_) {
        blockTelegram_.assign("T FD");
    } else {
        blockTelegram_.assign("R ").append(memoryType_).append(text);
    }
    if (channel_.exchange(blockTelegram_, false)) return true;
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
    if (!channel_.listen(answer)) return ServeAnswer::NoAnswer;
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
    channel_.applyParity();
    channel_.applyPendingSpeed();
}

}  // namespace qel
