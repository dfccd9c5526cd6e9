// Receiving from the CNC: copies a list of CNC memories into files of a local folder. With
// %A or %B support one memory may hold several part programs under "%" headers; the stream is
// then cut into one file per program. Each file is written beside its place and put in place
// only when complete (ReceivedFile), so that a broken, refused or cancelled transfer leaves no
// partial file.
#pragma once

#include "transfer/ProgramSplitter.h"
#include "transfer/ReceivedFile.h"
#include "transfer/TransferEngine.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qel {

// Request flags of a receive run.
inline constexpr uint32_t kReceivePercentA = 0x01;  // OPT_PERCENT_A
inline constexpr uint32_t kReceivePercentB = 0x02;  // OPT_PERCENT_B
inline constexpr uint32_t kReceiveAskNames = 0x04;  // Receive as
// Read each memory a second time and compare it with the first reading (telegram links).
inline constexpr uint32_t kReceiveVerify = 0x100;

class DownloadEngine final : public TransferEngine {
  public:
    // names: memories as the CNC pane names them ("PROG1.PM", "PM.PM" for a whole type, "*" for
    // the nameless stream of a DataIO link). folder: where the files go.
    DownloadEngine(CncClient& client, TransferOperator& op, std::vector<std::string> names,
                   uint32_t flags, std::string folder);
    ~DownloadEngine() override;

  private:
    class StreamSink;

    void work() override;
    void afterWork() override;

    bool openNextMemory(size_t& index, std::string& name);
    bool receiveMemory(const std::string& name);
    bool receiveStream(const std::string& first, bool ended);
    // The next non-empty block, the end of the memory, or a failure.
    BlockResult readData();
    // Opens the local file for a memory or program; the name may change (Receive as).
    bool openLocal(std::string name, bool inStream);
    bool writeLocal(std::string_view data);
    // The empty block: the file is complete and goes in place.
    bool completeLocal();
    void dropPartialFile();
    // Breaks off the memory on the CNC and drops the partial file.
    void abortRun(std::string why = {});
    void linkFailed(const std::string& name, const BlockResult& failure);

    const std::vector<std::string> names_;
    const uint32_t flags_;
    const std::string folder_;
    bool verifying() const;
    // After a memory was stored: the settle pause, then the second reading compared with the
    // first.
    bool verifyReceived(const std::string& name);

    ReceivedFile file_;
    std::string firstReading_;  // the memory's bytes as they came, kept for the verify
    bool skip_ = false;
    uint32_t answers_ = 0;
    std::string currentName_;
};

}  // namespace qel
