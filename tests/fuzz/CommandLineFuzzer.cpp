// Any parameters on the program's command line, into its parser, with a few start-up files to
// name. Flags are compared without regard to case and unknown flags are ignored, so the same
// parameters with the flag letters' case turned and an unknown flag in front give the same
// result. With an address there is a port and no splash window; without one the splash stays.
// The start-up file is one of the plain parameters, and only a named file that cannot be read
// is reported.
//
// Input: the parameters, separated by NUL bytes. Every path stays in the fuzzer's own folder:
// each plain parameter but an empty one is put below it (absolute then, and so still no flag) and
// ".." is taken out.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ScratchFolder.h"
#include "config/OperatorMessages.h"
#include "shell/CommandLineInfoEx.h"

using qel::CCommandLineInfoEx;

namespace {

constexpr size_t kMaxParameters = 24;

struct CountedMessages final : qel::OperatorMessages {
    void show(qel::MessageKind, std::string_view, std::string_view) override { ++shown; }
    int shown = 0;
};

// The start-up files in the fuzzer's folder; its path ends with "/".
const std::string& folderPrefix() {
    static const std::string prefix = [] {
        const auto& folder = qel::fuzz::scratchFolder();
        qel::fuzz::writeBytes(
            folder / "mill.ini",
            "; mill 2\r\nConnect = 192.168.1.20 19001\r\nCaption = \"Mill 2\"\r\n");
        qel::fuzz::writeBytes(folder / "caption.ini", "Caption = Lathe");
        qel::fuzz::writeBytes(folder / "port0.ini", "connect = cnc 0\n");
        qel::fuzz::writeBytes(folder / "empty.ini", "");
        std::filesystem::create_directory(folder / "sub");
        qel::fuzz::writeBytes(folder / "sub" / "deep.ini", "Connect = \"host name\" 99999999999\n");
        return folder.string() + "/";
    }();
    return prefix;
}

bool isFlag(std::string_view param) {
    return !param.empty() &&
           (param.front() == '-' ||
            (param.front() == '/' && param.find('/', 1) == std::string_view::npos));
}

std::string confined(std::string param) {
    for (size_t at; (at = param.find("..")) != std::string::npos;) param.replace(at, 2, "_");
    if (!param.empty() && !isFlag(param)) param = folderPrefix() + param;
    return param;
}

char turnedCase(char c) {
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c;
}

struct Parsed {
    std::string startupFile, ipAddress, caption;
    unsigned port = 0;
    bool splash = true;
    int messages = 0;
    bool operator==(const Parsed&) const = default;
};

Parsed parse(const std::vector<std::string>& params) {
    std::vector<const char*> argv{"QelVeva"};
    for (const std::string& param : params) argv.push_back(param.c_str());
    CountedMessages messages;
    CCommandLineInfoEx info(messages);
    info.ParseCommandLine(static_cast<int>(argv.size()), argv.data());
    return {info.m_strStartupFile, info.m_strIpAddress, info.m_strCaption,
            info.m_iPortNumber,    info.m_bShowSplash,  messages.shown};
}

void check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    folderPrefix();
    std::vector<std::string> params;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (size_t at = 0; at <= input.size() && params.size() < kMaxParameters;) {
        const size_t end = std::min(input.find('\0', at), input.size());
        params.push_back(confined(std::string(input.substr(at, end - at))));
        at = end + 1;
    }
    if (size == 0) params.clear();

    const Parsed result = parse(params);
    if (!result.ipAddress.empty()) {
        check(!result.splash && result.port != 0);
    } else {
        check(result.splash);
    }
    if (result.startupFile.empty()) {
        check(result.messages == 0);
    } else {
        check(std::find(params.begin(), params.end(), result.startupFile) != params.end());
        std::error_code ignored;
        const bool readable = std::filesystem::is_regular_file(result.startupFile, ignored);
        check(result.messages == (readable ? 0 : 1));
    }

    std::vector<std::string> turned{"/unknownflag"};
    for (std::string param : params) {
        if (isFlag(param) && param.size() > 1) param[1] = turnedCase(param[1]);
        turned.push_back(std::move(param));
    }
    check(parse(turned) == result);
    return 0;
}
