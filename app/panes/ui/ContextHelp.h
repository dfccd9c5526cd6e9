// Context help on a window's controls: F1 shows the focused control's "What's This?" text.
#pragma once

class QWidget;

namespace qel::ui {

void addContextHelpKey(QWidget* window);

}  // namespace qel::ui
