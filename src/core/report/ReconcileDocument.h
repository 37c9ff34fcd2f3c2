#pragma once

#include "journals/Journal.h"
#include "report/Reconcile.h"

#include <string>
#include <vector>

namespace orva {
class PeriodSession;
}

// The reconciliation as a paged document in the journals' style: 117 wide, Windows-1251, each page
// opening with its number, the firm, the period and the reports, then the documents that need a look
// by class, the counts at the end.
namespace orva::report {

struct ReconciliationSummary {
    Totals totals;
    // Why the document is not this period's to trust (UTF-8): a report of another buyer or a later
    // period, a journal of another firm. The document is built all the same; callers decide.
    std::vector<std::string> problems;
    std::size_t damagedLines = 0; // report lines left out, each named at the document's end
};

// Pairs the period's purchases with `reports` and writes the document into `sink`, `linesPerPage` lines
// a page. Throws Error when a page cannot hold its header and a row, or a report cannot be read or is no
// such report; PeriodError when the journal cannot.
ReconciliationSummary writeReconciliation(const PeriodSession& period, const std::vector<std::string>& reports,
                                          int linesPerPage, JournalSink& sink);

// The lines a page opens with before its rows (page number, title, firm, reports, the caption bars).
inline constexpr int kReconciliationHeaderLines = 7;

} // namespace orva::report
