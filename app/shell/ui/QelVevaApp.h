// The application object: the command line and its start-up file, then the main window run
// until it ends. --version and --help are answered before any window exists.
#pragma once

#include <optional>
#include <string>

namespace qel::ui {

// "QelVeva 4.10" for --version, the usage for --help; nothing for a start with a display.
std::optional<std::string> answerWithoutDisplay(int argc, const char* const* argv, int& status);

// Runs the program; the QApplication exists.
int runQelVeva(int argc, const char* const* argv);

}  // namespace qel::ui
