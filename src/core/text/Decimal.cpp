#include "text/Decimal.h"

#include "text/Errors.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
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

// Whether a text of the grammar that from_chars found out of range is too large rather than too
// small: its decimal exponent, with the digits before the point counted, is above zero.
bool tooLargeForLongDouble(std::string_view body) {
    std::size_t i = body[0] == '+' || body[0] == '-' ? 1 : 0;
    long long magnitude = 0; // where the first significant digit stands: 1 for "1", 0 for "0.1", -1 for "0.01"
    bool significant = false, fraction = false;
    for (; i < body.size() && body[i] != 'e' && body[i] != 'E'; ++i) {
        if (body[i] == '.') {
            fraction = true;
        } else if (!significant && body[i] == '0') {
            magnitude -= fraction ? 1 : 0;
        } else {
            significant = true;
            magnitude += fraction ? 0 : 1;
        }
    }
    long long exponent = 0;
    if (i < body.size()) {
        ++i;
        const bool negative = body[i] == '-';
        if (body[i] == '+' || body[i] == '-')
            ++i;
        for (; i < body.size() && exponent < 100000000000000000LL; ++i)
            exponent = exponent * 10 + (body[i] - '0');
        exponent = negative ? -exponent : exponent;
    }
    return magnitude + exponent > 0;
}

// Any text of the grammar, through from_chars.
std::optional<long double> parseAnyDecimal(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    const std::string_view body = text.substr(begin, end - begin);

    // Check the grammar ourselves; from_chars alone would accept "inf" and "nan".
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

    // from_chars reads "." as the point whatever LC_NUMERIC says, and rounds correctly as strtold
    // does; it takes no "+" sign.
    const std::size_t start = body[0] == '+' ? 1 : 0;
    long double value = 0.0L;
    const auto [stop, error] = std::from_chars(body.data() + start, body.data() + body.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Too large is not a number. Too small (below the smallest long double) reads as zero
        // with its sign, which is all that is left of it in money.
        if (tooLargeForLongDouble(body))
            return std::nullopt;
        return body[0] == '-' ? -0.0L : 0.0L;
    }
    if (error != std::errc() || stop != body.data() + body.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<long double> tryParseDecimal(std::string_view text) {
    // The fast path, for the usual journal amount ("   1234.56": no exponent, at most 19 significant
    // digits, at most 27 decimals): no copy and no from_chars. Anything else takes the general path.
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

    if (mantissa == 0) // "0.00", the most common amount of all, with the sign from_chars gives it
        return negative ? -0.0L : 0.0L;
    // Both operands are exact, so the one rounding of the division gives the correctly rounded
    // value, which is what from_chars returns for the same text.
    const long double value = static_cast<long double>(mantissa) / powersOfTen()[static_cast<std::size_t>(decimals)];
    return negative ? -value : value;
}

long double parseDecimal(std::string_view text) {
    if (auto value = tryParseDecimal(text))
        return *value;
    throw ConversionError(std::string(text));
}

} // namespace orva
