#include "config/ui/CMyPropertyPage3.h"

#include "config/ui/RecordText.h"
#include "config/ui/SpinControls.h"
#include "panes/ui/ControlIds.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace qel::ui {

namespace {

constexpr int kLongestNumber = 19;
constexpr int kLongestAddress = 129;

QString withoutColon(const QString& text) {
    QString name = text;
    name.remove(QLatin1Char('&'));
    return name.endsWith(QLatin1Char(':')) ? name.chopped(1) : name;
}

QLineEdit* numberEdit(QWidget* parent, int id, const QString& label) {
    auto* edit = new QLineEdit(parent);
    identify(edit, id, withoutColon(label));
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,19}")), edit));
    edit->setMaxLength(kLongestNumber);
    return edit;
}

}  // namespace

CMyPropertyPage3::CMyPropertyPage3(CommunicationsPageModel& model, QWidget* parent)
    : SettingsPageView(parent), model_(model) {
    identify(this, IDD);
    auto* group = new QGroupBox(tr("Communications settings"), this);
    // Two halves of their own, so that what a protocol hides closes up in each.
    auto* left = new QGridLayout;
    auto* right = new QGridLayout;

    // A label with its buddy control, in a row of one half.
    auto labelled = [this, group](QGridLayout* half, const QString& text, QWidget* control,
                                  int row) {
        auto* label = new QLabel(text, group);
        label->setBuddy(control);
        if (control->accessibleName().isEmpty()) control->setAccessibleName(withoutColon(text));
        half->addWidget(label, row, 0);
        half->addWidget(control, row, 1);
        return label;
    };

    protocol_ = new QComboBox(group);
    identify(protocol_, IDC_PROTOCOL);
    protocol_->addItems({tr("DNC - RXA/2"), tr("DataIO - flow control"), tr("DNC - TCP/IP")});
    labelled(left, tr("Protocol:"), protocol_, 0);

    xonXoff_ = new QRadioButton(tr("&XOn/XOff flow control"), group);
    identify(xonXoff_, IDC_XONXOFF);
    rtsCts_ = new QRadioButton(tr("&RTS/CTS flow control"), group);
    identify(rtsCts_, IDC_RTSCTS);
    left->addWidget(xonXoff_, 1, 1);
    left->addWidget(rtsCts_, 2, 1);

    port_ = new QComboBox(group);
    identify(port_, IDC_PORT);
    for (int n = 1; n <= CommunicationsPageModel::kPorts; ++n) port_->addItem(QString());
    // A long /dev/serial/by-id/ name is cut in the closed box; the open list shows it whole.
    port_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    port_->setMinimumContentsLength(20);
    auto* portLabel = labelled(left, tr("Port:"), port_, 3);

    speed_ = new QComboBox(group);
    identify(speed_, IDC_SPEED);
    auto* speedLabel = labelled(left, tr("Port speed [bit/s]:"), speed_, 5);
    parity_ = new QComboBox(group);
    identify(parity_, IDC_PARITY);
    parity_->addItems({tr("8 bits, no parity (ASCII)"), tr("7 bits, even parity (ISO)")});
    auto* parityLabel = labelled(left, tr("Parity/databits setting:"), parity_, 6);

    ipAddress_ = new QLineEdit(group);
    identify(ipAddress_, IDC_IP_ADDRESS);
    ipAddress_->setMaxLength(kLongestAddress);
    auto* ipLabel = labelled(left, tr("Destination IP Address:"), ipAddress_, 7);
    destinationPort_ = numberEdit(group, IDC_DESTINATION_PORT, tr("Destination Port:"));
    auto* destinationLabel = labelled(left, tr("Destination Port:"), destinationPort_, 8);
    serverPort_ = numberEdit(group, IDC_SERVER_PORT, tr("Server (Remote Mode) Port:"));
    auto* serverLabel = labelled(left, tr("Server (Remote Mode) Port:"), serverPort_, 9);

    timeout_ = new NumberSpinEdit(0, 127, group);
    identify(timeout_, IDC_TIMEOUT);
    auto* timeoutLabel = labelled(right, tr("RXA/2 timeout [s]:"), timeout_, 0);
    retries_ = new NumberSpinEdit(0, 127, group);
    identify(retries_, IDC_RETRIES);
    auto* retriesLabel = labelled(right, tr("RXA/2 retries:"), retries_, 1);
    sendDelay_ = new NumberSpinEdit(0, 1000, group);
    identify(sendDelay_, IDC_SEND_DELAY);
    auto* delayLabel = labelled(right, tr("Send delay [ms]:"), sendDelay_, 2);
    leaderTrailer_ = new NumberSpinEdit(0, 1023, group);
    identify(leaderTrailer_, IDC_LEADER_TRAILER);
    auto* leaderLabel = labelled(right, tr("Leader/trailer size:"), leaderTrailer_, 3);

    percentSupport_ = new QCheckBox(tr("% &Protocol support:"), group);
    identify(percentSupport_, IDC_PERCENT_SUPPORT);
    percentA_ = new QRadioButton(tr("Protocol %&A : Block nr < 9000"), group);
    identify(percentA_, IDC_PERCENT_A);
    percentB_ = new QRadioButton(tr("Protocol %&B : Block nr > 9000"), group);
    identify(percentB_, IDC_PERCENT_B);
    right->addWidget(percentSupport_, 4, 0, 1, 2);
    right->addWidget(percentA_, 5, 0, 1, 2);
    right->addWidget(percentB_, 6, 0, 1, 2);

    notify_ = new QCheckBox(tr("&Notify CNC user on (dis)connect"), group);
    identify(notify_, IDC_NOTIFY);
    portSharing_ = new QCheckBox(tr("Port &sharing"), group);
    identify(portSharing_, IDC_PORT_SHARING);
    versionCheck_ = new QCheckBox(tr("&CNC version check"), group);
    identify(versionCheck_, IDC_VERSION_CHECK);
    right->addWidget(notify_, 7, 0, 1, 2);
    right->addWidget(portSharing_, 8, 0, 1, 2);
    right->addWidget(versionCheck_, 9, 0, 1, 2);
    for (QGridLayout* half : {left, right}) {
        half->setColumnStretch(1, 1);
        half->setRowStretch(10, 1);
    }
    auto* halves = new QHBoxLayout(group);
    halves->addLayout(left, 1);
    halves->addSpacing(fontMetrics().averageCharWidth() * 3);
    halves->addLayout(right, 1);

    // The radio buttons are paired by the page's rules, not by Qt's automatic exclusion, so that
    // a record with both "%" bits set shows both.
    for (QRadioButton* radio : {xonXoff_, rtsCts_, percentA_, percentB_})
        radio->setAutoExclusive(false);

    line_ = {portLabel, port_, speedLabel, speed_, parityLabel, parity_};
    dataIo_ = {leaderLabel, leaderTrailer_, percentSupport_, percentA_,
               percentB_,   xonXoff_,       rtsCts_};
    rxa2Timing_ = {timeoutLabel, timeout_, retriesLabel, retries_, delayLabel, sendDelay_};
    tcp_ = {ipLabel, ipAddress_, destinationLabel, destinationPort_, serverLabel, serverPort_};

    protocol_->setWhatsThis(
        tr("How the PC talks to the CNC: RXA/2 telegrams or DataIO raw data "
           "on a serial line, or TCP/IP on the network."));
    port_->setWhatsThis(tr("The serial port of the CNC's cable, with the device it is on."));
    speed_->setWhatsThis(tr("The line speed. Autodetect (RXA/2 only) finds the CNC's speed."));
    parity_->setWhatsThis(
        tr("Data bits and parity of the serial line; not used with "
           "Autodetect."));
    percentSupport_->setWhatsThis(
        tr("Splits and joins files of several programs, each starting "
           "with a % line, on DataIO links."));
    portSharing_->setWhatsThis(tr("Lets other programs use the serial port between transfers."));
    versionCheck_->setWhatsThis(tr("Checks the CNC's version when connecting."));
    ipAddress_->setWhatsThis(tr("The CNC's IP address or host name."));
    serverPort_->setWhatsThis(
        tr("Kept with the configuration; remote mode listens on the "
           "destination port."));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);

    // A rule of the page: what the operator typed goes into the model first, the rule is
    // applied, and the page shows the outcome.
    auto byRule = [this](auto change) {
        return [this, change](auto... argument) {
            leave();
            change(argument...);
            showState();
        };
    };
    connect(protocol_, &QComboBox::activated, this,
            byRule([this](int index) { model_.ChooseProtocol(static_cast<Protocol>(index)); }));
    connect(speed_, &QComboBox::activated, this,
            byRule([this](int index) { model_.ChooseSpeed(index); }));
    connect(parity_, &QComboBox::activated, this,
            [this](int index) { model_.ChooseParity(index); });
    connect(xonXoff_, &QRadioButton::clicked, this,
            byRule([this](bool) { model_.controls().xonXoff = true; }));
    connect(rtsCts_, &QRadioButton::clicked, this,
            byRule([this](bool) { model_.controls().xonXoff = false; }));
    connect(percentSupport_, &QCheckBox::clicked, this,
            byRule([this](bool ticked) { model_.SetPercentSupport(ticked); }));
    connect(percentA_, &QRadioButton::clicked, this,
            byRule([this](bool) { model_.ChoosePercentA(); }));
    connect(percentB_, &QRadioButton::clicked, this,
            byRule([this](bool) { model_.ChoosePercentB(); }));
}

void CMyPropertyPage3::showState() {
    const CommunicationsControls& c = model_.controls();
    protocol_->setCurrentIndex(c.protocol);
    xonXoff_->setChecked(c.xonXoff);
    rtsCts_->setChecked(!c.xonXoff);
    showPortDevices();
    port_->setCurrentIndex(c.port);
    speed_->clear();
    for (const SpeedEntry& entry : c.speeds)
        speed_->addItem(QString::fromStdString(entry.text), entry.bitsPerSecond);
    speed_->setCurrentIndex(c.speed);
    parity_->setEnabled(c.parityEnabled);
    parity_->setCurrentIndex(c.parity);
    timeout_->setValue(QString::fromStdString(c.timeout));
    retries_->setValue(QString::fromStdString(c.retries));
    sendDelay_->setValue(QString::fromStdString(c.sendDelay));
    leaderTrailer_->setValue(QString::fromStdString(c.leaderTrailerSize));
    percentSupport_->setChecked(c.percentSupport);
    percentA_->setChecked(c.percentA);
    percentB_->setChecked(c.percentB);
    percentA_->setEnabled(model_.percentChoicesEnabled());
    percentB_->setEnabled(model_.percentChoicesEnabled());
    notify_->setChecked(c.notify);
    portSharing_->setChecked(c.portSharing);
    versionCheck_->setChecked(c.versionCheck);
    ipAddress_->setText(recordText(c.ipAddress));
    destinationPort_->setText(QString::fromStdString(c.destinationPort));
    serverPort_->setText(QString::fromStdString(c.serverPort));
    showVisibility();
}

void CMyPropertyPage3::leave() {
    CommunicationsControls& c = model_.controls();
    c.port = port_->currentIndex();
    c.timeout = timeout_->value().toStdString();
    c.retries = retries_->value().toStdString();
    c.sendDelay = sendDelay_->value().toStdString();
    c.leaderTrailerSize = leaderTrailer_->value().toStdString();
    c.notify = notify_->isChecked();
    c.portSharing = portSharing_->isChecked();
    c.versionCheck = versionCheck_->isChecked();
    c.ipAddress = toRecordText(ipAddress_->text());
    c.destinationPort = destinationPort_->text().toStdString();
    c.serverPort = serverPort_->text().toStdString();
}

void CMyPropertyPage3::showPortDevices() {
    // Each port with the device it is on, so that the operator knows which cable is meant.
    for (int position = 0; position < port_->count(); ++position) {
        const QString device =
            QString::fromStdString(CommunicationsPageModel::portDevice(position));
        port_->setItemText(position, QStringLiteral("COM%1:  (%2)").arg(position + 1).arg(device));
        port_->setItemData(position, device, Qt::ToolTipRole);
    }
}

void CMyPropertyPage3::showVisibility() {
    const CommunicationsVisibility shown = model_.visibility();
    for (QWidget* control : line_) control->setVisible(shown.line);
    for (QWidget* control : dataIo_) control->setVisible(shown.dataIo);
    for (QWidget* control : rxa2Timing_) control->setVisible(shown.rxa2Timing);
    for (QWidget* control : tcp_) control->setVisible(shown.tcp);
    versionCheck_->setVisible(shown.versionCheck);
    notify_->setVisible(shown.notify);
    portSharing_->setVisible(shown.portSharing);
}

}  // namespace qel::ui
