#include "panes/ui/CDirListDlg.h"

#include "panes/ui/CDriveTree.h"
#include "panes/ui/ControlIds.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qel::ui {

CDirListDlg::CDirListDlg(QWidget* parent, std::shared_ptr<LocalDisk> disk,
                         std::chrono::milliseconds diskLimit)
    : QDialog(parent), tree_(new CDriveTree(std::move(disk), diskLimit, this)) {
    setWindowTitle(QStringLiteral("Drive list"));
    auto* prompt = new QLabel(QStringLiteral("Select a starting folder:"), this);
    prompt->setBuddy(tree_);
    identify(tree_, IDC_DRIVE_TREE, QStringLiteral("Select a starting folder"));
    const QFontMetrics metrics = fontMetrics();
    tree_->setMinimumSize(metrics.averageCharWidth() * 56, metrics.height() * 16);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    identify(buttons->button(QDialogButtonBox::Ok), 1);
    identify(buttons->button(QDialogButtonBox::Cancel), 2);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDirListDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDirListDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(tree_, 1);
    layout->addWidget(buttons);
}

std::optional<QString> CDirListDlg::choose(QWidget* parent, const QString& start) {
    CDirListDlg dialog(parent);
    dialog.setPath(start);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.path();
}

void CDirListDlg::showEvent(QShowEvent* event) {
    // The disk is read when the dialog opens, not when it is made.
    if (!initialised_) {
        initialised_ = true;
        tree_->Init(path_);
        tree_->setFocus();
    }
    QDialog::showEvent(event);
}

void CDirListDlg::accept() {
    path_ = tree_->selectedPath();
    QDialog::accept();
}

}  // namespace qel::ui
