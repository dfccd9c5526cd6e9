#include "cli/QelTool.h"

#include "cli/CncCommands.h"
#include "cli/ConfigCommand.h"
#include "cli/PortsCommand.h"
#include "cli/QelArguments.h"
#include "cli/ServeCommand.h"
#include "cli/TransferCommands.h"
#include "cli/Usage.h"
#include "client/ConfiguredConnection.h"
#include "client/LinkErrorText.h"
#include "config/ConfigRules.h"
#include "config/FixedText.h"
#include "config/SettingsPath.h"
#include "config/SettingsStore.h"

#include <memory>
#include <optional>
#include <ostream>

namespace qel {

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;

int usageError(std::ostream& err, const std::string& problem) {
    err << "qel: " << problem << " (qel help shows the usage)\n";
    return kUsageError;
}

// The configuration to connect with; nothing (after one line on err) when it cannot be had.
std::optional<ConfigRecord> configurationFor(const ConnectionChoice& choice, std::ostream& err) {
    const std::filesystem::path program = desktopProgramFile();
    StreamMessages messages(err);
    SettingsStore store(resolveSettingsFile(program), program.parent_path().string(), messages);
    if (const auto* named = std::get_if<NamedConfiguration>(&choice)) {
        for (const ConfigRecord& record : store.configs()) {
            if (isUsed(record) && textOf(record.name) == named->name) return record;
        }
        err << "qel: no configuration named \"" << named->name << "\" in " << store.file().string()
            << '\n';
        return std::nullopt;
    }
    ConfigRecord record;
    store.GetCurrentConfig(record, false);
    return record;
}

struct Connection {
    LinkSettings link;
    std::unique_ptr<CncClient> client;
    uint8_t options = 0;  // the configuration's option word
};

std::optional<Connection> connect(const ConnectionChoice& choice, LinkApi& api, std::ostream& err) {
    Connection connection;
    std::string configName;
    if (const auto* address = std::get_if<DirectAddress>(&choice)) {
        connection.link.linkType = DNC_LINK_TCP_CLIENT;
        connection.link.port = address->port;
        connection.link.hostName = address->host;
        connection.link.flags = DNC_FLAG_RESERVE;
        connection.client = std::make_unique<CncClient>(connection.link, 0, api);
    } else {
        const std::optional<ConfigRecord> config = configurationFor(choice, err);
        if (!config) return std::nullopt;
        configName = std::string(textOf(config->name));
        connection.link = linkSettingsFor(*config);
        connection.options = config->options;
        if (connection.link.linkType == DNC_LINK_TCP_SERVER) {
            err << "qel: configuration \"" << configName
                << "\" waits for the CNC to call (TCP server); qel asks as a client\n";
            return std::nullopt;
        }
        connection.client = connectConfigured(*config, api);
    }
    if (!connection.client->isConnected()) {
        err << "qel: cannot connect to " << describeLink(connection.link)
            << (configName.empty() ? "" : " (configuration \"" + configName + "\")") << ": "
            << linkFailureText(connection.client->lastError(), connection.link) << '\n';
        return std::nullopt;
    }
    return connection;
}

}  // namespace

int runQel(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           LinkApi& api) {
    std::string problem;
    const std::optional<QelArguments> parsed = parseQelArguments(args, problem);
    if (!parsed) return usageError(err, problem);

    if (parsed->command == "help" || parsed->command == "--help" || parsed->command == "-h") {
        out << kQelUsage;
        return kDone;
    }
    if (parsed->command == "config") {
        if (parsed->connectionGiven) return usageError(err, "config takes no connection");
        return runConfigCommand(parsed->words, out, err);
    }
    if (parsed->command == "ports") {
        if (parsed->connectionGiven) return usageError(err, "ports takes no connection");
        return runPortsCommand(parsed->words, out, err);
    }
    if (parsed->command == "serve") {
        const auto* address = std::get_if<DirectAddress>(&parsed->connection);
        const std::optional<ConfigRecord> config =
            address ? directTcpConfiguration(*address) : configurationFor(parsed->connection, err);
        if (!config) return kFailed;
        return runServeCommand(*config, parsed->words, out, err, api, address != nullptr);
    }
    const bool transfer = isTransferCommand(parsed->command);
    if (!transfer && !isCncCommand(parsed->command)) {
        return usageError(err, "unknown command \"" + parsed->command + "\"");
    }
    problem = transfer ? checkTransferCommandWords(parsed->command, parsed->words)
                       : checkCncCommandWords(parsed->command, parsed->words);
    if (!problem.empty()) return usageError(err, problem);

    std::optional<Connection> connection = connect(parsed->connection, api, err);
    if (!connection) return kFailed;
    if (transfer) {
        return runTransferCommand(*connection->client, connection->link, connection->options,
                                  parsed->command, parsed->words, out, err);
    }
    return runCncCommand(*connection->client, connection->link, parsed->command, parsed->words, out,
                         err);
}

}  // namespace qel
