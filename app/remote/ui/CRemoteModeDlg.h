// "Remote Mode" (dialog 133): the window the operator sees while the CNC drives the PC. It runs
// the remote-mode engine on the link it is given and shows the engine's display (status line,
// the last four log lines, the progress of a transfer), which it reads on its own timer: the
// worker never touches a widget, and a CNC that floods commands costs one redraw per tick.
// Exit stops the engine and the window stays until the worker has returned.
#pragma once

#include "remote/RemoteLink.h"
#include "remote/RemoteModeDisplay.h"
#include "remote/TesselD.h"

#include <QDialog>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace qel::ui {

class CRemoteModeDlg final : public QDialog {
    Q_OBJECT
  public:
    enum ControlId {
        IDD = 133,
        IDC_LOG = 1049,
        IDC_STATUS = 1048,
        IDC_BROWSE = 1105,
        IDC_PROGRESS_TEXT = 1003,
        IDC_PROGRESS = 1070,
        IDC_ABORT = 3,
        IDC_EXIT = 2,
    };
    static constexpr int kRedrawMs = 50;     // how often the display is looked at
    static constexpr int kExitPollMs = 100;  // Exit looks again for the worker's end

    using FolderChooser = std::function<std::optional<QString>(QWidget*, const QString&)>;

    explicit CRemoteModeDlg(QWidget* parent = nullptr);
    // Waits for the worker when Exit did not, then gives the port back.
    ~CRemoteModeDlg() override;

    // The link to serve on, before the window is shown. reconnect: a TCP server link made for
    // remote mode waits for the CNC's next call with it when the CNC hangs up.
    void SetLink(CncClient* link, std::optional<remote::RemoteLinkSetup> reconnect = {});
    // Browse: the folder selection by default; tests replace it.
    void setFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }

    remote::RemoteModeDisplay& display() { return display_; }
    remote::RemoteModeEngine* engine() const { return engine_.get(); }
    // The folder served to the CNC: the current directory at first, then Browse's choice.
    QString servedFolder() const;
    // How many times the controls were rewritten, for tests of the coalesced redraw.
    uint64_t redraws() const { return redraws_; }

    // Exit (the button, Escape, the close box): the stop procedure.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void redraw();
    void browse();
    void lookForWorkerEnd();

    remote::RemoteModeDisplay display_;
    std::unique_ptr<remote::RemoteModeEngine> engine_;
    FolderChooser chooseFolder_;
    QTimer redrawTimer_;
    uint64_t shownVersion_ = 0;
    uint64_t redraws_ = 0;
    bool started_ = false;
    bool exiting_ = false;
    bool ended_ = false;

    QPlainTextEdit* log_;
    QLabel* status_;
    QPushButton* browse_;
    QLabel* progressText_;
    QProgressBar* progress_;
    QPushButton* abort_;
    QPushButton* exit_;
};

}  // namespace qel::ui
