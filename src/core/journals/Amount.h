#pragma once

#include <optional>
#include <string_view>

namespace orva {

// The amount grammar of orva::tryParseDecimal with the same results to the last bit, and a fast
// path for the usual journal amount ("   1234.56": no exponent, at most 19 significant digits,
// at most 27 decimals), which needs no copy and no strtold. Everything else goes to
// orva::tryParseDecimal.
std::optional<long double> parseAmount(std::string_view text);

} // namespace orva
