// The local files pane's window side: it takes over the main window's controls by id (the
// list, the path combo, Back, the display filter, the free disk text, the file and transfer
// buttons), shows the pane's state (LocalPane) in them and passes the operator's actions in:
// opening, deleting, renaming, new entries, the selections, the two context menus, and the
// transfers to the CNC. The list shows LocalFilesModel.
// The controls stay the main window's, which outlives the pane. The folder watcher wakes it with
// WM_LOCAL_FOLDER_CHANGED, posted from the watcher's thread.
#pragma once

#include "panes/LocalPane.h"
#include "panes/ui/LocalFilesModel.h"
#include "panes/ui/Prompter.h"
#include "transfer/TransferEngine.h"

#include <QEvent>
#include <QObject>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qel::ui {

class CTreeCombo;
class PaneList;

// "Read the folder again": posted by the watcher, sent by the main window after a receive.
inline const QEvent::Type WM_LOCAL_FOLDER_CHANGED = static_cast<QEvent::Type>(QEvent::User + 0x1D8);

// The ids of the main window's controls that the pane takes over.
struct LocalPaneControls {
    int folder = 1008;
    int back = 1009;
    int list = 1010;
    int filter = 1012;
    int freeDisk = 1013;
    int select = 1014;
    int remove = 1015;
    int fileManager = 1016;
    int send = 1023;
    int sendAs = 1018;
    int btrSend = 1073;
};

class CLocView final : public QObject, private LocalPaneHost {
    Q_OBJECT
  public:
    // The commands of the two context menus, as their actions' object names ("m1202").
    enum MenuCommand {
        ID_SETTINGS = 32,
        ID_REFRESH = 1026,
        ID_NEW_TEXT_FILE = 1021,
        ID_NEW_FOLDER = 1024,
        ID_DELETE = 1200,
        ID_RENAME = 1201,
        ID_EDIT = 1202,
        ID_SELECT_ALL = 1206,
        ID_SELECT_ALL_FILES = 1207,
    };
    static constexpr int kFileMenu = 142;
    static constexpr int kFolderMenu = 153;

    explicit CLocView(Prompter& prompter, std::shared_ptr<LocalDisk> disk = nullptr,
                      std::chrono::milliseconds diskLimit = TimedDiskCalls::kDefaultLimit);
    // The watcher is stopped and joined before anything it could wake goes.
    ~CLocView() override;

    // Takes over the controls of window; false as soon as one is missing or of the wrong kind.
    // currentFolder is the main window's buffer, kept up to date by every Navigate.
    bool Attach(QWidget* window, const LocalPaneControls& ids, const MemoryTypeTable& types,
                uint8_t options, std::string& currentFolder);
    // The pictures of Back (36) and of the file manager button (50).
    void SetImageList();
    void SetEditor(const std::string& command);
    void SetMemoryTypes(const MemoryTypeTable& types);
    void SetLink(CncClient* link, uint8_t options);
    bool Navigate(const std::string& path);
    void RefreshFolder();

    // The commands, as the buttons, the menus and the list start them.
    void OpenItem(int row);
    void DeleteFiles();
    void RenameSelected();
    void NewFolder();
    void NewTextFile();
    void SelectByFilter();
    void SelectAll();
    void SelectAllFiles();
    void Send(bool sendAs);
    void BtrSend();
    // Files of this pane dropped onto the CNC pane: they are sent.
    void SendDropped();
    // Where memories dropped onto row go: into the folder of a folder item, else the shown one.
    std::string dropFolder(int row) const;
    // The files the commands work on now.
    std::vector<std::string> chosen() const;

    LocalPane& pane() { return *pane_; }
    LocalFilesModel& model() { return *model_; }
    PaneList* list() const { return list_; }
    // Tests shorten the transfers' pauses.
    void setTransferPauses(const TransferPauses& pauses) { pauses_ = pauses; }

  signals:
    void statusChanged(const QString& text);
    // Files went to the CNC: its pane lists them again (WM_REFRESH_CNC_PANE).
    void cncChanged();
    void settingsRequested();

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The list read again: all of it, or only the names the watcher told of.
    void refresh(bool changesOnly);
    bool retryInaccessibleFolder() override;
    void beep() override;
    void folderChanged() override;

    void back();
    void chooseEntry(int index);
    void showState();
    void showPath();
    void selectFirstItem();
    void UpdateControls();
    void send(const std::vector<std::string>& names, uint32_t flags);
    void editNewEntry(const std::string& name);
    void labelEditEnded(const QString& oldText, const std::optional<QString>& newText);
    void showMenu(const QPoint& global, const QModelIndex& item, bool fromKeyboard);
    void selectRows(const std::vector<size_t>& rows);
    void startEditor(const std::string& path);

    Prompter& prompter_;
    std::shared_ptr<LocalDisk> disk_;
    std::chrono::milliseconds diskLimit_;
    QWidget* window_ = nullptr;
    PaneList* list_ = nullptr;
    CTreeCombo* folder_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* fileManager_ = nullptr;
    QPushButton* select_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* sendAs_ = nullptr;
    QPushButton* btrSend_ = nullptr;
    TransferPauses pauses_;
    QLineEdit* filter_ = nullptr;
    QLabel* freeDisk_ = nullptr;
    std::unique_ptr<LocalPane> pane_;
    std::unique_ptr<LocalFilesModel> model_;
};

}  // namespace qel::ui
