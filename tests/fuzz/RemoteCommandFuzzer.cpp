// Any telegrams a CNC may send in remote mode, into the command dispatcher, with the CNC's later
// answers (and lost receives) from the input too. The served folder holds files, a locked file,
// a sub-folder, a pipe, a dangling link, links inside and links leading out; beside it lie a
// sentinel file and a folder with a secret. Whatever the CNC sends: nothing outside the served
// folder is created, changed, locked or deleted; every command but "M ER" is answered; no
// exchange stays open and no reservation is left over; Abort is disabled again afterwards; no
// part file of a broken receive stays.
//
// Input: lines (LF). A line that starts with 0x01 begins a new command, the rest of it being
// the command telegram; so does the first line. Of the lines after a command, one starting
// with 0x02 makes the next receive fail with the error code of its second byte, one starting
// with 0x03 presses Abort once the PC has sent as many telegrams in this command as its
// second byte says, and every other line is a telegram the CNC sends when the PC listens.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ConversationLink.h"
#include "RemoteTestSupport.h"
#include "ScratchFolder.h"
#include "base/TemporaryFile.h"
#include "remote/RemoteCommand.h"
#include "remote/RemoteCommandDispatcher.h"
#include "remote/RemoteSession.h"

namespace fs = std::filesystem;
using namespace qel;
using namespace qel::remote;

namespace {

constexpr size_t kMaxCommands = 16;
constexpr size_t kMaxLinesPerCommand = 32;

void check(bool holds) {
    if (!holds) std::abort();
}

struct Folders {
    fs::path parent, served, outside, sentinel;
    std::vector<std::string> parentNames, outsideSnapshot, servedSnapshot;
    std::string sentinelContent;
    mode_t sentinelMode = 0;
};

mode_t modeOf(const fs::path& path) {
    struct stat facts {};
    return ::lstat(path.c_str(), &facts) == 0 ? facts.st_mode : 0;
}

void fillServedFolder(const Folders& f) {
    using testing::writeFile;
    fs::create_directory(f.served);
    writeFile(f.served / "A.PM", "%PM1\r\nN10 G0 X1\r\nN20 M30\r\n");
    std::string big;
    for (int line = 0; line < 40; ++line) big += "N" + std::to_string(line * 10) + " X0\r\n";
    writeFile(f.served / "B.PM", big);  // several blocks
    writeFile(f.served / "C.TO", "T1 R5");
    writeFile(f.served / "lower.pm", "lower case");
    writeFile(f.served / "EMPTY.PM", "");
    writeFile(f.served / "NUL.PM", std::string("AB\0CD", 5));
    writeFile(f.served / "LOCKED.PM", "locked");
    testing::makeReadOnly(f.served / "LOCKED.PM");
    fs::create_directory(f.served / "SUB.PM");
    testing::writeFile(f.served / "SUB.PM" / "INNER.PM", "inner");
    if (::mkfifo((f.served / "PIPE.PM").c_str(), 0644) != 0) std::abort();
    fs::create_symlink("A.PM", f.served / "INSIDE.PM");
    fs::create_symlink(f.outside / "SECRET.PM", f.served / "OUT.PM");
    fs::create_symlink("../SENTINEL.PM", f.served / "UP.PM");
    fs::create_symlink(f.outside, f.served / "OUTDIR.PM");
    fs::create_symlink("MISSING.PM", f.served / "DANGLING.PM");
}

// A listing read right after the folder changed is read again; one from an older folder may
// be kept. The folder's time is set back, so that requests in a row can keep their listing.
void ageServedFolder(const Folders& f) {
    const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, f.served.c_str(), times, 0);
}

Folders& folders() {
    static Folders* const made = [] {
        auto* f = new Folders;
        f->parent = fuzz::scratchFolder() / "remote";
        f->served = f->parent / "served";
        f->outside = f->parent / "outside";
        f->sentinel = f->parent / "SENTINEL.PM";
        fs::create_directories(f->outside / "DIR.PM");
        testing::writeFile(f->outside / "SECRET.PM", "secret");
        testing::writeFile(f->outside / "DIR.PM" / "X.PM", "x");
        testing::writeFile(f->sentinel, "sentinel");
        fillServedFolder(*f);
        f->parentNames = testing::namesIn(f->parent);
        f->outsideSnapshot = testing::snapshotOf(f->outside);
        f->servedSnapshot = testing::snapshotOf(f->served);
        f->sentinelContent = testing::readFile(f->sentinel).value();
        f->sentinelMode = modeOf(f->sentinel);
        return f;
    }();
    return *made;
}

// The served folder as it was at the start, made again only when a command changed it.
void restoreServedFolder(const Folders& f) {
    if (testing::snapshotOf(f.served) != f.servedSnapshot) {
        std::error_code ignored;
        fs::permissions(f.served, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(f.served, ignored);
        fillServedFolder(f);
        check(testing::snapshotOf(f.served) == f.servedSnapshot);
    }
    ageServedFolder(f);
}

void checkNothingOutsideChanged(const Folders& f) {
    check(testing::namesIn(f.parent) == f.parentNames);
    check(testing::snapshotOf(f.outside) == f.outsideSnapshot);
    check(testing::readFile(f.sentinel) == f.sentinelContent);
    check(modeOf(f.sentinel) == f.sentinelMode);
}

struct Command {
    std::string telegram;
    std::vector<std::string> lines;
};

std::vector<Command> commandsOf(std::string_view input) {
    std::vector<Command> commands;
    size_t at = 0;
    while (at <= input.size()) {
        const size_t end = std::min(input.find('\n', at), input.size());
        const std::string_view line = input.substr(at, end - at);
        at = end + 1;
        if (commands.empty() || line.starts_with('\x01')) {
            if (commands.size() == kMaxCommands) break;
            commands.push_back({std::string(line.substr(line.starts_with('\x01') ? 1 : 0)), {}});
        } else if (commands.back().lines.size() < kMaxLinesPerCommand) {
            commands.back().lines.emplace_back(line);
        }
    }
    return commands;
}

LinkSettings tcpServer() {
    LinkSettings settings;
    settings.linkType = DNC_LINK_TCP_SERVER;
    settings.port = 19000;
    settings.flags = DNC_FLAG_RESERVE | DNC_FLAG_NO_LOGIN;
    return settings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Folders& f = folders();
    restoreServedFolder(f);

    testing::ConversationLink cnc;
    cnc.setSilenceLimit(3);  // a CNC that stays silent in a transfer is gone after a while
    CncClient link(tcpServer(), 0, cnc);
    RemoteModeDisplay display;
    std::atomic<bool> abortRequested = false;
    const std::string servedPath = f.served.string();
    RemoteSession session(link, display, abortRequested, [&] { return servedPath; });
    check(session.folder.open(servedPath));
    session.blockSize = link.blockPayload();
    const int depthBefore = link.reserveDepth();

    for (const Command& command :
         commandsOf(std::string_view(reinterpret_cast<const char*>(data), size))) {
        cnc.clearIncoming();
        size_t abortAfter = 0;  // 0: no Abort
        for (const std::string& line : command.lines) {
            if (line.starts_with('\x02')) {
                cnc.receiveFails(line.size() > 1 ? static_cast<unsigned char>(line[1]) % 32 : 0);
            } else if (line.starts_with('\x03')) {
                abortAfter = line.size() > 1 ? static_cast<unsigned char>(line[1]) : 1;
            } else {
                cnc.cncSends(line);
            }
        }
        size_t sent = 0;
        cnc.onSent = [&](const std::string&) {
            if (++sent == abortAfter) abortRequested = true;
        };
        const size_t before = cnc.sent().size();
        performRemoteCommand(session, command.telegram);
        cnc.onSent = nullptr;
        abortRequested = false;

        const size_t replies = cnc.sent().size() - before;
        if (recogniseCommand(command.telegram) == RemoteCommand::CncError) {
            check(replies == 0);
        } else {
            check(replies >= 1);
        }
        check(link.transferState() == TransferState::Idle);
        check(link.reserveDepth() == depthBefore);
        check(!display.abortEnabled());
        for (const std::string& name : testing::namesIn(f.served)) {
            check(!isTemporaryFileName(name));
        }
    }
    checkNothingOutsideChanged(f);
    return 0;
}
