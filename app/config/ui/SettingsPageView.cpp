#include "config/ui/SettingsPageView.h"

namespace qel::ui {

SettingsPageView::~SettingsPageView() = default;

}  // namespace qel::ui
