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
    }
    if (line_) {
        line_->setReadTimeout(timeoutMs);
        std::lock_guard guard(handle_.lock);
        handle_.activeLine = line_;
    }
}

PortSession::~PortSession() {
    if (line_) {
        std::lock_guard guard(handle_.lock);
        handle_.activeLine.reset();
    }
    line_.reset();
    if (openedHere_) PortTable::instance().closeAfterExchange(port_, variant_, openedHere_);
}

}  // namespace cablor
