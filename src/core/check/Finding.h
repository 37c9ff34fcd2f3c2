#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace orva::check {

enum class Severity {
    Error,   // ГРЕШКА: the agency would reject the file, or the documents disagree
    Warning, // ПРЕДУПРЕЖДЕНИЕ: unusual, worth a look
};

// Every rule of the pre-filing check. The numbers in the comments are the rule numbers of the check's
// description (README); one rule may have several entries when it has several outcomes.
enum class RuleId {
    OwnVatNumber,               // 1
    OwnPeriod,                  // 1
    SequenceNumber,             // 2
    DocumentDate,               // 3
    DocumentType,               // 4
    SpecialCode,                // 5
    DocumentNumber,             // 6
    CounterpartyMissing,        // 7
    CompanyCheckDigit,          // 7: ЕИК of 9 or 13 digits, also after BG
    PersonCheckDigit,           // 7: 10 digits, also after BG
    EuNumberShape,              // 7
    CounterpartyUnknown,        // 7
    CounterpartyOutsideEu,      // 7, a warning
    AmountFormat,               // 8
    AmountAlignment,            // 8, a warning
    SalesBaseTotal,             // 9: column 9
    SalesVatTotal,              // 9: column 10
    ShortLine,                  // 10: a line too short to be a record ends the journal's data
    TruncatedRecord,            // 10: a record the journal shows, but shorter than its layout
    ReturnPaidExceedsDue,       // 11: 70 + 71 <= 50
    VatAgainstBase,             // 12
    CreditNotePositive,         // 13
    DebitNegative,              // 13: invoices and debit notes
    MixedSigns,                 // 13
    DateAfterPeriod,            // 14
    DateLongBeforePeriod,       // 14
    DuplicateDocument,          // 15
    PartialCreditNoCoefficient, // 16
    ReturnLayoutOrder,          // 17
    ReturnVatNumber,            // 1: the return's own 00-01
    ReturnPeriod,               // 1: the return's own 00-03
    PeriodRulesNotChecked,      // 14: the return's period is no real month
    ByteOrderMark,              // 18: a file starts with UTF-8's EF BB BF
    NulByte,                    // 10: a NUL ends the journal with lines after it
    CutLastRecord,              // 10: the last line, shorter than a record, is left out
    ViesUnreadableLine,         // 19: a line of VIES.TXT that is no record: unknown code, wrong length, repeated
    ViesMissingRecord,          // 19: no VHR or no VTR
    ViesCount,                  // 20: VHR's count against the VIR lines
    ViesTotals,                 // 20: TTR against the sums over VIR
    ViesLineNumber,             // 20: VIR and COS line numbers 1, 2, 3 ...
    ViesCounterpartyCountry,    // 20: a VIN without another member state's prefix
    ViesDuplicateCounterparty,  // 20, a warning: the same VIN twice without a к6 period
    ViesPeriod,                 // 21: VHR's period against the return's
    ViesVatNumber,              // 21: VTR's VAT number against the return's
    ViesGoods,                  // 21: к3 = cell 15 = sales column 20
    ViesServices,               // 21: к5 = cell 17 = sales column 22
    ViesTriangular,             // 21: к4 = sales column 25
    ViesWithoutCells,           // 21, a warning: VIES.TXT while cells 15 and 17 are zero
    ViesMissing,                // 21, a warning: cell 15 or 17 not zero and no VIES.TXT
    AgencyReportMissing,        // 22, a warning: in the agency's report in the folder, not in the purchases journal
    AgencyReportNotDeclared,    // 22, a warning: in the purchases journal, not declared by the supplier
    AgencyReportDifferent,      // 22: paired with the report's line, with another amount, type or date
    AgencyReportNotCompared,    // 22: a report's line or file not read, or a report of a later period
};

struct RuleInfo {
    RuleId id;
    const char* key; // stable ASCII name for CSV/JSON and scripts, e.g. "document-number"
    int number;      // the rule's number in the check's description, 1..22
    Severity severity;
    const char* message; // stable Bulgarian text, UTF-8
};

inline constexpr std::size_t ruleCount = static_cast<std::size_t>(RuleId::AgencyReportNotCompared) + 1;

// The one table of all rules, in RuleId order; README lists it.
const std::array<RuleInfo, ruleCount>& ruleTable();
const RuleInfo& ruleInfo(RuleId id);

// "ГРЕШКА" / "ПРЕДУПРЕЖДЕНИЕ", UTF-8.
std::string_view severityText(Severity severity);

// One finding about one line of one file. All texts are UTF-8 (the record's Windows-1251 value is
// converted), ready for text, CSV and JSON.
struct Finding {
    std::string file;      // as given in the context, e.g. "pokupki.txt"
    std::size_t line = 0;  // 1-based line of the file
    std::string field;     // journal column "кол.4", or a field code "03-02" where there is no column
    std::string fieldName; // "номер на документа"
    Severity severity = Severity::Error;
    RuleId rule = RuleId::AmountFormat;
    std::string value;   // the field as read, blanks around it removed
    std::string message; // ruleInfo(rule).message
    std::string detail;  // the variable part, e.g. "очакван 7", "ред 12"; often empty
};

// A finding of `rule` at `line` of `fileName`, with the rule's severity and message.
Finding ruleFinding(const std::string& fileName, std::size_t line, RuleId rule);

} // namespace orva::check
