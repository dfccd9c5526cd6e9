#include "cli/CncCommands.h"

#include "client/LinkErrorText.h"
#include "client/LinkTypes.h"
#include "client/MemoryAddress.h"

#include <ostream>

namespace qel {

namespace {

constexpr const char* kProgram = "qel: ";

// Why a request failed: the link's error when it reported one, else what the CNC answered.
std::string failureReason(CncClient& client, const LinkSettings& link) {
    if (isDataIoLinkType(link.linkType)) return "a DataIO link carries no commands";
    const int code = client.lastError();
    if (code != 0) return linkFailureText(code, link);
    if (client.lastReceived().empty()) return "refused";
    return "the CNC answered \"" + client.lastReceived() + "\"";
}

std::vector<std::string> namesOf(const std::string& block) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= block.size()) {
        size_t comma = block.find(',', start);
        if (comma == std::string::npos) comma = block.size();
        if (comma > start) names.push_back(block.substr(start, comma - start));
        start = comma + 1;
    }
    return names;
}

int listMemories(CncClient& client, const LinkSettings& link, const std::string& typeWord,
                 std::ostream& out, std::ostream& err) {
    const std::string type = toUpperAscii(typeWord);
    const std::string what = "list " + type;
    if (!client.listOpen(type)) {
        err << kProgram << what << ": " << failureReason(client, link) << '\n';
        return 1;
    }
    std::vector<std::string> names;
    if (client.transferState() == TransferState::Idle) {
        names.push_back(type + "." + type);  // "T NP": only the whole memory
    }
    while (client.transferState() != TransferState::Idle) {
        const BlockResult block = client.readBlock();
        if (!block.ok()) {
            const std::string reason = block.end == BlockEnd::LinkFailed
                                           ? linkFailureText(block.linkError, link)
                                           : "the CNC broke off: " + block.text;
            err << kProgram << what << ": " << reason << '\n';
            return 1;
        }
        for (const std::string& name : namesOf(block.text)) names.push_back(name + "." + type);
    }
    for (const std::string& name : names) out << name << '\n';
    return 0;
}

int showFreeMemory(CncClient& client, const LinkSettings& link, std::ostream& out,
                   std::ostream& err) {
    // A DataIO link has no way to ask: its 0 is no answer of the CNC.
    const int64_t bytes = isDataIoLinkType(link.linkType) ? -1 : client.freeMemory();
    if (bytes < 0) {
        err << kProgram << "free: " << failureReason(client, link) << '\n';
        return 1;
    }
    out << bytes << '\n';
    return 0;
}

int showMessage(CncClient& client, const LinkSettings& link, const std::vector<std::string>& words,
                std::ostream& err) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    if (client.showMessage(text)) return 0;
    err << kProgram << "message: " << failureReason(client, link) << '\n';
    return 1;
}

int deleteMemories(CncClient& client, const LinkSettings& link,
                   const std::vector<std::string>& names, std::ostream& err) {
    int status = 0;
    for (const std::string& name : names) {
        if (client.deleteMemory(name)) continue;
        err << kProgram << "delete " << name << ": " << failureReason(client, link) << '\n';
        status = 1;
    }
    return status;
}

}  // namespace

bool isCncCommand(const std::string& command) {
    return command == "list" || command == "free" || command == "message" || command == "delete";
}

std::string checkCncCommandWords(const std::string& command,
                                 const std::vector<std::string>& words) {
    if (command == "list") {
        if (words.size() != 1 || words[0].size() != 2 || words[0].find('.') != std::string::npos) {
            return "list needs one memory type of two characters, e.g. PM";
        }
    } else if (command == "free") {
        if (!words.empty()) return "free takes no arguments";
    } else if (command == "message") {
        if (words.empty()) return "message needs a text";
    } else if (command == "delete") {
        if (words.empty()) return "delete needs at least one NAME.TYPE";
        for (const std::string& name : words) {
            if (name.find('.') == std::string::npos || !parseMemoryFileName(name)) {
                return "not a memory name (NAME.TYPE or TYPE.TYPE): " + name;
            }
        }
    }
    return {};
}

int runCncCommand(CncClient& client, const LinkSettings& link, const std::string& command,
                  const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    if (command == "list") return listMemories(client, link, words[0], out, err);
    if (command == "free") return showFreeMemory(client, link, out, err);
    if (command == "message") return showMessage(client, link, words, err);
    return deleteMemories(client, link, words, err);
}

}  // namespace qel
