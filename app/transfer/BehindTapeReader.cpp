#include "transfer/BehindTapeReader.h"

#include "base/FileErrorCause.h"
#include "base/Trace.h"
#include "client/LinkErrorText.h"
#include "transfer/RequestFlags.h"
#include "transfer/SourceFile.h"
#include "transfer/TransferTexts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

namespace qel {

namespace {
// Blocks behind the tape reader leave room for the CNC's own additions.
constexpr int kBlockReserve = 4;
// pending link errors dropped before a start, at most
constexpr int kErrorsDropped = 64;

}  // namespace

// The progress window of one file: shown while the file is sent, gone on every way out.
class BtrSender::ProgressWindow {
  public:
    explicit ProgressWindow(TransferOperator& op) : op_(op) { op_.progressWindow(true); }
    ~ProgressWindow() { close(); }
    void close() {
        if (shown_) op_.progressWindow(false);
        shown_ = false;
    }

  private:
    TransferOperator& op_;
    bool shown_ = true;
};

BtrSender::BtrSender(CncClient& client, TransferOperator& op, std::string folder, RunHooks hooks)
    : client_(client), op_(op), folder_(std::move(folder)), hooks_(std::move(hooks)) {}

ProgressState BtrSender::progress() const {
    std::lock_guard guard(progressLock_);
    return progress_;
}

void BtrSender::secondTick() {
    {
        std::lock_guard guard(progressLock_);
        progress_.secondTick();
    }
    showProgress();
}

void BtrSender::showProgress() {
    std::lock_guard guard(progressLock_);
    const std::string text = progress_.text();
    op_.progressChanged(progress_.percent(), true);
    if (text == progressShown_) return;
    progressShown_ = text;
    op_.fieldChanged(TransferField::ProgressText, text);
}

bool BtrSender::sendFile(const std::string& name, uint32_t& answers) {
    SourceFile file;
    if (const int failure = file.open(folder_, name)) {
        trace("Unable to open %s, cause = %d\n", name.c_str(),
              static_cast<int>(fileErrorCause(failure)));
        problem_ = name + ": cannot open the local file: " + std::strerror(failure);
        return !cancelled() && op_.confirm(QuestionKind::Continue, BoxButtons::YesNo, BoxIcon::Stop,
                                           texts::kErrorCaption,
                                           texts::formatText(texts::kBtrCannotOpenLocal, {name}));
    }
    for (int i = 0; i < kErrorsDropped && client_.lastError() != 0; ++i) {
    }
    if (!client_.btrOpen(name)) {
        if (const int code = client_.lastError()) {
            problem_ = name + ": " + client_.failureText(code);
            if ((answers & kBtrPassStartFailures) != 0) return true;
            const uint32_t answer = ask(texts::kBtrStartCommFailure, kAskYesAllNo);
            if (!isYes(answer)) return false;
            if (answer == IDYESTOALL) answers |= kBtrPassStartFailures;
            return true;
        }
        problem_ =
            name + ": the CNC did not start behind-tape-reader sending" +
            (client_.lastReceived().empty() ? std::string()
                                            : " (it answered \"" + client_.lastReceived() + "\")");
        if ((answers & kBtrPassFailedSends) != 0) return true;
        const uint32_t answer = ask(texts::formatText(texts::kBtrNotStarted, {name}), kAskYesAllNo);
        if (!isYes(answer)) return false;
        if (answer == IDYESTOALL) answers |= kBtrPassFailedSends;
        return true;
    }

    const size_t blockSize =
        static_cast<size_t>(std::max(1, client_.blockPayload() - kBlockReserve));
    const int64_t length = file.size();
    {
        std::lock_guard guard(progressLock_);
        progress_ = ProgressState();
        progressShown_.clear();
        progress_.setRange(0, length);
        progress_.setStep(static_cast<int64_t>(blockSize));
        progress_.setDisplayMode(ProgressState::kPercentAmountAndRate);
    }
    char size[48];
    std::snprintf(size, sizeof size, "' (%.2f KB)", static_cast<double>(length) / 1024.0);
    op_.fieldChanged(TransferField::ProgressLine, std::string(texts::kSendingMemory) + name + size);
    ProgressWindow window(op_);
    showProgress();

    std::string block;
    if (const int failure = file.read(blockSize, block)) {
        return readFailed(name, failure, answers, window);
    }
    for (;;) {
        if (cancelled()) return cancelRun(window);
        std::string sent = block;
        if (!client_.serveBlock(sent)) return sendFailed(name, sent, answers, window);
        std::string text;
        const Await answer = awaitCnc(text);
        if (answer == Await::Cancelled) return cancelRun(window);
        if (answer == Await::Stopped) return sendFailed(name, text, answers, window);
        if (answer == Await::LinkFailed) {
            client_.abort();
            return sendFailed(name, std::string(), answers, window);
        }
        if (block.empty()) break;  // the end of the memory was sent and confirmed
        if (const int failure = file.read(blockSize, block)) {
            return readFailed(name, failure, answers, window);
        }
        if (block.size() == blockSize) {
            {
                std::lock_guard guard(progressLock_);
                progress_.stepIt();
            }
            showProgress();
        }
    }
    {
        std::lock_guard guard(progressLock_);
        progress_.setPosition(length);
    }
    showProgress();
    if (hooks_.pause)
        hooks_.pause(endPause_);
    else
        std::this_thread::sleep_for(endPause_);
    window.close();
    if (cancelled()) return false;
    completed_.push_back(name);
    return true;
}

uint32_t BtrSender::ask(std::string_view text, uint32_t flags) {
    return cancelled() ? IDCANCEL : op_.ask(QuestionKind::Continue, text, flags);
}

BtrSender::Await BtrSender::awaitCnc(std::string& text) {
    for (;;) {
        const ServeAnswer answer = client_.serveAwait(text);
        if (answer == ServeAnswer::Continue) return Await::Next;
        if (answer == ServeAnswer::Stop) return Await::Stopped;
        // Nothing within one receive time-out: the machine is still busy with the block.
        // Anything else (a dropped connection, a line error) will not get better by waiting.
        if (client_.lastError() != DNC_ERR_TIMEOUT) return Await::LinkFailed;
        if (cancelled()) return Await::Cancelled;
    }
}

bool BtrSender::cancelRun(ProgressWindow& window) {
    client_.abort();
    window.close();
    problem_ = "cancelled";
    return false;
}

bool BtrSender::sendFailed(const std::string& name, const std::string& cncText, uint32_t& answers,
                           ProgressWindow& window) {
    if (client_.transferState() != TransferState::Idle) client_.abort();
    window.close();
    problem_ =
        name + (cncText.empty() ? ": communication failure" : ": the CNC reports: " + cncText);
    if ((answers & kBtrPassFailedSends) != 0) return !cancelled();
    const std::string message = cncText.empty()
                                    ? texts::formatText(texts::kBtrCommFailure, {name})
                                    : texts::formatText(texts::kBtrCncReports, {name, cncText});
    const uint32_t answer = ask(message, kAskYesAllCancelWarning);
    if (!isYes(answer)) return false;
    if (answer == IDYESTOALL) answers |= kBtrPassFailedSends;
    return true;
}

bool BtrSender::readFailed(const std::string& name, int failure, uint32_t& answers,
                           ProgressWindow& window) {
    const FileErrorCause cause = fileErrorCause(failure);
    trace("Unable to read from %s, cause = %d\n", name.c_str(), static_cast<int>(cause));
    problem_ = name + ": cannot read the local file: " + std::strerror(failure);
    client_.abort();
    window.close();
    if ((answers & kBtrPassReadFailures) != 0) return true;
    const uint32_t answer =
        ask(texts::formatText(texts::kBtrReadFailure, {name}), kAskYesAllNoWarning);
    if (!isYes(answer)) return false;
    if (answer == IDYESTOALL) answers |= kBtrPassReadFailures;
    return true;
}

BtrEngine::BtrEngine(CncClient& client, TransferOperator& op, std::vector<std::string> names,
                     std::string folder)
    : TransferEngine(client, op, TransferDirection::Send, Reserve::No),
      sender_(client, op_, std::move(folder),
              {[this] { return !keepRunning(); }, [this](auto duration) { pause(duration); }}),
      names_(std::move(names)) {}

BtrEngine::~BtrEngine() {
    stopWorker();
}

void BtrEngine::work() {
    uint32_t answers = 0;
    for (const std::string& name : names_) {
        if (!sender_.sendFile(name, answers)) break;
    }
    for (const std::string& name : sender_.completedFiles()) noteCompleted(name);
    if (sender_.completedFiles().size() == names_.size()) {
        setStatus(XS_COMPLETE);
        return;
    }
    noteFailure(sender_.problem());
    setStatus(XS_STOPPING);
}

void BtrEngine::everyTick() {
    if (++ticks_ % 10 == 0) sender_.secondTick();
}

}  // namespace qel
