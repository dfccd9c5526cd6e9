// The file animation's frames: which pictures stand where.
#include "panes/FileAnimationFrames.h"

#include <gtest/gtest.h>

#include <string>

namespace qel {
namespace {

// "S5 D0", "P16@211,12": source/destination folder pictures and the sheet with its place.
std::string frame(unsigned n) {
    std::string text;
    for (const AnimationPicture& p : animationFrame(n)) {
        if (!text.empty()) text += ' ';
        if (p.list == AnimationPicture::List::Sheet) {
            text += "P" + std::to_string(p.index) + "@" + std::to_string(p.x) + "," +
                    std::to_string(p.y);
        } else {
            text += (p.x == 0 ? "S" : "D") + std::to_string(p.index);
        }
    }
    return text;
}

TEST(FileAnimation, BeforeDataFlowsBothFoldersAreClosed) {
    EXPECT_EQ(frame(0), "S5 D0");
}

TEST(FileAnimation, TheFirstCycleOpensTheFoldersAndSendsTheFirstSheet) {
    EXPECT_EQ(frame(1), "S6 D0");
    EXPECT_EQ(frame(3), "S8 D0");
    EXPECT_EQ(frame(4), "S7 P0@30,16 D1");
    EXPECT_EQ(frame(19), "P15@204,10 S7 D1");
}

TEST(FileAnimation, TheFirstArrivalFillsTheDestinationOnce) {
    EXPECT_EQ(frame(20), "D1 P16@211,12 S7");
    EXPECT_EQ(frame(21), "D4 S7");
    EXPECT_EQ(frame(22), "D2 S7");
    EXPECT_EQ(frame(23), "S8 D2");
    EXPECT_EQ(frame(24), "S7 P0@30,16 D2");
    EXPECT_EQ(frame(40), "D2 P16@211,12 S7");
    EXPECT_EQ(frame(41), "D3 S7");
}

TEST(FileAnimation, EveryPictureLiesWithinTheStrip) {
    for (unsigned n = 0; n < 100; ++n) {
        for (const AnimationPicture& p : animationFrame(n)) {
            const bool sheet = p.list == AnimationPicture::List::Sheet;
            EXPECT_LT(p.index, sheet ? kSheetPictures : kFolderPictures);
            EXPECT_LE(p.x + (sheet ? 20 : 40), kAnimationWidth) << n;
            EXPECT_LE(p.y + (sheet ? 20 : 40), kAnimationHeight) << n;
        }
    }
}

}  // namespace
}  // namespace qel
