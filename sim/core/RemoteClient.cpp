#include "RemoteClient.h"

#include <charconv>

#include "MemoryAddress.h"
#include "TransferSummary.h"

namespace cncsim {

namespace {
bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The pattern field runs to the first blank, so it must end before the fixed positions.
constexpr std::size_t kPatternEnd = 16;
}  // namespace

RemoteClient::RemoteClient(TelegramLink& link, MemoryStore& store, std::ostream* report,
                           int replyTimeoutMs, std::size_t blockPayload)
    : link_(link),
      store_(store),
      report_(report),
      replyTimeoutMs_(replyTimeoutMs),
      blockPayload_(blockPayload) {}

std::string RemoteClient::directoryRequest(const std::string& pattern, int entry) {
    if (pattern.empty() || 4 + pattern.size() > kPatternEnd ||
        pattern.find(' ') != std::string::npos)
        return {};
    std::string telegram = "MPDR" + pattern;
    telegram.resize(17, ' ');
    telegram += "D  " + std::to_string(entry);
    return telegram;
}

std::string RemoteClient::lockRequest(const std::string& pattern, bool lock) {
    if (pattern.empty() || 4 + pattern.size() > kPatternEnd ||
        pattern.find(' ') != std::string::npos)
        return {};
    std::string telegram = "MPAT" + pattern;
    telegram.resize(18, ' ');
    telegram += lock ? '+' : '-';
    return telegram;
}

bool RemoteClient::ask(const std::string& telegram, std::string* reply) {
    if (!link_.send(telegram)) {
        lineLost_ = true;
        if (report_) *report_ << "failed: the PC did not take \"" << telegram << '"' << std::endl;
        return false;
    }
    if (reply == nullptr) return true;
    Incoming in = link_.receive(replyTimeoutMs_);
    if (!in.ok()) {
        lineLost_ = in.status != Incoming::Status::Timeout;
        if (report_) *report_ << "failed: no reply to \"" << telegram << '"' << std::endl;
        return false;
    }
    *reply = in.text;
    return true;
}

bool RemoteClient::simple(const std::string& telegram) {
    std::string reply;
    if (!ask(telegram, &reply)) return false;
    if (report_) *report_ << "reply: " << reply << std::endl;
    return true;
}

bool RemoteClient::breakOffNow(int blocks) const {
    const int k = link_.faults().options().breakAfterBlocks;
    return k >= 0 && blocks >= k;
}

bool RemoteClient::run(const std::vector<std::string>& commands) {
    bool allDone = true;
    for (const std::string& command : commands) {
        if (command.empty() || command[0] == '#') continue;
        if (!execute(command)) allDone = false;
        if (lineLost_) return false;
    }
    return allDone;
}

bool RemoteClient::execute(const std::string& command) {
    const auto space = command.find(' ');
    const std::string word = command.substr(0, space);
    const std::string argument = space == std::string::npos ? "" : command.substr(space + 1);
    auto usage = [&](const char* text) {
        if (report_) *report_ << "failed: " << text << std::endl;
        return false;
    };
    if (word == "login") return simple("MPIN" + argument);
    if (word == "version") return simple("M VN");
    if (word == "message") return simple("M DI" + argument);
    if (word == "free") return simple("M FR");
    if (word == "mpfree") return simple("MPFR");
    if (word == "format") return simple("MPFM");
    if (word == "error") return ask("M ER", nullptr);  // the PC does not answer it
    if (word == "raw") return argument.empty() ? usage("raw needs a telegram") : simple(argument);
    if (word == "delete")
        return argument.empty() ? usage("delete needs a pattern") : simple("MPCL" + argument);
    if (word == "lock" || word == "unlock") {
        std::string telegram = lockRequest(argument, word == "lock");
        return telegram.empty() ? usage("the pattern must have 1 to 12 characters, no blanks")
                                : simple(telegram);
    }
    if (word == "dir") return readDirectory(argument);
    if (word == "list") return listType(argument);
    if (word == "get") return fetch(argument);
    if (word == "put") return sendMemory(argument);
    if (word == "wait") {
        int ms = 0;
        std::from_chars(argument.data(), argument.data() + argument.size(), ms);
        return link_.pause(ms);
    }
    return usage(("unknown command \"" + word + "\"").c_str());
}

// Reads the directory entry by entry until the PC answers that there is no such entry.
bool RemoteClient::readDirectory(const std::string& pattern) {
    if (directoryRequest(pattern, 0).empty()) {
        if (report_)
            *report_ << "failed: the pattern must have 1 to 12 characters, no blanks" << std::endl;
        return false;
    }
    for (int entry = 0;; ++entry) {
        std::string reply;
        if (!ask(directoryRequest(pattern, entry), &reply)) return false;
        if (startsWith(reply, "M OK")) {
            if (report_) *report_ << "entry: " << reply.substr(4) << std::endl;
            continue;
        }
        if (report_) *report_ << "dir: " << entry << " entries (" << reply << ")" << std::endl;
        return reply == "M NR13";
    }
}

bool RemoteClient::listType(const std::string& type) {
    if (type.size() != 2) {
        if (report_) *report_ << "failed: list needs a two-character memory type" << std::endl;
        return false;
    }
    std::string reply;
    if (!ask("LI" + type, &reply)) return false;
    if (reply != "M RT") {
        if (report_) *report_ << "reply: " << reply << std::endl;
        return false;
    }
    std::vector<std::string> names;
    for (;;) {
        if (!ask("T NB", &reply)) return false;
        if (startsWith(reply, "DI") && reply.size() > 4) {
            names.push_back(reply.substr(4));
            continue;
        }
        if (reply == "T FD") {
            ask("M OK", nullptr);
            break;
        }
        if (report_) *report_ << "failed: listing ended with \"" << reply << '"' << std::endl;
        return false;
    }
    if (report_) {
        *report_ << "list " << type << ":";
        for (const std::string& name : names) *report_ << ' ' << name;
        *report_ << std::endl;
    }
    return true;
}

// "PT": the PC sends the file in blocks, each asked for with "T NB"; the CNC stores it.
bool RemoteClient::fetch(const std::string& fileName) {
    auto address = parseFileName(fileName);
    if (!address || !MemoryStore::validName(address->name) ||
        !MemoryStore::validType(address->type)) {
        if (report_) *report_ << "failed: get needs NAME.TYPE" << std::endl;
        return false;
    }
    std::string reply;
    if (!ask("PT" + address->type + address->name, &reply)) return false;
    if (reply != "M RT") {
        if (report_) *report_ << "reply: " << reply << std::endl;
        return false;
    }
    TransferSummary summary(report_, "get", address->display());
    std::string data;
    int blocks = 0;
    for (;;) {
        if (breakOffNow(blocks)) {
            ask("T BD" + link_.faults().options().breakText, nullptr);
            summary.finish("broken off by the CNC; nothing stored");
            return false;
        }
        if (!ask("T NB", &reply)) {
            summary.finish("failed; nothing stored");
            return false;
        }
        if (startsWith(reply, "R ") && reply.size() >= 4) {
            data.append(reply, 4);
            summary.addBytes(reply.size() - 4);
            ++blocks;
            continue;
        }
        if (reply == "T FD") break;
        summary.finish("ended by the PC with \"" + reply + "\"; nothing stored");
        if (!startsWith(reply, "T BD")) ask("T BD", nullptr);
        return false;
    }
    ask("M OK", nullptr);
    if (!store_.write(address->name, address->type, data)) {
        summary.finish("received, but the store could not be written");
        return false;
    }
    summary.finish("complete");
    return true;
}

// "PR": the CNC sends a memory of its store in blocks; the PC answers each with "T NB".
bool RemoteClient::sendMemory(const std::string& fileName) {
    auto address = parseFileName(fileName);
    std::optional<std::string> data;
    if (address) data = store_.read(address->name, address->type);
    if (!data) {
        if (report_) *report_ << "failed: no memory " << fileName << " in the store" << std::endl;
        return false;
    }
    std::string reply;
    if (!ask("PR" + address->type + address->name, &reply)) return false;
    if (reply != "M RR") {
        if (report_) *report_ << "reply: " << reply << std::endl;
        return false;
    }
    TransferSummary summary(report_, "put", address->display());
    std::size_t at = 0;
    int blocks = 0;
    while (at < data->size()) {
        if (breakOffNow(blocks)) {
            ask("T BD" + link_.faults().options().breakText, nullptr);
            summary.finish("broken off by the CNC");
            return false;
        }
        const std::string block = data->substr(at, blockPayload_);
        if (!ask("R " + address->type + block, &reply)) {
            summary.finish("failed");
            return false;
        }
        if (reply != "T NB") {
            summary.finish("ended by the PC with \"" + reply + "\"");
            return false;
        }
        at += block.size();
        summary.addBytes(block.size());
        ++blocks;
    }
    if (!ask("T FD", &reply)) {
        summary.finish("failed");
        return false;
    }
    summary.finish(reply == "M OK" ? "complete" : "ended with \"" + reply + "\"");
    return reply == "M OK";
}

}  // namespace cncsim
