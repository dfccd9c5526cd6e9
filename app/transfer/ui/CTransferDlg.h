// The window of a receive or send run (dialogs 146 and 147): the file, its size, the amount so
// far, the speed, the time left, the status line, the progress bar and the file animation, with
// Cancel. It owns its engine: it starts the worker once the link is free (trying again every
// 100 ms while another user holds it), runs the display tick every 100 ms on the window thread,
// asks the worker's questions there, and closes itself when the run has ended. The window
// thread never waits for the worker: Cancel only tells it to stop, and the window stays,
// showing that it stops, until the worker has ended.
#pragma once

#include "transfer/TransferEngine.h"
#include "transfer/ui/PromptingOperator.h"

#include <QDialog>
#include <QMap>
#include <QTimer>

#include <chrono>
#include <memory>

class QGridLayout;
class QLabel;
class QProgressBar;
class QPushButton;

namespace qel::ui {

class CFileAnimation;

class CTransferDlg : public QDialog, protected PromptingOperator {
    Q_OBJECT
  public:
    enum TimerId { IDT_WAIT_LINK = 231, IDT_PROGRESS = 232 };
    enum ControlId { IDC_PROGRESS = 1070, IDC_ANIMATION = 1107, IDC_CANCEL = 2 };
    static constexpr std::chrono::milliseconds kTimerPeriod{100};

    // What differs between the receive and the send window.
    struct Controls {
        TransferDirection direction;
        QString title;
        int fileName, fileSize, amount, timeLeftFile, timeLeftTotal, speed, status;
        QString fileSizeLabel;    // "Size:" or "Size, KB:"
        QString fileSizeInitial;  // "0  KB" or "0"
        QString amountLabel;      // "Received, KB:" or "Sent, KB:"
        QString amountName;       // "Received" or "Sent", for screen readers
    };

    ~CTransferDlg() override;

    TransferEngine& engine() { return *engine_; }
    // What the control of id shows (status line and value fields).
    QString text(int id) const;
    bool progressVisible() const;
    int progressValue() const;
    const CFileAnimation& animation() const { return *animation_; }

  signals:
    // The run has ended and the window closes.
    void ended();

  protected:
    CTransferDlg(Prompter& prompter, const Controls& controls, QWidget* parent);
    // The derived window makes its engine with this window as the operator, then attaches it.
    TransferOperator& operatorSide() { return *this; }
    void attach(std::unique_ptr<TransferEngine> engine);

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Escape and the close box act as Cancel.
    void reject() override;

  private:
    // The display, called by the engine's tick on the window thread.
    void statusChanged(int status, std::string_view text) override;
    void fieldChanged(TransferField field, std::string_view text) override;
    void progressChanged(int percent, bool visible) override;
    void animationStep() override;
    void beep() override;

    QLabel* addValue(QGridLayout* grid, int row, const QString& label, int id,
                     const QString& initial, const QString& description);
    void begin();
    void waitForLink();
    void displayTick();
    void woken();
    void cancelPressed();
    // Closes the window once the worker has ended, unless a question box of this window is
    // still open further up the call chain.
    void endIfFinished();
    int idOf(TransferField field) const;

    const Controls controls_;
    std::unique_ptr<TransferEngine> engine_;
    QTimer waitLink_;
    QTimer progress_;
    QMap<int, QLabel*> values_;
    QProgressBar* bar_ = nullptr;
    CFileAnimation* animation_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool begun_ = false;
    bool ended_ = false;
    int inEngine_ = 0;  // calls into the engine under way (a question box nests them)
};

}  // namespace qel::ui
