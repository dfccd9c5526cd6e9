#include "transfer/ui/CTransferDlg.h"

#include "panes/ui/CFileAnimation.h"
#include "panes/ui/ControlIds.h"
#include "transfer/TransferStatus.h"
#include "transfer/TransferTexts.h"
#include "transfer/ui/CallDepth.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace qel::ui {

CTransferDlg::CTransferDlg(Prompter& prompter, const Controls& controls, QWidget* parent)
    : QDialog(parent), PromptingOperator(prompter), controls_(controls) {
    setWindowTitle(controls.title);
    setQuestionParent(this);

    animation_ = new CFileAnimation(this);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    auto* name =
        addValue(grid, 0, tr("File:"), controls.fileName, QStringLiteral("??.??"), tr("File name"));
    // A long name is cut rather than widening the window on every file.
    name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    name->setMinimumWidth(fontMetrics().averageCharWidth() * 36);
    addValue(grid, 1, controls.fileSizeLabel, controls.fileSize, controls.fileSizeInitial,
             tr("File size"));
    addValue(grid, 2, controls.amountLabel, controls.amount, QStringLiteral("0"),
             controls.amountName);
    addValue(grid, 3, tr("Speed, KB/s:"), controls.speed, QStringLiteral("0.00"), tr("Speed"));
    // Nothing is known of the time left before the first two seconds of data.
    const QString unknown = fromEngine(texts::kUnknown);
    addValue(grid, 4, tr("Time left for this file:"), controls.timeLeftFile, unknown,
             tr("Time left for this file"));
    addValue(grid, 5, tr("Total time left:"), controls.timeLeftTotal, unknown,
             tr("Total time left"));
    grid->setColumnStretch(1, 1);

    bar_ = new QProgressBar(this);
    identify(bar_, IDC_PROGRESS, tr("Progress"));
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(true);
    // Kept in the layout while hidden, so the window does not change its size.
    QSizePolicy keep = bar_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    bar_->setSizePolicy(keep);

    auto* status = new QLabel(QStringLiteral(" Idle"), this);
    identify(status, controls.status);
    status->setAccessibleDescription(tr("Status"));
    status->setFrameShape(QFrame::StyledPanel);
    status->setFrameShadow(QFrame::Sunken);
    status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    values_.insert(controls.status, status);

    cancel_ = new QPushButton(tr("Cancel"), this);
    identify(cancel_, IDC_CANCEL);
    // Enter must not end a transfer by accident: Cancel is no default button.
    cancel_->setAutoDefault(false);
    cancel_->setDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &CTransferDlg::cancelPressed);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status, 1);
    bottom->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(animation_, 0, Qt::AlignHCenter);
    layout->addSpacing(6);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addWidget(bar_);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    waitLink_.setInterval(kTimerPeriod);
    progress_.setInterval(kTimerPeriod);
    connect(&waitLink_, &QTimer::timeout, this, &CTransferDlg::waitForLink);
    connect(&progress_, &QTimer::timeout, this, &CTransferDlg::displayTick);
}

CTransferDlg::~CTransferDlg() {
    waitLink_.stop();
    progress_.stop();
    // Normally the worker has ended before the window goes; if not (the program quits during a
    // run), the engine stops it and waits, as nothing else may still use it.
    engine_.reset();
}

QLabel* CTransferDlg::addValue(QGridLayout* grid, int row, const QString& label, int id,
                               const QString& initial, const QString& description) {
    auto* caption = new QLabel(label, this);
    auto* value = new QLabel(initial, this);
    identify(value, id);
    // The value is the name a screen reader reads; what it is goes in the description.
    value->setAccessibleDescription(description);
    value->setTextFormat(Qt::PlainText);
    value->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00 h 00 min.")));
    grid->addWidget(caption, row, 0);
    grid->addWidget(value, row, 1);
    values_.insert(id, value);
    return value;
}

void CTransferDlg::attach(std::unique_ptr<TransferEngine> engine) {
    engine_ = std::move(engine);
    // The worker wakes the window when a question waits or the run has ended, so neither has
    // to wait for the next tick. The call is queued onto the window thread.
    engine_->setOwnerWake(
        [this] { QMetaObject::invokeMethod(this, &CTransferDlg::woken, Qt::QueuedConnection); });
}

QString CTransferDlg::text(int id) const {
    const auto found = values_.find(id);
    return found == values_.end() ? QString() : (*found)->text();
}

bool CTransferDlg::progressVisible() const {
    return bar_->isVisibleTo(this);
}

int CTransferDlg::progressValue() const {
    return bar_->value();
}

void CTransferDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!begun_) begin();
}

void CTransferDlg::begin() {
    begun_ = true;
    CallDepth nested(inEngine_);
    if (engine_->start()) {
        progress_.start();
        return;
    }
    // Another user holds the link: say so now, and try again at each tick.
    engine_->askNow();
    waitLink_.start();
}

void CTransferDlg::waitForLink() {
    CallDepth nested(inEngine_);
    if (!engine_->start()) return;
    waitLink_.stop();
    progress_.start();
}

void CTransferDlg::displayTick() {
    {
        CallDepth nested(inEngine_);
        engine_->tick();
    }
    endIfFinished();
}

void CTransferDlg::woken() {
    if (!engine_ || ended_) return;
    {
        CallDepth nested(inEngine_);
        engine_->askNow();
    }
    endIfFinished();
}

void CTransferDlg::endIfFinished() {
    if (ended_ || inEngine_ > 0 || !engine_->finished()) return;
    ended_ = true;
    waitLink_.stop();
    progress_.stop();
    {
        CallDepth nested(inEngine_);
        engine_->askNow();  // the last changes: the final status, the beep
    }
    done(engine_->succeeded() ? QDialog::Accepted : QDialog::Rejected);
    emit ended();
}

void CTransferDlg::cancelPressed() {
    if (ended_) return;
    if (!engine_->started()) {
        // Still waiting for the link: nothing runs, the window ends at once.
        engine_->requestStop();
        ended_ = true;
        waitLink_.stop();
        done(QDialog::Rejected);
        emit ended();
        return;
    }
    if (engine_->finished()) {
        endIfFinished();
        return;
    }
    // The worker stops at its next look; a second press, or a DataIO link whose waits have no
    // time limit, ends the run for good. Either way the window stays until the worker ended.
    if (!engine_->cancel()) engine_->requestStop();
    statusChanged(XS_STOPPING, statusText(controls_.direction, XS_STOPPING));
}

void CTransferDlg::closeEvent(QCloseEvent* event) {
    if (ended_) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    cancelPressed();
}

void CTransferDlg::reject() {
    if (ended_) {
        QDialog::reject();
        return;
    }
    cancelPressed();
}

int CTransferDlg::idOf(TransferField field) const {
    switch (field) {
        case TransferField::FileName:
            return controls_.fileName;
        case TransferField::FileSize:
            return controls_.fileSize;
        case TransferField::Amount:
            return controls_.amount;
        case TransferField::TimeLeftFile:
            return controls_.timeLeftFile;
        case TransferField::TimeLeftTotal:
            return controls_.timeLeftTotal;
        case TransferField::Speed:
            return controls_.speed;
        case TransferField::ProgressLine:
        case TransferField::ProgressText:
            break;
    }
    return 0;
}

void CTransferDlg::statusChanged(int, std::string_view text) {
    QLabel* status = values_.value(controls_.status);
    const QString shown = fromEngine(text);
    if (status->text() != shown) status->setText(shown);
}

void CTransferDlg::fieldChanged(TransferField field, std::string_view text) {
    QLabel* value = values_.value(idOf(field));
    if (value == nullptr) return;
    const QString shown = fromEngine(text);
    if (value->text() == shown) return;
    value->setText(shown);
    if (field == TransferField::FileName) value->setToolTip(shown);
}

void CTransferDlg::progressChanged(int percent, bool visible) {
    bar_->setValue(percent);
    bar_->setVisible(visible);
}

void CTransferDlg::animationStep() {
    animation_->Advance();
}

void CTransferDlg::beep() {
    QApplication::beep();
}

}  // namespace qel::ui
