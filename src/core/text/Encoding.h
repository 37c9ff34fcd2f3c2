#pragma once

#include <string>
#include <string_view>

namespace orva {

// Windows-1251 <-> UTF-8 / UTF-16 for the screen, the printer and the terminal.
// A character that Windows-1251 lacks becomes "?"; malformed UTF-8 bytes too.
std::string win1251ToUtf8(std::string_view text);
// The same appended to `out`: a caller converting many short texts keeps one string.
void appendWin1251AsUtf8(std::string& out, std::string_view text);
std::u16string win1251ToUtf16(std::string_view text);
std::string utf8ToWin1251(std::string_view text);
std::string utf16ToWin1251(std::u16string_view text);

// Text as it may reach a terminal or a message: CR, LF and TAB as \r, \n and \t, the other bytes
// below 0x20 and 0x7F as \xHH; everything else as it is. Every message that carries bytes of a file
// (a VAT number, a period, an amount, a folder's name) is shown through it, so that an escape
// sequence in a file never reaches the terminal and a CR LF never splits a line.
std::string shownText(std::string_view text);

// A name from the file system (a folder's path) as UTF-8 for a report that must stay valid UTF-8 (JSON,
// CSV, xlsx): its valid UTF-8 sequences as they are, each other byte read as Windows-1251 (the code
// page of folders named on older systems), and the one byte Windows-1251 lacks (0x98) as \x98.
// Overlong forms, surrogates and code points past U+10FFFF are not valid.
std::string fileNameAsUtf8(std::string_view bytes);

// The UTF-16 code unit of one Windows-1251 byte (U+FFFD for the one unassigned byte 0x98).
char16_t win1251Char(unsigned char byte);

} // namespace orva
