#include "remote/ui/CRemoteModeDlg.h"

#include "panes/ui/CDirListDlg.h"
#include "panes/ui/ContextHelp.h"
#include "panes/ui/ControlIds.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QVBoxLayout>

#include <filesystem>

namespace qel::ui {

namespace {

QString fromStd(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string currentFolder() {
    std::error_code error;
    std::string folder = std::filesystem::current_path(error).string();
    if (error || folder.empty()) folder = "/";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

}  // namespace

CRemoteModeDlg::CRemoteModeDlg(QWidget* parent)
    : QDialog(parent), chooseFolder_(&CDirListDlg::choose) {
    setObjectName(controlName(IDD));
    setWindowTitle(tr("Remote Mode"));

    auto* logLabel = new QLabel(tr("Remote mode log:"), this);
    // Four lines, the whole of each reachable: a line of the CNC's may be 159 characters long.
    log_ = new QPlainTextEdit(this);
    identify(log_, IDC_LOG, tr("Remote mode log"));
    log_->setReadOnly(true);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    log_->setFrameShadow(QFrame::Sunken);
    log_->setPlainText(fromStd(display_.logText()));
    const QFontMetrics metrics = log_->fontMetrics();
    log_->setFixedHeight(metrics.lineSpacing() * 4 + 2 * log_->frameWidth() +
                         static_cast<int>(2 * log_->document()->documentMargin()) +
                         log_->horizontalScrollBar()->sizeHint().height());
    log_->setMinimumWidth(metrics.averageCharWidth() * 64);
    logLabel->setBuddy(log_);

    auto* statusLabel = new QLabel(tr("QEL status:"), this);
    status_ = new QLabel(fromStd(display_.status()), this);
    identify(status_, IDC_STATUS, status_->text());
    status_->setAccessibleDescription(tr("QEL status"));
    status_->setFrameShape(QFrame::StyledPanel);
    status_->setFrameShadow(QFrame::Sunken);
    status_->setTextFormat(Qt::PlainText);

    browse_ = new QPushButton(tr("&Browse..."), this);
    identify(browse_, IDC_BROWSE);
    progressText_ = new QLabel(fromStd(display_.progressText()), this);
    identify(progressText_, IDC_PROGRESS_TEXT, progressText_->text());
    progressText_->setAccessibleDescription(tr("Progress"));
    progressText_->setAlignment(Qt::AlignCenter);
    progressText_->setMinimumWidth(metrics.averageCharWidth() * 22);
    progress_ = new QProgressBar(this);
    identify(progress_, IDC_PROGRESS, tr("Progress"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    abort_ = new QPushButton(tr("&Abort"), this);
    identify(abort_, IDC_ABORT);
    abort_->setEnabled(false);
    exit_ = new QPushButton(tr("E&xit"), this);
    identify(exit_, IDC_EXIT);
    for (QPushButton* button : {browse_, abort_, exit_}) button->setAutoDefault(false);

    exit_->setWhatsThis(
        tr("Ends remote mode. The window closes once the CNC's last command "
           "has been answered."));
    abort_->setWhatsThis(
        tr("Stops the file transfer that is running; the partial file is not "
           "kept."));
    browse_->setWhatsThis(
        tr("Chooses the folder the CNC works in; it takes effect with the "
           "CNC's next directory request."));
    log_->setWhatsThis(tr("The last four things that happened in remote mode."));
    status_->setWhatsThis(tr("What remote mode is doing now."));
    progress_->setWhatsThis(tr("The progress of the file transfer that is running."));
    addContextHelpKey(this);

    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(progressText_);
    progressRow->addWidget(progress_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(browse_);
    buttons->addStretch(1);
    buttons->addWidget(abort_);
    buttons->addWidget(exit_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(logLabel);
    layout->addWidget(log_);
    layout->addWidget(statusLabel);
    layout->addWidget(status_);
    layout->addLayout(progressRow);
    layout->addLayout(buttons);

    connect(exit_, &QPushButton::clicked, this, &CRemoteModeDlg::reject);
    connect(abort_, &QPushButton::clicked, this, [this] {
        if (engine_) engine_->abortTransfer();
    });
    connect(browse_, &QPushButton::clicked, this, &CRemoteModeDlg::browse);
    redrawTimer_.setInterval(kRedrawMs);
    connect(&redrawTimer_, &QTimer::timeout, this, &CRemoteModeDlg::redraw);
}

CRemoteModeDlg::~CRemoteModeDlg() {
    redrawTimer_.stop();
    if (engine_) engine_->finish();
}

void CRemoteModeDlg::SetLink(CncClient* link, std::optional<remote::RemoteLinkSetup> reconnect) {
    if (started_ || link == nullptr) return;
    engine_ = std::make_unique<remote::RemoteModeEngine>(*link, display_, currentFolder());
    if (reconnect) engine_->reconnectWith(*reconnect);
}

QString CRemoteModeDlg::servedFolder() const {
    return engine_ ? fromStd(engine_->servedFolder()) : QString();
}

void CRemoteModeDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_) return;
    started_ = true;
    // Reserves the port (the status line says whether that worked) and starts the worker.
    if (engine_) engine_->start();
    redraw();
    redrawTimer_.start();
}

void CRemoteModeDlg::redraw() {
    const uint64_t version = display_.version();
    if (version == shownVersion_) return;
    shownVersion_ = version;
    ++redraws_;
    const QString log = fromStd(display_.logText());
    if (log_->toPlainText() != log) log_->setPlainText(log);
    const QString status = fromStd(display_.status());
    if (status_->text() != status) {
        status_->setText(status);
        status_->setAccessibleName(status);
    }
    // Bar and text from one look at the display: the worker may step on between two.
    const remote::ProgressPicture picture = display_.progressPicture();
    progress_->setValue(picture.percent);
    // The text only when it changes, so that a fast transfer does not flicker.
    const QString progressText = fromStd(picture.text);
    if (progressText_->text() != progressText) {
        progressText_->setText(progressText);
        progressText_->setAccessibleName(progressText);
    }
    exit_->setEnabled(display_.exitEnabled() && !exiting_);
    abort_->setEnabled(display_.abortEnabled() && !exiting_);
}

void CRemoteModeDlg::browse() {
    if (!engine_) return;
    const std::optional<QString> chosen = chooseFolder_(this, servedFolder());
    if (!chosen || chosen->isEmpty()) return;
    std::string folder = chosen->toStdString();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    engine_->setServedFolder(folder);
}

void CRemoteModeDlg::reject() {
    if (ended_) return;
    if (!exiting_) {
        exiting_ = true;
        // Breaks off a transfer at its next block and the wait for a command; logs "Closing
        // server. Please wait..." when the link was up.
        if (engine_) engine_->requestExit();
        exit_->setEnabled(false);
        abort_->setEnabled(false);
        browse_->setEnabled(false);
        redraw();
    }
    lookForWorkerEnd();
}

void CRemoteModeDlg::lookForWorkerEnd() {
    if (engine_ && engine_->workerRunning()) {
        // The window stays until the worker has returned; it looks again shortly.
        QTimer::singleShot(kExitPollMs, this, &CRemoteModeDlg::lookForWorkerEnd);
        return;
    }
    if (ended_) return;
    ended_ = true;
    redrawTimer_.stop();
    if (engine_) engine_->finish();
    redraw();
    QDialog::reject();
}

void CRemoteModeDlg::closeEvent(QCloseEvent* event) {
    // The close box is Exit; the window closes itself once the worker has ended.
    event->ignore();
    reject();
}

}  // namespace qel::ui
