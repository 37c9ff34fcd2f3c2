#pragma once

#include "report/AgencyReport.h"
#include "text/CodePage.h"
#include "text/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The agency's reports against a period's purchases journal. A report line and a purchase record are
// the same document when the supplier's number and the document number (blanks and leading zeros
// dropped) agree; several of one key pair in file order. The reports are held as keys and amounts
// only, each with its line's offset, so that a report of a million lines costs little; details are
// read again from the file when a document is shown.
namespace orva::report {

enum class ItemClass {
    Agrees,      // paired, nothing differs
    Missing,     // in the report, not in the journal: the credit not taken (perhaps booked later)
    NotDeclared, // in the journal, not in the report although it should be there: a warning
    NotExpected, // in the journal, not in the report by its nature (a note)
    Different,   // paired, with another amount, type or date
};

// UTF-8 name of a class, as reports print it.
const char* className(ItemClass itemClass);
// Its short code for machine-read outputs ("missing", "not-declared", ...).
const char* classCode(ItemClass itemClass);

struct Difference {
    std::string what;    // UTF-8: "вид", "дата", "основа (кол.8 / кол.10+12)"
    std::string journal; // the journal's value
    std::string report;  // the report's value
    std::string delta;   // journal − report for amounts, else empty
};

struct Item {
    ItemClass itemClass = ItemClass::Agrees;
    std::string supplier;        // as read, trimmed
    std::string number;          // the document number as the journal holds it, else as the report does
    std::string type;            // "01"
    std::string date;            // as written
    std::string name;            // the supplier's name (UTF-8)
    std::size_t journalLine = 0; // 0: not in the journal
    std::string reportFile;      // empty: not in a report
    std::size_t reportLine = 0;
    std::vector<Difference> differences;
    bool notCompared = false;                  // a kind whose amounts are only shown side by side
    std::string journalAmounts, reportAmounts; // UTF-8, for documents not compared
    std::string note;                          // UTF-8
};

struct Totals {
    std::size_t agrees = 0, missing = 0, notDeclared = 0, notExpected = 0, different = 0, notCompared = 0;
    bool clean() const { return missing == 0 && notDeclared == 0 && different == 0; }
};

// The key of a document: the supplier's number (blanks dropped, upper case) and the document's number
// (blanks and leading zeros dropped).
std::string documentKey(std::string_view supplier, std::string_view number);
// The same written into `key` (its capacity kept from call to call).
void documentKeyInto(std::string& key, std::string_view supplier, std::string_view number);

// Why a report may not be compared with this period (UTF-8, each naming the file): another buyer than
// the return's VAT number `vatNumber` says, or a later period than `period` (YYYYMM). Both as the
// return record holds them (Windows-1251). Empty when the report is the period's or an earlier one.
std::vector<std::string> reportRefusals(const std::string& path, const ReportTitle& title, std::string_view vatNumber,
                                        std::string_view period);

// The *.csv files of a period folder whose title says they are the agency's report for the firm of
// `vatNumber` (as the return record holds it), of any period, in name order, with their titles. Only the
// titles are read; a file that cannot be read is not one.
struct FoundReport {
    std::string path;
    ReportTitle title;
};
std::vector<FoundReport> reportsInFolder(const std::string& folder, std::string_view vatNumber);

// One document as a line of the text report (UTF-8): supplier, number, type and date in columns, then
// where it stands, what differs or both sides' amounts, and the note.
std::string itemText(const Item& item);
// What itemText says after the columns: where the document stands (unless `places` is false, for a
// table that has columns of its own for them), what differs, the note.
std::string itemDetails(const Item& item, bool places = true);

class Reconciler {
public:
    using ItemSink = std::function<void(const Item&)>;

    // `period` (YYYYMM) is the journal's: reports of other months pair the records dated in them,
    // and only this month's report lines that stay alone are missing.
    Reconciler(std::string period, ItemSink onItem);

    // Reads one report whole (throws FileError, NotAReportError); its line problems go to `onProblem`.
    ReportTitle addReport(const std::string& path, const ReportParser::ProblemSink& onProblem);

    // The code page the journal's records are in (Windows-1251 unless said): names are shown converted.
    void setJournalCodePage(CodePage codePage) { journalCodePage_ = codePage; }

    // One record of the purchases journal as read (a record line of `pokupki.txt`), at file line `line`.
    void purchase(std::string_view record, std::size_t line);

    // Hands out the report lines of the period that no record took. Call once, after every record.
    void finish();

    const Totals& totals() const { return totals_; }
    std::size_t reportLines() const { return entries_.size(); }

private:
    struct Entry {
        std::uint64_t offset = 0;
        std::int64_t base = 0, vat = 0; // report columns 8 and 9 in cents (when !wide)
        std::uint32_t line = 0;
        std::uint32_t next = 0; // 1-based index of the next entry of the key, 0 for none
        std::int32_t date = 0;  // yyyymmdd, 0 when unreadable
        std::uint16_t report = 0;
        std::uint8_t type = 0;
        bool wide : 1;        // an amount that is not a whole number of cents fitting 64 bits
        bool unknownKind : 1; // 0 %, exempt or art. 163a amounts
        bool used : 1;
        Entry() : wide(false), unknownKind(false), used(false) {}
    };
    // The keys of the report lines, each with its chain of entries, in one byte string, and an
    // open-addressed table of them: a million keys cost a few tens of bytes each, and a lookup reads a slot
    // and the key's own bytes, which its chain lies next to.
    class KeyTable {
    public:
        struct Chain {
            std::uint32_t first = 0, last = 0, count = 0;
        };
        static constexpr std::uint64_t kNone = ~std::uint64_t{0};
        static std::uint64_t hashOf(std::string_view key);
        // Asks for the key's slot ahead of its insert.
        void prefetch(std::uint64_t hash) const;
        // Where the key (of hash `hash`) is held, added with an empty chain when it is new.
        std::uint64_t insert(std::string_view key, std::uint64_t hash);
        // Where the key (of hash `hash`) is held, or kNone.
        std::uint64_t find(std::string_view key, std::uint64_t hash) const;
        Chain chain(std::uint64_t at) const;
        void setChain(std::uint64_t at, const Chain& chain);
        void reserve(std::size_t bytes);

    private:
        std::size_t slotOf(std::string_view key, std::uint64_t hash) const;
        void grow();

        std::string bytes_; // per key: its chain, its size (4 bytes) and its bytes
        std::size_t keys_ = 0;
        // 0 for a free slot, else where the key is held + 1 in the low 40 bits and the hash's high bits above.
        std::vector<std::uint64_t> slots_;
    };
    struct Report {
        std::string path;
        std::string period;
        std::shared_ptr<UniqueFd> file; // open for the lines read again
        std::size_t firstEntry = 0, endEntry = 0;
    };

    // Keys of report lines read, put in the table a batch at a time.
    struct PendingKeys {
        struct Key {
            std::uint64_t hash;
            std::size_t at, size;
            std::uint32_t index; // the entry's, 1-based
        };
        std::vector<Key> keys;
        std::string bytes;
        void add(std::string_view key, std::uint32_t index);
        bool full() const { return keys.size() == 32; }
    };
    void addKeys(PendingKeys& pending);
    void deliver(Item& item);
    ReportLine reread(const Entry& entry) const;
    void compare(const Entry& entry, const std::vector<std::string_view>& fields, Item& item) const;
    void deliverMissing(const Entry& entry, const ReportFields& line);

    std::string period_;
    ItemSink onItem_;
    CodePage journalCodePage_ = CodePage::Windows1251;
    std::vector<Report> reports_;
    std::vector<Entry> entries_;
    KeyTable keys_;
    Totals totals_;
    // Used again from record to record, so that a record makes no strings anew.
    Item item_;
    std::string key_, converted_;
    std::vector<std::string_view> amounts_;
};

} // namespace orva::report
