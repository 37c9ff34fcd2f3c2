#pragma once

// The five documents as export and print name them, and the return as the window builds it.

#include "cli/Options.h"
#include "render/PageMetrics.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace orva {
struct Declaration;
}

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

// The return form as the window builds it after a dialog answered with the options.
std::vector<std::string> buildReturnFrom(const Declaration& declaration, const AnswerOptions& options, int pageLines);

} // namespace orva::cli
