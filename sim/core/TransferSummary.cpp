#include "TransferSummary.h"

#include <cstdio>

namespace cncsim {

void TransferSummary::finish(const std::string& outcome) {
    if (out_ == nullptr) return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", seconds);
    *out_ << "transfer " << what_ << ' ' << memory_ << ": " << bytes_ << " bytes in " << time
          << " s, " << outcome << std::endl;
}

}  // namespace cncsim
