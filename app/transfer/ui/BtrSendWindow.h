// One behind-tape-reader command with its progress window: the files are sent in order on the
// worker of a BtrEngine, with one answer word for all of them, while the progress window is
// modal over its owner (so the owner takes no input) and the window thread stays free: it
// ticks the display, asks the questions, and passes Cancel on. The window shows the file being
// sent, and closes when the command has ended, whichever way it ended.
#pragma once

#include "transfer/BehindTapeReader.h"
#include "transfer/ui/CProgressDlg.h"
#include "transfer/ui/PromptingOperator.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

namespace qel::ui {

class BtrSendWindow final : public QObject, private PromptingOperator {
    Q_OBJECT
  public:
    BtrSendWindow(Prompter& prompter, CncClient& client, std::vector<std::string> names,
                  std::string folder, QWidget* owner);
    ~BtrSendWindow() override;

    BtrEngine& engine() { return *engine_; }
    CProgressDlg& window() { return window_; }
    // Runs the command; returns when it has ended and the progress window is closed.
    void run();

  signals:
    void ended();

  private:
    void fieldChanged(TransferField field, std::string_view text) override;
    void progressChanged(int percent, bool visible) override;
    void progressWindow(bool shown) override;

    void tick();
    void woken();
    void cancelPressed();
    void endIfFinished();

    CProgressDlg window_;
    std::unique_ptr<BtrEngine> engine_;
    QTimer ticks_;
    bool ended_ = false;
    int inEngine_ = 0;
};

}  // namespace qel::ui
