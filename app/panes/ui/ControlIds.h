// Every control keeps its resource id: tooltips, context help and the objectName ("c1037") that
// automation finds it by derive from it.
#pragma once

#include <QString>
#include <QWidget>

namespace qel::ui {

inline QString controlName(int id) {
    return QStringLiteral("c%1").arg(id);
}

// Names the control for automation and, with a label, for screen readers: a list, combo box,
// edit or progress bar is called by its label, without the colon.
inline void identify(QWidget* control, int id, const QString& accessibleName = {}) {
    control->setObjectName(controlName(id));
    if (!accessibleName.isEmpty()) control->setAccessibleName(accessibleName);
}

}  // namespace qel::ui
