#include "shell/CommandLineInfoEx.h"

#include <string>

#include "base/FileErrorCause.h"
#include "base/Trace.h"
#include "shell/StartupFile.h"

namespace qel {

namespace {

bool isFlagLetter(char c, char lower) {
    return c == lower || c == lower - 'a' + 'A';
}

}  // namespace

void CCommandLineInfoEx::ParseCommandLine(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        std::string_view param = argv[i] ? argv[i] : "";
        const bool flag = !param.empty() &&
                          (param.front() == '-' ||
                           (param.front() == '/' && param.find('/', 1) == std::string_view::npos));
        if (flag) param.remove_prefix(1);
        ParseParam(param, flag, i == argc - 1);
    }
}

void CCommandLineInfoEx::ParseParam(std::string_view param, bool flag, bool last) {
    const std::string text(param);
    trace("lpszParam = %s, bFlag = %d, bLast = %d\n", text.c_str(), flag ? 1 : 0, last ? 1 : 0);
    if (flag)
        parseFlag(param);
    else
        parsePlain(param);
    if (last) finish();
}

void CCommandLineInfoEx::parsePlain(std::string_view param) {
    switch (m_expected) {
        case Expected::Address:
            m_strIpAddress = param;
            m_expected = Expected::Port;
            break;
        case Expected::Port:
            m_iPortNumber = decimalPrefix(param);
            m_expected = Expected::Nothing;
            break;
        case Expected::Caption:
            m_strCaption = param;
            m_expected = Expected::Nothing;
            break;
        case Expected::Nothing:
            m_strStartupFile = param;
            break;
    }
}

void CCommandLineInfoEx::parseFlag(std::string_view flag) {
    if (flag.empty()) return;
    const std::string_view value = flag.substr(1);
    if (isFlagLetter(flag.front(), 'i')) {
        if (value.empty()) {
            m_expected = Expected::Address;
            return;
        }
        const std::size_t comma = value.find(',');
        m_strIpAddress = value.substr(0, comma);
        if (comma != std::string_view::npos) m_iPortNumber = decimalPrefix(value.substr(comma + 1));
        m_expected = Expected::Nothing;
    } else if (isFlagLetter(flag.front(), 'c')) {
        if (value.empty()) {
            m_expected = Expected::Caption;
            return;
        }
        m_strCaption = value;
        m_expected = Expected::Nothing;
    }
}

void CCommandLineInfoEx::readStartupFile() {
    StartupSettings settings;
    if (const int error = qel::readStartupFile(m_strStartupFile, settings); error != 0) {
        const std::string text = "Can not open startup file " + m_strStartupFile + ".\n Error = " +
                                 std::to_string(static_cast<unsigned>(fileErrorCause(error)));
        m_messages.error(kCommandLineErrorCaption, text);
        return;
    }
    if (settings.ipAddress) m_strIpAddress = *settings.ipAddress;
    if (settings.portNumber) m_iPortNumber = *settings.portNumber;
    if (settings.caption) m_strCaption = *settings.caption;
}

void CCommandLineInfoEx::finish() {
    if (!m_strStartupFile.empty()) readStartupFile();
    if (!m_strIpAddress.empty()) {
        m_bShowSplash = false;
        if (m_iPortNumber == 0) m_iPortNumber = kDefaultCncPort;
    }
    trace("m_strStartupFile=%s, m_strIpAddress=%s, m_iPortNumber=%u, m_strCaption=%s\n",
          m_strStartupFile.c_str(), m_strIpAddress.c_str(), m_iPortNumber, m_strCaption.c_str());
}

}  // namespace qel
