// Texts of the configuration record in the windows. The record holds bytes: what this program
// writes is UTF-8, a file written elsewhere may hold a one-byte code page, shown as Latin-1
// rather than garbled.
#pragma once

#include "config/FixedText.h"

#include <QString>

#include <string>
#include <string_view>

namespace qel::ui {

inline QString recordText(std::string_view text) {
    const auto size = static_cast<qsizetype>(text.size());
    return isUtf8(text) ? QString::fromUtf8(text.data(), size)
                        : QString::fromLatin1(text.data(), size);
}

inline std::string toRecordText(const QString& text) {
    return text.toStdString();
}

}  // namespace qel::ui
