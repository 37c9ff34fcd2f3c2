#include "text/Errors.h"

namespace orva {

ConversionError::ConversionError(std::string text)
    : Error("\"" + text + "\" is not a number"), text_(std::move(text)) {}

} // namespace orva
