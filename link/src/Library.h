// Library-wide state: the handle list, the handle-less error slot, the kept listening socket
// and the attach counter. Created at load, destroyed at unload.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "Handle.h"

namespace cablor {

inline constexpr int32_t kFirstHandle = 67219;

class Library {
  public:
    static Library& instance();
    static void destroy();  // library unload

    HandlePtr find(int32_t value);
    // Gives the handle its value (67219 + open handles, or the next free one) and appends it.
    void add(const HandlePtr& handle);
    enum class CloseResult { Closed, StillConnected, NoSuchHandle };
    // Removes a disconnected handle; a connected one stays and gets error 1.
    CloseResult close(int32_t value);
    std::vector<HandlePtr> handles();
    int handleCount();

    // Failures without a handle.
    void setHandlelessError(int code) { handlelessError_.store(code); }
    int takeHandlelessError() { return handlelessError_.exchange(0); }

    // The kept listening socket (DNC_FLAG_KEEP_LISTENER), guarded by the library lock.
    SocketPtr keptListener(int port);
    void keepListener(const SocketPtr& socket, int port);
    void dropKeptListener();

    std::atomic<int> attachCount{0};
    std::mutex& lock() { return mutex_; }

  private:
    std::mutex mutex_;
    std::vector<HandlePtr> handles_;  // creation order
    std::atomic<int> handlelessError_{0};
    SocketPtr keptListener_;
    int keptPort_ = 0;
};

}  // namespace cablor
