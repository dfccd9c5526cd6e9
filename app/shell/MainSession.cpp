#include "shell/MainSession.h"

#include "client/ConfiguredConnection.h"
#include "client/LinkErrorText.h"
#include "client/LinkTypes.h"
#include "config/FixedText.h"
#include "remote/RemoteLink.h"

namespace qel {

extern const char* const kProgramTitle;

namespace {
// The greetings go with few retries and a short time-out, so that a CNC that does not show
// messages does not hold up the connect.
constexpr int kGreetingRetries = 5;
constexpr int kGreetingTimeout = 2;
constexpr int kFarewellRetries = 2;

bool isTelegramLink(int linkType) {
    return linkType == DNC_LINK_RXA2 || isTcpLinkType(linkType);
}
}  // namespace

MainSession::MainSession(LinkApi& api) : api_(api) {}

MainSession::~MainSession() {
    joinWorker();
    made_.reset();
    link_.reset();
}

std::string MainSession::title() const {
    return std::string(kProgramTitle) + " - " + std::string(textOf(config_.name));
}

void MainSession::startConnect() {
    if (worker_.joinable()) return;
    done_ = false;
    // The old link goes on the worker too: closing a serial port may wait for the driver.
    made_ = std::move(link_);
    worker_ = std::thread([this, config = config_] { connectOnWorker(config); });
}

void MainSession::connectOnWorker(ConfigRecord config) {
    made_.reset();
    auto client = std::make_unique<CncClient>(api_);
    const LinkSettings settings = linkSettingsFor(config);
    ConnectOutcome outcome;
    if (client->connect(settings, config.leaderTrailerSize)) {
        if ((config.options & OPT_NOTIFY_CNC) != 0) {
            client->setLinkParams(kGreetingRetries, kGreetingTimeout, config.sendDelay);
            client->showMessage(kGreetingActive);
        }
        client->setLinkParams(config.retries, config.timeout, config.sendDelay);
        outcome.connected = true;
    } else {
        outcome.reason = linkFailureText(client->lastError(), settings);
    }
    made_ = std::move(client);
    outcome_ = std::move(outcome);
    done_ = true;
}

std::optional<ConnectOutcome> MainSession::takeConnectOutcome() {
    if (!worker_.joinable() || !done_) return std::nullopt;
    worker_.join();
    link_ = std::move(made_);
    return std::move(outcome_);
}

void MainSession::joinWorker() {
    if (worker_.joinable()) worker_.join();
}

uint8_t MainSession::cncPaneOptions() {
    if (!connected()) return 0;
    uint8_t options = config_.options;
    if (isTelegramLink(link_->linkType())) options = (options & ~OPT_PERCENT_A) | OPT_PERCENT_B;
    return options;
}

uint8_t MainSession::localPaneOptions() {
    if (!connected()) return 0;
    uint8_t options = config_.options;
    if (isTelegramLink(link_->linkType())) options &= ~(OPT_PERCENT_A | OPT_PERCENT_B);
    return options;
}

bool MainSession::remoteModeAllowed() {
    if (!connected()) return true;
    const int type = link_->linkType();
    return type != DNC_LINK_DATAIO_RTSCTS && type != DNC_LINK_DATAIO_XONXOFF;
}

remote::ObtainedRemoteLink MainSession::obtainRemoteLink() {
    if (connecting()) return {};
    return remote::obtainRemoteLink(link_, config_, api_);
}

std::string MainSession::remoteFailureText() {
    std::string text = remote::remoteConnectFailureText(config_);
    if (link_ && !link_->isConnected()) {
        text += "\n\n" +
                linkFailureText(link_->lastError(), remote::remoteLinkSetupFor(config_).settings);
    }
    return text;
}

void MainSession::disconnect() {
    if (link_) link_->disconnect();
}

void MainSession::close() {
    joinWorker();
    if (made_) link_ = std::move(made_);
    if (link_ && link_->isConnected() && (config_.options & OPT_NOTIFY_CNC) != 0) {
        link_->setLinkParams(kFarewellRetries, kGreetingTimeout, config_.sendDelay);
        link_->abort();
        link_->showMessage(kGreetingInactive);
    }
    link_.reset();
}

std::string MainSession::connectFailureText(const ConnectOutcome& outcome) const {
    std::string text = remote::remoteConnectFailureText(config_);
    if (!outcome.reason.empty()) text += "\n\n" + outcome.reason;
    return text;
}

}  // namespace qel
