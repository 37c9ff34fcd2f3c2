#pragma once

#include <cstddef>
#include <string_view>

// The one description of a journal record's fields. The journal engine cuts records by it, the
// period survey tells a journal's generation by its widths, and the check names fields from it.
namespace orva {

enum class JournalKind { Purchases, Sales };

// A journal file's record generation, told by the length of its first line: classic records
// (272 / 422 bytes) or today's (274 / 424, with the trailing 2-character code). A fact about one
// journal file; the return's order of cells 13/23/14/24 is another (ReturnLayout).
enum class Generation { Classic, Today };

enum class FieldKind { Text, Integer, Period, DocumentType, Date, Identifier, Amount, Code };

// One field of a journal record. Positions are 1-based bytes, as the file layouts count them.
struct RecordField {
    std::size_t start;
    std::size_t width;
    const char* code;  // "03-06"
    const char* label; // "кол.4", or the code where the printed journal has no column
    const char* name;  // "номер на документа", UTF-8
    FieldKind kind;
    // The name in the classic wording where it differs (rates and articles changed since); else null.
    const char* classicName = nullptr;
};

// Fields 0..9 are the same in both journals; amounts follow, then the code of today's records.
enum FieldIndex : std::size_t {
    OwnVatNumberField = 0,
    PeriodField,
    BranchField,
    SequenceField,
    DocumentTypeField,
    DocumentNumberField,
    DocumentDateField,
    CounterpartyField,
    CounterpartyNameField,
    GoodsField,
    FirstAmountField,
};

// FORMATS §3.1; positions 1-272 are the classic record, 273-274 today's code.
inline constexpr RecordField kPurchaseFields[] = {
    {1, 15, "03-02", "03-02", "ДДС номер на лицето", FieldKind::Text},
    {16, 6, "03-01", "03-01", "данъчен период", FieldKind::Period},
    {22, 4, "03-03", "кол.2", "клон", FieldKind::Text},
    {26, 15, "03-04", "кол.1", "пореден номер", FieldKind::Integer},
    {41, 2, "03-05", "кол.3", "вид на документа", FieldKind::DocumentType},
    {43, 20, "03-06", "кол.4", "номер на документа", FieldKind::Text},
    {63, 10, "03-07", "кол.5", "дата на документа", FieldKind::Date},
    {73, 15, "03-08", "кол.6", "идентификационен номер на контрагента", FieldKind::Identifier},
    {88, 50, "03-09", "кол.7", "име на контрагента", FieldKind::Text},
    {138, 30, "03-10", "кол.8", "вид на стоката или услугата", FieldKind::Text},
    {168, 15, "03-30", "кол.9", "основа и данък без право на кредит", FieldKind::Amount},
    {183, 15, "03-31", "кол.10", "основа с право на пълен кредит", FieldKind::Amount},
    {198, 15, "03-41", "кол.11", "ДДС с право на пълен кредит", FieldKind::Amount},
    {213, 15, "03-32", "кол.12", "основа с право на частичен кредит", FieldKind::Amount},
    {228, 15, "03-42", "кол.13", "ДДС с право на частичен кредит", FieldKind::Amount},
    {243, 15, "03-43", "кол.14", "годишна корекция", FieldKind::Amount},
    {258, 15, "03-44", "кол.15", "основа при тристранна операция", FieldKind::Amount},
    {273, 2, "03-45", "03-45", "код по чл. 163а, чл. 167а или складиране на разположение", FieldKind::Code},
};

// FORMATS §3.2; positions 1-422 are the classic record, 423-424 today's code.
inline constexpr RecordField kSaleFields[] = {
    {1, 15, "02-00", "02-00", "ДДС номер на лицето", FieldKind::Text},
    {16, 6, "02-01", "02-01", "данъчен период", FieldKind::Period},
    {22, 4, "02-02", "кол.2", "клон", FieldKind::Text},
    {26, 15, "02-03", "кол.1", "пореден номер", FieldKind::Integer},
    {41, 2, "02-04", "кол.3", "вид на документа", FieldKind::DocumentType},
    {43, 20, "02-05", "кол.4", "номер на документа", FieldKind::Text},
    {63, 10, "02-06", "кол.5", "дата на документа", FieldKind::Date},
    {73, 15, "02-07", "кол.6", "идентификационен номер на контрагента", FieldKind::Identifier},
    {88, 50, "02-08", "кол.7", "име на контрагента", FieldKind::Text},
    {138, 30, "02-09", "кол.8", "вид на стоката или услугата", FieldKind::Text},
    {168, 15, "02-10", "кол.9", "обща данъчна основа", FieldKind::Amount},
    {183, 15, "02-20", "кол.10", "общо начислен ДДС", FieldKind::Amount},
    {198, 15, "02-11", "кол.11", "основа 20 %", FieldKind::Amount},
    {213, 15, "02-21", "кол.12", "ДДС 20 %", FieldKind::Amount},
    {228, 15, "02-12", "кол.13", "основа на ВОП", FieldKind::Amount},
    {243, 15, "02-26", "кол.14", "основа по чл. 82, ал. 2-5", FieldKind::Amount},
    {258, 15, "02-22", "кол.15", "ДДС на ВОП и по чл. 82", FieldKind::Amount},
    {273, 15, "02-23", "кол.16", "ДДС за лични нужди", FieldKind::Amount, "начислен ДДС 20 % в други случаи по ЗДДС"},
    {288, 15, "02-13", "кол.17", "основа 9 %", FieldKind::Amount, "основа 7 %"},
    {303, 15, "02-24", "кол.18", "ДДС 9 %", FieldKind::Amount, "ДДС 7 %"},
    {318, 15, "02-14", "кол.19", "основа 0 % по глава трета", FieldKind::Amount},
    {333, 15, "02-15", "кол.20", "основа 0 % на ВОД", FieldKind::Amount},
    {348, 15, "02-16", "кол.21", "основа 0 % по чл. 140, 146 и 173", FieldKind::Amount},
    {363, 15, "02-17", "кол.22", "основа на услуги по чл. 21, ал. 2", FieldKind::Amount,
     "основа на доставки по чл. 12, ал. 3 и чл. 22-24"},
    {378, 15, "02-18", "кол.23", "основа по чл. 69, ал. 2", FieldKind::Amount, "основа по чл. 69, ал. 3"},
    {393, 15, "02-19", "кол.24", "основа на освободени доставки", FieldKind::Amount},
    {408, 15, "02-25", "кол.25", "основа като посредник в тристранна операция", FieldKind::Amount},
    {423, 2, "02-27", "02-27", "код по чл. 163а, чл. 167а или складиране на разположение", FieldKind::Code},
};

struct RecordLayout {
    JournalKind kind;
    const RecordField* fields; // amountCount + 11 entries, the last one the 2-character code
    std::size_t amountCount;   // 7 / 17

    constexpr std::size_t codeField() const { return FirstAmountField + amountCount; }
    // Index of the amount in journal column `column` (9..15 / 9..25).
    constexpr std::size_t amountField(int column) const {
        return FirstAmountField + static_cast<std::size_t>(column - 9);
    }
    // 272 / 274 and 422 / 424.
    constexpr std::size_t width(Generation generation) const {
        const RecordField& last = fields[codeField()];
        return last.start - 1 + (generation == Generation::Today ? last.width : 0);
    }
    // A file whose first line holds today's trailing code is read as today's.
    constexpr Generation generationOf(std::size_t firstLineLength) const {
        return firstLineLength >= width(Generation::Today) ? Generation::Today : Generation::Classic;
    }
};

inline constexpr RecordLayout kPurchasesRecord{JournalKind::Purchases, kPurchaseFields, 7};
inline constexpr RecordLayout kSalesRecord{JournalKind::Sales, kSaleFields, 17};

constexpr const RecordLayout& purchasesRecordLayout() {
    return kPurchasesRecord;
}
constexpr const RecordLayout& salesRecordLayout() {
    return kSalesRecord;
}
constexpr const RecordLayout& recordLayout(JournalKind kind) {
    return kind == JournalKind::Purchases ? kPurchasesRecord : kSalesRecord;
}

namespace record_layout_detail {

// Every field starts where the one before it ends; the identity fields are the same in both
// records; every amount is as wide as the first.
constexpr bool wellFormed(const RecordLayout& layout) {
    if (layout.fields[0].start != 1)
        return false;
    for (std::size_t i = 1; i <= layout.codeField(); ++i) {
        const RecordField& before = layout.fields[i - 1];
        if (layout.fields[i].start != before.start + before.width)
            return false;
        if (i < FirstAmountField &&
            (layout.fields[i].start != kPurchaseFields[i].start || layout.fields[i].width != kPurchaseFields[i].width))
            return false;
        if (i > FirstAmountField && i < layout.codeField() &&
            layout.fields[i].width != layout.fields[FirstAmountField].width)
            return false;
    }
    return true;
}

} // namespace record_layout_detail

static_assert(sizeof kPurchaseFields / sizeof kPurchaseFields[0] == FirstAmountField + 7 + 1);
static_assert(sizeof kSaleFields / sizeof kSaleFields[0] == FirstAmountField + 17 + 1);
static_assert(record_layout_detail::wellFormed(kPurchasesRecord) && record_layout_detail::wellFormed(kSalesRecord));
static_assert(kPurchaseFields[FirstAmountField].width == kSaleFields[FirstAmountField].width);

// The records of VIES.TXT (FORMATS §6): lines of different lengths, each told by its 3-letter code.
// Field 0 of each is the code itself.
enum class ViesRecordKind { Header, Declarant, Person, Totals, Line, CallOffHeader, CallOffLine };

inline constexpr RecordField kViesHeaderFields[] = {
    {1, 3, "VHR", "VHR", "вид на записа", FieldKind::Text},
    {4, 7, "VHR-2", "VHR-2", "период", FieldKind::Text},
    {11, 5, "VHR-3", "VHR-3", "брой записи VIR", FieldKind::Integer},
};
inline constexpr RecordField kViesDeclarantFields[] = {
    {1, 3, "VDR", "VDR", "вид на записа", FieldKind::Text},
    {4, 15, "VDR-2", "VDR-2", "идентификатор на подаващия", FieldKind::Text},
    {19, 150, "VDR-3", "VDR-3", "име на подаващия", FieldKind::Text},
    {169, 50, "VDR-4", "VDR-4", "град", FieldKind::Text},
    {219, 4, "VDR-5", "VDR-5", "пощенски код", FieldKind::Text},
    {223, 150, "VDR-6", "VDR-6", "адрес", FieldKind::Text},
    {373, 1, "VDR-7", "VDR-7", "качество (A/R)", FieldKind::Code},
};
inline constexpr RecordField kViesPersonFields[] = {
    {1, 3, "VTR", "VTR", "вид на записа", FieldKind::Text},
    {4, 15, "VTR-2", "VTR-2", "ДДС номер на лицето", FieldKind::Text},
    {19, 150, "VTR-3", "VTR-3", "име на лицето", FieldKind::Text},
    {169, 200, "VTR-4", "VTR-4", "адрес на лицето", FieldKind::Text},
};
inline constexpr RecordField kViesTotalsFields[] = {
    {1, 3, "TTR", "TTR", "вид на записа", FieldKind::Text},
    {4, 12, "TTR-2", "TTR-2", "обща сума к3+к4+к5", FieldKind::Amount},
    {16, 12, "TTR-3", "TTR-3", "сума на ВОД на стоки к3", FieldKind::Amount},
};
inline constexpr RecordField kViesLineFields[] = {
    {1, 3, "VIR", "VIR", "вид на записа", FieldKind::Text},
    {4, 5, "VIR-2", "к1", "пореден номер", FieldKind::Integer},
    {9, 15, "VIR-3", "к2", "ИН по ДДС на контрагента", FieldKind::Identifier},
    {24, 12, "VIR-4", "к3", "ВОД на стоки", FieldKind::Amount},
    {36, 12, "VIR-5", "к4", "тристранни операции", FieldKind::Amount},
    {48, 12, "VIR-6", "к5", "услуги по чл.21, ал.2", FieldKind::Amount},
    {60, 7, "VIR-7", "к6", "период на корекцията", FieldKind::Text},
};
inline constexpr RecordField kViesCallOffHeaderFields[] = {
    {1, 3, "CHR", "CHR", "вид на записа", FieldKind::Text},
    {4, 5, "CHR-2", "CHR-2", "брой записи COS", FieldKind::Integer},
};
inline constexpr RecordField kViesCallOffLineFields[] = {
    {1, 3, "COS", "COS", "вид на записа", FieldKind::Text},
    {4, 5, "COS-2", "COS-2", "пореден номер", FieldKind::Integer},
    {9, 15, "COS-3", "COS-3", "ИН по ДДС на получателя", FieldKind::Identifier},
    {24, 1, "COS-4", "COS-4", "код на операцията", FieldKind::Code},
    {25, 15, "COS-5", "COS-5", "ИН по ДДС на заместващото лице", FieldKind::Identifier},
    {40, 7, "COS-6", "COS-6", "период", FieldKind::Text},
};

struct ViesRecordLayout {
    ViesRecordKind kind;
    const char* code; // "VHR"
    const RecordField* fields;
    std::size_t fieldCount;

    // The record's length: where its last field ends.
    constexpr std::size_t width() const { return fields[fieldCount - 1].start - 1 + fields[fieldCount - 1].width; }
};

template <std::size_t N> constexpr ViesRecordLayout viesRecord(ViesRecordKind kind, const RecordField (&fields)[N]) {
    return {kind, fields[0].code, fields, N};
}

// In the order the file holds them.
inline constexpr ViesRecordLayout kViesRecords[] = {
    viesRecord(ViesRecordKind::Header, kViesHeaderFields),
    viesRecord(ViesRecordKind::Declarant, kViesDeclarantFields),
    viesRecord(ViesRecordKind::Person, kViesPersonFields),
    viesRecord(ViesRecordKind::Totals, kViesTotalsFields),
    viesRecord(ViesRecordKind::Line, kViesLineFields),
    viesRecord(ViesRecordKind::CallOffHeader, kViesCallOffHeaderFields),
    viesRecord(ViesRecordKind::CallOffLine, kViesCallOffLineFields),
};

constexpr const ViesRecordLayout& viesRecordLayout(ViesRecordKind kind) {
    return kViesRecords[static_cast<std::size_t>(kind)];
}

namespace record_layout_detail {

constexpr bool viesWellFormed() {
    for (std::size_t k = 0; k < sizeof kViesRecords / sizeof kViesRecords[0]; ++k) {
        const ViesRecordLayout& record = kViesRecords[k];
        if (static_cast<std::size_t>(record.kind) != k || record.fields[0].start != 1 || record.fields[0].width != 3)
            return false;
        for (std::size_t i = 1; i < record.fieldCount; ++i)
            if (record.fields[i].start != record.fields[i - 1].start + record.fields[i - 1].width)
                return false;
    }
    return true;
}

} // namespace record_layout_detail

static_assert(record_layout_detail::viesWellFormed());
// FORMATS §6 gives the lengths: 15, 373, 368, 27, 66, 8, 46.
static_assert(kViesRecords[0].width() == 15 && kViesRecords[1].width() == 373 && kViesRecords[2].width() == 368 &&
              kViesRecords[3].width() == 27 && kViesRecords[4].width() == 66 && kViesRecords[5].width() == 8 &&
              kViesRecords[6].width() == 46);

// The bytes of `field` in `record`; shorter or empty where the record ends early.
inline std::string_view fieldText(std::string_view record, const RecordField& field) {
    const std::size_t begin = field.start - 1;
    return begin >= record.size() ? std::string_view() : record.substr(begin, field.width);
}

// `text` without blanks at either end.
inline std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

} // namespace orva
