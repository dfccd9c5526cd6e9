#include "config/SettingsPath.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

namespace qel {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::filesystem::path homeFolder() {
    std::string home = environment("HOME");
    if (!home.empty()) return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir)
        return found->pw_dir;
    return {};
}

bool folderWritable(const std::filesystem::path& folder) {
    const std::filesystem::path checked = folder.empty() ? std::filesystem::path(".") : folder;
    return ::access(checked.c_str(), W_OK) == 0;
}

}  // namespace

std::filesystem::path settingsFileBeside(const std::filesystem::path& programFile) {
    std::string name = programFile.filename().string();
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        name += ".cfg";
    else
        name = name.substr(0, dot + 1) + "cfg";
    return programFile.parent_path() / name;
}

std::filesystem::path userSettingsFile() {
    std::filesystem::path base = environment("XDG_CONFIG_HOME");
    if (base.empty() || base.is_relative()) base = homeFolder() / ".config";
    return base / "qelveva" / "QelVeva.cfg";
}

std::filesystem::path resolveSettingsFile(const std::filesystem::path& programFile) {
    const std::string fromEnvironment = environment("QELVEVA_CFG");
    if (!fromEnvironment.empty()) return fromEnvironment;
    const std::filesystem::path beside = settingsFileBeside(programFile);
    if (folderWritable(beside.parent_path())) return beside;
    return userSettingsFile();
}

std::filesystem::path runningProgramFile(const std::filesystem::path& fallback) {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || self.empty()) return std::filesystem::absolute(fallback, error);
    return self;
}

std::filesystem::path desktopProgramFile() {
    return runningProgramFile().parent_path() / "QelVeva";
}

}  // namespace qel
