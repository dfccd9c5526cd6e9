#include "shell/ui/CAboutDlg.h"

#include "panes/ui/ControlIds.h"
#include "panes/ui/ImageList.h"
#include "shell/SystemInfo.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace qel::ui {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About QelVeva"));
    auto* picture = new QLabel(this);
    picture->setPixmap(programPicture(QStringLiteral("qelveva")).pixmap(48, 48));
    auto* version = new QLabel(tr("QEL Version 4.10/00 Veva"), this);
    auto* memoryLabel = new QLabel(tr("Free memory:"), this);
    auto* systemLabel = new QLabel(tr("Linux Version:"), this);
    freeMemory_ = new QLabel(this);
    identify(freeMemory_, IDC_FREE_MEMORY);
    systemVersion_ = new QLabel(this);
    identify(systemVersion_, IDC_SYSTEM_VERSION);

    const auto available = availableMemoryKilobytes();
    freeMemory_->setText(available ? QStringLiteral("%1 KB").arg(*available)
                                   : QStringLiteral("???"));
    freeMemory_->setAccessibleDescription(tr("Free memory"));
    systemVersion_->setText(QString::fromStdString(qel::systemVersionText()));
    systemVersion_->setAccessibleDescription(tr("Linux Version"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    identify(buttons->button(QDialogButtonBox::Ok), 1);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAboutDlg::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(picture, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(version, 0, 1, 1, 2);
    layout->addWidget(memoryLabel, 1, 1);
    layout->addWidget(freeMemory_, 1, 2);
    layout->addWidget(systemLabel, 2, 1);
    layout->addWidget(systemVersion_, 2, 2);
    layout->addWidget(buttons, 3, 0, 1, 3);
    layout->setColumnStretch(2, 1);
    layout->setHorizontalSpacing(12);
}

QString CAboutDlg::freeMemoryText() const {
    return freeMemory_->text();
}

QString CAboutDlg::systemVersionText() const {
    return systemVersion_->text();
}

}  // namespace qel::ui
