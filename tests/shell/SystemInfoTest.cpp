// The about box's machine facts.
#include "shell/SystemInfo.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

TEST(SystemInfo, AvailableMemoryComesFromItsOwnLineOnly) {
    EXPECT_EQ(availableMemoryIn("MemTotal:  2000 kB\nMemFree: 10 kB\nMemAvailable:  1234 kB\n"),
              1234u);
    EXPECT_EQ(availableMemoryIn("MemTotal: 2000 kB\n"), std::nullopt);
    EXPECT_EQ(availableMemoryIn("MemAvailable: kB\n"), std::nullopt);
    EXPECT_EQ(availableMemoryIn("MemAvailable: 99999999999999999999999 kB\n"), std::nullopt);
    EXPECT_TRUE(availableMemoryKilobytes().has_value());  // this machine has /proc
}

TEST(SystemInfo, TheVersionTextNamesKernelReleaseAndItsNumbers) {
    EXPECT_EQ(systemVersionText("Linux", "6.1.0-18-amd64"), "Linux 6.1.0-18-amd64  v6.1");
    EXPECT_EQ(systemVersionText("Linux", "5"), "Linux 5  v5.0");
    EXPECT_EQ(systemVersionText().rfind("Linux ", 0), 0u);
}

}  // namespace
}  // namespace qel
