#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

// The parameters in which the purchases and sales journals differ; one engine pages both.
struct JournalLayout {
    std::string fileName;                      // "pokupki.txt" / "prodagbi.txt"
    std::string titlePrefix;                   // ends with five blanks
    std::vector<std::string> firstPageLines;   // fixed header lines after the title (13 / 20)
    std::vector<std::string> continuationLines; // fixed header lines after the title (4 / 5)
    int blockHeight = 0;                       // B: 3 / 4
    std::size_t amountCount = 0;               // 7 / 17
    std::size_t amountWidth = 0;               // shown and summed: 15 / 12 (rightmost of 15)
    std::size_t totalWidth = 0;                // W: 15 / 12
    std::string copyExtension;                 // ".pro.txt" / ".pok.txt"
};

const JournalLayout& purchasesLayout();
const JournalLayout& salesLayout();

struct JournalResult {
    std::vector<std::string> lines;  // the document, Windows-1251
    std::vector<long double> totals; // one per amount column
    std::size_t records = 0;         // records laid out
};

// Builds a journal from the bytes of its file. Throws orva::Error naming the file, the line
// and the field: a file with no lines, LinesPerPage 0 or below B with a record to place, an
// amount that is not a number.
JournalResult buildJournal(std::string_view fileBytes, int LinesPerPage, const std::string& CaptionText,
                           const JournalLayout& layout);

} // namespace orva
