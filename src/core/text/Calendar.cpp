#include "text/Calendar.h"

namespace orva {

namespace {

// The value of `count` digits from `from`, or -1 when one is not a digit.
int digitsValue(std::string_view text, std::size_t from, std::size_t count) {
    int value = 0;
    for (std::size_t index = from; index < from + count; ++index) {
        if (text[index] < '0' || text[index] > '9')
            return -1;
        value = value * 10 + (text[index] - '0');
    }
    return value;
}

} // namespace

std::optional<CalendarDate> parseDate(std::string_view text, DateSeparators separators) {
    if (text.size() != 10)
        return std::nullopt;
    const char separator = text[2];
    const bool separatorAllowed = separator == '/' || (separator == '.' && separators == DateSeparators::SlashesOrDots);
    if (!separatorAllowed || text[5] != separator)
        return std::nullopt;
    const CalendarDate date{digitsValue(text, 6, 4), digitsValue(text, 3, 2), digitsValue(text, 0, 2)};
    if (date.year < 1 || date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > daysInMonth(date.year, date.month))
        return std::nullopt;
    return date;
}

std::string monthSlashYear(std::string_view yyyymm) {
    return std::string(yyyymm.size() > 4 ? yyyymm.substr(4, 2) : std::string_view()) + "/" +
           std::string(yyyymm.substr(0, 4));
}

} // namespace orva
