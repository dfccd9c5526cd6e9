// Text in the record's fixed char fields: always NUL-terminated inside the field, never longer.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace qel {

// True when text is well-formed UTF-8 (ASCII included).
inline bool isUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80                   ? 1
                             : lead >= 0xC2 && lead < 0xE0 ? 2
                             : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xF0 && lead < 0xF5 ? 4
                                                           : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        const auto second = static_cast<unsigned char>(text[i + 1 < text.size() ? i + 1 : i]);
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
            (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
            return false;  // overlong forms, surrogates, beyond U+10FFFF
        i += length;
    }
    return true;
}

// How much of text fits into limit bytes. A UTF-8 text is cut between characters, never inside
// one; other bytes (a name written elsewhere in a one-byte code page) are cut at the limit.
inline std::size_t fittingLength(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text.size();
    std::size_t length = limit;
    if (isUtf8(text)) {
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    }
    return length;
}

// Stores text cut to N-1 bytes (see fittingLength); the rest of the field is zero-filled so that
// the bytes written to the file do not depend on what the field held before.
template <std::size_t N>
void setText(char (&field)[N], std::string_view text) {
    const std::size_t length = fittingLength(text, N - 1);
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
