// The CNC memory pane (right half of the main window): it takes over the main window's list
// 1029, the memory-type selector 1027, its buttons and the free-memory text, and shows the
// memory types or the memories of one type. Every listing, delete and Quick View talks to the
// CNC on a worker (one at a time), so the window never waits on the link; meanwhile the pane's
// controls are disabled and the status line says what goes on. Receive runs the receive
// dialog over the main window.
#pragma once

#include "panes/CncPane.h"
#include "panes/ui/CncMemoryModel.h"
#include "panes/ui/Prompter.h"
#include "transfer/TransferEngine.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <thread>

class QLabel;
class QPushButton;
class QTreeView;

namespace qel::ui {

class CTreeCombo;

class CCncView final : public QObject {
    Q_OBJECT
  public:
    enum ControlId {
        IDC_RECEIVE_AS = 1025,
        IDC_MEMORY_TYPE = 1027,
        IDC_BACK = 1028,
        IDC_LIST = 1029,
        IDC_DELETE = 1030,
        IDC_CONNECTION = 1032,
        IDC_FREE_MEMORY = 1033,
        IDC_SELECT = 1034,
        IDC_RECEIVE = 1037,
    };
    enum MenuId { ID_SETTINGS = 32, ID_REFRESH = 1017, ID_QUICK_VIEW = 1204, ID_SELECT_ALL = 1206 };
    static constexpr int kContextMenu = 179;

    CCncView(Prompter& prompter, QWidget* owner);
    // Waits for a listing still under way (the link's time-outs bound it).
    ~CCncView() override;

    // Takes over the controls that control(id) gives; false when one is missing.
    bool Attach(const std::function<QWidget*(int)>& control, std::vector<MemoryTypeView> types);
    void setMemoryTypes(std::vector<MemoryTypeView> types);
    // The link to use (connected) or null, and the pane options; lists the current level again.
    void SetLink(CncClient* link, uint8_t paneOptions);
    void ShowLevel(int level);
    // Lists the shown memory type again, keeping what is still there (after a transfer).
    void RefreshLevel();
    void SetConnectionText(const QString& text);
    // Memories dragged onto the local pane: the chosen ones are received into folder.
    void ReceiveInto(const std::string& folder);
    // The level the next listing shows (after a connect: the configuration's default folder).
    void setCurrentLevel(int level) { level_ = level; }
    // Waits for the worker's job to end (the link's time-outs bound it): before the link goes.
    void finishWork();

    // A listing, delete or Quick View is under way on the worker.
    bool busy() const { return worker_.joinable(); }
    int level() const { return level_; }
    CncMemoryModel& model() { return model_; }
    QTreeView* list() const { return list_; }
    // Tests shorten the transfers' pauses.
    void setTransferPauses(const TransferPauses& pauses) { pauses_ = pauses; }

  signals:
    void statusChanged(const QString& text);
    // Files arrived in the local folder (WM_REFRESH_LOCAL_PANE).
    void localFolderChanged();
    void settingsRequested();
    // The worker's job has ended and its outcome is shown.
    void idle();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Runs work on the worker; what it returns is then called on the window thread.
    void runJob(std::function<std::function<void()>()> work);
    void finishJob(const std::function<void()>& apply);
    CncPaneSetup setup() const;
    void applyListing(const LevelListing& listing);
    void showMessages(const std::vector<PaneMessage>& messages);
    void UpdateControls();
    void selectRow(int row);
    std::vector<PaneItem> selectedItems() const;
    const PaneItem* focusedItem() const;

    void back();
    void receive(bool receiveAs, const std::string& folder);
    void deleteSelected();
    void selectByFilter();
    void selectAll();
    void openItem(int row);
    void quickView(const std::string& name);
    void contextMenu(const QPoint& position);
    void selectorChanged(int index);

    Prompter& prompter_;
    QPointer<QWidget> owner_;
    CncMemoryModel model_;
    std::vector<MemoryTypeView> types_;
    CncClient* link_ = nullptr;
    uint8_t paneOptions_ = 0;
    int level_ = 0;
    int reselect_ = 0;
    TransferPauses pauses_;
    std::thread worker_;

    QTreeView* list_ = nullptr;
    CTreeCombo* selector_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* select_ = nullptr;
    QPushButton* receive_ = nullptr;
    QPushButton* receiveAs_ = nullptr;
    QLabel* freeMemory_ = nullptr;
    QLabel* connection_ = nullptr;
};

}  // namespace qel::ui
