#pragma once

#include "period/Period.h"

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
    Result result = Result::Holds;
};

// Every rule, in a fixed order: the sales columns, the purchases columns, the return's own sums,
// the coefficient, cells 50 and 60, the refunds, the document counts. Throws PeriodError
// (Stage::Return) naming the file, line and amount when a value cannot be written as money.
std::vector<CheckRow> checkPeriod(const Period& period);

} // namespace orva
