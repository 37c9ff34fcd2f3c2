#include "cli/CheckTable.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace orva::cli {

namespace {

const char* const kHolds = "OK";
const char* const kFails = "НЕСЪОТВЕТСТВИЕ";
const char* const kNotEvaluable = "НЕ Е ПРОВЕРЕНО";

// Display width of UTF-8 text: one column per code point.
std::size_t columns(const std::string& text) {
    std::size_t count = 0;
    for (unsigned char byte : text) {
        if ((byte & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

std::string padRight(const std::string& text, std::size_t width) {
    const std::size_t used = columns(text);
    return text + std::string(used < width ? width - used : 0, ' ');
}

std::string padLeft(const std::string& text, std::size_t width) {
    const std::size_t used = columns(text);
    return std::string(used < width ? width - used : 0, ' ') + text;
}

} // namespace

std::string shownText(const std::string& text) {
    const auto isControl = [](unsigned char c) { return c < 0x20 || c == 0x7F; };
    if (std::none_of(text.begin(), text.end(), isControl))
        return text;
    std::string shown;
    for (const unsigned char c : text) {
        if (!isControl(c)) {
            shown += static_cast<char>(c);
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\t') {
            shown += "\\t";
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            shown += escaped;
        }
    }
    return shown;
}

void printCheckTable(const std::vector<CheckRow>& rows, std::ostream& out) {
    constexpr std::size_t kRuleWidth = 30;
    constexpr std::size_t kValueWidth = 17;
    out << padRight("ПРАВИЛО", kRuleWidth) << padLeft("ДЕКЛАРАЦИЯ", kValueWidth) << padLeft("ДНЕВНИЦИ", kValueWidth)
        << padLeft("РАЗЛИКА", kValueWidth) << "  "
        << "РЕЗУЛТАТ" << '\n';
    std::size_t failures = 0;
    for (const CheckRow& row : rows) {
        const char* result = row.result == CheckRow::Result::Holds   ? kHolds
                             : row.result == CheckRow::Result::Fails ? kFails
                                                                     : kNotEvaluable;
        if (row.result != CheckRow::Result::Holds)
            ++failures;
        const bool evaluated = row.result != CheckRow::Result::NotEvaluable;
        out << padRight(shownText(row.rule), kRuleWidth) << padLeft(shownText(row.returnValue), kValueWidth)
            << padLeft(shownText(row.journalValue), kValueWidth)
            << padLeft(evaluated ? shownText(row.difference) : "-", kValueWidth) << "  " << result;
        if (!evaluated)
            out << " (" << shownText(row.difference) << ")";
        out << '\n';
    }
    if (failures == 0)
        out << "Всички " << rows.size() << " правила са спазени.\n";
    else
        out << "Неспазени правила: " << failures << " от " << rows.size() << ".\n";
}

} // namespace orva::cli
