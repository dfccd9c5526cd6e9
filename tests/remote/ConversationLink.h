// A scripted CNC for remote-mode tests: the test queues what the CNC sends, in order, and reads
// what the PC sent. The PC's listen and its exchanges that expect a reply both take the next
// queued telegram, as on a real line. Thread-safe, so a test can talk to a running worker.
#pragma once

#include "client/LinkApi.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qel::remote::testing {

class ConversationLink final : public LinkApi {
  public:
    static constexpr int32_t kHandle = 4711;

    // When nothing is queued: true waits until something is or the link is disconnected (a TCP
    // server waiting for its CNC); false fails at once with the time-out error 12.
    explicit ConversationLink(bool waitWhenSilent = false) : waitWhenSilent_(waitWhenSilent) {}

    void cncSends(std::string telegram) { queue({true, std::move(telegram), 0}); }
    // The next receive of the PC fails with this error code.
    void receiveFails(int errorCode) { queue({false, {}, errorCode}); }

    // The PC's telegrams so far.
    std::vector<std::string> sent() const {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    // The PC's next telegram not yet taken by this call, waiting for it up to limit.
    std::optional<std::string> nextSent(
        std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, limit, [&] { return taken_ < sent_.size(); })) {
            return std::nullopt;
        }
        return sent_[taken_++];
    }
    // Waits until the PC waits for the CNC with nothing queued (or limit passes).
    bool waitUntilPcListens(std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return waiting_ > 0 && incoming_.empty(); });
    }
    bool connected() const {
        std::lock_guard lock(mutex_);
        return connected_;
    }
    int count(const std::string& what) const {
        std::lock_guard lock(mutex_);
        auto found = counts_.find(what);
        return found == counts_.end() ? 0 : found->second;
    }
    void failConnect() {
        std::lock_guard lock(mutex_);
        connectSucceeds_ = false;
    }
    void clearIncoming() {
        std::lock_guard lock(mutex_);
        incoming_.clear();
    }
    // After this many time-outs in a row with nothing queued, receiving fails as a lost link.
    void setSilenceLimit(int timeouts) {
        std::lock_guard lock(mutex_);
        silenceLimit_ = timeouts;
    }
    void failReserve() {
        std::lock_guard lock(mutex_);
        reserveSucceeds_ = false;
    }
    void staleErrors(std::vector<int> codes) {
        std::lock_guard lock(mutex_);
        errors_ = std::move(codes);
    }
    void setParam(int32_t id, int32_t value) {
        std::lock_guard lock(mutex_);
        params_[id] = value;
    }
    std::vector<std::pair<int32_t, int32_t>> paramsSet() const {
        std::lock_guard lock(mutex_);
        return paramsSet_;
    }
    DncConnectParams lastConnect() const {
        std::lock_guard lock(mutex_);
        return lastConnect_;
    }

    int32_t connectEx(DncConnectParams* params) override {
        std::lock_guard lock(mutex_);
        ++counts_["connect"];
        lastConnect_ = *params;
        if (!connectSucceeds_) return fail(DNC_ERR_CONNECT);
        connected_ = true;
        changed_.notify_all();
        return kHandle;
    }
    // Runs with each telegram of the PC before it is recorded, on the PC's thread, so that a
    // test can act at a point of the conversation.
    std::function<void(const std::string&)> onSent;

    int32_t transferEx(int32_t, char* buffer, int32_t* length, int32_t expectReply) override {
        if (onSent) onSent(std::string(buffer, static_cast<size_t>(*length)));
        std::unique_lock lock(mutex_);
        if (!connected_) return fail(DNC_ERR_SEND);
        sent_.emplace_back(buffer, static_cast<size_t>(*length));
        changed_.notify_all();
        if (expectReply == 0) return 1;
        return receive(lock, buffer, length);
    }
    int32_t listenEx(int32_t, char* buffer, int32_t* length) override {
        std::unique_lock lock(mutex_);
        return receive(lock, buffer, length);
    }
    int32_t disconnect(int32_t) override {
        std::lock_guard lock(mutex_);
        ++counts_["disconnect"];
        if (!connected_) return fail(DNC_ERR_NOT_CONNECTED);
        connected_ = false;
        changed_.notify_all();
        return 1;
    }
    int32_t closeHandle(int32_t) override { return 1; }
    int32_t setParamEx(int32_t, int32_t id, int32_t value) override {
        std::lock_guard lock(mutex_);
        paramsSet_.emplace_back(id, value);
        return 1;
    }
    int32_t getParamEx(int32_t, int32_t id, void* result) override {
        std::lock_guard lock(mutex_);
        auto found = params_.find(id);
        if (found == params_.end()) return 0;
        std::memcpy(result, &found->second, sizeof found->second);
        return 1;
    }
    int32_t getLastError(int32_t) override {
        std::lock_guard lock(mutex_);
        if (errors_.empty()) return 0;
        const int code = errors_.back();
        errors_.pop_back();
        return code;
    }
    int32_t reserve(int32_t) override {
        std::lock_guard lock(mutex_);
        ++counts_["reserve"];
        return reserveSucceeds_ ? 1 : fail(DNC_ERR_PORT);
    }
    int32_t release(int32_t) override {
        std::lock_guard lock(mutex_);
        ++counts_["release"];
        return 1;
    }

  private:
    struct Incoming {
        bool ok;
        std::string text;
        int errorCode;
    };

    void queue(Incoming incoming) {
        std::lock_guard lock(mutex_);
        incoming_.push_back(std::move(incoming));
        changed_.notify_all();
    }
    int32_t fail(int code) {
        errors_.push_back(code);
        return 0;
    }
    int32_t receive(std::unique_lock<std::mutex>& lock, char* buffer, int32_t* length) {
        ++waiting_;
        changed_.notify_all();
        if (waitWhenSilent_) {
            changed_.wait(lock, [&] { return !incoming_.empty() || !connected_; });
        }
        --waiting_;
        if (!connected_) return fail(DNC_ERR_CONNECTION);
        if (incoming_.empty()) {
            if (silenceLimit_ >= 0 && ++silentReceives_ > silenceLimit_)
                return fail(DNC_ERR_CONNECTION);
            return fail(DNC_ERR_TIMEOUT);
        }
        silentReceives_ = 0;
        Incoming next = std::move(incoming_.front());
        incoming_.pop_front();
        if (!next.ok) return fail(next.errorCode);
        const size_t copied = std::min<size_t>(next.text.size(), DNC_MAX_MESSAGE);
        std::memcpy(buffer, next.text.data(), copied);
        *length = static_cast<int32_t>(copied);
        return 1;
    }

    const bool waitWhenSilent_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Incoming> incoming_;
    std::vector<std::string> sent_;
    size_t taken_ = 0;
    int waiting_ = 0;
    bool connected_ = false;
    bool reserveSucceeds_ = true;
    bool connectSucceeds_ = true;
    int silenceLimit_ = -1;
    int silentReceives_ = 0;
    std::vector<int> errors_;
    std::map<int32_t, int32_t> params_{{DNC_PARAM_MAX_TELEGRAM, DNC_MAX_MESSAGE}};
    std::vector<std::pair<int32_t, int32_t>> paramsSet_;
    std::map<std::string, int> counts_;
    DncConnectParams lastConnect_{};
};

}  // namespace qel::remote::testing
