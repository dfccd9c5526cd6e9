// The program a file of the local pane is opened with. The configured editor command is split
// into words (blanks separate them, double quotes hold a word with blanks together; nothing
// else has a meaning, no shell reads it), and the file's full path is added as one more word,
// so that a name with blanks or quotes reaches the editor whole. When the command's program
// is not there (the stored default "NOTEPAD"), $VISUAL is tried the same way, then xdg-open.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

struct ProgramSearch {
    std::string path;    // $PATH
    std::string visual;  // $VISUAL
    std::function<bool(const std::string&)> isExecutable;
};
// From this process's environment.
ProgramSearch environmentProgramSearch();

std::vector<std::string> commandWords(std::string_view command);

// The program's full path: a word with a '/' as it stands, else the first folder of $PATH
// that holds it; empty when there is none.
std::string findProgram(const std::string& word, const ProgramSearch& search);

// Program first, then its words, then file.
std::vector<std::string> editorArguments(std::string_view command, const std::string& file,
                                         const ProgramSearch& search);

}  // namespace qel
