#include "transfer/Download.h"

#include "base/FileErrorCause.h"
#include "base/Trace.h"
#include "client/LinkErrorText.h"
#include "transfer/LocalFileNames.h"
#include "transfer/TransferTexts.h"

#include <cstdio>
#include <cstring>

namespace qel {

namespace {
// Bits of the run's answer word: questions answered with Yes to All.
constexpr uint32_t kReplaceAll = 0x01;
constexpr uint32_t kContinueAll = 0x02;

// A "%" with the eighth bit set: the line runs with a parity the link does not expect.
constexpr unsigned char kPercentWithParity = 0xA5;

// Why the CNC did not open a memory, for the run's problem line.
std::string refusalOf(CncClient& client) {
    if (const int code = client.lastError()) return client.failureText(code);
    if (!client.lastReceived().empty()) return "the CNC answered \"" + client.lastReceived() + "\"";
    return "refused";
}
}  // namespace

class DownloadEngine::StreamSink final : public ProgramSplitter::Sink {
  public:
    StreamSink(DownloadEngine& engine, std::string memoryName)
        : engine_(engine), memoryName_(std::move(memoryName)) {}
    bool startProgram(const std::string& name) override {
        started_ = true;
        return engine_.completeLocal() && engine_.openLocal(name, true);
    }
    // What comes before the first header (a bare "%" line, say) is the memory's own program.
    bool writeData(std::string_view data) override {
        if (!started_) {
            started_ = true;
            if (!engine_.openLocal(memoryName_, true)) return false;
        }
        return engine_.writeLocal(data);
    }

  private:
    DownloadEngine& engine_;
    const std::string memoryName_;
    bool started_ = false;
};

DownloadEngine::DownloadEngine(CncClient& client, TransferOperator& op,
                               std::vector<std::string> names, uint32_t flags, std::string folder)
    : TransferEngine(client, op, TransferDirection::Receive),
      names_(std::move(names)),
      flags_(flags),
      folder_(std::move(folder)) {}

DownloadEngine::~DownloadEngine() {
    stopWorker();
}

void DownloadEngine::work() {
    size_t index = 0;
    while (index < names_.size()) {
        if (!keepRunning()) {
            abortRun("cancelled");
            return;
        }
        std::string name;
        if (!openNextMemory(index, name)) return;
        if (!receiveMemory(name)) return;
    }
    setStatus(XS_COMPLETE);
    op_.beep();
}

void DownloadEngine::afterWork() {
    dropPartialFile();
}

bool DownloadEngine::openNextMemory(size_t& index, std::string& name) {
    name = names_[index++];
    setStatus(XS_WAIT_CNC);
    while (!client_.readOpen(name)) {
        client_.abort();
        noteFailure(name + ": " + refusalOf(client_));
        if ((answers_ & kContinueAll) == 0) {
            setStatus(XS_ERROR);
            const uint32_t answer =
                ask(QuestionKind::Continue, texts::formatText(texts::kCannotAccessMemory, {name}),
                    kAskYesAllCancelWarning);
            if (!isYes(answer)) {
                setStatus(XS_STOPPING);
                return false;
            }
            if (answer == IDYESTOALL) answers_ |= kContinueAll;
        }
        if (index >= names_.size()) {
            setStatus(XS_STOPPING);
            return false;
        }
        name = names_[index++];
        setStatus(XS_WAIT_CNC);
    }
    return true;
}

BlockResult DownloadEngine::readData() {
    for (;;) {
        BlockResult block = client_.readBlock();
        if (verifying()) firstReading_ += block.text;
        // An empty block inside the memory carries nothing to write; it is no end.
        if (block.end != BlockEnd::Data || !block.text.empty() || !keepRunning()) return block;
    }
}

bool DownloadEngine::verifying() const {
    // A DataIO tape cannot be asked for a second time.
    return (flags_ & kReceiveVerify) != 0 && !isDataIoLink();
}

bool DownloadEngine::verifyReceived(const std::string& name) {
    pause(pauses().settle);
    if (!verifying()) return true;
    const std::string first = std::move(firstReading_);
    firstReading_.clear();
    return verifyMemory(name, first, "stored");
}

bool DownloadEngine::receiveMemory(const std::string& name) {
    currentName_ = name;
    firstReading_.clear();
    BlockResult read = readData();
    if (!read.ok()) {
        linkFailed(name, read);
        return false;
    }
    const std::string& block = read.text;
    const bool percentSupport = (flags_ & (kReceivePercentA | kReceivePercentB)) != 0;
    if (percentSupport && !block.empty() &&
        static_cast<unsigned char>(block[0]) == kPercentWithParity) {
        if (ask(QuestionKind::Continue, texts::kParityWarning, kAskYesNoWarning) != IDYES) {
            abortRun("stopped, the data arrives with a parity bit set");
            return false;
        }
    }
    setStatus(XS_TRANSFER);
    if (percentSupport && !block.empty() && block[0] == '%') {
        return receiveStream(block, read.endOfMemory());
    }

    if (!openLocal(name, false)) {
        abortRun();
        return false;
    }
    if (!skip_ && !writeLocal(block)) {
        abortRun();
        return false;
    }
    // A skipped memory that is still open (a name left beginning with "*") is read and dropped.
    while (!read.endOfMemory() && client_.transferState() != TransferState::Idle) {
        if (!keepRunning()) {
            abortRun("cancelled");
            return false;
        }
        read = readData();
        if (!read.ok()) {
            linkFailed(currentName_, read);
            return false;
        }
        if (!writeLocal(read.text)) {
            abortRun();
            return false;
        }
    }
    if (!completeLocal()) {
        abortRun();
        return false;
    }
    // A memory the operator chose not to store has nothing to compare.
    if (skip_) {
        pause(pauses().settle);
        return true;
    }
    verifyReceived(name);
    return true;
}

bool DownloadEngine::receiveStream(const std::string& first, bool ended) {
    const std::string memoryName = currentName_;
    StreamSink sink(*this, memoryName);
    ProgramSplitter splitter(sink);
    if (!splitter.feed(first)) {
        abortRun();
        return false;
    }
    while (!ended) {
        if (!keepRunning()) {
            abortRun("cancelled");
            return false;
        }
        const BlockResult read = readData();
        if (!read.ok()) {
            linkFailed(currentName_, read);
            return false;
        }
        if (read.endOfMemory()) break;
        if (!splitter.feed(read.text)) {
            abortRun();
            return false;
        }
    }
    if (!splitter.finish() || !completeLocal()) {
        abortRun();
        return false;
    }
    verifyReceived(memoryName);
    return true;
}

bool DownloadEngine::openLocal(std::string name, bool inStream) {
    skip_ = false;
    const bool nameless = !name.empty() && name[0] == '*';
    if ((flags_ & kReceiveAskNames) != 0 || nameless) {
        const auto entered = askNewName(texts::formatText(texts::kEnterNewName, {name}), name);
        if (entered) {
            name = *entered;
        } else if (nameless) {
            noteFailure(name + ": no local name given");
            client_.abort();
            return false;
        }
        if (!name.empty() && name[0] == '*') {
            currentName_ = name;
            skip_ = true;
            return true;
        }
    }
    currentName_ = name;

    std::optional<std::string> replacing;
    if (isPlainFileName(name)) replacing = findExistingFile(folder_, name);
    if (replacing && (answers_ & kReplaceAll) == 0) {
        const uint32_t answer =
            ask(QuestionKind::Replace, texts::formatText(texts::kReplaceLocalFile, {*replacing}),
                kAskYesAllNoCancel);
        if (answer == IDNO) {
            // A single memory is broken off at once; a refused program of a stream is read and
            // dropped, so that the programs after it still arrive.
            if (!inStream) client_.abort();
            skip_ = true;
            return true;
        }
        if (!isYes(answer)) {
            noteFailure(name + ": not replaced, the run was cancelled");
            client_.abort();
            return false;
        }
        if (answer == IDYESTOALL) answers_ |= kReplaceAll;
    }

    for (;;) {
        const int failure = file_.create(folder_, name, replacing);
        if (failure == 0) break;
        const FileErrorCause cause = fileErrorCause(failure);
        trace("Unable to open %s, cause = %d\n", name.c_str(), static_cast<int>(cause));
        if (!confirm(QuestionKind::Retry, BoxButtons::RetryCancel, BoxIcon::Stop,
                     texts::kBoxCaption, texts::receiveOpenErrorText(cause, name))) {
            noteFailure(name + ": cannot create the local file: " + std::strerror(failure));
            return false;
        }
    }
    resetFileBytes();
    op_.fieldChanged(TransferField::FileName, name);
    op_.progressChanged(0, false);
    op_.fieldChanged(TransferField::FileSize, texts::kUnknown);
    op_.fieldChanged(TransferField::Amount, "0");
    return true;
}

bool DownloadEngine::writeLocal(std::string_view data) {
    if (skip_ || data.empty() || !file_.isOpen()) return true;
    for (int failure = file_.write(data); failure != 0; failure = file_.flush()) {
        const FileErrorCause cause = fileErrorCause(failure);
        trace("Unable to write to %s, cause = %d\n", file_.name().c_str(), static_cast<int>(cause));
        if (!confirm(QuestionKind::Retry, BoxButtons::RetryCancel, BoxIcon::Stop,
                     texts::kBoxCaption, texts::receiveWriteErrorText(cause, file_.name()))) {
            noteFailure(file_.name() + ": cannot write the local file: " + std::strerror(failure));
            dropPartialFile();
            return false;
        }
    }
    addBytes(data.size());
    op_.fieldChanged(TransferField::Amount, texts::kilobytes(fileBytes()));
    return true;
}

bool DownloadEngine::completeLocal() {
    if (!file_.isOpen()) return true;
    for (;;) {
        const int failure = file_.commit();
        if (failure == 0) break;
        const FileErrorCause cause = fileErrorCause(failure);
        trace("Unable to open %s, cause = %d\n", file_.name().c_str(), static_cast<int>(cause));
        if (!confirm(QuestionKind::Retry, BoxButtons::RetryCancel, BoxIcon::Stop,
                     texts::kBoxCaption, texts::receiveOpenErrorText(cause, file_.name()))) {
            noteFailure(file_.name() +
                        ": cannot put the local file in place: " + std::strerror(failure));
            dropPartialFile();
            return false;
        }
    }
    noteCompleted(file_.name());
    return true;
}

void DownloadEngine::dropPartialFile() {
    if (!file_.isOpen()) return;
    trace("Dropping the partial file %s\n", file_.name().c_str());
    file_.discard();
}

void DownloadEngine::abortRun(std::string why) {
    client_.abort();
    dropPartialFile();
    if (why.empty() || currentName_.empty())
        noteFailure(std::move(why));
    else
        noteFailure(currentName_ + ": " + why);
    setStatus(XS_STOPPING);
}

void DownloadEngine::linkFailed(const std::string& name, const BlockResult& failure) {
    reportLinkError(name, failure);
    abortRun();
}

}  // namespace qel
