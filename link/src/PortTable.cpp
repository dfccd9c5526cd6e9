#include "PortTable.h"

#include <chrono>
#include <thread>

#include "ComPortDevice.h"
#include "TermiosDevice.h"

namespace cablor {
namespace {

constexpr int kRecordLockTries = 5000;
constexpr uint8_t ENQ = 0x05;
constexpr uint8_t EOT = 0x04;
constexpr uint8_t DLE = 0x10;

// Time the probe gives the CNC to answer an ENQ. The answer takes a few byte times on the
// line; a read that does not wait at all would miss it on real hardware.
constexpr int kProbeAnswerMs = 100;

bool validPort(int port) {
    return port >= 0 && port < kPortCount;
}

Parity parityFromCode(int code) {
    return code == 1 ? Parity::Even : code == 2 ? Parity::Odd : Parity::None;
}

int codeFromParity(Parity parity) {
    return parity == Parity::Even ? 1 : parity == Parity::Odd ? 2 : 0;
}

// The detection tries these speeds in order: the classic ones, then steps of 2400 up to
// 55200, 57000, 57600, and steps of 2400 again up to 115200.
template <typename Visit>
bool forEachProbeSpeed(Visit visit) {
    for (uint32_t s : {1200u, 2400u, 4800u, 9600u, 19200u, 38400u}) {
        if (visit(s)) return true;
    }
    for (uint32_t s = 40800; s <= 55200; s += 2400) {
        if (visit(s)) return true;
    }
    for (uint32_t s = 57000; s <= 115200; s = s == 57000 ? 57600 : s + 2400) {
        if (visit(s)) return true;
    }
    return false;
}

}  // namespace

namespace {
PortTable* theTable = nullptr;
}

PortTable& PortTable::instance() {
    if (theTable == nullptr) theTable = new PortTable;  // destroyed by the unload step
    return *theTable;
}

void PortTable::destroy() {
    delete theTable;
    theTable = nullptr;
}

PortTable::PortTable() : opener_(openComPort) {}

void PortTable::setDeviceOpener(DeviceOpener opener) {
    std::lock_guard lock(openerMutex_);
    opener_ = opener ? std::move(opener) : DeviceOpener(openComPort);
}

DeviceOpenFailure PortTable::lastOpenFailure() {
    std::lock_guard lock(openerMutex_);
    return lastFailure_;
}

std::unique_ptr<SerialDevice> PortTable::openDevice(int port) {
    DeviceOpener opener;
    {
        std::lock_guard lock(openerMutex_);
        opener = opener_;
    }
    DeviceOpenFailure failure;
    auto device = opener(port, &failure);
    if (!device) {
        std::lock_guard lock(openerMutex_);
        lastFailure_ = failure;
    }
    return device;
}

std::shared_ptr<SerialLine> PortTable::openLine(int port, const LineSettings& settings,
                                                int timeoutMs) {
    std::shared_ptr<SerialDevice> device = openDevice(port);
    if (!device) return nullptr;
    auto line = std::make_shared<SerialLine>(device);
    if (int rc = line->configure(settings, timeoutMs); rc != 0) {
        std::lock_guard lock(openerMutex_);
        lastFailure_ = {ports::comPortDevice(port), rc};
        return nullptr;
    }
    return line;
}

bool PortTable::lockRecord(PortRecord& record) {
    for (int i = 0; i < kRecordLockTries; ++i) {
        if (!record.recordLock.exchange(true)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;  // still taken: the caller fails and changes nothing
}

bool PortTable::registerPort(int port, uint32_t* speed, int* parityCode, LineMode mode,
                             bool exclusive) {
    if (!validPort(port) || *parityCode < 0 || *parityCode > 2) return false;
    PortRecord& record = records_[port];
    if (!lockRecord(record)) return false;
    struct Unlock {
        PortRecord& r;
        ~Unlock() { r.recordLock.store(false); }
    } unlock{record};

    if (record.exclusive) return false;
    if (record.users > 0) {
        if (record.lineMode != mode) return false;
        ++record.users;
        *speed = record.speed;
        *parityCode = codeFromParity(record.parity);
        return true;
    }
    if (port == 0) return false;

    LineSettings settings;
    settings.parity = parityFromCode(*parityCode);
    settings.dataBits = settings.parity == Parity::None ? 8 : 7;
    settings.stopBits = 0;
    settings.mode = mode;
    if (*speed != 0) {
        settings.speed = *speed;
        if (!openLine(port, settings, 5000)) return false;  // closed again at once
    } else if (!detectSpeed(port, &settings)) {
        return false;
    }

    record.speed = settings.speed;
    record.parity = settings.parity;
    record.stopBits = 0;
    record.dataBits = settings.dataBits;
    record.lineMode = mode;
    record.exclusive = exclusive;
    record.busy.store(false);
    record.users = 1;
    record.deviceName = "COM" + std::to_string(port);
    *speed = settings.speed;
    *parityCode = codeFromParity(settings.parity);
    return true;
}

bool PortTable::detectSpeed(int port, LineSettings* settings) {
    bool failed = false;
    bool found = forEachProbeSpeed([&](uint32_t speed) {
        LineSettings probe = *settings;
        probe.speed = speed;
        std::shared_ptr<SerialLine> line = openLine(port, probe, 0);
        if (!line) return false;  // a speed the device refuses is skipped
        SerialDevice& device = line->device();
        if (!line->writeByte(ENQ)) {
            failed = true;
            return true;
        }
        if (speed <= 7200) device.pause(50);
        device.pause(1);
        ReadOutcome answer = line->readByte(kProbeAnswerMs, true);
        if (answer.is(0x00)) {
            failed = true;  // a NUL answer ends the detection
            return true;
        }
        bool hit = true;
        if (answer.is(DLE)) {
            // speed found with the parity tried
        } else if (answer.is(DLE | 0x80)) {
            probe.parity = Parity::Even;
            probe.dataBits = 7;
        } else if (answer.kind == ReadKind::Parity) {
            probe.parity = probe.parity == Parity::None ? Parity::Even : Parity::None;
            probe.dataBits = probe.parity == Parity::None ? 8 : 7;
        } else {
            hit = false;
        }
        if (!hit) return false;
        line->setReadTimeout(5000);
        line->readByte(5000, true);  // the rest of the CNC's acknowledgement
        line->writeByte(EOT);
        *settings = probe;
        return true;
    });
    return found && !failed;
}

void PortTable::unregisterPort(int port) {
    if (!validPort(port)) return;
    PortRecord& record = records_[port];
    if (!lockRecord(record)) return;
    if (--record.users >= 1) {
        record.recordLock.store(false);
        return;
    }
    record.users = 0;
    record.deviceName = "None";
    {
        std::lock_guard lock(record.lineMutex);
        if (record.line) record.line->device().cancel();
        record.line.reset();
    }
    record.open.store(false);
    record.exclusive = false;
    record.recordLock.store(false);
}

OpenResult PortTable::openForExchange(int port, int timeoutMs, OpenVariant variant,
                                      std::shared_ptr<SerialLine>* opened) {
    if (!validPort(port)) return OpenResult::NotRegistered;
    PortRecord& record = records_[port];
    if (record.users < 1) return OpenResult::NotRegistered;
    if (record.open.exchange(true)) return OpenResult::Busy;
    if (variant == OpenVariant::DataIo && record.busy.exchange(true)) {
        record.open.store(false);
        return OpenResult::Busy;
    }
    // Until the device is open, every way out gives the port back, an opener that throws
    // included: a port left marked open would refuse every later exchange.
    struct Claim {
        PortRecord& r;
        bool dataIo;
        bool kept = false;
        ~Claim() {
            if (kept) return;
            if (dataIo) r.busy.store(false);
            r.open.store(false);
        }
    } claim{record, variant == OpenVariant::DataIo};
    LineSettings settings;
    settings.speed = record.speed;
    settings.parity = record.parity;
    settings.dataBits = record.dataBits;
    settings.stopBits = record.stopBits;
    settings.mode = variant == OpenVariant::Rxa2 ? LineMode::Rxa2 : record.lineMode;
    std::shared_ptr<SerialLine> line = openLine(port, settings, timeoutMs);
    if (!line) return OpenResult::DeviceFailed;
    std::lock_guard lock(record.lineMutex);
    record.line = line;
    *opened = std::move(line);
    claim.kept = true;
    return OpenResult::Ok;
}

void PortTable::closeAfterExchange(int port, OpenVariant variant,
                                   const std::shared_ptr<SerialLine>& opened) {
    if (!validPort(port) || !opened) return;
    PortRecord& record = records_[port];
    std::lock_guard lock(record.lineMutex);
    if (record.line != opened) return;
    record.line.reset();
    record.open.store(false);
    if (variant == OpenVariant::DataIo) record.busy.store(false);
}

std::shared_ptr<SerialLine> PortTable::line(int port) {
    if (!validPort(port)) return nullptr;
    std::lock_guard lock(records_[port].lineMutex);
    return records_[port].line;
}

bool PortTable::takeBusy(int port) {
    return validPort(port) && !records_[port].busy.exchange(true);
}

void PortTable::releaseBusy(int port) {
    if (validPort(port)) records_[port].busy.store(false);
}

}  // namespace cablor
