// The local files pane's window side: it takes over the main window's controls by id (the
// list, the path combo, Back, the display filter, the free disk text), shows the pane's state
// (LocalPane) in them and passes the operator's actions in. The list shows LocalFilesModel.
// The controls stay the main window's, which outlives the pane. The folder watcher wakes it with
// WM_LOCAL_FOLDER_CHANGED, posted from the watcher's thread.
#pragma once

#include "panes/LocalPane.h"
#include "panes/ui/LocalFilesModel.h"
#include "panes/ui/Prompter.h"

#include <QEvent>
#include <QObject>

#include <memory>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace qel::ui {

class CTreeCombo;

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
    void SetLink(CncClient* link, uint8_t options);
    bool Navigate(const std::string& path);
    void RefreshFolder();

    LocalPane& pane() { return *pane_; }
    LocalFilesModel& model() { return *model_; }
    QTreeView* list() const { return list_; }

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

    Prompter& prompter_;
    std::shared_ptr<LocalDisk> disk_;
    std::chrono::milliseconds diskLimit_;
    QWidget* window_ = nullptr;
    QTreeView* list_ = nullptr;
    CTreeCombo* folder_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* fileManager_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QLabel* freeDisk_ = nullptr;
    std::unique_ptr<LocalPane> pane_;
    std::unique_ptr<LocalFilesModel> model_;
};

}  // namespace qel::ui
