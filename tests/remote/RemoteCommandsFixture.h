// One remote-mode command at a time against a scripted CNC, in a folder of its own: what the
// CNC sends is queued first, then the command runs on the test's thread.
#pragma once

#include "remote/RemoteCommandDispatcher.h"
#include "remote/RemoteSession.h"

#include "ConversationLink.h"
#include "RemoteTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <initializer_list>

namespace qel::remote::testing {

inline LinkSettings tcpServerLink() {
    LinkSettings settings;
    settings.linkType = DNC_LINK_TCP_SERVER;
    settings.port = 19000;
    settings.flags = DNC_FLAG_RESERVE | DNC_FLAG_NO_LOGIN;
    return settings;
}

struct RemoteCommandsFixture : ::testing::Test {
    TempFolder parent;
    std::filesystem::path served = parent / "served";
    std::filesystem::path outside = parent / "outside";
    ConversationLink cnc;
    CncClient link{tcpServerLink(), 0, cnc};
    RemoteModeDisplay display;
    RecordingView view{display};
    std::atomic<bool> abortRequested = false;
    std::string chosenFolder = served.string();
    RemoteSession session{link, display, abortRequested, [this] { return chosenFolder; }};

    RemoteCommandsFixture() {
        std::filesystem::create_directories(served);
        std::filesystem::create_directories(outside);
        writeFile(outside / "SECRET.PM", "secret");
        session.folder.open(served.string());
        session.blockSize = link.blockPayload();
    }

    // Runs one command after queueing the CNC's later telegrams; returns what the PC sent.
    std::vector<std::string> perform(const std::string& telegram,
                                     std::initializer_list<std::string> cncLater = {}) {
        for (const std::string& text : cncLater) cnc.cncSends(text);
        const size_t before = cnc.sent().size();
        view.clear();
        performRemoteCommand(session, telegram);
        const std::vector<std::string> all = cnc.sent();
        return {all.begin() + static_cast<long>(before), all.end()};
    }
    // The one reply of a simple command.
    std::string replyTo(const std::string& telegram) {
        const std::vector<std::string> sent = perform(telegram);
        return sent.size() == 1 ? sent[0] : "(" + std::to_string(sent.size()) + " telegrams)";
    }
    std::vector<std::string> logged() const { return view.lines(); }
    void put(const std::string& name, const std::string& content) {
        writeFile(served / name, content);
    }
    void linkOut(const std::string& name) {
        std::filesystem::create_symlink(outside / "SECRET.PM", served / name);
    }
};

}  // namespace qel::remote::testing
