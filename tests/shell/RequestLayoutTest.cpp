// The question box's buttons, default and icon for each flag word.
#include "panes/RequestLayout.h"

#include <gtest/gtest.h>

#include <string>

namespace qel {
namespace {

// "Y A N C H O": the buttons shown, "-" for a hidden one.
std::string shown(const RequestLayout& layout) {
    std::string text;
    text += layout.yes ? 'Y' : '-';
    text += layout.yesToAll ? 'A' : '-';
    text += layout.no ? 'N' : '-';
    text += layout.cancel ? 'C' : '-';
    text += layout.help ? 'H' : '-';
    text += layout.ok ? 'O' : '-';
    return text;
}

TEST(RequestLayout, TheCallersFlagWordsShowTheirButtons) {
    EXPECT_EQ(shown(requestLayout(kAskYesAllNoCancel)), "YANC--");
    EXPECT_EQ(shown(requestLayout(kAskYesAllCancelWarning)), "YA-C--");
    EXPECT_EQ(shown(requestLayout(kAskYesNoWarning)), "Y-N---");
    EXPECT_EQ(shown(requestLayout(kAskYesAllNo)), "YAN---");
    EXPECT_EQ(shown(requestLayout(kAskOkStop)), "-----O");
    EXPECT_EQ(shown(requestLayout(kAskOkCancelStop)), "---C-O");
    EXPECT_EQ(requestLayout(kAskYesAllNoCancel).defaultAnswer, IDYES);
}

TEST(RequestLayout, OkHidesYesAndYesToAllAndTakesTheFocus) {
    const RequestLayout layout = requestLayout(0x20 | 0x02 | 0x01);
    EXPECT_EQ(shown(layout), "-----O");
    EXPECT_EQ(layout.defaultAnswer, IDOK);
}

TEST(RequestLayout, HelpStandsInCancelsPlace) {
    EXPECT_EQ(shown(requestLayout(0x18)), "----H-");
    EXPECT_EQ(requestLayout(0x18).defaultAnswer, 0u);  // no Yes, no OK: nothing has the focus
}

TEST(RequestLayout, StopWinsOverExclamationAndTheQuestionMarkIsTheDefault) {
    EXPECT_EQ(requestLayout(0x10020).icon, RequestIcon::Stop);
    EXPECT_EQ(requestLayout(0x30000).icon, RequestIcon::Stop);
    EXPECT_EQ(requestLayout(0x20006).icon, RequestIcon::Exclamation);
    EXPECT_EQ(requestLayout(0x40007).icon, RequestIcon::Question);
    EXPECT_EQ(requestLayout(0x00007).icon, RequestIcon::Question);
}

}  // namespace
}  // namespace qel
