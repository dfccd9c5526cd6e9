// The small animation of a sheet flying from one folder to the other (control 1107 of the
// receive and send dialogs), advanced one step per display tick in which bytes moved. Each frame
// is composed off screen and drawn in one piece, so it does not flicker at the dialogs' 100 ms
// timer.
#pragma once

#include <QPixmap>
#include <QVector>
#include <QWidget>

namespace qel::ui {

class CFileAnimation : public QWidget {
    Q_OBJECT
  public:
    enum ControlId { IDC_ANIMATION = 1107 };

    explicit CFileAnimation(QWidget* parent = nullptr);

    void Advance();
    unsigned step() const { return step_; }
    // Frame step() as it is shown.
    QPixmap frame() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    unsigned step_ = 0;
};

}  // namespace qel::ui
