// The Select page (dialog 110): which configuration the other pages show, New, Copy Default and
// Delete. A thin view of SelectPageModel.
#pragma once

#include "config/SelectPageModel.h"
#include "config/ui/SettingsPageView.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace qel::ui {

class CMyPropertyPage2 final : public SettingsPageView {
    Q_OBJECT
  public:
    enum ControlId {
        IDD = 110,
        IDC_CONFIGURATIONS = 1110,
        IDC_NEW = 1114,
        IDC_COPY_DEFAULT = 1063,
        IDC_DELETE = 1112,
    };

    CMyPropertyPage2(SelectPageModel& model, QWidget* parent = nullptr);
    void showState() override;

  signals:
    void captionChanged(const QString& caption);

  private:
    void showEnables();
    void create(bool copyDefault);

    SelectPageModel& model_;
    QLineEdit* name_;
    QListWidget* list_;
    QPushButton* new_;
    QPushButton* copyDefault_;
    QPushButton* delete_;
};

}  // namespace qel::ui
