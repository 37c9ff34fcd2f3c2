#pragma once

// The documents as export and print name them, and the return as the window builds it.

#include "cli/Options.h"
#include "period/DocumentTable.h"
#include "render/PageMetrics.h"

#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

namespace orva {
class PeriodSession;
class ReturnCells;
struct ReturnAnswers;
} // namespace orva

namespace orva::cli {

// The rows of the core's table of documents (period/DocumentTable.h) by the names the commands use.
using Document = DocumentType;
inline const Document& kLabel = labelDocument();
inline const Document& kPurchases = purchasesDocument();
inline const Document& kSales = salesDocument();
inline const Document& kReturn = returnDocument();
inline const Document& kVies = viesDocument(); // only for a period with VIES.TXT
// Of two inputs: the period and the submission filed before it (--older), or the agency's reports.
inline const Document& kMemo = correctionMemoDocument();
inline const Document& kReconciliation = reconciliationDocument();

// The documents of two inputs asked for by --older and --report, built into `sink` for the period
// shown in `period`; `sinkOf` gives the sink of each (for print, only the one printed). The gate's
// cases (the older submission of another firm or month, a report of another buyer or a later month,
// a journal not the period's) are added to `problems`. Throws PeriodError (Load) when the older
// submission or a report cannot be read.
void buildTwoInputDocuments(const PeriodSession& period, const Options& options, int linesPerPage,
                            const std::function<JournalSink*(const Document&)>& sinkOf,
                            std::vector<std::string>& problems);

// A usage error when `linesPerPage` lines do not fit on a PDF page (maxPdfLinesPerPage).
void refuseLinesBeyondPdfPage(int linesPerPage);

// The gate of export and print: each case on `err`; true when there is none or `force` says go on.
// Without --force the caller writes or sends nothing; `nothingDone` says so ("нищо не е записано").
bool passGate(const std::vector<std::string>& problems, bool force, std::ostream& err, const std::string& nothingDone);

// The --cell values over `presets` as the dialog applies typed values (period/Answers.h): 40/50/60
// follow cell 33. When values were typed, the sums the return cannot hold are warned of on `err`.
// Throws PeriodError (Stage::Return) when 40 cannot be computed.
ReturnCells typedCellsOver(const ReturnCells& presets, const std::map<int, std::string>& typed, std::ostream* err);

// The answers the window's dialog would give when answered with the options; the sums warnings go
// to `err` when it is given. Throws PeriodError (Stage::Return) as presetAnswers does.
ReturnAnswers answersFrom(const PeriodSession& period, const AnswerOptions& options, std::ostream* err = nullptr);

} // namespace orva::cli
