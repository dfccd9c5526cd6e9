#include "panes/ui/CShowDlg.h"

#include "panes/ui/ControlIds.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qel::ui {

CShowDlg::CShowDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Quick View"));
    captionLine_ = new QLabel(this);
    identify(captionLine_, IDC_CAPTION_LINE);
    view_ = new QPlainTextEdit(this);
    identify(view_, IDC_BODY, tr("Quick View"));
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view_->setMinimumSize(fontMetrics().averageCharWidth() * 80, fontMetrics().height() * 16);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    identify(buttons->button(QDialogButtonBox::Ok), 1);
    connect(buttons, &QDialogButtonBox::accepted, this, &CShowDlg::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(captionLine_);
    layout->addWidget(view_, 1);
    layout->addWidget(buttons);
}

void CShowDlg::setCaptionLine(const QString& text) {
    captionLine_->setText(text);
}

void CShowDlg::append(const QString& text) {
    body_ += text;
}

void CShowDlg::showEvent(QShowEvent* event) {
    view_->setPlainText(body_);
    QDialog::showEvent(event);
}

}  // namespace qel::ui
