#include "shell/ui/CSplashWnd.h"

#include "panes/ui/ImageList.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace qel::ui {

namespace {
constexpr QSize kSplashSize(400, 240);
}

CSplashWnd* CSplashWnd::ShowSplashScreen(QWidget* owner, bool show) {
    if (!show) return nullptr;
    const qreal ratio = owner ? owner->devicePixelRatioF() : qApp->devicePixelRatio();
    QPixmap picture = programPicture(QStringLiteral("splash")).pixmap(kSplashSize, ratio);
    // No picture, no splash.
    if (picture.isNull()) return nullptr;
    auto* splash = new CSplashWnd(owner, std::move(picture));
    splash->show();
    QTimer::singleShot(kShowMs, splash, [splash, owner] {
        splash->close();
        if (owner) owner->update();
    });
    return splash;
}

CSplashWnd::CSplashWnd(QWidget* owner, QPixmap picture)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(std::move(picture)) {
    setObjectName(QStringLiteral("splash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kSplashSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void CSplashWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), picture_);
}

}  // namespace qel::ui
