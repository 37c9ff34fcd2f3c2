#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

// ASCII character classes and case folding, independent of the locale: the files' codes, digits
// and names are ASCII whatever the code page of the text around them.
namespace orva {

constexpr bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr bool isAsciiUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

constexpr bool isAsciiLetter(char c) {
    return isAsciiUpper(c) || (c >= 'a' && c <= 'z');
}

// ASCII capitals to small letters; every other byte (Cyrillic included) as it is.
constexpr char foldAscii(char c) {
    return isAsciiUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool equalFoldedAscii(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return foldAscii(x) == foldAscii(y); });
}

inline bool allAsciiDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), isAsciiDigit);
}

// Whether `text` is blanks only (or empty). The blanks before a right-aligned amount are most of its
// field: compared eight at a time, not a byte.
inline bool allBlanks(std::string_view text) {
    constexpr std::uint64_t kEightBlanks = 0x2020202020202020ULL;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        if (word != kEightBlanks)
            return false;
    }
    for (; i < text.size(); ++i)
        if (text[i] != ' ')
            return false;
    return true;
}

} // namespace orva
