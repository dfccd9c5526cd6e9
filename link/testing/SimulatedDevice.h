// An in-process serial device for tests, the fuzzer and benchmarks.
//
// Input is a queue of items: plain bytes, a byte that arrives with a parity error, a byte that
// arrives with a line error (framing, overrun, break), and gaps. Time is virtual: a read that
// finds nothing returns the time-out outcome at once, and a gap makes the next read that
// would wait time out. Only reads and waits without limit really block, until input is pushed
// (from another thread or a responder) or cancel() is called.
//
// A marked byte is delivered alone by read(), and its error flags become visible to the next
// queryStatus(); the input count is the number of bytes before the next gap or marker (1 when
// a marked byte is next), so a burst never mixes good and bad bytes.
//
// Everything the protocol does to the device is logged in order: each write call with its
// bytes, pauses (recorded, not slept), RTS/DTR changes, purges, settings, open and close.
// A responder called after every write plays the CNC. All members are thread-safe.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "SerialDevice.h"

namespace cablor {

class SimulatedDevice : public SerialDevice {
  public:
    enum class LineFault { Framing, Overrun, Break };

    struct LogEntry {
        enum class Kind { Write, Pause, Rts, Dtr, Purge, Settings, Open, Close };
        Kind kind;
        std::vector<uint8_t> bytes;  // Write
        int value = 0;               // Pause: ms; Rts/Dtr: 0/1; Settings: speed
    };

    // Called after every successful write with the bytes of that write call. Runs without the
    // device's lock held, so it may push input, change CTS or read the settings.
    using Responder = std::function<void(SimulatedDevice& device, const uint8_t* bytes, int count)>;
    // Decides whether applySettings accepts a setting: 0, or the errno to refuse with.
    using SettingsHook = std::function<int(const LineSettings& settings)>;

    // --- Input, in arrival order ---
    void push(std::initializer_list<uint8_t> bytes);
    void push(std::string_view bytes);
    void push(const uint8_t* bytes, int count);
    void pushParityError(uint8_t byte);
    void pushLineError(LineFault fault = LineFault::Framing, uint8_t byte = 0);
    void pushGap();
    // Items not yet read (bytes, markers and gaps).
    size_t pendingInput() const;

    void setResponder(Responder responder);

    // --- Modem lines ---
    void setCts(bool high);  // the level getCts reads; not an event
    // CTS changes delivered one per waitEvent(kEventCtsChange); each sets the level.
    void queueCtsChanges(const std::vector<bool>& levels);
    void failCtsReads(bool fail);  // getCts fails while set
    bool cts() const;
    bool rts() const;
    bool dtr() const;

    // --- Settings ---
    void setSettingsHook(SettingsHook hook);
    void refuseSpeed(uint32_t speed, int error = 22 /* EINVAL */);
    LineSettings currentSettings() const;
    std::vector<LineSettings> appliedSettings() const;

    // --- Failures ---
    // The first okWrites write calls succeed, later ones fail; negative: never fail.
    void failWritesAfter(int okWrites);
    void failStatusQueries(bool fail);
    bool cancelled() const;
    // A new open of the same simulated port starts without the cancellation of the last one.
    void reopen();
    void closed();

    // --- What the protocol did ---
    std::vector<LogEntry> log() const;
    void clearLog();
    // All bytes written, in order, across write calls.
    std::vector<uint8_t> written() const;
    // The bytes of each write call.
    std::vector<std::vector<uint8_t>> writes() const;
    std::vector<int> pauses() const;
    // The time-out (ms) of every read that ended in the time-out outcome, in order.
    std::vector<int> timedOutReads() const;
    // The log as text: write calls as "[10 02 4D]", pauses "~20", "RTS1"/"RTS0", "DTR1"/"DTR0",
    // "PURGE", "SET9600", "OPEN", "CLOSE", separated by blanks.
    std::string trace() const;

    // --- SerialDevice ---
    int applySettings(const LineSettings& settings) override;
    bool queryStatus(LineErrors* errors, int* inputCount) override;
    int read(uint8_t* buffer, int max, int timeoutMs) override;
    bool write(const uint8_t* bytes, int count) override;
    bool getCts(bool* cts) override;
    bool setRts(bool on) override;
    bool setDtr(bool on) override;
    bool waitEvent(unsigned mask) override;
    void purgeInput() override;
    void pause(int ms) override;
    void cancel() override;

  private:
    struct Item {
        enum class Kind { Byte, Marked, Gap };
        Kind kind;
        uint8_t byte = 0;
        LineErrors errors;  // Marked
    };

    void pushItem(const Item& item);
    int availableLocked() const;
    void dropGapsLocked();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item> input_;
    LineErrors pendingErrors_;
    Responder responder_;
    bool cts_ = true;
    std::deque<bool> ctsChanges_;
    bool failCts_ = false;
    bool rts_ = false;
    bool dtr_ = false;
    SettingsHook settingsHook_;
    std::map<uint32_t, int> refusedSpeeds_;
    LineSettings current_;
    std::vector<LineSettings> applied_;
    int okWrites_ = -1;
    int writeCalls_ = 0;
    bool failStatus_ = false;
    bool cancelled_ = false;
    std::vector<LogEntry> log_;
    std::vector<int> timedOutReads_;
};

// Simulated COM ports 1..4 for the port table: opener() hands out devices that all act on the
// same SimulatedDevice per port, so a test scripts and inspects a port across opens and closes.
class SimulatedPorts {
  public:
    SimulatedPorts();

    // The simulated device behind COM port n (created on first use).
    std::shared_ptr<SimulatedDevice> port(int n);
    // Makes opening COM port n fail with errno error (0: open again). ENOENT: no such
    // device; EBUSY: held by another program.
    void failOpen(int n, int error);
    int openCount(int n) const;
    bool isOpen(int n) const;

    DeviceOpener opener();

  private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace cablor
