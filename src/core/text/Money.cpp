#include "text/Money.h"

#include "text/Errors.h"

#include <cmath>
#include <cstdio>

namespace orva {

namespace {

// Cents rounded half away from zero, as digits (no sign), and whether the result is negative.
std::string roundedCents(long double value, bool& negative) {
    const long double cents = wholeCents(std::fabs(value));
    negative = value < 0 && cents != 0;
    char buffer[8192];
    std::snprintf(buffer, sizeof buffer, "%.0Lf", cents);
    std::string digits(buffer);
    while (digits.size() < 3)
        digits.insert(digits.begin(), '0');
    return digits;
}

} // namespace

bool fitsMoneyFormat(long double value) {
    // round() of a finite value is finite, so finite cents are enough.
    return std::isfinite(value) && std::isfinite(value * 100.0L);
}

std::string formatMoney(long double value) {
    if (!fitsMoneyFormat(value))
        throw Error("сумата не може да се изпише в стотинки: тя е извън обхвата на аритметиката");
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

long double wholeCents(long double value) {
    return std::round(value * 100.0L);
}

bool isMoneyText(const std::string& text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos)
        return false;
    if (text[i] == '-')
        ++i;
    const std::size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    if (i == digits || text.size() != i + 3 || text[i] != '.')
        return false;
    return text[i + 1] >= '0' && text[i + 1] <= '9' && text[i + 2] >= '0' && text[i + 2] <= '9';
}

} // namespace orva
