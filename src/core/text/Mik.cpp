#include "text/Mik.h"

#include <cstdint>
#include <cstring>

namespace orva {

void mikToWin1251InPlace(char* begin, char* end) {
    // Eight bytes at a time: a byte whose top bits are 10 (0x80..0xBF) gets bit 6 set, which moves
    // it up by 0x40; no other byte changes.
    constexpr std::uint64_t kTopBits = 0x8080808080808080ULL;
    char* at = begin;
    for (; end - at >= 8; at += 8) {
        std::uint64_t word;
        std::memcpy(&word, at, 8);
        word |= (word & ~(word << 1) & kTopBits) >> 1;
        std::memcpy(at, &word, 8);
    }
    for (; at != end; ++at) {
        const auto byte = static_cast<unsigned char>(*at);
        if ((byte & 0xC0) == 0x80)
            *at = static_cast<char>(byte | 0x40);
    }
}

void mikToWin1251InPlace(std::string& text) {
    mikToWin1251InPlace(text.data(), text.data() + text.size());
}

std::string mikToWin1251(std::string_view mik) {
    std::string text(mik);
    mikToWin1251InPlace(text);
    return text;
}

} // namespace orva
