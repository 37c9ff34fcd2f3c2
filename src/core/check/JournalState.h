#pragma once

#include "check/Finding.h"
#include "check/RecordCheck.h"
#include "journals/RecordLayout.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The rules that need more than one record: fed the records of one journal in file order, each appends its
// findings about the current record. Records are as for check/RecordCheck.h and must be at least
// layout.width(generation) long (shorter lines end the journal's data and are not fed).
namespace orva::check {

// Rule 1: the record's own VAT number (03-02 / 02-00) and period (03-01 / 02-01) equal the return's
// 00-01 and 00-03 (compared without the blanks around them).
class OwnerCheck {
public:
    OwnerCheck(JournalKind kind, std::string_view returnVatNumber, std::string_view returnPeriod);
    void check(std::string_view record, std::size_t line, const std::string& fileName,
               std::vector<Finding>& findings) const;

private:
    const RecordLayout& layout_;
    std::string vatNumber_;
    std::string period_;
};

// Rule 2: sequence numbers (column 1) run 1, 2, 3 ... without gap or repeat. After a wrong number the
// count goes on from it, so one missing record gives one finding, not one for every record after it.
class SequenceCheck {
public:
    explicit SequenceCheck(JournalKind kind) : layout_(recordLayout(kind)) {}
    void check(std::string_view record, std::size_t line, const std::string& fileName, std::vector<Finding>& findings);

private:
    const RecordLayout& layout_;
    std::uint64_t expected_ = 1;
};

// Rule 15: the same document twice in a journal (equal type, number and counterparty, the latter two without
// surrounding blanks). Remembers a 64-bit hash of each document, not the document: in an open-addressing
// table kept between 3/8 and 3/4 full, that is at most 22 bytes a record, 32 while the table grows. A false
// duplicate needs two different documents with equal hashes: about n²/2⁶⁵ for n records, under 10⁻⁷ for
// two million. The finding cannot name the earlier line, which would cost memory per record.
class DuplicateCheck {
public:
    explicit DuplicateCheck(JournalKind kind) : layout_(recordLayout(kind)) {}
    void check(std::string_view record, std::size_t line, const std::string& fileName, std::vector<Finding>& findings);
    // The same in two steps: the record's key, its place in the table asked for from memory (a big
    // journal's table is far larger than the cache), and the check once the other rules have run.
    std::uint64_t prepare(std::string_view record) const;
    void check(std::string_view record, std::uint64_t key, std::size_t line, const std::string& fileName,
               std::vector<Finding>& findings);
    std::size_t memoryBytes() const { return slots_.capacity() * sizeof(std::uint64_t); }
    // Room for about `records` documents at once, so that a big journal's table is not rebuilt as it grows.
    void reserve(std::size_t records);

    // The hash of one document key; never 0 (0 marks an empty slot).
    static std::uint64_t documentHash(std::string_view type, std::string_view number, std::string_view counterparty);

private:
    bool insert(std::uint64_t hash); // false when it was there
    void grow();
    void rehash(std::size_t slotCount); // a power of two

    const RecordLayout& layout_;
    std::vector<std::uint64_t> slots_;
    std::size_t size_ = 0;
};

// All rules of one journal: the record rules and the three checks above, findings in that order per record.
class JournalCheck {
public:
    JournalCheck(JournalKind kind, RecordContext context, std::string_view returnVatNumber,
                 std::string_view returnPeriod);
    // Appends the findings about `record`, line `line` of the file; a record shorter than the layout gets the
    // owner and sequence rules (when it holds those fields) and the TruncatedRecord finding.
    // `cents`, when given, gets the amounts read as numbers (for the journal's totals).
    void check(std::string_view record, std::size_t line, std::vector<Finding>& findings, KnownCents* cents = nullptr);
    // About how many records are to come (from the file's size).
    void reserve(std::size_t records) { duplicates_.reserve(records); }

private:
    JournalKind kind_;
    RecordContext context_;
    OwnerCheck owner_;
    SequenceCheck sequence_;
    DuplicateCheck duplicates_;
};

} // namespace orva::check
