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
// moneyCell(value, 15) is C's "%15.2f" with the money rounding.
std::string moneyCell(long double value, std::size_t width);

// `value` in whole cents, rounded half away from zero: amounts are compared as the documents
// state them.
long double wholeCents(long double value);

// Whether `text`, without leading blanks, is what formatMoney writes: "-"?, digits, ".", two digits.
bool isMoneyText(const std::string& text);

} // namespace orva
