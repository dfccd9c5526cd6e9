#include "transfer/TransferEngine.h"

#include "base/ThreadPriority.h"
#include "client/LinkErrorText.h"
#include "client/LinkTypes.h"
#include "transfer/RequestFlags.h"
#include "transfer/TransferTexts.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <utility>

namespace qel {

TransferEngine::TransferEngine(CncClient& client, TransferOperator& op, TransferDirection direction,
                               Reserve reserve)
    : client_(client),
      op_(workerSide_),
      operator_(op),
      workerSide_(*this),
      direction_(direction),
      reserve_(reserve),
      display_(direction) {}

TransferEngine::~TransferEngine() {
    stopWorker();
}

bool TransferEngine::isDataIoLink() const {
    return isDataIoLinkType(client_.linkType());
}

bool TransferEngine::start() {
    if (started_) return true;
    if (status_.load() == XS_IDLE) setStatus(XS_WAIT_LINK);
    if (reserve_ == Reserve::ForTheRun) {
        runHold_ = client_.reserve();
        if (!runHold_) return false;
    }
    started_ = true;
    running_.store(1);
    try {
        worker_ = std::thread([this] { run(); });
    } catch (...) {
        runHold_.release();
        finished_ = true;
        noteFailure("the transfer could not be started");
        setStatus(XS_STOPPING);
    }
    return true;
}

void TransferEngine::run() {
    requestHigherPriority();  // a request: without the right the worker keeps the normal one
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
    runHold_.release();
    {
        std::lock_guard guard(waitLock_);
        finished_ = true;
    }
    wake_.notify_all();
    if (ownerWake_) ownerWake_();
}

bool TransferEngine::cancel() {
    if (!started_ || finished_ || isFinalStatus(status()) || isDataIoLink()) return false;
    const bool wasRunning = running_.exchange(0) != 0;
    if (wasRunning) questions_.cancelOpen();
    wake_.notify_all();
    return wasRunning;
}

void TransferEngine::requestStop() {
    stopping_ = true;
    running_.store(0);
    {
        std::lock_guard guard(waitLock_);
        stopRequested_ = true;
    }
    questions_.close();
    wake_.notify_all();
    if (started_ && !finished_ && isDataIoLink()) {
        std::lock_guard guard(graceLock_);
        if (!disconnectAt_) disconnectAt_ = std::chrono::steady_clock::now() + pauses_.stopGrace;
    }
}

void TransferEngine::stop() {
    stopWorker();
}

void TransferEngine::stopWorker() {
    requestStop();
    if (!worker_.joinable()) return;
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

OperatorAnswer TransferEngine::askOnOwnersTick(OperatorQuestion question) {
    if (stopping_) return {};
    return questions_.ask(std::move(question));
}

uint32_t TransferEngine::ask(QuestionKind kind, std::string_view text, uint32_t flags) {
    OperatorQuestion question;
    question.form = OperatorQuestion::Form::Ask;
    question.kind = kind;
    question.text = std::string(text);
    question.flags = flags;
    return askOnOwnersTick(std::move(question)).button;
}

bool TransferEngine::confirm(QuestionKind kind, BoxButtons buttons, BoxIcon icon,
                             std::string_view caption, std::string_view text) {
    OperatorQuestion question;
    question.form = OperatorQuestion::Form::Confirm;
    question.kind = kind;
    question.buttons = buttons;
    question.icon = icon;
    question.caption = std::string(caption);
    question.text = std::string(text);
    return askOnOwnersTick(std::move(question)).agreed;
}

std::optional<std::string> TransferEngine::askNewName(std::string_view prompt,
                                                      std::string_view defaultText) {
    OperatorQuestion question;
    question.form = OperatorQuestion::Form::NewName;
    question.text = std::string(prompt);
    question.defaultText = std::string(defaultText);
    return askOnOwnersTick(std::move(question)).name;
}

void TransferEngine::showStatusLocked(int status) {
    status_.store(status);
    const std::string_view text = statusText(direction_, status);
    if (text == statusQueued_) return;
    statusQueued_ = std::string(text);
    changes_.add(DisplayChange::status(status, text));
}

void TransferEngine::setStatus(int status) {
    std::lock_guard guard(statusLock_);
    showStatusLocked(status);
}

void TransferEngine::setStatusFromTick(int status) {
    std::lock_guard guard(statusLock_);
    // The worker's final status stays whatever the rate does.
    if (isFinalStatus(status_.load())) return;
    showStatusLocked(status);
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
    everyTick();
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
    if (out.status) setStatusFromTick(*out.status);
    if (out.speed) changes_.add(DisplayChange::fieldText(TransferField::Speed, *out.speed));
    if (out.timeLeftFile) {
        changes_.add(DisplayChange::fieldText(TransferField::TimeLeftFile, *out.timeLeftFile));
    }
    if (out.timeLeftTotal) {
        changes_.add(DisplayChange::fieldText(TransferField::TimeLeftTotal, *out.timeLeftTotal));
    }
    handOverChanges();
    if (out.animate) operator_.animationStep();
    disconnectAfterGrace();
    askWaitingQuestion();
}

void TransferEngine::askNow() {
    handOverChanges();
    askWaitingQuestion();
}

void TransferEngine::setOwnerWake(std::function<void()> wake) {
    ownerWake_ = wake;
    questions_.setOnPosted(std::move(wake));
}

void TransferEngine::handOverChanges() {
    for (const DisplayChange& change : changes_.take()) change.showOn(operator_);
}

void TransferEngine::askWaitingQuestion() {
    // A question box may run the window's event loop, and with it this tick again: one
    // question at a time.
    if (askingNow_) return;
    const auto taken = questions_.take();
    if (!taken) return;
    askingNow_ = true;
    // What the worker showed before asking stands on the screen behind the question.
    handOverChanges();
    OperatorAnswer answer;
    try {
        answer = askOperator(operator_, taken->question);
    } catch (...) {
        askingNow_ = false;
        questions_.answer(taken->ticket, OperatorAnswer{});
        throw;
    }
    askingNow_ = false;
    questions_.answer(taken->ticket, std::move(answer));
}

void TransferEngine::disconnectAfterGrace() {
    {
        std::lock_guard guard(graceLock_);
        if (!disconnectAt_ || std::chrono::steady_clock::now() < *disconnectAt_) return;
        disconnectAt_.reset();
    }
    if (!finished_) client_.disconnect();
}

bool TransferEngine::verifyMemory(const std::string& name, std::string_view expected,
                                  const char* expectedWhat) {
    setStatus(XS_WAIT_CNC);
    if (!client_.readOpen(name)) {
        client_.abort();
        noteFailure(name + ": verify: the CNC did not give the memory back");
        return false;
    }
    std::string readBack;
    for (;;) {
        if (!keepRunning()) {
            client_.abort();
            noteFailure(name + ": verify: cancelled");
            return false;
        }
        const BlockResult block = client_.readBlock();
        if (!block.ok()) {
            noteFailure(name + ": verify: " +
                        (block.end == BlockEnd::LinkFailed ? client_.failureText(block.linkError)
                                                           : "the CNC broke off: " + block.text));
            return false;
        }
        if (block.endOfMemory()) break;
        readBack += block.text;
    }
    if (readBack == expected) return true;
    const auto [first, ignored] =
        std::mismatch(expected.begin(), expected.end(), readBack.begin(), readBack.end());
    const size_t offset = static_cast<size_t>(first - expected.begin());
    noteFailure(name + ": verify: the CNC's memory differs: " + std::to_string(expected.size()) +
                " bytes " + expectedWhat + ", " + std::to_string(readBack.size()) +
                " bytes read back, first difference at byte " + std::to_string(offset));
    return false;
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

void TransferEngine::reportLinkError(const std::string& name, const BlockResult& failure) {
    const int code = failure.end == BlockEnd::LinkFailed ? failure.linkError : 0;
    std::string problem;
    if (code != 0)
        problem = name + ": " + client_.failureText(code);
    else if (!failure.text.empty())
        problem = name + ": the CNC broke off: " + failure.text;
    else
        problem = name + ": the transfer broke off";
    noteFailure(std::move(problem));
    ask(QuestionKind::Report, texts::linkErrorReportText(code, name), kAskOkStop);
}

uint32_t TransferEngine::WorkerSide::ask(QuestionKind kind, std::string_view text, uint32_t flags) {
    return engine_.ask(kind, text, flags);
}

std::optional<std::string> TransferEngine::WorkerSide::askNewName(std::string_view prompt,
                                                                  std::string_view defaultText) {
    return engine_.askNewName(prompt, defaultText);
}

bool TransferEngine::WorkerSide::confirm(QuestionKind kind, BoxButtons buttons, BoxIcon icon,
                                         std::string_view caption, std::string_view text) {
    return engine_.confirm(kind, buttons, icon, caption, text);
}

void TransferEngine::WorkerSide::statusChanged(int status, std::string_view) {
    engine_.setStatus(status);
}

void TransferEngine::WorkerSide::fieldChanged(TransferField field, std::string_view text) {
    engine_.changes_.add(DisplayChange::fieldText(field, text));
}

void TransferEngine::WorkerSide::progressChanged(int percent, bool visible) {
    engine_.changes_.add(DisplayChange::progress(percent, visible));
}

void TransferEngine::WorkerSide::progressWindow(bool shown) {
    engine_.changes_.add(DisplayChange::progressWindow(shown));
}

void TransferEngine::WorkerSide::beep() {
    engine_.changes_.add(DisplayChange::beep());
}

}  // namespace qel
