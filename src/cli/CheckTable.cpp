#include "cli/CheckTable.h"

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
        out << padRight(row.rule, kRuleWidth) << padLeft(row.returnValue, kValueWidth)
            << padLeft(row.journalValue, kValueWidth) << padLeft(evaluated ? row.difference : "-", kValueWidth) << "  "
            << result;
        if (!evaluated)
            out << " (" << row.difference << ")";
        out << '\n';
    }
    if (failures == 0)
        out << "Всички " << rows.size() << " правила са спазени.\n";
    else
        out << "Неспазени правила: " << failures << " от " << rows.size() << ".\n";
}

} // namespace orva::cli
