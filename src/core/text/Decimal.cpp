#include "text/Decimal.h"

#include "text/Errors.h"

#include <string>

namespace orva {

ExactDecimal parseDecimal(std::string_view text) {
    if (auto value = ExactDecimal::parse(text))
        return *std::move(value);
    throw ConversionError(std::string(text));
}

} // namespace orva
