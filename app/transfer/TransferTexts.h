// What the transfers tell and ask the operator, in the operator's words, and which text goes
// with which file error or link error.
#pragma once

#include "base/FileErrorCause.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qel::texts {

// Receiving.
inline constexpr std::string_view kCannotAccessMemory =
    "Failed to access CNC memory '%s'.\nContinue to receive?";
inline constexpr std::string_view kParityWarning =
    "WARNING: The first character seems to have a parity bit set, while this was not "
    "expected.\nPlease check your communication settings.\n\nContinue download?";
inline constexpr std::string_view kEnterNewName = "Enter a new name for '%s':";
inline constexpr std::string_view kReplaceLocalFile =
    "Replace the file '%s' in the current directory?\n\nUse 'Receive As...' to save using a "
    "different name.";

// Sending.
inline constexpr std::string_view kReplaceMemory =
    "The destination memory '%s' already exists on the CNC.\n\nTry to replace it with the "
    "current file?\nIf delete fails use 'Send As' to send using a different name.";
inline constexpr std::string_view kNameNotAccepted =
    "The filename '%s' is not accepted by the CNC.\nContinue uploading?";
inline constexpr std::string_view kMemoryInUse =
    "The file '%s' is in use on the CNC (it is being edited or executed)\nClose the file and "
    "press 'Retry' to try again.";
inline constexpr std::string_view kCannotStartSending =
    "Unable to start sending.\nThe CNC may no longer be available.";

// Behind-tape-reader sending.
inline constexpr std::string_view kErrorCaption = "QEL Error";
inline constexpr std::string_view kBoxCaption = "QEL";
inline constexpr std::string_view kProgressCaption = "Transfer Progress";
inline constexpr std::string_view kBtrCannotOpenLocal =
    "Failed to open the local file '%s'!\n\nContinue to send other selected files?";
inline constexpr std::string_view kBtrStartCommFailure =
    "Unable to start sending due to a communication failure.\n\nContinue to send other "
    "selected files?";
inline constexpr std::string_view kBtrNotStarted =
    "BTR operation could not be started.\nThe CNC is not in remote mode or the file '%s' might "
    "not be a valid Part Program.\n\nContinue with the next file?";
inline constexpr std::string_view kBtrCncReports =
    "An error occured while sending the file '%s'.\nThe CNC reports: %s\n\nContinue to send "
    "other selected files?";
inline constexpr std::string_view kBtrCommFailure =
    "An error occured while sending the local file '%s'.\nThere was a communication "
    "failure.\n\nContinue to send other selected files?";
inline constexpr std::string_view kBtrReadFailure =
    "Read failure while sending the local file '%s'.\n\nContinue to send other selected files?";
inline constexpr std::string_view kSendingMemory = "Sending memory: '";

inline constexpr std::string_view kUnknown = "Unknown";

// format with each "%s" replaced by the next argument, as is (an argument's own "%" stays).
std::string formatText(std::string_view format, std::initializer_list<std::string_view> args);

// A byte count as the dialogs' size and amount fields show it: KB with two decimals.
std::string kilobytes(uint64_t bytes);

// The file-error boxes (Retry and Cancel) of receiving: opening the local file, writing it.
std::string receiveOpenErrorText(FileErrorCause cause, std::string_view name);
std::string receiveWriteErrorText(FileErrorCause cause, std::string_view name);
// ... and of sending: opening the local file, reading it.
std::string sendOpenErrorText(FileErrorCause cause, std::string_view name);
std::string sendReadErrorText(FileErrorCause cause, std::string_view name);

// The report of a broken transfer (OK only), chosen by the link's last error code.
std::string linkErrorReportText(int lastError, std::string_view name);

}  // namespace qel::texts
