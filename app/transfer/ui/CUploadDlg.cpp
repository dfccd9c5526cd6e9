#include "transfer/ui/CUploadDlg.h"

namespace qel::ui {

CUploadDlg::CUploadDlg(Prompter& prompter, CncClient& client, std::vector<std::string> names,
                       uint32_t flags, std::string folder, QWidget* parent)
    : CTransferDlg(prompter,
                   {TransferDirection::Send, tr("Uploading files to CNC..."), IDC_DESTINATION,
                    IDC_FILE_SIZE, IDC_SENT, IDC_TIME_LEFT_FILE, IDC_TIME_LEFT_TOTAL, IDC_SPEED,
                    IDC_STATUS, tr("Size, KB:"), QStringLiteral("0"), tr("Sent, KB:"), tr("Sent")},
                   parent) {
    attach(std::make_unique<UploadEngine>(client, operatorSide(), std::move(names), flags,
                                          std::move(folder)));
}

}  // namespace qel::ui
