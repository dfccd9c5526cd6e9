// printf-style formatting into a std::string, for the operator texts that come as format
// strings ("The file '%s' has been removed.").
#pragma once

#include <string>

namespace qel::remote {

std::string printfText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qel::remote
