#include "transfer/ui/PromptingOperator.h"

namespace qel::ui {

uint32_t PromptingOperator::ask(QuestionKind, std::string_view text, uint32_t flags) {
    return prompter_.ask(parent_, fromEngine(text), flags);
}

std::optional<std::string> PromptingOperator::askNewName(std::string_view prompt,
                                                         std::string_view defaultText) {
    const auto entered = prompter_.askText(parent_, fromEngine(prompt), fromEngine(defaultText));
    if (!entered) return std::nullopt;
    return entered->toStdString();
}

bool PromptingOperator::confirm(QuestionKind, BoxButtons buttons, BoxIcon icon,
                                std::string_view caption, std::string_view text) {
    return prompter_.confirm(parent_, fromEngine(caption), fromEngine(text), buttons, icon);
}

}  // namespace qel::ui
