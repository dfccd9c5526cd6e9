// What the settings sheet asks of each of its pages: show the page model's state in the
// controls, and before the page is left (another page, or OK) write the plain edits and check
// boxes back into the model.
#pragma once

#include <QWidget>

namespace qel::ui {

class SettingsPageView : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;
    ~SettingsPageView() override;
    virtual void showState() = 0;
    virtual void leave() {}
};

}  // namespace qel::ui
