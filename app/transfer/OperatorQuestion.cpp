#include "transfer/OperatorQuestion.h"

#include <utility>

namespace qel {

OperatorAnswer askOperator(TransferOperator& op, const OperatorQuestion& question) {
    OperatorAnswer answer;
    switch (question.form) {
        case OperatorQuestion::Form::Ask:
            answer.button = op.ask(question.kind, question.text, question.flags);
            break;
        case OperatorQuestion::Form::Confirm:
            answer.agreed = op.confirm(question.kind, question.buttons, question.icon,
                                       question.caption, question.text);
            break;
        case OperatorQuestion::Form::NewName:
            answer.name = op.askNewName(question.text, question.defaultText);
            break;
    }
    return answer;
}

OperatorAnswer QuestionSlot::ask(OperatorQuestion question) {
    std::unique_lock lock(lock_);
    if (closed_) return {};
    question_ = std::move(question);
    taken_ = false;
    answer_.reset();
    ++ticket_;
    if (onPosted_) {
        lock.unlock();
        onPosted_();
        lock.lock();
    }
    answered_.wait(lock, [&] { return answer_.has_value() || closed_; });
    OperatorAnswer result = answer_.value_or(OperatorAnswer{});
    question_.reset();
    answer_.reset();
    return result;
}

std::optional<QuestionSlot::Taken> QuestionSlot::take() {
    std::lock_guard guard(lock_);
    if (!question_ || taken_ || answer_) return std::nullopt;
    taken_ = true;
    return Taken{ticket_, *question_};
}

void QuestionSlot::answer(uint64_t ticket, OperatorAnswer answer) {
    {
        std::lock_guard guard(lock_);
        if (!question_ || ticket != ticket_ || answer_) return;
        answer_ = std::move(answer);
    }
    answered_.notify_all();
}

void QuestionSlot::cancelOpen() {
    {
        std::lock_guard guard(lock_);
        if (!question_ || answer_) return;
        answer_ = OperatorAnswer{};
    }
    answered_.notify_all();
}

void QuestionSlot::close() {
    {
        std::lock_guard guard(lock_);
        closed_ = true;
    }
    answered_.notify_all();
}

bool QuestionSlot::hasWaitingQuestion() const {
    std::lock_guard guard(lock_);
    return question_.has_value() && !taken_ && !answer_;
}

}  // namespace qel
