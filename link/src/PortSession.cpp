#include "PortSession.h"

namespace cablor {

PortSession::PortSession(Handle& handle, const HandleParams& params, OpenVariant variant,
                         int timeoutMs)
    : handle_(handle), port_(params.port), variant_(variant) {
    PortTable& table = PortTable::instance();
    if (!params.connected) return;
    if (!params.reserved) {
        if (table.openForExchange(port_, timeoutMs, variant, &openedHere_) != OpenResult::Ok) {
            return;
        }
        line_ = openedHere_;
    } else {
        line_ = table.line(port_);
        bool lost = false;
        {
            std::lock_guard guard(handle_.lock);
            lost = handle_.reservationLost;
        }
        // Once lost, the line in the table may be another handle's: only a new open is ours.
        if (lost || line_ == nullptr || line_->device().gone()) {
            line_ = retakeReservedLine(timeoutMs);
        }
    }
    if (line_) {
        line_->setReadTimeout(timeoutMs);
        std::lock_guard guard(handle_.lock);
        handle_.activeLine = line_;
    }
}

std::shared_ptr<SerialLine> PortSession::retakeReservedLine(int timeoutMs) {
    std::shared_ptr<SerialLine> gone;
    {
        std::lock_guard guard(handle_.lock);
        const bool ours = handle_.reservedLine != nullptr && handle_.reservedLine == line_;
        if (!ours && !handle_.reservationLost) return line_;  // another handle's open device
        gone = std::move(handle_.reservedLine);
        handle_.reservationLost = true;
    }
    // The dead device is closed first: a tty that was only hung up is the same device node,
    // and its lock would refuse the new open.
    PortTable& table = PortTable::instance();
    line_.reset();
    if (gone) table.closeAfterExchange(port_, variant_, gone);
    gone.reset();
    std::shared_ptr<SerialLine> fresh;
    if (table.openForExchange(port_, timeoutMs, variant_, &fresh) != OpenResult::Ok) return nullptr;
    std::lock_guard guard(handle_.lock);
    if (!handle_.params.connected || !handle_.params.reserved) {
        table.closeAfterExchange(port_, variant_, fresh);  // released meanwhile
        return nullptr;
    }
    handle_.reservedLine = fresh;
    handle_.reservationLost = false;
    return fresh;
}

PortSession::~PortSession() {
    std::shared_ptr<SerialLine> gone;
    if (line_) {
        std::lock_guard guard(handle_.lock);
        handle_.activeLine.reset();
        // A reserved device that failed for good is closed now, not at the release: the next
        // exchange opens it anew.
        if (!openedHere_ && handle_.reservedLine == line_ && line_->device().gone()) {
            gone = std::move(handle_.reservedLine);
            handle_.reservationLost = true;
        }
    }
    line_.reset();
    if (gone) PortTable::instance().closeAfterExchange(port_, variant_, gone);
    if (openedHere_) PortTable::instance().closeAfterExchange(port_, variant_, openedHere_);
}

}  // namespace cablor
