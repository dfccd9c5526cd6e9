// CncClient: the program's vocabulary for talking to a CNC over a LinkChannel. As client it
// reads, writes, lists and deletes memories, asks for free memory and shows messages on the CNC
// screen; as server (remote mode) it answers the CNC's own "PT" and "PR" requests. Files move
// block by block: "R " + type + data answered by "T NB", ended by "T FD" and "M OK", broken off
// by "T BD". DataIO links have no telegrams: there the client only streams raw data.
// Connecting is an explicit call, so that a window never blocks in a constructor.
#pragma once

#include "client/BlockResult.h"
#include "client/LinkChannel.h"
#include "client/Reservation.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qel {

enum class TransferState {
    Idle = 0,
    Receiving = 1,
    Sending = 2,
    DataIoEndSeen = 3,  // the EOT of a DataIO file arrived; the next readBlock ends the file
};

// Why the CNC refused a write request, for choosing the operator's message.
enum FailureKind : int {
    kFailureNone = 0,
    kFailureAborted = 51,       // "T BD"
    kFailureNotReady = 52,      // "M NR"
    kFailureNoReply = 54,       // the exchange failed
    kFailureNoSuchMemory = 56,  // "T NP"
};

// What serveAwait() heard from the CNC while the PC transmits a memory.
enum class ServeAnswer {
    Stop = 0,      // the CNC broke off ("T BD" or an unexpected telegram); text holds its reason
    Continue = 1,  // "T NB", or "M OK" after "T FD" (then the transfer state is idle)
    NoAnswer = 2,  // listening failed
};

// The link channel is the client's own: engines and windows reach only this vocabulary.
class CncClient {
  public:
    explicit CncClient(LinkApi& api = cablorLinkApi());
    // Connects at once, for callers that may block; isConnected() tells whether it worked.
    CncClient(const LinkSettings& settings, int leaderLength, LinkApi& api = cablorLinkApi());
    // Breaks off a transfer in progress with "T BD", then disconnects and closes.
    ~CncClient();
    CncClient(const CncClient&) = delete;
    CncClient& operator=(const CncClient&) = delete;

    // Connects (closing a handle still held first); blocks until the library has connected or
    // failed. leaderLength is the number of NUL bytes before and the trailer length after a
    // DataIO file. True when connected; lastError() tells why not.
    bool connect(const LinkSettings& settings, int leaderLength);
    // Safe from another thread: breaks a pending wait on the link.
    bool disconnect() { return channel_.disconnect(); }
    bool isConnected() const { return channel_.isConnected(); }
    // Pops the newest link error.
    int lastError() { return channel_.lastError(); }
    // The last telegram or raw block received, kept for the operator's error messages.
    const std::string& lastReceived() const { return channel_.lastReceived(); }
    bool setLinkParams(int retries, int timeoutSeconds, int sendDelayMs) {
        return channel_.setLinkParams(retries, timeoutSeconds, sendDelayMs);
    }
    // Holds the link for the guard's life; an empty guard when it could not be reserved.
    Reservation reserve() { return Reservation(channel_); }
    int reserveDepth() const { return channel_.reserveDepth(); }
    // The largest telegram of this link in bytes (0 when the library cannot tell).
    int maxTelegram() { return channel_.maxTelegram(); }
    // TCP server: host name and IPv4 address (host byte order) of the CNC that called in.
    bool peerName(std::string& name) { return channel_.peerName(name); }
    std::optional<uint32_t> peerAddress() {
        int32_t value = 0;
        if (!channel_.getParam(DNC_PARAM_PEER_ADDRESS, value)) return std::nullopt;
        return static_cast<uint32_t>(value);
    }

    int linkType() const { return linkType_; }
    // What a link error means on this link, with what is wrong with its device ("... the
    // device /dev/ttyUSB0 is gone"), for the operator's messages.
    std::string failureText(int code) const;
    // "the device /dev/ttyUSB0 is gone" when this serial link's adapter was pulled out.
    std::string goneDevice() const;
    TransferState transferState() const { return state_; }
    const std::string& memoryType() const { return memoryType_; }
    int leaderLength() const { return leaderLength_; }
    // Data bytes per block: 1024 on DataIO, else 124 (120 on a CNC of 124-byte telegrams).
    int blockPayload();
    // Reason of the last refused writeOpen(); reading clears it.
    int takeFailureKind();

    // "M DI" + text (cut to fit one telegram); true when the telegram was exchanged.
    bool showMessage(std::string_view text);
    // Free memory in bytes from "R FR"; -1 when the CNC gives none or a transfer is running;
    // 0 on DataIO.
    int64_t freeMemory();
    // "MC" + address, answered "M OK".
    bool deleteMemory(std::string_view fileName);

    // Client receive: "PT" + address answered "M RT". Then readBlock() until it ends the
    // memory or fails.
    bool readOpen(std::string_view fileName);
    // Listing of a memory type: "LI" + type. "T NP" (nothing of that type) gives true with no
    // listing: the transfer state stays idle.
    bool listOpen(std::string_view fileName);
    // Next block of the memory being received. The CNC's "T FD" is acknowledged with "M OK" at
    // once, unless the end is to be confirmed later: then the exchange stays open until
    // confirmEnd() says "M OK", or abort() refuses the file with "T BD".
    enum class EndConfirmation { AtOnce, Later };
    BlockResult readBlock(EndConfirmation confirmation = EndConfirmation::AtOnce);
    // "M OK" for a "T FD" whose confirmation was held back.
    bool confirmEnd();

    // Client send: "PR" + address answered "M RR"; a refusal sets the failure kind.
    bool writeOpen(std::string_view fileName);
    // Behind-tape-reader send of a part program (type "PM" only): "BR" + address.
    bool btrOpen(std::string_view fileName);
    // Sends one block of at most blockPayload() bytes; empty data ends the memory (then
    // EndOfMemory once the CNC confirmed it).
    BlockResult writeBlock(std::string_view data);

    // Breaks off the transfer in progress ("T BD") and gives its reservation back.
    bool abort();

    // Remote mode: the CNC's next command telegram.
    bool listen(std::string& telegram) { return channel_.listen(telegram); }
    // Remote mode: a reply that the CNC answers, if at all, with its next command.
    bool sendTelegram(std::string telegram) { return channel_.exchange(telegram, false); }
    // Remote mode: answer the CNC's "PT" + type + name with "M RT"; the CNC answers "T NB".
    bool serveTransmit(std::string_view request);
    // Remote mode: answer the CNC's "PR" + type + name with "M RR". On true, request holds the
    // CNC's first data telegram, "R " + type + data; then readBlock() as for a client receive.
    // An empty file ("T FD" at once) is acknowledged and gives false.
    bool serveReceive(std::string& request);
    // Remote mode transmit: one block, or "T FD" for empty text; no reply awaited here.
    bool serveBlock(std::string& text);
    // Remote mode transmit: the CNC's answer to the last serveBlock().
    ServeAnswer serveAwait(std::string& text);

    // Puts the line back as it was before remote mode.
    void restoreLine();

  private:
    bool isDataIo() const;
    bool exchangeWithReply(std::string telegram, std::string& reply);
    bool sendWithoutReply(std::string telegram);
    // A transfer begins: the link is held until it ends.
    void beginTransfer(TransferState state);
    void endTransfer();
    BlockResult linkFailed();
    BlockResult readDataIoBlock();
    BlockResult writeDataIoBlock(std::string_view data);

    LinkChannel channel_;
    LinkSettings settings_;
    int linkType_ = DNC_LINK_RXA2;
    int leaderLength_ = 0;
    int failureKind_ = kFailureNone;
    std::string memoryType_;
    TransferState state_ = TransferState::Idle;
    Reservation transferHold_;
    // The last telegram of a send was "T FD": only "M OK" may follow.
    bool endOfFileSent_ = false;
    // A received "T FD" waits for confirmEnd().
    bool endUnconfirmed_ = false;
    // The telegram of a block exchange, then its reply. It keeps its room from block to block,
    // so that a block builds no new string; only the block exchanges use it.
    std::string blockTelegram_;
};

}  // namespace qel
