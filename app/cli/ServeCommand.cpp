#include "cli/ServeCommand.h"

#include "client/LinkErrorText.h"
#include "config/FixedText.h"
#include "remote/RemoteLink.h"
#include "remote/TesselD.h"

#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <ostream>

namespace qel {

namespace {

constexpr int kStopped = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;

// The CNC's texts reach the operator's terminal: control characters are shown as "?".
std::string printable(std::string text) {
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = '?';
    }
    return text;
}

std::string localTimeStamp() {
    const time_t now = ::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    return stamp;
}

// What the remote-mode window would show: each log line on out, the status (and the progress of
// a transfer) rewritten in place on a terminal. It follows the display from qel's main thread.
class ServeView : public remote::RemoteModeView {
  public:
    ServeView(std::ostream& out, std::ostream& err, bool statusOnTerminal)
        : out_(out), err_(err), statusOnTerminal_(statusOnTerminal) {}

    void statusShown(const std::string& status) override {
        status_ = printable(status);
        drawStatus();
    }
    void lineLogged(const std::string& line, const std::string&) override {
        clearStatus();
        out_ << localTimeStamp() << ' ' << printable(line) << std::endl;
        drawStatus();
    }
    void progressShown(int, const std::string& text) override {
        progress_ = text;
        drawStatus();
    }
    void close() { clearStatus(); }

  private:
    void drawStatus() {
        if (!statusOnTerminal_) return;
        err_ << "\r\x1b[K" << status_;
        if (status_.rfind("Waiting", 0) != 0 && !progress_.empty()) err_ << "  " << progress_;
        err_ << std::flush;
    }
    void clearStatus() {
        if (statusOnTerminal_) err_ << "\r\x1b[K" << std::flush;
    }

    std::ostream& out_;
    std::ostream& err_;
    const bool statusOnTerminal_;
    std::string status_;
    std::string progress_;
};

// SIGINT and SIGTERM are taken by sigwait() instead of ending the process; the worker thread
// started meanwhile inherits the blocked mask.
class StopSignals {
  public:
    StopSignals() {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        ::pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
    }
    ~StopSignals() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Waits up to limit for one of the signals; true when one came.
    bool wait(std::chrono::milliseconds limit) const {
        const timespec timeout{static_cast<time_t>(limit.count() / 1000),
                               static_cast<long>(limit.count() % 1000) * 1000000L};
        return ::sigtimedwait(&signals_, nullptr, &timeout) > 0;
    }

  private:
    sigset_t signals_{};
    sigset_t previous_{};
};

std::string whereServed(const LinkSettings& link) {
    if (link.linkType == DNC_LINK_TCP_SERVER) {
        const std::string on = (link.flags & DNC_FLAG_BIND_ADDRESS) != 0 && !link.hostName.empty()
                                   ? " on " + link.hostName
                                   : std::string();
        return "TCP port " + std::to_string(link.port) + on + " (waiting for the CNC to call)";
    }
    return describeLink(link) + " (RXA/2)";
}

}  // namespace

ConfigRecord directTcpConfiguration(const DirectAddress& address) {
    ConfigRecord config;
    config.inUse = 1;
    setText(config.name, address.host + ":" + std::to_string(address.port));
    config.linkType = DNC_LINK_TCP_CLIENT;
    config.destinationPort = static_cast<int16_t>(static_cast<uint16_t>(address.port));
    config.serverPort = config.destinationPort;
    config.timeout = 5;
    config.retries = 5;
    setText(config.ipAddressText, address.host);
    return config;
}

int runServeCommand(const ConfigRecord& config, const std::vector<std::string>& allWords,
                    std::ostream& out, std::ostream& err, LinkApi& api, bool bindToGivenAddress) {
    std::vector<std::string> words;
    std::vector<uint32_t> allowed;
    for (size_t i = 0; i < allWords.size(); ++i) {
        if (allWords[i] != "--allow") {
            words.push_back(allWords[i]);
            continue;
        }
        const std::optional<uint32_t> address =
            i + 1 < allWords.size() ? remote::ipv4Address(allWords[i + 1]) : std::nullopt;
        if (!address) {
            err << "qel: serve: --allow needs an IPv4 address or a host name that resolves"
                << (i + 1 < allWords.size() ? ": " + allWords[i + 1] : std::string()) << '\n';
            return kUsageError;
        }
        allowed.push_back(*address);
        ++i;
    }
    if (words.size() > 1) {
        err << "qel: serve takes at most one folder (qel help shows the usage)\n";
        return kUsageError;
    }
    std::error_code error;
    const std::filesystem::path folder =
        std::filesystem::absolute(words.empty() ? "." : words[0], error).lexically_normal();
    if (error || !std::filesystem::is_directory(folder, error)) {
        err << "qel: serve: no folder " << (words.empty() ? "." : words[0]) << '\n';
        return kFailed;
    }
    std::string served = folder.string();
    while (served.size() > 1 && served.back() == '/') served.pop_back();

    StopSignals stopSignals;
    remote::RemoteLinkSetup setup = remote::remoteLinkSetupFor(config);
    if (bindToGivenAddress && setup.settings.linkType == DNC_LINK_TCP_SERVER) {
        setup.settings.flags |= DNC_FLAG_BIND_ADDRESS;
    }
    std::unique_ptr<CncClient> link = remote::connectForRemoteMode(setup, api);
    if (!link->isConnected()) {
        err << "qel: cannot serve on " << whereServed(setup.settings) << ": "
            << linkFailureText(link->lastError(), setup.settings) << '\n';
        return kFailed;
    }
    err << "qel: serving " << served << " on " << whereServed(setup.settings)
        << "; Ctrl+C ends remote mode" << std::endl;
    if (allowed.empty() && setup.settings.linkType == DNC_LINK_TCP_SERVER) {
        err << "qel: any machine that reaches this port may list, read, write and delete files "
               "of the folder; --allow ADDRESS limits it"
            << std::endl;
    }

    ServeView view(out, err, ::isatty(STDERR_FILENO) == 1);
    remote::RemoteModeDisplay display;
    display.follow();
    remote::RemoteModeEngine engine(*link, display, served);
    engine.reconnectWith(setup);
    engine.allowOnly(allowed);
    engine.start();
    // The display is shown ten times a second, as the window's timer would.
    while (!stopSignals.wait(std::chrono::milliseconds(100))) display.showChangesOn(view);
    engine.requestExit();
    engine.finish();
    display.showChangesOn(view);
    view.close();
    return kStopped;
}

}  // namespace qel
