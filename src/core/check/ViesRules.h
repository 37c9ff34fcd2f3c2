#pragma once

#include "check/PeriodCheck.h"

// The check of the period's VIES declaration: its own lines and records, then against the return and
// the sales journal. A period without VIES.TXT is checked only for cells 15 and 17 that call for one.
namespace orva::check {

void checkVies(const PeriodFiles& files, const Declaration& declaration, const JournalTotals& sales, FindingSink& sink);

} // namespace orva::check
