#pragma once

#include <cstddef>
#include <cstdint>

namespace orva {

// The two code pages the VAT files come in: the older generation's MIK (Bulgarian DOS) and
// today's Windows-1251.
enum class CodePage { Mik, Windows1251 };

// Which code page a file is in, from its bytes: MIK keeps Cyrillic letters in 0x80..0xBF,
// Windows-1251 in 0xC0..0xFF (its 0x80..0xBF is punctuation), so whichever range holds more
// bytes wins. A tie, no byte above 0x7F or an empty file is MIK, as the older files always were.
class CodePageCounter {
public:
    void add(const char* data, std::size_t size);
    CodePage codePage() const { return high_ > low_ ? CodePage::Windows1251 : CodePage::Mik; }

private:
    std::uint64_t low_ = 0;  // 0x80..0xBF
    std::uint64_t high_ = 0; // 0xC0..0xFF
};

// "MIK" / "Windows-1251".
const char* codePageName(CodePage codePage);

} // namespace orva
