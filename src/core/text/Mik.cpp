#include "text/Mik.h"

namespace orva {

void mikToWin1251InPlace(std::string& text) {
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte <= 0xBF)
            c = static_cast<char>(byte + 0x40);
    }
}

std::string mikToWin1251(std::string_view mik) {
    std::string text(mik);
    mikToWin1251InPlace(text);
    return text;
}

} // namespace orva
