#include "config/ui/CMyPropertyPage4.h"

#include "config/ui/RecordText.h"
#include "config/ui/SpinControls.h"
#include "panes/ui/ControlIds.h"
#include "panes/ui/ImageList.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

namespace qel::ui {

namespace {
constexpr int kIconSize = 16;
constexpr int kLongestWildcards = 27;
}  // namespace

CMyPropertyPage4::CMyPropertyPage4(CncFoldersPageModel& model, QWidget* parent)
    : SettingsPageView(parent), model_(model) {
    identify(this, IDD);
    auto* explanation = new QLabel(tr("Add or remove memory types.\n\n"
                                      "Only the defined memory types are shown in the CNC memory "
                                      "pane."),
                                   this);
    explanation->setWordWrap(true);

    name_ = new QLineEdit(this);
    name_->setObjectName(controlName(IDC_MEMORY_TYPES) + QStringLiteral("edit"));
    name_->setAccessibleName(tr("Memory type name"));
    list_ = new QListWidget(this);
    identify(list_, IDC_MEMORY_TYPES, tr("Memory types"));
    list_->setMinimumHeight(fontMetrics().height() * 8);
    list_->setIconSize(QSize(kIconSize, kIconSize));
    add_ = new QPushButton(tr("&Add"), this);
    identify(add_, IDC_ADD);
    delete_ = new QPushButton(tr("&Delete"), this);
    identify(delete_, IDC_DELETE);
    for (QPushButton* button : {add_, delete_}) button->setAutoDefault(false);

    auto* wildcardsLabel = new QLabel(tr("Wildcards:"), this);
    wildcards_ = new QLineEdit(this);
    identify(wildcards_, IDC_WILDCARDS, tr("Wildcards"));
    wildcards_->setMaxLength(kLongestWildcards);
    wildcardsLabel->setBuddy(wildcards_);
    auto* iconLabel = new QLabel(tr("Icon:"), this);
    icon_ = new QLabel(this);
    identify(icon_, IDC_ICON, tr("Icon"));
    icon_->setFixedSize(kIconSize + 4, kIconSize + 4);
    icon_->setAlignment(Qt::AlignCenter);
    iconSpin_ = new StepSpin(this);
    identify(iconSpin_, IDC_ICON_SPIN, tr("Icon number"));
    iconSpin_->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("000")) + 40);
    iconLabel->setBuddy(iconSpin_);

    name_->setWhatsThis(tr("The name of a new memory type, at most 27 characters."));
    list_->setWhatsThis(tr("The memory types the CNC pane shows, sorted by name."));
    wildcards_->setWhatsThis(
        tr("The CNC memories of this type, as wildcards separated by ';', "
           "for example *.PM;*.PP."));
    iconSpin_->setWhatsThis(tr("Chooses the picture shown for this memory type."));

    auto* iconRow = new QHBoxLayout;
    iconRow->addWidget(icon_);
    iconRow->addWidget(iconSpin_);
    iconRow->addStretch(1);
    auto* layout = new QGridLayout(this);
    layout->addWidget(explanation, 0, 0, 1, 3);
    layout->addWidget(name_, 1, 0, 1, 2);
    layout->addWidget(list_, 2, 0, 3, 2);
    layout->addWidget(add_, 2, 2);
    layout->addWidget(delete_, 3, 2);
    layout->addWidget(wildcardsLabel, 5, 0);
    layout->addWidget(wildcards_, 5, 1);
    layout->addWidget(iconLabel, 6, 0);
    layout->addLayout(iconRow, 6, 1);
    layout->setRowStretch(4, 1);
    layout->setColumnStretch(1, 1);

    connect(name_, &QLineEdit::textEdited, this, [this] {
        model_.Typing();
        showDetails();
    });
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        model_.EditWildcards(toRecordText(wildcards_->text()));
        model_.Select(row);
        showDetails();
    });
    connect(wildcards_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_.EditWildcards(toRecordText(text)); });
    connect(iconSpin_, &StepSpin::stepped, this, [this](int steps) {
        if (!(steps > 0 ? model_.SpinUp() : model_.SpinDown())) QApplication::beep();
        showDetails();
    });
    connect(add_, &QPushButton::clicked, this, [this] {
        model_.EditWildcards(toRecordText(wildcards_->text()));
        if (!model_.Add(toRecordText(name_->text()))) {
            QApplication::beep();
            return;
        }
        showState();
    });
    connect(delete_, &QPushButton::clicked, this, [this] {
        if (!model_.Delete()) {
            QApplication::beep();
            return;
        }
        showState();
    });
}

void CMyPropertyPage4::showState() {
    {
        const QSignalBlocker blocker(list_);
        list_->clear();
        const std::vector<std::string> names = model_.names();
        for (int i = 0; i < static_cast<int>(names.size()); ++i) {
            list_->addItem(new QListWidgetItem(imageListIcon(model_.iconIndexAt(i)),
                                               recordText(names[static_cast<std::size_t>(i)])));
        }
        list_->setCurrentRow(model_.selected());
    }
    showDetails();
}

void CMyPropertyPage4::showDetails() {
    const int selected = model_.selected();
    if (selected >= 0 && selected < list_->count()) {
        list_->item(selected)->setIcon(imageListIcon(model_.iconIndex()));
    }
    add_->setEnabled(model_.addEnabled());
    delete_->setEnabled(model_.deleteEnabled());
    const bool details = model_.detailsEnabled();
    for (QWidget* control : {static_cast<QWidget*>(wildcards_), static_cast<QWidget*>(icon_),
                             static_cast<QWidget*>(iconSpin_)})
        control->setEnabled(details);
    if (wildcards_->text() != recordText(model_.wildcards()))
        wildcards_->setText(recordText(model_.wildcards()));
    icon_->setPixmap(selected >= 0 ? imageListIcon(model_.iconIndex()).pixmap(kIconSize, kIconSize)
                                   : QPixmap());
    iconSpin_->setShownText(selected >= 0 ? QString::number(model_.iconIndex()) : QString());
}

}  // namespace qel::ui
