// cncsim: a simulated CNC control. The logic lives in cncsim_core; this file wires the chosen
// line, role and store together and turns the outcome into the exit status.
#include <stdlib.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "CncMachine.h"
#include "DataIoTape.h"
#include "FdLine.h"
#include "LatentLine.h"
#include "PseudoTerminal.h"
#include "RemoteClient.h"
#include "Rxa2Link.h"
#include "SimOptions.h"
#include "StopSignal.h"
#include "TcpLink.h"

namespace fs = std::filesystem;
using namespace cncsim;

namespace {

// The default store: a new empty folder, removed with everything in it at the end.
class TemporaryFolder {
  public:
    TemporaryFolder() {
        std::string pattern = (fs::temp_directory_path() / "cncsim-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary store folder");
        path_ = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

void loadMemories(const fs::path& from, const fs::path& store) {
    if (!fs::is_directory(from)) throw std::runtime_error("--load: no folder " + from.string());
    for (const auto& entry : fs::directory_iterator(from)) {
        if (entry.is_regular_file())
            fs::copy_file(entry.path(), store / entry.path().filename(),
                          fs::copy_options::overwrite_existing);
    }
}

// Runs the chosen role on one connected line; returns the exit status.
int runSession(ByteLine& line, bool tcp, const SimOptions& options, MemoryStore& store,
               CncMachine& machine, TraceLog& trace) {
    FaultPlan faults(options.faults);
    std::unique_ptr<TelegramLink> link;
    if (tcp)
        link = std::make_unique<TcpLink>(line, faults, trace, options.rxa2.frameTimeoutMs);
    else
        link = std::make_unique<Rxa2Link>(line, faults, trace, options.rxa2);

    switch (options.role) {
        case Role::Machine:
            machine.serve(*link);
            return 0;
        case Role::Remote: {
            RemoteClient client(*link, store, &std::cout, options.machine.transferTimeoutMs,
                                options.machine.blockPayload);
            return client.run(options.commands) ? 0 : 1;
        }
        case Role::Punch:
            for (;;) {
                if (!punchTape(line, store, options.tape, trace, &std::cout))
                    return StopSignal::requested() ? 0 : 1;
                if (options.once) return 0;
            }
        case Role::Reader:
            for (;;) {
                if (!readTape(line, store, options.tape, trace, &std::cout))
                    return StopSignal::requested() ? 0 : 1;
                if (options.once) return 0;
            }
    }
    return 1;
}

// A serial line, behind a simulated USB adapter when --latency asks for one.
int runSerialSession(ByteLine& line, const SimOptions& options, MemoryStore& store,
                     CncMachine& machine, TraceLog& trace) {
    if (options.latencyMs <= 0) return runSession(line, false, options, store, machine, trace);
    LatentLine adapter(line, std::chrono::milliseconds(options.latencyMs));
    return runSession(adapter, false, options, store, machine, trace);
}

int run(const SimOptions& options) {
    std::optional<TemporaryFolder> temporary;
    fs::path storePath;
    if (options.storeDir.empty()) {
        temporary.emplace();
        storePath = temporary->path();
    } else {
        storePath = options.storeDir;
        fs::create_directories(storePath);
    }
    if (!options.loadDir.empty()) loadMemories(options.loadDir, storePath);
    std::cout << "store " << storePath.string() << std::endl;

    MemoryStore store(storePath);
    TraceLog trace(options.quiet ? nullptr : &std::cerr);
    CncMachine machine(store, options.refusals, options.machine, &std::cout);

    switch (options.line) {
        case LineKind::TcpListen: {
            TcpListener listener(options.tcp);
            std::cout << "listening on " << listener.host() << ':' << listener.port() << std::endl;
            for (;;) {
                UniqueFd peer = listener.accept();
                if (!peer.valid()) return 0;
                std::cout << "connected" << std::endl;
                FdLine line(peer.get());
                int status = runSession(line, true, options, store, machine, trace);
                std::cout << "disconnected" << std::endl;
                if (options.once || options.role != Role::Machine || StopSignal::requested())
                    return status;
            }
        }
        case LineKind::TcpConnect: {
            UniqueFd socket = connectTcp(options.tcp, options.connectWaitMs);
            std::cout << "connected to " << options.tcp.host << ':' << options.tcp.port
                      << std::endl;
            FdLine line(socket.get());
            return runSession(line, true, options, store, machine, trace);
        }
        case LineKind::Pty: {
            PseudoTerminal pty(options.linkPath);
            std::cout << "pty " << pty.slavePath() << std::endl;
            if (!options.linkPath.empty()) std::cout << "link " << options.linkPath << std::endl;
            FdLine line(pty.masterFd());
            line.setHangupIsIdle(true);
            line.setLineSpeed(options.baud);
            int status = runSerialSession(line, options, store, machine, trace);
            pty.waitUntilDrained(10000);
            return status;
        }
        case LineKind::Serial: {
            UniqueFd device = openSerialDevice(options.device, options.baud);
            std::cout << "serial " << options.device << std::endl;
            FdLine line(device.get());
            return runSerialSession(line, options, store, machine, trace);
        }
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    auto parsed = parseOptions(args);
    if (std::holds_alternative<ShowHelp>(parsed)) {
        std::cout << helpText();
        return 0;
    }
    if (auto* error = std::get_if<UsageError>(&parsed)) {
        std::cerr << "cncsim: " << error->message << "\nTry 'cncsim --help'.\n";
        return 2;
    }
    StopSignal::install();
    try {
        return run(std::get<SimOptions>(parsed));
    } catch (const std::exception& e) {
        std::cerr << "cncsim: " << e.what() << '\n';
        return 1;
    }
}
