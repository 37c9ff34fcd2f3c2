#pragma once

#include "period/Period.h"

#include <cstddef>
#include <string>
#include <vector>

namespace orva {

// One rule of the cross-check and how it came out. Texts are UTF-8.
struct CheckRow {
    enum class Result { Holds, Fails, NotEvaluable };
    std::string rule;
    std::string returnValue;  // the return's side
    std::string journalValue; // the journals' side, or the value the other cells give
    std::string difference;   // return - journals; for a rule that cannot be evaluated, why
    // Of a "<=" rule that holds: what the limit leaves (the difference with its sign turned), for
    // people; empty for any other row. The machine formats keep the difference.
    std::string margin;
    Result result = Result::Holds;
};

// What the rules need of a journal: its column totals and record count, not its document.
struct JournalTotals {
    std::vector<ExactDecimal> totals; // one per amount column, exact
    std::size_t records = 0;
    // Empty when every amount was a number; otherwise why the totals are not the journal's (UTF-8), and
    // the rules that need them are not evaluated.
    std::string incomplete;
};

// Every rule, in a fixed order: the sales columns, the purchases columns, the return's own sums,
// the coefficient, cells 50 and 60, the refunds, the document counts. Throws PeriodError
// (Stage::Return) naming the file, line and amount when a value cannot be written as money.
std::vector<CheckRow> checkReturn(const Declaration& declaration, const JournalTotals& purchases,
                                  const JournalTotals& sales);

// Cells 13, 23, 14, 24 against sales columns 17, 16, 19, 18: true when they do not all agree as the record
// was read, but would all agree read in the other generation's order (13 <-> 23, 14 <-> 24). False when any
// of them cannot be evaluated.
bool agreesOnlyInOtherOrder(const Declaration& declaration, const JournalTotals& sales);

} // namespace orva
