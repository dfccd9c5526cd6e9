#include "cli/TerminalOperator.h"

#include <poll.h>
#include <unistd.h>
#include <cerrno>

namespace qel {

namespace {
constexpr int kPollMs = 100;

bool has(uint32_t flags, uint32_t button) {
    return (flags & button) != 0;
}

// The buttons a question shows, as terminal choices.
std::vector<TerminalOperator::Choice> buttonsOf(uint32_t flags) {
    std::vector<TerminalOperator::Choice> buttons;
    const bool ok = has(flags, kRequestOk);
    if (has(flags, kRequestYes) && !ok) buttons.push_back({'y', "yes", IDYES});
    if (has(flags, kRequestYesToAll) && !ok) buttons.push_back({'a', "yes to all", IDYESTOALL});
    if (has(flags, kRequestNo)) buttons.push_back({'n', "no", IDNO});
    if (ok) buttons.push_back({'o', "ok", IDOK});
    if (has(flags, kRequestCancel) && !has(flags, kRequestHelp)) {
        buttons.push_back({'c', "cancel", IDCANCEL});
    }
    return buttons;
}

// The most agreeing answer a question offers: Yes to All, else Yes, else OK.
uint32_t agreeing(uint32_t flags) {
    if (has(flags, kRequestOk)) return IDOK;
    if (has(flags, kRequestYesToAll)) return IDYESTOALL;
    return IDYES;
}

const char* nameOf(uint32_t answer) {
    switch (answer) {
        case IDYES:
            return "Yes";
        case IDNO:
            return "No";
        case IDOK:
            return "OK";
        case IDYESTOALL:
            return "Yes to All";
        default:
            return "Cancel";
    }
}
}  // namespace

std::string oneLine(std::string_view text) {
    std::string line;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

TerminalOperator::TerminalOperator(TerminalChoices choices, int inputFd, std::ostream& err,
                                   const std::atomic<bool>& interrupted)
    : choices_(std::move(choices)), inputFd_(inputFd), err_(err), interrupted_(interrupted) {}

uint32_t TerminalOperator::ask(QuestionKind kind, std::string_view text, uint32_t flags) {
    if (kind == QuestionKind::Report) {
        note("qel: " + oneLine(text));
        return IDOK;
    }
    if (choices_.rule == AnswerRule::NoReplace && kind == QuestionKind::Replace) return IDNO;
    if (choices_.rule == AnswerRule::YesToAll && kind == QuestionKind::Replace) {
        return agreeing(flags);
    }
    if (choices_.rule != AnswerRule::Ask && kind == QuestionKind::Continue) {
        const uint32_t answer = choices_.rule == AnswerRule::YesToAll
                                    ? agreeing(flags)
                                    : (has(flags, kRequestOk) ? IDOK : IDYES);
        note("qel: " + oneLine(text) + " [" + nameOf(answer) + "]");
        return answer;
    }
    if (!choices_.askOnTerminal) {
        note("qel: " + oneLine(text) + " [Cancel]");
        return IDCANCEL;
    }
    return prompt(text, buttonsOf(flags));
}

bool TerminalOperator::confirm(QuestionKind kind, BoxButtons buttons, BoxIcon,
                               std::string_view caption, std::string_view text) {
    const bool retry = buttons == BoxButtons::RetryCancel;
    // Retrying by rule could go on for ever; only an operator at the terminal retries.
    if (!retry && kind == QuestionKind::Continue && choices_.rule != AnswerRule::Ask) {
        note("qel: " + oneLine(text) + " [Yes]");
        return true;
    }
    if (!choices_.askOnTerminal) {
        note("qel: " + oneLine(text) + (retry ? " [Cancel]" : " [No]"));
        return false;
    }
    (void)caption;
    const std::vector<Choice> options =
        retry ? std::vector<Choice>{{'r', "retry", IDYES}, {'c', "cancel", IDCANCEL}}
              : std::vector<Choice>{{'y', "yes", IDYES}, {'n', "no", IDNO}};
    return prompt(text, options) == IDYES;
}

std::optional<std::string> TerminalOperator::askNewName(std::string_view promptText,
                                                        std::string_view defaultText) {
    if (choices_.newName) {
        if (newNameUsed_) return std::nullopt;
        newNameUsed_ = true;
        return choices_.newName;
    }
    if (!choices_.askOnTerminal) {
        note("qel: " + oneLine(promptText) + " [Cancel]");
        return std::nullopt;
    }
    clearProgressLine();
    err_ << promptText << " [" << defaultText << "] " << std::flush;
    std::string line;
    if (!readLine(line)) return std::nullopt;
    return line.empty() ? std::string(defaultText) : line;
}

uint32_t TerminalOperator::prompt(std::string_view text, const std::vector<Choice>& options) {
    std::string menu;
    for (const Choice& choice : options) {
        if (!menu.empty()) menu += ", ";
        menu += std::string("[") + choice.key + "] " + choice.label;
    }
    clearProgressLine();
    err_ << text << '\n';
    uint32_t answer = IDCANCEL;
    for (;;) {
        err_ << menu << "? " << std::flush;
        std::string line;
        if (!readLine(line)) break;
        const char key = line.empty() ? '\0' : static_cast<char>(line[0] | 0x20);
        const Choice* chosen = nullptr;
        for (const Choice& choice : options) {
            if (choice.key == key) chosen = &choice;
        }
        if (chosen) {
            answer = chosen->answer;
            break;
        }
    }
    return answer;
}

bool TerminalOperator::readLine(std::string& line) {
    line.clear();
    for (;;) {
        if (interrupted_.load()) return false;
        pollfd input{inputFd_, POLLIN, 0};
        const int ready = ::poll(&input, 1, kPollMs);
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        char c = 0;
        const ssize_t n = ::read(inputFd_, &c, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        if (c == '\n') return true;
        if (c != '\r') line += c;
    }
}

void TerminalOperator::note(const std::string& line) {
    clearProgressLine();
    err_ << line << '\n' << std::flush;
}

void TerminalOperator::fieldChanged(TransferField field, std::string_view text) {
    fields_[field] = std::string(text);
}

std::string TerminalOperator::progressLine() const {
    auto field = [this](TransferField which) {
        const auto found = fields_.find(which);
        return found == fields_.end() ? std::string() : found->second;
    };
    if (!field(TransferField::ProgressLine).empty()) {
        return field(TransferField::ProgressLine) + "  " + field(TransferField::ProgressText);
    }
    if (field(TransferField::FileName).empty()) return {};
    std::string line = field(TransferField::FileName) + "  " + field(TransferField::Amount) + " KB";
    if (!field(TransferField::Speed).empty()) line += "  " + field(TransferField::Speed) + " KB/s";
    if (!field(TransferField::TimeLeftFile).empty()) {
        line += "  time left " + field(TransferField::TimeLeftFile);
    }
    return line;
}

void TerminalOperator::drawProgress() {
    if (!choices_.showProgress) return;
    const std::string line = progressLine();
    if (line.empty() || line == shown_) return;
    err_ << '\r' << line << "\x1b[K" << std::flush;
    shown_ = line;
}

void TerminalOperator::endProgress() {
    if (shown_.empty()) return;
    err_ << '\n' << std::flush;
    shown_.clear();
}

void TerminalOperator::clearProgressLine() {
    if (shown_.empty()) return;
    err_ << "\r\x1b[K";
    shown_.clear();
}

}  // namespace qel
