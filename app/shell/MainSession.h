// What the main window holds, as plain state: the configuration in force and the one link
// object. Connecting blocks in the link library for as long as the CNC takes to answer (or its
// time-out), so it runs on a thread of its own; the window starts it and looks for the outcome
// on its timer, and never waits on the link. While a connect runs there is no link to lend.
#pragma once

#include "client/LinkApi.h"
#include "client/QelComC.h"
#include "config/ConfigRecord.h"
#include "remote/RemoteLink.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace qel {

inline constexpr const char* kConnectedText = "Connected to CNC";
inline constexpr const char* kNotConnectedText = "Not Connected";
inline constexpr const char* kGreetingActive = "QEL active on this CNC.";
inline constexpr const char* kGreetingInactive = "QEL inactive.";

// How a connect attempt ended.
struct ConnectOutcome {
    bool connected = false;
    // Not connected: why, as qel says it ("link error 22 (...)", a serial device and what is
    // wrong with it).
    std::string reason;
};

class MainSession {
  public:
    explicit MainSession(LinkApi& api = cablorLinkApi());
    // Waits for a connect still under way (the library's time-outs bound it), then ends the
    // link without greeting.
    ~MainSession();
    MainSession(const MainSession&) = delete;
    MainSession& operator=(const MainSession&) = delete;

    void setConfig(const ConfigRecord& config) { config_ = config; }
    const ConfigRecord& config() const { return config_; }
    // "Vantor 4.10 Veva - NAME".
    std::string title() const;

    // Connect or Reconnect: the link object goes and a new one is made on a worker, which also
    // greets the CNC ("QEL active on this CNC.") when the configuration says so. A second call
    // while one runs is ignored.
    void startConnect();
    bool connecting() const { return worker_.joinable() && !done_.load(); }
    // The outcome of the attempt that ended since the last call, once.
    std::optional<ConnectOutcome> takeConnectOutcome();

    // The link object to lend to the panes and dialogs: null while a connect runs and before
    // the first one.
    CncClient* link() { return connecting() ? nullptr : link_.get(); }
    bool connected() { return link() != nullptr && link_->isConnected(); }
    // The connection text of the main window.
    const char* connectionText() { return connected() ? kConnectedText : kNotConnectedText; }
    // The option word the panes get: on telegram links the CNC pane splits %B streams only and
    // the local pane never joins files; without a connected link both get 0.
    uint8_t cncPaneOptions();
    uint8_t localPaneOptions();
    // Remote Mode is refused while a DataIO link (types 1 and 2) is connected.
    bool remoteModeAllowed();

    // Remote mode's link: the connected one as it is (created false), else a new one made from
    // the configuration in its place (the PC listens on TCP/IP, speaks RXA/2 on a serial line);
    // opening it exchanges nothing with the CNC. Null when it could not be opened: why is in
    // remoteFailureText().
    remote::ObtainedRemoteLink obtainRemoteLink();
    std::string remoteFailureText();

    // Settings without connecting: the link stays but is disconnected.
    void disconnect();
    // The window closes: "QEL inactive." on the CNC screen when connected and the
    // configuration says so, then the link goes. Blocks for that exchange only.
    void close();

    // The box that a failed connect shows.
    std::string connectFailureText(const ConnectOutcome& outcome) const;

  private:
    void connectOnWorker(ConfigRecord config);
    void joinWorker();

    LinkApi& api_;
    ConfigRecord config_;
    std::unique_ptr<CncClient> link_;
    std::thread worker_;
    std::atomic<bool> done_{false};
    // Written by the worker before done_, read after it.
    std::unique_ptr<CncClient> made_;
    ConnectOutcome outcome_;
};

}  // namespace qel
