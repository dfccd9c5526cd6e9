#include "CncMachine.h"

#include <cctype>

#include "ProgramStream.h"
#include "TransferSummary.h"

namespace cncsim {

namespace {
bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool sameType(std::string_view a, std::string_view b) {
    if (a.size() != 2 || b.size() != 2) return false;
    for (std::size_t i = 0; i < 2; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::vector<std::string> cutIntoBlocks(std::string_view data, std::size_t payload) {
    std::vector<std::string> blocks;
    for (std::size_t at = 0; at < data.size(); at += payload)
        blocks.emplace_back(data.substr(at, payload));
    return blocks;
}

// Names joined by commas, as many as fit in a block; a name is never cut.
std::vector<std::string> listingBlocks(const std::vector<std::string>& names, std::size_t payload) {
    std::vector<std::string> blocks;
    std::string block;
    for (const std::string& name : names) {
        if (!block.empty() && block.size() + 1 + name.size() > payload) {
            blocks.push_back(block);
            block.clear();
        }
        if (!block.empty()) block += ',';
        block += name;
    }
    if (!block.empty()) blocks.push_back(block);
    return blocks;
}

const char* kInvalidName = "T BDINVALID MEMORY NAME";
}  // namespace

CncMachine::CncMachine(MemoryStore& store, RefusalTable refusals, MachineOptions options,
                       std::ostream* report)
    : store_(store),
      refusals_(std::move(refusals)),
      options_(std::move(options)),
      report_(report) {}

Incoming CncMachine::next(TelegramLink& link, int timeoutMs) {
    if (silenced_) return {Incoming::Status::Closed, {}};
    if (link.faults().silentAfter(link.receivedCount())) {
        // The machine has "died": it answered its last telegram and never answers again.
        silenced_ = true;
        link.goSilent();
        return {Incoming::Status::Closed, {}};
    }
    return link.receive(timeoutMs);
}

CncMachine::End CncMachine::serve(TelegramLink& link) {
    silenced_ = false;
    for (;;) {
        Incoming in = next(link, -1);
        if (silenced_) return End::Silent;
        switch (in.status) {
            case Incoming::Status::Telegram:
                handle(link, in.text);
                if (silenced_) return End::Silent;
                break;
            case Incoming::Status::TooLong:
                link.send("M ER");
                break;
            case Incoming::Status::Closed:
                return End::Closed;
            case Incoming::Status::Stopped:
                return End::Stopped;
            case Incoming::Status::Timeout:
            case Incoming::Status::Ended:
                break;
        }
    }
}

void CncMachine::handle(TelegramLink& link, const std::string& telegram) {
    const std::string_view code = std::string_view(telegram).substr(0, 4);
    if (code == "M  I") {
        link.send(options_.loginReply);
    } else if (code == "M VN") {
        link.send(options_.versionReply);
    } else if (code == "M DI") {
        messages_.push_back(telegram.substr(4));
        if (report_) *report_ << "message: " << telegram.substr(4) << std::endl;
        link.send("M OK");
    } else if (code == "M FR") {
        link.send("R FR" + std::to_string(freeBytes()));
    } else if (code == "T BD" || code == "M OK" || code == "T FD" || code == "T NB") {
        // The end of an exchange that is already over: nothing to answer.
    } else if (auto address = parseAddress(telegram)) {
        const std::string& op = address->code;
        if (op == "PT")
            transmitMemory(link, *address);
        else if (op == "PR")
            receiveMemory(link, *address);
        else if (op == "BR")
            runBehindTapeReader(link, *address);
        else if (op == "LI")
            listMemories(link, *address);
        else if (op == "MC")
            deleteMemory(link, *address);
        else
            link.send("M ER");
    } else {
        link.send("M ER");
    }
}

std::uint64_t CncMachine::freeBytes() const {
    const std::uint64_t used = store_.usedBytes();
    return used >= options_.capacity ? 0 : options_.capacity - used;
}

bool CncMachine::breakOffNow(const TelegramLink& link, int blocks) const {
    const int k = link.faults().options().breakAfterBlocks;
    return k >= 0 && blocks >= k;
}

bool CncMachine::refusedOrInvalid(TelegramLink& link, const char* request,
                                  const MemoryAddress& address) {
    if (auto refusal = refusals_.find(request, address.name, address.type)) {
        link.send(*refusal);
        return true;
    }
    if (!MemoryStore::validType(address.type) ||
        (!address.wholeType() && !MemoryStore::validName(address.name))) {
        link.send(kInvalidName);
        return true;
    }
    return false;
}

void CncMachine::transmitMemory(TelegramLink& link, const MemoryAddress& address) {
    if (refusedOrInvalid(link, "PT", address)) return;
    std::string data;
    if (address.wholeType()) {
        std::vector<std::pair<std::string, std::string>> programs;
        for (const std::string& name : store_.names(address.type))
            programs.emplace_back(name, store_.read(name, address.type).value_or(""));
        if (programs.empty()) {
            link.send("T NP");
            return;
        }
        data = joinPrograms(address.type, programs);
    } else {
        auto memory = store_.read(address.name, address.type);
        if (!memory) {
            link.send("T NP");
            return;
        }
        data = std::move(*memory);
    }
    if (!link.send("M RT")) return;
    sendBlocks(link, cutIntoBlocks(data, options_.blockPayload), address.type, "PT",
               address.display());
}

void CncMachine::listMemories(TelegramLink& link, const MemoryAddress& address) {
    if (auto refusal = refusals_.find("LI", "", address.type)) {
        link.send(*refusal);
        return;
    }
    const std::vector<std::string> names = MemoryStore::validType(address.type)
                                               ? store_.names(address.type)
                                               : std::vector<std::string>{};
    if (names.empty()) {
        link.send("T NP");
        return;
    }
    if (!link.send("M RT")) return;
    sendBlocks(link, listingBlocks(names, options_.blockPayload), address.type, "LI", address.type);
}

void CncMachine::sendBlocks(TelegramLink& link, const std::vector<std::string>& blocks,
                            const std::string& type, const std::string& what,
                            const std::string& memory) {
    TransferSummary summary(report_, what, memory);
    std::size_t sent = 0;
    for (;;) {
        Incoming in = next(link, options_.transferTimeoutMs);
        if (!in.ok()) {
            summary.finish("abandoned, the PC stopped answering");
            return;
        }
        if (startsWith(in.text, "T BD")) {
            summary.finish("aborted by the PC");
            return;
        }
        if (in.text != "T NB") {
            link.send("T BDUNEXPECTED TELEGRAM");
            summary.finish("broken off, unexpected telegram");
            return;
        }
        if (breakOffNow(link, static_cast<int>(sent))) {
            link.send("T BD" + link.faults().options().breakText);
            summary.finish("broken off by the CNC");
            return;
        }
        if (sent == blocks.size()) break;
        summary.addBytes(blocks[sent].size());
        if (!link.send("R " + type + blocks[sent])) {
            summary.finish("failed, the line broke");
            return;
        }
        ++sent;
    }
    if (!link.send("T FD")) {
        summary.finish("failed, the line broke");
        return;
    }
    Incoming done = next(link, options_.transferTimeoutMs);
    summary.finish(done.ok() && done.text == "M OK" ? "complete" : "complete, end not confirmed");
}

void CncMachine::receiveMemory(TelegramLink& link, const MemoryAddress& address) {
    if (refusedOrInvalid(link, "PR", address)) return;
    // An existing memory is not overwritten: the PC deletes it first when the operator agrees.
    if (!address.wholeType() && store_.exists(address.name, address.type)) {
        link.send("M NR");
        return;
    }
    if (!link.send("M RR")) return;
    TransferSummary summary(report_, "PR", address.display());
    std::string data;
    int blocks = 0;
    const std::uint64_t room = freeBytes();
    for (;;) {
        Incoming in = next(link, options_.transferTimeoutMs);
        if (!in.ok()) {
            summary.finish("abandoned, the PC stopped answering; nothing stored");
            return;
        }
        if (startsWith(in.text, "T BD")) {
            summary.finish("aborted by the PC; nothing stored");
            return;
        }
        if (in.text == "T FD") break;
        if (!startsWith(in.text, "R ") || in.text.size() < 4 ||
            !sameType(std::string_view(in.text).substr(2, 2), address.type)) {
            link.send("T BDUNEXPECTED TELEGRAM");
            summary.finish("broken off, unexpected telegram; nothing stored");
            return;
        }
        data.append(in.text, 4);
        summary.addBytes(in.text.size() - 4);
        ++blocks;
        if (data.size() > room) {
            link.send("T BDMEMORY FULL");
            summary.finish("broken off, memory full; nothing stored");
            return;
        }
        if (breakOffNow(link, blocks)) {
            link.send("T BD" + link.faults().options().breakText);
            summary.finish("broken off by the CNC; nothing stored");
            return;
        }
        if (!link.send("T NB")) {
            summary.finish("failed, the line broke; nothing stored");
            return;
        }
    }
    bool stored = true;
    if (address.wholeType()) {
        for (const auto& [name, program] : splitPrograms(address.type, data))
            stored = store_.write(name, address.type, program) && stored;
    } else {
        stored = store_.write(address.name, address.type, data);
    }
    if (!stored) {
        link.send("T BDWRITE ERROR");
        summary.finish("failed, the store could not be written");
        return;
    }
    link.send("M OK");
    summary.finish("complete");
}

void CncMachine::runBehindTapeReader(TelegramLink& link, const MemoryAddress& address) {
    // The address keeps the case the PC gave; only part programs run behind the tape reader.
    if (address.typeAsSent != "PM") {
        link.send("M NR");
        return;
    }
    if (auto refusal = refusals_.find("BR", address.name, address.type)) {
        link.send(*refusal);
        return;
    }
    if (!link.send("M RR")) return;
    TransferSummary summary(report_, "BR", address.display());
    const int stallAfter = link.faults().options().btrStallAfter;
    int blocks = 0;
    bool stalled = false;
    for (;;) {
        // A stalled machine waits for the operator at the PC, however long that takes.
        Incoming in = next(link, stalled ? -1 : options_.transferTimeoutMs);
        if (!in.ok()) {
            summary.finish("abandoned after " + std::to_string(blocks) + " blocks");
            return;
        }
        if (startsWith(in.text, "T BD")) {
            summary.finish("aborted by the PC after " + std::to_string(blocks) + " blocks");
            return;
        }
        if (in.text == "T FD") break;
        if (!startsWith(in.text, "R ") || stalled) {
            link.send("T BDUNEXPECTED TELEGRAM");
            summary.finish("broken off, unexpected telegram");
            return;
        }
        ++blocks;
        summary.addBytes(in.text.size() - 4);
        if (!link.pause(options_.btrBlockMs)) {
            summary.finish("stopped");
            return;
        }
        if (breakOffNow(link, blocks)) {
            link.send("T BD" + link.faults().options().breakText);
            summary.finish("broken off by the CNC");
            return;
        }
        if (stallAfter >= 0 && blocks >= stallAfter) {
            stalled = true;
            if (report_) *report_ << "btr stalled after " << blocks << " blocks" << std::endl;
            continue;
        }
        if (!link.send("T NB")) {
            summary.finish("failed, the line broke");
            return;
        }
    }
    link.send("M OK");
    summary.finish("complete, " + std::to_string(blocks) + " blocks executed");
}

void CncMachine::deleteMemory(TelegramLink& link, const MemoryAddress& address) {
    if (auto refusal = refusals_.find("MC", address.name, address.type)) {
        link.send(*refusal);
        return;
    }
    if (address.wholeType()) {
        const auto names = MemoryStore::validType(address.type) ? store_.names(address.type)
                                                                : std::vector<std::string>{};
        bool removed = !names.empty();
        for (const std::string& name : names)
            removed = store_.remove(name, address.type) && removed;
        link.send(removed ? "M OK" : "T NP");
        return;
    }
    link.send(store_.remove(address.name, address.type) ? "M OK" : "T NP");
}

}  // namespace cncsim
