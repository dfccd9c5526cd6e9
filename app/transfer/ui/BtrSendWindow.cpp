#include "transfer/ui/BtrSendWindow.h"

#include "transfer/ui/CTransferDlg.h"
#include "transfer/ui/CallDepth.h"

namespace qel::ui {

BtrSendWindow::BtrSendWindow(Prompter& prompter, CncClient& client, std::vector<std::string> names,
                             std::string folder, QWidget* owner)
    : PromptingOperator(prompter), window_(owner) {
    setQuestionParent(&window_);
    window_.setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    engine_ = std::make_unique<BtrEngine>(client, static_cast<PromptingOperator&>(*this),
                                          std::move(names), std::move(folder));
    engine_->setOwnerWake(
        [this] { QMetaObject::invokeMethod(this, &BtrSendWindow::woken, Qt::QueuedConnection); });
    ticks_.setInterval(CTransferDlg::kTimerPeriod);
    connect(&ticks_, &QTimer::timeout, this, &BtrSendWindow::tick);
    connect(&window_, &CProgressDlg::cancelPressed, this, &BtrSendWindow::cancelPressed);
}

BtrSendWindow::~BtrSendWindow() {
    ticks_.stop();
    engine_.reset();  // ended normally; at a forced end it stops the worker and waits
}

void BtrSendWindow::run() {
    // The engine holds no reservation for the command: each file reserves the link itself.
    engine_->start();
    ticks_.start();
    window_.exec();
}

void BtrSendWindow::tick() {
    {
        CallDepth nested(inEngine_);
        engine_->tick();
    }
    endIfFinished();
}

void BtrSendWindow::woken() {
    if (ended_) return;
    {
        CallDepth nested(inEngine_);
        engine_->askNow();
    }
    endIfFinished();
}

void BtrSendWindow::endIfFinished() {
    if (ended_ || inEngine_ > 0 || !engine_->finished()) return;
    ended_ = true;
    ticks_.stop();
    engine_->askNow();
    window_.finish(engine_->succeeded() ? QDialog::Accepted : QDialog::Rejected);
    emit ended();
}

void BtrSendWindow::cancelPressed() {
    if (ended_) return;
    // The sending breaks off at its next look, at most one receive time-out later.
    if (!engine_->cancel()) engine_->requestStop();
    window_.setText(tr("Stopping. Please wait..."));
}

void BtrSendWindow::fieldChanged(TransferField field, std::string_view text) {
    if (field == TransferField::ProgressLine) window_.setText(fromEngine(text));
    if (field == TransferField::ProgressText) window_.setPercentText(fromEngine(text));
}

void BtrSendWindow::progressChanged(int percent, bool) {
    window_.setPercent(percent);
}

void BtrSendWindow::progressWindow(bool shown) {
    // One window for the whole command; a new file starts it afresh.
    if (!shown) return;
    window_.setPercent(0);
    window_.setPercentText(QStringLiteral(" 0 %"));
}

}  // namespace qel::ui
