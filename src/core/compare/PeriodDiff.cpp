#include "compare/PeriodDiff.h"

#include "declaration/ReturnCells.h"
#include "journals/Journal.h"
#include "period/BothJournals.h"
#include "period/DataFiles.h"
#include "period/Gate.h"
#include "period/Period.h"
#include "period/PeriodSession.h"
#include "text/Calendar.h"
#include "text/Encoding.h"
#include "text/ExactDecimal.h"
#include "text/LineSource.h"
#include "text/Mik.h"
#include "vies/Vies.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

namespace orva::compare {

namespace {

// Pages are of no interest here; a page must only hold a record block.
constexpr int kLinesPerPage = 1000;

// A hash of the parts, eight bytes a step (a million records of 25 fields each are hashed); each part's
// last word carries its length, so that "ab"+"c" is not "a"+"bc". Only compared within one run.
class KeyHash {
public:
    KeyHash& add(std::string_view part) {
        const char* at = part.data();
        std::size_t left = part.size();
        for (; left >= 8; at += 8, left -= 8) {
            std::uint64_t word;
            std::memcpy(&word, at, 8);
            step(word);
        }
        std::uint64_t last = 0;
        for (std::size_t k = 0; k < left; ++k)
            last |= static_cast<std::uint64_t>(static_cast<unsigned char>(at[k])) << (8 * k);
        step(last ^ static_cast<std::uint64_t>(part.size()) << 56);
        return *this;
    }
    std::uint64_t value() const { return state_; }

private:
    // For a given state, a different word always gives a different state.
    void step(std::uint64_t word) {
        state_ = (state_ ^ word) * 0x9E3779B97F4A7C15ULL;
        state_ ^= state_ >> 32;
    }
    std::uint64_t state_ = 0xcbf29ce484222325ULL;
};

// Whether `text` is already written as moneyText writes it: an optional "-", digits without a
// leading zero (one "0" before the point), the point and two digits; "-" not before a zero amount.
// Most amounts of the files are, and they need no exact parse.
bool writtenAsMoney(std::string_view text) {
    std::size_t at = text.size() >= 1 && text[0] == '-' ? 1 : 0;
    const std::size_t point = text.size() >= 3 ? text.size() - 3 : 0;
    if (text.size() < at + 4 || text[point] != '.')
        return false;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!digit(text[point + 1]) || !digit(text[point + 2]))
        return false;
    if (text[at] == '0' && point != at + 1)
        return false;
    bool nonZero = false;
    for (std::size_t i = at; i < text.size(); ++i) {
        if (i == point)
            continue;
        if (!digit(text[i]))
            return false;
        nonZero = nonZero || text[i] != '0';
    }
    return at == 0 || nonZero;
}

// The normal form of an amount: as written when it is written as money (most are), else in `scratch`.
std::string_view normalAmount(std::string_view text, std::string& scratch) {
    const std::string_view trimmed = trimBlanks(text);
    if (writtenAsMoney(trimmed))
        return trimmed;
    if (const std::optional<ExactDecimal> value = ExactDecimal::parse(trimmed); value && value->fitsMoneyFormat())
        scratch = value->moneyText();
    else
        scratch.assign(trimmed);
    return scratch;
}

std::string normalAmount(std::string_view text) {
    std::string scratch;
    return std::string(normalAmount(text, scratch));
}

// A real day as dd.mm.yyyy: parseDate takes only the ten characters, so only the separators change.
std::string_view normalDate(std::string_view text, std::string& scratch) {
    const std::string_view trimmed = trimBlanks(text);
    if (!parseDate(trimmed, DateSeparators::SlashesOrDots) || (trimmed[2] == '.' && trimmed[5] == '.'))
        return trimmed;
    scratch.assign(trimmed);
    scratch[2] = scratch[5] = '.';
    return scratch;
}

// The document number as a key: without the zeros and blanks it starts with.
std::string_view keyNumber(std::string_view number) {
    while (!number.empty() && (number.front() == '0' || number.front() == ' '))
        number.remove_prefix(1);
    return number;
}

// A field's normal form: a view into the record where it is the field's own bytes, else into `scratch`. A
// journal of a million records makes no string per field.
std::string_view normalView(std::string_view text, const RecordField& field, std::string& scratch) {
    switch (field.kind) {
    case FieldKind::Amount:
        return normalAmount(text, scratch);
    case FieldKind::Date:
        return normalDate(text, scratch);
    case FieldKind::Integer: {
        std::string_view digits = trimBlanks(text);
        while (digits.size() > 1 && digits.front() == '0')
            digits.remove_prefix(1);
        return digits;
    }
    default:
        return trimBlanks(text);
    }
}

// A record's fields in their normal forms: views into the record (or `converted`, the record converted from
// MIK), or into each field's own string of `scratch`.
void normalViews(std::string_view record, const RecordLayout& layout, CodePage codePage,
                 std::vector<std::string_view>& views, std::vector<std::string>& scratch, std::string& converted) {
    if (codePage == CodePage::Mik) {
        converted.assign(record);
        mikToWin1251InPlace(converted);
        record = converted;
    }
    views.resize(layout.codeField() + 1);
    scratch.resize(views.size());
    for (std::size_t i = 0; i < views.size(); ++i)
        views[i] = normalView(fieldText(record, layout.fields[i]), layout.fields[i], scratch[i]);
}

// The keys of a record's normal fields, held as strings or as views.
template <typename Fields> RecordKey keyOf(const Fields& record, std::size_t line) {
    RecordKey key;
    const std::string_view number = keyNumber(record[DocumentNumberField]);
    key.exact = KeyHash()
                    .add(record[CounterpartyField])
                    .add(record[DocumentTypeField])
                    .add(number)
                    .add(record[DocumentDateField])
                    .value();
    key.loose = KeyHash().add(record[CounterpartyField]).add(number).value();
    KeyHash fingerprint;
    for (std::size_t i = 0; i < record.size(); ++i)
        if (i != SequenceField)
            fingerprint.add(record[i]);
    key.fingerprint = fingerprint.value();
    key.sequence = KeyHash().add(record[SequenceField]).value();
    key.line = line;
    return key;
}

std::string normalField(std::string_view text, const RecordField& field) {
    std::string scratch;
    return std::string(normalView(text, field, scratch));
}

std::string captionOf(const RecordField& field, Wording wording) {
    return wording == Wording::Classic && field.classicName != nullptr ? field.classicName : field.name;
}

std::string differenceOf(const std::string& older, const std::string& newer) {
    const std::optional<ExactDecimal> a = ExactDecimal::parse(older);
    const std::optional<ExactDecimal> b = ExactDecimal::parse(newer);
    if (!a || !b)
        return {};
    const ExactDecimal difference = *b - *a;
    return difference.fitsMoneyFormat() ? difference.moneyText() : std::string();
}

std::string utf8(std::string_view win1251) {
    return win1251ToUtf8(win1251);
}

// The fields of a changed pair that differ, from `first` on.
std::vector<FieldChange> fieldChanges(const NormalRecord& older, const NormalRecord& newer, const RecordField* fields,
                                      std::size_t count, std::size_t first, Wording wording) {
    std::vector<FieldChange> changes;
    for (std::size_t i = first; i < count; ++i)
        if (older[i] != newer[i])
            changes.push_back({fields[i].label, captionOf(fields[i], wording), utf8(older[i]), utf8(newer[i])});
    return changes;
}

std::string recordWhat(const NormalRecord& record) {
    return "документ " + utf8(record[DocumentTypeField]) + " № " + utf8(record[DocumentNumberField]) + " от " +
           utf8(record[DocumentDateField]) + ", " + utf8(record[CounterpartyField]);
}

// The lines `wanted` (1-based, ascending) of a journal's file, normalised.
std::map<std::size_t, NormalRecord> readLines(const PeriodSession& session, JournalKind kind,
                                              const std::vector<std::size_t>& wanted) {
    std::map<std::size_t, NormalRecord> records;
    if (wanted.empty())
        return records;
    const std::unique_ptr<LineSource> source = session.openJournal(kind);
    const RecordLayout& layout = recordLayout(kind);
    const CodePage codePage = session.journalFile(kind).codePage;
    std::string_view line;
    std::size_t number = 0;
    auto next = wanted.begin();
    while (next != wanted.end() && source->next(line)) {
        if (++number == *next) {
            records.emplace(number, normaliseRecord(line, layout, codePage));
            ++next;
        }
    }
    // Cut or replaced since the first pass: the lines read again would not be the records paired.
    if (next != wanted.end())
        throw PeriodError(PeriodError::Stage::Load,
                          session.journalFile(kind).name + ": файлът се промени по време на сравнението");
    return records;
}

struct JournalKeys {
    std::vector<RecordKey> keys;
    std::vector<ExactDecimal> totals;
    std::size_t records = 0;
};

// One read of the journal: its code page is counted by the same read (period/PeriodSession.h).
JournalKeys journalKeys(const PeriodSession& session, JournalKind kind) {
    JournalKeys result;
    const FileSurvey& file =
        kind == JournalKind::Purchases ? session.filesAsRead().purchases : session.filesAsRead().sales;
    const RecordLayout& layout = recordLayout(kind);
    const auto pass = [&](CodePage codePage, LineSource& source) {
        result = JournalKeys();
        JournalOptions options;
        options.codePage = codePage;
        options.fileName = file.name;
        std::vector<std::string_view> fields;
        std::vector<std::string> scratch;
        std::string converted;
        options.onRecord = [&](std::string_view record, std::size_t line) {
            normalViews(record, layout, codePage, fields, scratch, converted);
            result.keys.push_back(keyOf(fields, line));
        };
        // An amount that is no number is compared as text; only the totals leave it out.
        options.onBadAmount = [](const JournalError&) {};
        result.keys.reserve(source.sizeHint() / layout.width(Generation::Classic) + 1);
        DiscardingSink discard;
        const JournalSummary summary = writeJournal(source, kLinesPerPage, session.declaration().captionText,
                                                    session.journalLayout(kind), discard, options);
        result.totals = summary.totals;
        result.records = summary.records;
    };
    try {
        session.readJournal(kind, pass, [&result] { result = JournalKeys(); });
    } catch (const Error&) {
        throwAsJournalLoadError(file.name);
    }
    return result;
}

JournalDiff compareJournal(const PeriodSession& older, const PeriodSession& newer, JournalKind kind) {
    JournalDiff diff;
    diff.kind = kind;
    diff.fileName = (kind == JournalKind::Purchases ? newer.filesAsRead().purchases : newer.filesAsRead().sales).name;
    const RecordLayout& layout = recordLayout(kind);
    const std::size_t fieldCount = layout.codeField() + 1;
    const Wording wording = newer.wording();

    std::vector<ExactDecimal> oldTotals, newTotals;
    std::vector<RecordKey> oldKeys, newKeys;
    {
        // The two submissions' journals are read at once; the older one's failure is the one reported.
        JournalKeys oldRead, newRead;
        forBothJournals([&] { oldRead = journalKeys(older, kind); }, [&] { newRead = journalKeys(newer, kind); });
        oldKeys = std::move(oldRead.keys);
        oldTotals = std::move(oldRead.totals);
        diff.oldRecords = oldRead.records;
        newKeys = std::move(newRead.keys);
        newTotals = std::move(newRead.totals);
        diff.newRecords = newRead.records;
    }
    const Pairing pairing = pairRecords(oldKeys, newKeys);
    diff.repeatedKeys = pairing.repeatedKeys;

    std::vector<std::pair<std::size_t, std::size_t>> changed;
    for (const auto& [o, n] : pairing.pairs) {
        if (oldKeys[o].fingerprint != newKeys[n].fingerprint)
            changed.emplace_back(oldKeys[o].line, newKeys[n].line);
        else if (oldKeys[o].sequence != newKeys[n].sequence)
            ++diff.renumbered;
    }
    std::vector<std::size_t> removedLines, addedLines;
    for (const std::size_t o : pairing.removed)
        removedLines.push_back(oldKeys[o].line);
    for (const std::size_t n : pairing.added)
        addedLines.push_back(newKeys[n].line);
    oldKeys = {};
    newKeys = {};
    std::vector<std::size_t> oldWanted = removedLines, newWanted = addedLines;
    for (const auto& [o, n] : changed) {
        oldWanted.push_back(o);
        newWanted.push_back(n);
    }
    std::sort(oldWanted.begin(), oldWanted.end());
    std::sort(newWanted.begin(), newWanted.end());
    const std::map<std::size_t, NormalRecord> oldRecords = readLines(older, kind, oldWanted);
    const std::map<std::size_t, NormalRecord> newRecords = readLines(newer, kind, newWanted);

    // Removed and changed records in the older file's order, then the added ones in the newer's.
    std::vector<RecordChange> ordered;
    for (const auto& [o, n] : changed) {
        const NormalRecord& a = oldRecords.at(o);
        const NormalRecord& b = newRecords.at(n);
        ordered.push_back({ChangeKind::Changed, o, n, recordWhat(b),
                           fieldChanges(a, b, layout.fields, fieldCount, BranchField, wording)});
    }
    for (const std::size_t line : removedLines)
        ordered.push_back({ChangeKind::Removed, line, 0, recordWhat(oldRecords.at(line)), {}});
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const RecordChange& a, const RecordChange& b) { return a.oldLine < b.oldLine; });
    for (const std::size_t line : addedLines)
        ordered.push_back({ChangeKind::Added, 0, line, recordWhat(newRecords.at(line)), {}});
    diff.records = std::move(ordered);

    for (std::size_t i = 0; i < layout.amountCount && i < oldTotals.size() && i < newTotals.size(); ++i) {
        if (oldTotals[i] == newTotals[i])
            continue;
        const RecordField& field = layout.fields[FirstAmountField + i];
        const ExactDecimal difference = newTotals[i] - oldTotals[i];
        diff.totals.push_back({field.label, captionOf(field, wording), oldTotals[i].moneyText(),
                               newTotals[i].moneyText(), difference.moneyText()});
    }
    return diff;
}

// One kind of VIES line, kept whole: the file holds at most a few thousand.
struct ViesLines {
    std::vector<NormalRecord> records;
    std::vector<std::size_t> lines;
};

struct ViesSide {
    ViesLines sales, callOff;
};

ViesSide readViesLines(const FileSurvey& file) {
    ViesSide side;
    scanViesFile(file, [&](const ViesRecord& record) {
        ViesLines* lines = record.layout->kind == ViesRecordKind::Line          ? &side.sales
                           : record.layout->kind == ViesRecordKind::CallOffLine ? &side.callOff
                                                                                : nullptr;
        if (lines == nullptr)
            return;
        NormalRecord normal;
        for (std::size_t i = 0; i < record.layout->fieldCount; ++i)
            normal.push_back(normalField(record.field(i), record.layout->fields[i]));
        lines->records.push_back(std::move(normal));
        lines->lines.push_back(record.line);
    });
    return side;
}

// VIR lines pair on the customer's VIN and the line's period; COS lines on the recipient's VIN, the
// operation's code and the period. What is left pairs without the period, so that a corrected period
// is a change. Field 1 is the sequence number of both.
std::vector<std::size_t> viesKeyFields(ViesRecordKind kind, bool withPeriod) {
    if (kind == ViesRecordKind::Line)
        return withPeriod ? std::vector<std::size_t>{2, 6} : std::vector<std::size_t>{2};
    return withPeriod ? std::vector<std::size_t>{2, 3, 5} : std::vector<std::size_t>{2, 3};
}

std::string viesWhat(const NormalRecord& record, ViesRecordKind kind) {
    std::string what = std::string(kind == ViesRecordKind::Line ? "VIR " : "COS ") + utf8(record[2]);
    if (kind == ViesRecordKind::CallOffLine)
        what += " код " + utf8(record[3]);
    const std::string& period = record[kind == ViesRecordKind::Line ? 6 : 5];
    return what + (period.empty() ? ", деклариран период" : ", период " + utf8(period));
}

void compareViesLines(const ViesLines& older, const ViesLines& newer, ViesRecordKind kind, ViesDiff& diff) {
    const ViesRecordLayout& layout = viesRecordLayout(kind);
    auto keysOf = [&](const ViesLines& lines) {
        std::vector<RecordKey> keys;
        for (std::size_t i = 0; i < lines.records.size(); ++i) {
            const NormalRecord& record = lines.records[i];
            KeyHash key, loose, fingerprint;
            for (const std::size_t field : viesKeyFields(kind, true))
                key.add(record[field]);
            for (const std::size_t field : viesKeyFields(kind, false))
                loose.add(record[field]);
            for (std::size_t field = 2; field < record.size(); ++field)
                fingerprint.add(record[field]);
            keys.push_back({key.value(), loose.value(), fingerprint.value(), KeyHash().add(record[1]).value(), i});
        }
        return keys;
    };
    const std::vector<RecordKey> oldKeys = keysOf(older), newKeys = keysOf(newer);
    const Pairing pairing = pairRecords(oldKeys, newKeys);
    diff.repeatedKeys += pairing.repeatedKeys;
    std::vector<RecordChange> ordered;
    for (const auto& [o, n] : pairing.pairs) {
        if (oldKeys[o].fingerprint != newKeys[n].fingerprint)
            ordered.push_back({ChangeKind::Changed, older.lines[o], newer.lines[n], viesWhat(newer.records[n], kind),
                               fieldChanges(older.records[o], newer.records[n], layout.fields, layout.fieldCount, 1,
                                            Wording::Today)});
        else if (oldKeys[o].sequence != newKeys[n].sequence)
            ++diff.renumbered;
    }
    for (const std::size_t o : pairing.removed)
        ordered.push_back({ChangeKind::Removed, older.lines[o], 0, viesWhat(older.records[o], kind), {}});
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const RecordChange& a, const RecordChange& b) { return a.oldLine < b.oldLine; });
    for (const std::size_t n : pairing.added)
        ordered.push_back({ChangeKind::Added, 0, newer.lines[n], viesWhat(newer.records[n], kind), {}});
    diff.lines.insert(diff.lines.end(), ordered.begin(), ordered.end());
}

ViesDiff compareVies(const PeriodSession& older, const PeriodSession& newer) {
    ViesDiff diff;
    const std::optional<FileSurvey>& oldFile = older.filesAsRead().vies;
    const std::optional<FileSurvey>& newFile = newer.filesAsRead().vies;
    if (!oldFile || !newFile)
        return diff;
    diff.compared = true;
    const ViesSide a = readViesLines(*oldFile);
    const ViesSide b = readViesLines(*newFile);
    compareViesLines(a.sales, b.sales, ViesRecordKind::Line, diff);
    compareViesLines(a.callOff, b.callOff, ViesRecordKind::CallOffLine, diff);
    // The sums of к3, к4 and к5 over the lines.
    for (std::size_t field = 3; field <= 5; ++field) {
        auto sum = [&](const ViesLines& lines) {
            ExactSum total;
            for (const NormalRecord& record : lines.records)
                total.add(record[field]);
            return total.value();
        };
        const ExactDecimal oldSum = sum(a.sales), newSum = sum(b.sales);
        if (oldSum != newSum) {
            const RecordField& column = kViesLineFields[field];
            diff.totals.push_back(
                {column.label, column.name, oldSum.moneyText(), newSum.moneyText(), (newSum - oldSum).moneyText()});
        }
    }
    return diff;
}

std::string codePageText(CodePage codePage) {
    return codePage == CodePage::Mik ? "MIK" : "Windows-1251";
}

const char* generationText(Generation generation) {
    return generation == Generation::Classic ? "класически" : "днешни";
}

std::vector<std::string> notesOf(const PeriodSession& older, const PeriodSession& newer) {
    std::vector<std::string> notes;
    const PeriodFiles& a = older.files();
    const PeriodFiles& b = newer.files();
    if (a.returnLayout != b.returnLayout)
        notes.push_back(std::string("записът на декларацията е ") + returnLayoutName(a.returnLayout) + " в старото и " +
                        returnLayoutName(b.returnLayout) + " в новото подаване");
    const std::pair<const FileSurvey*, const FileSurvey*> files[] = {
        {&a.declaration, &b.declaration}, {&a.purchases, &b.purchases}, {&a.sales, &b.sales}};
    for (const auto& [x, y] : files)
        if (x->codePage != y->codePage)
            notes.push_back(y->name + ": кодова таблица " + codePageText(x->codePage) + " в старото и " +
                            codePageText(y->codePage) + " в новото подаване");
    for (const JournalKind kind : {JournalKind::Purchases, JournalKind::Sales}) {
        const RecordLayout& layout = recordLayout(kind);
        const Generation x = layout.generationOf(older.journalFile(kind).firstLineLength);
        const Generation y = layout.generationOf(newer.journalFile(kind).firstLineLength);
        if (x != y)
            notes.push_back(newer.journalFile(kind).name + ": " + generationText(x) + " записи в старото и " +
                            generationText(y) + " в новото подаване");
    }
    if (!notes.empty())
        notes.push_back("данните могат да са същите: сравнени са след уеднаквяване");
    return notes;
}

void addIdentity(std::vector<ValueChange>& changes, const char* caption, const std::string& older,
                 const std::string& newer) {
    const std::string a(trimBlanks(older)), b(trimBlanks(newer));
    if (a != b)
        changes.push_back({"", caption, utf8(a), utf8(b), {}});
}

} // namespace

NormalRecord normaliseRecord(std::string_view record, const RecordLayout& layout, CodePage codePage) {
    NormalRecord fields;
    std::string converted;
    normaliseRecordInto(record, layout, codePage, fields, converted);
    return fields;
}

void normaliseRecordInto(std::string_view record, const RecordLayout& layout, CodePage codePage, NormalRecord& fields,
                         std::string& converted) {
    std::vector<std::string_view> views;
    normalViews(record, layout, codePage, views, fields, converted);
    // A form held in its field's own string is in place already.
    for (std::size_t i = 0; i < views.size(); ++i)
        if (views[i].data() != fields[i].data())
            fields[i].assign(views[i]);
}

RecordKey recordKey(const NormalRecord& record, std::size_t line) {
    return keyOf(record, line);
}

Pairing pairRecords(const std::vector<RecordKey>& older, const std::vector<RecordKey>& newer) {
    Pairing pairing;
    std::vector<std::size_t> oldLeft(older.size()), newLeft(newer.size());
    for (std::size_t i = 0; i < older.size(); ++i)
        oldLeft[i] = i;
    for (std::size_t i = 0; i < newer.size(); ++i)
        newLeft[i] = i;
    // One step: both lists ordered by the key and then by their place, runs of one key paired in order.
    // Each list is sorted as (key, place) pairs side by side in memory, the older one on a thread of its
    // own when it is long.
    auto step = [&](std::uint64_t RecordKey::*key) {
        using Ordered = std::vector<std::pair<std::uint64_t, std::size_t>>;
        auto ordered = [key](const std::vector<RecordKey>& keys, const std::vector<std::size_t>& left) {
            Ordered order;
            order.reserve(left.size());
            for (const std::size_t place : left)
                order.emplace_back(keys[place].*key, place);
            std::sort(order.begin(), order.end());
            return order;
        };
        Ordered oldOrder, newOrder;
        if (oldLeft.size() + newLeft.size() > (1u << 16)) {
            // The two sides of one journal, as its two files are read.
            forBothJournals([&] { newOrder = ordered(newer, newLeft); }, [&] { oldOrder = ordered(older, oldLeft); });
        } else {
            oldOrder = ordered(older, oldLeft);
            newOrder = ordered(newer, newLeft);
        }
        // The places are in the orders now: the lists of them go before the rests are made.
        oldLeft = {};
        newLeft = {};
        std::vector<std::size_t> oldRest, newRest;
        std::size_t i = 0, j = 0;
        while (i < oldOrder.size() || j < newOrder.size()) {
            if (j == newOrder.size() || (i < oldOrder.size() && oldOrder[i].first < newOrder[j].first)) {
                oldRest.push_back(oldOrder[i++].second);
                continue;
            }
            if (i == oldOrder.size() || newOrder[j].first < oldOrder[i].first) {
                newRest.push_back(newOrder[j++].second);
                continue;
            }
            const std::uint64_t value = oldOrder[i].first;
            std::size_t oldEnd = i, newEnd = j;
            while (oldEnd < oldOrder.size() && oldOrder[oldEnd].first == value)
                ++oldEnd;
            while (newEnd < newOrder.size() && newOrder[newEnd].first == value)
                ++newEnd;
            const bool repeated = oldEnd - i > 1 || newEnd - j > 1;
            for (; i < oldEnd && j < newEnd; ++i, ++j) {
                pairing.pairs.emplace_back(oldOrder[i].second, newOrder[j].second);
                if (repeated)
                    ++pairing.repeatedKeys;
            }
            for (; i < oldEnd; ++i)
                oldRest.push_back(oldOrder[i].second);
            for (; j < newEnd; ++j)
                newRest.push_back(newOrder[j].second);
        }
        oldLeft = std::move(oldRest);
        newLeft = std::move(newRest);
    };
    step(&RecordKey::exact);
    step(&RecordKey::loose);
    std::sort(pairing.pairs.begin(), pairing.pairs.end());
    std::sort(oldLeft.begin(), oldLeft.end());
    std::sort(newLeft.begin(), newLeft.end());
    pairing.removed = std::move(oldLeft);
    pairing.added = std::move(newLeft);
    return pairing;
}

bool PeriodDiff::same() const {
    return oneSideFiles.empty() && identity.empty() && cells.empty() && vies.same() &&
           std::all_of(journals.begin(), journals.end(), [](const JournalDiff& journal) { return journal.same(); });
}

std::string otherPeriodReason(const PeriodSession& older, const PeriodSession& newer) {
    const Declaration& a = older.declaration();
    const Declaration& b = newer.declaration();
    const std::string_view vatA = trimBlanks(a.vatNumber), vatB = trimBlanks(b.vatNumber);
    const std::string_view periodA = trimBlanks(a.fields.at(2)), periodB = trimBlanks(b.fields.at(2));
    if (vatA == vatB && periodA == periodB)
        return {};
    return "подаванията са на различни лица или за различни периоди: " + utf8(vatA) + " за " +
           utf8(periodForPeople(periodA)) + " и " + utf8(vatB) + " за " + utf8(periodForPeople(periodB));
}

PeriodDiff comparePeriods(const PeriodSession& older, const PeriodSession& newer) {
    PeriodDiff diff;
    // The journals' code pages are counted by the reads below; the notes that name them come after.
    const bool oldVies = older.filesAsRead().vies.has_value(), newVies = newer.filesAsRead().vies.has_value();
    if (oldVies != newVies)
        diff.oneSideFiles.push_back(oldVies ? older.filesAsRead().vies->name + " само в старото подаване"
                                            : newer.filesAsRead().vies->name + " само в новото подаване");

    const Declaration& a = older.declaration();
    const Declaration& b = newer.declaration();
    addIdentity(diff.identity, "ДДС номер", a.vatNumber, b.vatNumber);
    addIdentity(diff.identity, "данъчен период", a.periodText, b.periodText);
    addIdentity(diff.identity, "име на лицето", a.firmName, b.firmName);
    addIdentity(diff.identity, "подписващ", a.signatoryName, b.signatoryName);
    for (const int cell : kCellNumbers) {
        const std::string x = normalAmount(a.cells[cell]), y = normalAmount(b.cells[cell]);
        if (x != y)
            diff.cells.push_back({cellName(cell), "", utf8(x), utf8(y), differenceOf(x, y)});
    }
    std::sort(diff.cells.begin(), diff.cells.end(),
              [](const ValueChange& x, const ValueChange& y) { return x.label < y.label; });

    for (const JournalKind kind : {JournalKind::Purchases, JournalKind::Sales}) {
        diff.journals.push_back(compareJournal(older, newer, kind));
        const JournalDiff& journal = diff.journals.back();
        if (journal.oldRecords != journal.newRecords)
            diff.identity.push_back({"", std::string("брой записи в ") + journal.fileName,
                                     std::to_string(journal.oldRecords), std::to_string(journal.newRecords),
                                     std::to_string(static_cast<long long>(journal.newRecords) -
                                                    static_cast<long long>(journal.oldRecords))});
    }
    diff.vies = compareVies(older, newer);
    diff.notes = notesOf(older, newer);
    return diff;
}

} // namespace orva::compare

namespace orva::compare {

std::vector<PeriodPair> pairPeriodFolders(const std::vector<std::string>& older, const std::vector<std::string>& newer,
                                          const std::function<std::string(const std::string&)>& keyOf) {
    std::map<std::string, std::pair<std::vector<std::string>, std::vector<std::string>>> byKey;
    for (const std::string& folder : older)
        byKey[keyOf(folder)].first.push_back(folder);
    for (const std::string& folder : newer)
        byKey[keyOf(folder)].second.push_back(folder);
    std::vector<PeriodPair> pairs;
    for (const auto& [key, sides] : byKey) {
        const auto& [olds, news] = sides;
        if (olds.size() <= 1 && news.size() <= 1) {
            pairs.push_back({key, olds.empty() ? "" : olds[0], news.empty() ? "" : news[0], false});
            continue;
        }
        for (const std::string& folder : olds)
            pairs.push_back({key, folder, "", olds.size() > 1});
        for (const std::string& folder : news)
            pairs.push_back({key, "", folder, news.size() > 1});
    }
    return pairs;
}

} // namespace orva::compare
