#include "remote/RemoteSession.h"

#include "base/FileErrorCause.h"
#include "base/Trace.h"
#include "remote/CncNameCheck.h"
#include "remote/PrintfText.h"
#include "remote/RemoteModeTexts.h"

#include <utility>

namespace qel::remote {

void clearLinkErrors(CncClient& link) {
    // The library keeps at most 16; the bound only guards against a link that never empties.
    constexpr int kMaxErrors = 64;
    for (int i = 0; i < kMaxErrors; ++i) {
        if (link.lastError() == 0) return;
    }
}

RemoteSession::RemoteSession(CncClient& link, RemoteModeDisplay& display,
                             std::atomic<bool>& abortRequested,
                             std::function<std::string()> servedFolder)
    : link(link),
      display(display),
      abortRequested(abortRequested),
      servedFolder(std::move(servedFolder)) {}

void RemoteSession::reply(std::string_view telegram) {
    link.sendTelegram(std::string(telegram));
}

void RemoteSession::log(std::string_view line) {
    display.logLine(line);
}

bool RemoteSession::refusedName(std::string_view lengthChecked, std::string_view name,
                                std::string_view tooLongReply, std::string_view outsideReply) {
    if (tooLongForCncName(lengthChecked)) {
        log(printfText(remote_text::kNameTooLong, lengthChecked.size()));
        reply(tooLongReply);
        return true;
    }
    if (leavesServedFolder(name)) {
        log(printfText(remote_text::kNameRefused, std::string(name).c_str()));
        reply(outsideReply);
        return true;
    }
    return false;
}

void RemoteSession::traceFileError(const char* operation, std::string_view name, int error) {
    trace("remote: %s '%.*s' failed: errno %d (cause = %d)\n", operation,
          static_cast<int>(name.size()), name.data(), error,
          static_cast<int>(fileErrorCause(error)));
}

}  // namespace qel::remote
