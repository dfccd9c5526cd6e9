#include "DataIoTape.h"

#include "ControlBytes.h"
#include "MemoryAddress.h"
#include "ProgramStream.h"
#include "TransferSummary.h"

namespace cncsim {

namespace {
bool writeByte(ByteLine& line, std::uint8_t byte) {
    const char c = static_cast<char>(byte);
    return line.write(std::string_view(&c, 1));
}

// Where a punched tape goes: the operator's name, else the first program header, else PUNCH.PM.
MemoryAddress punchTarget(const TapeOptions& options, const std::string& data) {
    if (auto address = parseFileName(options.memory)) return *address;
    if (data.size() > 3 && data[0] == '%') {
        const std::string type = data.substr(1, 2);
        auto programs = splitPrograms(type, data);
        if (!programs.empty() && MemoryStore::validType(type) &&
            MemoryStore::validName(programs.front().first))
            return MemoryAddress{"", type, type, programs.front().first};
    }
    return MemoryAddress{"", "PM", "PM", "PUNCH"};
}
}  // namespace

std::optional<std::string> punchTape(ByteLine& line, MemoryStore& store, const TapeOptions& options,
                                     TraceLog& trace, std::ostream* report) {
    if (!writeByte(line, kXOn)) return std::nullopt;
    trace.note("punch ready (XOn)");
    std::string data;
    bool started = false;
    std::size_t sinceHold = 0;
    std::optional<TransferSummary> summary;
    for (;;) {
        int byte = line.readByte(-1);
        if (byte < 0) return std::nullopt;
        if (!started) {
            if (byte == 0) continue;  // leader
            started = true;
            summary.emplace(report, "punch", options.memory.empty() ? "tape" : options.memory);
        }
        if (byte == kEot) break;
        data += static_cast<char>(byte);
        summary->addBytes(1);
        if (options.xoffEvery > 0 && ++sinceHold >= static_cast<std::size_t>(options.xoffEvery)) {
            sinceHold = 0;
            writeByte(line, kXOff);
            if (!line.pause(options.xoffHoldMs)) return std::nullopt;
            writeByte(line, kXOn);
        }
    }
    if (!summary) summary.emplace(report, "punch", "tape");
    const MemoryAddress target = punchTarget(options, data);
    if (!store.write(target.name, target.type, data)) {
        summary->finish("failed, the store could not be written");
        return std::nullopt;
    }
    summary->finish("stored as " + target.display());
    return target.display();
}

bool readTape(ByteLine& line, MemoryStore& store, const TapeOptions& options, TraceLog& trace,
              std::ostream* report) {
    auto address = parseFileName(options.memory);
    std::optional<std::string> data;
    if (address) data = store.read(address->name, address->type);
    if (!data) {
        if (report)
            *report << "failed: no memory " << options.memory << " in the store" << std::endl;
        return false;
    }
    // The reader starts when the PC says it may send.
    for (;;) {
        int byte = line.readByte(-1);
        if (byte < 0) return false;
        if ((byte & 0x7F) == kXOn) break;
    }
    trace.note("reader started (XOn)");
    TransferSummary summary(report, "reader", options.memory);
    std::string tape(static_cast<std::size_t>(options.leader), '\0');
    tape += *data;
    tape += static_cast<char>(kEot);
    tape += std::string(static_cast<std::size_t>(options.leader), '\0');
    bool held = false;
    std::size_t at = 0;
    while (at < tape.size()) {
        // Look at what the PC said: XOff holds the reader until the next XOn.
        for (int byte = line.readByte(held ? -1 : 0); byte >= 0 || held;
             byte = line.readByte(held ? -1 : 0)) {
            if (byte == kReadClosed || byte == kReadStopped) return false;
            if ((byte & 0x7F) == kXOff)
                held = true;
            else if ((byte & 0x7F) == kXOn)
                held = false;
        }
        const std::string_view chunk = std::string_view(tape).substr(at, options.chunk);
        if (!line.write(chunk)) {
            summary.finish("failed, the line broke");
            return false;
        }
        at += chunk.size();
    }
    summary.addBytes(data->size());
    summary.finish("complete");
    return true;
}

}  // namespace cncsim
