#include "remote/RemoteCommand.h"

#include <array>
#include <climits>
#include <utility>

namespace qel::remote {

namespace {
constexpr size_t kCodeLength = 4;
constexpr size_t kLockSignAt = 18;
constexpr size_t kEntryNumberAt = 20;

constexpr std::array<std::pair<std::string_view, RemoteCommand>, 10> kFourCharacterCodes = {{
    {"M DI", RemoteCommand::Message},
    {"M VN", RemoteCommand::Version},
    {"MPIN", RemoteCommand::LogOn},
    {"M ER", RemoteCommand::CncError},
    {"MPFM", RemoteCommand::Format},
    {"M FR", RemoteCommand::FreeSpace},
    {"MPFR", RemoteCommand::FreeSpaceRemote},
    {"MPDR", RemoteCommand::DirectoryEntry},
    {"MPCL", RemoteCommand::Delete},
    {"MPAT", RemoteCommand::Lock},
}};

bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
}  // namespace

RemoteCommand recogniseCommand(std::string_view telegram) {
    const std::string_view code = telegram.substr(0, kCodeLength);
    for (const auto& [known, command] : kFourCharacterCodes) {
        if (code == known) return command;
    }
    if (telegram.starts_with("PR")) return RemoteCommand::ReceiveFile;
    if (telegram.starts_with("PT")) return RemoteCommand::SendFile;
    if (telegram.starts_with("LI")) return RemoteCommand::TypeListing;
    return RemoteCommand::Unknown;
}

std::string_view commandArgument(std::string_view telegram) {
    return telegram.size() > kCodeLength ? telegram.substr(kCodeLength) : std::string_view();
}

std::string_view commandPattern(std::string_view telegram) {
    const std::string_view argument = commandArgument(telegram);
    return argument.substr(0, argument.find(' '));
}

long long directoryEntryNumber(std::string_view telegram) {
    long long entry = 0;
    if (telegram.size() > kEntryNumberAt) {
        std::string_view digits = telegram.substr(kEntryNumberAt);
        while (!digits.empty() && isBlank(digits.front())) digits.remove_prefix(1);
        bool negative = false;
        if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
            negative = digits.front() == '-';
            digits.remove_prefix(1);
        }
        // Any number beyond the int range names no entry; it only has to stay out of range.
        for (char c : digits) {
            if (c < '0' || c > '9') break;
            if (entry <= INT_MAX) entry = entry * 10 + (c - '0');
        }
        if (negative) entry = -entry;
    }
    if (telegram.size() > kLockSignAt && telegram[kLockSignAt] == '-') --entry;
    return entry;
}

bool unlockRequested(std::string_view telegram) {
    return telegram.size() > kLockSignAt && telegram[kLockSignAt] == '-';
}

std::string_view memoryTypeOf(std::string_view telegram) {
    return telegram.size() > 2 ? telegram.substr(2, 2) : std::string_view();
}

std::string transferFileName(std::string_view telegram) {
    const std::string_view type = memoryTypeOf(telegram);
    const std::string_view argument = commandArgument(telegram);
    std::string name(argument.empty() ? type : argument);
    name += '.';
    name += type;
    return name;
}

}  // namespace qel::remote
