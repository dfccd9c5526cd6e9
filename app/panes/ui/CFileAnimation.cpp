#include "panes/ui/CFileAnimation.h"

#include "panes/FileAnimationFrames.h"
#include "panes/ui/ControlIds.h"

#include <QIcon>
#include <QPainter>

namespace qel::ui {

namespace {
constexpr int kFolderSize = 40;
constexpr int kSheetSize = 20;

QString picturePath(const AnimationPicture& picture) {
    if (picture.list == AnimationPicture::List::Folder) {
        return QStringLiteral(":/qelveva/animation/folder-%1.svg").arg(picture.index);
    }
    return QStringLiteral(":/qelveva/animation/sheet-%1.svg")
        .arg(picture.index, 2, 10, QLatin1Char('0'));
}
}  // namespace

CFileAnimation::CFileAnimation(QWidget* parent) : QWidget(parent) {
    identify(this, IDC_ANIMATION);
    setFixedSize(kAnimationWidth, kAnimationHeight);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

QSize CFileAnimation::sizeHint() const {
    return {kAnimationWidth, kAnimationHeight};
}

void CFileAnimation::Advance() {
    ++step_;
    update();
}

QPixmap CFileAnimation::frame() const {
    const qreal ratio = devicePixelRatioF();
    QPixmap composed(QSize(kAnimationWidth, kAnimationHeight) * ratio);
    composed.setDevicePixelRatio(ratio);
    composed.fill(Qt::transparent);
    QPainter painter(&composed);
    for (const AnimationPicture& picture : animationFrame(step_)) {
        const int size = picture.list == AnimationPicture::List::Folder ? kFolderSize : kSheetSize;
        const QPixmap image = QIcon(picturePath(picture)).pixmap(QSize(size, size), ratio);
        painter.drawPixmap(picture.x, picture.y, size, size, image);
    }
    return composed;
}

void CFileAnimation::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, frame());
}

}  // namespace qel::ui
