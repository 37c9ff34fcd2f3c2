#pragma once

// Spreadsheets orva-cli writes: the journals as xlsx or CSV (export --format xlsx|csv) and check's
// summary of many periods as xlsx. xlsx through libxlsxwriter in its constant-memory mode: rows go to
// disk as they are written, so a journal of millions of records costs little memory.

#include "journals/RecordLayout.h"
#include "text/CodePage.h"
#include "text/ExactDecimal.h"
#include "text/UniqueFd.h"
#include "text/Wording.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace orva::cli {

// Rows of one sheet below its header: a sheet holds 1,048,576 rows.
inline constexpr std::size_t kSheetRecords = 1048575;

// An xlsx file being written: into a private temporary folder beside `path`, put in place whole by
// publish() (a rename: a link at `path` is replaced, never written through); removed unless published.
class XlsxBook {
public:
    explicit XlsxBook(const std::string& path); // throws orva::Error (FileError)
    ~XlsxBook();
    XlsxBook(const XlsxBook&) = delete;
    XlsxBook& operator=(const XlsxBook&) = delete;

    lxw_worksheet* addSheet(const std::string& name);
    lxw_format* header() const { return header_; }
    lxw_format* money() const { return money_; }
    lxw_format* date() const { return date_; }
    lxw_format* bold() const { return bold_; }

    // Writes the file (the zip's deflate happens here) and syncs it; throws orva::Error.
    void finish();
    void publish();
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string private_;   // the private folder's name
    UniqueFd folderFd_;     // ... held open: the workbook is reached through it
    std::string reachedAs_; // "/proc/self/fd/N", what libxlsxwriter is given
    lxw_workbook* book_ = nullptr;
    lxw_format* header_ = nullptr;
    lxw_format* money_ = nullptr;
    lxw_format* date_ = nullptr;
    lxw_format* bold_ = nullptr;
    bool finished_ = false;
    bool published_ = false;
};

// Throws orva::Error naming `what` when a libxlsxwriter call failed.
void checkXlsx(int error, const std::string& what);

// One journal as a spreadsheet: a header row, a row per record, a totals row.
class JournalSheetWriter {
public:
    virtual ~JournalSheetWriter() = default;
    // A record as read, in the file's code page.
    virtual void record(std::string_view raw) = 0;
    // The journal's exact totals, one per amount column; then the file is complete.
    virtual void finish(const std::vector<ExactDecimal>& totals) = 0;
    virtual void publish() = 0;
    virtual const std::string& path() const = 0;
};

// `recordsPerSheet` records on a sheet before the next one ("Покупки 2" ...).
std::unique_ptr<JournalSheetWriter> xlsxJournal(const std::string& path, const RecordLayout& layout, Wording wording,
                                                CodePage codePage, std::size_t recordsPerSheet = kSheetRecords);
// UTF-8 with a BOM, ";" between cells, CR LF, every cell neutralised for spreadsheets.
std::unique_ptr<JournalSheetWriter> csvJournal(const std::string& path, const RecordLayout& layout, Wording wording,
                                               CodePage codePage);

// One CSV cell: neutralised (text/Csv.h), quoted when it holds ";", a quote or a line break.
std::string csvCell(const std::string& text);
// The same appended to `out`.
void appendCsvCell(std::string& out, std::string_view text);

} // namespace orva::cli
