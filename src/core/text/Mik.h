#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orva {

// MIK (Bulgarian DOS) to Windows-1251: bytes 0x80..0xBF move up by 0x40, all others stay.
std::string mikToWin1251(std::string_view mik);
void mikToWin1251InPlace(std::string& text);
void mikToWin1251InPlace(char* begin, char* end);

} // namespace orva
