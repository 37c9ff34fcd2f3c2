#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace orva::check {

enum class JournalKind { Purchases, Sales };

// Classic records (272/422, MIK before conversion) or today's (274/424, with the trailing 2-character code).
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

struct RecordLayout {
    JournalKind kind;
    const RecordField* fields; // amountCount + 11 entries, the last one the 2-character code
    std::size_t amountCount;   // 7 / 17

    std::size_t codeField() const { return FirstAmountField + amountCount; }
    // Index of the amount in journal column `column` (9..15 / 9..25).
    std::size_t amountField(int column) const { return FirstAmountField + static_cast<std::size_t>(column - 9); }
    // 272 / 274 and 422 / 424.
    std::size_t width(Generation generation) const {
        const RecordField& last = fields[codeField()];
        return last.start - 1 + (generation == Generation::Today ? last.width : 0);
    }
};

const RecordLayout& purchasesRecordLayout();
const RecordLayout& salesRecordLayout();
const RecordLayout& recordLayout(JournalKind kind);

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

} // namespace orva::check
