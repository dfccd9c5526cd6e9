// One lifecycle for every transfer run (receive, send, behind-tape-reader): one worker thread,
// the link reservation held for the run where the run wants one, the Cancel flag, the byte
// counters the display tick reads, and the questions to the operator.
//
// Two threads meet here. The worker runs work() and talks to the operator only through the
// engine: its questions wait in one slot, its display changes in one queue. The owner (a
// dialog, or qel) calls tick() every 100 ms on its own thread; tick() alone calls the
// operator: it hands over the display changes in order, and asks a waiting question. So the
// operator needs no locks, and the owner never waits for the worker: cancel() and
// requestStop() return at once and answer an open question with Cancel.
#pragma once

#include "client/QelComC.h"
#include "transfer/DisplayChanges.h"
#include "transfer/DisplayTick.h"
#include "transfer/OperatorQuestion.h"
#include "transfer/TransferOperator.h"
#include "transfer/TransferStatus.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
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
    // Stopping on a DataIO link: how long the worker may take to end on its own before the link
    // is disconnected to break a wait without time limit.
    std::chrono::milliseconds stopGrace{300};
};

class TransferEngine {
  public:
    virtual ~TransferEngine();
    TransferEngine(const TransferEngine&) = delete;
    TransferEngine& operator=(const TransferEngine&) = delete;

    void setPauses(const TransferPauses& pauses) { pauses_ = pauses; }

    // Reserves the link (runs that hold it) and starts the worker. False while the link cannot
    // be reserved (status XS_WAIT_LINK): try again at the next 100 ms tick of the wait-link
    // timer.
    bool start();
    // The Cancel button: tells the worker to stop at its next look and answers an open question
    // with Cancel. True when it reached a running worker: the window stays until finished().
    // False when the window should end the run at once with requestStop(): a second press, a
    // DataIO link (its waits have no time limit), a worker that ended or never started.
    bool cancel();
    // Ends the run for good without waiting: the worker is told to stop, every question from
    // now on is answered Cancel, every pause ends, and on a DataIO link the link is
    // disconnected by the first tick() after the grace time. Safe from any thread.
    void requestStop();
    // requestStop(), then waits for the worker (disconnecting a DataIO link after the grace
    // time). Safe to call more than once; the destructor calls it.
    void stop();
    // Waits until the worker has ended, at most limit. True when it has.
    bool waitFinished(std::chrono::milliseconds limit);
    bool finished() const { return finished_.load(); }
    // The worker was started (it may have ended since).
    bool started() const { return started_.load(); }
    // The worker waits on a question that no tick has asked yet.
    bool questionWaiting() const { return questions_.hasWaitingQuestion(); }

    // The display tick, on the owner's thread: call it every 100 ms while the run lasts, and
    // once more when finished() says so, to hand over the last changes. It hands the display
    // changes to the operator and asks the question the worker waits on, if any.
    void tick();
    // Between two ticks, when woken: hands over the display changes and asks the question the
    // worker waits on, if any. The display tick itself (speed, time left) does not advance.
    void askNow();
    // Called from the worker's thread when the owner had better not wait for its next tick: a
    // question waits, or the run has ended. An owner with an event loop posts itself a call of
    // askNow() (or of its end handling); it must not block. Set before start().
    void setOwnerWake(std::function<void()> wake);

    int status() const { return status_.load(); }
    // After the end: complete, and everything requested was transferred or skipped by the
    // operator's own choice.
    bool succeeded() const;
    // Local files written (receive) or CNC memories written (send), in order.
    std::vector<std::string> completedFiles() const;
    // What went wrong last, in a line: the CNC's reason or the link error; empty when nothing.
    std::string problem() const;

  protected:
    enum class Reserve { ForTheRun, No };
    TransferEngine(CncClient& client, TransferOperator& op, TransferDirection direction,
                   Reserve reserve = Reserve::ForTheRun);

    // The run, on the worker thread. It ends with status XS_COMPLETE or XS_STOPPING.
    virtual void work() = 0;
    // After work(), also when it threw: drop what is unfinished.
    virtual void afterWork() {}
    // Sizes for the time left; the receive run knows none.
    virtual TickInput timeLeftInput(uint64_t fileBytes) const;
    // Called by tick() first, on the owner's thread.
    virtual void everyTick() {}
    // Derived destructors call this first, so that the worker never runs on a half-destroyed
    // engine.
    void stopWorker();

    // The operator's questions, for the worker: they wait in the question slot until the
    // owner's tick has asked them. Once the run is being stopped they are answered Cancel.
    uint32_t ask(QuestionKind kind, std::string_view text, uint32_t flags);
    bool confirm(QuestionKind kind, BoxButtons buttons, BoxIcon icon, std::string_view caption,
                 std::string_view text);
    std::optional<std::string> askNewName(std::string_view prompt, std::string_view defaultText);

    void setStatus(int status);
    bool keepRunning() const { return running_.load() != 0; }
    // Waits; a stop request ends the wait early, and so does Cancel when wakeOnCancel. False
    // when it ended early.
    bool pause(std::chrono::milliseconds duration, bool wakeOnCancel = true);
    const TransferPauses& pauses() const { return pauses_; }
    bool isDataIoLink() const;

    // The byte counters shared with the display tick.
    void resetFileBytes();
    void addBytes(size_t count);
    uint64_t fileBytes() const;

    // Verify after transfer: reads the memory from the CNC once more and compares it byte for
    // byte with expected (what was sent, or what the first reading brought). TCP has no block
    // check, so this is the only way to be sure. True when they are the same; otherwise the
    // difference is noted as the run's failure: both sizes and the first differing byte.
    bool verifyMemory(const std::string& name, std::string_view expected, const char* expectedWhat);

    void noteFailure(std::string problem);
    void noteCompleted(std::string name);
    // A block exchange that failed or was broken off, as the operator's report (OK only) names
    // it.
    void reportLinkError(const std::string& name, const BlockResult& failure);

    CncClient& client_;
    // What the worker talks to: questions go to the slot, display calls to the queue. The
    // operator itself is reached only from tick().
    TransferOperator& op_;

  private:
    // The worker's operator: every call ends in the engine.
    class WorkerSide final : public TransferOperator {
      public:
        explicit WorkerSide(TransferEngine& engine) : engine_(engine) {}
        uint32_t ask(QuestionKind kind, std::string_view text, uint32_t flags) override;
        std::optional<std::string> askNewName(std::string_view prompt,
                                              std::string_view defaultText) override;
        bool confirm(QuestionKind kind, BoxButtons buttons, BoxIcon icon, std::string_view caption,
                     std::string_view text) override;
        void statusChanged(int status, std::string_view text) override;
        void fieldChanged(TransferField field, std::string_view text) override;
        void progressChanged(int percent, bool visible) override;
        void progressWindow(bool shown) override;
        void beep() override;

      private:
        TransferEngine& engine_;
    };

    void run();
    OperatorAnswer askOnOwnersTick(OperatorQuestion question);
    void setStatusFromTick(int status);
    void showStatusLocked(int status);
    void handOverChanges();
    void askWaitingQuestion();
    void disconnectAfterGrace();

    TransferOperator& operator_;  // the owner's operator: tick() only
    WorkerSide workerSide_;
    const TransferDirection direction_;
    const Reserve reserve_;
    TransferPauses pauses_;
    std::function<void()> ownerWake_;
    std::thread worker_;
    Reservation runHold_;  // the run's own reservation, given back when the worker ends
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

    QuestionSlot questions_;
    DisplayChanges changes_;
    bool askingNow_ = false;  // tick() only: a question is with the operator

    std::mutex statusLock_;
    std::string statusQueued_;  // the status text last handed to the queue

    mutable std::mutex counterLock_;
    uint64_t fileBytes_ = 0;
    uint64_t tickBytes_ = 0;

    mutable std::mutex resultLock_;
    bool failed_ = false;
    std::string problem_;
    std::vector<std::string> completed_;

    // When the DataIO link is to be disconnected to end the worker's wait; tick() only after
    // requestStop() set it.
    std::mutex graceLock_;
    std::optional<std::chrono::steady_clock::time_point> disconnectAt_;

    DisplayTick display_;  // used by tick() only
};

}  // namespace qel
