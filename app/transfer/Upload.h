// Sending to the CNC: one CNC memory per local file of a folder. With %A or %B support (DataIO
// links) all files of a run are joined into one memory, each introduced by a "%" header line
// unless it begins with one.
#pragma once

#include "transfer/SourceFile.h"
#include "transfer/TransferEngine.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace qel {

// Request flags of a send run.
inline constexpr uint32_t kSendPercentA = 0x01;   // OPT_PERCENT_A: "%" + code before the first file
inline constexpr uint32_t kSendPercentB = 0x02;   // OPT_PERCENT_B: "%" + code + name before each
inline constexpr uint32_t kSendAskNames = 0x04;   // Send as
inline constexpr uint32_t kSendSkipEmpty = 0x08;  // OPT_IGNORE_EMPTY
// Read each memory back after sending and compare it with the file (telegram links, files sent
// one memory each).
inline constexpr uint32_t kSendVerify = 0x100;

// One input file, as found when the run was built.
struct FileRecord {
    int sequence = 0;
    int64_t size = -1;       // -1: the file could not be opened then
    bool hasHeader = false;  // begins with "%" (only looked at for %A/%B); set when not opened
};

// The header line a file gets in a joined memory; empty when it gets none. With %B:
// "%" + code + name (the destination name in capitals, name cut at the first point to 7
// characters): 1234.pm gives "%PM1234\r\n". With %A only the first file: "%PM\r\n".
std::string programHeader(uint32_t flags, const std::string& destination, bool hasHeader,
                          bool firstFile);

class UploadEngine final : public TransferEngine {
  public:
    // Looks at every file at once (size, whether it begins with "%").
    UploadEngine(CncClient& client, TransferOperator& op, std::vector<std::string> names,
                 uint32_t flags, std::string folder);
    ~UploadEngine() override;

    std::vector<FileRecord> records() const;

  private:
    enum class Open { Opened, Skip, Stop };

    void work() override;
    TickInput timeLeftInput(uint64_t fileBytes) const override;

    bool openNextFile();
    Open openMemory();
    bool sendFile();
    bool readBlock(std::string& block);
    bool writeToCnc(std::string_view block);
    void cancelRun();
    bool joining() const { return (flags_ & (kSendPercentA | kSendPercentB)) != 0; }
    bool verifying() const;

    const std::vector<std::string> names_;
    const uint32_t flags_;
    const std::string folder_;

    mutable std::mutex recordLock_;  // records and the current one, shared with the tick
    std::vector<FileRecord> records_;
    size_t next_ = 0;
    size_t current_ = SIZE_MAX;

    SourceFile file_;
    std::string sent_;  // the current file's bytes, kept for the verify
    size_t payload_ = 0;
    std::string destination_;
    std::string openedMemory_;
    bool memoryInProgress_ = false;  // a memory is open on the CNC and not yet ended
    bool memoryOpen_ = false;        // joined: the following files go into the same memory
    bool firstFile_ = true;
    uint32_t answers_ = 0;
};

}  // namespace qel
