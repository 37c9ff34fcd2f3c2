#include "text/Money.h"

#include <cmath>
#include <cstdio>

namespace orva {

namespace {

// Cents rounded half away from zero, as digits (no sign), and whether the result is negative.
std::string roundedCents(long double value, bool& negative) {
    long double cents = std::round(std::fabs(value) * 100.0L);
    negative = value < 0 && cents != 0;
    char buffer[8192];
    std::snprintf(buffer, sizeof buffer, "%.0Lf", cents);
    std::string digits(buffer);
    while (digits.size() < 3)
        digits.insert(digits.begin(), '0');
    return digits;
}

} // namespace

std::string formatMoney(long double value) {
    if (!std::isfinite(value))
        return value != value ? "NAN" : (value < 0 ? "-INF" : "INF");
    bool negative = false;
    std::string digits = roundedCents(value, negative);
    std::string text = negative ? "-" : "";
    text.append(digits, 0, digits.size() - 2);
    text += '.';
    text.append(digits, digits.size() - 2, 2);
    return text;
}

std::string moneyCell(long double value, std::size_t width) {
    std::string text = formatMoney(value);
    if (text.size() < width)
        text.insert(0, width - text.size(), ' ');
    return text;
}

std::string formatFixed15(long double value) {
    std::string text = formatMoney(value);
    if (text.size() < 15)
        text.insert(0, 15 - text.size(), ' ');
    return text;
}

} // namespace orva
