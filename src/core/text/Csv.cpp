#include "text/Csv.h"

#include "text/Ascii.h"

namespace orva {

namespace {

// An optional sign, digits, and at most one decimal point or comma followed by digits.
bool isPlainNumber(std::string_view text) {
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '-' || text[at] == '+'))
        ++at;
    const std::size_t integerStart = at;
    while (at < text.size() && isAsciiDigit(text[at]))
        ++at;
    if (at == integerStart)
        return false;
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
        const std::size_t fractionStart = ++at;
        while (at < text.size() && isAsciiDigit(text[at]))
            ++at;
        if (at == fractionStart)
            return false;
    }
    return at == text.size();
}

} // namespace

std::string neutralisedCsvCell(std::string_view text) {
    if (text.empty())
        return {};
    switch (text.front()) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r':
        if (!isPlainNumber(text))
            return "'" + std::string(text);
        break;
    default:
        break;
    }
    return std::string(text);
}

} // namespace orva
