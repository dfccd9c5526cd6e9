// Where the settings file lives. QelVeva and qel use the same file:
//   1. $QELVEVA_CFG when set;
//   2. else the desktop program's path with ".cfg" (QelVeva.cfg beside QelVeva) when that
//      folder is writable;
//   3. else $XDG_CONFIG_HOME/qelveva/QelVeva.cfg (default ~/.config/qelveva/QelVeva.cfg).
#pragma once

#include <filesystem>

namespace qel {

// The settings file named after a program file: its name cut after the last "." and extended
// by "cfg", or ".cfg" appended when the name has no ".". Dots in folder names do not count.
std::filesystem::path settingsFileBeside(const std::filesystem::path& programFile);

// The per-user settings file of rule 3.
std::filesystem::path userSettingsFile();

// Rules 1 to 3 for the given program file.
std::filesystem::path resolveSettingsFile(const std::filesystem::path& programFile);

// The file of the running program (from /proc/self/exe; fallback when that is unreadable).
std::filesystem::path runningProgramFile(const std::filesystem::path& fallback = {});

// The desktop program's file: "QelVeva" in the running program's folder, so that qel, installed
// beside it, finds the same settings.
std::filesystem::path desktopProgramFile();

}  // namespace qel
