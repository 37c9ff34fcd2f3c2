#include "check/JournalState.h"

#include "text/Encoding.h"

namespace orva::check {

namespace {

bool parseCount(std::string_view text, std::uint64_t& value) {
    if (text.empty() || text.size() > 15)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

// FNV-1a, then a 64-bit finalizer so that all bits depend on every byte (the table uses the low bits).
std::uint64_t mix(std::uint64_t hash) {
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdULL;
    hash ^= hash >> 33;
    hash *= 0xc4ceb9fe1a85ec53ULL;
    hash ^= hash >> 33;
    return hash;
}

void addBytes(std::uint64_t& hash, std::string_view bytes) {
    for (char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
}

} // namespace

OwnerCheck::OwnerCheck(JournalKind kind, std::string_view returnVatNumber, std::string_view returnPeriod)
    : layout_(recordLayout(kind)), vatNumber_(trimBlanks(returnVatNumber)), period_(trimBlanks(returnPeriod)) {}

void OwnerCheck::check(std::string_view record, std::size_t line, const std::string& fileName,
                       std::vector<Finding>& findings) const {
    const RecordField& vatField = layout_.fields[OwnVatNumberField];
    if (trimBlanks(fieldText(record, vatField)) != vatNumber_)
        findings.push_back(makeFinding(fileName, line, vatField, RuleId::OwnVatNumber, fieldText(record, vatField),
                                       "в декларацията: " + win1251ToUtf8(vatNumber_)));
    const RecordField& periodField = layout_.fields[PeriodField];
    if (trimBlanks(fieldText(record, periodField)) != period_)
        findings.push_back(makeFinding(fileName, line, periodField, RuleId::OwnPeriod, fieldText(record, periodField),
                                       "в декларацията: " + win1251ToUtf8(period_)));
}

void SequenceCheck::check(std::string_view record, std::size_t line, const std::string& fileName,
                          std::vector<Finding>& findings) {
    const RecordField& field = layout_.fields[SequenceField];
    const std::string_view text = fieldText(record, field);
    std::uint64_t value = 0;
    const bool isNumber = parseCount(trimBlanks(text), value);
    if (!isNumber || value != expected_)
        findings.push_back(
            makeFinding(fileName, line, field, RuleId::SequenceNumber, text, "очакван " + std::to_string(expected_)));
    expected_ = isNumber ? value + 1 : expected_ + 1;
}

std::uint64_t DuplicateCheck::documentHash(std::string_view type, std::string_view number,
                                           std::string_view counterparty) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    addBytes(hash, type);
    // A separator that a field cannot hold keeps ("1", "23") apart from ("12", "3").
    addBytes(hash, std::string_view("\x1f", 1));
    addBytes(hash, number);
    addBytes(hash, std::string_view("\x1f", 1));
    addBytes(hash, counterparty);
    hash = mix(hash);
    return hash == 0 ? 1 : hash;
}

bool DuplicateCheck::insert(std::uint64_t hash) {
    if (slots_.empty() || (size_ + 1) * 4 > slots_.size() * 3)
        grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t index = hash & mask;; index = (index + 1) & mask) {
        if (slots_[index] == hash)
            return false;
        if (slots_[index] == 0) {
            slots_[index] = hash;
            ++size_;
            return true;
        }
    }
}

void DuplicateCheck::reserve(std::size_t records) {
    std::size_t slots = slots_.empty() ? 1024 : slots_.size();
    while (records * 4 > slots * 3)
        slots *= 2;
    if (slots > slots_.size())
        rehash(slots);
}

void DuplicateCheck::grow() {
    rehash(slots_.empty() ? 1024 : slots_.size() * 2);
}

void DuplicateCheck::rehash(std::size_t slotCount) {
    std::vector<std::uint64_t> old;
    old.swap(slots_);
    slots_.assign(slotCount, 0);
    const std::size_t mask = slots_.size() - 1;
    for (std::uint64_t hash : old) {
        if (hash == 0)
            continue;
        std::size_t index = hash & mask;
        while (slots_[index] != 0)
            index = (index + 1) & mask;
        slots_[index] = hash;
    }
}

std::uint64_t DuplicateCheck::prepare(std::string_view record) const {
    const std::uint64_t hash = documentHash(fieldText(record, layout_.fields[DocumentTypeField]),
                                            trimBlanks(fieldText(record, layout_.fields[DocumentNumberField])),
                                            trimBlanks(fieldText(record, layout_.fields[CounterpartyField])));
    if (!slots_.empty())
        __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
    return hash;
}

void DuplicateCheck::check(std::string_view record, std::uint64_t key, std::size_t line, const std::string& fileName,
                           std::vector<Finding>& findings) {
    if (!insert(key))
        findings.push_back(makeFinding(fileName, line, layout_.fields[DocumentNumberField], RuleId::DuplicateDocument,
                                       trimBlanks(fieldText(record, layout_.fields[DocumentNumberField]))));
}

void DuplicateCheck::check(std::string_view record, std::size_t line, const std::string& fileName,
                           std::vector<Finding>& findings) {
    check(record, prepare(record), line, fileName, findings);
}

JournalCheck::JournalCheck(JournalKind kind, RecordContext context, std::string_view returnVatNumber,
                           std::string_view returnPeriod)
    : kind_(kind), context_(std::move(context)), owner_(kind, returnVatNumber, returnPeriod), sequence_(kind),
      duplicates_(kind) {}

void JournalCheck::check(std::string_view record, std::size_t line, std::vector<Finding>& findings, KnownCents* cents) {
    // A truncated record is still shown in the journal and takes its place in the numbering, but it names no
    // document for certain.
    const RecordLayout& layout = recordLayout(kind_);
    if (record.size() < layout.width(context_.generation)) {
        const RecordField& sequence = layout.fields[SequenceField];
        if (record.size() >= sequence.start - 1 + sequence.width) {
            owner_.check(record, line, context_.fileName, findings);
            sequence_.check(record, line, context_.fileName, findings);
        }
        checkRecord(kind_, record, line, context_, findings);
        return;
    }
    const std::uint64_t documentKey = duplicates_.prepare(record);
    owner_.check(record, line, context_.fileName, findings);
    sequence_.check(record, line, context_.fileName, findings);
    checkRecord(kind_, record, line, context_, findings, cents);
    duplicates_.check(record, documentKey, line, context_.fileName, findings);
}

} // namespace orva::check
