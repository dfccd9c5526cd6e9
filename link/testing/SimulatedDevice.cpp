#include "SimulatedDevice.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace cablor {

// --- Input ---

void SimulatedDevice::pushItem(const Item& item) {
    std::lock_guard lock(mutex_);
    input_.push_back(item);
    changed_.notify_all();
}

void SimulatedDevice::push(std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) pushItem({Item::Kind::Byte, b, {}});
}

void SimulatedDevice::push(std::string_view bytes) {
    for (char c : bytes) pushItem({Item::Kind::Byte, static_cast<uint8_t>(c), {}});
}

void SimulatedDevice::push(const uint8_t* bytes, int count) {
    std::lock_guard lock(mutex_);
    for (int i = 0; i < count; ++i) input_.push_back({Item::Kind::Byte, bytes[i], {}});
    changed_.notify_all();
}

void SimulatedDevice::pushParityError(uint8_t byte) {
    LineErrors errors;
    errors.parity = true;
    pushItem({Item::Kind::Marked, byte, errors});
}

void SimulatedDevice::pushLineError(LineFault fault, uint8_t byte) {
    LineErrors errors;
    errors.framing = fault == LineFault::Framing;
    errors.overrun = fault == LineFault::Overrun;
    errors.brk = fault == LineFault::Break;
    pushItem({Item::Kind::Marked, byte, errors});
}

void SimulatedDevice::pushGap() {
    pushItem({Item::Kind::Gap, 0, {}});
}

size_t SimulatedDevice::pendingInput() const {
    std::lock_guard lock(mutex_);
    return input_.size();
}

void SimulatedDevice::setResponder(Responder responder) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

// --- Modem lines ---

void SimulatedDevice::setCts(bool high) {
    std::lock_guard lock(mutex_);
    cts_ = high;
}

void SimulatedDevice::queueCtsChanges(const std::vector<bool>& levels) {
    std::lock_guard lock(mutex_);
    ctsChanges_.insert(ctsChanges_.end(), levels.begin(), levels.end());
    changed_.notify_all();
}

void SimulatedDevice::failCtsReads(bool fail) {
    std::lock_guard lock(mutex_);
    failCts_ = fail;
}

bool SimulatedDevice::cts() const {
    std::lock_guard lock(mutex_);
    return cts_;
}

bool SimulatedDevice::rts() const {
    std::lock_guard lock(mutex_);
    return rts_;
}

bool SimulatedDevice::dtr() const {
    std::lock_guard lock(mutex_);
    return dtr_;
}

// --- Settings ---

void SimulatedDevice::setSettingsHook(SettingsHook hook) {
    std::lock_guard lock(mutex_);
    settingsHook_ = std::move(hook);
}

void SimulatedDevice::refuseSpeed(uint32_t speed, int error) {
    std::lock_guard lock(mutex_);
    refusedSpeeds_[speed] = error;
}

LineSettings SimulatedDevice::currentSettings() const {
    std::lock_guard lock(mutex_);
    return current_;
}

std::vector<LineSettings> SimulatedDevice::appliedSettings() const {
    std::lock_guard lock(mutex_);
    return applied_;
}

// --- Failures ---

void SimulatedDevice::failWritesAfter(int okWrites) {
    std::lock_guard lock(mutex_);
    okWrites_ = okWrites;
    writeCalls_ = 0;
}

void SimulatedDevice::failStatusQueries(bool fail) {
    std::lock_guard lock(mutex_);
    failStatus_ = fail;
}

bool SimulatedDevice::cancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

void SimulatedDevice::reopen() {
    std::lock_guard lock(mutex_);
    cancelled_ = false;
    log_.push_back({LogEntry::Kind::Open, {}, 0});
}

void SimulatedDevice::closed() {
    std::lock_guard lock(mutex_);
    log_.push_back({LogEntry::Kind::Close, {}, 0});
}

// --- Log ---

std::vector<SimulatedDevice::LogEntry> SimulatedDevice::log() const {
    std::lock_guard lock(mutex_);
    return log_;
}

void SimulatedDevice::clearLog() {
    std::lock_guard lock(mutex_);
    log_.clear();
    timedOutReads_.clear();
}

std::vector<uint8_t> SimulatedDevice::written() const {
    std::lock_guard lock(mutex_);
    std::vector<uint8_t> all;
    for (const LogEntry& e : log_) {
        if (e.kind == LogEntry::Kind::Write) all.insert(all.end(), e.bytes.begin(), e.bytes.end());
    }
    return all;
}

std::vector<std::vector<uint8_t>> SimulatedDevice::writes() const {
    std::lock_guard lock(mutex_);
    std::vector<std::vector<uint8_t>> calls;
    for (const LogEntry& e : log_) {
        if (e.kind == LogEntry::Kind::Write) calls.push_back(e.bytes);
    }
    return calls;
}

std::vector<int> SimulatedDevice::pauses() const {
    std::lock_guard lock(mutex_);
    std::vector<int> ms;
    for (const LogEntry& e : log_) {
        if (e.kind == LogEntry::Kind::Pause) ms.push_back(e.value);
    }
    return ms;
}

std::vector<int> SimulatedDevice::timedOutReads() const {
    std::lock_guard lock(mutex_);
    return timedOutReads_;
}

std::string SimulatedDevice::trace() const {
    std::lock_guard lock(mutex_);
    std::string text;
    for (const LogEntry& e : log_) {
        if (!text.empty()) text += ' ';
        switch (e.kind) {
            case LogEntry::Kind::Write: {
                text += '[';
                for (size_t i = 0; i < e.bytes.size(); ++i) {
                    char hex[4];
                    std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", e.bytes[i]);
                    text += hex;
                }
                text += ']';
                break;
            }
            case LogEntry::Kind::Pause:
                text += '~' + std::to_string(e.value);
                break;
            case LogEntry::Kind::Rts:
                text += "RTS" + std::to_string(e.value);
                break;
            case LogEntry::Kind::Dtr:
                text += "DTR" + std::to_string(e.value);
                break;
            case LogEntry::Kind::Purge:
                text += "PURGE";
                break;
            case LogEntry::Kind::Settings:
                text += "SET" + std::to_string(e.value);
                break;
            case LogEntry::Kind::Open:
                text += "OPEN";
                break;
            case LogEntry::Kind::Close:
                text += "CLOSE";
                break;
        }
    }
    return text;
}

// --- SerialDevice ---

int SimulatedDevice::applySettings(const LineSettings& settings) {
    SettingsHook hook;
    {
        std::lock_guard lock(mutex_);
        if (auto it = refusedSpeeds_.find(settings.speed); it != refusedSpeeds_.end()) {
            return it->second;
        }
        hook = settingsHook_;
    }
    if (hook) {
        if (int error = hook(settings); error != 0) return error;
    }
    std::lock_guard lock(mutex_);
    current_ = settings;
    applied_.push_back(settings);
    log_.push_back({LogEntry::Kind::Settings, {}, static_cast<int>(settings.speed)});
    return 0;
}

// Bytes a read can deliver now: plain bytes up to the next gap or marker, or the marked
// byte alone when it is next.
int SimulatedDevice::availableLocked() const {
    int n = 0;
    for (const Item& item : input_) {
        if (item.kind == Item::Kind::Marked) return n == 0 ? 1 : n;
        if (item.kind == Item::Kind::Gap) return n;
        ++n;
    }
    return n;
}

void SimulatedDevice::dropGapsLocked() {
    while (!input_.empty() && input_.front().kind == Item::Kind::Gap) input_.pop_front();
}

bool SimulatedDevice::queryStatus(LineErrors* errors, int* inputCount) {
    std::lock_guard lock(mutex_);
    if (failStatus_ || cancelled_) return false;
    *errors = pendingErrors_;
    pendingErrors_ = {};
    *inputCount = availableLocked();
    return true;
}

int SimulatedDevice::read(uint8_t* buffer, int max, int timeoutMs) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (cancelled_) return -1;
        if (max <= 0) return 0;
        if (!input_.empty()) {
            const Item& head = input_.front();
            if (head.kind == Item::Kind::Gap) {
                // The gap is the silence a waiting read times out on.
                if (timeoutMs != 0) input_.pop_front();
                timedOutReads_.push_back(timeoutMs);
                return 0;
            }
            if (head.kind == Item::Kind::Marked) {
                buffer[0] = head.byte;
                pendingErrors_.parity |= head.errors.parity;
                pendingErrors_.framing |= head.errors.framing;
                pendingErrors_.overrun |= head.errors.overrun;
                pendingErrors_.brk |= head.errors.brk;
                input_.pop_front();
                return 1;
            }
            int n = 0;
            while (n < max && !input_.empty() && input_.front().kind == Item::Kind::Byte) {
                buffer[n++] = input_.front().byte;
                input_.pop_front();
            }
            return n;
        }
        if (timeoutMs >= 0) {
            // Virtual time: nothing comes, so the time-out is over at once.
            timedOutReads_.push_back(timeoutMs);
            return 0;
        }
        changed_.wait(lock);
    }
}

bool SimulatedDevice::write(const uint8_t* bytes, int count) {
    Responder responder;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) return false;
        ++writeCalls_;
        if (okWrites_ >= 0 && writeCalls_ > okWrites_) return false;
        log_.push_back({LogEntry::Kind::Write, std::vector<uint8_t>(bytes, bytes + count), 0});
        responder = responder_;
    }
    if (responder) responder(*this, bytes, count);
    return true;
}

bool SimulatedDevice::getCts(bool* cts) {
    std::lock_guard lock(mutex_);
    if (failCts_ || cancelled_) return false;
    *cts = cts_;
    return true;
}

bool SimulatedDevice::setRts(bool on) {
    std::lock_guard lock(mutex_);
    if (cancelled_) return false;
    rts_ = on;
    log_.push_back({LogEntry::Kind::Rts, {}, on ? 1 : 0});
    return true;
}

bool SimulatedDevice::setDtr(bool on) {
    std::lock_guard lock(mutex_);
    if (cancelled_) return false;
    dtr_ = on;
    log_.push_back({LogEntry::Kind::Dtr, {}, on ? 1 : 0});
    return true;
}

bool SimulatedDevice::waitEvent(unsigned mask) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (cancelled_) return false;
        dropGapsLocked();  // a wait without limit outlasts any silence
        if (!input_.empty()) {
            const bool marked = input_.front().kind == Item::Kind::Marked;
            if ((mask & kEventCharacter) != 0 || (marked && (mask & kEventLineError) != 0)) {
                return true;
            }
        }
        if ((mask & kEventCtsChange) != 0 && !ctsChanges_.empty()) {
            cts_ = ctsChanges_.front();
            ctsChanges_.pop_front();
            return true;
        }
        changed_.wait(lock);
    }
}

void SimulatedDevice::purgeInput() {
    std::lock_guard lock(mutex_);
    input_.clear();
    pendingErrors_ = {};
    log_.push_back({LogEntry::Kind::Purge, {}, 0});
}

void SimulatedDevice::pause(int ms) {
    std::lock_guard lock(mutex_);
    log_.push_back({LogEntry::Kind::Pause, {}, ms});
}

void SimulatedDevice::cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    changed_.notify_all();
}

// --- Simulated ports for the port table ---

struct SimulatedPorts::State {
    std::mutex mutex;
    std::map<int, std::shared_ptr<SimulatedDevice>> devices;
    std::map<int, int> openFailures;
    std::map<int, int> opens;
    std::map<int, int> openNow;

    std::shared_ptr<SimulatedDevice> deviceLocked(int n) {
        auto& device = devices[n];
        if (!device) device = std::make_shared<SimulatedDevice>();
        return device;
    }
};

namespace {

// One open of a simulated port: forwards to the port's device and logs the close.
class SimulatedPortHandle : public SerialDevice {
  public:
    SimulatedPortHandle(std::shared_ptr<SimulatedDevice> device, std::function<void()> onClose)
        : device_(std::move(device)), onClose_(std::move(onClose)) {
        device_->reopen();
    }
    ~SimulatedPortHandle() override {
        device_->closed();
        onClose_();
    }
    SimulatedPortHandle(const SimulatedPortHandle&) = delete;
    SimulatedPortHandle& operator=(const SimulatedPortHandle&) = delete;

    int applySettings(const LineSettings& s) override { return device_->applySettings(s); }
    bool queryStatus(LineErrors* e, int* n) override { return device_->queryStatus(e, n); }
    int read(uint8_t* b, int max, int ms) override { return device_->read(b, max, ms); }
    bool write(const uint8_t* b, int n) override { return device_->write(b, n); }
    bool getCts(bool* cts) override { return device_->getCts(cts); }
    bool setRts(bool on) override { return device_->setRts(on); }
    bool setDtr(bool on) override { return device_->setDtr(on); }
    bool waitEvent(unsigned mask) override { return device_->waitEvent(mask); }
    void purgeInput() override { device_->purgeInput(); }
    void pause(int ms) override { device_->pause(ms); }
    void cancel() override { device_->cancel(); }

  private:
    std::shared_ptr<SimulatedDevice> device_;
    std::function<void()> onClose_;
};

}  // namespace

SimulatedPorts::SimulatedPorts() : state_(std::make_shared<State>()) {}

std::shared_ptr<SimulatedDevice> SimulatedPorts::port(int n) {
    std::lock_guard lock(state_->mutex);
    return state_->deviceLocked(n);
}

void SimulatedPorts::failOpen(int n, int error) {
    std::lock_guard lock(state_->mutex);
    state_->openFailures[n] = error;
}

int SimulatedPorts::openCount(int n) const {
    std::lock_guard lock(state_->mutex);
    auto it = state_->opens.find(n);
    return it == state_->opens.end() ? 0 : it->second;
}

bool SimulatedPorts::isOpen(int n) const {
    std::lock_guard lock(state_->mutex);
    auto it = state_->openNow.find(n);
    return it != state_->openNow.end() && it->second > 0;
}

DeviceOpener SimulatedPorts::opener() {
    std::shared_ptr<State> state = state_;
    return [state](int n, DeviceOpenFailure* failure) -> std::unique_ptr<SerialDevice> {
        std::shared_ptr<SimulatedDevice> device;
        {
            std::lock_guard lock(state->mutex);
            int error = n < 1 || n > 4 ? ENOENT : 0;
            if (auto it = state->openFailures.find(n); it != state->openFailures.end()) {
                error = it->second;
            }
            if (error == 0 && state->openNow[n] > 0) error = EBUSY;  // opened exclusively
            if (error != 0) {
                if (failure != nullptr) *failure = {"sim:COM" + std::to_string(n), error};
                return nullptr;
            }
            device = state->deviceLocked(n);
            ++state->opens[n];
            ++state->openNow[n];
        }
        return std::make_unique<SimulatedPortHandle>(device, [state, n] {
            std::lock_guard lock(state->mutex);
            --state->openNow[n];
        });
    };
}

}  // namespace cablor
