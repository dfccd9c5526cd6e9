#include "transfer/TransferTexts.h"

#include <cstdio>

namespace qel::texts {

namespace {

// The texts shared by several file-error tables. A text that named the other platform's disk
// tool or the platform itself says the same without the name.
constexpr std::string_view kFileWriteError = "File write error!\n\\Please check your disk";
constexpr std::string_view kFileReadError = "File read error!\n\nPlease check your disk";
constexpr std::string_view kFileGone =
    "The file '%s' no longer exists in the current directory.\nPress 'Retry' to look again.";
constexpr std::string_view kTooManyFiles =
    "Too many files are open.\nClose some applications and press 'Retry' to try again.";
constexpr std::string_view kAccessDenied =
    "Access to the file '%s' was denied.\nThe file attributes may be incorrect or you have no "
    "security rights to open that file.";
constexpr std::string_view kHeldByOtherProgram =
    "An other program has already opened the file '%s'.\nClose that program and press 'Retry' "
    "to try again.";
constexpr std::string_view kCannotOpen =
    "Unable to open the file '%s'.\nUnknown error.\nPress 'Retry' to try again.";
constexpr std::string_view kCannotWrite =
    "Unable to write to the file '%s'!\nUnspecified error.\nPress 'Retry' to try again.";
constexpr std::string_view kCannotRead =
    "Unable to read from the file '%s'!\nUnspecified error.\nPress 'Retry' to try again.";

constexpr std::string_view kCommunicationError =
    "A communication error occured during the transfer of the file '%s'.\nTransfer cannot be "
    "continued.";
constexpr std::string_view kTransmissionError =
    "Unable to continue the transfer of the file '%s' due to a transmission error.\n(retry/"
    "timeout expired or an invalid response)\n";
constexpr std::string_view kHardwareFailure =
    "Unable to continue the transfer of the file '%s' due to a communication hardware failure "
    "(framing error).\nPlease check your settings and cables.";
constexpr std::string_view kReceiveTimeout =
    "Unable to continue the transfer of the file '%s'. The maximum receive timeout has "
    "expired.\nPlease check your cables.";

std::string openErrorText(FileErrorCause cause, std::string_view name,
                          std::string_view hardwareText) {
    switch (cause) {
        case kCauseHardwareIo:
            return std::string(hardwareText);
        case kCauseFileNotFound:
            return formatText(kFileGone, {name});
        case kCauseTooManyOpenFiles:
            return std::string(kTooManyFiles);
        case kCauseAccessDenied:
            return formatText(kAccessDenied, {name});
        case kCauseSharingViolation:
            return formatText(kHeldByOtherProgram, {name});
        default:
            return formatText(kCannotOpen, {name});
    }
}

}  // namespace

std::string formatText(std::string_view format, std::initializer_list<std::string_view> args) {
    std::string text;
    auto next = args.begin();
    size_t at = 0;
    while (at < format.size()) {
        const size_t mark = format.find("%s", at);
        if (mark == std::string_view::npos || next == args.end()) {
            text += format.substr(at);
            break;
        }
        text += format.substr(at, mark - at);
        text += *next++;
        at = mark + 2;
    }
    return text;
}

std::string receiveOpenErrorText(FileErrorCause cause, std::string_view name) {
    return openErrorText(cause, name, kFileWriteError);
}

std::string receiveWriteErrorText(FileErrorCause cause, std::string_view name) {
    if (cause == kCauseHardwareIo) return std::string(kFileWriteError);
    if (cause == kCauseSharingViolation) return formatText(kHeldByOtherProgram, {name});
    return formatText(kCannotWrite, {name});
}

std::string sendOpenErrorText(FileErrorCause cause, std::string_view name) {
    return openErrorText(cause, name, kFileReadError);
}

std::string sendReadErrorText(FileErrorCause cause, std::string_view name) {
    if (cause == kCauseHardwareIo) return std::string(kFileReadError);
    if (cause == kCauseSharingViolation) return formatText(kHeldByOtherProgram, {name});
    return formatText(kCannotRead, {name});
}

std::string linkErrorReportText(int lastError, std::string_view name) {
    switch (lastError) {
        case 7:
        case 8:
            return formatText(kTransmissionError, {name});
        case 11:
            return formatText(kHardwareFailure, {name});
        case 12:
            return formatText(kReceiveTimeout, {name});
        default:
            return formatText(kCommunicationError, {name});
    }
}

std::string kilobytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(bytes) / 1024.0);
    return text;
}

}  // namespace qel::texts
