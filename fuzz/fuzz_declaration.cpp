// The return record reader on any bytes: every failure must be an orva::Error.
#include "declaration/Declaration.h"
#include "text/Errors.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        orva::parseDeclaration(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const orva::Error&) {
    }
    return 0;
}
