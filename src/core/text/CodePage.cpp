#include "text/CodePage.h"

namespace orva {

void CodePageCounter::add(const char* data, std::size_t size) {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        low += (byte >> 6) == 2;
        high += (byte >> 6) == 3;
    }
    low_ += low;
    high_ += high;
}

const char* codePageName(CodePage codePage) {
    return codePage == CodePage::Mik ? "MIK" : "Windows-1251";
}

} // namespace orva
