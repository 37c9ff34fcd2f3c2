#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orva {

// The Gregorian calendar, as the dates of documents and identifiers use it.
constexpr bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// The days of `month` (1..12) of `year`.
constexpr int daysInMonth(int year, int month) {
    constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

struct CalendarDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

// Which separators a date may be written with.
enum class DateSeparators {
    Slashes,       // dd/mm/yyyy only
    SlashesOrDots, // dd/mm/yyyy or dd.mm.yyyy, one kind in a date
};

// A date written dd/mm/yyyy (or dd.mm.yyyy where allowed): all ten characters, digits where the
// digits go, and a real day of the calendar from the year 0001. Nothing around it, no other
// shape; std::nullopt for anything else.
std::optional<CalendarDate> parseDate(std::string_view text, DateSeparators separators);

// A tax period as the files write it (YYYYMM) as people read it (MM/YYYY). A shorter text gives
// what it has: "2026" is "/2026", so a damaged period shows as damaged rather than vanishing.
std::string monthSlashYear(std::string_view yyyymm);

} // namespace orva
