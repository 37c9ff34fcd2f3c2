#pragma once

#include <optional>
#include <string_view>

namespace orva {

// Parses a decimal number: blanks around it, an optional sign, digits with an optional
// point and fraction, an optional exponent. "." is always the point, whatever the locale.
// Throws ConversionError (quoting the text) for anything else, including empty or blank text.
long double parseDecimal(std::string_view text);

// The same grammar without the exception, for callers that report failures themselves.
std::optional<long double> tryParseDecimal(std::string_view text);

} // namespace orva
