#pragma once

#include "journals/Journal.h"

#include <string>
#include <string_view>
#include <vector>

// A journal built whole and kept, for tests that compare documents: the engine over bytes in memory
// or over a file, collected into lines.
namespace orva {

struct JournalResult {
    std::vector<std::string> lines;   // the document, Windows-1251
    std::vector<ExactDecimal> totals; // one per amount column, exact
    std::size_t records = 0;          // records laid out
};

JournalResult buildJournal(std::string_view fileBytes, int linesPerPage, const std::string& captionText,
                           const JournalLayout& layout, CodePage codePage = CodePage::Mik);

// Also throws FileError naming the path when the file cannot be read.
JournalResult buildJournalFromFile(const std::string& path, int linesPerPage, const std::string& captionText,
                                   const JournalLayout& layout, CodePage codePage = CodePage::Mik);

} // namespace orva
