// A question of a transfer's worker to the operator, and the one place where it waits for the
// answer. The worker posts the question and blocks; the owner of the run (the dialog, or qel)
// takes it on its own thread at its next display tick, asks the operator and hands the answer
// back. Stopping the run answers an open question with Cancel, so a worker never stays blocked
// on a question whose window is going away.
#pragma once

#include "transfer/RequestFlags.h"
#include "transfer/TransferOperator.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace qel {

struct OperatorQuestion {
    enum class Form {
        Ask,      // the question box with the buttons and icon of flags
        Confirm,  // a plain message box: Retry/Cancel or Yes/No
        NewName,  // the one-line input
    };
    Form form = Form::Ask;
    QuestionKind kind = QuestionKind::Report;
    std::string text;  // the question, or the prompt of the one-line input
    uint32_t flags = 0;
    BoxButtons buttons = BoxButtons::RetryCancel;
    BoxIcon icon = BoxIcon::Stop;
    std::string caption;
    std::string defaultText;
};

// Every form's answer; a default-made one is Cancel in each form.
struct OperatorAnswer {
    uint32_t button = IDCANCEL;       // Ask
    bool agreed = false;              // Confirm: Retry or Yes
    std::optional<std::string> name;  // NewName: the entered text on OK
};

// Asks the operator the question on the calling thread.
OperatorAnswer askOperator(TransferOperator& op, const OperatorQuestion& question);

class QuestionSlot {
  public:
    // Worker side: posts the question and waits until it is answered or the slot is closed
    // (then the answer is Cancel). One question at a time.
    OperatorAnswer ask(OperatorQuestion question);

    // Owner side: the question waiting to be asked, taken out so that it is asked only once.
    // Its ticket goes with the answer.
    struct Taken {
        uint64_t ticket = 0;
        OperatorQuestion question;
    };
    std::optional<Taken> take();
    // An answer for a question no longer open (answered Cancel meanwhile) is dropped.
    void answer(uint64_t ticket, OperatorAnswer answer);

    // Answers the open question, if any, with Cancel; later questions are asked as usual.
    void cancelOpen();
    // Answers the open question and every later one with Cancel, at once.
    void close();
    // A question waits and has not been taken yet.
    bool hasWaitingQuestion() const;
    // Called on the worker's thread after each question was posted, before it waits: the owner
    // may ask it at once instead of at its next tick. Set before the first question.
    void setOnPosted(std::function<void()> onPosted) { onPosted_ = std::move(onPosted); }

  private:
    mutable std::mutex lock_;
    std::condition_variable answered_;
    std::optional<OperatorQuestion> question_;
    bool taken_ = false;
    uint64_t ticket_ = 0;
    std::optional<OperatorAnswer> answer_;
    bool closed_ = false;
    std::function<void()> onPosted_;
};

}  // namespace qel
