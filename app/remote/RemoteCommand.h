// Reading the CNC's command telegrams: which command a telegram is, and the arguments at their
// fixed positions (counted from 0). Telegrams are texts; the first two or four characters name
// the command.
#pragma once

#include <string>
#include <string_view>

namespace qel::remote {

enum class RemoteCommand {
    Message,          // "M DI" + text
    Version,          // "M VN"
    LogOn,            // "MPIN" + the CNC's identification
    CncError,         // "M ER": the CNC did not understand; no reply
    Format,           // "MPFM": always refused
    FreeSpace,        // "M FR"
    FreeSpaceRemote,  // "MPFR"
    DirectoryEntry,   // "MPDR" + pattern, entry number at position 20
    Delete,           // "MPCL" + pattern
    Lock,             // "MPAT" + pattern, lock sign at position 18
    ReceiveFile,      // "PR" + type + name: the CNC sends a file
    SendFile,         // "PT" + type + name: the CNC asks for a file
    TypeListing,      // "LI" + type
    Unknown,          // answered "M NR3"
};

RemoteCommand recogniseCommand(std::string_view telegram);

// The text from position 4 on.
std::string_view commandArgument(std::string_view telegram);
// Position 4 up to the first blank or the end: the name or pattern of an "MP" command.
std::string_view commandPattern(std::string_view telegram);
// The entry an "MPDR" asks for: the decimal number at position 20 (leading blanks and a sign
// allowed), one less when position 18 holds "-". 0 when the telegram ends before position 20.
long long directoryEntryNumber(std::string_view telegram);
// "MPAT": position 18 "-" unlocks, anything else (or nothing) locks.
bool unlockRequested(std::string_view telegram);

// The memory type of a "PR", "PT" or "LI": positions 2 and 3.
std::string_view memoryTypeOf(std::string_view telegram);
// The file of a "PR" or "PT": the argument, or the type when there is none, then "." and the
// type ("PRPMABC" names ABC.PM, "PTPM" names PM.PM).
std::string transferFileName(std::string_view telegram);

}  // namespace qel::remote
