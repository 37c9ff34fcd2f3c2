#pragma once

#include "journals/RecordLayout.h"
#include "text/CodePage.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// What changed between two submissions of one period: the return's cells and identity, each
// journal's records and totals, the VIES lines. Both sides are normalised first (code page, record
// width, dates, amounts, the return's order of cells), so the same data in the classic and today's
// generation compares equal. Every text of the result is UTF-8.
namespace orva {

class PeriodSession;

namespace compare {

// A record's fields normalised: Windows-1251, blanks around them removed, dates as dd.mm.yyyy,
// amounts to the cent. Field i of the record's layout at index i; today's code blank in a classic record.
using NormalRecord = std::vector<std::string>;

NormalRecord normaliseRecord(std::string_view record, const RecordLayout& layout, CodePage codePage);
// The same into `fields`, reusing its strings and `converted` (the record in Windows-1251).
void normaliseRecordInto(std::string_view record, const RecordLayout& layout, CodePage codePage, NormalRecord& fields,
                         std::string& converted);

// What pairs a record and tells whether it changed; `line` is its place in its file (1-based).
struct RecordKey {
    std::uint64_t exact = 0;       // counterparty, document type, document number, date
    std::uint64_t loose = 0;       // counterparty, document number
    std::uint64_t fingerprint = 0; // every field but the sequence number
    std::uint64_t sequence = 0;
    std::size_t line = 0;
};

RecordKey recordKey(const NormalRecord& record, std::size_t line);

// Records paired in two steps: on the exact key, then what is left on the loose key; several
// records of one key pair in file order. Indices into the two key lists.
struct Pairing {
    std::vector<std::pair<std::size_t, std::size_t>> pairs; // in the older list's order
    std::vector<std::size_t> removed;                       // of the older list, in order
    std::vector<std::size_t> added;                         // of the newer list, in order
    std::size_t repeatedKeys = 0;                           // pairs made among several records of one key
};

Pairing pairRecords(const std::vector<RecordKey>& older, const std::vector<RecordKey>& newer);

enum class ChangeKind { Added, Removed, Changed };

struct FieldChange {
    std::string label;   // "кол.9", "к3"
    std::string caption; // in the newer period's wording
    std::string oldValue, newValue;
};

// A record or VIES line added, removed or changed. `what` says which it is to a reader: the
// document number, its date and the counterparty (a VIES line: the VIN and the period).
struct RecordChange {
    ChangeKind kind = ChangeKind::Changed;
    std::size_t oldLine = 0, newLine = 0; // 0 on the side without it
    std::string what;
    std::vector<FieldChange> fields; // a changed record's fields that differ
};

// A value of the period that differs: a cell, an identity field, a column total.
struct ValueChange {
    std::string label; // "кл.20", "кол.9"
    std::string caption;
    std::string oldValue, newValue;
    std::string difference; // for amounts; empty for texts
};

struct JournalDiff {
    JournalKind kind = JournalKind::Purchases;
    std::string fileName; // the newer period's, as spelled on disk
    std::size_t oldRecords = 0, newRecords = 0;
    std::vector<RecordChange> records; // removed and changed in the older file's order, then added
    std::vector<ValueChange> totals;
    std::size_t renumbered = 0;   // pairs whose sequence number alone differs
    std::size_t repeatedKeys = 0; // pairs made in file order among records of one key
    bool same() const { return records.empty() && totals.empty() && renumbered == 0; }
};

struct ViesDiff {
    bool compared = false; // both periods have VIES.TXT
    std::vector<RecordChange> lines;
    std::vector<ValueChange> totals;
    std::size_t renumbered = 0;
    std::size_t repeatedKeys = 0;
    bool same() const { return lines.empty() && totals.empty() && renumbered == 0; }
};

struct PeriodDiff {
    std::vector<std::string> notes;        // generation or code page changed: the data may still be equal
    std::vector<std::string> oneSideFiles; // "VIES.TXT само в новото подаване"
    std::vector<ValueChange> identity;
    std::vector<ValueChange> cells;
    std::vector<JournalDiff> journals; // purchases, sales
    ViesDiff vies;
    bool same() const;
};

// Reads both periods one journal at a time: per record only its key is kept, and the records to
// report are read again. Throws what the sessions throw (PeriodError) when a file cannot be read.
PeriodDiff comparePeriods(const PeriodSession& older, const PeriodSession& newer);

// Whether the two periods are of one firm and one tax period; otherwise the reason (UTF-8).
std::string otherPeriodReason(const PeriodSession& older, const PeriodSession& newer);

} // namespace compare
} // namespace orva

namespace orva::compare {

// A period folder of the older tree and its partner in the newer, paired by the VAT number and
// period of their return records (folder names may be anything). A folder without a partner has the
// other side empty; folders of one tree with the same firm and period are rows of their own,
// `repeated`, and pair with nothing.
struct PeriodPair {
    std::string key; // "<VAT number>-<YYYYMM>"
    std::string older, newer;
    bool repeated = false;
};

// `keyOf` names a folder's firm and period (periodOutputNameOf). Ordered by key, then folder.
std::vector<PeriodPair> pairPeriodFolders(const std::vector<std::string>& older, const std::vector<std::string>& newer,
                                          const std::function<std::string(const std::string&)>& keyOf);

} // namespace orva::compare
