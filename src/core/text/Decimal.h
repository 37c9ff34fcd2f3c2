#pragma once

#include "text/ExactDecimal.h"

#include <string_view>

namespace orva {

// ExactDecimal::parse for callers that do not report failures themselves: throws ConversionError
// (quoting the text) for anything that is not a number, including empty or blank text.
ExactDecimal parseDecimal(std::string_view text);

} // namespace orva
