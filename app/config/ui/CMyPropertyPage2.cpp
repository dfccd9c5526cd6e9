#include "config/ui/CMyPropertyPage2.h"

#include "config/ui/RecordText.h"
#include "panes/ui/ControlIds.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

namespace qel::ui {

CMyPropertyPage2::CMyPropertyPage2(SelectPageModel& model, QWidget* parent)
    : SettingsPageView(parent), model_(model) {
    identify(this, IDD);
    auto* explanation = new QLabel(
        tr("Select a configuration and press OK to activate it.\n\n"
           "To add a configuration enter a new name and press 'New' or 'Copy Default'.\n\n"
           "When QEL starts, it uses the last selected configuration."),
        this);
    explanation->setWordWrap(true);

    // The list with its edit field: the edit above, the list always open below it.
    name_ = new QLineEdit(this);
    name_->setObjectName(controlName(IDC_CONFIGURATIONS) + QStringLiteral("edit"));
    name_->setAccessibleName(tr("Configuration name"));
    list_ = new QListWidget(this);
    identify(list_, IDC_CONFIGURATIONS, tr("Configurations"));
    list_->setMinimumHeight(fontMetrics().height() * 8);

    new_ = new QPushButton(tr("&New"), this);
    identify(new_, IDC_NEW);
    copyDefault_ = new QPushButton(tr("&Copy Default"), this);
    identify(copyDefault_, IDC_COPY_DEFAULT);
    delete_ = new QPushButton(tr("Dele&te"), this);
    identify(delete_, IDC_DELETE);
    for (QPushButton* button : {new_, copyDefault_, delete_}) button->setAutoDefault(false);

    name_->setWhatsThis(tr("The name of a new configuration, at most 27 characters."));
    list_->setWhatsThis(tr("The configurations. The one selected when you press OK is used."));
    new_->setWhatsThis(
        tr("Creates a configuration with the name typed above and the "
           "settings of a new configuration."));
    copyDefault_->setWhatsThis(
        tr("Creates a configuration with the name typed above as a copy of \"Default\"."));
    delete_->setWhatsThis(
        tr("Deletes the selected configuration. \"Default\" and "
           "\"Command line\" cannot be deleted."));

    auto* layout = new QGridLayout(this);
    layout->addWidget(explanation, 0, 0, 1, 2);
    layout->addWidget(name_, 1, 0);
    layout->addWidget(list_, 2, 0, 4, 1);
    layout->addWidget(new_, 2, 1);
    layout->addWidget(copyDefault_, 3, 1);
    layout->addWidget(delete_, 4, 1);
    layout->setRowStretch(5, 1);
    layout->setColumnStretch(0, 1);

    connect(name_, &QLineEdit::textEdited, this, [this] {
        model_.Typing();
        showEnables();
    });
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        model_.Select(row);
        if (row >= 0) name_->setText(list_->item(row)->text());
        showEnables();
        emit captionChanged(recordText(model_.caption()));
    });
    connect(new_, &QPushButton::clicked, this, [this] { create(false); });
    connect(copyDefault_, &QPushButton::clicked, this, [this] { create(true); });
    connect(delete_, &QPushButton::clicked, this, [this] {
        if (!model_.Delete()) {
            QApplication::beep();
            return;
        }
        showState();
    });
}

void CMyPropertyPage2::create(bool copyDefault) {
    const std::string name = toRecordText(name_->text());
    if (!(copyDefault ? model_.CopyDefault(name) : model_.New(name))) {
        QApplication::beep();
        return;
    }
    showState();
}

void CMyPropertyPage2::showState() {
    {
        const QSignalBlocker blocker(list_);
        list_->clear();
        for (const ConfigListItem& item : model_.items()) list_->addItem(recordText(item.name));
        list_->setCurrentRow(model_.selected());
    }
    if (QListWidgetItem* item = list_->currentItem()) name_->setText(item->text());
    showEnables();
    emit captionChanged(recordText(model_.caption()));
}

void CMyPropertyPage2::showEnables() {
    new_->setEnabled(model_.newEnabled());
    copyDefault_->setEnabled(model_.copyDefaultEnabled());
    delete_->setEnabled(model_.deleteEnabled());
}

}  // namespace qel::ui
