#include "panes/ui/Prompter.h"

#include "panes/ui/CRStrDlg.h"
#include "panes/ui/CRequestDlg.h"

#include <QMessageBox>

namespace qel::ui {

uint32_t Prompter::ask(QWidget* parent, const QString& text, uint32_t flags, int helpId) {
    asked_.append(text);
    if (!answers_.empty()) {
        const uint32_t answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    if (always_) return IDCANCEL;
    CRequestDlg box(parent);
    return box.Ask(text, flags, helpId);
}

std::optional<QString> Prompter::askText(QWidget* parent, const QString& prompt,
                                         const QString& value) {
    asked_.append(prompt);
    if (!texts_.empty()) {
        const bool entered = texts_.front().has_value();
        const QString text = entered ? *texts_.front() : QString();
        texts_.pop_front();
        if (!entered) return std::nullopt;
        return text;
    }
    if (always_) return std::nullopt;
    CRStrDlg input(parent);
    input.setPrompt(prompt);
    input.setValue(value);
    if (input.exec() != QDialog::Accepted) return std::nullopt;
    return input.value();
}

bool Prompter::confirm(QWidget* parent, const QString& caption, const QString& text,
                       BoxButtons buttons, BoxIcon icon) {
    asked_.append(text);
    if (!answers_.empty()) {
        const uint32_t answer = answers_.front();
        answers_.pop_front();
        return answer == IDYES || answer == IDOK;
    }
    if (always_) return false;
    const bool retry = buttons == BoxButtons::RetryCancel;
    QMessageBox box(
        icon == BoxIcon::Stop ? QMessageBox::Critical : QMessageBox::Warning, caption, text,
        retry ? QMessageBox::Retry | QMessageBox::Cancel : QMessageBox::Yes | QMessageBox::No,
        parent);
    const int answer = box.exec();
    return answer == QMessageBox::Retry || answer == QMessageBox::Yes;
}

void Prompter::tell(QWidget* parent, const QString& caption, const QString& text, bool error) {
    showMessage(parent, caption, text, error ? QMessageBox::Critical : QMessageBox::Information);
}

void Prompter::warn(QWidget* parent, const QString& caption, const QString& text) {
    showMessage(parent, caption, text, QMessageBox::Warning);
}

void Prompter::showMessage(QWidget* parent, const QString& caption, const QString& text, int icon) {
    asked_.append(text);
    if (always_ || !answers_.empty()) {
        if (!answers_.empty()) answers_.pop_front();
        return;
    }
    QMessageBox box(static_cast<QMessageBox::Icon>(icon), caption, text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace qel::ui
