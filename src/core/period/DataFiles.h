#pragma once

#include "declaration/ReturnCells.h"
#include "text/CodePage.h"
#include "text/UniqueFd.h"
#include "text/Wording.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace orva {

// "класическо" / "текущо".
const char* returnLayoutName(ReturnLayout layout);

// The entry of `folder` that stands for the file `name`: the entry of exactly that name if there
// is one, otherwise the single entry whose name equals it when ASCII letters are folded to one
// case (accounting programs write DEKLAR.TXT, Pokupki.txt ...). Without either, the exact path,
// so that opening it fails with the usual message. Throws PeriodError (Stage::Load) naming the
// candidates in byte order when several case variants and no exact name exist.
std::string findDataFile(const std::string& folder, const std::string& name);

// What the load needs to know of a file before building from it.
struct FileSurvey {
    std::string path; // as found by findDataFile
    std::string name; // the entry's own name (DEKLAR.TXT ...)
    CodePage codePage = CodePage::Mik;
    // Whether `codePage` is settled: counted over every byte, or given. A journal surveyed by its start
    // only carries the return record's code page until its first whole read has counted its own.
    bool codePageCounted = true;
    std::size_t firstLineLength = 0; // bytes before the first CR, LF or NUL
    bool empty = false;              // 0 bytes
    bool byteOrderMark = false;      // starts with UTF-8's EF BB BF (reported by the check only)
    std::string failure;             // an optional file that could not be surveyed: why (UTF-8)

    // What the file was when it was surveyed, to tell later whether it is still the file read.
    struct Identity {
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t modified = 0; // nanoseconds since the epoch
        bool operator==(const Identity& other) const {
            return device == other.device && inode == other.inode && size == other.size && modified == other.modified;
        }
    };
    Identity identity;
    // VIES.TXT: the file as surveyed, kept open so that every later pass reads this file, not one put
    // in its place since.
    std::shared_ptr<const UniqueFd> opened;
};

// The file's identity on disk now, or std::nullopt when it is gone.
std::optional<FileSurvey::Identity> currentIdentity(const std::string& path);

// Opens the file (never blocking: a FIFO or device is refused as "not a regular file"), counts
// its code page over every byte and measures its first line. Throws PeriodError (Stage::Load)
// naming `name` when the file cannot be read, Cancelled once `*cancel` is true.
FileSurvey surveyDataFile(const std::string& folder, const std::string& name,
                          const std::atomic<bool>* cancel = nullptr);

// How the files of a period are to be read; unset means detected from the files.
struct ReadOptions {
    std::optional<CodePage> codePage;         // for all three files
    std::optional<ReturnLayout> returnLayout; // the order of cells 13/23/14/24 only
    std::optional<Wording> wording;           // the documents' captions, column 8а included
};

// The three files of a period as found and detected.
struct PeriodFiles {
    FileSurvey declaration;
    FileSurvey purchases;
    FileSurvey sales;
    // VIES.TXT, found by the same rule, when the period has one. It is optional and decides
    // nothing of the others: a VIES file that cannot be read has `failure` set and ends nothing.
    std::optional<FileSurvey> vies;
    ReturnLayout returnLayout = ReturnLayout::Classic;
    Wording wording = Wording::Classic; // what every document of the period prints

    // One line naming the generation of the return record and each file's code page (UTF-8).
    std::string description() const;
};

// How much of the journals the survey reads: all of each (their code pages counted), or only their
// start (the first line's length and the byte-order mark; their code page taken to be the return
// record's until a whole read counts it, `codePageCounted` false).
enum class JournalSurvey { Whole, Start };

// Finds and surveys all three files, then settles the code pages and the generation: the record
// is today's when deklar.txt is Windows-1251, or the first purchase line is 274 bytes or longer,
// or the first sales line 424 or longer. The same detection picks the documents' wording: today's
// for such a period. Options override either on its own. Throws Cancelled once `*cancel` is true.
PeriodFiles surveyPeriod(const std::string& folder, const ReadOptions& options = {},
                         const std::atomic<bool>* cancel = nullptr, JournalSurvey journals = JournalSurvey::Whole);

// What a whole read of a journal surveyed by its start has counted: its code page is settled (unless
// one was given). `counter` saw every byte of the file.
void settleCodePage(FileSurvey& file, const CodePageCounter& counter);

} // namespace orva
