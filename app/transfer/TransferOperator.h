// The operator's side of a transfer: the one interface the receive, send and behind-tape-reader
// engines talk to. The desktop dialogs implement it with their windows; qel with the terminal.
//
// Questions block the calling worker until they are answered. The display calls come from the
// worker and from the display tick, which may run on another thread: an implementation takes
// care of its own locking and never destroys the engine from inside a call.
#pragma once

#include "transfer/RequestFlags.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qel {

// What a question is about, so that an operator side without dialogs can answer by rule.
enum class QuestionKind {
    Replace,   // replace an existing local file or CNC memory
    Continue,  // go on after a failure or with a doubtful transfer
    Retry,     // try a failed file or CNC operation again
    Report,    // a message to take note of (OK only)
};

enum class BoxButtons { RetryCancel, YesNo };
enum class BoxIcon { Stop, Warning };

// The text fields of the transfer dialogs (receive / send control) and of the behind-tape-
// reader progress window.
enum class TransferField {
    FileName,       // 1093 / 1097
    FileSize,       // 1092 / 1098
    Amount,         // 1091 / 1099: KB so far
    TimeLeftFile,   // 1094 / 1100
    TimeLeftTotal,  // 1095 / 1101
    Speed,          // 1096 / 1102: KB/s
    ProgressLine,   // 1004: "Sending memory: 'NAME' (12.34 KB)"
    ProgressText,   // 1003: " 42 % (1.23 KB at 456 Bps)"
};

class TransferOperator {
  public:
    virtual ~TransferOperator() = default;

    // The question box: text with the buttons and icon of the flag word (RequestFlags.h).
    // Returns IDYES, IDNO, IDCANCEL, IDOK or IDYESTOALL.
    virtual uint32_t ask(QuestionKind kind, std::string_view text, uint32_t flags) = 0;
    // The one-line input: the entered text on OK, nothing on Cancel.
    virtual std::optional<std::string> askNewName(std::string_view prompt,
                                                  std::string_view defaultText) = 0;
    // A plain message box; true for Retry or Yes.
    virtual bool confirm(QuestionKind kind, BoxButtons buttons, BoxIcon icon,
                         std::string_view caption, std::string_view text) = 0;

    // Display. The status text changes only when it differs from the one shown.
    virtual void statusChanged(int /*status*/, std::string_view /*text*/) {}
    virtual void fieldChanged(TransferField /*field*/, std::string_view /*text*/) {}
    // The progress bar (1070, or 1002 of the progress window) in percent.
    virtual void progressChanged(int /*percent*/, bool /*visible*/) {}
    // The behind-tape-reader progress window opens for a file and closes at its end.
    virtual void progressWindow(bool /*shown*/) {}
    // One frame of the file animation: data moved in this display tick.
    virtual void animationStep() {}
    // The receive dialog's completion beep.
    virtual void beep() {}
};

}  // namespace qel
