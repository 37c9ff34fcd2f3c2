#include "text/CodePage.h"

#include <cstring>

namespace orva {

namespace {

// The sum of the eight byte lanes of `lanes` (each at most 255).
std::uint64_t sumOfLanes(std::uint64_t lanes) {
    const std::uint64_t pairs = (lanes & 0x00FF00FF00FF00FFULL) + ((lanes >> 8) & 0x00FF00FF00FF00FFULL);
    return (pairs * 0x0001000100010001ULL) >> 48;
}

} // namespace

void CodePageCounter::add(const char* data, std::size_t size) {
    // Eight bytes at a time: a byte's top bit marks 0x80..0xFF, its next bit (shifted up into the
    // top place) tells 0xC0..0xFF from 0x80..0xBF. Each mark adds 1 to its byte lane; the lanes
    // are summed before any of them could pass 255.
    constexpr std::uint64_t kTopBits = 0x8080808080808080ULL;
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    std::size_t i = 0;
    while (i + 8 <= size) {
        std::uint64_t lowLanes = 0;
        std::uint64_t highLanes = 0;
        for (int round = 0; round < 255 && i + 8 <= size; ++round, i += 8) {
            std::uint64_t word;
            std::memcpy(&word, data + i, 8);
            const std::uint64_t top = word & kTopBits;
            const std::uint64_t next = (word << 1) & kTopBits;
            lowLanes += (top & ~next) >> 7;
            highLanes += (top & next) >> 7;
        }
        low += sumOfLanes(lowLanes);
        high += sumOfLanes(highLanes);
    }
    for (; i < size; ++i) {
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
