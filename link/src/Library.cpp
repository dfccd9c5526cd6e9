#include "Library.h"

#include <algorithm>

namespace cablor {

namespace {
Library* theLibrary = nullptr;
}

Library& Library::instance() {
    // Made on first use and destroyed only by the unload step, which runs after every static
    // object of the process is gone.
    if (theLibrary == nullptr) theLibrary = new Library;
    return *theLibrary;
}

void Library::destroy() {
    delete theLibrary;
    theLibrary = nullptr;
}

HandlePtr Library::find(int32_t value) {
    std::lock_guard guard(mutex_);
    for (const HandlePtr& h : handles_) {
        if (h->value == value) return h;
    }
    return nullptr;
}

void Library::add(const HandlePtr& handle) {
    std::lock_guard guard(mutex_);
    auto taken = [&](int32_t v) {
        return std::any_of(handles_.begin(), handles_.end(),
                           [v](const HandlePtr& h) { return h->value == v; });
    };
    int32_t value = kFirstHandle + static_cast<int32_t>(handles_.size());
    while (taken(value)) ++value;
    handle->value = value;
    handles_.push_back(handle);
}

Library::CloseResult Library::close(int32_t value) {
    std::lock_guard guard(mutex_);
    auto it = std::find_if(handles_.begin(), handles_.end(),
                           [value](const HandlePtr& h) { return h->value == value; });
    if (it == handles_.end()) return CloseResult::NoSuchHandle;
    {
        std::lock_guard handleGuard((*it)->lock);
        if ((*it)->params.connected) {
            (*it)->errors.push(1);
            return CloseResult::StillConnected;
        }
    }
    handles_.erase(it);
    return CloseResult::Closed;
}

std::vector<HandlePtr> Library::handles() {
    std::lock_guard guard(mutex_);
    return handles_;
}

int Library::handleCount() {
    std::lock_guard guard(mutex_);
    return static_cast<int>(handles_.size());
}

SocketPtr Library::keptListener(int port) {
    std::lock_guard guard(mutex_);
    return keptListener_ && keptPort_ == port ? keptListener_ : nullptr;
}

void Library::keepListener(const SocketPtr& socket, int port) {
    std::lock_guard guard(mutex_);
    keptListener_ = socket;
    keptPort_ = port;
}

void Library::dropKeptListener() {
    std::lock_guard guard(mutex_);
    keptListener_.reset();
    keptPort_ = 0;
}

}  // namespace cablor
