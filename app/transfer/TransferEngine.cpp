#include "transfer/TransferEngine.h"

#include "client/LinkErrorText.h"
#include "transfer/RequestFlags.h"
#include "transfer/TransferTexts.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <utility>

namespace qel {

TransferEngine::TransferEngine(CncClient& client, TransferOperator& op, TransferDirection direction)
    : client_(client), op_(op), direction_(direction), display_(direction) {}

TransferEngine::~TransferEngine() {
    stopWorker();
}

bool TransferEngine::isDataIoLink() const {
    const int type = client_.linkType();
    return type == DNC_LINK_DATAIO_RTSCTS || type == DNC_LINK_DATAIO_XONXOFF ||
           type == DNC_LINK_DATAIO_CTS;
}

bool TransferEngine::start() {
    if (started_) return true;
    if (status_.load() == XS_IDLE) setStatus(XS_WAIT_LINK);
    if (!client_.reserve()) return false;
    started_ = true;
    running_.store(1);
    try {
        worker_ = std::thread([this] { run(); });
    } catch (...) {
        client_.release();
        finished_ = true;
        noteFailure("the transfer could not be started");
        setStatus(XS_STOPPING);
    }
    return true;
}

void TransferEngine::run() {
    try {
        work();
    } catch (const std::exception& error) {
        noteFailure(error.what());
    } catch (...) {
        noteFailure("the transfer ended unexpectedly");
    }
    try {
        afterWork();
    } catch (...) {
    }
    if (!isFinalStatus(status())) {
        noteFailure("the transfer ended unexpectedly");
        setStatus(XS_STOPPING);
    }
    // Never leave a memory open on the CNC, whatever ended the run.
    if (client_.transferState() != TransferState::Idle) client_.abort();
    client_.release();
    {
        std::lock_guard guard(waitLock_);
        finished_ = true;
    }
    wake_.notify_all();
}

bool TransferEngine::cancel() {
    if (!started_ || finished_ || isFinalStatus(status()) || isDataIoLink()) return false;
    const bool wasRunning = running_.exchange(0) != 0;
    wake_.notify_all();
    return wasRunning;
}

void TransferEngine::stop() {
    stopWorker();
}

void TransferEngine::stopWorker() {
    if (!worker_.joinable()) return;
    stopping_ = true;
    running_.store(0);
    {
        std::lock_guard guard(waitLock_);
        stopRequested_ = true;
    }
    wake_.notify_all();
    if (isDataIoLink() && !waitFinished(pauses_.stopGrace)) client_.disconnect();
    worker_.join();
}

bool TransferEngine::waitFinished(std::chrono::milliseconds limit) {
    std::unique_lock lock(waitLock_);
    return wake_.wait_for(lock, limit, [this] { return finished_.load(); });
}

bool TransferEngine::pause(std::chrono::milliseconds duration, bool wakeOnCancel) {
    std::unique_lock lock(waitLock_);
    const bool interrupted = wake_.wait_for(
        lock, duration, [&] { return stopRequested_ || (wakeOnCancel && running_.load() == 0); });
    return !interrupted;
}

uint32_t TransferEngine::ask(QuestionKind kind, std::string_view text, uint32_t flags) {
    return stopping_ ? IDCANCEL : op_.ask(kind, text, flags);
}

bool TransferEngine::confirm(QuestionKind kind, BoxButtons buttons, BoxIcon icon,
                             std::string_view caption, std::string_view text) {
    return !stopping_ && op_.confirm(kind, buttons, icon, caption, text);
}

std::optional<std::string> TransferEngine::askNewName(std::string_view prompt,
                                                      std::string_view defaultText) {
    if (stopping_) return std::nullopt;
    return op_.askNewName(prompt, defaultText);
}

void TransferEngine::setStatus(int status) {
    std::lock_guard guard(statusLock_);
    status_.store(status);
    const std::string_view text = statusText(direction_, status);
    if (text == statusShown_) return;
    statusShown_ = std::string(text);
    op_.statusChanged(status, text);
}

void TransferEngine::setStatusFromTick(int status) {
    std::lock_guard guard(statusLock_);
    // The worker's final status stays whatever the rate does.
    if (isFinalStatus(status_.load())) return;
    status_.store(status);
    const std::string_view text = statusText(direction_, status);
    if (text == statusShown_) return;
    statusShown_ = std::string(text);
    op_.statusChanged(status, text);
}

void TransferEngine::resetFileBytes() {
    std::lock_guard guard(counterLock_);
    fileBytes_ = 0;
}

void TransferEngine::addBytes(size_t count) {
    std::lock_guard guard(counterLock_);
    fileBytes_ += count;
    tickBytes_ += count;
}

uint64_t TransferEngine::fileBytes() const {
    std::lock_guard guard(counterLock_);
    return fileBytes_;
}

TickInput TransferEngine::timeLeftInput(uint64_t) const {
    return {};
}

void TransferEngine::tick() {
    uint64_t moved = 0;
    uint64_t current = 0;
    {
        std::lock_guard guard(counterLock_);
        moved = std::exchange(tickBytes_, 0);
        current = fileBytes_;
    }
    TickInput input = timeLeftInput(current);
    input.bytesThisTick = static_cast<uint32_t>(std::min<uint64_t>(moved, UINT32_MAX));
    input.nowMs = CRateMeter::nowMs();
    const TickOutput out = display_.advance(input);
    if (out.animate) op_.animationStep();
    if (out.status) setStatusFromTick(*out.status);
    if (out.speed) op_.fieldChanged(TransferField::Speed, *out.speed);
    if (out.timeLeftFile) op_.fieldChanged(TransferField::TimeLeftFile, *out.timeLeftFile);
    if (out.timeLeftTotal) op_.fieldChanged(TransferField::TimeLeftTotal, *out.timeLeftTotal);
}

void TransferEngine::noteFailure(std::string problem) {
    std::lock_guard guard(resultLock_);
    failed_ = true;
    if (!problem.empty()) problem_ = std::move(problem);
}

void TransferEngine::noteCompleted(std::string name) {
    std::lock_guard guard(resultLock_);
    completed_.push_back(std::move(name));
}

bool TransferEngine::succeeded() const {
    std::lock_guard guard(resultLock_);
    return finished_ && !failed_ && status_.load() == XS_COMPLETE;
}

std::vector<std::string> TransferEngine::completedFiles() const {
    std::lock_guard guard(resultLock_);
    return completed_;
}

std::string TransferEngine::problem() const {
    std::lock_guard guard(resultLock_);
    return problem_;
}

void TransferEngine::reportLinkError(const std::string& name, const std::string& cncText) {
    const int code = client_.lastError();
    std::string problem;
    if (code != 0)
        problem = name + ": " + linkErrorText(code);
    else if (!cncText.empty())
        problem = name + ": the CNC broke off: " + cncText;
    else
        problem = name + ": the transfer broke off";
    noteFailure(std::move(problem));
    ask(QuestionKind::Report, texts::linkErrorReportText(code, name), kAskOkStop);
}

}  // namespace qel
