// The send window (dialog 147, "Uploading files to CNC..."): sends a list of local files, one
// CNC memory each, or all joined into one memory under "%" headers on a DataIO link. It knows
// the files' sizes, so it shows the progress bar and the time left.
#pragma once

#include "transfer/Upload.h"
#include "transfer/ui/CTransferDlg.h"

#include <string>
#include <vector>

namespace qel::ui {

class CUploadDlg final : public CTransferDlg {
    Q_OBJECT
  public:
    enum ControlId {
        IDC_DESTINATION = 1097,
        IDC_FILE_SIZE = 1098,
        IDC_SENT = 1099,
        IDC_TIME_LEFT_FILE = 1100,
        IDC_TIME_LEFT_TOTAL = 1101,
        IDC_SPEED = 1102,
        IDC_STATUS = 1104,
    };
    static constexpr int kDialogId = 147;

    // names: files of folder, in order; flags: kSend... of Upload.h. The file records are built
    // here, before the window shows. The client stays the caller's.
    CUploadDlg(Prompter& prompter, CncClient& client, std::vector<std::string> names,
               uint32_t flags, std::string folder, QWidget* parent = nullptr);
};

}  // namespace qel::ui
