#include "cli/TransferCommands.h"

#include "cli/TerminalOperator.h"
#include "client/LinkErrorText.h"
#include "client/LinkTypes.h"
#include "transfer/BehindTapeReader.h"
#include "transfer/Download.h"
#include "transfer/TransferRequestFlags.h"
#include "transfer/Upload.h"

#include <pthread.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>

namespace qel {

namespace {

using namespace std::chrono_literals;

constexpr auto kTick = 100ms;  // the display tick, and so at most 10 progress redraws a second

struct TransferWords {
    std::optional<std::string> newName;
    AnswerRule rule = AnswerRule::Ask;
    bool verify = false;
    std::vector<std::string> names;
};

std::string parseWords(const std::string& command, const std::vector<std::string>& words,
                       TransferWords& parsed) {
    const bool takesOptions = command != "btr";
    bool optionsEnded = false;
    bool yesAll = false;
    bool noReplace = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (!optionsEnded && word == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && !takesOptions && word.size() > 1 && word[0] == '-') {
            return command + " takes no options: " + word;
        } else if (!optionsEnded && word == "--as") {
            if (i + 1 >= words.size() || words[i + 1].empty()) return "--as needs a new name";
            parsed.newName = words[++i];
        } else if (!optionsEnded && word == "--yes-all") {
            yesAll = true;
        } else if (!optionsEnded && word == "--verify") {
            parsed.verify = true;
        } else if (!optionsEnded && word == "--no-replace") {
            noReplace = true;
        } else if (!optionsEnded && word.size() > 1 && word[0] == '-') {
            return command + ": unknown option " + word;
        } else if (word.empty()) {
            return command + ": empty name";
        } else {
            parsed.names.push_back(word);
        }
    }
    if (yesAll && noReplace) return "--yes-all and --no-replace exclude each other";
    parsed.rule = yesAll      ? AnswerRule::YesToAll
                  : noReplace ? AnswerRule::NoReplace
                              : AnswerRule::Ask;
    if (parsed.names.empty()) {
        return command +
               (command == "receive" ? " needs at least one NAME" : " needs at least one FILE");
    }
    if (parsed.newName && parsed.names.size() != 1) return "--as goes with one name only";
    if (command != "receive") {
        for (const std::string& name : parsed.names) {
            if (name.find('/') != std::string::npos) {
                return command + ": FILE must be a file of the current folder: " + name;
            }
        }
    }
    return {};
}

std::string currentFolder() {
    std::unique_ptr<char, void (*)(void*)> path(::getcwd(nullptr, 0), std::free);
    return path ? std::string(path.get()) + "/" : std::string("./");
}

// Ctrl-C, and the SIGTERM or SIGHUP of a shutdown or a closed terminal, ask the running transfer
// to stop cleanly (no partial file, no memory left open on the CNC) instead of ending qel at
// once.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
std::atomic<bool> interruptRequested{false};

extern "C" void onInterrupt(int) {
    interruptRequested = true;
}

class InterruptGuard {
  public:
    InterruptGuard() {
        interruptRequested = false;
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kStopSignals); ++i) {
            ::sigaction(kStopSignals[i], &action, &previous_[i]);
        }
    }
    ~InterruptGuard() {
        for (size_t i = 0; i < std::size(kStopSignals); ++i) {
            ::sigaction(kStopSignals[i], &previous_[i], nullptr);
        }
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

  private:
    struct sigaction previous_[std::size(kStopSignals)]{};
};

// Starts a worker with the stop signals blocked, so that it inherits the mask: they then reach
// the main thread only and never break off the worker's exchanges.
template <typename Start>
auto startShielded(Start start) {
    sigset_t stopSignals;
    sigset_t previous;
    sigemptyset(&stopSignals);
    for (const int signal : kStopSignals) sigaddset(&stopSignals, signal);
    ::pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
    auto started = start();
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return started;
}

int finish(const std::string& command, bool succeeded, const std::vector<std::string>& completed,
           const std::string& problem, std::ostream& out, std::ostream& err) {
    for (const std::string& name : completed) out << name << '\n';
    out << std::flush;
    if (succeeded) return 0;
    err << "qel: " << command << ": " << (problem.empty() ? "stopped" : problem) << '\n';
    return 1;
}

int runEngine(TransferEngine& engine, TerminalOperator& op, const std::string& command,
              CncClient& client, const LinkSettings& link, std::ostream& out, std::ostream& err) {
    if (!startShielded([&] { return engine.start(); })) {
        err << "qel: " << command
            << ": the link is busy: " << linkFailureText(client.lastError(), link) << '\n';
        return 1;
    }
    bool cancelled = false;
    while (!engine.waitFinished(kTick)) {
        engine.tick();
        op.drawProgress();
        if (interruptRequested && !cancelled) {
            cancelled = true;
            if (!engine.cancel()) engine.requestStop();
        }
    }
    engine.tick();  // the last changes
    engine.stop();
    op.endProgress();
    return finish(command, engine.succeeded(), engine.completedFiles(), engine.problem(), out, err);
}

}  // namespace

bool isTransferCommand(const std::string& command) {
    return command == "receive" || command == "send" || command == "btr";
}

std::string checkTransferCommandWords(const std::string& command,
                                      const std::vector<std::string>& words) {
    TransferWords parsed;
    return parseWords(command, words, parsed);
}

int runTransferCommand(CncClient& client, const LinkSettings& link, uint8_t options,
                       const std::string& command, const std::vector<std::string>& words,
                       std::ostream& out, std::ostream& err) {
    TransferWords parsed;
    if (const std::string problem = parseWords(command, words, parsed); !problem.empty()) {
        err << "qel: " << problem << '\n';
        return 2;
    }
    const bool dataIo = isDataIoLinkType(link.linkType);
    if (command == "btr" && dataIo) {
        err << "qel: btr: behind-tape-reader sending needs a telegram link (RXA/2 or TCP/IP); "
               "this connection is a DataIO link\n";
        return 1;
    }
    if (parsed.verify && dataIo) {
        err << "qel: " << command
            << ": --verify reads the memory back, which a DataIO link cannot do\n";
        return 2;
    }
    if (command == "receive" && dataIo && parsed.names.size() != 1) {
        err << "qel: receive: a DataIO link brings one nameless tape: give one NAME, the file "
               "to store it in\n";
        return 2;
    }

    TerminalChoices choices;
    choices.rule = parsed.rule;
    choices.askOnTerminal = ::isatty(STDIN_FILENO) == 1;
    choices.showProgress = ::isatty(STDERR_FILENO) == 1;
    choices.newName = parsed.newName;
    const std::string folder = currentFolder();
    InterruptGuard interrupts;

    if (command == "btr") {
        TerminalOperator op(choices, STDIN_FILENO, err, interruptRequested);
        BtrEngine btr(client, op, parsed.names, folder);
        return runEngine(btr, op, command, client, link, out, err);
    }
    if (command == "receive") {
        std::vector<std::string> names = parsed.names;
        if (dataIo) {
            // The tape has no name: it is asked for, and the NAME given answers.
            if (!choices.newName && names[0] != "*") choices.newName = names[0];
            names = {"*"};
        }
        TerminalOperator op(choices, STDIN_FILENO, err, interruptRequested);
        const uint32_t flags =
            receiveRequestFlags(options, link.linkType, parsed.newName.has_value()) |
            (parsed.verify ? kReceiveVerify : 0u);
        DownloadEngine engine(client, op, names, flags, folder);
        return runEngine(engine, op, command, client, link, out, err);
    }
    TerminalOperator op(choices, STDIN_FILENO, err, interruptRequested);
    const uint32_t flags = sendRequestFlags(options, link.linkType, parsed.newName.has_value()) |
                           (parsed.verify ? kSendVerify : 0u);
    UploadEngine engine(client, op, parsed.names, flags, folder);
    return runEngine(engine, op, command, client, link, out, err);
}

}  // namespace qel
