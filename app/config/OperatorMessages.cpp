#include "config/OperatorMessages.h"

#include <iostream>

namespace qel {

StreamMessages::StreamMessages() : stream_(std::cerr) {}

void StreamMessages::show(MessageKind, std::string_view caption, std::string_view text) {
    stream_ << caption << ": " << text << '\n' << std::flush;
}

}  // namespace qel
