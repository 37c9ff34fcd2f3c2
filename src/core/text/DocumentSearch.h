#pragma once

// Finding a text in a document's Windows-1251 lines, letter case aside (Latin and Cyrillic).

#include "text/DocumentText.h"

#include <atomic>
#include <cstddef>
#include <optional>
#include <string_view>

namespace orva {

// The lower-case form of a Windows-1251 byte: Latin A-Z and the Cyrillic capitals (Ё, Ў, Ђ... too);
// every other byte is itself.
unsigned char foldWin1251(unsigned char byte);

struct TextMatch {
    std::size_t line = 0;
    std::size_t column = 0; // byte index of the first matched byte
    std::size_t length = 0;
    bool wrapped = false; // found only past the document's end (or start), from its other end
};

// The first match of `needle` (Windows-1251) starting at or after (line, column) when `forward`,
// else the last one starting before it; the search wraps around the document's end (or start)
// once. Nothing for an empty needle or no match.
std::optional<TextMatch> findInDocument(const DocumentText& text, std::string_view needle, std::size_t line,
                                        std::size_t column, bool forward);

// How many times `needle` occurs in the document, letter case aside, one match after the other as
// find steps through them (no two overlap). 0 for an empty needle; throws Cancelled once `*cancel`
// is true.
std::size_t countMatches(const DocumentText& text, std::string_view needle, const std::atomic<bool>* cancel = nullptr);

} // namespace orva
