#include "period/ReportLines.h"

#include "journals/RecordLayout.h"
#include "report/AgencyReport.h"
#include "report/Reconcile.h"
#include "text/Encoding.h"
#include "text/LineFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <unistd.h>

namespace orva {

std::vector<std::string> agencyReportsIn(const std::string& folder, const std::string& vatNumber) {
    std::vector<std::string> paths;
    for (const report::FoundReport& found : report::reportsInFolder(folder, vatNumber))
        paths.push_back(found.path);
    return paths;
}

namespace {

// The columns of a document row, as the reconciliation lays them out between its bars.
constexpr std::size_t kWidths[] = {13, 15, 20, 3, 10, 7, 7, 33};
constexpr std::size_t kSupplierColumn = 1, kNumberColumn = 2, kJournalColumn = 5, kReportColumn = 6;

// A column holding a line number, or nothing: its value, 0 for blanks, nullopt for anything else.
std::optional<std::size_t> lineNumber(std::string_view cell) {
    cell = trimBlanks(cell);
    if (cell.empty())
        return 0;
    if (cell.size() > 12 || !std::all_of(cell.begin(), cell.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoull(std::string(cell));
}

} // namespace

std::optional<ReconciliationRow> reconciliationRow(std::string_view line) {
    std::vector<std::string_view> cells;
    std::size_t at = 0;
    for (const std::size_t width : kWidths) {
        if (at >= line.size() || line[at] != '|' || at + 1 + width > line.size())
            return std::nullopt;
        cells.push_back(line.substr(at + 1, width));
        at += 1 + width;
    }
    if (at >= line.size() || line[at] != '|')
        return std::nullopt;
    const std::optional<std::size_t> journal = lineNumber(cells[kJournalColumn]);
    const std::optional<std::size_t> report = lineNumber(cells[kReportColumn]);
    if (!journal || !report || (*journal == 0 && *report == 0))
        return std::nullopt;
    ReconciliationRow row;
    row.journalLine = *journal;
    row.reportLine = *report;
    row.supplier = std::string(trimBlanks(cells[kSupplierColumn]));
    row.number = std::string(trimBlanks(cells[kNumberColumn]));
    return row;
}

std::optional<ReportLineText> findReportLine(const std::vector<std::string>& reports, const ReconciliationRow& row) {
    if (row.reportLine == 0)
        return std::nullopt;
    const std::string wanted = report::documentKey(row.supplier, row.number);
    std::optional<ReportLineText> atLine; // the first report with a document at the line
    std::uint64_t atLineOffset = 0;
    std::optional<std::uint64_t> offset;
    std::string file;
    for (const std::string& path : reports) {
        try {
            report::readReportFile(
                path,
                [&](const report::ReportLine& line) {
                    if (offset || line.line != row.reportLine)
                        return;
                    if (report::documentKey(line.fields[report::SupplierColumn], line.fields[report::NumberColumn]) ==
                        wanted) {
                        offset = line.offset;
                        file = path;
                    } else if (!atLine) {
                        atLine = ReportLineText{path, line.line, {}};
                        atLineOffset = line.offset;
                    }
                },
                [](const report::ReportProblem&) {});
        } catch (const report::NotAReportError&) {
            continue; // the document could not have come from it
        }
        if (offset)
            break;
    }
    if (!offset && atLine) {
        offset = atLineOffset;
        file = atLine->file;
    }
    if (!offset)
        return std::nullopt;
    // The line as written, up to its break (a quoted break ends what is shown).
    std::size_t size = 0;
    const UniqueFd fd = openFileForReading(file, size);
    std::string text(std::min<std::size_t>(64 * 1024, size > *offset ? size - *offset : 0), '\0');
    const ssize_t got = ::pread(fd.get(), text.data(), text.size(), static_cast<off_t>(*offset));
    if (got < 0)
        throwFileError(FileAction::Read, file, errno);
    text.resize(static_cast<std::size_t>(got));
    text.resize(std::min(text.size(), text.find_first_of("\r\n")));
    return ReportLineText{file, row.reportLine, win1251ToUtf8(text)};
}

} // namespace orva
