#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "MemoryAddress.h"
#include "MemoryStore.h"
#include "RefusalTable.h"
#include "TelegramLink.h"

namespace cncsim {

struct MachineOptions {
    std::string versionReply = "R VNS0001_V410 cncsim";  // answer to "M VN"
    std::string loginReply = "M OK";                     // answer to "M  I"
    std::size_t blockPayload = 124;                      // data bytes per "R " block the CNC sends
    int btrBlockMs = 0;                 // time the machine needs to execute one BTR block
    std::uint64_t capacity = 4u << 20;  // memory size; free memory is what the store leaves
    int transferTimeoutMs = 10000;      // the PC's longest pause inside a block exchange
};

// The CNC control answering the PC's telegrams: login, version, messages, free memory, and
// the block exchanges for reading, writing, listing, deleting and behind-tape-reader runs.
class CncMachine {
  public:
    CncMachine(MemoryStore& store, RefusalTable refusals, MachineOptions options,
               std::ostream* report);

    enum class End { Closed, Stopped, Silent };
    // Answers the PC on one link until the line closes or the simulator is asked to end.
    End serve(TelegramLink& link);
    // Answers one telegram (with the whole block exchange it opens).
    void handle(TelegramLink& link, const std::string& telegram);

    // Texts the PC displayed on the CNC screen with "M DI".
    const std::vector<std::string>& messages() const { return messages_; }

  private:
    Incoming next(TelegramLink& link, int timeoutMs);
    void transmitMemory(TelegramLink& link, const MemoryAddress& address);
    void receiveMemory(TelegramLink& link, const MemoryAddress& address);
    void runBehindTapeReader(TelegramLink& link, const MemoryAddress& address);
    void listMemories(TelegramLink& link, const MemoryAddress& address);
    void deleteMemory(TelegramLink& link, const MemoryAddress& address);
    // Sends blocks on each "T NB", then "T FD", and waits for the PC's "M OK".
    void sendBlocks(TelegramLink& link, const std::vector<std::string>& blocks,
                    const std::string& type, const std::string& what, const std::string& memory);
    bool breakOffNow(const TelegramLink& link, int blocks) const;
    // Answers a "PT"/"PR" request refused for its memory, or naming no valid memory.
    bool refusedOrInvalid(TelegramLink& link, const char* request, const MemoryAddress& address);
    std::uint64_t freeBytes() const;

    MemoryStore& store_;
    RefusalTable refusals_;
    MachineOptions options_;
    std::ostream* report_;
    std::vector<std::string> messages_;
    bool silenced_ = false;
};

}  // namespace cncsim
