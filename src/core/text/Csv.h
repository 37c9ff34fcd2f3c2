#pragma once

#include <string>
#include <string_view>

namespace orva {

// A cell of a CSV file the program writes, made safe for spreadsheets: text that starts with
// "=", "+", "-", "@", TAB or CR would be taken as a formula, so it gets a leading "'" (OWASP's
// rule for CSV injection). A plain number ("-12.50", "-3", "+7") stays as it is, so amounts keep
// their value. Quoting for the separator is the writer's part.
std::string neutralisedCsvCell(std::string_view text);

} // namespace orva
