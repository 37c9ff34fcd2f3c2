#pragma once

#include "journals/RecordLayout.h"
#include "text/CodePage.h"
#include "text/Errors.h"
#include "text/ExactDecimal.h"
#include "text/LineSource.h"
#include "text/Wording.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

// One line of amounts in a record block, and the totals line of the same shape: a bar, `amounts`
// cells, `blanks` blanks, a bar.
struct AmountLine {
    std::size_t amounts = 0;
    std::size_t blanks = 0;
};

// The parameters in which the purchases and sales journals differ; one engine pages both. Only
// independent facts are held; the rest follows from them. The two sets are in layouts.cpp.
struct JournalLayout {
    JournalKind kind = JournalKind::Purchases;  // its record's fields (RecordLayout)
    std::string fileName;                       // "pokupki.txt" / "prodagbi.txt"
    std::string titlePrefix;                    // ends with five blanks
    std::vector<std::string> firstPageLines;    // fixed header lines after the title (13 / 20)
    std::vector<std::string> continuationLines; // fixed header lines after the title (4 / 5)
    // W, the amount columns: 15 / 12. A wider text is shown whole; one as wide or wider gets a blank
    // before it unless it opens its line.
    std::size_t amountWidth = 0;
    std::vector<AmountLine> amountLines; // {7, 10} / {8, 19}, {9, 7}: record and totals lines
    // Column 8а, today's wording only: the record's 2-character code in the blanks of its last
    // amount line, after codeIndent of them (4 / 2). Totals lines keep the cell blank.
    bool showsCode = false;
    std::size_t codeIndent = 0;

    // B: the identity line, the amount lines and the dash line under them (3 / 4).
    int blockHeight() const { return static_cast<int>(amountLines.size()) + 2; }
    // The amounts of a record, all on its amount lines (7 / 17).
    std::size_t amountCount() const {
        std::size_t count = 0;
        for (const AmountLine& line : amountLines)
            count += line.amounts;
        return count;
    }
    // W: a total's cell is as wide as the amounts above it (15 / 12).
    std::size_t totalWidth() const { return amountWidth; }
};

// The two journals in either wording (Wording.h): the headers' captions and column 8а.
const JournalLayout& purchasesLayout(Wording wording = Wording::Classic);
const JournalLayout& salesLayout(Wording wording = Wording::Classic);
const JournalLayout& journalLayout(JournalKind kind, Wording wording);

// A journal could not be built. The message names the file and, where the failure is about one
// line of it, that line (1-based) and the field: `pokupki.txt, ред 17: сума 3 "12,50" не е число`,
// `prodagbi.txt: файлът не съдържа редове`.
class JournalError : public Error {
public:
    JournalError(std::string fileName, std::size_t line, const std::string& detail);
    const std::string& fileName() const { return fileName_; }
    std::size_t line() const { return line_; } // 0 when the failure is not about one line

private:
    std::string fileName_;
    std::size_t line_;
};

class JournalError;
class LineSource;

// Receives a journal's lines in order as they are built (Windows-1251, without line breaks). The
// window keeps them; orva-cli writes them out as they come, so a big journal is never held whole.
class JournalSink {
public:
    virtual ~JournalSink() = default;
    // About how many lines are to come (an upper bound for the usual file).
    virtual void reserve(std::size_t /*lines*/) {}
    virtual void line(std::string_view text) = 0;
    // False for a sink that throws every line away (a check, the journal print does not show): the
    // engine then spares composing the records' lines, the bulk of its work, and hands only the rest.
    virtual bool keepsLines() const { return true; }
    // Whether the lines handed so far can still be dropped, for a build begun again (the journal's code
    // page counted otherwise than its first lines were read in); restart() drops them.
    virtual bool canRestart() const { return false; }
    virtual void restart() {}
};

// Keeps every line: the document the window shows.
class LineCollector final : public JournalSink {
public:
    explicit LineCollector(std::vector<std::string>& lines) : lines_(lines) {}
    void reserve(std::size_t lines) override { lines_.reserve(lines); }
    void line(std::string_view text) override { lines_.emplace_back(text); }
    bool canRestart() const override { return true; }
    void restart() override { lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(begun_), lines_.end()); }

private:
    std::vector<std::string>& lines_;
    std::size_t begun_ = lines_.size(); // lines there before this sink's
};

// Hands each line on as it comes: into a print job or another writer.
class LineForwarder final : public JournalSink {
public:
    explicit LineForwarder(const std::function<void(std::string_view)>& line) : line_(line) {}
    void line(std::string_view text) override { line_(text); }

private:
    const std::function<void(std::string_view)>& line_;
};

// Keeps nothing: a journal read for its totals, findings or failures only.
class DiscardingSink final : public JournalSink {
public:
    void line(std::string_view) override {}
    bool keepsLines() const override { return false; }
    bool canRestart() const override { return true; }
};

// The amounts of one record as whole cents, read by whoever saw the record first (JournalOptions::onRecord,
// the check): the totals take them as they are instead of reading their fields again.
struct KnownCents {
    std::uint32_t known = 0; // bit k: amount k of the record (in field order) is in cents[k]
    std::array<std::int64_t, 32> cents{};
};

struct JournalOptions {
    CodePage codePage = CodePage::Mik;
    // The file's name in messages, as it is spelled on disk (PRODAGBI.TXT); the layout's when empty.
    std::string fileName;
    // Sees every record line as read, with its line number, before it is laid out.
    std::function<void(std::string_view record, std::size_t line)> onRecord;
    // Without it, an amount that is not a number ends the build; with it, the amount is reported
    // here and left out of the totals, and the build goes on.
    std::function<void(const JournalError& error)> onBadAmount;
    // When given, onRecord may say here which of the record's amounts it has read; emptied before each record.
    KnownCents* knownCents = nullptr;
};

struct JournalSummary {
    std::vector<ExactDecimal> totals;    // one per amount column, exact
    std::size_t records = 0;             // records laid out
    std::size_t endLine = 0;             // the short line that ended the data before the file's end, or 0
    std::string endLineText;             // that line, as read
    std::size_t linesAfterEnd = 0;       // the lines after it, left out of the journal (up to a NUL)
    std::size_t filledLinesAfterEnd = 0; // those of them that are not blank (carriesNoRecord)
    bool complete = true;                // false when onBadAmount left an amount out of the totals
    // The file's last line when it was shorter than a record and so left out, with its number (or 0).
    std::string droppedLastLine;
    std::size_t droppedLine = 0;
    // A NUL byte that ended the file's text, once the journal was read to it.
    std::optional<LineSource::NulStop> nul;
    // Set by the period's load (period/Gate.h): why the journal is not the period's, one line a case.
    std::vector<std::string> problems;
};

// Whether a line carries nothing of a record: only blanks, tabs and DOS's end-of-file mark (Ctrl+Z),
// what editors and old copies leave after the data.
bool carriesNoRecord(std::string_view line);

// Builds a journal from `source` into `sink`: the engine's one entry (a period's journals are read
// through PeriodSession). Throws orva::Error naming the file, the line and the field: a file with no
// lines, linesPerPage 0 or below B with a record to place, an amount that is not a number (the errors
// are JournalError); a FileSource's FileError. A short line that ends the data has the rest of the
// source read, to count what it leaves out.
JournalSummary writeJournal(LineSource& source, int linesPerPage, const std::string& captionText,
                            const JournalLayout& layout, JournalSink& sink, const JournalOptions& options = {});

// The document line (0-based) of the identity line ("|    17 ...") of the record on line `recordLine`
// (1-based) of the journal's file, as writeJournal pages it; for JournalSummary::endLine, the line of
// the totals. 0 for line 0, or when a page cannot hold a record block (no journal is built).
std::size_t recordBlockLine(const JournalLayout& layout, int linesPerPage, std::size_t recordLine);

} // namespace orva
