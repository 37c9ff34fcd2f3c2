#include "text/Decimal.h"

#include "text/Errors.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace orva {

namespace {

constexpr int kMaxSignificantDigits = 19; // every 19-digit integer fits in 64 bits
constexpr int kMaxDecimals = 27;          // 10^27 is the last power of ten a long double holds exactly

bool isDigit(char c) { return c >= '0' && c <= '9'; }

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

// Any text of the grammar, through strtold.
std::optional<long double> parseAnyDecimal(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    const std::string_view body = text.substr(begin, end - begin);

    // Check the grammar ourselves; strtold alone would accept hex, "inf", "nan" and the locale's point.
    std::size_t i = 0;
    if (i < body.size() && (body[i] == '+' || body[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < body.size() && isDigit(body[i]))
        ++i, ++digits;
    if (i < body.size() && body[i] == '.') {
        ++i;
        while (i < body.size() && isDigit(body[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
        ++i;
        if (i < body.size() && (body[i] == '+' || body[i] == '-'))
            ++i;
        std::size_t exponentDigits = 0;
        while (i < body.size() && isDigit(body[i]))
            ++i, ++exponentDigits;
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (i != body.size())
        return std::nullopt;

    // The process runs with LC_NUMERIC "C", so strtold's point is ".".
    const std::string copy(body);
    long double value = std::strtold(copy.c_str(), nullptr);
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<long double> tryParseDecimal(std::string_view text) {
    // The fast path, for the usual journal amount ("   1234.56": no exponent, at most 19 significant
    // digits, at most 27 decimals): no copy and no strtold. Anything else takes the general path.
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
        if (isDigit(c)) {
            ++digits;
            if (fraction)
                ++decimals;
            if (mantissa == 0 && c == '0')
                continue; // a leading zero adds no significant digit
            if (++significant > kMaxSignificantDigits)
                return parseAnyDecimal(text);
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
        } else if (c == '.' && !fraction) {
            fraction = true;
        } else {
            return parseAnyDecimal(text); // an exponent, or not a number at all
        }
    }
    if (digits == 0 || decimals > kMaxDecimals)
        return parseAnyDecimal(text);

    if (mantissa == 0) // "0.00", the most common amount of all, with the sign strtold gives it
        return negative ? -0.0L : 0.0L;
    // Both operands are exact, so the one rounding of the division gives the correctly rounded
    // value, which is what strtold returns for the same text.
    const long double value = static_cast<long double>(mantissa) / powersOfTen()[static_cast<std::size_t>(decimals)];
    return negative ? -value : value;
}

long double parseDecimal(std::string_view text) {
    if (auto value = tryParseDecimal(text))
        return *value;
    throw ConversionError(std::string(text));
}

} // namespace orva
