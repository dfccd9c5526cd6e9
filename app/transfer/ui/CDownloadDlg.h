// The receive window (dialog 146, "Downloading files from CNC..."): copies a list of CNC
// memories into files of a local folder. The receiver knows no sizes: the size and both times
// left show "Unknown" and the progress bar stays hidden.
#pragma once

#include "transfer/Download.h"
#include "transfer/ui/CTransferDlg.h"

#include <string>
#include <vector>

namespace qel::ui {

class CDownloadDlg final : public CTransferDlg {
    Q_OBJECT
  public:
    enum ControlId {
        IDC_RECEIVED = 1091,
        IDC_FILE_SIZE = 1092,
        IDC_FILE_NAME = 1093,
        IDC_TIME_LEFT_FILE = 1094,
        IDC_TIME_LEFT_TOTAL = 1095,
        IDC_SPEED = 1096,
        IDC_STATUS = 1103,
    };
    static constexpr int kDialogId = 146;

    // names: memories as the CNC pane names them; flags: kReceive... of Download.h; folder: where
    // the files go. The client stays the caller's.
    CDownloadDlg(Prompter& prompter, CncClient& client, std::vector<std::string> names,
                 uint32_t flags, std::string folder, QWidget* parent = nullptr);
};

}  // namespace qel::ui
