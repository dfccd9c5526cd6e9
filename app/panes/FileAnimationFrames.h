// The frames of the file animation (CFileAnimation): a sheet flying from the source folder at
// the left of a 260 x 40 strip to the destination folder at its right. Frame n is drawn on the
// saved background from pictures of two lists: F, nine 40-pixel folder pictures (0 to 4 the
// destination, closed and empty, then open and filling; 5 to 8 the source, closed, opening, open
// with a sheet, sheet lifting), and P, seventeen 20-pixel pictures of the sheet in flight.
#pragma once

#include <vector>

namespace qel {

struct AnimationPicture {
    enum class List { Folder, Sheet };
    List list = List::Folder;
    int index = 0;
    int x = 0;
    int y = 0;
};

inline constexpr int kAnimationWidth = 260;
inline constexpr int kAnimationHeight = 40;
inline constexpr int kFolderPictures = 9;
inline constexpr int kSheetPictures = 17;

// The pictures of frame n, in drawing order.
std::vector<AnimationPicture> animationFrame(unsigned n);

}  // namespace qel
