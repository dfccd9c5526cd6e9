// The main window (dialog 102): the local files pane at the left, the transfer buttons between,
// the CNC memory pane at the right, the status line below. It owns the configuration in force
// and the one link object (through MainSession), connects and reconnects without ever waiting
// on the link itself, and offers the panes the controls they take over by id.
#pragma once

#include "panes/ui/Prompter.h"
#include "panes/ui/WindowMessages.h"
#include "shell/MainSession.h"

#include <QDialog>
#include <QEvent>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QToolButton;

namespace qel::ui {

class CCncView;
class CLocView;

// What start-up hands to the main window.
struct StartupChoices {
    std::string ipAddress;  // from the command line or start-up file; empty: none
    unsigned port = 0;
    std::string caption;
    bool showSplash = true;
};

class CQelVevaDlg : public QDialog {
    Q_OBJECT
  public:
    enum ControlId {
        IDC_EXIT = 1007,
        IDC_HELP = 57670,
        IDC_STATUS = 1005,
        IDC_LOCAL_GROUP = 1006,
        IDC_LOCAL_FOLDER = 1008,
        IDC_LOCAL_BACK = 1009,
        IDC_LOCAL_LIST = 1010,
        IDC_LOCAL_DELETE = 1015,
        IDC_FILE_FILTER = 1012,
        IDC_LOCAL_SELECT = 1014,
        IDC_FREE_DISK = 1013,
        IDC_FILE_MANAGER = 1016,
        IDC_CNC_GROUP = 1011,
        IDC_SEND = 1023,
        IDC_SEND_AS = 1018,
        IDC_BTR_SEND = 1073,
        IDC_REMOTE_MODE = 1035,
        IDC_RECEIVE = 1037,
        IDC_RECEIVE_AS = 1025,
        IDC_MEMORY_TYPE = 1027,
        IDC_CNC_BACK = 1028,
        IDC_CNC_LIST = 1029,
        IDC_CNC_DELETE = 1030,
        IDC_CNC_SELECT = 1034,
        IDC_RECONNECT = 1031,
        IDC_FREE_MEM = 1033,
        IDC_CONNECTION = 1032,
        IDC_PICTURE_PC = 1056,
        IDC_PICTURE_TO_CNC = 1057,
        IDC_PICTURE_TO_PC = 1053,
        IDC_PICTURE_CNC = 1055,
    };
    // The connect-failure box's help topic.
    static constexpr int kConnectFailureHelp = 65555;

    CQelVevaDlg(Prompter& prompter, LinkApi& api = cablorLinkApi(), QWidget* parent = nullptr);
    ~CQelVevaDlg() override;

    // Initialisation: splash, configuration, local folder, and the connect the configuration
    // asks for. settingsFile is where the configurations live.
    void initialise(const StartupChoices& choices, const std::string& settingsFile);

    // Connect (the Reconnect button): returns at once; the outcome shows when it comes.
    void connectToCnc();
    // "&Settings...": the settings sheet; on OK the chosen configuration is applied.
    void openSettings();
    // Puts a configuration in force as the settings' OK does: connect or disconnect, local
    // folder, editor, memory types, CNC level, title.
    void applySettings(const ConfigRecord& config);
    // "Remote &Mode": the CNC drives, the PC serves a folder, in the remote-mode window run
    // modally. Waits for a connect or a pane's job that holds the link to end first.
    void startRemoteMode();
    bool remoteModeRunning() const { return remoteRunning_; }
    // From Connect until its outcome is shown.
    bool connecting() const { return connectPoll_.isActive(); }

    MainSession& session() { return session_; }
    CCncView& cncView() { return *cncView_; }
    // A control by its id, for the panes that take them over and for tests.
    QWidget* control(int id) const;
    QString statusText() const;
    QString connectionText() const;
    void setStatusText(const QString& text);
    // The local files pane, once initialise has attached it.
    CLocView* localPane() const { return localPane_.get(); }

    // Whoever the link object goes to when it changes (the panes, later): called with the new
    // object or null, so that nobody keeps a deleted link.
    void setLinkChanged(
        std::function<void(CncClient*, uint8_t cncOptions, uint8_t localOptions)> handler) {
        linkChanged_ = std::move(handler);
    }

  signals:
    // A connect attempt ended (for tests and the panes).
    void connectFinished(bool connected);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    QPushButton* makeButton(const QString& text, int id, const QString& tooltip);
    QLabel* makeValue(const QString& text, int id, const QString& description);
    void buildControls();
    void addContextHelp();
    void pollConnect();
    void finishConnect(const ConnectOutcome& outcome);
    void handOutLink();
    void openFileManager();
    void showHelpWindow();
    void showAbout();
    void attachLocalPane(const ConfigRecord& config);
    void goToDefaultFolder(const ConfigRecord& config);
    void disconnectLink();
    void linkFree();
    void remoteModeWhenFree();
    // The connection text, the Remote Mode button and the panes' link as the session has them.
    void showLinkState();

    Prompter& prompter_;
    MainSession session_;
    QTimer connectPoll_;
    std::function<void(CncClient*, uint8_t, uint8_t)> linkChanged_;
    CCncView* cncView_ = nullptr;
    // What the link is to do once the CNC pane's job, or a connect under way, has let it go.
    enum class LinkChange { None, Connect, Disconnect };
    LinkChange linkWaiting_ = LinkChange::None;
    bool remoteWaiting_ = false;  // remote mode is to start once the link is free
    bool remoteRunning_ = false;
    QLabel* status_ = nullptr;
    QLabel* connection_ = nullptr;
    QPushButton* reconnect_ = nullptr;
    QToolButton* windowMenu_ = nullptr;
    std::string currentFolder_;
    std::string settingsFile_;
    std::unique_ptr<CLocView> localPane_;
    bool closed_ = false;
};

}  // namespace qel::ui
