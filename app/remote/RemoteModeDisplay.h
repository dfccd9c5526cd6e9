// The remote-mode window's contents as plain state: status line, four-line log, progress and
// the Exit/Abort buttons. The worker and the window's thread both write it; every call is
// thread-safe and is passed on to the view, if one is attached.
#pragma once

#include "remote/RemoteLog.h"
#include "remote/RemoteModeView.h"
#include "remote/TransferProgress.h"

#include <array>
#include <mutex>
#include <string>
#include <string_view>

namespace qel::remote {

class RemoteModeDisplay {
  public:
    explicit RemoteModeDisplay(RemoteModeView* view = nullptr) : view_(view) {}

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
    bool exitEnabled() const;
    bool abortEnabled() const;

  private:
    void redrawLocked();

    RemoteModeView* view_;
    mutable std::mutex mutex_;
    std::string status_ = "Not active";
    RemoteLog log_;
    ProgressValues progress_;
    ProgressPicture picture_{0, kInitialProgressText};
    bool exitEnabled_ = true;
    bool abortEnabled_ = false;
};

}  // namespace qel::remote
