#pragma once

#include <string>
#include <string_view>

namespace orva {

// Windows-1251 <-> UTF-8 / UTF-16 for the screen, the printer and the terminal.
// A character that Windows-1251 lacks becomes "?"; malformed UTF-8 bytes too.
std::string win1251ToUtf8(std::string_view text);
std::u16string win1251ToUtf16(std::string_view text);
std::string utf8ToWin1251(std::string_view text);
std::string utf16ToWin1251(std::u16string_view text);

// The UTF-16 code unit of one Windows-1251 byte (U+FFFD for the one unassigned byte 0x98).
char16_t win1251Char(unsigned char byte);

} // namespace orva
