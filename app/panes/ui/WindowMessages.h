// The program's own window messages, as Qt events.
#pragma once

#include <QEvent>

namespace qel::ui {

// Enter in the main window goes to the focused control as this event instead of closing.
inline const QEvent::Type WM_OPEN_FOCUSED_ITEM = static_cast<QEvent::Type>(QEvent::User + 0x0D);

}  // namespace qel::ui
