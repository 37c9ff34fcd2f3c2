#pragma once

#include <cstddef>
#include <string>

namespace orva {

// Whether formatMoney can write `value`: it and its cents are finite. (1e4931 is a valid number
// whose cents are not: the money format would show "inf".)
bool fitsMoneyFormat(long double value);

// "########0.00": at least one integer digit, two decimals, no grouping, "-" when negative;
// rounded half away from zero. Independent of the locale. Throws orva::Error when
// !fitsMoneyFormat(value): the caller names the file, line and amount.
std::string formatMoney(long double value);

// formatMoney right-aligned in a cell of `width`; a wider text is kept whole, never cut.
std::string moneyCell(long double value, std::size_t width);

// "%15.2f": the same rounding, right-aligned in 15 characters, wider when it must be.
std::string formatFixed15(long double value);

// Whether `text`, without leading blanks, is what formatMoney writes: "-"?, digits, ".", two digits.
bool isMoneyText(const std::string& text);

} // namespace orva
