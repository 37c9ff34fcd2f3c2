#include "text/DocumentSearch.h"

#include "text/Errors.h"

#include <array>
#include <string>

namespace orva {

namespace {

std::array<unsigned char, 256> makeFoldTable() {
    std::array<unsigned char, 256> table{};
    for (std::size_t byte = 0; byte < table.size(); ++byte)
        table[byte] = static_cast<unsigned char>(byte);
    for (unsigned byte = 'A'; byte <= 'Z'; ++byte)
        table[byte] = static_cast<unsigned char>(byte + 0x20);
    for (unsigned byte = 0xC0; byte <= 0xDF; ++byte) // А..Я
        table[byte] = static_cast<unsigned char>(byte + 0x20);
    // The capitals outside the А..Я block and their small letters.
    const std::pair<unsigned char, unsigned char> others[] = {
        {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2},
        {0xA3, 0xBC}, {0xA5, 0xB4}, {0xA8, 0xB8}, {0xAA, 0xBA}, {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE}};
    for (const auto& [capital, small] : others)
        table[capital] = small;
    return table;
}

const std::array<unsigned char, 256>& foldTable() {
    static const std::array<unsigned char, 256> table = makeFoldTable();
    return table;
}

// Where `needle` (folded) starts in `line` at or after `from` (first) or before `before` (last).
std::optional<std::size_t> matchIn(std::string_view line, const std::string& needle, std::size_t from,
                                   std::size_t before, bool forward) {
    const auto& fold = foldTable();
    if (line.size() < needle.size())
        return std::nullopt;
    const std::size_t last = line.size() - needle.size(); // the last start that fits
    const auto matchesAt = [&](std::size_t start) {
        for (std::size_t index = 0; index < needle.size(); ++index)
            if (fold[static_cast<unsigned char>(line[start + index])] != static_cast<unsigned char>(needle[index]))
                return false;
        return true;
    };
    if (forward) {
        for (std::size_t start = from; start <= last; ++start)
            if (matchesAt(start))
                return start;
    } else {
        for (std::size_t start = std::min(before, last + 1); start-- > 0;)
            if (matchesAt(start))
                return start;
    }
    return std::nullopt;
}

} // namespace

unsigned char foldWin1251(unsigned char byte) {
    return foldTable()[byte];
}

std::optional<TextMatch> findInDocument(const DocumentText& text, std::string_view needle, std::size_t line,
                                        std::size_t column, bool forward) {
    const std::size_t count = text.lineCount();
    if (needle.empty() || count == 0)
        return std::nullopt;
    std::string folded(needle);
    for (char& byte : folded)
        byte = static_cast<char>(foldWin1251(static_cast<unsigned char>(byte)));
    if (line >= count) {
        line = forward ? 0 : count - 1;
        column = forward ? 0 : text.line(line).size();
    }
    // Every line once, then the starting line's other part: the wrap-around.
    for (std::size_t step = 0; step <= count; ++step) {
        const std::size_t index = forward ? (line + step) % count : (line + count - step % count) % count;
        const bool first = step == 0;
        const bool wrapped = step == count;
        const std::string_view text_line = text.line(index);
        std::optional<std::size_t> start;
        if (forward)
            start = matchIn(text_line, folded, first ? column : 0, 0, true);
        else
            start = matchIn(text_line, folded, 0, first ? column : text_line.size(), false);
        // Back on the starting line: only the part not searched first.
        if (start && wrapped && (forward ? *start >= column : *start < column))
            start.reset();
        if (start)
            return TextMatch{index, *start, needle.size(), wrapped || (forward ? index < line : index > line)};
    }
    return std::nullopt;
}

std::size_t countMatches(const DocumentText& text, std::string_view needle, const std::atomic<bool>* cancel) {
    if (needle.empty())
        return 0;
    std::string folded(needle);
    for (char& byte : folded)
        byte = static_cast<char>(foldWin1251(static_cast<unsigned char>(byte)));
    std::size_t count = 0;
    for (std::size_t index = 0; index < text.lineCount(); ++index) {
        if (cancel != nullptr && (index & 0xFFF) == 0 && cancel->load(std::memory_order_relaxed))
            throw Cancelled();
        const std::string_view line = text.line(index);
        for (std::optional<std::size_t> start = matchIn(line, folded, 0, 0, true); start;
             start = matchIn(line, folded, *start + folded.size(), 0, true))
            ++count;
    }
    return count;
}

} // namespace orva
