#pragma once

#include "text/ExactDecimal.h"

#include <cstddef>
#include <string>

namespace orva {

// value.moneyText() ("########0.00", rounded half away from zero) right-aligned in a cell of
// `width`; a wider text is kept whole, never cut. moneyCell(value, 15) is C's "%15.2f" with the
// money rounding. Throws orva::Error when !value.fitsMoneyFormat(): the caller names the file,
// line and amount.
std::string moneyCell(const ExactDecimal& value, std::size_t width);

// Whether `text`, without leading blanks, is what moneyText writes: "-"?, digits, ".", two digits.
bool isMoneyText(const std::string& text);

} // namespace orva
