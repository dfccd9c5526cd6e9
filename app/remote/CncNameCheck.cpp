#include "remote/CncNameCheck.h"

namespace qel::remote {

bool leavesServedFolder(std::string_view name) {
    return name == "." || name == ".." || name.find('/') != std::string_view::npos ||
           name.find('\0') != std::string_view::npos;
}

}  // namespace qel::remote
