#include "transfer/ui/CDownloadDlg.h"

namespace qel::ui {

CDownloadDlg::CDownloadDlg(Prompter& prompter, CncClient& client, std::vector<std::string> names,
                           uint32_t flags, std::string folder, QWidget* parent)
    : CTransferDlg(
          prompter,
          {TransferDirection::Receive, tr("Downloading files from CNC..."), IDC_FILE_NAME,
           IDC_FILE_SIZE, IDC_RECEIVED, IDC_TIME_LEFT_FILE, IDC_TIME_LEFT_TOTAL, IDC_SPEED,
           IDC_STATUS, tr("Size:"), QStringLiteral("0  KB"), tr("Received, KB:"), tr("Received")},
          parent) {
    attach(std::make_unique<DownloadEngine>(client, operatorSide(), std::move(names), flags,
                                            std::move(folder)));
}

}  // namespace qel::ui
