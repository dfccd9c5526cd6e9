#include "panes/ui/CRequestDlg.h"

#include "panes/RequestLayout.h"
#include "panes/ui/ControlIds.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <QWhatsThis>

namespace qel::ui {

CRequestDlg::CRequestDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("QEL"));
    icon_ = new QLabel(this);
    identify(icon_, IDC_ICON);
    message_ = new QLabel(this);
    identify(message_, IDC_MESSAGE);
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText);
    message_->setMinimumWidth(fontMetrics().averageCharWidth() * 56);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* top = new QHBoxLayout;
    top->addWidget(icon_, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addWidget(message_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    yes_ = addButton(tr("&Yes"), IDC_YES, IDYES);
    yesToAll_ = addButton(tr("Yes to &All"), IDC_YESTOALL, IDYESTOALL);
    ok_ = addButton(tr("&OK"), IDC_OK, IDOK);
    no_ = addButton(tr("&No"), IDC_NO, IDNO);
    cancel_ = addButton(tr("&Cancel"), IDC_CANCEL, IDCANCEL);
    help_ = new QPushButton(tr("&Help"), this);
    identify(help_, IDC_HELP);
    help_->setAutoDefault(false);
    connect(help_, &QPushButton::clicked, this, &CRequestDlg::showHelp);
    for (QPushButton* button : {yes_, yesToAll_, ok_, no_, cancel_, help_}) {
        buttons->addWidget(button);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addSpacing(8);
    layout->addLayout(buttons);
}

QPushButton* CRequestDlg::addButton(const QString& text, int id, uint32_t answer) {
    auto* button = new QPushButton(text, this);
    identify(button, id);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this,
            [this, answer] { done(static_cast<int>(answer)); });
    return button;
}

void CRequestDlg::prepare(const QString& text, uint32_t flags, int helpId) {
    const RequestLayout layout = requestLayout(flags);
    helpId_ = helpId;
    message_->setText(text);
    yes_->setVisible(layout.yes);
    yesToAll_->setVisible(layout.yesToAll);
    no_->setVisible(layout.no);
    cancel_->setVisible(layout.cancel);
    help_->setVisible(layout.help);
    ok_->setVisible(layout.ok);
    QStyle::StandardPixmap picture = QStyle::SP_MessageBoxQuestion;
    if (layout.icon == RequestIcon::Stop) picture = QStyle::SP_MessageBoxCritical;
    if (layout.icon == RequestIcon::Exclamation) picture = QStyle::SP_MessageBoxWarning;
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon_->setPixmap(style()->standardIcon(picture, nullptr, this).pixmap(size, size));
    QPushButton* focused = layout.defaultAnswer == IDOK    ? ok_
                           : layout.defaultAnswer == IDYES ? yes_
                                                           : nullptr;
    for (QPushButton* button : {yes_, yesToAll_, ok_, no_, cancel_, help_}) {
        button->setDefault(button == focused);
    }
    if (focused) focused->setFocus();
}

uint32_t CRequestDlg::Ask(const QString& text, uint32_t flags, int helpId) {
    prepare(text, flags, helpId);
    QApplication::beep();
    const int result = exec();
    // Escape and the close box reject: Cancel, also when its button is hidden.
    return result == QDialog::Rejected ? IDCANCEL : static_cast<uint32_t>(result);
}

void CRequestDlg::showHelp() {
    QWhatsThis::showText(help_->mapToGlobal(QPoint(0, 0)),
                         tr("The message above says what happened. Each button answers it: Yes "
                            "to All answers the same question for every file still to come."),
                         help_);
}

}  // namespace qel::ui
