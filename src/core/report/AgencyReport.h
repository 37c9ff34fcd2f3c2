#pragma once

#include "text/Errors.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The revenue agency's report of the sales that VAT-registered suppliers declared to one buyer for
// one tax period: a Windows-1251 CSV with a title line, a caption line and 16 fields a document.
// The reader streams: it is fed the file in chunks and hands out one document at a time, each with
// the byte offset of its line, so that a caller may keep only keys and amounts and read a line's
// details again when it shows them.
namespace orva::report {

// The 16 columns of a document line, 0-based.
enum Column : std::size_t {
    SupplierColumn = 0,
    SupplierNameColumn,
    SupplierPeriodColumn,
    TypeColumn,
    NumberColumn,
    DateColumn,
    GoodsColumn,
    TotalBaseColumn,
    TotalVatColumn,
    Base20Column,
    Vat20Column,
    Base9Column,
    Vat9Column,
    Base0Column,
    ExemptColumn,
    Art163aColumn,
};
inline constexpr std::size_t kColumns = 16;
inline constexpr std::size_t kFirstAmountColumn = TotalBaseColumn;

// A line longer than this is no line of such a report: it is refused rather than held.
inline constexpr std::size_t kMaxLineBytes = 10u << 20;

// What the title line says; Windows-1251 as read.
struct ReportTitle {
    std::string buyerName;
    std::string buyerId; // the ЕИК, digits as written (no "BG")
    std::string period;  // YYYYMM
};

// One document line: its fields unquoted (Windows-1251), the 1-based line it starts on and the byte
// offset of that line's start.
struct ReportLine {
    std::size_t line = 0;
    std::uint64_t offset = 0;
    std::array<std::string, kColumns> fields;
};

// One document line as views of the reader's buffers, valid during the call it is handed to; with each
// amount column's cents when it is written the common way (amountCents below), else std::nullopt.
struct ReportFields {
    std::size_t line = 0;
    std::uint64_t offset = 0;
    std::array<std::string_view, kColumns> fields;
    std::array<std::optional<std::int64_t>, kColumns - kFirstAmountColumn> cents;
};

// A line the reader skipped, named by file, line and field (0 when the whole line is meant).
struct ReportProblem {
    std::string file;
    std::size_t line = 0;
    std::size_t field = 0;
    std::string message; // UTF-8
    std::string text() const;
};

// The file is not such a report (its title or captions say otherwise). The message names the file
// and the line.
class NotAReportError : public Error {
public:
    using Error::Error;
};

// Whether a title line (Windows-1251, without its break) is the title of such a report; fills
// `title` when it is. Key words, not the exact wording: the portal may mend its captions.
bool parseTitle(std::string_view line, ReportTitle& title);

// The reader, fed the file's bytes in order. Throws NotAReportError from feed() or finish() when the
// title or the captions are not those of such a report.
class ReportParser {
public:
    using LineSink = std::function<void(const ReportLine&)>;
    using FieldsSink = std::function<void(const ReportFields&)>;
    using ProblemSink = std::function<void(const ReportProblem&)>;

    ReportParser(std::string file, LineSink onLine, ProblemSink onProblem);
    // A reader that hands its lines out as views, nothing copied: for a caller that keeps only some of
    // each line.
    static ReportParser withViews(std::string file, FieldsSink onFields, ProblemSink onProblem);

    void feed(std::string_view bytes);
    void finish();
    // Reads document lines from `offset` of the file on, the title and captions taken as read.
    void startAtDocuments(std::uint64_t offset, std::size_t line);

    const ReportTitle& title() const { return title_; }
    bool titleRead() const { return stage_ != Stage::Title; }
    std::size_t documents() const { return documents_; }

private:
    enum class Stage { Title, Captions, Data };
    // A whole line at `at` read at once when it is plain (see feed); where it ends, or nullptr.
    const char* plainLine(const char* at, const char* end);
    // Takes the byte at `at` and the run of bytes after it up to a stop or `limit` into the field; where
    // the run ends.
    const char* appendRun(const char* at, const char* limit, const std::array<bool, 256>& stops);
    // After a line's break: the next line starts at the current position.
    void nextLine();
    void endRecord();
    void endRecord(const std::string_view* fields, std::size_t count);
    void endField();
    void dropFields();
    void problem(std::size_t field, std::string message);

    std::string file_;
    LineSink onLine_;
    FieldsSink onFields_;
    ProblemSink onProblem_;
    Stage stage_ = Stage::Title;
    ReportTitle title_;

    std::string record_;            // the line's fields so far, unquoted, back to back
    std::vector<std::size_t> ends_; // where in record_ each field read so far ends
    std::vector<std::string_view> views_ = std::vector<std::string_view>(kColumns + 2); // the line's fields
    ReportFields found_;                                                                // handed out
    ReportLine document_; // handed out, its strings used again by the next line
    bool inQuotes_ = false, quoteSeen_ = false, afterQuote_ = false;
    bool fieldStarted_ = false;
    bool afterCr_ = false;
    bool overlong_ = false;    // the line passed kMaxLineBytes: skipped to its break
    std::size_t nulField_ = 0; // 1-based field of the first NUL on the line, 0 for none
    std::size_t recordBytes_ = 0;
    std::uint64_t position_ = 0, recordStart_ = 0;
    std::size_t line_ = 1, recordLine_ = 1;
    std::size_t documents_ = 0;
};

// Reads a whole report file in chunks. Throws FileError when it cannot be read and NotAReportError.
ReportTitle readReportFile(const std::string& path, const ReportParser::LineSink& onLine,
                           const ReportParser::ProblemSink& onProblem);
// The same over a file already open, from its start; `path` names it in messages.
ReportTitle readReportFile(int fd, const std::string& path, const ReportParser::LineSink& onLine,
                           const ReportParser::ProblemSink& onProblem);
// The same with the lines as views (ReportParser::withViews).
ReportTitle readReportFields(int fd, const std::string& path, const ReportParser::FieldsSink& onFields,
                             const ReportParser::ProblemSink& onProblem);

// Reads again the one document line that starts at `offset` of the file (details shown later).
// Throws FileError; false when no document line starts there any longer.
bool readReportLineAt(const std::string& path, std::uint64_t offset, ReportLine& line);
// The same through a file already open (`path` names it in errors): a caller reading many lines again
// opens the file once.
bool readReportLineAt(int fd, const std::string& path, std::uint64_t offset, ReportLine& line);

// Reads document lines again by their offsets through one window of the file, so that many lines in file
// order cost a few large reads. The file stays the caller's, open while the reader is used.
class ReportLineReader {
public:
    // `chunk`: how much of the file one read takes.
    ReportLineReader(int fd, std::string path, std::size_t chunk = 1 << 20);
    ReportLineReader(const ReportLineReader&) = delete; // its reader hands lines to this object
    ReportLineReader& operator=(const ReportLineReader&) = delete;
    // The document line that starts at `offset`, numbered `lineNumber`. Throws FileError; false when no
    // document line starts there any longer.
    bool read(std::uint64_t offset, std::size_t lineNumber, ReportLine& line);
    // The same handed to `onFields` as views, valid during the call.
    bool readFields(std::uint64_t offset, std::size_t lineNumber, const ReportParser::FieldsSink& onFields);

private:
    bool fill(std::uint64_t at, std::size_t size);

    int fd_;
    std::string path_;
    std::size_t chunk_;
    std::string window_; // the file's bytes from windowAt_
    std::uint64_t windowAt_ = 0;
    bool found_ = false;
    const ReportParser::FieldsSink* target_ = nullptr;
    ReportParser parser_;
};

// An amount column's text as a number: blanks around it ignored, an empty field is zero. false for
// anything else.
bool isAmountText(std::string_view text);
// The common amount (blanks, a sign, digits, a point and up to two decimals) in cents; std::nullopt for
// an empty field and for any other writing, which the exact decimal reader then takes.
std::optional<std::int64_t> amountCents(std::string_view text);

} // namespace orva::report
