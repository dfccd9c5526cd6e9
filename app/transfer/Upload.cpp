#include "transfer/Upload.h"

#include "base/FileErrorCause.h"
#include "base/Trace.h"
#include "client/LinkErrorText.h"
#include "client/MemoryAddress.h"
#include "transfer/TransferTexts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qel {

namespace {
constexpr uint32_t kReplaceAll = 0x01;
constexpr size_t kHeaderNameLength = 7;
constexpr size_t kHeaderProbe = 4;

uint32_t clampedDifference(int64_t size, uint64_t done) {
    if (size <= 0 || static_cast<uint64_t>(size) <= done) return 0;
    return static_cast<uint32_t>(
        std::min<uint64_t>(static_cast<uint64_t>(size) - done, UINT32_MAX));
}
}  // namespace

std::string programHeader(uint32_t flags, const std::string& destination, bool hasHeader,
                          bool firstFile) {
    if (hasHeader) return {};
    const std::string upper = toUpperAscii(destination);
    const std::string code = upper.substr(upper.size() < 2 ? 0 : upper.size() - 2);
    if ((flags & kSendPercentB) != 0) {
        const std::string name = upper.substr(0, std::min(upper.find('.'), kHeaderNameLength));
        return "%" + code + name + "\r\n";
    }
    if ((flags & kSendPercentA) != 0 && firstFile) return "%" + code + "\r\n";
    return {};
}

UploadEngine::UploadEngine(CncClient& client, TransferOperator& op, std::vector<std::string> names,
                           uint32_t flags, std::string folder)
    : TransferEngine(client, op, TransferDirection::Send),
      names_(std::move(names)),
      flags_(flags),
      folder_(std::move(folder)) {
    for (size_t i = 0; i < names_.size(); ++i) {
        FileRecord record;
        record.sequence = static_cast<int>(i);
        SourceFile probe;
        if (probe.open(folder_, names_[i]) != 0) {
            record.hasHeader = true;
        } else {
            record.size = probe.size();
            std::string start;
            if (joining() && probe.read(kHeaderProbe, start) == 0) {
                record.hasHeader = start.size() == kHeaderProbe && start[0] == '%';
            }
        }
        records_.push_back(record);
    }
}

UploadEngine::~UploadEngine() {
    stopWorker();
}

std::vector<FileRecord> UploadEngine::records() const {
    std::lock_guard guard(recordLock_);
    return records_;
}

TickInput UploadEngine::timeLeftInput(uint64_t fileBytes) const {
    TickInput input;
    std::lock_guard guard(recordLock_);
    if (current_ >= records_.size()) return input;
    input.sizesKnown = true;
    input.fileRemaining = clampedDifference(records_[current_].size, fileBytes);
    int64_t total = 0;
    for (size_t i = current_; i < records_.size(); ++i)
        total += std::max<int64_t>(0, records_[i].size);
    input.totalRemaining = clampedDifference(total, fileBytes);
    return input;
}

void UploadEngine::work() {
    payload_ = static_cast<size_t>(client_.blockPayload());
    for (;;) {
        if (!openNextFile()) {
            // The joined memory ends after its last file.
            if (memoryOpen_ && memoryInProgress_) {
                if (!writeToCnc(std::string())) return;
                memoryInProgress_ = false;
            }
            setStatus(XS_COMPLETE);
            return;
        }
        if (!keepRunning()) {
            cancelRun();
            return;
        }
        setStatus(XS_WAIT_CNC);
        if (!memoryOpen_) {
            const Open opened = openMemory();
            if (opened == Open::Stop) {
                setStatus(XS_STOPPING);
                return;
            }
            if (opened == Open::Skip) {
                file_.close();
                continue;
            }
            openedMemory_ = destination_;
            memoryInProgress_ = true;
            memoryOpen_ = joining();
        }
        if (!sendFile()) return;
    }
}

bool UploadEngine::openNextFile() {
    size_t at = 0;
    int64_t size = 0;
    {
        std::lock_guard guard(recordLock_);
        if ((flags_ & kSendSkipEmpty) != 0) {
            while (next_ < records_.size() && records_[next_].size == 0) ++next_;
        }
        if (next_ >= records_.size()) return false;
        at = next_++;
        current_ = at;
    }
    destination_ = names_[at];
    for (;;) {
        const int failure = file_.open(folder_, names_[at]);
        if (failure == 0) break;
        const FileErrorCause cause = fileErrorCause(failure);
        trace("Unable to open %s, cause = %d\n", names_[at].c_str(), static_cast<int>(cause));
        if (!confirm(QuestionKind::Retry, BoxButtons::RetryCancel, BoxIcon::Stop,
                     texts::kBoxCaption, texts::sendOpenErrorText(cause, names_[at]))) {
            noteFailure(names_[at] + ": cannot open the local file: " + std::strerror(failure));
            return false;
        }
    }
    {
        std::lock_guard guard(recordLock_);
        records_[at].size = size = file_.size();
    }
    if ((flags_ & kSendAskNames) != 0) {
        const auto entered =
            askNewName(texts::formatText(texts::kEnterNewName, {destination_}), destination_);
        if (entered) destination_ = *entered;
    }
    op_.fieldChanged(TransferField::FileName, destination_);
    op_.fieldChanged(TransferField::FileSize, texts::kilobytes(static_cast<uint64_t>(size)));
    op_.fieldChanged(TransferField::Amount, "0");
    op_.progressChanged(0, true);
    resetFileBytes();
    sent_.clear();
    return true;
}

bool UploadEngine::verifying() const {
    // A joined memory holds more than any one file, and a DataIO link cannot read back.
    return (flags_ & kSendVerify) != 0 && !joining() && !isDataIoLink();
}

UploadEngine::Open UploadEngine::openMemory() {
    if (client_.writeOpen(destination_)) return Open::Opened;
    if (!keepRunning()) {
        noteFailure("cancelled");
        return Open::Stop;
    }
    const int kind = client_.takeFailureKind();
    if (kind == kFailureAborted) {
        // The CNC broke the request off itself: nothing to ask.
        noteFailure(destination_ + ": the CNC answered \"" + client_.lastReceived() + "\"");
        return Open::Stop;
    }
    if (kind == kFailureNotReady) {
        setStatus(XS_WAIT_USER);
        if ((answers_ & kReplaceAll) == 0) {
            const uint32_t answer =
                ask(QuestionKind::Replace, texts::formatText(texts::kReplaceMemory, {destination_}),
                    kAskYesAllNoCancel);
            if (answer == IDNO) return Open::Skip;
            if (!isYes(answer)) {
                noteFailure(destination_ + ": not replaced, the run was cancelled");
                return Open::Stop;
            }
            if (answer == IDYESTOALL) answers_ |= kReplaceAll;
        }
        client_.deleteMemory(destination_);
        if (client_.writeOpen(destination_)) return Open::Opened;
        client_.takeFailureKind();
        noteFailure(destination_ + ": the CNC did not accept the name");
        setStatus(XS_ERROR);
        const uint32_t answer =
            ask(QuestionKind::Continue, texts::formatText(texts::kNameNotAccepted, {destination_}),
                kAskOkCancelStop);
        return answer == IDOK ? Open::Skip : Open::Stop;
    }
    if (kind == kFailureNoSuchMemory) {
        for (;;) {
            setStatus(XS_WAIT_USER);
            if (!confirm(QuestionKind::Retry, BoxButtons::RetryCancel, BoxIcon::Warning,
                         texts::kBoxCaption,
                         texts::formatText(texts::kMemoryInUse, {destination_}))) {
                noteFailure(destination_ + ": the memory is in use on the CNC");
                return Open::Stop;
            }
            setStatus(XS_WAIT_CNC);
            if (client_.writeOpen(destination_)) return Open::Opened;
            client_.takeFailureKind();
            setStatus(XS_ERROR);
        }
    }
    for (;;) {
        const int code = client_.lastError();
        noteFailure(
            destination_ + ": " +
            (code != 0 ? client_.failureText(code) : std::string("the CNC did not answer")));
        setStatus(XS_ERROR);
        client_.abort();
        if (!confirm(QuestionKind::Retry, BoxButtons::RetryCancel, BoxIcon::Warning,
                     texts::kBoxCaption, texts::kCannotStartSending)) {
            return Open::Stop;
        }
        setStatus(XS_WAIT_CNC);
        if (client_.writeOpen(destination_)) return Open::Opened;
        client_.takeFailureKind();
    }
}

bool UploadEngine::sendFile() {
    bool hasHeader = true;
    {
        std::lock_guard guard(recordLock_);
        hasHeader = records_[current_].hasHeader;
    }
    const std::string header = programHeader(flags_, destination_, hasHeader, firstFile_);
    // Only the first file of the run opens a %A stream, whether or not it brought its own "%".
    firstFile_ = false;
    if (!header.empty() && !writeToCnc(header)) return false;

    std::string block;
    for (;;) {
        if (!readBlock(block)) {
            setStatus(XS_STOPPING);
            return false;
        }
        if (!keepRunning()) {
            cancelRun();
            return false;
        }
        if (!block.empty()) {
            setStatus(XS_TRANSFER);
            if (!writeToCnc(block)) return false;
            continue;
        }
        // The end of the file is the end of the memory, unless further files join it.
        if (!joining()) {
            if (!writeToCnc(std::string())) return false;
            memoryInProgress_ = false;
            if (verifying()) {
                pause(pauses().settle);
                if (!verifyMemory(destination_, sent_, "sent")) return true;
            }
        }
        noteCompleted(destination_);
        return true;
    }
}

bool UploadEngine::readBlock(std::string& block) {
    const std::string& name = names_[current_];
    for (;;) {
        const int failure = file_.read(payload_, block);
        if (failure == 0) break;
        const FileErrorCause cause = fileErrorCause(failure);
        trace("Unable to read from %s, cause = %d\n", name.c_str(), static_cast<int>(cause));
        if (!confirm(QuestionKind::Retry, BoxButtons::RetryCancel, BoxIcon::Stop,
                     texts::kBoxCaption, texts::sendReadErrorText(cause, name))) {
            file_.close();
            noteFailure(name + ": cannot read the local file: " + std::strerror(failure));
            return false;
        }
    }
    addBytes(block.size());
    if (verifying()) sent_ += block;
    const uint64_t sent = fileBytes();
    const int64_t size = file_.size();
    int percent = 100;
    if (size >= 100) {
        percent =
            static_cast<int>(std::min<uint64_t>(100, sent / static_cast<uint64_t>(size / 100)));
    }
    op_.progressChanged(percent, true);
    op_.fieldChanged(TransferField::Amount, texts::kilobytes(sent));
    if (block.empty()) file_.close();
    return true;
}

bool UploadEngine::writeToCnc(std::string_view block) {
    const BlockResult sent = client_.writeBlock(block);
    if (sent.ok()) return true;
    memoryInProgress_ = client_.transferState() != TransferState::Idle;
    reportLinkError(destination_, sent);
    setStatus(XS_STOPPING);
    return false;
}

void UploadEngine::cancelRun() {
    client_.abort();
    // The memory begun in this run goes; a memory completed before stays.
    if (memoryInProgress_) {
        pause(pauses().afterAbort, false);
        client_.deleteMemory(openedMemory_);
        memoryInProgress_ = false;
    }
    noteFailure("cancelled");
    setStatus(XS_STOPPING);
}

}  // namespace qel
