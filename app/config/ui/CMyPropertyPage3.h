// The Communications page (dialog 111): protocol, serial line, RXA/2 timing, the DataIO "%"
// protocol and the TCP/IP addresses. A thin view of CommunicationsPageModel.
#pragma once

#include "config/CommunicationsPageModel.h"
#include "config/ui/SettingsPageView.h"

#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace qel::ui {

class NumberSpinEdit;

class CMyPropertyPage3 final : public SettingsPageView {
    Q_OBJECT
  public:
    enum ControlId {
        IDD = 111,
        IDC_PROTOCOL = 1038,
        IDC_XONXOFF = 1083,
        IDC_RTSCTS = 1082,
        IDC_PORT = 1036,
        IDC_SPEED = 1039,
        IDC_PARITY = 1040,
        IDC_TIMEOUT = 1059,
        IDC_RETRIES = 1060,
        IDC_SEND_DELAY = 1129,
        IDC_LEADER_TRAILER = 1130,
        IDC_PERCENT_SUPPORT = 1109,
        IDC_PERCENT_A = 1077,
        IDC_PERCENT_B = 1084,
        IDC_NOTIFY = 1042,
        IDC_PORT_SHARING = 1076,
        IDC_VERSION_CHECK = 1089,
        IDC_IP_ADDRESS = 1117,
        IDC_DESTINATION_PORT = 1128,
        IDC_SERVER_PORT = 1065,
    };

    CMyPropertyPage3(CommunicationsPageModel& model, QWidget* parent = nullptr);
    void showState() override;
    void leave() override;

  private:
    void showVisibility();
    void showPortDevices();

    CommunicationsPageModel& model_;
    QComboBox* protocol_;
    QRadioButton* xonXoff_;
    QRadioButton* rtsCts_;
    QComboBox* port_;
    QComboBox* speed_;
    QComboBox* parity_;
    NumberSpinEdit* timeout_;
    NumberSpinEdit* retries_;
    NumberSpinEdit* sendDelay_;
    NumberSpinEdit* leaderTrailer_;
    QCheckBox* percentSupport_;
    QRadioButton* percentA_;
    QRadioButton* percentB_;
    QCheckBox* notify_;
    QCheckBox* portSharing_;
    QCheckBox* versionCheck_;
    QLineEdit* ipAddress_;
    QLineEdit* destinationPort_;
    QLineEdit* serverPort_;
    // The controls each visibility rule shows or hides, labels included.
    std::vector<QWidget*> line_, dataIo_, rxa2Timing_, tcp_;
};

}  // namespace qel::ui
