#include "transfer/ui/TransferWindows.h"

#include "transfer/ui/BtrSendWindow.h"
#include "transfer/ui/CDownloadDlg.h"
#include "transfer/ui/CUploadDlg.h"

namespace qel::ui {

namespace {
TransferOutcome outcomeOf(const TransferEngine& engine) {
    return {engine.succeeded(), engine.completedFiles(), engine.problem()};
}

TransferOutcome runTransferDialog(CTransferDlg& dialog, const TransferPauses& pauses) {
    dialog.engine().setPauses(pauses);
    dialog.exec();
    return outcomeOf(dialog.engine());
}
}  // namespace

TransferOutcome runReceiveDialog(QWidget* parent, Prompter& prompter, CncClient& client,
                                 std::vector<std::string> names, uint32_t flags,
                                 const std::string& folder, const TransferPauses& pauses) {
    CDownloadDlg dialog(prompter, client, std::move(names), flags, folder, parent);
    return runTransferDialog(dialog, pauses);
}

TransferOutcome runSendDialog(QWidget* parent, Prompter& prompter, CncClient& client,
                              std::vector<std::string> names, uint32_t flags,
                              const std::string& folder, const TransferPauses& pauses) {
    CUploadDlg dialog(prompter, client, std::move(names), flags, folder, parent);
    return runTransferDialog(dialog, pauses);
}

TransferOutcome runBtrSend(QWidget* parent, Prompter& prompter, CncClient& client,
                           std::vector<std::string> names, const std::string& folder,
                           const TransferPauses& pauses) {
    BtrSendWindow command(prompter, client, std::move(names), folder, parent);
    command.engine().setPauses(pauses);
    command.run();
    return outcomeOf(command.engine());
}

}  // namespace qel::ui
