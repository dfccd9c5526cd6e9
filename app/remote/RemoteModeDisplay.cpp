#include "remote/RemoteModeDisplay.h"

#include <utility>

namespace qel::remote {

void RemoteModeDisplay::recordLocked(Change change) {
    ++version_;
    if (!followed_) return;
    if (journal_.size() >= kJournalLimit) {
        journal_.pop_front();
        ++dropped_;
    }
    journal_.push_back(std::move(change));
}

void RemoteModeDisplay::setStatus(std::string_view text) {
    std::lock_guard lock(mutex_);
    status_ = text;
    recordLocked({Change::Kind::Status, status_, {}});
}

void RemoteModeDisplay::logLine(std::string_view text) {
    std::lock_guard lock(mutex_);
    const std::string& line = log_.add(text);
    recordLocked({Change::Kind::Line, line, log_.text()});
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
    if (!changed) return;
    Change change{Change::Kind::Progress, picture_.text, {}};
    change.percent = picture_.percent;
    recordLocked(std::move(change));
}

void RemoteModeDisplay::buttonsChangedLocked() {
    Change change{Change::Kind::Buttons, {}, {}};
    change.exitEnabled = exitEnabled_;
    change.abortEnabled = abortEnabled_;
    recordLocked(std::move(change));
}

void RemoteModeDisplay::enableExit(bool enabled) {
    std::lock_guard lock(mutex_);
    exitEnabled_ = enabled;
    buttonsChangedLocked();
}

void RemoteModeDisplay::enableAbort(bool enabled) {
    std::lock_guard lock(mutex_);
    abortEnabled_ = enabled;
    buttonsChangedLocked();
}

void RemoteModeDisplay::follow() {
    std::lock_guard lock(mutex_);
    followed_ = true;
}

size_t RemoteModeDisplay::showChangesOn(RemoteModeView& view) {
    std::deque<Change> changes;
    size_t dropped = 0;
    {
        std::lock_guard lock(mutex_);
        changes.swap(journal_);
        dropped = std::exchange(dropped_, 0);
    }
    // Outside the lock: the view may read the display, and the worker goes on meanwhile.
    for (const Change& change : changes) {
        switch (change.kind) {
            case Change::Kind::Status:
                view.statusShown(change.text);
                break;
            case Change::Kind::Line:
                view.lineLogged(change.text, change.log);
                break;
            case Change::Kind::Progress:
                view.progressShown(change.percent, change.text);
                break;
            case Change::Kind::Buttons:
                view.buttonsShown(change.exitEnabled, change.abortEnabled);
                break;
        }
    }
    return dropped;
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

ProgressPicture RemoteModeDisplay::progressPicture() const {
    std::lock_guard lock(mutex_);
    return picture_;
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

uint64_t RemoteModeDisplay::version() const {
    std::lock_guard lock(mutex_);
    return version_;
}

}  // namespace qel::remote
