#include "config/ui/SpinControls.h"

#include "config/CommunicationsPageModel.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>

#include <algorithm>

namespace qel::ui {

NumberSpinEdit::NumberSpinEdit(int minimum, int maximum, QWidget* parent)
    : QAbstractSpinBox(parent), minimum_(minimum), maximum_(maximum) {
    lineEdit()->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,19}")), lineEdit()));
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 32);
}

void NumberSpinEdit::setValue(const QString& text) {
    lineEdit()->setText(text);
}

void NumberSpinEdit::stepBy(int steps) {
    const int current = numberFieldValue(text().toStdString());
    const int next = std::clamp(current + steps, minimum_, maximum_);
    lineEdit()->setText(QString::number(next));
    lineEdit()->selectAll();
}

QAbstractSpinBox::StepEnabled NumberSpinEdit::stepEnabled() const {
    const int current = numberFieldValue(text().toStdString());
    StepEnabled enabled = StepNone;
    if (current < maximum_) enabled |= StepUpEnabled;
    if (current > minimum_) enabled |= StepDownEnabled;
    return enabled;
}

StepSpin::StepSpin(QWidget* parent) : QAbstractSpinBox(parent) {
    lineEdit()->setReadOnly(true);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
}

void StepSpin::setShownText(const QString& text) {
    lineEdit()->setText(text);
}

void StepSpin::stepBy(int steps) {
    emit stepped(steps > 0 ? 1 : -1);
}

QAbstractSpinBox::StepEnabled StepSpin::stepEnabled() const {
    // Every click reaches the page, which beeps at the end of its range.
    return StepUpEnabled | StepDownEnabled;
}

}  // namespace qel::ui
