#include "Rxa2Frame.h"

#include "ControlBytes.h"

namespace cncsim {

std::uint8_t blockCheck(std::string_view telegram) {
    std::uint8_t bcc = kEtx;
    for (char c : telegram) bcc ^= static_cast<std::uint8_t>(c);
    return bcc;
}

std::string encodeFrame(std::string_view telegram) {
    std::string frame;
    frame.reserve(telegram.size() + 8);
    frame += static_cast<char>(kDle);
    frame += static_cast<char>(kStx);
    for (char c : telegram) {
        frame += c;
        if (static_cast<std::uint8_t>(c) == kDle) frame += c;
    }
    frame += static_cast<char>(kDle);
    frame += static_cast<char>(kEtx);
    frame += static_cast<char>(blockCheck(telegram));
    return frame;
}

}  // namespace cncsim
