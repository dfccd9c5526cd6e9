#include "panes/ui/ContextHelp.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWhatsThis>
#include <QWidget>

namespace qel::ui {

void addContextHelpKey(QWidget* window) {
    auto* contextHelp = new QShortcut(QKeySequence(Qt::Key_F1), window);
    QObject::connect(contextHelp, &QShortcut::activated, window, [window] {
        QWidget* focused = window->focusWidget();
        if (focused && !focused->whatsThis().isEmpty()) {
            QWhatsThis::showText(focused->mapToGlobal(focused->rect().center()),
                                 focused->whatsThis(), focused);
        }
    });
}

}  // namespace qel::ui
