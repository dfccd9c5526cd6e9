#include "transfer/DisplayChanges.h"

#include <utility>

namespace qel {

DisplayChange DisplayChange::status(int code, std::string_view text) {
    DisplayChange change;
    change.kind = Kind::Status;
    change.value = code;
    change.text = std::string(text);
    return change;
}

DisplayChange DisplayChange::fieldText(TransferField field, std::string_view text) {
    DisplayChange change;
    change.kind = Kind::Field;
    change.field = field;
    change.text = std::string(text);
    return change;
}

DisplayChange DisplayChange::progress(int percent, bool visible) {
    DisplayChange change;
    change.kind = Kind::Progress;
    change.value = percent;
    change.flag = visible;
    return change;
}

DisplayChange DisplayChange::progressWindow(bool shown) {
    DisplayChange change;
    change.kind = Kind::ProgressWindow;
    change.flag = shown;
    return change;
}

DisplayChange DisplayChange::beep() {
    DisplayChange change;
    change.kind = Kind::Beep;
    return change;
}

void DisplayChange::showOn(TransferOperator& op) const {
    switch (kind) {
        case Kind::Status:
            op.statusChanged(value, text);
            break;
        case Kind::Field:
            op.fieldChanged(field, text);
            break;
        case Kind::Progress:
            op.progressChanged(value, flag);
            break;
        case Kind::ProgressWindow:
            op.progressWindow(flag);
            break;
        case Kind::Beep:
            op.beep();
            break;
    }
}

bool DisplayChanges::startsSomethingNew(const DisplayChange& change) {
    return change.kind != DisplayChange::Kind::Progress &&
           !(change.kind == DisplayChange::Kind::Field && change.field != TransferField::FileName);
}

bool DisplayChanges::sameValue(const DisplayChange& a, const DisplayChange& b) {
    return a.kind == b.kind && (a.kind != DisplayChange::Kind::Field || a.field == b.field);
}

void DisplayChanges::add(DisplayChange change) {
    std::lock_guard guard(lock_);
    if (startsSomethingNew(change)) {
        changes_.push_back(std::move(change));
        lastBoundary_ = changes_.size();
        return;
    }
    // At most one change per field and the bar stand after the last boundary: a short search.
    for (size_t i = lastBoundary_; i < changes_.size(); ++i) {
        if (sameValue(changes_[i], change)) {
            changes_[i] = std::move(change);
            return;
        }
    }
    changes_.push_back(std::move(change));
}

std::vector<DisplayChange> DisplayChanges::take() {
    std::lock_guard guard(lock_);
    lastBoundary_ = 0;
    return std::exchange(changes_, {});
}

}  // namespace qel
