// What the receive and send runs share: one worker thread per run, the link reservation held
// for the run, the Cancel flag, the byte counters the display tick reads, the status line and
// the 100 ms display tick. A dialog (or qel) owns the engine, starts it, calls tick() every
// 100 ms and cancel() for its Cancel button, and answers the engine's questions through its
// TransferOperator.
#pragma once

#include "client/QelComC.h"
#include "transfer/DisplayTick.h"
#include "transfer/TransferOperator.h"
#include "transfer/TransferStatus.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qel {

// The deliberate pauses of a run; tests shorten them.
struct TransferPauses {
    // After each memory or file, so that the CNC settles before the next request.
    std::chrono::milliseconds settle{500};
    // Between breaking off a send and deleting the memory the CNC had begun.
    std::chrono::milliseconds afterAbort{1000};
    // stop() on a DataIO link: how long the worker may take to end on its own before the link
    // is disconnected to break a wait without time limit.
    std::chrono::milliseconds stopGrace{300};
};

class TransferEngine {
  public:
    virtual ~TransferEngine();
    TransferEngine(const TransferEngine&) = delete;
    TransferEngine& operator=(const TransferEngine&) = delete;

    void setPauses(const TransferPauses& pauses) { pauses_ = pauses; }

    // Reserves the link and starts the worker. False while the link cannot be reserved (status
    // XS_WAIT_LINK): try again at the next 100 ms tick of the wait-link timer.
    bool start();
    // The Cancel button. True when the worker was told to stop and the dialog stays open until
    // the worker ends; false when the dialog should end at once: a second press, a DataIO link
    // (its waits have no time limit), a worker that ended or never started.
    bool cancel();
    // Ends the run for good: tells the worker to stop and waits for it. On a DataIO link the
    // link is disconnected when the worker has not ended within the grace time. An open question
    // must be answered first. Safe to call more than once; the destructor calls it.
    void stop();
    // Waits until the worker has ended, at most limit. True when it has.
    bool waitFinished(std::chrono::milliseconds limit);
    bool finished() const { return finished_.load(); }

    // The display tick: call every 100 ms while the run lasts.
    void tick();

    int status() const { return status_.load(); }
    // After the end: complete, and everything requested was transferred or skipped by the
    // operator's own choice.
    bool succeeded() const;
    // Local files written (receive) or CNC memories written (send), in order.
    std::vector<std::string> completedFiles() const;
    // What went wrong last, in a line: the CNC's reason or the link error; empty when nothing.
    std::string problem() const;

  protected:
    TransferEngine(CncClient& client, TransferOperator& op, TransferDirection direction);

    // The run, on the worker thread. It ends with status XS_COMPLETE or XS_STOPPING.
    virtual void work() = 0;
    // After work(), also when it threw: drop what is unfinished.
    virtual void afterWork() {}
    // Sizes for the time left; the receive run knows none.
    virtual TickInput timeLeftInput(uint64_t fileBytes) const;
    // Derived destructors call this first, so that the worker never runs on a half-destroyed
    // engine.
    void stopWorker();

    // The operator's questions. Once stop() was called the operator side is going away and
    // waits for the worker: nothing is asked any more, every question is answered Cancel.
    uint32_t ask(QuestionKind kind, std::string_view text, uint32_t flags);
    bool confirm(QuestionKind kind, BoxButtons buttons, BoxIcon icon, std::string_view caption,
                 std::string_view text);
    std::optional<std::string> askNewName(std::string_view prompt, std::string_view defaultText);

    void setStatus(int status);
    bool keepRunning() const { return running_.load() != 0; }
    // Waits; a stop() ends the wait early, and so does Cancel when wakeOnCancel. False when it
    // ended early.
    bool pause(std::chrono::milliseconds duration, bool wakeOnCancel = true);
    const TransferPauses& pauses() const { return pauses_; }
    bool isDataIoLink() const;

    // The byte counters shared with the display tick.
    void resetFileBytes();
    void addBytes(size_t count);
    uint64_t fileBytes() const;

    void noteFailure(std::string problem);
    void noteCompleted(std::string name);
    // The link error the client left, as the operator's report (OK only) names it.
    void reportLinkError(const std::string& name, const std::string& cncText);

    CncClient& client_;
    TransferOperator& op_;

  private:
    void run();
    void setStatusFromTick(int status);

    const TransferDirection direction_;
    TransferPauses pauses_;
    std::thread worker_;
    std::atomic<int> running_{0};
    std::atomic<int> status_{XS_IDLE};
    std::atomic<bool> finished_{false};
    std::atomic<bool> stopping_{false};
    // Set before the worker starts: cancel() may come from the worker itself (an operator
    // callback) before worker_ is assigned.
    std::atomic<bool> started_{false};

    mutable std::mutex waitLock_;
    std::condition_variable wake_;
    bool stopRequested_ = false;

    std::mutex statusLock_;
    std::string statusShown_;

    mutable std::mutex counterLock_;
    uint64_t fileBytes_ = 0;
    uint64_t tickBytes_ = 0;

    mutable std::mutex resultLock_;
    bool failed_ = false;
    std::string problem_;
    std::vector<std::string> completed_;

    DisplayTick display_;  // used by tick() only
};

}  // namespace qel
