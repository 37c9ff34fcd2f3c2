// The code-page conversions on any bytes: MIK to Windows-1251 moves exactly 0x80..0xBF, Windows-1251
// goes to UTF-8 and UTF-16 and back unchanged (the one unassigned byte 0x98 comes back as "?"), and
// any UTF-8 or UTF-16 input converts to no more bytes than it has characters, whose UTF-8 is valid.
// The code-page count does not depend on how the bytes are cut into blocks.
#include "FuzzChecks.h"

#include "text/CodePage.h"
#include "text/Encoding.h"
#include "text/Mik.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::string win1251 = orva::mikToWin1251(bytes);
    fuzz::require(win1251.size() == bytes.size());
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char mik = data[i];
        const unsigned char converted = static_cast<unsigned char>(win1251[i]);
        fuzz::require(converted == (mik >= 0x80 && mik <= 0xBF ? mik + 0x40 : mik));
    }
    std::string inPlace(bytes);
    orva::mikToWin1251InPlace(inPlace);
    fuzz::require(inPlace == win1251);

    std::string expected(bytes);
    for (char& c : expected)
        if (static_cast<unsigned char>(c) == 0x98)
            c = '?';
    const std::string utf8 = orva::win1251ToUtf8(bytes);
    fuzz::require(fuzz::isValidUtf8(utf8));
    fuzz::require(orva::utf8ToWin1251(utf8) == expected);
    fuzz::require(orva::utf16ToWin1251(orva::win1251ToUtf16(bytes)) == expected);

    const std::string fromUtf8 = orva::utf8ToWin1251(bytes);
    fuzz::require(fromUtf8.size() <= bytes.size());
    fuzz::require(fuzz::isValidUtf8(orva::win1251ToUtf8(fromUtf8)));
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    fuzz::require(orva::utf16ToWin1251(units).size() <= units.size());

    orva::CodePageCounter whole, pieces;
    whole.add(bytes.data(), size);
    for (std::size_t at = 0, step = 1; at < size; at += step, step = step % 7 + 1)
        pieces.add(bytes.data() + at, std::min(step, size - at));
    fuzz::require(whole.codePage() == pieces.codePage());
    return 0;
}
