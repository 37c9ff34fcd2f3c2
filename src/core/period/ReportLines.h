#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The agency's reports beside a period, and what a row of the reconciliation points at: the record
// of the purchases journal, or the line of a report a document stands on alone.
namespace orva {

// The *.csv files of a period folder whose title says they are the agency's report for the firm of
// `vatNumber` (the return record's, Windows-1251), in name order. Only each file's title is read; a
// file that cannot be read is not among them.
std::vector<std::string> agencyReportsIn(const std::string& folder, const std::string& vatNumber);

// A document row of the reconciliation document, by its columns: the record's line in the
// purchases journal and the report line it was paired with (0 where there is none), the supplier
// and the number as shown (Windows-1251, trimmed). Nothing for any other line, a continued row
// included.
struct ReconciliationRow {
    std::size_t journalLine = 0;
    std::size_t reportLine = 0;
    std::string supplier, number;
};
std::optional<ReconciliationRow> reconciliationRow(std::string_view line);

// A line of a report as a reader is shown it: the file, its line number, its text (UTF-8, as
// written up to the line's break).
struct ReportLineText {
    std::string file;
    std::size_t line = 0;
    std::string text;
};

// The document line `row` names among `reports`: the first report with a document at that line whose
// supplier and number agree with the row's (the columns may have cut them: then the first report with
// a document at that line). Throws FileError when a report cannot be read again.
std::optional<ReportLineText> findReportLine(const std::vector<std::string>& reports, const ReconciliationRow& row);

} // namespace orva
