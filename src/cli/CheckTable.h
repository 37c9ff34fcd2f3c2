#pragma once

#include "check/ReturnRules.h"

#include <iosfwd>
#include <vector>

namespace orva::cli {

// The table: a heading, one row per rule, and a closing line with the number of failures.
void printCheckTable(const std::vector<CheckRow>& rows, std::ostream& out);

} // namespace orva::cli
