// The questions of a transfer run, asked with the program's own boxes through the Prompter:
// the question box, the one-line input and the plain Retry/Cancel or Yes/No box. The windows
// of the runs build their display on it.
#pragma once

#include "panes/ui/Prompter.h"
#include "transfer/TransferOperator.h"

#include <QPointer>
#include <QWidget>

namespace qel::ui {

class PromptingOperator : public TransferOperator {
  public:
    explicit PromptingOperator(Prompter& prompter) : prompter_(prompter) {}

    // The window the boxes open over.
    void setQuestionParent(QWidget* parent) { parent_ = parent; }

    uint32_t ask(QuestionKind kind, std::string_view text, uint32_t flags) override;
    std::optional<std::string> askNewName(std::string_view prompt,
                                          std::string_view defaultText) override;
    bool confirm(QuestionKind kind, BoxButtons buttons, BoxIcon icon, std::string_view caption,
                 std::string_view text) override;

  protected:
    Prompter& prompter() { return prompter_; }

  private:
    Prompter& prompter_;
    QPointer<QWidget> parent_;
};

inline QString fromEngine(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace qel::ui
