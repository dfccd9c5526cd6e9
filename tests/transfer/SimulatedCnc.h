// cncsim as a child process with a store folder of its own, and links to it: TCP on a port it
// picked, RXA/2 or DataIO over the pseudo-terminal it created (as COM1 of this process).
#pragma once

#include "ChildProcess.h"
#include "TransferTestSupport.h"
#include "client/QelComC.h"

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace qel::testing {

class SimulatedCnc {
  public:
    static constexpr std::chrono::milliseconds kStartLimit{5000};

    using Memories = std::vector<std::pair<std::string, std::string>>;

    // line: "--tcp-listen 127.0.0.1:0" or "--pty" with its protocol options; then any options.
    // memories are in the store before the simulator starts (a tape reader reads its tape at
    // once); the machine reads its store on each request, so later ones may follow any time.
    explicit SimulatedCnc(const std::vector<std::string>& options, const Memories& memories = {})
        : store(filled(memories)), process_(command(store.path.string(), options)) {}

    TempFolder store;  // the CNC's memories, one file NAME.TYPE each

    ChildProcess& process() { return process_; }
    // Waits for a line of the simulator's report ("transfer PR X.PM: ... complete").
    std::optional<std::string> report(std::string_view text,
                                      std::chrono::milliseconds limit = kStartLimit) {
        return process_.waitForLine(ChildProcess::Stream::Out, text, limit);
    }

    // "127.0.0.1:PORT" once the simulator listens.
    std::string tcpAddress() {
        if (address_.empty()) {
            const auto line = report("listening on ");
            address_ = line ? line->substr(line->rfind(' ') + 1) : "127.0.0.1:1";
        }
        return address_;
    }
    // A TCP client to the simulator: one retry, replies within one second.
    std::unique_ptr<CncClient> tcpClient() {
        const std::string address = tcpAddress();
        LinkSettings settings;
        settings.linkType = DNC_LINK_TCP_CLIENT;
        settings.hostName = "127.0.0.1";
        settings.port = std::stoi(address.substr(address.rfind(':') + 1));
        settings.flags = DNC_FLAG_RESERVE;
        auto client = std::make_unique<CncClient>(settings, 0);
        client->setLinkParams(1, -1, 0);
        return client;
    }
    // A serial client on the simulator's pseudo-terminal, made COM1 of this process.
    std::unique_ptr<CncClient> serialClient(int linkType = DNC_LINK_RXA2) {
        if (ptyPath_.empty()) {
            const auto line = report("pty ");
            ptyPath_ = line ? line->substr(line->rfind(' ') + 1) : "/none";
        }
        ::setenv("CABLOR_COM1", ptyPath_.c_str(), 1);
        LinkSettings settings;
        settings.linkType = linkType;
        settings.port = 1;
        settings.speed = 115200;
        auto client = std::make_unique<CncClient>(settings, 0);
        if (linkType == DNC_LINK_RXA2) client->setLinkParams(2, 1, 0);
        return client;
    }

  private:
    static TempFolder filled(const Memories& memories) {
        TempFolder folder;
        for (const auto& [name, text] : memories) folder.write(name, text);
        return folder;
    }
    static std::vector<std::string> command(const std::string& store,
                                            const std::vector<std::string>& options) {
        std::vector<std::string> argv = {CNCSIM_PROGRAM, "--quiet", "--store", store};
        argv.insert(argv.end(), options.begin(), options.end());
        return argv;
    }
    ChildProcess process_;
    std::string address_;
    std::string ptyPath_;
};

inline const std::vector<std::string> kTcpLine = {"--tcp-listen", "127.0.0.1:0"};

}  // namespace qel::testing
