#pragma once

#include <cstddef>
#include <string>

namespace orva {

// "########0.00": at least one integer digit, two decimals, no grouping, "-" when negative;
// rounded half away from zero. Independent of the locale.
std::string formatMoney(long double value);

// formatMoney right-aligned in a cell of `width`; a wider text is kept whole, never cut.
std::string moneyCell(long double value, std::size_t width);

// "%15.2f": the same rounding, right-aligned in 15 characters, wider when it must be.
std::string formatFixed15(long double value);

} // namespace orva
