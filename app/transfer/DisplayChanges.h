// What a transfer's worker changed on the operator's display since the owner last looked: the
// status line, the text fields, the progress bar, the progress window, the completion beep. The
// worker adds changes; only the owner's display tick takes them and hands them to the
// operator, on its own thread and in the order they were made.
//
// A value that changes again before the tick (the amount after every block) replaces its
// earlier change instead of queueing behind it, unless a change that starts something new (a
// file name, a status, the progress window, the beep) came in between: so every file's name
// and final amount is seen, and the queue stays short at any transfer rate.
#pragma once

#include "transfer/TransferOperator.h"

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace qel {

struct DisplayChange {
    enum class Kind { Status, Field, Progress, ProgressWindow, Beep };
    Kind kind = Kind::Status;
    TransferField field = TransferField::FileName;  // Field
    int value = 0;                                  // Status: the code; Progress: percent
    bool flag = false;                              // Progress: visible; ProgressWindow: shown
    std::string text;                               // Status and Field

    static DisplayChange status(int code, std::string_view text);
    static DisplayChange fieldText(TransferField field, std::string_view text);
    static DisplayChange progress(int percent, bool visible);
    static DisplayChange progressWindow(bool shown);
    static DisplayChange beep();

    // Hands the change to the operator.
    void showOn(TransferOperator& op) const;
};

class DisplayChanges {
  public:
    void add(DisplayChange change);
    // Everything added since the last take, oldest first.
    std::vector<DisplayChange> take();

  private:
    static bool startsSomethingNew(const DisplayChange& change);
    static bool sameValue(const DisplayChange& a, const DisplayChange& b);

    std::mutex lock_;
    std::vector<DisplayChange> changes_;
    size_t lastBoundary_ = 0;  // changes before it are never replaced
};

}  // namespace qel
