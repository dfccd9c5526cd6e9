// QelVeva, the desktop program.
#include "shell/ui/QelVevaApp.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    int status = 0;
    if (const auto answer = qel::ui::answerWithoutDisplay(argc, argv, status)) {
        std::fputs(answer->c_str(), stdout);
        return status;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QelVeva"));
    QApplication::setDesktopFileName(QStringLiteral("qelveva"));
    return qel::ui::runQelVeva(argc, argv);
}
