#include "remote/RemoteModeDisplay.h"

namespace qel::remote {

void RemoteModeDisplay::setStatus(std::string_view text) {
    std::lock_guard lock(mutex_);
    status_ = text;
    if (view_) view_->statusShown(status_);
}

void RemoteModeDisplay::logLine(std::string_view text) {
    std::lock_guard lock(mutex_);
    const std::string& line = log_.add(text);
    if (view_) view_->lineLogged(line, log_.text());
}

void RemoteModeDisplay::setProgressRange(int64_t minimum, int64_t maximum) {
    std::lock_guard lock(mutex_);
    progress_.minimum = minimum;
    progress_.maximum = maximum;
}

void RemoteModeDisplay::setProgressStep(int64_t step) {
    std::lock_guard lock(mutex_);
    progress_.step = step;
}

void RemoteModeDisplay::setProgressMode(ProgressMode mode) {
    std::lock_guard lock(mutex_);
    progress_.mode = mode;
}

void RemoteModeDisplay::setProgressPos(int64_t position) {
    std::lock_guard lock(mutex_);
    progress_.position = position;
    redrawLocked();
}

void RemoteModeDisplay::stepProgress() {
    std::lock_guard lock(mutex_);
    progress_.position += progress_.step;
    redrawLocked();
}

void RemoteModeDisplay::redrawLocked() {
    ProgressPicture next = drawProgress(progress_);
    // The text is only rewritten when it changes; the bar follows every redraw.
    const bool changed = next.percent != picture_.percent || next.text != picture_.text;
    picture_ = std::move(next);
    if (changed && view_) view_->progressShown(picture_.percent, picture_.text);
}

void RemoteModeDisplay::enableExit(bool enabled) {
    std::lock_guard lock(mutex_);
    exitEnabled_ = enabled;
    if (view_) view_->buttonsShown(exitEnabled_, abortEnabled_);
}

void RemoteModeDisplay::enableAbort(bool enabled) {
    std::lock_guard lock(mutex_);
    abortEnabled_ = enabled;
    if (view_) view_->buttonsShown(exitEnabled_, abortEnabled_);
}

std::string RemoteModeDisplay::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

std::string RemoteModeDisplay::logText() const {
    std::lock_guard lock(mutex_);
    return log_.text();
}

std::array<std::string, RemoteLog::kLines> RemoteModeDisplay::logLines() const {
    std::lock_guard lock(mutex_);
    return log_.lines();
}

ProgressValues RemoteModeDisplay::progressValues() const {
    std::lock_guard lock(mutex_);
    return progress_;
}

int RemoteModeDisplay::progressPercent() const {
    std::lock_guard lock(mutex_);
    return picture_.percent;
}

std::string RemoteModeDisplay::progressText() const {
    std::lock_guard lock(mutex_);
    return picture_.text;
}

bool RemoteModeDisplay::exitEnabled() const {
    std::lock_guard lock(mutex_);
    return exitEnabled_;
}

bool RemoteModeDisplay::abortEnabled() const {
    std::lock_guard lock(mutex_);
    return abortEnabled_;
}

}  // namespace qel::remote
