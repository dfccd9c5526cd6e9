// The splash window: the program's picture, centred, borderless, for 750 ms while the main
// window starts (not when an address was given on the command line).
#pragma once

#include <QPixmap>
#include <QWidget>

namespace qel::ui {

class CSplashWnd : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kShowMs = 750;

    // Shows the splash over owner when show is set; it closes and deletes itself.
    static CSplashWnd* ShowSplashScreen(QWidget* owner, bool show);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    explicit CSplashWnd(QWidget* owner, QPixmap picture);
    QPixmap picture_;
};

}  // namespace qel::ui
