// A scripted link for tests: records every telegram and call, and answers with queued replies.
#pragma once

#include "client/LinkApi.h"

#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qel::testing {

struct SentTelegram {
    std::string data;
    bool expectReply;
};

// One scripted answer of the library: a reply (or a failure with its error code). A reply
// length may claim more than it carries, as a broken link could.
struct FakeReply {
    bool ok = true;
    std::string data;
    int errorCode = 0;
    std::optional<int32_t> claimedLength;  // none: data.size()
};

inline FakeReply reply(std::string data) {
    return {true, std::move(data), 0, std::nullopt};
}
inline FakeReply failure(int code) {
    return {false, {}, code, std::nullopt};
}

class FakeLink final : public LinkApi {
  public:
    static constexpr int32_t kHandle = 67219;

    int32_t connectEx(DncConnectParams* params) override {
        lastParams = *params;
        lastHostName = params->hostName ? params->hostName : "";
        ++connects;
        if (!connectSucceeds) {
            errors.push_back(connectError);
            return 0;
        }
        connected = true;
        return kHandle;
    }
    int32_t transferEx(int32_t, char* buffer, int32_t* length, int32_t expectReply) override {
        sent.push_back({std::string(buffer, static_cast<size_t>(*length)), expectReply != 0});
        if (beforeAnswer) beforeAnswer(sent.back().data);
        if (failSends) return fail(DNC_ERR_SEND);
        if (expectReply == 0) return 1;
        return deliver(replies, buffer, length);
    }
    int32_t listenEx(int32_t, char* buffer, int32_t* length) override {
        listenCapacities.push_back(*length);
        return deliver(listens, buffer, length);
    }
    int32_t disconnect(int32_t) override {
        ++disconnects;
        if (!connected) return fail(DNC_ERR_NOT_CONNECTED);
        connected = false;
        return 1;
    }
    int32_t closeHandle(int32_t) override {
        ++closes;
        return connected ? fail(DNC_ERR_STILL_CONNECTED) : 1;
    }
    int32_t setParamEx(int32_t, int32_t id, int32_t value) override {
        setParams.emplace_back(id, value);
        return 1;
    }
    int32_t getParamEx(int32_t, int32_t id, void* result) override {
        auto found = params.find(id);
        if (found == params.end()) return 0;
        int32_t value = found->second;
        std::memcpy(result, &value, sizeof value);
        return 1;
    }
    int32_t getLastError(int32_t) override {
        if (errors.empty()) return 0;
        const int code = errors.back();
        errors.pop_back();
        return code;
    }
    int32_t reserve(int32_t) override {
        ++reserves;
        return reserveSucceeds ? 1 : fail(DNC_ERR_PORT);
    }
    int32_t release(int32_t) override {
        ++releases;
        return 1;
    }

    std::vector<std::string> sentTexts() const {
        std::vector<std::string> texts;
        for (const auto& telegram : sent) texts.push_back(telegram.data);
        return texts;
    }

    // Script. beforeAnswer runs on the caller's thread with each telegram sent, before its
    // answer, so that a test can act while the CNC "answers".
    std::function<void(const std::string&)> beforeAnswer;
    std::deque<FakeReply> replies;  // answers to transferEx with expectReply
    std::deque<FakeReply> listens;  // answers to listenEx
    std::map<int32_t, int32_t> params{{DNC_PARAM_MAX_TELEGRAM, DNC_MAX_MESSAGE}};
    bool connectSucceeds = true;
    int connectError = DNC_ERR_CONNECT;
    bool reserveSucceeds = true;
    bool failSends = false;

    // Record.
    DncConnectParams lastParams{};
    std::string lastHostName;
    std::vector<SentTelegram> sent;
    std::vector<int32_t> listenCapacities;
    std::vector<std::pair<int32_t, int32_t>> setParams;
    std::vector<int> errors;
    bool connected = false;
    int connects = 0, disconnects = 0, closes = 0, reserves = 0, releases = 0;

  private:
    int32_t fail(int code) {
        errors.push_back(code);
        return 0;
    }
    // An empty script means the CNC stays silent: the library's time-out.
    int32_t deliver(std::deque<FakeReply>& script, char* buffer, int32_t* length) {
        if (script.empty()) return fail(DNC_ERR_TIMEOUT);
        FakeReply next = std::move(script.front());
        script.pop_front();
        if (!next.ok) return fail(next.errorCode);
        // Never more than the room the library promises to use.
        const size_t copied = std::min<size_t>(next.data.size(), DNC_MAX_MESSAGE);
        std::memcpy(buffer, next.data.data(), copied);
        *length = next.claimedLength.value_or(static_cast<int32_t>(copied));
        return 1;
    }
};

}  // namespace qel::testing
