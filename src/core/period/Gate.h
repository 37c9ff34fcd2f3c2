#pragma once

#include "journals/RecordLayout.h"
#include "text/CodePage.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

// What a journal's file says that its document does not: records of another firm or period than
// the return's, a NUL byte that ends the journal before its file ends, a cut last record. Any of
// these means the printed journal is not the period's, so the window asks before it shows such a
// period and export and print refuse it unless forced. Fed while the journal is read, so it costs
// no second pass; it never changes the document.
class JournalGate {
public:
    // `fileName` as it is spelled on disk; `returnVatNumber` and `returnPeriod` (YYYYMM) as the return
    // record holds them (Windows-1251), compared without the blanks around them.
    JournalGate(std::string fileName, JournalKind kind, CodePage codePage, std::string_view returnVatNumber,
                std::string_view returnPeriod);

    // Every record line, in file order, as read (before any code page conversion).
    void record(std::string_view record);
    // A NUL byte stood in line `line` and `linesAfter` lines followed it (they are not in the journal).
    void nulByte(std::size_t line, std::size_t linesAfter);
    // The file's last line, shorter than a record and so left out of the journal.
    void shortLastLine(std::string_view text, std::size_t line);

    // One line for each case (UTF-8), in a fixed order: the foreign records, the NUL, the cut record.
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
    std::size_t nulLine_ = 0, linesAfterNul_ = 0;
    std::size_t cutLine_ = 0, cutLength_ = 0;
};

// "09/2020" for the record period "202009"; any other text as it stands.
std::string periodForPeople(std::string_view period);

} // namespace orva
