#pragma once

// The five documents as export and print name them, and the return as the window builds it.

#include "cli/Options.h"
#include "render/PageMetrics.h"

#include <iosfwd>
#include <map>
#include <string>
#include <vector>

namespace orva {
struct Declaration;
class ReturnCells;
} // namespace orva

namespace orva::cli {

struct Document {
    const char* name;  // file name without extension, and --document
    const char* title; // the tab's caption, the PDF's title
    int pointSize;
};

inline constexpr Document kLabel{"label", "ЕТИКЕТ", kLabelPointSize};
inline constexpr Document kPurchases{"purchases", "ПОКУПКИ", kDocumentPointSize};
inline constexpr Document kSales{"sales", "ПРОДАЖБИ", kDocumentPointSize};
inline constexpr Document kReturn{"return", "ДЕКЛАРАЦИЯ", kDocumentPointSize};
inline constexpr Document kVies{"vies", "VIES", kDocumentPointSize}; // only for a period with VIES.TXT

// A usage error when `linesPerPage` lines do not fit on a PDF page (maxPdfLinesPerPage).
void refuseLinesBeyondPdfPage(int linesPerPage);

// The gate of export and print: each case on `err`; true when there is none or `force` says go on.
// Without --force the caller writes or sends nothing; `nothingDone` says so ("нищо не е записано").
bool passGate(const std::vector<std::string>& problems, bool force, std::ostream& err, const std::string& nothingDone);

// The --cell values over `presets` as the dialog applies typed values (period/Answers.h): 40/50/60
// follow cell 33. When values were typed, the sums the return cannot hold are warned of on `err`.
// Throws PeriodError (Stage::Return) when 40 cannot be computed.
ReturnCells typedCellsOver(const ReturnCells& presets, const std::map<int, std::string>& typed, std::ostream* err);

// The return form as the window builds it after a dialog answered with the options; the sums
// warnings go to `err` when it is given.
std::vector<std::string> buildReturnFrom(const Declaration& declaration, const AnswerOptions& options, int pageLines,
                                         std::ostream* err = nullptr);

} // namespace orva::cli
