#pragma once

// JSON strings as orva-cli writes them: the UTF-8 text as it stands, with only the quote, the
// backslash and the control characters escaped, so no byte of a record can end the string early.

#include <cstdio>
#include <string>

namespace orva::cli {

inline std::string jsonString(const std::string& text) {
    std::string result = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            result += '\\';
            result += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            result += escaped;
        } else {
            result += static_cast<char>(c);
        }
    }
    return result + '"';
}

} // namespace orva::cli
