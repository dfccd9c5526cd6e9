#include "panes/FileAnimationFrames.h"

namespace qel {

namespace {
constexpr int kSourceX = 0;
constexpr int kDestinationX = 220;

// Where the sheet is drawn, by picture.
constexpr int kSheetX[kSheetPictures] = {30,  44,  58,  76,  84,  98,  113, 118, 126,
                                         136, 146, 156, 168, 179, 191, 204, 211};
constexpr int kSheetY[kSheetPictures] = {16, 16, 14, 11, 8, 6, 5, 5, 4, 4, 3, 1, 3, 6, 8, 10, 12};

AnimationPicture source(int index) {
    return {AnimationPicture::List::Folder, index, kSourceX, 0};
}
AnimationPicture destination(int index) {
    return {AnimationPicture::List::Folder, index, kDestinationX, 0};
}
AnimationPicture sheet(int index) {
    return {AnimationPicture::List::Sheet, index, kSheetX[index], kSheetY[index]};
}
}  // namespace

std::vector<AnimationPicture> animationFrame(unsigned n) {
    const unsigned step = n % 20;
    const bool firstCycle = n < 20;
    // The destination opens at step 4 of the first cycle and stays empty until the first sheet
    // arrives; from then on it shows its contents.
    const int open = firstCycle ? 1 : 2;
    switch (step) {
        case 0:
            if (firstCycle) return {source(5), destination(0)};
            return {destination(n == 20 ? 1 : 2), sheet(16), source(7)};
        case 1:
            if (firstCycle) return {source(6), destination(0)};
            return {destination(n == 21 ? 4 : 3), source(7)};
        case 2:
            if (firstCycle) return {source(7), destination(0)};
            return {destination(2), source(7)};
        case 3:
            if (firstCycle) return {source(8), destination(0)};
            return {source(8), destination(2)};
        case 4:
            return {source(7), sheet(0), destination(open)};
        default:
            return {sheet(static_cast<int>(step) - 4), source(7), destination(open)};
    }
}

}  // namespace qel
