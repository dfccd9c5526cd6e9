// "PR": the CNC sends a file. It is written under a temporary name and only named when the
// whole file has arrived, so an existing file is never clobbered and a broken transfer leaves
// nothing behind.
#include "remote/RemoteFileTransfers.h"

#include "base/TemporaryFile.h"
#include "remote/IncomingFile.h"
#include "remote/PrintfText.h"
#include "remote/RemoteCommand.h"
#include "remote/RemoteModeTexts.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

namespace qel::remote {

namespace text = remote_text;

namespace {

constexpr int64_t kUnknownSizeRange = 131072;

// The data of a block is text: it ends at its first NUL.
std::string_view textPart(std::string_view data) {
    return data.substr(0, data.find('\0'));
}

size_t longestName(int folder) {
    const long longest = ::fpathconf(folder, _PC_NAME_MAX);
    return longest > 0 ? static_cast<size_t>(longest) : NAME_MAX;
}

void showWaiting(RemoteModeDisplay& display) {
    display.setStatus(text::kWaiting);
    display.setProgressMode(ProgressMode::Percent);
    display.setProgressPos(0);
}

enum class Outcome { Received, Failed, WriteError };

// Steps 6 and 7: the blocks after the first, until the CNC's "T FD", a failure or Abort.
Outcome receiveBlocks(RemoteSession& session, IncomingFile& file, std::string_view firstBlock,
                      std::string& cncText) {
    if (!file.write(textPart(firstBlock))) return Outcome::WriteError;
    session.display.stepProgress();
    if (session.abortRequested) return Outcome::Failed;
    for (;;) {
        // The CNC's "T FD" is answered only once the file is in place under its name.
        const BlockResult block = session.link.readBlock(CncClient::EndConfirmation::Later);
        if (!block.ok()) {
            cncText = block.text;
            return Outcome::Failed;
        }
        // The end of the file ("T FD", acknowledged) closes the exchange. An empty block inside
        // the exchange is no end: the CNC still waits for "T NB", so the exchange goes on.
        if (block.endOfMemory()) return Outcome::Received;
        if (!file.write(textPart(block.text))) return Outcome::WriteError;
        session.display.stepProgress();
        if (session.abortRequested) return Outcome::Failed;
    }
}

}  // namespace

void receiveFileFromCnc(RemoteSession& session, std::string_view telegram) {
    const std::string name = transferFileName(telegram);
    if (session.refusedName(commandArgument(telegram), name, text::kReplyCannotOpen,
                            text::kReplyNoFile)) {
        return;
    }
    const char* cName = name.c_str();
    // A file under the name of a part file would be stored but never listed, read or deleted
    // again: the CNC would believe a program is kept that it can no longer reach.
    if (isTemporaryFileName(name)) {
        session.reply(text::kReplyNoFile);
        session.log(printfText(text::kNameKeptForParts, cName));
        return;
    }
    // A telegram without both type characters opens no exchange.
    if (memoryTypeOf(telegram).size() < 2) {
        session.reply(text::kReplyCannotOpen);
        session.log(printfText(text::kCannotCreate, cName));
        return;
    }
    if (const std::optional<FolderEntry> existing = session.folder.findByName(name)) {
        if (existing->kind == EntryKind::Outside) {
            session.reply(text::kReplyNoFile);
            session.log(printfText(text::kLeadsOutside, existing->name.c_str()));
        } else if (existing->kind == EntryKind::File) {
            session.reply(text::kReplyNoFile);
            session.log(printfText(text::kAlreadyExists, cName));
        } else {
            // A folder (or pipe, device...) holds the name: no file can be made there.
            session.reply(text::kReplyCannotOpen);
            session.log(printfText(text::kCannotCreate, cName));
        }
        return;
    }
    IncomingFile file;
    // The file gets its name only at the end: a name the file system cannot hold is refused
    // now, before the CNC sends anything.
    const int folder = session.folder.descriptor();
    const bool fits = name.size() <= longestName(folder);
    if (!fits) errno = ENAMETOOLONG;
    if (!fits || !file.create(folder)) {
        session.traceFileError("create", name, errno);
        session.reply(text::kReplyCannotOpen);
        session.log(printfText(text::kCannotCreate, cName));
        return;
    }

    RemoteModeDisplay& display = session.display;
    display.enableExit(false);
    display.setStatus(printfText(text::kReceiving, cName));
    // An Abort pressed before this transfer is forgotten; one pressed (or an Exit) from now on
    // counts, even before the first block has arrived.
    session.abortRequested = false;
    std::string firstBlock(telegram);
    // Old errors go, so that one left now tells that the CNC did not answer.
    clearLinkErrors(session.link);
    if (!session.link.serveReceive(firstBlock)) {
        // "T FD" at once: the CNC has nothing to send, the file stays empty. Any other answer,
        // or none, means nothing was received, and nothing is kept.
        const bool emptyFile =
            session.link.lastError() == 0 && session.link.lastReceived().starts_with("T FD");
        if (emptyFile && !file.commit(name)) {
            session.traceFileError("name", name, errno);
            session.log(printfText(text::kWriteError, cName));
        }
        showWaiting(display);
        return;
    }

    display.setProgressRange(0, kUnknownSizeRange);
    display.setProgressStep(session.blockSize);
    display.setProgressMode(ProgressMode::Kilobytes);
    display.setProgressPos(0);
    display.enableAbort(true);

    std::string cncText;
    const Outcome outcome = receiveBlocks(session, file, commandArgument(firstBlock), cncText);
    display.enableAbort(false);
    if (outcome == Outcome::WriteError) {
        session.traceFileError("write", name, errno);
        session.link.abort();
        file.discard();
        session.log(printfText(text::kWriteError, cName));
    } else if (outcome == Outcome::Received) {
        // Complete: an Abort that came during the last exchange is too late. The CNC hears
        // "M OK" only when the file has its name; a file of that name that appeared meanwhile
        // (another program, an operator) keeps it, and the CNC is told "T BD".
        if (file.commit(name)) {
            session.link.confirmEnd();
            session.log(printfText(text::kReceived, cName));
        } else {
            session.traceFileError("name", name, errno);
            session.link.abort();
            session.log(printfText(text::kWriteError, cName));
        }
    } else if (session.abortRequested) {
        session.link.abort();
        file.discard();
        session.log(printfText(text::kTransferAborted, cName));
    } else {
        session.link.abort();
        file.discard();
        session.log(text::kReceiveFailed);
        if (!cncText.empty()) session.log(printfText(text::kCncError, cncText.c_str()));
    }
    session.abortRequested = false;
    showWaiting(display);
}

}  // namespace qel::remote
