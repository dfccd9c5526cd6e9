// What the remote-mode commands work with while the worker serves the CNC: the link, the
// window's display, the folder the commands work in, and the Abort request.
#pragma once

#include "client/QelComC.h"
#include "remote/DirectoryCache.h"
#include "remote/RemoteModeDisplay.h"
#include "remote/ServedFolder.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qel::remote {

// Pops the link's old errors, so that the next one read is new.
void clearLinkErrors(CncClient& link);

struct RemoteSession {
    RemoteSession(CncClient& link, RemoteModeDisplay& display, std::atomic<bool>& abortRequested,
                  std::function<std::string()> servedFolder);

    // Sends one reply telegram; the CNC's answer, if any, comes with the next listen.
    void reply(std::string_view telegram);
    // One line in the operator's log.
    void log(std::string_view line);
    // A name or pattern from the CNC that is too long (checked on lengthChecked) or would reach
    // outside the folder is logged and answered with the command's refusal; true when refused.
    bool refusedName(std::string_view lengthChecked, std::string_view name,
                     std::string_view tooLongReply, std::string_view outsideReply);
    // A failed file operation, in the debug trace with its cause number.
    void traceFileError(const char* operation, std::string_view name, int error);

    CncClient& link;
    RemoteModeDisplay& display;
    std::atomic<bool>& abortRequested;
    // The folder chosen with Browse; "MPDR" makes it the one the commands work in.
    std::function<std::string()> servedFolder;
    // The folder the commands work in (the current folder of remote mode).
    ServedFolder folder;
    // The listing the CNC reads entry by entry with "MPDR".
    DirectoryCache directory;
    // Data bytes per block, fixed when the worker starts.
    int blockSize = 124;
    // Free space reported when asking the file system fails.
    uint32_t lastFreeSpace = 0;
};

}  // namespace qel::remote
