#include "shell/ui/QelVevaApp.h"

#include "QelVersion.h"
#include "config/SettingsPath.h"
#include "panes/ui/Prompter.h"
#include "shell/CommandLineInfoEx.h"
#include "shell/ui/CQelVevaDlg.h"
#include "shell/ui/DesktopMessages.h"

#include <cstring>
#include <string_view>

namespace qel::ui {

namespace {
constexpr const char* kUsage =
    "usage: QelVeva [-i ADDRESS [PORT] | -iADDRESS[,PORT]] [-c CAPTION | -cCAPTION] "
    "[STARTUP-FILE]\n"
    "  -i ADDRESS PORT   connect to the CNC at ADDRESS over TCP/IP (PORT default 19000), as the\n"
    "                    \"Command line\" configuration\n"
    "  -c CAPTION        the configuration's name in the window title\n"
    "  STARTUP-FILE      lines \"Connect = ADDRESS PORT\" and \"Caption = TEXT\"\n"
    "  --check-connection  start, connect, and end with status 0 once connected (1 if not)\n"
    "  --version, --help print and exit\n"
    "Environment: QELVEVA_CFG (settings file), CABLOR_COM1..4 and CABLOR_PORTS (serial devices), "
    "QELVEVA_TRACE=1\n";
}  // namespace

std::optional<std::string> answerWithoutDisplay(int argc, const char* const* argv, int& status) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--version") {
            status = 0;
            return std::string("QelVeva ") + QELVEVA_VERSION + "\n";
        }
        if (word == "--help") {
            status = 0;
            return kUsage;
        }
    }
    return std::nullopt;
}

int runQelVeva(int argc, const char* const* argv) {
    Prompter prompter;
    CQelVevaDlg window(prompter);
    // The command line's own errors ("Command line error") come before the main window shows.
    DesktopMessages messages(prompter, nullptr);
    CCommandLineInfoEx commandLine(messages);
    commandLine.ParseCommandLine(argc, argv);

    StartupChoices choices;
    choices.ipAddress = commandLine.m_strIpAddress;
    choices.port = commandLine.m_iPortNumber;
    choices.caption = commandLine.m_strCaption;
    choices.showSplash = commandLine.m_bShowSplash;
    bool checkOnly = false;
    for (int i = 1; i < argc; ++i)
        checkOnly = checkOnly || std::string_view(argv[i]) == "--check-connection";
    int status = 0;
    if (checkOnly) {
        // The window shows, connects, and the program ends: a start-up check for scripts.
        prompter.presetAlways(true);
        QObject::connect(&window, &CQelVevaDlg::connectFinished, &window, [&](bool connected) {
            status = connected ? 0 : 1;
            window.close();
        });
    }
    window.initialise(choices, resolveSettingsFile(desktopProgramFile()).string());
    window.show();
    if (checkOnly && !window.connecting()) return 1;
    window.exec();
    return status;
}

}  // namespace qel::ui
