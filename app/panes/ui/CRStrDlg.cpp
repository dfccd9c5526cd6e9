#include "panes/ui/CRStrDlg.h"

#include "panes/ui/ControlIds.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qel::ui {

CRStrDlg::CRStrDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("QEL"));
    prompt_ = new QLabel(this);
    identify(prompt_, IDC_PROMPT);
    prompt_->setTextFormat(Qt::PlainText);
    edit_ = new QLineEdit(this);
    identify(edit_, IDC_VALUE);
    prompt_->setBuddy(edit_);
    edit_->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    identify(buttons->button(QDialogButtonBox::Ok), 1);
    identify(buttons->button(QDialogButtonBox::Cancel), 2);
    connect(buttons, &QDialogButtonBox::accepted, this, &CRStrDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CRStrDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt_);
    layout->addWidget(edit_);
    layout->addWidget(buttons);
}

void CRStrDlg::setPrompt(const QString& prompt) {
    prompt_->setText(prompt);
    edit_->setAccessibleName(prompt.endsWith(QLatin1Char(':')) ? prompt.chopped(1) : prompt);
}

void CRStrDlg::setValue(const QString& value) {
    value_ = value;
    edit_->setText(value);
}

void CRStrDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    edit_->setFocus();
    edit_->selectAll();
}

void CRStrDlg::accept() {
    value_ = edit_->text();
    QDialog::accept();
}

}  // namespace qel::ui
