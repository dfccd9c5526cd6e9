// The progress display of a file transfer: the values the transfers hand over and what the bar
// and the text beside it show for them.
#pragma once

#include <cstdint>
#include <string>

namespace qel::remote {

enum class ProgressMode {
    Percent = 0,              // "12%"
    Kilobytes = 1,            // "(0.12KB)", when the size is not known (receiving)
    PercentAndKilobytes = 2,  // "12% (0.12KB)" (sending)
};

struct ProgressValues {
    int64_t minimum = 0;
    int64_t maximum = 100;
    int64_t step = 10;
    int64_t position = 0;
    ProgressMode mode = ProgressMode::Percent;
};

struct ProgressPicture {
    int percent = 0;  // the bar, 0..100
    std::string text;
};

// The bar wraps past 100 % (a received file of unknown size counts on beyond the maximum);
// exactly 100 % stays 100.
ProgressPicture drawProgress(const ProgressValues& values);

// The progress text before the first transfer.
inline constexpr const char* kInitialProgressText = " 0 %";

}  // namespace qel::remote
