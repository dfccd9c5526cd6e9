#include "remote/RemoteDirectoryCommands.h"

#include "remote/DirectoryListing.h"
#include "remote/PrintfText.h"
#include "remote/RemoteCommand.h"
#include "remote/RemoteModeTexts.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string>

namespace qel::remote {

namespace text = remote_text;

namespace {

constexpr size_t kDirectoryTypeAt = 17;

// Logs and answers "M NR13" for a pattern that must not be used; true when refused.
bool refusedPattern(RemoteSession& session, std::string_view pattern) {
    return session.refusedName(pattern, pattern, text::kReplyNoMatch, text::kReplyNoMatch);
}

std::string quoted(const char* format, const std::string& name) {
    return printfText(format, name.c_str());
}

// The name of a listed file without its extension (from the last dot on).
std::string_view withoutExtension(std::string_view name) {
    return name.substr(0, name.rfind('.'));
}

}  // namespace

void serveDirectoryEntry(RemoteSession& session, std::string_view telegram) {
    // The CNC's directory request may carry "I" where the listing wants "D".
    std::string request(telegram);
    if (request.size() > kDirectoryTypeAt && request[kDirectoryTypeAt] == 'I') {
        request[kDirectoryTypeAt] = 'D';
    }
    const long long entry = directoryEntryNumber(request);
    const std::string_view pattern = commandPattern(request);
    if (refusedPattern(session, pattern)) return;

    // A folder chosen with Browse takes effect here.
    // A folder that is gone (deleted while served, or chosen and then removed) is refused, not
    // silently replaced by the one served before.
    const std::string chosen = session.servedFolder();
    if (!session.folder.open(chosen)) {
        const int cause = errno;
        session.traceFileError("open folder", chosen, cause);
        session.log(printfText(text::kFolderUnavailable, chosen.c_str(), std::strerror(cause)));
        session.reply(text::kReplyNoMatch);
        return;
    }

    // The listing stays from one request to the next while folder and pattern stay; only the
    // asked-for entry needs its facts, read now so that a changed file shows its new size.
    const std::vector<FolderEntry>& files = session.directory.files(session.folder, pattern);
    std::optional<FileFacts> facts;
    if (entry >= 0 && entry < static_cast<long long>(files.size())) {
        const FolderEntry& wanted = files[static_cast<size_t>(entry)];
        facts = session.folder.factsOf(wanted);
        if (!facts) session.traceFileError("stat", wanted.name, errno);
    }
    if (!facts) {
        session.reply(text::kReplyNoMatch);
        return;
    }
    const FolderEntry& file = files[static_cast<size_t>(entry)];
    session.reply(text::kReplyDone + listingLine(static_cast<int>(entry), file.name, *facts));
}

namespace {

// Applies change to every file the telegram's pattern matches: folders are passed over, a
// link leading out of the served folder is left alone. Answers "M NR13" when nothing matches,
// else "M OK" or "M NR47": a failure sticks, or, with lastFileDecides, the last file handled
// decides.
template <typename Change>
void changeMatchingFiles(RemoteSession& session, const std::string& pattern,
                         const char* noFilesText, bool lastFileDecides, Change change) {
    if (refusedPattern(session, pattern)) return;
    const std::vector<FolderEntry> found = session.folder.matches(pattern);
    if (found.empty()) {
        session.log(quoted(noFilesText, pattern));
        session.reply(text::kReplyNoMatch);
        return;
    }
    std::string_view reply = text::kReplyDone;
    for (const FolderEntry& entry : found) {
        if (entry.kind == EntryKind::Folder) continue;
        bool changed = false;
        if (entry.kind == EntryKind::Outside) {
            session.log(quoted(text::kLeadsOutside, entry.name));
        } else {
            changed = change(entry);
        }
        if (!changed) {
            reply = text::kReplyNotChanged;
        } else if (lastFileDecides) {
            reply = text::kReplyDone;
        }
    }
    session.reply(reply);
}

}  // namespace

void serveDelete(RemoteSession& session, std::string_view telegram) {
    const std::string pattern(commandPattern(telegram));
    changeMatchingFiles(session, pattern, text::kNoFilesToDelete, false,
                        [&](const FolderEntry& entry) {
                            if (session.folder.remove(entry)) {
                                session.log(quoted(text::kRemoved, entry.name));
                                return true;
                            }
                            session.traceFileError("delete", entry.name, errno);
                            session.log(quoted(text::kNotRemoved, entry.name));
                            return false;
                        });
}

void serveLock(RemoteSession& session, std::string_view telegram) {
    const std::string pattern(commandPattern(telegram));
    const bool unlock = unlockRequested(telegram);
    changeMatchingFiles(
        session, pattern, text::kNoFilesToLock, true, [&](const FolderEntry& entry) {
            if (session.folder.setReadOnly(entry, !unlock)) {
                session.log(quoted(unlock ? text::kUnlocked : text::kLocked, entry.name));
                return true;
            }
            session.traceFileError(unlock ? "unlock" : "lock", entry.name, errno);
            session.log(quoted(text::kLockFailed, entry.name));
            return false;
        });
}

void serveFreeSpace(RemoteSession& session, std::string_view replyCode) {
    // The reply carries an unsigned 32-bit number: 4 GiB or more is reported as its largest
    // value rather than wrapped to a small one.
    if (const std::optional<uint64_t> free = session.folder.freeBytes()) {
        session.lastFreeSpace =
            static_cast<uint32_t>(std::min<uint64_t>(*free, std::numeric_limits<uint32_t>::max()));
    } else {
        session.log(text::kFreeSpaceFailed);
    }
    session.reply(std::string(replyCode) + std::to_string(session.lastFreeSpace));
}

void serveTypeListing(RemoteSession& session, std::string_view telegram) {
    const std::string_view type = memoryTypeOf(telegram);
    const std::string pattern =
        "*." + std::string(telegram.substr(std::min<size_t>(2, telegram.size())));
    if (session.refusedName(pattern, pattern, text::kReplyNoFile, text::kReplyNoFile)) return;
    std::vector<FolderEntry> found = session.folder.matches(pattern);
    std::erase_if(found, [](const FolderEntry& e) { return e.kind == EntryKind::Outside; });
    if (found.empty()) {
        session.reply(text::kReplyNoFile);
        return;
    }
    session.reply("M RT");
    // One name per "T NB"; anything else ends the listing early.
    for (const FolderEntry& entry : found) {
        std::string answer;
        session.link.listen(answer);
        if (answer != "T NB") {
            session.reply(text::kReplyDone);
            break;
        }
        session.reply("DI" + std::string(type) + std::string(withoutExtension(entry.name)));
    }
    std::string ignored;
    session.link.listen(ignored);
    session.reply("T FD");
    session.link.listen(ignored);
}

}  // namespace qel::remote
