#include "panes/EditorCommand.h"

#include <unistd.h>

#include <cstdlib>

namespace qel {

ProgramSearch environmentProgramSearch() {
    ProgramSearch search;
    if (const char* path = std::getenv("PATH")) search.path = path;
    if (const char* visual = std::getenv("VISUAL")) search.visual = visual;
    search.isExecutable = [](const std::string& file) { return ::access(file.c_str(), X_OK) == 0; };
    return search;
}

std::vector<std::string> commandWords(std::string_view command) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (const char c : command) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

std::string findProgram(const std::string& word, const ProgramSearch& search) {
    if (word.empty()) return {};
    if (word.find('/') != std::string::npos) return search.isExecutable(word) ? word : "";
    std::string_view folders = search.path;
    while (true) {
        const size_t end = folders.find(':');
        std::string folder(folders.substr(0, end));
        if (folder.empty()) folder = ".";  // an empty entry of $PATH is the current folder
        const std::string candidate = folder + '/' + word;
        if (search.isExecutable(candidate)) return candidate;
        if (end == std::string_view::npos) return {};
        folders.remove_prefix(end + 1);
    }
}

std::vector<std::string> editorArguments(std::string_view command, const std::string& file,
                                         const ProgramSearch& search) {
    for (const std::string_view choice : {command, std::string_view(search.visual)}) {
        std::vector<std::string> words = commandWords(choice);
        if (words.empty()) continue;
        std::string program = findProgram(words.front(), search);
        if (program.empty()) continue;
        words.front() = std::move(program);
        words.push_back(file);
        return words;
    }
    return {"xdg-open", file};
}

}  // namespace qel
