// Behind-tape-reader sending: the CNC executes a part program while it arrives. The PC sends
// one block, then waits as long as the machine needs (one receive time-out after another, with
// no total limit) until the CNC asks for the next block with "T NB"; the end goes as "T FD",
// confirmed by "M OK". Works only with a CNC in remote mode and only for part programs (PM).
#pragma once

#include "client/QelComC.h"
#include "transfer/Progdlg.h"
#include "transfer/TransferEngine.h"
#include "transfer/TransferOperator.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace qel {

// Bits of the answer word one BTR command shares across its files: Yes to All given ...
inline constexpr uint32_t kBtrPassFailedSends = 0x02;   // ... for a failed send or a refused start
inline constexpr uint32_t kBtrPassReadFailures = 0x04;  // ... for a local read failure
inline constexpr uint32_t kBtrPassStartFailures =
    0x08;  // ... for a communication failure at the start

// Sends single files; runs on whichever thread calls it. cancel() and secondTick() may come
// from another thread.
class BtrSender {
  public:
    // What the run the sender works for lends it: whether the run is being stopped (looked at
    // beside cancel()), and a pause that such a stop ends early.
    struct RunHooks {
        std::function<bool()> stopAsked;
        std::function<void(std::chrono::milliseconds)> pause;
    };
    BtrSender(CncClient& client, TransferOperator& op, std::string folder, RunHooks hooks = {});

    // Sends one file of the folder. True: go on with the next file of the command.
    bool sendFile(const std::string& name, uint32_t& answers);

    // The progress window's Cancel: the sending breaks off at its next look (at most one
    // receive time-out later) with "T BD".
    void cancel() { cancelled_ = true; }
    bool cancelled() const { return cancelled_.load() || (hooks_.stopAsked && hooks_.stopAsked()); }
    // The progress window's one-second timer.
    void secondTick();
    ProgressState progress() const;

    void setEndPause(std::chrono::milliseconds pause) { endPause_ = pause; }

    // Files sent completely; what went wrong last.
    const std::vector<std::string>& completedFiles() const { return completed_; }
    const std::string& problem() const { return problem_; }

  private:
    enum class Await { Next, Stopped, LinkFailed, Cancelled };
    class ProgressWindow;

    // The operator's questions; after Cancel nothing is asked any more (the command ends, and
    // its owner may be waiting for it): the answer is Cancel.
    uint32_t ask(std::string_view text, uint32_t flags);
    Await awaitCnc(std::string& text);
    bool cancelRun(ProgressWindow& window);
    bool sendFailed(const std::string& name, const std::string& cncText, uint32_t& answers,
                    ProgressWindow& window);
    bool readFailed(const std::string& name, int failure, uint32_t& answers,
                    ProgressWindow& window);
    void showProgress();

    CncClient& client_;
    TransferOperator& op_;
    const std::string folder_;
    std::atomic<bool> cancelled_{false};
    const RunHooks hooks_;
    std::chrono::milliseconds endPause_{250};

    mutable std::mutex progressLock_;
    ProgressState progress_;
    std::string progressShown_;

    std::vector<std::string> completed_;
    std::string problem_;
};

// One BTR command: its files in order on the worker of a transfer run, one answer word for all
// of them, ending at the first file whose sending says stop. Each file reserves the link for
// itself when the CNC accepts it, as the port is shared between files.
class BtrEngine final : public TransferEngine {
  public:
    BtrEngine(CncClient& client, TransferOperator& op, std::vector<std::string> names,
              std::string folder);
    ~BtrEngine() override;

    void setEndPause(std::chrono::milliseconds pause) { sender_.setEndPause(pause); }
    ProgressState progress() const { return sender_.progress(); }

  private:
    void work() override;
    // Every tenth tick is the progress window's one-second timer.
    void everyTick() override;

    BtrSender sender_;
    const std::vector<std::string> names_;
    unsigned ticks_ = 0;
};

}  // namespace qel
