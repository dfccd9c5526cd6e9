#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cncsim {

// Several part programs in one stream, each opened by a header line "%" + type + name.
// Joining gives every program that does not begin with "%" such a header; splitting cuts at
// each header line and names the program after it (data before the first header is named
// after the type).
std::string joinPrograms(std::string_view type,
                         const std::vector<std::pair<std::string, std::string>>& programs);
std::vector<std::pair<std::string, std::string>> splitPrograms(std::string_view type,
                                                               std::string_view stream);

}  // namespace cncsim
