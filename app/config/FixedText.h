// Text in the record's fixed char fields: always NUL-terminated inside the field, never longer.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace qel {

// Stores text cut to N-1 characters; the rest of the field is zero-filled so that the bytes
// written to the file do not depend on what the field held before.
template <std::size_t N>
void setText(char (&field)[N], std::string_view text) {
    const std::size_t length = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), length);
    std::memset(field + length, 0, N - length);
}

// The text of a field: up to the first NUL, or the whole field when it has none.
template <std::size_t N>
std::string_view textOf(const char (&field)[N]) {
    const void* nul = std::memchr(field, '\0', N);
    return {field, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : N};
}

// Cuts a field that came from a file without a terminating NUL to N-1 characters, so that
// C-string readers stop inside it.
template <std::size_t N>
void terminateText(char (&field)[N]) {
    if (!std::memchr(field, '\0', N)) field[N - 1] = '\0';
}

}  // namespace qel
