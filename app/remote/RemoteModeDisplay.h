// The remote-mode window's contents as plain state: status line, four-line log, progress and
// the Exit/Abort buttons. The worker and the window's thread both write it; every call is
// thread-safe and only stores. Readers poll: the window reads the state on its own timer and
// redraws when version() moved, so a CNC that floods commands costs one redraw per timer tick;
// a follower that wants every change in order (qel serve's log) takes them with
// showChangesOn().
#pragma once

#include "remote/RemoteLog.h"
#include "remote/RemoteModeView.h"
#include "remote/TransferProgress.h"

#include <array>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>

namespace qel::remote {

class RemoteModeDisplay {
  public:
    // Changes kept for followers between two looks, at most; older ones are dropped.
    static constexpr size_t kJournalLimit = 4096;

    void setStatus(std::string_view text);
    void logLine(std::string_view text);

    // Stored only; the next setProgressPos() or stepProgress() redraws.
    void setProgressRange(int64_t minimum, int64_t maximum);
    void setProgressStep(int64_t step);
    void setProgressMode(ProgressMode mode);
    void setProgressPos(int64_t position);
    void stepProgress();

    void enableExit(bool enabled);
    void enableAbort(bool enabled);

    // What the window shows now.
    std::string status() const;
    std::string logText() const;
    std::array<std::string, RemoteLog::kLines> logLines() const;
    ProgressValues progressValues() const;
    int progressPercent() const;
    std::string progressText() const;
    // The bar and its text as one, so that a reader never shows one without the other.
    ProgressPicture progressPicture() const;
    bool exitEnabled() const;
    bool abortEnabled() const;
    // Counts every visible change.
    uint64_t version() const;

    // Keeps every change from now on for showChangesOn(); a display nobody follows keeps none.
    void follow();
    // Hands the changes made since the last call to view, in order, on the calling thread.
    // Returns how many were dropped because more than kJournalLimit piled up.
    size_t showChangesOn(RemoteModeView& view);

  private:
    struct Change {
        enum class Kind { Status, Line, Progress, Buttons } kind;
        std::string text;  // status, line, or progress text
        std::string log;   // Line: the whole log after it
        int percent = 0;
        bool exitEnabled = false;
        bool abortEnabled = false;
    };
    void recordLocked(Change change);
    void redrawLocked();
    void buttonsChangedLocked();

    mutable std::mutex mutex_;
    std::string status_ = "Not active";
    RemoteLog log_;
    ProgressValues progress_;
    ProgressPicture picture_{0, kInitialProgressText};
    bool exitEnabled_ = true;
    bool abortEnabled_ = false;
    uint64_t version_ = 0;

    bool followed_ = false;
    std::deque<Change> journal_;
    size_t dropped_ = 0;
};

}  // namespace qel::remote
