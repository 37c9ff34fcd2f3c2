#include "text/Errors.h"

#include "text/Encoding.h"

namespace orva {

ConversionError::ConversionError(std::string text)
    : Error("\"" + win1251ToUtf8(text) + "\" не е число"), text_(std::move(text)) {}

} // namespace orva
