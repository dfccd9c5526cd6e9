// The settings sheet driven as an operator drives it: typing, the buttons, the lists and spins
// of its four pages, OK and Cancel; the file it writes compared byte for byte with what
// qel config writes for the same edits; a file changed meanwhile or unwritable; and the main
// window putting the configuration chosen in force (connecting to the simulated CNC over TCP).
#include "ChildProcess.h"
#include "SimulatedCnc.h"
#include "cli/ConfigCommand.h"
#include "config/ConfigDefaults.h"
#include "config/ConfigRules.h"
#include "config/FixedText.h"
#include "config/SettingsStore.h"
#include "config/ui/CMyPropertyPage5.h"
#include "config/ui/CSettingsSheet.h"
#include "panes/ui/CCncView.h"
#include "panes/ui/CLocView.h"
#include "panes/ui/Prompter.h"
#include "shell/ui/CQelVevaDlg.h"
#include "shell/ui/DesktopMessages.h"

#include <cablor.h>

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace qel;
using namespace qel::ui;
using qel::testing::SimulatedCnc;
using qel::testing::TempFolder;

namespace {

constexpr int kConnectLimitMs = 10000;

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

SettingsImage imageOf(const std::filesystem::path& file) {
    SettingsImage image;
    const std::string bytes = readFile(file);
    if (bytes.size() == sizeof image) std::memcpy(&image, bytes.data(), sizeof image);
    return image;
}

// A settings file with "Default" and "Command line" only, as a first OK writes it.
void writeBuiltInFile(const std::filesystem::path& file) {
    const SettingsImage image = builtInConfigList("/opt/qel");
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(&image), sizeof image);
}

template <typename T>
T* child(QWidget* parent, int id) {
    return parent->findChild<T*>(QStringLiteral("c%1").arg(id));
}

void typeInto(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(edit, c.toLatin1());
        } else {  // beyond what the key simulation knows: the key's text only
            QTest::sendKeyEvent(QTest::Press, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

// Chooses an entry of a list box as the operator does: by keyboard, so that it counts as the
// operator's choice.
void choose(QComboBox* combo, const QString& text) {
    const int wanted = combo->findText(text);
    QVERIFY2(wanted >= 0, qPrintable(text));
    combo->setFocus();
    while (combo->currentIndex() < wanted) QTest::keyClick(combo, Qt::Key_Down);
    while (combo->currentIndex() > wanted) QTest::keyClick(combo, Qt::Key_Up);
}

void stepSpin(QAbstractSpinBox* spin, int steps) {
    for (int i = 0; i < std::abs(steps); ++i) spin->stepBy(steps > 0 ? 1 : -1);
}

void grab(QWidget* window, const QString& name) {
    std::filesystem::create_directories(GRAB_FOLDER);
    QCoreApplication::processEvents();  // the layout follows what the page shows or hides
    QVERIFY(window->grab().save(QStringLiteral(GRAB_FOLDER "/") + name + QStringLiteral(".png")));
}

// The sheet over a settings file, shown, with every box answered by the prompter.
struct OpenSheet {
    struct AnsweringPrompter : Prompter {
        AnsweringPrompter() { presetAlways(true); }
    };
    OpenSheet(const std::filesystem::path& file, const std::string& currentDirectory)
        : store(file, "/opt/qel", messages), sheet(store, prompter, currentDirectory) {
        sheet.show();
    }
    AnsweringPrompter prompter;
    DesktopMessages messages{prompter, nullptr};
    SettingsStore store;
    CSettingsSheet sheet;
};

}  // namespace

class SettingsSheetTest : public QObject {
    Q_OBJECT

  private:
    TempFolder folder_;
    std::filesystem::path file_ = folder_.path / "QelVeva.cfg";

    // The edits of the sheet test that qel config can make too: a new DataIO configuration.
    void makeDataIoMachine(CSettingsSheet& sheet) {
        typeInto(sheet.findChild<QLineEdit*>(QStringLiteral("c1110edit")),
                 QStringLiteral("Mill 3"));
        QTest::mouseClick(child<QPushButton>(&sheet, 1114), Qt::LeftButton);
        sheet.tabs()->setCurrentIndex(1);
        choose(child<QComboBox>(&sheet, 1038), QStringLiteral("DataIO - flow control"));
        QTest::mouseClick(child<QRadioButton>(&sheet, 1083), Qt::LeftButton);
        choose(child<QComboBox>(&sheet, 1036), QStringLiteral("COM3:  (/dev/ttyS2)"));
        choose(child<QComboBox>(&sheet, 1039), QStringLiteral("9600"));
        choose(child<QComboBox>(&sheet, 1040), QStringLiteral("7 bits, even parity (ISO)"));
        sheet.tabs()->setCurrentIndex(3);
        child<QCheckBox>(&sheet, 1115)->click();
    }

  private slots:
    void init() {
        std::filesystem::remove(file_);
        ::unsetenv("CABLOR_COM1");
        ::setenv("CABLOR_COM2", "/dev/ttyUSB0", 1);
    }

    void everyPageFollowsTheOperatorAndOkSavesTheWholeBlock() {
        writeBuiltInFile(file_);
        OpenSheet open(file_, "/srv/nc");
        CSettingsSheet& sheet = open.sheet;
        QCOMPARE(sheet.windowTitle(), QStringLiteral("QEL Settings - Default"));

        // Select: typing offers New and Copy Default, New selects the new configuration.
        auto* name = sheet.findChild<QLineEdit*>(QStringLiteral("c1110edit"));
        auto* list = child<QListWidget>(&sheet, 1110);
        auto* newButton = child<QPushButton>(&sheet, 1114);
        QVERIFY(!newButton->isEnabled());
        typeInto(name, QStringLiteral("Mill"));
        QVERIFY(newButton->isEnabled());
        QVERIFY(!child<QPushButton>(&sheet, 1112)->isEnabled());
        QTest::mouseClick(newButton, Qt::LeftButton);
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->currentRow(), 2);
        QCOMPARE(sheet.windowTitle(), QStringLiteral("QEL Settings - Mill"));
        QVERIFY(!newButton->isEnabled());
        grab(&sheet, QStringLiteral("settings-select"));

        // Communications: a new configuration is RXA/2 with Autodetect.
        sheet.tabs()->setCurrentIndex(1);
        auto* speed = child<QComboBox>(&sheet, 1039);
        auto* parity = child<QComboBox>(&sheet, 1040);
        QCOMPARE(speed->currentText(), QStringLiteral("Autodetect"));
        QVERIFY(!parity->isEnabled());
        QVERIFY(child<QWidget>(&sheet, 1059)->isVisible());
        QVERIFY(!child<QWidget>(&sheet, 1130)->isVisible());
        QVERIFY(!child<QWidget>(&sheet, 1117)->isVisible());
        auto* port = child<QComboBox>(&sheet, 1036);
        QCOMPARE(port->currentText(), QStringLiteral("COM1:  (/dev/ttyS0)"));
        QCOMPARE(port->itemText(1), QStringLiteral("COM2:  (/dev/ttyUSB0)"));
        grab(&sheet, QStringLiteral("settings-communications-rxa2"));
        choose(child<QComboBox>(&sheet, 1038), QStringLiteral("DataIO - flow control"));
        QCOMPARE(speed->currentText(), QStringLiteral("19200"));
        QCOMPARE(speed->findText(QStringLiteral("Autodetect")), -1);
        QVERIFY(parity->isEnabled());
        QVERIFY(child<QWidget>(&sheet, 1130)->isVisible());
        QVERIFY(!child<QWidget>(&sheet, 1059)->isVisible());
        auto* percent = child<QCheckBox>(&sheet, 1109);
        auto* percentA = child<QRadioButton>(&sheet, 1077);
        auto* percentB = child<QRadioButton>(&sheet, 1084);
        QVERIFY(percent->isChecked() && percentA->isChecked() && percentB->isChecked());
        QTest::mouseClick(percentA, Qt::LeftButton);
        QVERIFY(percentA->isChecked() && !percentB->isChecked());
        percent->click();
        QVERIFY(!percentA->isEnabled());
        percent->click();
        QVERIFY(!percentA->isChecked() && percentB->isChecked());
        auto* leader = child<QAbstractSpinBox>(&sheet, 1130);
        stepSpin(leader, 3);
        QCOMPARE(leader->text(), QStringLiteral("3"));
        grab(&sheet, QStringLiteral("settings-communications-dataio"));

        // CNC Folders: a name between "Macros" and "Part Programs" goes in between.
        sheet.tabs()->setCurrentIndex(2);
        auto* types = child<QListWidget>(&sheet, 1044);
        QCOMPARE(types->count(), 2);
        typeInto(sheet.findChild<QLineEdit*>(QStringLiteral("c1044edit")),
                 QStringLiteral("Options"));
        QVERIFY(!child<QLineEdit>(&sheet, 1045)->isEnabled());
        QTest::mouseClick(child<QPushButton>(&sheet, 1019), Qt::LeftButton);
        QCOMPARE(types->count(), 3);
        QCOMPARE(types->item(1)->text(), QStringLiteral("Options"));
        QCOMPARE(types->currentRow(), 1);
        auto* wildcards = child<QLineEdit>(&sheet, 1045);
        QCOMPARE(wildcards->text(), QStringLiteral("*.PM"));
        typeInto(wildcards, QStringLiteral("*.OP"));
        auto* iconSpin = child<QAbstractSpinBox>(&sheet, 1046);
        QCOMPARE(iconSpin->text(), QStringLiteral("6"));
        stepSpin(iconSpin, 2);
        QCOMPARE(iconSpin->text(), QStringLiteral("8"));
        QVERIFY(!child<QLabel>(&sheet, 1047)->pixmap().isNull());
        grab(&sheet, QStringLiteral("settings-cnc-folders"));

        // Options: the CNC folder spin runs over the three memory types.
        sheet.tabs()->setCurrentIndex(3);
        auto* cncFolder = child<QAbstractSpinBox>(&sheet, 1113);
        QCOMPARE(cncFolder->text(), QStringLiteral("CNC"));
        stepSpin(cncFolder, 2);
        QCOMPARE(cncFolder->text(), QStringLiteral("Options"));
        auto* localFolder = child<QLineEdit>(&sheet, 1050);
        QCOMPARE(localFolder->text(), QStringLiteral("/srv/nc"));
        // Browse starts at the folder typed (without its trailing slash) and takes the one chosen;
        // the editor's Browse cancelled leaves the editor as it was.
        QString browseStart;
        sheet.optionsPage().setFolderChooser([&](QWidget*, const QString& start) {
            browseStart = start;
            return std::optional<QString>(QStringLiteral("/data/nc"));
        });
        sheet.optionsPage().setProgramChooser(
            [](QWidget*, const QString&) { return std::optional<QString>(); });
        typeInto(localFolder, QStringLiteral("/srv/nc/"));
        QTest::mouseClick(child<QPushButton>(&sheet, 1061), Qt::LeftButton);
        QCOMPARE(browseStart, QStringLiteral("/srv/nc"));
        QCOMPARE(localFolder->text(), QStringLiteral("/data/nc"));
        QTest::mouseClick(child<QPushButton>(&sheet, 1062), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(&sheet, 1054)->text(), QStringLiteral("NOTEPAD"));
        QVERIFY(!child<QCheckBox>(&sheet, 1115)->isChecked());
        child<QCheckBox>(&sheet, 1116)->click();
        grab(&sheet, QStringLiteral("settings-options"));

        QTest::mouseClick(sheet.findChild<QPushButton*>(QStringLiteral("c1")), Qt::LeftButton);
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        const SettingsImage saved = imageOf(file_);
        QCOMPARE(saved.currentConfig, 2u);
        const ConfigRecord& mill = saved.configs[2];
        QCOMPARE(std::string(textOf(mill.name)), std::string("Mill"));
        QCOMPARE(mill.linkType, DNC_LINK_DATAIO_RTSCTS);
        QCOMPARE(mill.baudRate, 19200u);
        QCOMPARE(mill.leaderTrailerSize, int16_t{3});
        QCOMPARE(mill.options & 0x03, int(OPT_PERCENT_B));
        QCOMPARE(memoryTypeCount(mill), 3);
        QCOMPARE(std::string(textOf(mill.memoryTypes[1].wildcards)), std::string("*.OP"));
        QCOMPARE(mill.memoryTypes[1].iconIndex, 8);
        QCOMPARE(mill.defaultCncFolder, 2);
        QVERIFY((mill.options & OPT_IGNORE_EMPTY) != 0);
        QCOMPARE(std::string(textOf(mill.defaultLocalFolder)), std::string("/data/nc"));
        QCOMPARE(std::string(textOf(sheet.chosenConfig().name)), std::string("Mill"));
    }

    void cancelLeavesTheFileAsItWas() {
        writeBuiltInFile(file_);
        const std::string before = readFile(file_);
        OpenSheet open(file_, "/srv/nc");
        CSettingsSheet& sheet = open.sheet;
        makeDataIoMachine(sheet);
        sheet.reject();
        QCOMPARE(readFile(file_), before);
    }

    // The sheet and qel config make the same file from the same edits, byte for byte.
    void theSheetAndQelConfigWriteTheSameBytes() {
        writeBuiltInFile(file_);
        const std::filesystem::path byCommand = folder_.path / "command.cfg";
        std::filesystem::copy_file(file_, byCommand);
        std::error_code ignored;
        const std::string here = std::filesystem::current_path(ignored).string();
        {
            OpenSheet open(file_, here);
            CSettingsSheet& sheet = open.sheet;
            makeDataIoMachine(sheet);
            // Back to "Default" before OK, as qel config leaves the selection alone.
            sheet.tabs()->setCurrentIndex(0);
            child<QListWidget>(&sheet, 1110)->setCurrentRow(0);
            QTest::mouseClick(sheet.findChild<QPushButton*>(QStringLiteral("c1")), Qt::LeftButton);
        }
        ::setenv("QELVEVA_CFG", byCommand.c_str(), 1);
        std::ostringstream out, err;
        QCOMPARE(runConfigCommand({"new", "Mill 3"}, out, err), 0);
        QCOMPARE(runConfigCommand({"set", "Mill 3", "linkType=2", "comPort=3", "baudRate=9600",
                                   "parityMode=1", "connectAtStart=1"},
                                  out, err),
                 0);
        ::unsetenv("QELVEVA_CFG");
        QCOMPARE(imageOf(file_).configs[2].linkType, DNC_LINK_DATAIO_XONXOFF);
        QVERIFY(readFile(file_) == readFile(byCommand));
    }

    void aFileChangedMeanwhileIsAskedAboutBeforeItIsReplaced() {
        writeBuiltInFile(file_);
        OpenSheet open(file_, "/srv/nc");
        CSettingsSheet& sheet = open.sheet;
        Prompter& prompter = open.prompter;
        makeDataIoMachine(sheet);

        // Another program (qel) adds a configuration while the sheet is open.
        ::setenv("QELVEVA_CFG", file_.c_str(), 1);
        std::ostringstream out, err;
        QCOMPARE(runConfigCommand({"new", "From qel"}, out, err), 0);
        ::unsetenv("QELVEVA_CFG");
        const std::string theirs = readFile(file_);

        auto* ok = sheet.findChild<QPushButton*>(QStringLiteral("c1"));
        prompter.presetAnswers({IDNO});
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(sheet.isVisible());  // kept open, their file kept
        QCOMPARE(readFile(file_), theirs);
        QVERIFY(prompter.asked().back().contains(QStringLiteral("Another program changed")));

        prompter.presetAnswers({IDYES});
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(!sheet.isVisible());
        QCOMPARE(std::string(textOf(imageOf(file_).configs[2].name)), std::string("Mill 3"));
    }

    void aSettingsFileThatCannotBeWrittenGivesItsBoxAndTheConfigurationStillApplies() {
        std::ofstream(folder_.path / "plain") << "a file, not a folder";
        const std::filesystem::path unwritable = folder_.path / "plain" / "QelVeva.cfg";
        OpenSheet open(unwritable, "/srv/nc");
        CSettingsSheet& sheet = open.sheet;
        Prompter& prompter = open.prompter;
        sheet.tabs()->setCurrentIndex(3);
        child<QCheckBox>(&sheet, 1116)->click();
        QTest::mouseClick(sheet.findChild<QPushButton*>(QStringLiteral("c1")), Qt::LeftButton);
        QVERIFY(!sheet.isVisible());
        QVERIFY(prompter.asked().back().contains(QStringLiteral("Failed to save the settings.")));
        QVERIFY(prompter.asked().back().contains(QStringLiteral("Not a directory")));
        QVERIFY((sheet.chosenConfig().options & OPT_IGNORE_EMPTY) != 0);
    }

    void nonAsciiNamesAreShownWholeAndCutBetweenCharacters() {
        SettingsImage image = builtInConfigList("/opt/qel");
        image.configs[2] = newConfiguration("Dreh M\xFCller", "/");  // written elsewhere: Latin-1
        std::ofstream(file_, std::ios::binary)
            .write(reinterpret_cast<const char*>(&image), sizeof image);
        OpenSheet open(file_, "/srv/nc");
        CSettingsSheet& sheet = open.sheet;
        auto* list = child<QListWidget>(&sheet, 1110);
        QCOMPARE(list->item(2)->text(), QStringLiteral("Dreh M\u00FCller"));
        // 25 letters and two two-byte characters: the second one does not fit into 27 bytes.
        typeInto(sheet.findChild<QLineEdit*>(QStringLiteral("c1110edit")),
                 QString(25, QLatin1Char('a')) + QStringLiteral("\u00E9\u00E8"));
        QTest::mouseClick(child<QPushButton>(&sheet, 1114), Qt::LeftButton);
        QCOMPARE(list->item(3)->text(), QString(25, QLatin1Char('a')) + QStringLiteral("\u00E9"));
        QCOMPARE(sheet.windowTitle(), QStringLiteral("QEL Settings - ") +
                                          QString(25, QLatin1Char('a')) + QStringLiteral("\u00E9"));
    }

    // Ctrl+, and the "&Settings..." items of both panes' menus open the sheet; Cancel changes
    // nothing.
    void theWindowMenuAndThePaneMenusOpenTheSheet() {
        writeBuiltInFile(file_);
        {
            // No connect at start, so that nothing waits for a CNC.
            SettingsImage image = imageOf(file_);
            image.configs[0].options &= static_cast<uint8_t>(~OPT_CONNECT_AT_START);
            std::ofstream(file_, std::ios::binary)
                .write(reinterpret_cast<const char*>(&image), sizeof image);
        }
        const std::string before = readFile(file_);
        Prompter prompter;
        prompter.presetAlways(true);
        CQelVevaDlg window(prompter);
        StartupChoices choices;
        choices.showSplash = false;
        window.initialise(choices, file_.string());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        int opened = 0;
        auto cancelNextSheet = [&] {
            QTimer::singleShot(0, &window, [&] {
                if (auto* sheet =
                        qobject_cast<CSettingsSheet*>(QApplication::activeModalWidget())) {
                    ++opened;
                    sheet->reject();
                }
            });
        };
        cancelNextSheet();
        QTest::keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
        cancelNextSheet();
        emit window.localPane()->settingsRequested();
        cancelNextSheet();
        emit window.cncView().settingsRequested();
        QCOMPARE(opened, 3);
        QCOMPARE(readFile(file_), before);
        window.close();
    }

    // Settings from the main window: OK puts a TCP configuration in force, which connects.
    void okFromTheMainWindowConnectsWithTheNewConfiguration() {
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0"});
        const std::string address = cnc.tcpAddress();
        const QString port = QString::fromStdString(address.substr(address.rfind(':') + 1));
        {
            SettingsImage image = builtInConfigList("/opt/qel");
            ConfigRecord bench = newConfiguration("Bench", folder_.path.string());
            bench.linkType = DNC_LINK_TCP_CLIENT;
            bench.destinationPort = 1;  // nobody there: changed in the sheet
            image.configs[2] = bench;
            image.currentConfig = 2;
            std::ofstream(file_, std::ios::binary)
                .write(reinterpret_cast<const char*>(&image), sizeof image);
        }
        Prompter prompter;
        prompter.presetAlways(true);
        CQelVevaDlg window(prompter);
        StartupChoices choices;
        choices.showSplash = false;
        window.initialise(choices, file_.string());
        window.show();
        QCOMPARE(window.connectionText(), QStringLiteral("Not Connected"));

        bool driven = false;
        QTimer::singleShot(0, &window, [&] {
            auto* sheet = qobject_cast<CSettingsSheet*>(QApplication::activeModalWidget());
            if (!sheet) return;
            QCOMPARE(sheet->windowTitle(), QStringLiteral("QEL Settings - Bench"));
            sheet->tabs()->setCurrentIndex(1);
            typeInto(child<QLineEdit>(sheet, 1128), port);
            sheet->tabs()->setCurrentIndex(3);
            child<QCheckBox>(sheet, 1115)->click();
            QTest::mouseClick(sheet->findChild<QPushButton*>(QStringLiteral("c1")), Qt::LeftButton);
            driven = true;
        });
        window.openSettings();
        QVERIFY(driven);
        QVERIFY(QTest::qWaitFor([&] { return !window.connecting(); }, kConnectLimitMs));
        QCOMPARE(window.connectionText(), QStringLiteral("Connected to CNC"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Vantor 4.10 Veva - Bench"));
        QCOMPARE(imageOf(file_).configs[2].destinationPort, int16_t(port.toInt()));

        // Without "Connect when QEL starts" the settings disconnect.
        QTimer::singleShot(0, &window, [&] {
            auto* sheet = qobject_cast<CSettingsSheet*>(QApplication::activeModalWidget());
            if (!sheet) return;
            sheet->tabs()->setCurrentIndex(3);
            child<QCheckBox>(sheet, 1115)->click();
            QTest::mouseClick(sheet->findChild<QPushButton*>(QStringLiteral("c1")), Qt::LeftButton);
        });
        window.openSettings();
        QCOMPARE(window.connectionText(), QStringLiteral("Not Connected"));
        window.close();
    }
};

QTEST_MAIN(SettingsSheetTest)
#include "SettingsSheetTest.moc"
