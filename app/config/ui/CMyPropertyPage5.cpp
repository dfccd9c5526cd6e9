#include "config/ui/CMyPropertyPage5.h"

#include "config/ui/RecordText.h"
#include "config/ui/SpinControls.h"
#include "panes/EditorCommand.h"
#include "panes/ui/CDirListDlg.h"
#include "panes/ui/ControlIds.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <optional>

namespace qel::ui {

namespace {
constexpr int kLongestFolder = 259;
constexpr int kLongestEditor = 129;
}  // namespace

std::optional<QString> chooseProgramFile(QWidget* parent, const QString& start) {
    QFileDialog dialog(parent, QObject::tr("Browse"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);  // the filter below needs Qt's own
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const QString programs = QObject::tr("Programs (*)");
    const QString allFiles = QObject::tr("All Files (*)");
    dialog.setNameFilters({programs, allFiles});
    auto filterFor = [&](const QString& filter) {
        QDir::Filters shown = QDir::AllDirs | QDir::Files | QDir::NoDot;
        if (filter == programs) shown |= QDir::Executable;
        dialog.setFilter(shown);
    };
    filterFor(programs);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, filterFor);
    // Start at the program the editor command runs, when it can be found.
    const std::vector<std::string> words = commandWords(start.toStdString());
    const std::string program =
        words.empty() ? std::string() : findProgram(words.front(), environmentProgramSearch());
    if (!program.empty()) {
        dialog.selectFile(QString::fromStdString(program));
    } else {
        dialog.setDirectory(QStringLiteral("/usr/bin"));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString chosen = dialog.selectedFiles().front();
    // The editor is a command: a path with blanks is held together by double quotes.
    return chosen.contains(QLatin1Char(' ')) ? QLatin1Char('"') + chosen + QLatin1Char('"')
                                             : chosen;
}

CMyPropertyPage5::CMyPropertyPage5(OptionsPageModel& model, QWidget* parent)
    : SettingsPageView(parent),
      model_(model),
      chooseFolder_(&CDirListDlg::choose),
      chooseProgram_(&chooseProgramFile) {
    identify(this, IDD);
    auto* explanation = new QLabel(tr("Change QEL options\n\n"
                                      "The options are selected when QEL starts or when another "
                                      "configuration is selected"),
                                   this);
    explanation->setWordWrap(true);

    auto* folderLabel = new QLabel(tr("Default local folder:"), this);
    folder_ = new QLineEdit(this);
    identify(folder_, IDC_LOCAL_FOLDER, tr("Default local folder"));
    folder_->setMaxLength(kLongestFolder);
    folderLabel->setBuddy(folder_);
    auto* browseFolder = new QPushButton(tr("&Browse..."), this);
    identify(browseFolder, IDC_BROWSE_FOLDER);

    auto* cncLabel = new QLabel(tr("Default CNC folder:"), this);
    cncFolder_ = new StepSpin(this);
    identify(cncFolder_, IDC_CNC_FOLDER, tr("Default CNC folder"));
    cncLabel->setBuddy(cncFolder_);

    auto* editorLabel = new QLabel(tr("Editor:"), this);
    editor_ = new QLineEdit(this);
    identify(editor_, IDC_EDITOR, tr("Editor"));
    editor_->setMaxLength(kLongestEditor);
    editorLabel->setBuddy(editor_);
    auto* browseEditor = new QPushButton(tr("Bro&wse..."), this);
    identify(browseEditor, IDC_BROWSE_EDITOR);
    for (QPushButton* button : {browseFolder, browseEditor}) button->setAutoDefault(false);

    connectAtStart_ = new QCheckBox(tr("&Connect when QEL starts"), this);
    identify(connectAtStart_, IDC_CONNECT_AT_START);
    remoteAtStart_ = new QCheckBox(tr("&Remote mode when QEL starts"), this);
    identify(remoteAtStart_, IDC_REMOTE_AT_START);
    ignoreEmpty_ = new QCheckBox(tr("&Ignore empty files"), this);
    identify(ignoreEmpty_, IDC_IGNORE_EMPTY);

    folder_->setWhatsThis(
        tr("The folder the local files pane shows when QEL starts. Empty: the "
           "folder QEL was started in."));
    cncFolder_->setWhatsThis(tr("The memory type the CNC pane shows after connecting."));
    editor_->setWhatsThis(
        tr("The command that opens a local file for editing; the file's name "
           "is added at the end."));
    ignoreEmpty_->setWhatsThis(tr("Empty files are not sent, and empty memories not received."));

    auto* layout = new QGridLayout(this);
    layout->addWidget(explanation, 0, 0, 1, 3);
    layout->addWidget(folderLabel, 1, 0);
    layout->addWidget(folder_, 1, 1);
    layout->addWidget(browseFolder, 1, 2);
    layout->addWidget(cncLabel, 2, 0);
    layout->addWidget(cncFolder_, 2, 1);
    layout->addWidget(editorLabel, 3, 0);
    layout->addWidget(editor_, 3, 1);
    layout->addWidget(browseEditor, 3, 2);
    layout->addWidget(connectAtStart_, 4, 1, 1, 2);
    layout->addWidget(remoteAtStart_, 5, 1, 1, 2);
    layout->addWidget(ignoreEmpty_, 6, 1, 1, 2);
    layout->setRowStretch(7, 1);
    layout->setColumnStretch(1, 1);

    connect(cncFolder_, &StepSpin::stepped, this, [this](int steps) {
        if (steps > 0)
            model_.SpinUp();
        else
            model_.SpinDown();
        showCncFolder();
    });
    connect(browseFolder, &QPushButton::clicked, this, [this] {
        leave();
        const QString start = recordText(model_.StoreFolderForBrowse());
        if (const std::optional<QString> chosen = chooseFolder_(this, start)) {
            folder_->setText(*chosen);
            leave();
            model_.StoreFolderForBrowse();
        }
    });
    connect(browseEditor, &QPushButton::clicked, this, [this] {
        leave();
        const QString start = recordText(model_.StoreEditorForBrowse());
        if (const std::optional<QString> chosen = chooseProgram_(this, start)) {
            editor_->setText(*chosen);
            leave();
            model_.StoreEditorForBrowse();
        }
    });
}

void CMyPropertyPage5::showState() {
    const OptionsControls& c = model_.controls();
    folder_->setText(recordText(c.localFolder));
    editor_->setText(recordText(c.editor));
    connectAtStart_->setChecked(c.connectAtStart);
    remoteAtStart_->setChecked(c.remoteAtStart);
    ignoreEmpty_->setChecked(c.ignoreEmpty);
    showCncFolder();
}

void CMyPropertyPage5::leave() {
    OptionsControls& c = model_.controls();
    c.localFolder = toRecordText(folder_->text());
    c.editor = toRecordText(editor_->text());
    c.connectAtStart = connectAtStart_->isChecked();
    c.remoteAtStart = remoteAtStart_->isChecked();
    c.ignoreEmpty = ignoreEmpty_->isChecked();
}

void CMyPropertyPage5::showCncFolder() {
    cncFolder_->setShownText(recordText(model_.cncFolderText()));
    cncFolder_->setAccessibleName(tr("Default CNC folder"));
}

}  // namespace qel::ui
