// The operator's side of qel's transfers; every call comes from qel's own thread, through the
// engine's display tick. Questions are answered by the command line's rule
// (--yes-all, --no-replace), else asked on the terminal when standard input is one, else
// written to standard error and answered with Cancel. On a terminal, standard error also shows
// one progress line, redrawn in place.
#pragma once

#include "transfer/TransferOperator.h"

#include <atomic>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace qel {

enum class AnswerRule {
    Ask,
    YesToAll,   // every replace and continue question: Yes to All (or Yes, or OK)
    NoReplace,  // replace questions: No; continue questions: Yes
};

struct TerminalChoices {
    AnswerRule rule = AnswerRule::Ask;
    bool askOnTerminal = false;  // standard input is a terminal
    bool showProgress = false;   // standard error is a terminal
    // --as: the answer to the first name prompt; later prompts then keep the proposed name.
    std::optional<std::string> newName;
};

class TerminalOperator final : public TransferOperator {
  public:
    // Answers are read from inputFd; interrupted (Ctrl-C) makes an open question Cancel.
    TerminalOperator(TerminalChoices choices, int inputFd, std::ostream& err,
                     const std::atomic<bool>& interrupted);

    uint32_t ask(QuestionKind kind, std::string_view text, uint32_t flags) override;
    std::optional<std::string> askNewName(std::string_view prompt,
                                          std::string_view defaultText) override;
    bool confirm(QuestionKind kind, BoxButtons buttons, BoxIcon icon, std::string_view caption,
                 std::string_view text) override;
    void fieldChanged(TransferField field, std::string_view text) override;

    // Redraws the progress line when it changed; the caller calls it at most 10 times a second.
    void drawProgress();
    // Ends the progress line, so that what follows starts on a line of its own.
    void endProgress();

    // One answer the terminal offers: its key, its name, the answer it gives.
    struct Choice {
        char key;
        const char* label;
        uint32_t answer;
    };

  private:
    // Asks on the terminal until one of the choices is typed; IDCANCEL at the end of the input
    // or on Ctrl-C.
    uint32_t prompt(std::string_view text, const std::vector<Choice>& choices);
    // One line from the input; false at its end or on Ctrl-C.
    bool readLine(std::string& line);
    // Writes a line on standard error, first clearing the progress line.
    void note(const std::string& line);
    void clearProgressLine();
    std::string progressLine() const;

    TerminalChoices choices_;
    const int inputFd_;
    std::ostream& err_;
    const std::atomic<bool>& interrupted_;
    bool newNameUsed_ = false;

    // What the progress line shows, as the display tick handed it over.
    std::map<TransferField, std::string> fields_;
    std::string shown_;  // the progress line on screen, empty when none
};

// A message on one line: line ends become blanks.
std::string oneLine(std::string_view text);

}  // namespace qel
