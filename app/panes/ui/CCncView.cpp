#include "panes/ui/CCncView.h"

#include "panes/ui/CShowDlg.h"
#include "panes/ui/CTreeCombo.h"
#include "panes/ui/ImageList.h"
#include "panes/ui/WindowMessages.h"
#include "transfer/RequestFlags.h"
#include "transfer/ui/TransferWindows.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>

#include <filesystem>

namespace qel::ui {

namespace {
constexpr const char* kReadyText = "Ready";
constexpr const char* kCannotViewText = "Could not access CNC memory.";
constexpr int kColumnWidth = 160;

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

std::string currentFolder() {
    std::error_code error;
    std::string folder = std::filesystem::current_path(error).string();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}
}  // namespace

CCncView::CCncView(Prompter& prompter, QWidget* owner)
    : QObject(owner), prompter_(prompter), owner_(owner) {}

CCncView::~CCncView() {
    if (worker_.joinable()) worker_.join();
}

bool CCncView::Attach(const std::function<QWidget*(int)>& control,
                      std::vector<MemoryTypeView> types) {
    list_ = qobject_cast<QTreeView*>(control(IDC_LIST));
    selector_ = qobject_cast<CTreeCombo*>(control(IDC_MEMORY_TYPE));
    back_ = qobject_cast<QPushButton*>(control(IDC_BACK));
    delete_ = qobject_cast<QPushButton*>(control(IDC_DELETE));
    select_ = qobject_cast<QPushButton*>(control(IDC_SELECT));
    receive_ = qobject_cast<QPushButton*>(control(IDC_RECEIVE));
    receiveAs_ = qobject_cast<QPushButton*>(control(IDC_RECEIVE_AS));
    freeMemory_ = qobject_cast<QLabel*>(control(IDC_FREE_MEMORY));
    connection_ = qobject_cast<QLabel*>(control(IDC_CONNECTION));
    for (QObject* taken :
         std::initializer_list<QObject*>{list_, selector_, back_, delete_, select_, receive_,
                                         receiveAs_, freeMemory_, connection_}) {
        if (taken == nullptr) return false;
    }
    types_ = std::move(types);

    list_->setModel(&model_);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->header()->setSectionsClickable(true);
    list_->setColumnWidth(CncMemoryModel::Name, kColumnWidth);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->installEventFilter(this);
    connect(list_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& index) { openItem(index.row()); });
    connect(list_, &QTreeView::customContextMenuRequested, this, &CCncView::contextMenu);
    connect(list_->header(), &QHeaderView::sectionClicked, list_,
            [this] { list_->setFocus(); });  // no sorting: the list stays in name order

    back_->setIcon(imageListIcon(kImageUpOneLevel));
    for (QPushButton* button : {back_, delete_, select_, receive_, receiveAs_}) {
        QObject::disconnect(button, &QPushButton::clicked, nullptr, nullptr);
    }
    connect(back_, &QPushButton::clicked, this, &CCncView::back);
    connect(receive_, &QPushButton::clicked, this, [this] { receive(false, currentFolder()); });
    connect(receiveAs_, &QPushButton::clicked, this, [this] { receive(true, currentFolder()); });
    connect(delete_, &QPushButton::clicked, this, &CCncView::deleteSelected);
    connect(select_, &QPushButton::clicked, this, &CCncView::selectByFilter);
    connect(selector_, &QComboBox::activated, this, &CCncView::selectorChanged);
    UpdateControls();
    return true;
}

void CCncView::setMemoryTypes(std::vector<MemoryTypeView> types) {
    types_ = std::move(types);
}

CncPaneSetup CCncView::setup() const {
    CncPaneSetup setup;
    setup.types = types_;
    setup.link = link_;
    setup.linkType = link_ != nullptr ? link_->linkType() : 0;
    setup.paneOptions = paneOptions_;
    return setup;
}

void CCncView::SetLink(CncClient* link, uint8_t paneOptions) {
    link_ = link != nullptr && link->isConnected() ? link : nullptr;
    paneOptions_ = paneOptions;
    ShowLevel(level_);
    UpdateControls();
}

void CCncView::SetConnectionText(const QString& text) {
    connection_->setText(text);
}

void CCncView::runJob(std::function<std::function<void()>()> work) {
    if (busy()) return;
    UpdateControls();
    worker_ = std::thread([this, work = std::move(work)] {
        std::function<void()> apply;
        try {
            apply = work();
        } catch (...) {
            apply = [] {};
        }
        QMetaObject::invokeMethod(
            this, [this, apply = std::move(apply)] { finishJob(apply); }, Qt::QueuedConnection);
    });
    UpdateControls();
}

void CCncView::finishWork() {
    if (worker_.joinable()) worker_.join();
}

void CCncView::finishJob(const std::function<void()>& apply) {
    // The worker's last act was to post this call: the join returns at once.
    if (worker_.joinable()) worker_.join();
    if (apply) apply();
    UpdateControls();
    emit idle();
}

void CCncView::ShowLevel(int level) {
    if (busy()) return;
    const CncPaneSetup snapshot = setup();
    const int reselect = reselect_;
    if (!snapshot.connected()) {
        // Without a link nothing is asked of the CNC: the table alone gives the listing.
        applyListing(listLevel(snapshot, level, reselect));
        UpdateControls();
        return;
    }
    emit statusChanged(QString::fromLatin1(kReadingCncDirectoryText));
    runJob([this, snapshot, level, reselect]() -> std::function<void()> {
        LevelListing listing = listLevel(snapshot, level, reselect);
        return [this, listing = std::move(listing)] { applyListing(listing); };
    });
}

void CCncView::applyListing(const LevelListing& listing) {
    level_ = listing.level;
    reselect_ = level_ > 0 ? level_ - 1 : 0;
    if (!listing.selector.empty()) {
        const QSignalBlocker quiet(selector_);
        selector_->clear();
        for (const SelectorEntry& entry : listing.selector) {
            selector_->AddItem(fromStd(entry.text), entry.image, entry.indent);
        }
        selector_->setCurrentIndex(listing.selectorIndex);
    }
    model_.setItems(listing.items);
    freeMemory_->setText(fromStd(listing.freeText));
    selectRow(listing.selectRow);
    showMessages(listing.messages);
    emit statusChanged(fromStd(listing.status));
}

void CCncView::RefreshLevel() {
    if (level_ == 0 || busy()) return;
    if (link_ == nullptr) {
        list_->setEnabled(false);
        return;
    }
    emit statusChanged(QString::fromLatin1(kReadingCncDirectoryText));
    const CncPaneSetup snapshot = setup();
    const int level = level_;
    const std::vector<std::string> shown = model_.texts();
    runJob([this, snapshot, level, shown]() -> std::function<void()> {
        LevelRefresh refresh = refreshLevel(snapshot, level, shown);
        const int icon = snapshot.types.at(static_cast<size_t>(level - 1)).icon;
        return [this, refresh = std::move(refresh), icon] {
            if (refresh.listed) {
                std::vector<PaneItem> added;
                for (const std::string& name : refresh.added) added.push_back({name, icon, 1});
                model_.update(refresh.gone, added);
                if (!refresh.freeText.empty()) freeMemory_->setText(fromStd(refresh.freeText));
            } else if (!refresh.messages.empty()) {
                selectRow(0);
            }
            showMessages(refresh.messages);
            emit statusChanged(QString::fromLatin1(kReadyText));
        };
    });
}

void CCncView::showMessages(const std::vector<PaneMessage>& messages) {
    for (const PaneMessage& message : messages) {
        const bool lost = message.kind == PaneMessage::Kind::LinkLost;
        prompter_.tell(owner_, lost ? tr("QEL Error") : tr("CNC Error"), fromStd(message.text),
                       lost);
    }
}

void CCncView::UpdateControls() {
    const CncPaneEnables enables = cncPaneEnables(setup(), level_);
    const bool free = !busy();
    back_->setEnabled(free && enables.back);
    delete_->setEnabled(free && enables.deleteAndSelect);
    select_->setEnabled(free && enables.deleteAndSelect);
    list_->setEnabled(free && enables.list);
    selector_->setEnabled(free && enables.list);
    receive_->setEnabled(free && enables.receive);
    receiveAs_->setEnabled(free && enables.receiveAs);
}

void CCncView::selectRow(int row) {
    if (row < 0 || row >= model_.rowCount()) return;
    const QModelIndex index = model_.index(row, CncMemoryModel::Name);
    list_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_->scrollTo(index);
}

std::vector<PaneItem> CCncView::selectedItems() const {
    std::vector<PaneItem> items;
    QModelIndexList rows = list_->selectionModel()->selectedRows(CncMemoryModel::Name);
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : rows) items.push_back(model_.item(index.row()));
    return items;
}

const PaneItem* CCncView::focusedItem() const {
    const QModelIndex current = list_->selectionModel()->currentIndex();
    if (!current.isValid()) return nullptr;
    return &model_.item(current.row());
}

void CCncView::back() {
    if (level_ == 0) {
        QApplication::beep();
        return;
    }
    ShowLevel(0);
}

void CCncView::selectorChanged(int index) {
    list_->setFocus();
    ShowLevel(index);
}

void CCncView::ReceiveInto(const std::string& folder) {
    receive(false, folder);
}

void CCncView::receive(bool receiveAs, const std::string& folder) {
    if (link_ == nullptr || busy()) return;
    emit statusChanged(QString::fromLatin1(kGettingInformationText));
    const ReceiveChoice choice =
        namesToReceive(setup(), level_, selectedItems(), focusedItem(), receiveAs);
    if (choice.names.empty()) {
        emit statusChanged(QString::fromLatin1(kReadyText));
        return;
    }
    runReceiveDialog(owner_, prompter_, *link_, choice.names, choice.flags, folder, pauses_);
    emit localFolderChanged();
    emit statusChanged(QString::fromLatin1(kReadyText));
    RefreshLevel();
}

void CCncView::deleteSelected() {
    if (link_ == nullptr || level_ == 0 || busy()) return;
    if (prompter_.ask(owner_, QString::fromLatin1(kDeleteQuestionText),
                      kRequestYes | kRequestNo | kRequestQuestionMark) != IDYES) {
        return;
    }
    std::vector<std::string> names;
    for (const PaneItem& item : selectedItems()) names.push_back(item.text);
    if (names.empty() && focusedItem() != nullptr) names.push_back(focusedItem()->text);
    emit statusChanged(QString::fromLatin1(kDeletingMemoriesText));
    CncClient* link = link_;
    runJob([this, link, names]() -> std::function<void()> {
        Reservation hold = link->reserve();
        for (const std::string& name : names) link->deleteMemory(name);  // the refresh tells
        return [this] {
            QMetaObject::invokeMethod(this, &CCncView::RefreshLevel, Qt::QueuedConnection);
        };
    });
}

void CCncView::selectByFilter() {
    const auto filter =
        prompter_.askText(owner_, QString::fromLatin1(kSelectFilterPrompt), QStringLiteral("*.*"));
    if (!filter) return;
    const std::string pattern = filter->toStdString();
    QItemSelection chosen;
    for (int row = 0; row < model_.rowCount(); ++row) {
        if (!selectedByFilter(model_.item(row), pattern)) continue;
        const QModelIndex index = model_.index(row, CncMemoryModel::Name);
        chosen.select(index, index);
    }
    list_->selectionModel()->select(
        chosen, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_->setFocus();
}

void CCncView::selectAll() {
    list_->selectAll();
}

void CCncView::openItem(int row) {
    if (row < 0 || row >= model_.rowCount() || busy()) return;
    const PaneItem item = model_.item(row);
    if (level_ == 0) {
        if (item.tag != 0) ShowLevel(item.tag);
        return;
    }
    quickView(item.text);
}

void CCncView::quickView(const std::string& name) {
    if (link_ == nullptr) return;
    CncClient* link = link_;
    runJob([this, link, name]() -> std::function<void()> {
        QuickViewText view = readQuickView(*link, name);
        return [this, view = std::move(view)] {
            if (!view.opened) {
                prompter_.tell(owner_, tr("CNC Error"), QString::fromLatin1(kCannotViewText),
                               false);
                return;
            }
            CShowDlg show(owner_);
            show.setCaptionLine(fromStd(view.caption));
            show.append(
                QString::fromLatin1(view.text.data(), static_cast<qsizetype>(view.text.size())));
            show.exec();
        };
    });
}

void CCncView::contextMenu(const QPoint& position) {
    QMenu menu(list_);
    menu.addAction(tr("&Quick View"), this, [this] {
        if (const QModelIndex current = list_->currentIndex(); current.isValid()) {
            openItem(current.row());
        }
    });
    menu.addAction(tr("Select &All"), this, &CCncView::selectAll);
    menu.addAction(tr("&Settings..."), this, &CCncView::settingsRequested);
    menu.addAction(tr("&Refresh"), this, [this] { ShowLevel(level_); });
    menu.exec(list_->viewport()->mapToGlobal(position));
}

bool CCncView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == WM_OPEN_FOCUSED_ITEM) {
        if (const QModelIndex current = list_->currentIndex(); current.isValid()) {
            openItem(current.row());
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace qel::ui
