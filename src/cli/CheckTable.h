#pragma once

#include "check/ReturnRules.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace orva::cli {

// Text as check's text output shows it: CR, LF and TAB as \r, \n and \t, the other bytes below
// 0x20 and 0x7F as \xHH; everything else as it is.
std::string shownText(const std::string& text);

// The table: a heading, one row per rule, and a closing line with the number of failures.
void printCheckTable(const std::vector<CheckRow>& rows, std::ostream& out);

} // namespace orva::cli
