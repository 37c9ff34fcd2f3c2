#include "journals/Amount.h"

#include "text/Decimal.h"

#include <array>
#include <cstdint>

namespace orva {

namespace {

constexpr int kMaxSignificantDigits = 19; // every 19-digit integer fits in 64 bits
constexpr int kMaxDecimals = 27;          // 10^27 is the last power of ten a long double holds exactly

const std::array<long double, kMaxDecimals + 1>& powersOfTen() {
    static const std::array<long double, kMaxDecimals + 1> table = [] {
        std::array<long double, kMaxDecimals + 1> powers{};
        long double power = 1.0L;
        for (auto& p : powers) {
            p = power;
            power *= 10.0L;
        }
        return powers;
    }();
    return table;
}

} // namespace

std::optional<long double> parseAmount(std::string_view text) {
    std::size_t i = 0, end = text.size();
    while (i < end && text[i] == ' ')
        ++i;
    while (end > i && text[end - 1] == ' ')
        --end;

    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';

    std::uint64_t mantissa = 0;
    int significant = 0, decimals = 0, digits = 0;
    bool fraction = false;
    for (; i < end; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            ++digits;
            if (fraction)
                ++decimals;
            if (mantissa == 0 && c == '0')
                continue; // a leading zero adds no significant digit
            if (++significant > kMaxSignificantDigits)
                return tryParseDecimal(text);
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
        } else if (c == '.' && !fraction) {
            fraction = true;
        } else {
            return tryParseDecimal(text); // an exponent, or not a number at all
        }
    }
    if (digits == 0 || decimals > kMaxDecimals)
        return tryParseDecimal(text);

    if (mantissa == 0) // "0.00", the most common amount of all, with the sign strtold gives it
        return negative ? -0.0L : 0.0L;
    // Both operands are exact, so the one rounding of the division gives the correctly rounded
    // value, which is what strtold returns for the same text.
    const long double value = static_cast<long double>(mantissa) / powersOfTen()[static_cast<std::size_t>(decimals)];
    return negative ? -value : value;
}

} // namespace orva
