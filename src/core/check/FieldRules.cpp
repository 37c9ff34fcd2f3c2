#include "check/FieldRules.h"

#include "text/Ascii.h"

#include <array>
#include <cstdlib>

namespace orva::check {

namespace {

// The value of `count` digits from `from`, or -1 when one is not a digit.
int digitsValue(std::string_view text, std::size_t from, std::size_t count) {
    int value = 0;
    for (std::size_t index = from; index < from + count; ++index) {
        if (!isAsciiDigit(text[index]))
            return -1;
        value = value * 10 + (text[index] - '0');
    }
    return value;
}

template <std::size_t N> bool contains(const std::array<std::string_view, N>& codes, std::string_view code) {
    for (std::string_view candidate : codes) {
        if (candidate == code)
            return true;
    }
    return false;
}

} // namespace

std::optional<CalendarDate> parseDocumentDate(std::string_view text, Generation generation) {
    return parseDate(text, generation == Generation::Classic ? DateSeparators::SlashesOrDots : DateSeparators::Slashes);
}

TaxPeriod parseTaxPeriod(std::string_view text) {
    if (text.size() != 6)
        return {};
    TaxPeriod period{digitsValue(text, 0, 4), digitsValue(text, 4, 2)};
    return period.valid() ? period : TaxPeriod{};
}

AmountValue parseAmountField(std::string_view field) {
    // One pass from the right: blanks (a warning), two decimals, the point, digits, an optional "-", blanks.
    // Run for every amount of every record, so it neither copies nor trims first.
    std::size_t end = field.size();
    while (end > 0 && field[end - 1] == ' ')
        --end;
    if (end < 4 || field[end - 3] != '.' || !isAsciiDigit(field[end - 1]) || !isAsciiDigit(field[end - 2]))
        return {};
    std::int64_t cents = (field[end - 2] - '0') * 10 + (field[end - 1] - '0');
    std::int64_t scale = 100;
    std::size_t position = end - 3;
    // A 15-character field holds 14 digits at most; allowing 15 keeps the cents far from the 64-bit limit
    // even when a rule multiplies them by 100 and adds seventeen of them.
    const std::size_t lowest = position > 13 ? position - 13 : 0;
    while (position > lowest && isAsciiDigit(field[position - 1])) {
        --position;
        cents += (field[position] - '0') * scale;
        scale *= 10;
    }
    if (position == end - 3)
        return {}; // no integer digit
    const bool negative = position > 0 && field[position - 1] == '-';
    if (negative)
        --position;
    if (!allBlanks(field.substr(0, position)))
        return {};
    return {end == field.size() ? AmountShape::Ok : AmountShape::NotRightAligned, negative ? -cents : cents};
}

std::string formatCents(std::int64_t cents) {
    const std::uint64_t magnitude =
        cents < 0 ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
    std::string fraction = std::to_string(magnitude % 100);
    if (fraction.size() < 2)
        fraction.insert(0, 1, '0');
    return (cents < 0 ? "-" : "") + std::to_string(magnitude / 100) + "." + fraction;
}

bool isAllowedDocumentType(std::string_view type, JournalKind kind) {
    static constexpr std::array<std::string_view, 14> purchases{"01", "02", "03", "05", "07", "09", "11",
                                                                "12", "13", "23", "91", "92", "93", "94"};
    static constexpr std::array<std::string_view, 21> sales{"01", "02", "03", "04", "07", "09", "11",
                                                            "12", "13", "23", "29", "50", "81", "82",
                                                            "83", "84", "85", "91", "93", "94", "95"};
    return kind == JournalKind::Purchases ? contains(purchases, type) : contains(sales, type);
}

bool isAllowedSpecialCode(std::string_view code, JournalKind kind) {
    static constexpr std::array<std::string_view, 10> purchases{"  ", "01", "02", "03", "07",
                                                                "08", "51", "53", "54", "58"};
    static constexpr std::array<std::string_view, 10> sales{"  ", "01", "02", "03", "07", "08", "41", "43", "46", "48"};
    return kind == JournalKind::Purchases ? contains(purchases, code) : contains(sales, code);
}

bool needsTenDigitNumber(std::string_view type) {
    return type == "01" || type == "02" || type == "03";
}

bool isTenDigitNumber(std::string_view number) {
    number = trimBlanks(number);
    return number.size() == 10 && digitsValue(number, 0, 5) >= 0 && digitsValue(number, 5, 5) >= 0;
}

bool isCreditNote(std::string_view type) {
    return type == "03" || type == "13" || type == "23";
}

bool isInvoiceOrDebitNote(std::string_view type) {
    return type == "01" || type == "02" || type == "11" || type == "12";
}

} // namespace orva::check
