#include "text/Encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>

namespace orva {

namespace {

// Code points of bytes 0x80..0xFF; 0x98 is unassigned in Windows-1251.
constexpr std::array<char16_t, 128> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

const std::unordered_map<char32_t, char>& reverseTable() {
    static const std::unordered_map<char32_t, char> table = [] {
        std::unordered_map<char32_t, char> map;
        for (std::size_t i = 0; i < kHighHalf.size(); ++i)
            if (kHighHalf[i] != 0xFFFD)
                map.emplace(kHighHalf[i], static_cast<char>(0x80 + i));
        return map;
    }();
    return table;
}

char fromCodePoint(char32_t code) {
    if (code < 0x80)
        return static_cast<char>(code);
    if (code >= 0x0410 && code <= 0x044F) // А..я, the common case
        return static_cast<char>(code - 0x0410 + 0xC0);
    const auto& table = reverseTable();
    const auto found = table.find(code);
    return found == table.end() ? '?' : found->second;
}

void appendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

char16_t win1251Char(unsigned char byte) {
    return byte < 0x80 ? char16_t(byte) : kHighHalf[byte - 0x80];
}

std::string win1251ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    appendWin1251AsUtf8(out, text);
    return out;
}

void appendWin1251AsUtf8(std::string& out, std::string_view text) {
    // Each byte's UTF-8 bytes worked out once: names of a million records are converted.
    struct Sequence {
        char bytes[3];
        std::uint8_t size;
    };
    static const std::array<Sequence, 256> kSequences = [] {
        std::array<Sequence, 256> sequences{};
        for (std::size_t byte = 0; byte < sequences.size(); ++byte) {
            std::string bytes;
            appendUtf8(bytes, win1251Char(static_cast<unsigned char>(byte)));
            std::copy(bytes.begin(), bytes.end(), sequences[byte].bytes);
            sequences[byte].size = static_cast<std::uint8_t>(bytes.size());
        }
        return sequences;
    }();
    const std::size_t start = out.size();
    out.resize(start + 3 * text.size());
    char* to = out.data() + start;
    for (const char c : text) {
        const Sequence& sequence = kSequences[static_cast<unsigned char>(c)];
        to[0] = sequence.bytes[0];
        to[1] = sequence.bytes[1];
        to[2] = sequence.bytes[2];
        to += sequence.size;
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

std::u16string win1251ToUtf16(std::string_view text) {
    std::u16string out;
    out.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        out[i] = win1251Char(static_cast<unsigned char>(text[i]));
    return out;
}

std::string utf8ToWin1251(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80           ? 1
                             : (lead >> 5) == 0x6  ? 2
                             : (lead >> 4) == 0xE  ? 3
                             : (lead >> 3) == 0x1E ? 4
                                                   : 0;
        if (length == 0 || i + length > text.size()) {
            out += '?';
            ++i;
            continue;
        }
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = true;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid) {
            out += '?';
            ++i;
            continue;
        }
        out += fromCodePoint(code);
        i += length;
    }
    return out;
}

std::string utf16ToWin1251(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            ++i; // a character outside the basic plane: Windows-1251 has none of them
            out += '?';
            continue;
        }
        out += (unit >= 0xD800 && unit <= 0xDFFF) ? '?' : fromCodePoint(unit);
    }
    return out;
}

std::string shownText(std::string_view text) {
    const auto isControl = [](unsigned char c) { return c < 0x20 || c == 0x7F; };
    if (std::none_of(text.begin(), text.end(), isControl))
        return std::string(text);
    std::string shown;
    for (const unsigned char c : text) {
        if (!isControl(c)) {
            shown += static_cast<char>(c);
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\t') {
            shown += "\\t";
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            shown += "\\x";
            shown += kHex[c >> 4];
            shown += kHex[c & 0xF];
        }
    }
    return shown;
}

namespace {

// The length of the valid UTF-8 sequence at the start of `text`, or 0.
std::size_t validSequence(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong
        else if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F; // past U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

} // namespace

std::string fileNameAsUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (const std::size_t length = validSequence(bytes.substr(i))) {
            out.append(bytes.substr(i, length));
            i += length;
            continue;
        }
        const auto byte = static_cast<unsigned char>(bytes[i++]);
        const char16_t converted = win1251Char(byte);
        if (converted == 0xFFFD) {
            static const char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            appendUtf8(out, converted);
        }
    }
    return out;
}

} // namespace orva
