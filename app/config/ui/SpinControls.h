// The two kinds of spin control of the settings pages.
#pragma once

#include <QAbstractSpinBox>
#include <QString>

namespace qel::ui {

// A number edit with spin arrows: the edit takes digits only and any count of them (the page
// stores what was typed, without range check); the arrows stay within minimum..maximum.
class NumberSpinEdit final : public QAbstractSpinBox {
    Q_OBJECT
  public:
    NumberSpinEdit(int minimum, int maximum, QWidget* parent = nullptr);
    QString value() const { return text(); }
    void setValue(const QString& text);
    void stepBy(int steps) override;

  protected:
    StepEnabled stepEnabled() const override;

  private:
    int minimum_;
    int maximum_;
};

// Spin arrows beside a text the page decides: each arrow click is reported as stepped(+1 or
// -1) and the page shows what follows.
class StepSpin final : public QAbstractSpinBox {
    Q_OBJECT
  public:
    explicit StepSpin(QWidget* parent = nullptr);
    void setShownText(const QString& text);
    void stepBy(int steps) override;

  signals:
    void stepped(int steps);

  protected:
    StepEnabled stepEnabled() const override;
};

}  // namespace qel::ui
