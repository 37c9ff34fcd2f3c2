#include "text/CodePage.h"

#include <cstring>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace orva {

namespace {

// The sum of the eight byte lanes of `lanes` (each at most 255).
std::uint64_t sumOfLanes(std::uint64_t lanes) {
    const std::uint64_t pairs = (lanes & 0x00FF00FF00FF00FFULL) + ((lanes >> 8) & 0x00FF00FF00FF00FFULL);
    return (pairs * 0x0001000100010001ULL) >> 48;
}

#if defined(__SSE2__) && defined(__x86_64__)
// The sum of the sixteen byte lanes of `lanes`.
std::uint64_t sumOfLanes(__m128i lanes) {
    const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128()); // two sums of eight lanes each
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
           static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
}
#endif

} // namespace

void CodePageCounter::add(const char* data, std::size_t size) {
    // Each byte found adds 1 to its byte lane; the lanes are summed before any of them could pass 255.
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    std::size_t i = 0;
#if defined(__SSE2__) && defined(__x86_64__)
    // Sixteen bytes at a time: as signed bytes 0x80..0xBF are -128..-65 and 0xC0..0xFF are -64..-1; a
    // comparison's all-ones lane subtracted adds 1.
    const __m128i zero = _mm_setzero_si128();
    const __m128i firstHigh = _mm_set1_epi8(-64);
    while (i + 16 <= size) {
        __m128i lowLanes = zero;
        __m128i highLanes = zero;
        for (int round = 0; round < 255 && i + 16 <= size; ++round, i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
            const __m128i isLow = _mm_cmplt_epi8(bytes, firstHigh);
            const __m128i isHigh = _mm_andnot_si128(isLow, _mm_cmplt_epi8(bytes, zero));
            lowLanes = _mm_sub_epi8(lowLanes, isLow);
            highLanes = _mm_sub_epi8(highLanes, isHigh);
        }
        low += sumOfLanes(lowLanes);
        high += sumOfLanes(highLanes);
    }
#endif
    // Eight bytes at a time: a byte's top bit marks 0x80..0xFF, its next bit (shifted up into the top place)
    // tells 0xC0..0xFF from 0x80..0xBF.
    constexpr std::uint64_t kTopBits = 0x8080808080808080ULL;
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
