// "PT": the CNC asks for a file and the PC sends it block by block, each block acknowledged
// by the CNC's "T NB", the end marked with "T FD" and confirmed with "M OK".
#include "remote/RemoteFileTransfers.h"

#include "remote/PrintfText.h"
#include "remote/RemoteCommand.h"
#include "remote/RemoteModeTexts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace qel::remote {

namespace text = remote_text;

namespace {

void showWaiting(RemoteModeDisplay& display) {
    display.setStatus(text::kWaiting);
    display.setProgressMode(ProgressMode::Percent);
    display.setProgressPos(0);
}

// Up to size bytes; fewer only at the end of the file. False (errno set) on a read error.
bool readUpTo(int file, size_t size, std::string& block) {
    block.assign(size, '\0');
    size_t filled = 0;
    while (filled < size) {
        const ssize_t got = ::read(file, block.data() + filled, size - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        filled += static_cast<size_t>(got);
    }
    block.resize(filled);
    return true;
}

enum class Outcome { Sent, Failed, ReadError };

// The CNC's answer to the block just sent. Silence within the time-out is waited out; a link
// that failed in another way ends the transfer instead of being asked again and again.
ServeAnswer awaitAnswer(RemoteSession& session, std::string& cncText) {
    for (;;) {
        const ServeAnswer answer = session.link.serveAwait(cncText);
        if (answer != ServeAnswer::NoAnswer) return answer;
        if (session.abortRequested || session.link.lastError() != DNC_ERR_TIMEOUT) {
            return ServeAnswer::NoAnswer;
        }
    }
}

Outcome sendBlocks(RemoteSession& session, int file, std::string& cncText) {
    const size_t blockSize = static_cast<size_t>(session.blockSize);
    for (;;) {
        std::string block;
        if (!readUpTo(file, blockSize, block)) return Outcome::ReadError;
        if (block.size() == blockSize) session.display.stepProgress();
        // The data is text: a block ends at its first NUL, and a block that starts with one
        // ends the file ("T FD").
        block.resize(std::min(block.size(), block.find('\0')));
        const bool endOfFile = block.empty();
        session.link.serveBlock(block);
        const ServeAnswer answer = awaitAnswer(session, cncText);
        if (answer != ServeAnswer::Continue) return Outcome::Failed;
        // "M OK" after "T FD": the CNC has the whole file, an Abort now is too late.
        if (endOfFile) return Outcome::Sent;
        if (session.abortRequested) return Outcome::Failed;
    }
}

}  // namespace

void sendFileToCnc(RemoteSession& session, std::string_view telegram) {
    const std::string name = transferFileName(telegram);
    if (session.refusedName(commandArgument(telegram), name, text::kReplyCannotOpen,
                            text::kReplyNoFile)) {
        return;
    }
    const char* cName = name.c_str();
    // A telegram without both type characters opens no exchange.
    if (memoryTypeOf(telegram).size() < 2) {
        session.reply(text::kReplyNoFile);
        session.log(printfText(text::kNotFound, cName));
        return;
    }
    const std::optional<FolderEntry> entry = session.folder.findByName(name);
    if (!entry) {
        session.reply(text::kReplyNoFile);
        session.log(printfText(text::kNotFound, cName));
        return;
    }
    if (entry->kind == EntryKind::Outside) {
        session.reply(text::kReplyNoFile);
        session.log(printfText(text::kLeadsOutside, entry->name.c_str()));
        return;
    }
    const UniqueFd file = session.folder.openForReading(*entry);
    struct stat facts {};
    if (!file || ::fstat(file.get(), &facts) != 0) {
        session.traceFileError("open", entry->name, errno);
        session.reply(text::kReplyCannotOpen);
        session.log(printfText(text::kCannotUpload, cName));
        return;
    }

    RemoteModeDisplay& display = session.display;
    display.enableExit(false);
    display.setStatus(
        printfText(text::kSending, cName, static_cast<double>(facts.st_size) / 1024.0));
    display.setProgressRange(0, facts.st_size);
    display.setProgressStep(session.blockSize);
    display.setProgressMode(ProgressMode::PercentAndKilobytes);
    display.setProgressPos(0);
    session.abortRequested = false;
    if (!session.link.serveTransmit(telegram)) {
        session.log(text::kCommunicationFailure);
        showWaiting(display);
        return;
    }

    display.enableAbort(true);
    std::string cncText;
    const Outcome outcome = sendBlocks(session, file.get(), cncText);
    display.enableAbort(false);
    if (outcome == Outcome::Sent) {
        session.log(printfText(text::kSent, cName));
    } else {
        if (outcome == Outcome::ReadError) {
            session.traceFileError("read", entry->name, errno);
            session.log(printfText(text::kReadError, cName));
        }
        session.log(printfText(text::kTransferAborted, cName));
        session.link.abort();
        if (!session.abortRequested && !cncText.empty()) {
            session.log(printfText(text::kCncError, cncText.c_str()));
        }
    }
    session.abortRequested = false;
    showWaiting(display);
}

}  // namespace qel::remote
