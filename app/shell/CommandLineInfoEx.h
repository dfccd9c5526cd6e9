// The program's command line:
//     QelVeva [/i address [port] | /iaddress[,port]] [/c caption | /ccaption] [startup-file]
// Flags start with "/" or "-" and are compared without regard to case; other flags are ignored.
// The last plain parameter that is not a flag's value names a start-up file (StartupFile.h),
// read after all parameters, whose values override those of the command line. With an address
// the port defaults to 19000 and no splash window is shown.
#pragma once

#include <string>
#include <string_view>

#include "config/OperatorMessages.h"

namespace qel {

inline constexpr unsigned kDefaultCncPort = 19000;
inline constexpr const char* kCommandLineErrorCaption = "Command line error";

class CCommandLineInfoEx {
  public:
    explicit CCommandLineInfoEx(OperatorMessages& messages) : m_messages(messages) {}

    // Splits argv[1..argc-1] into parameters and hands each to ParseParam. A parameter starting
    // with "/" that holds a further "/" is an absolute path, not a flag.
    void ParseCommandLine(int argc, const char* const* argv);

    // One parameter: param without its "/" or "-" when flag is set; last for the final one,
    // which also reads the start-up file and settles the port and splash switch.
    void ParseParam(std::string_view param, bool flag, bool last);

    std::string m_strStartupFile;
    std::string m_strIpAddress;
    unsigned m_iPortNumber = 0;
    std::string m_strCaption;
    bool m_bShowSplash = true;

  private:
    enum class Expected { Nothing, Address, Port, Caption };

    void parsePlain(std::string_view param);
    void parseFlag(std::string_view flag);
    void readStartupFile();
    void finish();

    Expected m_expected = Expected::Nothing;
    OperatorMessages& m_messages;
};

}  // namespace qel
