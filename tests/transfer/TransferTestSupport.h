// Helpers for the transfer tests: an operator with scripted answers that records what it was
// asked and shown, a temporary folder, and a link whose calls can be watched.
#pragma once

#include "client/LinkApi.h"
#include "transfer/TransferEngine.h"
#include "transfer/TransferOperator.h"

#include <unistd.h>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace qel::testing {

struct AskedQuestion {
    QuestionKind kind;
    std::string text;
    uint32_t flags;
};

// Answers from queues: ask() with IDCANCEL, confirm() with false and askNewName() with Cancel
// once its queue is empty.
class ScriptedOperator : public TransferOperator {
  public:
    std::deque<uint32_t> answers;
    std::deque<bool> confirmations;
    std::deque<std::optional<std::string>> newNames;
    // Called after a field changed (on the display tick), e.g. to press Cancel mid-transfer.
    std::function<void(TransferField, const std::string&)> onField;

    // Called inside every question before it is answered, as if the operator did something
    // while the box is open.
    std::function<void()> whileAsking;

    uint32_t ask(QuestionKind kind, std::string_view text, uint32_t flags) override {
        if (whileAsking) whileAsking();
        std::lock_guard guard(lock_);
        questions.push_back({kind, std::string(text), flags});
        return pop(answers, IDCANCEL);
    }
    std::optional<std::string> askNewName(std::string_view prompt,
                                          std::string_view defaultText) override {
        if (whileAsking) whileAsking();
        std::lock_guard guard(lock_);
        prompts.push_back(std::string(prompt) + "|" + std::string(defaultText));
        return pop(newNames, std::optional<std::string>());
    }
    bool confirm(QuestionKind kind, BoxButtons buttons, BoxIcon, std::string_view caption,
                 std::string_view text) override {
        if (whileAsking) whileAsking();
        std::lock_guard guard(lock_);
        boxes.push_back({kind, std::string(caption) + "|" + std::string(text),
                         buttons == BoxButtons::RetryCancel ? 1u : 2u});
        return pop(confirmations, false);
    }
    void statusChanged(int status, std::string_view) override {
        std::lock_guard guard(lock_);
        statuses.push_back(status);
    }
    void fieldChanged(TransferField field, std::string_view text) override {
        {
            std::lock_guard guard(lock_);
            fields[field] = std::string(text);
        }
        if (onField) onField(field, std::string(text));
    }
    void progressChanged(int percent, bool) override {
        std::lock_guard guard(lock_);
        percents.push_back(percent);
    }
    void progressWindow(bool shown) override {
        std::lock_guard guard(lock_);
        windows.push_back(shown);
    }
    void beep() override {
        std::lock_guard guard(lock_);
        ++beeps;
    }

    std::vector<std::string> questionTexts() const {
        std::vector<std::string> texts;
        for (const auto& question : questions) texts.push_back(question.text);
        return texts;
    }

    std::vector<AskedQuestion> questions;
    std::vector<AskedQuestion> boxes;  // flags: 1 Retry/Cancel, 2 Yes/No
    std::vector<std::string> prompts;  // "prompt|default"
    std::vector<int> statuses;
    std::map<TransferField, std::string> fields;
    std::vector<int> percents;
    std::vector<bool> windows;
    int beeps = 0;

  private:
    template <typename T>
    static T pop(std::deque<T>& queue, T fallback) {
        if (queue.empty()) return fallback;
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }
    std::mutex lock_;
};

// A serial link of the given type on COM1 at 9600 baud, for a scripted link.
inline LinkSettings linkOfType(int type) {
    LinkSettings settings;
    settings.linkType = type;
    settings.port = 1;
    settings.speed = 9600;
    return settings;
}

// The owner's side of a run, as a dialog does it: ticks until the worker has ended, then once
// more for the last changes. The ticks come faster than a dialog's, so that tests are quick.
inline bool runToEnd(TransferEngine& engine,
                     std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!engine.waitFinished(std::chrono::milliseconds(1))) {
        engine.tick();
        if (std::chrono::steady_clock::now() > deadline) return false;
    }
    engine.tick();
    return true;
}

struct TempFolder {
    std::filesystem::path path;
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qel-transfer-test-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        if (path.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempFolder(TempFolder&& other) noexcept : path(std::exchange(other.path, {})) {}
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string str() const { return path.string() + "/"; }

    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path / name, std::ios::binary) << bytes;
    }
    std::optional<std::string> read(const std::string& name) const {
        std::ifstream in(path / name, std::ios::binary);
        if (!in) return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Every entry of the folder: a partial file left behind shows here.
    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
};

// Forwards to another link and calls hooks before each listen and after a disconnect, so that
// a test can act while the client waits for the CNC.
class WatchedLink final : public LinkApi {
  public:
    explicit WatchedLink(LinkApi& inner) : inner_(inner) {}
    std::function<void()> beforeListen;
    std::function<void()> afterDisconnect;

    int32_t connectEx(DncConnectParams* params) override { return inner_.connectEx(params); }
    int32_t transferEx(int32_t handle, char* buffer, int32_t* length,
                       int32_t expectReply) override {
        return inner_.transferEx(handle, buffer, length, expectReply);
    }
    int32_t listenEx(int32_t handle, char* buffer, int32_t* length) override {
        if (beforeListen) beforeListen();
        return inner_.listenEx(handle, buffer, length);
    }
    int32_t disconnect(int32_t handle) override {
        const int32_t result = inner_.disconnect(handle);
        if (afterDisconnect) afterDisconnect();
        return result;
    }
    int32_t closeHandle(int32_t handle) override { return inner_.closeHandle(handle); }
    int32_t setParamEx(int32_t handle, int32_t id, int32_t value) override {
        return inner_.setParamEx(handle, id, value);
    }
    int32_t getParamEx(int32_t handle, int32_t id, void* result) override {
        return inner_.getParamEx(handle, id, result);
    }
    int32_t getLastError(int32_t handle) override { return inner_.getLastError(handle); }
    int32_t reserve(int32_t handle) override { return inner_.reserve(handle); }
    int32_t release(int32_t handle) override { return inner_.release(handle); }

  private:
    LinkApi& inner_;
};

}  // namespace qel::testing
