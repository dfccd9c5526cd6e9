// Every question box and message box of the program goes through one Prompter, so that a test
// can preset the next answers instead of a person clicking: a preset answer is taken without a
// window, and the question is recorded.
#pragma once

#include "transfer/RequestFlags.h"
#include "transfer/TransferOperator.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <deque>
#include <optional>

namespace qel::ui {

class Prompter {
  public:
    // The question box (CRequestDlg) with the buttons and icon of flags; IDYES, IDNO, IDCANCEL,
    // IDOK or IDYESTOALL.
    uint32_t ask(QWidget* parent, const QString& text, uint32_t flags, int helpId = 0);
    // The one-line input (CRStrDlg): the text on OK, nothing on Cancel.
    std::optional<QString> askText(QWidget* parent, const QString& prompt, const QString& value);
    // A plain message box with Retry and Cancel, or Yes and No: true for Retry or Yes. A preset
    // answer IDYES (or IDOK) stands for Retry or Yes, any other for Cancel or No.
    bool confirm(QWidget* parent, const QString& caption, const QString& text, BoxButtons buttons,
                 BoxIcon icon);
    // A plain message box with OK under caption.
    void tell(QWidget* parent, const QString& caption, const QString& text, bool error = true);
    // The same with the warning (exclamation) icon.
    void warn(QWidget* parent, const QString& caption, const QString& text);

    // Tests: the next questions are answered with these, in order, without a window.
    void presetAnswers(std::deque<uint32_t> answers) { answers_ = std::move(answers); }
    void presetTexts(std::deque<std::optional<QString>> texts) { texts_ = std::move(texts); }
    void presetAlways(bool on) { always_ = on; }  // message boxes too
    // Everything asked or told, in order.
    const QStringList& asked() const { return asked_; }

  private:
    void showMessage(QWidget* parent, const QString& caption, const QString& text, int icon);

    std::deque<uint32_t> answers_;
    std::deque<std::optional<QString>> texts_;
    bool always_ = false;
    QStringList asked_;
};

}  // namespace qel::ui
