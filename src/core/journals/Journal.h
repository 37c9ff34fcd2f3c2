#pragma once

#include "text/CodePage.h"
#include "text/Errors.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

// One line of amounts in a record block, and the totals line of the same shape: a bar, `amounts`
// cells, `blanks` blanks, a bar.
struct AmountLine {
    std::size_t amounts = 0;
    std::size_t blanks = 0;
};

// The parameters in which the purchases and sales journals differ; one engine pages both.
struct JournalLayout {
    std::string fileName;                       // "pokupki.txt" / "prodagbi.txt"
    std::string titlePrefix;                    // ends with five blanks
    std::vector<std::string> firstPageLines;    // fixed header lines after the title (13 / 20)
    std::vector<std::string> continuationLines; // fixed header lines after the title (4 / 5)
    int blockHeight = 0;                        // B: 3 / 4
    std::size_t amountCount = 0;                // 7 / 17
    std::size_t amountWidth = 0;                // shown and summed: 15 / 12 (rightmost of 15)
    std::size_t totalWidth = 0;                 // W: 15 / 12
    std::string copyExtension;                  // ".pro.txt" / ".pok.txt"
    std::vector<AmountLine> amountLines;        // {7, 10} / {8, 19}, {9, 7}: record and totals lines
};

const JournalLayout& purchasesLayout();
const JournalLayout& salesLayout();

struct JournalResult {
    std::vector<std::string> lines;  // the document, Windows-1251
    std::vector<long double> totals; // one per amount column
    std::size_t records = 0;         // records laid out
};

// A journal could not be built. The message names the file and, where the failure is about one
// line of it, that line (1-based) and the field: `pokupki.txt, line 17: amount 3 "12,50" is not a
// number`, `prodagbi.txt: the file holds no lines`.
class JournalError : public Error {
public:
    JournalError(std::string fileName, std::size_t line, const std::string& detail);
    const std::string& fileName() const { return fileName_; }
    std::size_t line() const { return line_; } // 0 when the failure is not about one line

private:
    std::string fileName_;
    std::size_t line_;
};

// Builds a journal from the bytes of its file. Throws orva::Error naming the file, the line
// and the field: a file with no lines, linesPerPage 0 or below B with a record to place, an
// amount that is not a number. (The errors are JournalError.)
JournalResult buildJournal(std::string_view fileBytes, int linesPerPage, const std::string& captionText,
                           const JournalLayout& layout, CodePage codePage = CodePage::Mik);

// The same from the file at `path`, read in chunks as the build goes, so that the file's bytes and
// the document are never held together (a million purchases are 274 MB of input). Also throws
// FileError naming the path when the file cannot be read.
JournalResult buildJournalFromFile(const std::string& path, int linesPerPage, const std::string& captionText,
                                   const JournalLayout& layout, CodePage codePage = CodePage::Mik);

} // namespace orva
