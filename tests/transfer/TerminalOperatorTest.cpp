// How qel answers the engines' questions and draws its progress line.
#include "cli/TerminalOperator.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <sstream>

namespace qel {
namespace {

// Typed answers through a pipe, as a terminal would deliver them.
struct Keyboard {
    int fds[2] = {-1, -1};
    Keyboard() { EXPECT_EQ(::pipe(fds), 0); }
    ~Keyboard() {
        ::close(fds[0]);
        if (fds[1] >= 0) ::close(fds[1]);
    }
    void type(const std::string& text) {
        EXPECT_EQ(::write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void close() {
        ::close(fds[1]);
        fds[1] = -1;
    }
};

struct TerminalOperatorTest : ::testing::Test {
    Keyboard keyboard;
    std::ostringstream err;
    std::atomic<bool> interrupted{false};

    TerminalOperator make(AnswerRule rule, bool terminal = false, bool progress = false,
                          std::optional<std::string> newName = std::nullopt) {
        return TerminalOperator({rule, terminal, progress, std::move(newName)}, keyboard.fds[0],
                                err, interrupted);
    }
};

TEST_F(TerminalOperatorTest, RulesAnswerReplaceAndContinueQuestionsButNeverRetry) {
    auto yesAll = make(AnswerRule::YesToAll);
    EXPECT_EQ(yesAll.ask(QuestionKind::Replace, "Replace?", kAskYesAllNoCancel), IDYESTOALL);
    EXPECT_EQ(yesAll.ask(QuestionKind::Continue, "Go on?", kAskYesNoWarning), IDYES);
    EXPECT_EQ(yesAll.ask(QuestionKind::Continue, "Name?", kAskOkCancelStop), IDOK);
    EXPECT_FALSE(yesAll.confirm(QuestionKind::Retry, BoxButtons::RetryCancel, BoxIcon::Stop, "QEL",
                                "Retry?"));
    EXPECT_TRUE(yesAll.confirm(QuestionKind::Continue, BoxButtons::YesNo, BoxIcon::Stop, "QEL",
                               "Next file?"));
    EXPECT_EQ(err.str(),
              "qel: Go on? [Yes]\nqel: Name? [OK]\nqel: Retry? [Cancel]\n"
              "qel: Next file? [Yes]\n");

    err.str("");
    auto keep = make(AnswerRule::NoReplace);
    EXPECT_EQ(keep.ask(QuestionKind::Replace, "Replace?", kAskYesAllNoCancel), IDNO);
    EXPECT_EQ(keep.ask(QuestionKind::Continue, "Failed.\nContinue?", kAskYesAllCancelWarning),
              IDYES);
    EXPECT_EQ(err.str(), "qel: Failed. Continue? [Yes]\n");
}

TEST_F(TerminalOperatorTest, WithoutATerminalQuestionsAreShownAndAnsweredCancel) {
    auto op = make(AnswerRule::Ask);
    EXPECT_EQ(op.ask(QuestionKind::Replace, "Replace the file 'A'?\n\nUse X.", kAskYesAllNoCancel),
              IDCANCEL);
    EXPECT_EQ(op.ask(QuestionKind::Report, "Broken.\n", kAskOkStop), IDOK);
    EXPECT_FALSE(op.askNewName("Enter a new name for '*':", "*"));
    EXPECT_EQ(err.str(),
              "qel: Replace the file 'A'? Use X. [Cancel]\nqel: Broken.\n"
              "qel: Enter a new name for '*': [Cancel]\n");
}

TEST_F(TerminalOperatorTest, OnATerminalTheOfferedKeysAnswer) {
    auto op = make(AnswerRule::Ask, true);
    keyboard.type("x\ny\nA\nn\n");
    EXPECT_EQ(op.ask(QuestionKind::Continue, "Go on?", kAskYesNoWarning), IDYES);
    EXPECT_EQ(err.str(), "Go on?\n[y] yes, [n] no? [y] yes, [n] no? ");
    EXPECT_EQ(op.ask(QuestionKind::Replace, "Replace?", kAskYesAllNoCancel), IDYESTOALL);
    // "a" is not offered without Yes to All; the next line answers.
    EXPECT_EQ(op.ask(QuestionKind::Continue, "Go on?", kAskYesNoWarning), IDNO);
    keyboard.type("\nNEW.PM\n");
    EXPECT_EQ(op.askNewName("Name for 'A.PM':", "A.PM"), std::optional<std::string>("A.PM"));
    EXPECT_EQ(op.askNewName("Name for 'A.PM':", "A.PM"), std::optional<std::string>("NEW.PM"));
    keyboard.type("r\n");
    EXPECT_TRUE(
        op.confirm(QuestionKind::Retry, BoxButtons::RetryCancel, BoxIcon::Stop, "QEL", "Retry?"));
    // The end of the input, or Ctrl-C, is Cancel.
    interrupted = true;
    EXPECT_EQ(op.ask(QuestionKind::Replace, "Replace?", kAskYesAllNoCancel), IDCANCEL);
    interrupted = false;
    keyboard.close();
    EXPECT_EQ(op.ask(QuestionKind::Replace, "Replace?", kAskYesAllNoCancel), IDCANCEL);
}

TEST_F(TerminalOperatorTest, TheNewNameGivenAnswersTheFirstPromptOnly) {
    auto op = make(AnswerRule::Ask, true, false, std::string("COPY.PM"));
    EXPECT_EQ(op.askNewName("Name?", "A.PM"), std::optional<std::string>("COPY.PM"));
    EXPECT_EQ(op.askNewName("Name?", "B.PM"), std::nullopt);
    EXPECT_EQ(err.str(), "");
}

TEST_F(TerminalOperatorTest, TheProgressLineIsRedrawnInPlaceOnlyWhenItChanged) {
    auto op = make(AnswerRule::Ask, false, true);
    op.drawProgress();
    EXPECT_EQ(err.str(), "");
    op.fieldChanged(TransferField::FileName, "PROG1.PM");
    op.fieldChanged(TransferField::Amount, "1.50");
    op.fieldChanged(TransferField::Speed, "3.00");
    op.fieldChanged(TransferField::TimeLeftFile, "10 s");
    op.drawProgress();
    op.drawProgress();
    EXPECT_EQ(err.str(), "\rPROG1.PM  1.50 KB  3.00 KB/s  time left 10 s\x1b[K");
    err.str("");
    op.ask(QuestionKind::Report, "Broken.", kAskOkStop);
    EXPECT_EQ(err.str(), "\r\x1b[Kqel: Broken.\n");
    err.str("");
    op.fieldChanged(TransferField::Amount, "2.00");
    op.drawProgress();
    op.endProgress();
    op.endProgress();
    EXPECT_EQ(err.str(), "\rPROG1.PM  2.00 KB  3.00 KB/s  time left 10 s\x1b[K\n");

    // Behind the tape reader: the progress window's two lines.
    err.str("");
    op.fieldChanged(TransferField::ProgressLine, "Sending memory: 'A.PM' (1.00 KB)");
    op.fieldChanged(TransferField::ProgressText, "50 % (0.50 KB at 100 Bps)");
    op.drawProgress();
    EXPECT_EQ(err.str(), "\rSending memory: 'A.PM' (1.00 KB)  50 % (0.50 KB at 100 Bps)\x1b[K");
}

}  // namespace
}  // namespace qel
