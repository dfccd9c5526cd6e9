#include "remote/TransferProgress.h"

#include "remote/PrintfText.h"

#include <algorithm>

namespace qel::remote {

ProgressPicture drawProgress(const ProgressValues& values) {
    const int64_t span = std::max<int64_t>(1, values.maximum - values.minimum);
    int64_t percent = (values.position - values.minimum) * 100 / span;
    if (percent != 100) percent %= 100;
    ProgressPicture picture;
    picture.percent = static_cast<int>(percent);
    const double kilobytes = static_cast<double>(values.position) / 1024.0;
    switch (values.mode) {
        case ProgressMode::Kilobytes:
            picture.text = printfText("(%.2fKB)", kilobytes);
            break;
        case ProgressMode::PercentAndKilobytes:
            picture.text = printfText("%d%c (%.2fKB)", picture.percent, '%', kilobytes);
            break;
        case ProgressMode::Percent:
            picture.text = printfText("%d%c", picture.percent, '%');
            break;
    }
    return picture;
}

}  // namespace qel::remote
