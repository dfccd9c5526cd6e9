#include "transfer/ui/CProgressDlg.h"

#include "panes/ui/ControlIds.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace qel::ui {

CProgressDlg::CProgressDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Transfer Progress"));
    text_ = new QLabel(this);
    identify(text_, IDC_TEXT);
    text_->setAccessibleDescription(tr("Transfer"));
    text_->setTextFormat(Qt::PlainText);
    text_->setMinimumWidth(fontMetrics().averageCharWidth() * 56);
    text_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    bar_ = new QProgressBar(this);
    identify(bar_, IDC_BAR, tr("Progress"));
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);

    percent_ = new QLabel(QStringLiteral(" 0 %"), this);
    identify(percent_, IDC_PERCENT);
    percent_->setAccessibleDescription(tr("Progress"));
    percent_->setTextFormat(Qt::PlainText);

    cancel_ = new QPushButton(tr("Cancel"), this);
    identify(cancel_, IDC_CANCEL);
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &CProgressDlg::cancelPressed);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(percent_, 1);
    bottom->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CProgressDlg::setText(const QString& text) {
    if (text_->text() != text) text_->setText(text);
}

void CProgressDlg::setPercentText(const QString& text) {
    if (percent_->text() != text) percent_->setText(text);
}

void CProgressDlg::setPercent(int percent) {
    bar_->setValue(percent);
}

QString CProgressDlg::text() const {
    return text_->text();
}

QString CProgressDlg::percentText() const {
    return percent_->text();
}

int CProgressDlg::percent() const {
    return bar_->value();
}

void CProgressDlg::finish(int result) {
    finishing_ = true;
    done(result);
}

void CProgressDlg::closeEvent(QCloseEvent* event) {
    if (finishing_) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    emit cancelPressed();
}

void CProgressDlg::reject() {
    if (finishing_) {
        QDialog::reject();
        return;
    }
    emit cancelPressed();
}

}  // namespace qel::ui
