#include "shell/ui/CQelVevaDlg.h"

#include "config/CommandLineConfig.h"
#include "config/ConfigRules.h"
#include "config/FixedText.h"
#include "config/SettingsStore.h"
#include "config/ui/CSettingsSheet.h"
#include "config/ui/RecordText.h"
#include "panes/CncPane.h"
#include "panes/ui/CCncView.h"
#include "panes/ui/CLocView.h"
#include "panes/ui/CTreeCombo.h"
#include "panes/ui/ContextHelp.h"
#include "panes/ui/ControlIds.h"
#include "panes/ui/ImageList.h"
#include "panes/ui/PaneList.h"
#include "remote/ui/CRemoteModeDlg.h"
#include "shell/ui/CAboutDlg.h"
#include "shell/ui/CSplashWnd.h"
#include "shell/ui/DesktopMessages.h"
#include "shell/ui/HelpWindow.h"

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <filesystem>

namespace qel::ui {

namespace {
constexpr const char* kAttemptingText = "Attempting to connect to CNC...";
constexpr const char* kReadyText = "Ready";
// The connect-failure box: OK and Help, stop icon.
constexpr uint32_t kConnectFailureFlags = kRequestOk | kRequestHelp | kRequestStopIcon;
constexpr int kConnectPollMs = 5;  // only while a connect runs
constexpr int kPictureSize = 32;

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

std::string processFolder() {
    std::error_code error;
    std::string folder = std::filesystem::current_path(error).string();
    if (error || folder.empty()) folder = "/";
    if (folder.back() != '/') folder += '/';
    return folder;
}

MemoryTypeTable memoryTypeTable(const ConfigRecord& config) {
    MemoryTypeTable table;
    std::copy(std::begin(config.memoryTypes), std::end(config.memoryTypes), table.begin());
    return table;
}

PaneList* makeList(QWidget* parent, int id, const QString& name) {
    auto* list = new PaneList(parent);
    identify(list, id, name);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setMinimumSize(260, 220);
    return list;
}

QComboBox* makeCombo(QWidget* parent, int id, const QString& name, const QString& tooltip) {
    // Both combos are tree combos: the path with its drives and folders, the memory types.
    auto* combo = new CTreeCombo(parent);
    identify(combo, id, name);
    combo->setToolTip(tooltip);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(16);
    return combo;
}
}  // namespace

CQelVevaDlg::CQelVevaDlg(Prompter& prompter, LinkApi& api, QWidget* parent)
    : QDialog(parent, Qt::Window), prompter_(prompter), session_(api) {
    setObjectName(QStringLiteral("c102"));
    setWindowIcon(programPicture(QStringLiteral("qelveva")));
    setSizeGripEnabled(true);
    buildControls();
    addContextHelp();
    cncView_ = new CCncView(prompter_, this);
    cncView_->Attach([this](int id) { return control(id); }, {});
    connect(cncView_, &CCncView::statusChanged, this, &CQelVevaDlg::setStatusText);
    connect(cncView_, &CCncView::settingsRequested, this, &CQelVevaDlg::openSettings);
    connect(cncView_, &CCncView::idle, this, &CQelVevaDlg::linkFree);
    connectPoll_.setInterval(kConnectPollMs);
    connect(&connectPoll_, &QTimer::timeout, this, &CQelVevaDlg::pollConnect);
}

CQelVevaDlg::~CQelVevaDlg() {
    cncView_->finishWork();  // its listing may still use the link
    if (!closed_) session_.close();
}

QPushButton* CQelVevaDlg::makeButton(const QString& text, int id, const QString& tooltip) {
    auto* button = new QPushButton(text, this);
    identify(button, id);
    button->setAutoDefault(false);
    if (!tooltip.isEmpty()) button->setToolTip(tooltip);
    return button;
}

QLabel* CQelVevaDlg::makeValue(const QString& text, int id, const QString& description) {
    auto* value = new QLabel(text, this);
    identify(value, id, text);
    value->setAccessibleDescription(description);
    return value;
}

void CQelVevaDlg::buildControls() {
    // The window menu: the window manager owns the title bar, so its two items sit here.
    windowMenu_ = new QToolButton(this);
    windowMenu_->setObjectName(QStringLiteral("windowMenu"));
    windowMenu_->setAccessibleName(tr("Window menu"));
    windowMenu_->setIcon(QIcon::fromTheme(QStringLiteral("open-menu-symbolic"),
                                          QIcon::fromTheme(QStringLiteral("application-menu"))));
    if (windowMenu_->icon().isNull()) windowMenu_->setText(QStringLiteral("\u2630"));
    windowMenu_->setToolTip(tr("Settings and About"));
    windowMenu_->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(windowMenu_);
    QAction* settings = menu->addAction(tr("&Settings..."), this, &CQelVevaDlg::openSettings);
    settings->setShortcut(QKeySequence(QStringLiteral("Ctrl+,")));
    addAction(settings);
    menu->addAction(tr("&About Qel..."), this, &CQelVevaDlg::showAbout);
    windowMenu_->setMenu(menu);

    // Local files.
    auto* localGroup = new QGroupBox(tr("Local Files"), this);
    identify(localGroup, IDC_LOCAL_GROUP);
    auto* folder =
        makeCombo(localGroup, IDC_LOCAL_FOLDER, tr("Folder"), tr("Go to a different folder"));
    auto* back = makeButton(tr("&Back"), IDC_LOCAL_BACK, tr("Up one level"));
    back->setIcon(imageListIcon(kImageUpOneLevel));
    auto* localList = makeList(localGroup, IDC_LOCAL_LIST, tr("Local Files"));
    auto* localDelete =
        makeButton(tr("Dele&te"), IDC_LOCAL_DELETE, tr("Delete the selected local files"));
    auto* filterLabel = new QLabel(tr("File Filter:"), localGroup);
    auto* filter = new QLineEdit(QStringLiteral("*.*"), localGroup);
    identify(filter, IDC_FILE_FILTER, tr("File Filter"));
    filter->setMinimumWidth(fontMetrics().averageCharWidth() * 14);
    filter->setToolTip(tr("Edit display filter"));
    filterLabel->setBuddy(filter);
    auto* localSelect = makeButton(tr("S&elect..."), IDC_LOCAL_SELECT, tr("File select filter"));
    auto* freeDiskLabel = new QLabel(tr("Free Disk:"), localGroup);
    auto* freeDisk = makeValue(QStringLiteral("???"), IDC_FREE_DISK, tr("Free Disk"));
    auto* fileManager = makeButton(tr("&File Manager"), IDC_FILE_MANAGER,
                                   tr("File manager in the current local directory"));
    fileManager->setIcon(imageListIcon(kImageFileManager));
    connect(fileManager, &QPushButton::clicked, this, &CQelVevaDlg::openFileManager);

    auto* localLayout = new QGridLayout(localGroup);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder, 1);
    folderRow->addWidget(back);
    localLayout->addLayout(folderRow, 0, 0, 1, 4);
    localLayout->addWidget(localList, 1, 0, 1, 4);
    localLayout->addWidget(filterLabel, 2, 0);
    localLayout->addWidget(filter, 2, 1);
    localLayout->addWidget(localSelect, 2, 2);
    localLayout->addWidget(localDelete, 2, 3);
    localLayout->addWidget(freeDiskLabel, 3, 0);
    localLayout->addWidget(freeDisk, 3, 1);
    localLayout->addWidget(fileManager, 3, 2, 1, 2);
    localLayout->setRowStretch(1, 1);
    localLayout->setColumnStretch(1, 1);

    // The transfer buttons between the panes, with the pictures of the way the data goes.
    auto picture = [this](const QString& name, int id) {
        auto* label = new QLabel(this);
        identify(label, id);
        label->setPixmap(programPicture(name).pixmap(kPictureSize, kPictureSize));
        label->setAlignment(Qt::AlignCenter);
        return label;
    };
    auto* middle = new QVBoxLayout;
    middle->addStretch(1);
    middle->addWidget(picture(QStringLiteral("pictures/pc"), IDC_PICTURE_PC));
    middle->addWidget(picture(QStringLiteral("pictures/to-cnc"), IDC_PICTURE_TO_CNC));
    middle->addWidget(
        makeButton(tr("&Send"), IDC_SEND, tr("Transfer the selected files to the CNC")));
    middle->addWidget(
        makeButton(tr("Send &as..."), IDC_SEND_AS, tr("Send the selected files using new names")));
    middle->addWidget(
        makeButton(tr("BTR Se&nd"), IDC_BTR_SEND, tr("Behind Tape Reading transfer")));
    middle->addSpacing(12);
    auto* remote =
        makeButton(tr("Remote &Mode"), IDC_REMOTE_MODE, tr("Remote mode (Tessel compatible)"));
    connect(remote, &QPushButton::clicked, this, &CQelVevaDlg::startRemoteMode);
    middle->addWidget(remote);
    middle->addSpacing(12);
    middle->addWidget(
        makeButton(tr("&Receive"), IDC_RECEIVE, tr("Receive the selected memories from the CNC")));
    middle->addWidget(makeButton(tr("Recei&ve as..."), IDC_RECEIVE_AS,
                                 tr("Receive the selected files using new names")));
    middle->addWidget(picture(QStringLiteral("pictures/to-pc"), IDC_PICTURE_TO_PC));
    middle->addWidget(picture(QStringLiteral("pictures/cnc"), IDC_PICTURE_CNC));
    middle->addStretch(1);

    // CNC memories.
    auto* cncGroup = new QGroupBox(tr("CNC Memories"), this);
    identify(cncGroup, IDC_CNC_GROUP);
    auto* memoryType = makeCombo(cncGroup, IDC_MEMORY_TYPE, tr("Memory type"),
                                 tr("Go to a different CNC memory folder"));
    auto* cncBack = makeButton(tr("&Cnc Back"), IDC_CNC_BACK, tr("Up one level"));
    cncBack->setIcon(imageListIcon(kImageUpOneLevel));
    auto* cncList = makeList(cncGroup, IDC_CNC_LIST, tr("CNC Memories"));
    auto* cncDelete =
        makeButton(tr("&Delete"), IDC_CNC_DELETE, tr("Delete the selected CNC memories"));
    auto* cncSelect = makeButton(tr("Se&lect..."), IDC_CNC_SELECT, tr("Memory select filter"));
    reconnect_ = makeButton(tr("Re&connect"), IDC_RECONNECT, tr("Reconnect to the CNC"));
    connect(reconnect_, &QPushButton::clicked, this, &CQelVevaDlg::connectToCnc);
    auto* freeMemLabel = new QLabel(tr("Free Mem:"), cncGroup);
    auto* freeMem = makeValue(QStringLiteral("???"), IDC_FREE_MEM, tr("Free Mem"));
    connection_ =
        makeValue(QString::fromLatin1(kNotConnectedText), IDC_CONNECTION, tr("Connection"));

    auto* cncLayout = new QGridLayout(cncGroup);
    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(memoryType, 1);
    typeRow->addWidget(cncBack);
    cncLayout->addLayout(typeRow, 0, 0, 1, 4);
    cncLayout->addWidget(cncList, 1, 0, 1, 4);
    cncLayout->addWidget(connection_, 2, 0, 1, 2);
    cncLayout->addWidget(cncSelect, 2, 2);
    cncLayout->addWidget(cncDelete, 2, 3);
    cncLayout->addWidget(freeMemLabel, 3, 0);
    cncLayout->addWidget(freeMem, 3, 1);
    cncLayout->addWidget(reconnect_, 3, 2, 1, 2);
    cncLayout->setRowStretch(1, 1);
    cncLayout->setColumnStretch(1, 1);

    // Status line and the program's buttons.
    status_ = makeValue(QString::fromLatin1(kReadyText), IDC_STATUS, tr("Status"));
    status_->setFrameShape(QFrame::StyledPanel);
    status_->setFrameShadow(QFrame::Sunken);
    auto* exit = makeButton(tr("E&xit"), IDC_EXIT, tr("Exit QEL"));
    connect(exit, &QPushButton::clicked, this, &CQelVevaDlg::close);
    auto* help = makeButton(tr("&Help"), IDC_HELP, tr("QEL Help window"));
    connect(help, &QPushButton::clicked, this, &CQelVevaDlg::showHelpWindow);

    auto* panes = new QHBoxLayout;
    panes->addWidget(localGroup, 1);
    panes->addLayout(middle);
    panes->addWidget(cncGroup, 1);
    auto* top = new QHBoxLayout;
    top->addStretch(1);
    top->addWidget(windowMenu_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    bottom->addWidget(help);
    bottom->addWidget(exit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(panes, 1);
    layout->addLayout(bottom);
    layout->setContentsMargins(8, 4, 8, 8);
    // The lists take what the screen offers beyond the controls' own room.
    resize(sizeHint().expandedTo(QSize(920, 600)));

    // Until the panes take them over, their buttons do nothing and stay disabled.
    for (const int id :
         {IDC_LOCAL_BACK, IDC_LOCAL_DELETE, IDC_LOCAL_SELECT, IDC_SEND, IDC_SEND_AS, IDC_BTR_SEND,
          IDC_RECEIVE, IDC_RECEIVE_AS, IDC_CNC_BACK, IDC_CNC_DELETE, IDC_CNC_SELECT}) {
        control(id)->setEnabled(false);
    }

    addContextHelpKey(this);
}

void CQelVevaDlg::addContextHelp() {
    const std::pair<int, const char*> texts[] = {
        {IDC_BTR_SEND,
         "Sends the selected part program to a CNC that runs it while it arrives, "
         "block by block (behind-tape-reader sending). Only on RXA/2 and TCP/IP."},
        {IDC_CNC_BACK, "Goes back from the memories of one type to the list of memory types."},
        {IDC_MEMORY_TYPE, "Chooses the CNC memory type whose memories the list shows."},
        {IDC_CNC_DELETE, "Deletes the selected memories on the CNC, after a question."},
        {IDC_FREE_MEM, "The free memory the CNC reports."},
        {IDC_CNC_LIST, "The CNC's memories: memory types, or the memories of one type."},
        {IDC_CNC_SELECT, "Selects the memories whose names match a filter such as *.PM."},
        {IDC_CONNECTION, "Whether the program is connected to the CNC."},
        {IDC_FREE_DISK, "The free space of the disk that holds the current folder."},
        {IDC_FILE_MANAGER, "Opens the current folder in the desktop's file manager."},
        {IDC_LOCAL_BACK, "Goes up to the folder that holds the current one."},
        {IDC_LOCAL_FOLDER, "Chooses a disk or a folder above the current one."},
        {IDC_LOCAL_DELETE, "Deletes the selected local files, after a question."},
        {IDC_FILE_FILTER, "Shows only the files whose names match, for example *.PM;*.TO."},
        {IDC_LOCAL_LIST, "The files and folders of the current local folder."},
        {IDC_LOCAL_SELECT, "Selects the files whose names match a filter."},
        {IDC_REMOTE_MODE,
         "Lets the CNC drive: it reads and writes files of a folder of this "
         "PC through the link."},
        {IDC_RECEIVE, "Copies the selected CNC memories into the current folder."},
        {IDC_RECEIVE_AS, "Copies the selected CNC memories, asking for each file's name."},
        {IDC_RECONNECT, "Connects to the CNC again with the configuration in force."},
        {IDC_SEND, "Sends the selected files to the CNC, one memory each."},
        {IDC_SEND_AS, "Sends the selected files, asking for each memory's name."},
        {IDC_STATUS, "What the program is doing."},
    };
    for (const auto& [id, text] : texts) {
        if (QWidget* widget = control(id)) widget->setWhatsThis(tr(text));
    }
}

QWidget* CQelVevaDlg::control(int id) const {
    if (id == 102) return const_cast<CQelVevaDlg*>(this);
    return findChild<QWidget*>(controlName(id));
}

QString CQelVevaDlg::statusText() const {
    return status_->text();
}

QString CQelVevaDlg::connectionText() const {
    return connection_->text();
}

void CQelVevaDlg::setStatusText(const QString& text) {
    status_->setText(text);
    status_->setAccessibleName(text);
}

void CQelVevaDlg::initialise(const StartupChoices& choices, const std::string& settingsFile) {
    CSplashWnd::ShowSplashScreen(this, choices.showSplash);

    DesktopMessages messages(prompter_, this);
    const std::filesystem::path file(settingsFile);
    settingsFile_ = settingsFile;
    SettingsStore store(file, processFolder(), messages);
    ConfigRecord config;
    if (!choices.ipAddress.empty()) {
        LoadCommandLineConfig(store, choices.ipAddress, choices.port, choices.caption, config);
    } else {
        // A first start writes the built-in configurations, so the reset message comes once;
        // a damaged file is never overwritten: it stays for the operator to look at.
        std::error_code missing;
        store.GetCurrentConfig(config, !std::filesystem::exists(file, missing) && !missing);
    }
    session_.setConfig(config);
    setWindowTitle(recordText(session_.title()));
    cncView_->setMemoryTypes(usedMemoryTypes(config.memoryTypes));
    goToDefaultFolder(config);
    attachLocalPane(config);

    if ((config.options & OPT_CONNECT_AT_START) != 0) {
        connectToCnc();
    } else {
        cncView_->ShowLevel(0);  // the memory types, usable once connected
    }
    if ((config.options & OPT_REMOTE_AT_START) != 0) remoteModeWhenFree();
}

void CQelVevaDlg::goToDefaultFolder(const ConfigRecord& config) {
    // The configured folder, else where the program was started.
    std::string folder(textOf(config.defaultLocalFolder));
    std::error_code error;
    if (folder.empty() || !std::filesystem::is_directory(folder, error)) folder = processFolder();
    if (folder.back() != '/') folder += '/';
    if (::chdir(folder.c_str()) == 0)
        currentFolder_ = folder;
    else
        currentFolder_ = processFolder();
}

void CQelVevaDlg::openSettings() {
    if (closed_) return;
    DesktopMessages messages(prompter_, this);
    SettingsStore store(std::filesystem::path(settingsFile_), processFolder(), messages);
    // New configurations start where the program is now, as the folder's own name.
    std::error_code error;
    CSettingsSheet sheet(store, prompter_, std::filesystem::current_path(error).string(), this);
    if (sheet.exec() != QDialog::Accepted || closed_) return;
    applySettings(sheet.chosenConfig());
}

void CQelVevaDlg::applySettings(const ConfigRecord& config) {
    session_.setConfig(config);
    cncView_->setMemoryTypes(usedMemoryTypes(config.memoryTypes));
    goToDefaultFolder(config);
    if (localPane_) {
        localPane_->SetMemoryTypes(memoryTypeTable(config));
        localPane_->SetEditor(std::string(textOf(config.editor)));
        localPane_->Navigate(currentFolder_);
    }
    setWindowTitle(recordText(session_.title()));
    if ((config.options & OPT_CONNECT_AT_START) != 0) {
        connectToCnc();  // the CNC pane shows the configured level once connected
    } else {
        disconnectLink();
        cncView_->ShowLevel(0);
        cncView_->ShowLevel(cncFolderLevel(config));
    }
    if ((config.options & OPT_REMOTE_AT_START) != 0) remoteModeWhenFree();
}

void CQelVevaDlg::remoteModeWhenFree() {
    // After the connect (or disconnect) under way, and out of the caller's event handler, since
    // the window runs modally.
    remoteWaiting_ = true;
    QTimer::singleShot(0, this, &CQelVevaDlg::linkFree);
}

void CQelVevaDlg::startRemoteMode() {
    if (closed_ || remoteRunning_) return;
    if (session_.connecting() || cncView_->busy() || linkWaiting_ != LinkChange::None) {
        remoteWaiting_ = true;  // the link is in use: once it is free (linkFree)
        return;
    }
    remoteWaiting_ = false;
    // The panes let go of the link that remote mode may replace.
    cncView_->SetLink(nullptr, 0);
    if (localPane_) localPane_->SetLink(nullptr, 0);
    const remote::ObtainedRemoteLink obtained = session_.obtainRemoteLink();
    if (obtained.link == nullptr) {
        showLinkState();
        prompter_.ask(this, fromStd(session_.remoteFailureText()), kConnectFailureFlags,
                      kConnectFailureHelp);
        return;
    }
    std::optional<remote::RemoteLinkSetup> reconnect;
    const remote::RemoteLinkSetup setup = remote::remoteLinkSetupFor(session_.config());
    if (obtained.created && setup.settings.linkType == DNC_LINK_TCP_SERVER) reconnect = setup;
    {
        CRemoteModeDlg dialog(this);
        dialog.SetLink(obtained.link, reconnect);
        remoteRunning_ = true;
        dialog.exec();
        remoteRunning_ = false;
    }
    // A link made for remote mode is disconnected; one taken over was disconnected by Exit.
    // Either way the object stays, and both panes get it back.
    if (obtained.created) session_.disconnect();
    showLinkState();
}

void CQelVevaDlg::showLinkState() {
    if (closed_) return;
    handOutLink();
    connection_->setText(QString::fromLatin1(session_.connectionText()));
    connection_->setAccessibleName(connection_->text());
    control(IDC_REMOTE_MODE)->setEnabled(session_.remoteModeAllowed());
}

void CQelVevaDlg::disconnectLink() {
    if (session_.connecting() || cncView_->busy()) {
        linkWaiting_ = LinkChange::Disconnect;  // the link is in use: once it is free
        return;
    }
    session_.disconnect();
    showLinkState();
}

void CQelVevaDlg::linkFree() {
    switch (std::exchange(linkWaiting_, LinkChange::None)) {
        case LinkChange::Connect:
            connectToCnc();
            break;
        case LinkChange::Disconnect:
            disconnectLink();
            break;
        case LinkChange::None:
            break;
    }
    if (remoteWaiting_ && linkWaiting_ == LinkChange::None && !session_.connecting() &&
        !cncView_->busy()) {
        QTimer::singleShot(0, this, [this] {
            if (remoteWaiting_) startRemoteMode();
        });
    }
}

void CQelVevaDlg::connectToCnc() {
    if (session_.connecting() || cncView_->busy()) {
        // The link goes with the connect: first the pane's job, or the connect under way, ends.
        linkWaiting_ = LinkChange::Connect;
        return;
    }
    reconnect_->setEnabled(false);
    session_.startConnect();
    handOutLink();  // the old link goes with the connect: nobody may keep it
    setStatusText(QString::fromLatin1(kAttemptingText));
    connectPoll_.start();
}

void CQelVevaDlg::pollConnect() {
    if (auto outcome = session_.takeConnectOutcome()) {
        connectPoll_.stop();
        finishConnect(*outcome);
    }
}

void CQelVevaDlg::finishConnect(const ConnectOutcome& outcome) {
    connection_->setText(QString::fromLatin1(session_.connectionText()));
    connection_->setAccessibleName(connection_->text());
    reconnect_->setEnabled(true);
    if (outcome.connected) cncView_->setCurrentLevel(session_.config().defaultCncFolder);
    handOutLink();
    control(IDC_REMOTE_MODE)->setEnabled(session_.remoteModeAllowed());
    if (!outcome.connected && !closed_) {
        prompter_.ask(this, fromStd(session_.connectFailureText(outcome)), kConnectFailureFlags,
                      kConnectFailureHelp);
    }
    setStatusText(QString::fromLatin1(kReadyText));
    emit connectFinished(outcome.connected);
    linkFree();  // settings applied while the connect ran
}

void CQelVevaDlg::handOutLink() {
    if (!closed_) {
        cncView_->SetLink(session_.connected() ? session_.link() : nullptr,
                          session_.cncPaneOptions());
    }
    if (localPane_ && !closed_) localPane_->SetLink(session_.link(), session_.localPaneOptions());
    if (linkChanged_) {
        linkChanged_(session_.link(), session_.cncPaneOptions(), session_.localPaneOptions());
    }
}

void CQelVevaDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter opens the focused item instead of closing the window.
        if (QWidget* focused = focusWidget()) {
            QCoreApplication::postEvent(focused, new QEvent(WM_OPEN_FOCUSED_ITEM));
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CQelVevaDlg::reject() {
    close();  // Escape ends the program, as the close box does
}

void CQelVevaDlg::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        closed_ = true;
        connectPoll_.stop();
        hide();
        cncView_->finishWork();
        localPane_.reset();  // its watcher ends with it
        // "QEL inactive." on the CNC screen, then the link goes.
        session_.close();
        handOutLink();
    }
    event->accept();
    QDialog::done(QDialog::Rejected);
}

void CQelVevaDlg::attachLocalPane(const ConfigRecord& config) {
    // The local files pane takes over the controls of the left half and shows the current
    // folder; the pane keeps currentFolder_ up to date from now on.
    localPane_ = std::make_unique<CLocView>(prompter_);
    if (!localPane_->Attach(this, LocalPaneControls{}, memoryTypeTable(config),
                            session_.localPaneOptions(), currentFolder_)) {
        localPane_.reset();
        return;
    }
    localPane_->SetImageList();
    localPane_->SetEditor(std::string(textOf(config.editor)));
    localPane_->Navigate(currentFolder_);
    // Files received from the CNC show at once (the watcher would also bring them).
    connect(cncView_, &CCncView::localFolderChanged, this, [this] {
        if (localPane_) localPane_->RefreshFolder();
    });
    connect(localPane_.get(), &CLocView::statusChanged, this, &CQelVevaDlg::setStatusText);
    connect(localPane_.get(), &CLocView::cncChanged, cncView_, &CCncView::RefreshLevel);
    connect(localPane_.get(), &CLocView::settingsRequested, this, &CQelVevaDlg::openSettings);

    // Items dragged from one pane onto the other are transferred.
    auto* localList = qobject_cast<PaneList*>(control(IDC_LOCAL_LIST));
    auto* cncList = qobject_cast<PaneList*>(control(IDC_CNC_LIST));
    localList->addDropTarget(cncList);
    cncList->addDropTarget(localList);
    for (PaneList* list : {localList, cncList}) {
        connect(list, &PaneList::statusChanged, this, &CQelVevaDlg::setStatusText);
    }
    connect(localList, &PaneList::dropped, this, [this] {
        if (localPane_) localPane_->SendDropped();
    });
    connect(cncList, &PaneList::dropped, this, [this](PaneList*, int row) {
        if (localPane_) cncView_->ReceiveInto(localPane_->dropFolder(row));
    });
}

void CQelVevaDlg::openFileManager() {
    if (!QProcess::startDetached(QStringLiteral("xdg-open"), {fromStd(currentFolder_)})) {
        setStatusText(tr("The file manager could not be started (xdg-open)."));
    }
}

void CQelVevaDlg::showHelpWindow() {
    HelpWindow::showFor(this);
}

void CQelVevaDlg::showAbout() {
    CAboutDlg about(this);
    about.exec();
}

}  // namespace qel::ui
