#include "shell/ui/HelpWindow.h"

#include "config/SettingsPath.h"

#include <QDialogButtonBox>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace qel::ui {

QString HelpWindow::helpText() {
    const QString settings =
        QString::fromStdString(resolveSettingsFile(desktopProgramFile()).string()).toHtmlEscaped();
    return QStringLiteral(
               "<h2>QEL Veva</h2>"
               "<p>The window has two panes: the <b>Local Files</b> of this PC at the left and "
               "the <b>CNC Memories</b> at the right. A memory is stored on the PC as a file "
               "named after it with its two-letter memory type as extension (PROG1.PM).</p>"
               "<h3>Buttons</h3><ul>"
               "<li><b>Send</b> and <b>Send as...</b> copy the selected files to the CNC, one "
               "memory each; <b>BTR Send</b> feeds a part program to a CNC that runs it while it "
               "arrives.</li>"
               "<li><b>Receive</b> and <b>Receive as...</b> copy the selected memories into the "
               "current folder; a memory holding several programs under % headers becomes one "
               "file per program.</li>"
               "<li><b>Remote Mode</b> lets the CNC drive: it reads and writes files of a folder "
               "of this PC.</li>"
               "<li><b>Reconnect</b> connects to the CNC again; the text beside it tells whether "
               "the program is connected.</li>"
               "<li><b>File Manager</b> opens the current folder in the desktop's file "
               "manager.</li></ul>"
               "<h3>Connecting a CNC</h3>"
               "<p><b>TCP/IP:</b> give the CNC's address and port in the settings (the window "
               "menu at the top right, or Ctrl+,), or start the program with "
               "<tt>QelVeva -i ADDRESS PORT</tt>.</p>"
               "<p><b>Serial line:</b> COM1 to COM4 are the devices /dev/ttyS0 to /dev/ttyS3; "
               "a line <tt>COM1 = /dev/ttyUSB0</tt> in the port map "
               "<tt>~/.config/qelveva/ports</tt> (or <tt>CABLOR_COM1=/dev/ttyUSB0</tt> in the "
               "environment) puts a USB adapter on a COM port. The user needs access to the "
               "device, usually through the "
               "<tt>dialout</tt> group.</p>"
               "<h3>Settings</h3><p>The ten configurations live in <tt>%1</tt> "
               "(<tt>QELVEVA_CFG</tt> names another file). The command-line tool <tt>qel</tt> "
               "uses the same file: <tt>qel config new</tt>, <tt>set</tt> and <tt>delete</tt> "
               "make and change configurations without a display.</p>"
               "<p>In the settings, <b>Select</b> chooses the configuration in use and makes new "
               "ones, <b>Communications</b> sets the link (the COM port list shows the device "
               "each port is on), <b>CNC Folders</b> the memory types and <b>Options</b> the "
               "folders, the editor and what happens at start. Nothing is saved until OK.</p>"
               "<p>Press F1 on a control for a short explanation of it.</p>")
        .arg(settings);
}

HelpWindow* HelpWindow::showFor(QWidget* parent) {
    static QPointer<HelpWindow> shown;
    if (!shown) shown = new HelpWindow(parent);
    shown->show();
    shown->raise();
    shown->activateWindow();
    return shown;
}

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("help"));
    setWindowTitle(tr("QEL Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* text = new QTextBrowser(this);
    text->setAccessibleName(tr("Help"));
    text->setHtml(helpText());
    text->setMinimumSize(520, 440);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &HelpWindow::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text, 1);
    layout->addWidget(buttons);
}

}  // namespace qel::ui
