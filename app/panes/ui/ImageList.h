// The shared 16 x 16 image list: one place that hands out every picture by its fixed index
// (0 closed folder, 1 open folder, 2 file without memory type, 3..35 memory types, 36 "Up one
// level", 38 several items being dragged, 41..45 drive kinds, 50 file manager, 51 Stop). The
// pictures are drawn as SVG, so they stay crisp on a 2x screen.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace qel::ui {

inline constexpr int kImageCount = 52;
inline constexpr int kImageClosedFolder = 0;
inline constexpr int kImageOpenFolder = 1;
inline constexpr int kImagePlainFile = 2;
inline constexpr int kImageUpOneLevel = 36;
inline constexpr int kImageSeveralItems = 38;
inline constexpr int kImageRemovableDrive = 41;
inline constexpr int kImageFixedDrive = 42;
inline constexpr int kImageCdRom = 43;
inline constexpr int kImageNetworkDrive = 44;
inline constexpr int kImageRamDisk = 45;
inline constexpr int kImageFileManager = 50;
inline constexpr int kImageStop = 51;

// The picture of an index; an index outside the list gives the plain file.
QIcon imageListIcon(int index);
// The program's own pictures beside the list: "splash", "qelveva", "pictures/pc", ...
QIcon programPicture(const QString& name);
QString programPicturePath(const QString& name);

}  // namespace qel::ui
