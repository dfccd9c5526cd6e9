#include "client/MemoryAddress.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

TEST(MemoryAddress, WholeTypeByBareTypeOrTypeDotTypeInAnyCase) {
    for (const char* name : {"PM", "pm", "PM.PM", "pm.PM", "Pm.pm"}) {
        const auto address = parseMemoryFileName(name);
        ASSERT_TRUE(address) << name;
        EXPECT_TRUE(address->wholeType()) << name;
        EXPECT_EQ(address->telegram("LI"), "LIPM") << name;
    }
}

TEST(MemoryAddress, TypeIsTheFirstTwoCharactersAfterTheLastDot) {
    const auto address = parseMemoryFileName("my.prog.mpx");
    ASSERT_TRUE(address);
    EXPECT_EQ(address->type, "mp");
    EXPECT_EQ(address->name, "my.prog");
    EXPECT_EQ(address->telegram("PT"), "PTMPmy.prog");
    EXPECT_EQ(address->telegramAsWritten("BR"), "BRmpmy.prog");
}

}  // namespace
}  // namespace qel
