// The program's own help: what the panes and buttons do, how to connect a serial line or a
// TCP/IP CNC, and where the settings file lives.
#pragma once

#include <QDialog>

namespace qel::ui {

class HelpWindow : public QDialog {
    Q_OBJECT
  public:
    // Shows the one help window beside parent, or raises it.
    static HelpWindow* showFor(QWidget* parent);
    static QString helpText();

  private:
    explicit HelpWindow(QWidget* parent);
};

}  // namespace qel::ui
