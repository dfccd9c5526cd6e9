// What remote mode tells the operator (status line, log) and the CNC (replies), word for word.
// Format strings take their arguments in printf style.
#pragma once

#include "QelVersion.h"

namespace qel::remote_text {

// Status line.
inline constexpr const char* kNotActive = "Not active";
inline constexpr const char* kWaiting = "Waiting for DNC commands";
inline constexpr const char* kPortInUse = "Port alreay in use. Remote mode will be slower";
inline constexpr const char* kReceiving = "Receiving the file '%s' (size unknown)";
inline constexpr const char* kSending = "Sending the file '%s' (%.2f KB)";

// Log.
inline constexpr const char* kLogStarted = "Remote mode started.";
inline constexpr const char* kListenFailed =
    "A communication error occured while waiting for commands. (%d)";
inline constexpr const char* kClosing = "Closing server. Please wait...";
inline constexpr const char* kOperatorMessage = "QEL: %s";
inline constexpr const char* kConnected = "Connected to CNC: %s";
inline constexpr const char* kInvalidCommand = "CNC reports an invalid command.";
inline constexpr const char* kFormatDenied = "Format request from CNC denied.";
inline constexpr const char* kNoFilesToDelete = "No files found to delete. (%s)";
inline constexpr const char* kRemoved = "The file '%s' has been removed.";
inline constexpr const char* kNotRemoved = "Unable to remove the file '%s'.";
inline constexpr const char* kNoFilesToLock = "No files found to lock/unlock. (%s)";
inline constexpr const char* kUnlocked = "The file '%s' has been unlocked.";
inline constexpr const char* kLocked = "The file '%s' has been locked (Read Only).";
inline constexpr const char* kLockFailed = "Failed to  lock/unlock the file '%s'.";
inline constexpr const char* kFreeSpaceFailed = "Failed to retrieve free disk space.";
inline constexpr const char* kAlreadyExists = "The file '%s' already exists.";
inline constexpr const char* kCannotCreate = "Unable to create the file '%s'.";
inline constexpr const char* kTransferAborted = "Transfer of '%s' aborted.";
inline constexpr const char* kReceived = "'%s' successfully received from the CNC.";
inline constexpr const char* kReceiveFailed =
    "Receive was aborted or a communication failure has occured.";
inline constexpr const char* kCncError = "The CNC reports the following error: '%s'";
inline constexpr const char* kWriteError = "Error while writing the file '%s'.";
inline constexpr const char* kNotFound = "The file '%s' was not found in current directory.";
inline constexpr const char* kCannotUpload = "The file '%s' can not be uploaded.";
inline constexpr const char* kCommunicationFailure = "Communication failure.";
inline constexpr const char* kSent = "'%s' successfully sent to the CNC.";
inline constexpr const char* kReadError = "Error while reading the file '%s'.";

// The CNC's names never reach outside the served folder.
inline constexpr const char* kNameRefused =
    "Refused the name '%s' from the CNC: it would reach outside the served folder.";
inline constexpr const char* kNameKeptForParts =
    "Refused the name '%s' from the CNC: names starting with '.qelveva-receiving-' are kept for "
    "files being received.";
inline constexpr const char* kLeadsOutside =
    "The file '%s' leads outside the served folder and was left alone.";
inline constexpr const char* kFolderUnavailable = "The served folder '%s' cannot be opened: %s.";
inline constexpr const char* kNameTooLong =
    "Refused a name of %zu characters from the CNC (at most 256).";

// Replies.
inline constexpr const char* kReplyDone = "M OK";
inline constexpr const char* kReplyNoFile = "M NR";
inline constexpr const char* kReplyUnknownCommand = "M NR3";
inline constexpr const char* kReplyFormatRefused = "M NR5";
inline constexpr const char* kReplyNoMatch = "M NR13";
inline constexpr const char* kReplyNotChanged = "M NR47";
inline constexpr const char* kReplyCannotOpen = "T NP";
inline constexpr const char* kReplyVersion = "R VNSxxxx_V4xx QEL Veva";
// A CNC calling from an address that --allow did not name.
inline constexpr const char* kRefusedCaller =
    "Refused a call from %s: that address may not use remote mode.";
inline constexpr const char* kReplyLogOn = "M OKRemote Mode QEL " QELVEVA_VERSION " Veva";
inline constexpr const char* kVersionName = "QEL";

}  // namespace qel::remote_text
