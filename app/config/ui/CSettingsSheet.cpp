#include "config/ui/CSettingsSheet.h"

#include "config/ui/CMyPropertyPage2.h"
#include "config/ui/CMyPropertyPage3.h"
#include "config/ui/CMyPropertyPage4.h"
#include "config/ui/CMyPropertyPage5.h"
#include "panes/ui/ContextHelp.h"
#include "panes/ui/ControlIds.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace qel::ui {

CSettingsSheet::CSettingsSheet(SettingsStore& store, Prompter& prompter,
                               std::string currentDirectory, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowContextHelpButtonHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      model_(store, std::move(currentDirectory)),
      prompter_(prompter) {
    setObjectName(QStringLiteral("settingsSheet"));
    setWindowTitle(QString::fromLatin1(kSettingsCaption));
    tabs_ = new QTabWidget(this);
    select_ = new CMyPropertyPage2(model_.select(), tabs_);
    communications_ = new CMyPropertyPage3(model_.communications(), tabs_);
    cncFolders_ = new CMyPropertyPage4(model_.cncFolders(), tabs_);
    options_ = new CMyPropertyPage5(model_.options(), tabs_);
    tabs_->addTab(select_, tr("Select"));
    tabs_->addTab(communications_, tr("Communications"));
    tabs_->addTab(cncFolders_, tr("CNC Folders"));
    tabs_->addTab(options_, tr("Options"));
    connect(select_, &CMyPropertyPage2::captionChanged, this, &QWidget::setWindowTitle);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    identify(buttons->button(QDialogButtonBox::Ok), 1);
    identify(buttons->button(QDialogButtonBox::Cancel), 2);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSettingsSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSettingsSheet::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    addContextHelpKey(this);

    activate(0);
    connect(tabs_, &QTabWidget::currentChanged, this, &CSettingsSheet::activate);
}

CSettingsSheet::~CSettingsSheet() = default;

SettingsPageView* CSettingsSheet::page(int index) const {
    return qobject_cast<SettingsPageView*>(tabs_->widget(index));
}

void CSettingsSheet::activate(int index) {
    if (index < 0) return;
    if (SettingsPageView* left = page(active_)) left->leave();
    model_.Activate(static_cast<SettingsPage>(index));
    active_ = index;
    page(index)->showState();
}

void CSettingsSheet::accept() {
    if (SettingsPageView* current = page(active_)) current->leave();
    model_.TakeOverActive();
    SettingsStore& store = model_.store();
    if (store.changedOnDisk() && !prompter_.confirm(this, QString::fromLatin1(kSettingsCaption),
                                                    QString::fromLatin1(kSettingsReplacedText),
                                                    BoxButtons::YesNo, BoxIcon::Warning)) {
        return;  // the sheet stays open: the operator may look at the file, or Cancel
    }
    // A failed save has told the operator; the configuration applies all the same.
    store.GetCurrentConfig(chosen_, true);
    QDialog::accept();
}

}  // namespace qel::ui
