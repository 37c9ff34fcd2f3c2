#include "text/Decimal.h"

#include "text/Errors.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace orva {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

std::optional<long double> tryParseDecimal(std::string_view text) {
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

long double parseDecimal(std::string_view text) {
    if (auto value = tryParseDecimal(text))
        return *value;
    throw ConversionError(std::string(text));
}

} // namespace orva
