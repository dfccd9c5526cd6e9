#include "remote/RemoteLog.h"

#include "remote/RemoteModeTexts.h"

#include <algorithm>

namespace qel::remote {

const std::string& RemoteLog::add(std::string_view line) {
    line = line.substr(0, std::min({line.find('\0'), line.size(), kLineLength}));
    started_ = true;
    auto empty = std::find_if(lines_.begin(), lines_.end(),
                              [](const std::string& held) { return held.empty(); });
    if (empty == lines_.end()) {
        std::rotate(lines_.begin(), lines_.begin() + 1, lines_.end());
        empty = lines_.end() - 1;
    }
    empty->assign(line);
    return *empty;
}

std::string RemoteLog::text() const {
    if (!started_) return remote_text::kLogStarted;
    std::string joined = lines_[0];
    for (int i = 1; i < kLines; ++i) joined += '\n' + lines_[static_cast<size_t>(i)];
    return joined;
}

}  // namespace qel::remote
