// What the panes call to transfer: each function runs its window modally over parent and
// returns when the run has ended. The panes only build the name list and the request flags.
#pragma once

#include "client/QelComC.h"
#include "panes/ui/Prompter.h"
#include "transfer/TransferEngine.h"

#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

namespace qel::ui {

struct TransferOutcome {
    // Everything requested was transferred or skipped by the operator's choice.
    bool succeeded = false;
    // Local files written (receive) or CNC memories written (send, BTR), in order.
    std::vector<std::string> completed;
    // What went wrong last, in a line; empty when nothing did.
    std::string problem;
};

// Receives the memories names (as the CNC pane names them) into folder; flags: kReceive...
TransferOutcome runReceiveDialog(QWidget* parent, Prompter& prompter, CncClient& client,
                                 std::vector<std::string> names, uint32_t flags,
                                 const std::string& folder,
                                 const TransferPauses& pauses = TransferPauses{});
// Sends the files names of folder; flags: kSend...
TransferOutcome runSendDialog(QWidget* parent, Prompter& prompter, CncClient& client,
                              std::vector<std::string> names, uint32_t flags,
                              const std::string& folder,
                              const TransferPauses& pauses = TransferPauses{});
// Sends the files names of folder behind the tape reader, one after the other, stopping at the
// first for which the operator or the CNC says stop.
TransferOutcome runBtrSend(QWidget* parent, Prompter& prompter, CncClient& client,
                           std::vector<std::string> names, const std::string& folder,
                           const TransferPauses& pauses = TransferPauses{});

}  // namespace qel::ui
