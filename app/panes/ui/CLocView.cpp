#include "panes/ui/CLocView.h"

#include "panes/ui/CTreeCombo.h"
#include "panes/ui/ControlIds.h"
#include "panes/ui/ImageList.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

namespace qel::ui {

namespace {
template <typename Control>
Control* take(QWidget* window, int id) {
    return window->findChild<Control*>(controlName(id));
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
    list_ = take<QTreeView>(window, ids.list);
    folder_ = take<CTreeCombo>(window, ids.folder);
    back_ = take<QPushButton>(window, ids.back);
    filter_ = take<QLineEdit>(window, ids.filter);
    freeDisk_ = take<QLabel>(window, ids.freeDisk);
    fileManager_ = take<QPushButton>(window, ids.fileManager);
    // The buttons of the file commands and the transfers are only checked here; they get
    // their work with those commands.
    for (const int id : {ids.select, ids.remove, ids.send, ids.sendAs, ids.btrSend}) {
        if (take<QPushButton>(window, id) == nullptr) return false;
    }
    if (!list_ || !folder_ || !back_ || !filter_ || !freeDisk_ || !fileManager_) return false;

    LocalPaneHost& host = *this;
    pane_ = std::make_unique<LocalPane>(host, currentFolder, disk_, diskLimit_);
    pane_->SetMemoryTypes(types);
    pane_->SetOptions(options);
    model_ = std::make_unique<LocalFilesModel>(pane_->listing());

    list_->setModel(model_.get());
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
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

void CLocView::UpdateControls() {
    back_->setEnabled(pane_->depth() > 0);
}

}  // namespace qel::ui
