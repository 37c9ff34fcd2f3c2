#pragma once

#include "journals/RecordLayout.h"
#include "text/CodePage.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

// What a journal's file says that its document does not: records of another firm or period than
// the return's, records cut short (their cut amounts would print as if whole), a short line or a NUL
// byte that ends the journal before its file ends, a cut last record. Any of
// these means the printed journal is not the period's, so the window asks before it shows such a
// period and export and print refuse it unless forced. Fed while the journal is read, so it costs
// no second pass; it never changes the document.
class JournalGate {
public:
    // `fileName` as it is spelled on disk; `returnVatNumber` and `returnPeriod` (YYYYMM) as the return
    // record holds them (Windows-1251), compared without the blanks around them.
    JournalGate(std::string fileName, JournalKind kind, CodePage codePage, std::string_view returnVatNumber,
                std::string_view returnPeriod);

    // Every record line, in file order from the file's first line, as read (before any code page
    // conversion). A record that ends before its last amount does is cut.
    void record(std::string_view record);
    // A line shorter than a record, line `line`, ended the journal; `linesAfter` lines followed it, of
    // which `filledLinesAfter` are not blank. Only a loss of the latter is a case.
    void shortLine(std::string_view text, std::size_t line, std::size_t linesAfter, std::size_t filledLinesAfter);
    // A NUL byte stood in line `line` and `linesAfter` lines followed it (they are not in the journal).
    void nulByte(std::size_t line, std::size_t linesAfter);
    // The file's last line, shorter than a record and so left out of the journal.
    void shortLastLine(std::string_view text, std::size_t line);

    // One line for each case (UTF-8), in a fixed order: the foreign records, the cut records, the short
    // line, the NUL, the cut last line.
    std::vector<std::string> problems() const;

private:
    struct Owner {
        std::string vatNumber; // trimmed, Windows-1251
        std::string period;    // trimmed, as in the record
        std::size_t records = 0;
    };
    static constexpr std::size_t kOwnersKept = 8; // further distinct owners are only counted

    std::string fileName_;
    const RecordLayout& layout_;
    CodePage codePage_;
    std::string vatNumber_;
    std::string period_;
    std::size_t records_ = 0;
    std::vector<Owner> owners_;
    std::size_t otherOwnersRecords_ = 0;
    std::size_t cutRecords_ = 0, firstCutLine_ = 0, firstCutLength_ = 0, lastCutLine_ = 0;
    std::size_t shortLine_ = 0, shortLength_ = 0, linesAfterShort_ = 0;
    std::size_t nulLine_ = 0, linesAfterNul_ = 0;
    std::size_t cutLine_ = 0, cutLength_ = 0;
};

// "09/2020" for the record period "202009"; any other text as it stands.
std::string periodForPeople(std::string_view period);

} // namespace orva
