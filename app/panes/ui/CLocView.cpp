#include "panes/ui/CLocView.h"

#include "panes/CncPane.h"
#include "panes/EditorCommand.h"
#include "panes/LocalFileCommands.h"
#include "panes/ui/CTreeCombo.h"
#include "panes/ui/ControlIds.h"
#include "panes/ui/ImageList.h"
#include "panes/ui/PaneList.h"
#include "panes/ui/WindowMessages.h"
#include "transfer/ui/TransferWindows.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>

namespace qel::ui {

namespace {
constexpr const char* kReadyText = "Ready";

template <typename Control>
Control* take(QWidget* window, int id) {
    return window->findChild<Control*>(controlName(id));
}

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

// A text with one %s, filled with name.
QString withName(const char* text, const std::string& name) {
    return QString::fromLatin1(text).replace(QStringLiteral("%s"), fromStd(name));
}
}  // namespace

CLocView::CLocView(Prompter& prompter, std::shared_ptr<LocalDisk> disk,
                   std::chrono::milliseconds diskLimit)
    : prompter_(prompter),
      disk_(disk ? std::move(disk) : std::make_shared<LocalDisk>()),
      diskLimit_(diskLimit) {}

CLocView::~CLocView() {
    if (pane_) pane_->StopWatching();
    if (list_) list_->setModel(nullptr);
}

bool CLocView::Attach(QWidget* window, const LocalPaneControls& ids, const MemoryTypeTable& types,
                      uint8_t options, std::string& currentFolder) {
    window_ = window;
    list_ = take<PaneList>(window, ids.list);
    folder_ = take<CTreeCombo>(window, ids.folder);
    back_ = take<QPushButton>(window, ids.back);
    filter_ = take<QLineEdit>(window, ids.filter);
    freeDisk_ = take<QLabel>(window, ids.freeDisk);
    fileManager_ = take<QPushButton>(window, ids.fileManager);
    select_ = take<QPushButton>(window, ids.select);
    remove_ = take<QPushButton>(window, ids.remove);
    send_ = take<QPushButton>(window, ids.send);
    sendAs_ = take<QPushButton>(window, ids.sendAs);
    btrSend_ = take<QPushButton>(window, ids.btrSend);
    for (QObject* taken :
         std::initializer_list<QObject*>{list_, folder_, back_, filter_, freeDisk_, fileManager_,
                                         select_, remove_, send_, sendAs_, btrSend_}) {
        if (taken == nullptr) return false;
    }

    LocalPaneHost& host = *this;
    pane_ = std::make_unique<LocalPane>(host, currentFolder, disk_, diskLimit_);
    pane_->SetMemoryTypes(types);
    pane_->SetOptions(options);
    model_ = std::make_unique<LocalFilesModel>(pane_->listing());

    list_->setModel(model_.get());
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    // A click on the label of the selected item, or F2, edits its name.
    list_->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    list_->setSortingEnabled(false);  // the order is the pane's: folders first
    list_->setIconSize(QSize(16, 16));
    QHeaderView* header = list_->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    header->setSectionResizeMode(LocalFilesModel::NameColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(LocalFilesModel::SizeColumn, QHeaderView::Interactive);
    const int sizeWidth = list_->fontMetrics().horizontalAdvance(QStringLiteral("99999.99MB")) +
                          3 * list_->style()->pixelMetric(QStyle::PM_HeaderMargin);
    header->resizeSection(LocalFilesModel::SizeColumn, std::max(55, sizeWidth));
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(header, &QHeaderView::sectionClicked, list_, [this] { list_->setFocus(); });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CLocView::UpdateControls);
    connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CLocView::UpdateControls);
    connect(list_, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { OpenItem(index.row()); });
    connect(list_, &PaneList::labelEditStarted, this, [this] { pane_->EnableRefresh(false); });
    connect(list_, &PaneList::labelEditEnded, this, &CLocView::labelEditEnded);
    connect(list_, &PaneList::menuRequested, this, &CLocView::showMenu);
    list_->setContextMenuPolicy(Qt::DefaultContextMenu);
    list_->installEventFilter(this);

    select_->setEnabled(true);  // always, as the file manager button
    connect(select_, &QPushButton::clicked, this, &CLocView::SelectByFilter);
    connect(remove_, &QPushButton::clicked, this, &CLocView::DeleteFiles);
    connect(send_, &QPushButton::clicked, this, [this] { Send(false); });
    connect(sendAs_, &QPushButton::clicked, this, [this] { Send(true); });
    connect(btrSend_, &QPushButton::clicked, this, &CLocView::BtrSend);

    connect(back_, &QPushButton::clicked, this, &CLocView::back);
    connect(folder_, &QComboBox::activated, this, &CLocView::chooseEntry);
    folder_->installEventFilter(this);
    filter_->setText(QStringLiteral("*"));
    connect(filter_, &QLineEdit::textEdited, this,
            [this](const QString& text) { pane_->FilterEdited(text.toStdString()); });
    filter_->installEventFilter(this);
    return true;
}

void CLocView::SetImageList() {
    if (back_) back_->setIcon(imageListIcon(kImageUpOneLevel));
    if (fileManager_) fileManager_->setIcon(imageListIcon(kImageFileManager));
}

void CLocView::SetEditor(const std::string& command) {
    pane_->SetEditor(command);
}

void CLocView::SetMemoryTypes(const MemoryTypeTable& types) {
    pane_->SetMemoryTypes(types);
}

void CLocView::SetLink(CncClient* link, uint8_t options) {
    const bool changed = link != pane_->link() || options != pane_->options();
    pane_->SetLink(link, options);
    if (!changed) return;
    showState();
    selectFirstItem();
}

bool CLocView::Navigate(const std::string& path) {
    const bool whole = pane_->Navigate(path);
    showState();
    selectFirstItem();
    return whole;
}

void CLocView::RefreshFolder() {
    refresh(false);
}

void CLocView::refresh(bool changesOnly) {
    const std::string before = pane_->currentFolder();
    if (changesOnly) {
        pane_->RefreshChanges();
    } else {
        pane_->RefreshFolder();
    }
    if (pane_->currentFolder() != before) {
        // The folder went away: the pane shows another one now.
        showState();
        selectFirstItem();
        return;
    }
    freeDisk_->setText(QString::fromStdString(pane_->freeSpace()));
    freeDisk_->setAccessibleName(freeDisk_->text());
}

bool CLocView::event(QEvent* event) {
    if (event->type() == WM_LOCAL_FOLDER_CHANGED) {
        refresh(true);
        return true;
    }
    return QObject::event(event);
}

bool CLocView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == WM_OPEN_FOCUSED_ITEM) {
        if (const QModelIndex current = list_->currentIndex(); current.isValid()) {
            OpenItem(current.row());
        }
        return true;
    }
    if (watched == filter_ && event->type() == QEvent::FocusOut) {
        const bool changed = pane_->filterChanged();
        pane_->FilterEditLeft();
        if (changed) {
            showState();
            selectFirstItem();
        }
    }
    return QObject::eventFilter(watched, event);
}

bool CLocView::retryInaccessibleFolder() {
    QApplication::beep();
    return prompter_.confirm(window_, QString::fromLatin1(kQelErrorCaption),
                             QString::fromLatin1(kFolderInaccessibleText), BoxButtons::RetryCancel,
                             BoxIcon::Stop);
}

void CLocView::beep() {
    QApplication::beep();
}

void CLocView::folderChanged() {
    // On the watcher's thread: only a posted event crosses over.
    QCoreApplication::postEvent(this, new QEvent(WM_LOCAL_FOLDER_CHANGED));
}

void CLocView::back() {
    if (pane_->Back()) {
        showState();
        selectFirstItem();
        list_->setFocus();
    } else {
        showState();
    }
}

void CLocView::chooseEntry(int index) {
    list_->setFocus();
    if (index < 0) return;
    pane_->ChooseEntry(static_cast<size_t>(index));
    showState();
    selectFirstItem();
}

void CLocView::showState() {
    showPath();
    freeDisk_->setText(QString::fromStdString(pane_->freeSpace()));
    freeDisk_->setAccessibleName(freeDisk_->text());
    UpdateControls();
}

void CLocView::showPath() {
    const QSignalBlocker quiet(folder_);
    folder_->clear();
    for (const PathEntry& entry : pane_->pathEntries()) {
        folder_->AddItem(QString::fromStdString(entry.text), entry.image, entry.indent,
                         QString::fromStdString(entry.path));
    }
    folder_->setCurrentIndex(pane_->pathSelection());
}

void CLocView::selectFirstItem() {
    if (model_->rowCount() == 0) return;
    const QModelIndex first = model_->index(0, LocalFilesModel::NameColumn);
    list_->selectionModel()->setCurrentIndex(
        first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_->scrollToTop();
}

std::vector<std::string> CLocView::chosen() const {
    std::vector<size_t> selected;
    for (const QModelIndex& index :
         list_->selectionModel()->selectedRows(LocalFilesModel::NameColumn)) {
        selected.push_back(static_cast<size_t>(index.row()));
    }
    std::optional<size_t> focused;
    if (const QModelIndex current = list_->currentIndex(); current.isValid()) {
        focused = static_cast<size_t>(current.row());
    }
    return chosenFiles(pane_->listing(), std::move(selected), focused);
}

void CLocView::UpdateControls() {
    CncClient* link = pane_->link();
    const int linkType = link != nullptr && link->isConnected() ? link->linkType() : -1;
    const LocalPaneEnables enables = localPaneEnables(pane_->depth(), !chosen().empty(), linkType);
    back_->setEnabled(enables.back);
    remove_->setEnabled(enables.remove);
    send_->setEnabled(enables.send);
    sendAs_->setEnabled(enables.send);
    btrSend_->setEnabled(enables.btrSend);
}

void CLocView::OpenItem(int row) {
    if (row < 0 || static_cast<size_t>(row) >= pane_->listing().size()) return;
    const LocalEntry entry = pane_->listing().at(static_cast<size_t>(row));
    if (entry.folder) {
        pane_->OpenFolder(entry.name);
        showState();
        selectFirstItem();
        return;
    }
    if (pane_->currentFolder().empty()) {
        QApplication::beep();
        return;
    }
    startEditor(pane_->pathOf(entry.name));
}

void CLocView::startEditor(const std::string& path) {
    // An argument vector, no shell: a name with blanks or quotes reaches the editor whole.
    const std::vector<std::string> words =
        editorArguments(pane_->editor(), path, environmentProgramSearch());
    QStringList arguments;
    for (size_t i = 1; i < words.size(); ++i) arguments << fromStd(words[i]);
    if (!QProcess::startDetached(fromStd(words.front()), arguments)) {
        emit statusChanged(tr("The editor could not be started (%1).").arg(fromStd(words.front())));
    }
}

void CLocView::DeleteFiles() {
    const std::vector<std::string> names = chosen();
    if (names.empty()) return;
    if (prompter_.ask(window_, QString::fromLatin1(kDeleteFilesQuestion),
                      kRequestYes | kRequestNo | kRequestQuestionMark) != IDYES) {
        return;
    }
    emit statusChanged(QString::fromLatin1(kDeletingMemoriesText));
    const LocalPane::DeleteOutcome outcome = pane_->DeleteFiles(names);
    if (outcome.failed) {
        prompter_.warn(window_, QString::fromLatin1(kQelErrorCaption),
                       withName(kDeleteFailedText, *outcome.failed));
    }
    emit statusChanged(QString::fromLatin1(kReadyText));
    RefreshFolder();
}

void CLocView::RenameSelected() {
    const QModelIndexList rows = list_->selectionModel()->selectedRows(LocalFilesModel::NameColumn);
    if (rows.isEmpty()) return;
    const QModelIndex first = *std::min_element(
        rows.begin(), rows.end(),
        [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    if (pane_->listing().at(static_cast<size_t>(first.row())).folder) return;
    pane_->EnableRefresh(false);
    list_->setCurrentIndex(first);
    if (!list_->editLabel(first)) {
        QApplication::beep();
        pane_->EnableRefresh(true);
    }
}

void CLocView::labelEditEnded(const QString& oldText, const std::optional<QString>& newText) {
    pane_->EnableRefresh(true);
    if (newText && !pane_->Rename(oldText.toStdString(), newText->toStdString())) {
        QApplication::beep();
    }
    // The list shows what the disk holds now, not the edited label; after the editor is gone.
    QMetaObject::invokeMethod(this, &CLocView::RefreshFolder, Qt::QueuedConnection);
}

void CLocView::NewFolder() {
    if (const auto name = pane_->NewFolder()) {
        editNewEntry(*name);
        return;
    }
    QApplication::beep();
    prompter_.ask(window_, QString::fromLatin1(kCreateFolderFailedText),
                  kRequestOk | kRequestExclamationIcon);
}

void CLocView::NewTextFile() {
    if (const auto name = pane_->NewTextFile()) {
        editNewEntry(*name);
        return;
    }
    QApplication::beep();
    prompter_.ask(window_,
                  withName(kCreateFileFailedText, std::string(kNewFileBase) + kNewFileExtension),
                  kRequestOk | kRequestExclamationIcon);
}

void CLocView::editNewEntry(const std::string& name) {
    list_->setFocus();
    const long row = pane_->listing().find(name);
    if (row < 0) return;
    const QModelIndex index = model_->index(static_cast<int>(row), LocalFilesModel::NameColumn);
    list_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_->scrollTo(index);
    pane_->EnableRefresh(false);
    if (!list_->editLabel(index)) {
        QApplication::beep();
        pane_->EnableRefresh(true);
    }
}

void CLocView::selectRows(const std::vector<size_t>& rows) {
    QItemSelection chosen;
    for (const size_t row : rows) {
        const QModelIndex index = model_->index(static_cast<int>(row), LocalFilesModel::NameColumn);
        chosen.select(index, index);
    }
    list_->selectionModel()->select(
        chosen, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void CLocView::SelectByFilter() {
    const auto filter =
        prompter_.askText(window_, QString::fromLatin1(kSelectFilterPrompt), QStringLiteral("*.*"));
    if (!filter) return;
    selectRows(filesMatching(pane_->listing(), filter->toStdString()));
    list_->setFocus();
}

void CLocView::SelectAll() {
    list_->selectAll();
}

void CLocView::SelectAllFiles() {
    selectRows(fileRows(pane_->listing()));
}

void CLocView::showMenu(const QPoint& global, const QModelIndex& item, bool fromKeyboard) {
    const bool onFile = !fromKeyboard && item.isValid() &&
                        !pane_->listing().at(static_cast<size_t>(item.row())).folder;
    QMenu menu(list_);
    const auto add = [this](QMenu& into, const QString& text, int id, auto&& slot) {
        QAction* action = into.addAction(text, this, slot);
        action->setObjectName(QStringLiteral("m%1").arg(id));
    };
    if (onFile) {
        menu.setObjectName(QStringLiteral("m%1").arg(kFileMenu));
        add(menu, tr("&Edit"), ID_EDIT, [this] {
            if (const QModelIndex current = list_->currentIndex(); current.isValid()) {
                OpenItem(current.row());
            }
        });
        add(menu, tr("&Delete"), ID_DELETE, [this] { DeleteFiles(); });
        add(menu, tr("&Rename"), ID_RENAME, [this] { RenameSelected(); });
    } else {
        menu.setObjectName(QStringLiteral("m%1").arg(kFolderMenu));
        QMenu* fresh = menu.addMenu(tr("Ne&w.."));
        add(*fresh, tr("&Folder"), ID_NEW_FOLDER, [this] { NewFolder(); });
        add(*fresh, tr("&Text file"), ID_NEW_TEXT_FILE, [this] { NewTextFile(); });
        menu.addSeparator();
        add(menu, tr("Select &All"), ID_SELECT_ALL, [this] { SelectAll(); });
        add(menu, tr("Select All &Files"), ID_SELECT_ALL_FILES, [this] { SelectAllFiles(); });
        menu.addSeparator();
        add(menu, tr("&Settings..."), ID_SETTINGS, [this] { emit settingsRequested(); });
    }
    menu.addSeparator();
    add(menu, tr("&Refresh"), ID_REFRESH, [this] { RefreshFolder(); });
    menu.exec(global);
}

void CLocView::Send(bool sendAs) {
    send(chosen(), sendRequestFlags(pane_->options(), sendAs));
}

void CLocView::SendDropped() {
    send(chosen(), sendRequestFlags(pane_->options(), false));
}

void CLocView::send(const std::vector<std::string>& names, uint32_t flags) {
    CncClient* link = pane_->link();
    if (names.empty() || link == nullptr || !link->isConnected()) return;
    emit statusChanged(QString::fromLatin1(kGettingInformationText));
    runSendDialog(window_, prompter_, *link, names, flags, pane_->currentFolder(), pauses_);
    emit statusChanged(QString::fromLatin1(kReadyText));
    emit cncChanged();
}

void CLocView::BtrSend() {
    CncClient* link = pane_->link();
    const std::vector<std::string> names = chosen();
    if (names.empty() || link == nullptr || !link->isConnected()) return;
    emit statusChanged(QString::fromLatin1(kGettingInformationText));
    runBtrSend(window_, prompter_, *link, names, pane_->currentFolder(), pauses_);
    emit statusChanged(QString::fromLatin1(kReadyText));
}

std::string CLocView::dropFolder(int row) const {
    const LocalListing& listing = pane_->listing();
    if (row >= 0 && static_cast<size_t>(row) < listing.size() &&
        listing.at(static_cast<size_t>(row)).folder) {
        return pane_->pathOf(listing.at(static_cast<size_t>(row)).name) + '/';
    }
    return pane_->currentFolder();
}

}  // namespace qel::ui
