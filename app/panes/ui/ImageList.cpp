#include "panes/ui/ImageList.h"

#include <QFile>

namespace qel::ui {

namespace {
QString imagePath(int index) {
    return QStringLiteral(":/qelveva/icons/%1.svg").arg(index, 2, 10, QLatin1Char('0'));
}
}  // namespace

QIcon imageListIcon(int index) {
    if (index < 0 || index >= kImageCount) index = kImagePlainFile;
    const QString path = imagePath(index);
    return QIcon(QFile::exists(path) ? path : imagePath(kImagePlainFile));
}

QString programPicturePath(const QString& name) {
    return QStringLiteral(":/qelveva/%1.svg").arg(name);
}

QIcon programPicture(const QString& name) {
    return QIcon(programPicturePath(name));
}

}  // namespace qel::ui
