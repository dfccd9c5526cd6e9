#include "remote/TesselD.h"

#include "client/LinkErrorText.h"
#include "remote/PrintfText.h"
#include "remote/RemoteCommandDispatcher.h"
#include "remote/RemoteModeTexts.h"
#include "remote/RemoteSession.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace qel::remote {

namespace text = remote_text;

namespace {

constexpr auto kPauseAfterFailure = std::chrono::milliseconds(200);
constexpr int kHigherPriority = -5;

// The CNC waits on the PC, so the worker asks for a higher priority; without the right to
// have it, it runs as it is.
void requestHigherPriority() {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kHigherPriority);
}

}  // namespace

RemoteModeEngine::RemoteModeEngine(CncClient& link, RemoteModeDisplay& display,
                                   std::string servedFolder)
    : link_(link), display_(display), servedFolder_(std::move(servedFolder)) {}

RemoteModeEngine::~RemoteModeEngine() {
    if (worker_.joinable()) finish();
}

void RemoteModeEngine::reconnectWith(RemoteLinkSetup setup) {
    std::lock_guard lock(mutex_);
    reconnectSetup_ = std::move(setup);
}

void RemoteModeEngine::setServedFolder(std::string folder) {
    std::lock_guard lock(mutex_);
    servedFolder_ = std::move(folder);
}

std::string RemoteModeEngine::servedFolder() const {
    std::lock_guard lock(mutex_);
    return servedFolder_;
}

void RemoteModeEngine::start() {
    if (worker_.joinable()) return;
    // Holding the port for the whole of remote mode; without it every exchange opens it anew.
    hold_ = link_.reserve();
    display_.setStatus(hold_ ? text::kWaiting : text::kPortInUse);
    clearLinkErrors(link_);
    // The commands start in the folder served now, whatever Browse chooses later.
    startFolder_.open(servedFolder());
    workerRunning_ = true;
    worker_ = std::thread([this] { serve(); });
}

void RemoteModeEngine::abortTransfer() {
    abortRequested_ = true;
}

void RemoteModeEngine::requestExit() {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
    abortRequested_ = true;
    stopSignal_.notify_all();
    if (link_.isConnected()) {
        // Logged first, so that it stands before what the broken-off transfer logs.
        display_.logLine(text::kClosing);
        link_.disconnect();
    }
}

void RemoteModeEngine::finish() {
    if (finished_) return;
    if (!stopRequested_) requestExit();  // the worker only returns when asked to
    if (worker_.joinable()) worker_.join();
    finished_ = true;
    if (link_.transferState() != TransferState::Idle) link_.abort();
    link_.restoreLine();
    hold_.release();
}

void RemoteModeEngine::serve() {
    requestHigherPriority();
    RemoteSession session(link_, display_, abortRequested_, [this] { return servedFolder(); });
    session.blockSize = link_.blockPayload();
    session.folder = std::move(startFolder_);
    // While an adapter is pulled out every turn fails; the log says so once, not five times a
    // second, and serving goes on by itself when it is plugged back in.
    bool goneTold = false;
    while (!stopRequested_) {
        std::string telegram;
        if (!link_.listen(telegram)) {
            if (stopRequested_) break;
            const int error = link_.lastError();
            // Silence on the line is no error: the next turn waits again.
            if (error == DNC_ERR_TIMEOUT) continue;
            const std::string gone = link_.goneDevice();
            if (gone.empty() || !goneTold) {
                display_.logLine(printfText(text::kListenFailed, error));
                if (!gone.empty()) display_.logLine(asSentence(gone));
            }
            goneTold = !gone.empty();
            recoverFromListenFailure();
            continue;
        }
        goneTold = false;
        if (!callerAllowed()) continue;
        performRemoteCommand(session, telegram);
        display_.enableExit(true);
    }
    workerRunning_ = false;
}

void RemoteModeEngine::recoverFromListenFailure() {
    std::unique_lock lock(mutex_);
    if (stopRequested_) return;
    // Under the lock, so that Exit either comes first (no reconnect) or disconnects the new link.
    if (reconnectSetup_ && link_.linkType() == DNC_LINK_TCP_SERVER &&
        link_.connect(reconnectSetup_->settings, link_.leaderLength())) {
        link_.setLinkParams(reconnectSetup_->retries, reconnectSetup_->timeout,
                            reconnectSetup_->sendDelay);
        callerChecked_ = false;
        return;
    }
    stopSignal_.wait_for(lock, kPauseAfterFailure, [this] { return stopRequested_.load(); });
}

bool RemoteModeEngine::callerAllowed() {
    if (allowed_.empty() || callerChecked_ || link_.linkType() != DNC_LINK_TCP_SERVER) return true;
    const std::optional<uint32_t> caller = link_.peerAddress();
    if (caller && std::find(allowed_.begin(), allowed_.end(), *caller) != allowed_.end()) {
        callerChecked_ = true;
        return true;
    }
    const std::string who = caller ? dottedAddress(*caller) : std::string("an unknown address");
    display_.logLine(printfText(text::kRefusedCaller, who.c_str()));
    // Hang up without an answer; a server link made for remote mode waits for the next call.
    link_.disconnect();
    recoverFromListenFailure();
    return false;
}

}  // namespace qel::remote
