#pragma once

#include "journals/Journal.h"
#include "journals/RecordLayout.h"
#include "period/DataFiles.h"
#include "text/CodePage.h"
#include "text/ExactDecimal.h"
#include "text/FileNames.h"
#include "text/LineSource.h"
#include "text/UniqueFd.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The VIES declaration of a period (VIES.TXT, FORMATS §6): read by its record codes, in any order,
// and laid out as the fifth document in the journals' style. The file is read once to learn its
// header records, counts and sums, then again to lay out its lines (through the same open file), so
// that a file of any length costs no more memory than its document.
namespace orva {

// Why a line of VIES.TXT is not in the document, or what the file lacks. None ends the period.
struct ViesProblem {
    enum class Kind {
        UnknownCode, // the line starts with no record code
        WrongLength, // a known code on a line of another length
        Repeated,    // a second VHR, VDR, VTR, TTR or CHR
        Missing,     // no VHR or no VTR in the file (line 0)
        NulByte,     // a NUL ends the text with lines after it
        Unreadable,  // the file could not be read (line 0)
    };
    Kind kind = Kind::UnknownCode;
    std::size_t line = 0;   // 1-based; 0 when about the whole file
    std::string code;       // the record's code: the missing or repeated one, or the line's first bytes (UTF-8)
    std::size_t length = 0; // WrongLength: the line's length; NulByte: the lines after it
    std::string failure;    // Unreadable: why (UTF-8)

    // "непознат код на запис "XYZ"", UTF-8, without the file's name and the line.
    std::string text() const;
};

// One record as read: its layout, its line and its bytes (Windows-1251).
struct ViesRecord {
    const ViesRecordLayout* layout = nullptr;
    std::size_t line = 0;
    std::string_view text;
    std::string_view field(std::size_t index) const { return fieldText(text, layout->fields[index]); }
};

// A header record as kept: its bytes and its line.
struct ViesHeaderRecord {
    std::string text;
    std::size_t line = 0;
    std::string_view field(const ViesRecordLayout& layout, std::size_t index) const {
        return fieldText(text, layout.fields[index]);
    }
};

// What one pass over the file learns.
struct ViesSummary {
    std::string fileName; // as spelled on disk
    CodePage codePage = CodePage::Windows1251;
    std::optional<ViesHeaderRecord> header, declarant, person, totals, callOffHeader; // the first of each
    std::size_t lines = 0;                                                            // VIR records read
    std::size_t callOffLines = 0;                                                     // COS records read
    // Over every VIR line, and over the lines without a к6 period (the period's own): amounts that are
    // no number are left out and counted.
    ExactSum goods, triangular, services;
    ExactSum ownGoods, ownTriangular, ownServices;
    std::size_t badAmounts = 0;
    // What the file lacks (Missing) or that it could not be read (Unreadable): the problems of single
    // lines are handed out as they are read and only counted here, so that a file of a million bad
    // lines costs no memory of its own.
    std::vector<ViesProblem> problems;
    std::size_t badLines = 0; // lines not in the document: every line problem, and the lines after a NUL
    bool readable() const;    // false when the file could not be read at all
    // scanViesFile: the file read, for the document's passes (never the file by its name again).
    std::shared_ptr<const UniqueFd> opened;

    // How many lines of the file are not in the document.
    std::size_t linesLeftOut() const;
};

// The document's fixed texts and its two tables (layouts.cpp, beside the journals'). Texts are
// Windows-1251; every table line is 117 characters, as the journals'.
struct ViesTable {
    std::vector<std::size_t> widths;  // the cells between the bars
    std::vector<std::string> heading; // the bar, the captions, the bar: repeated on every page
};

struct ViesLayout {
    std::string titlePrefix;        // "ВИЕС ДЕКЛАРАЦИЯ     "
    ViesTable lines;                // №, VIN, к3, к4, к5, к6
    ViesTable callOff;              // №, recipient, code, replacing person, period
    std::string personAddress;      // "Адрес на лицето: "
    std::string declarant;          // "Подава: "
    std::string declarantAddress;   // "Адрес на подаващия: "
    std::string roleAuthorised;     // A: "пълномощник"
    std::string roleRepresentative; // R: "представляващ"
    std::string count;              // "Брой записи VIR по VHR: "
    std::string countRead;          // ", прочетени във файла: "
    std::string total;              // the totals row's caption
    std::string fileTotals;         // "Запис TTR: обща сума к3+к4+к5 "
    std::string fileGoods;          // ", сума к3 "
    std::string noFileTotals;       // "Запис TTR: няма"
    std::string callOffTitle; // "СКЛАДИРАНЕ НА РАЗПОЛОЖЕНИЕ (CHR/COS), брой записи COS по CHR: "
};

const ViesLayout& viesLayout();

// Which record `line` is: nullptr when no code fits or its length is not the record's.
const ViesRecordLayout* viesRecordOf(std::string_view line);

// Reads the lines of `source` (Windows-1251 or MIK, as `codePage` says); `onRecord` sees every
// record read and `onProblem` every problem of a line (the NUL's included), both in line order, the
// records converted to Windows-1251. Throws FileError when the source does.
using ViesProblemSink = std::function<void(const ViesProblem&)>;
ViesSummary readVies(LineSource& source, CodePage codePage, const std::string& fileName,
                     const std::function<void(const ViesRecord&)>& onRecord = {},
                     const ViesProblemSink& onProblem = {});

// The address of the person the file is for (its VTR record, Windows-1251, without the blanks
// around it); empty without one.
std::string personAddress(const ViesSummary& summary);

// A fresh source over the same file, for each pass over it.
using ViesSourceOpener = std::function<std::unique_ptr<LineSource>()>;

// Lays the document out from `summary` and the file's lines, read again through `open`, into
// `sink`. Throws orva::Error when linesPerPage is below 1, FileError when a source does.
void writeViesDocument(const ViesSourceOpener& open, const ViesSummary& summary, int linesPerPage, JournalSink& sink);

// The same for a period's file: VIES.TXT as surveyed, read through the file the survey opened, and the
// document through the file the summary read. A file that cannot be read gives a summary with that
// problem and a document that says so; the period goes on.
ViesSummary scanViesFile(const FileSurvey& file, const std::function<void(const ViesRecord&)>& onRecord = {},
                         const ViesProblemSink& onProblem = {});
void streamViesFile(const FileSurvey& file, const ViesSummary& summary, int linesPerPage, JournalSink& sink);

// What the VIES tab shows for a period without VIES.TXT (UTF-8).
inline const char* const kNoViesText = "Периодът няма VIES декларация (VIES.TXT).";

// Periods are written MM/YYYY in VIES.TXT and YYYYMM in the return: the latter of the former, or
// empty when `viesPeriod` is not MM/YYYY with a real month.
std::string viesPeriodAsTaxPeriod(std::string_view viesPeriod);

} // namespace orva
