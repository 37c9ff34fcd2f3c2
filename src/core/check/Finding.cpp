#include "check/Finding.h"

namespace orva::check {

namespace {

constexpr Severity E = Severity::Error;
constexpr Severity W = Severity::Warning;

// The texts are part of the program's interface (README, scripts reading CSV): change them only on purpose.
constexpr std::array<RuleInfo, ruleCount> rules{{
    {RuleId::OwnVatNumber, "own-vat-number", 1, E, "ДДС номерът на лицето не съвпада с този в декларацията"},
    {RuleId::OwnPeriod, "own-period", 1, E, "данъчният период не съвпада с този в декларацията"},
    {RuleId::SequenceNumber, "sequence-number", 2, E,
     "поредните номера трябва да вървят 1, 2, 3 ... без пропуск и повторение"},
    {RuleId::DocumentDate, "document-date", 3, E, "датата не е истинска дата във вида дд/мм/гггг"},
    {RuleId::DocumentType, "document-type", 4, E, "видът на документа не е допустим в този дневник"},
    {RuleId::SpecialCode, "special-code", 5, E, "кодът не е допустим в този дневник"},
    {RuleId::DocumentNumber, "document-number", 6, E, "вид 01, 02 и 03 изисква номер от точно 10 цифри"},
    {RuleId::CounterpartyMissing, "counterparty-missing", 7, E, "липсва идентификационен номер на контрагента"},
    {RuleId::CompanyCheckDigit, "company-check-digit", 7, E, "ЕИК с невярна контролна цифра"},
    {RuleId::PersonCheckDigit, "person-check-digit", 7, E,
     "10 цифри, които не са валиден ЕГН, ЛНЧ или друг номер (контролна цифра)"},
    {RuleId::EuNumberShape, "eu-number-shape", 7, E, "ДДС номерът не отговаря на формата за държавата от ЕС"},
    {RuleId::CounterpartyUnknown, "counterparty-unknown", 7, E,
     "номерът не е ЕИК, ЕГН, ЛНЧ, ДДС номер от ЕС или 999999999999999"},
    {RuleId::CounterpartyOutsideEu, "counterparty-outside-eu", 7, W, "префиксът не е на държава от ЕС"},
    {RuleId::AmountFormat, "amount-format", 8, E, "сумата трябва да е във вида [-]цифри.две цифри"},
    {RuleId::AmountAlignment, "amount-alignment", 8, W, "сумата не е подравнена вдясно в полето си"},
    {RuleId::SalesBaseTotal, "sales-base-total", 9, E, "кол.9 не е равна на кол.11+13+14+17+19+20+21"},
    {RuleId::SalesVatTotal, "sales-vat-total", 9, E, "кол.10 не е равна на кол.12+15+16+18"},
    {RuleId::ShortLine, "short-line", 10, E, "ред, по-къс от запис, прекъсва дневника; следващите редове не се четат"},
    {RuleId::TruncatedRecord, "truncated-record", 10, E,
     "записът е по-къс от полагащото се; полетата след края му липсват"},
    {RuleId::ReturnPaidExceedsDue, "return-paid-exceeds-due", 11, E, "кл.70 + кл.71 е повече от кл.50"},
    {RuleId::VatAgainstBase, "vat-against-base", 12, W, "ДДС не отговаря на данъчната основа"},
    {RuleId::CreditNotePositive, "credit-note-positive", 13, W, "кредитно известие с положителна сума"},
    {RuleId::DebitNegative, "debit-negative", 13, W, "фактура или дебитно известие с отрицателна сума"},
    {RuleId::MixedSigns, "mixed-signs", 13, W, "записът има и положителни, и отрицателни суми"},
    {RuleId::DateAfterPeriod, "date-after-period", 14, W, "документът е с дата след края на периода"},
    {RuleId::DateLongBeforePeriod, "date-long-before-period", 14, W,
     "документът е издаден повече от 12 месеца преди периода"},
    {RuleId::DuplicateDocument, "duplicate-document", 15, W,
     "документ със същите вид, номер и контрагент вече е в дневника"},
    {RuleId::PartialCreditNoCoefficient, "partial-credit-no-coefficient", 16, W,
     "кл.42 не е нула, а коефициентът в кл.33 е нула"},
    {RuleId::ReturnLayoutOrder, "return-layout-order", 17, W,
     "кл.13, 23, 14, 24 съвпадат с дневниците само в реда на другото поколение файлове"},
    {RuleId::ReturnVatNumber, "return-vat-number", 1, E,
     "ДДС номерът в декларацията не е BG и ЕИК или 10-цифрен номер с вярна контролна цифра"},
    {RuleId::ReturnPeriod, "return-period", 1, E, "периодът в декларацията не е истински месец във вида ГГГГММ"},
    {RuleId::PeriodRulesNotChecked, "period-rules-not-checked", 14, W,
     "правилата, които искат периода на декларацията, не са проверени"},
    {RuleId::ByteOrderMark, "byte-order-mark", 18, E,
     "файлът започва с UTF-8 BOM (EF BB BF): полетата на първия ред са изместени с 3 байта"},
    {RuleId::NulByte, "nul-byte", 10, E, "байт NUL прекъсва дневника; следващите редове не се четат"},
    {RuleId::CutLastRecord, "cut-last-record", 10, E, "последният ред е по-къс от запис и не е в дневника"},
    {RuleId::ViesUnreadableLine, "vies-unreadable-line", 19, E,
     "редът не е запис на VIES декларацията и не е в документа"},
    {RuleId::ViesMissingRecord, "vies-missing-record", 19, E, "VIES декларацията няма задължителен запис"},
    {RuleId::ViesCount, "vies-count", 20, E, "броят в записа VHR не е равен на броя на записите VIR"},
    {RuleId::ViesTotals, "vies-totals", 20, E, "записът TTR не е равен на сборовете по записите VIR"},
    {RuleId::ViesLineNumber, "vies-line-number", 20, E,
     "поредните номера на записите трябва да вървят 1, 2, 3 ... без пропуск и повторение"},
    {RuleId::ViesCounterpartyCountry, "vies-counterparty-country", 20, E,
     "ИН по ДДС на контрагента няма префикс на друга държава от ЕС"},
    {RuleId::ViesDuplicateCounterparty, "vies-duplicate-counterparty", 20, W,
     "същият ИН по ДДС вече е в декларацията, също без период к6"},
    {RuleId::ViesPeriod, "vies-period", 21, E, "периодът в записа VHR не е периодът на декларацията"},
    {RuleId::ViesVatNumber, "vies-vat-number", 21, E, "ДДС номерът в записа VTR не е този на декларацията"},
    {RuleId::ViesGoods, "vies-goods", 21, E,
     "сборът на к3 (без редовете с к6) не е равен на кл.15 и на кол.20 на продажбите"},
    {RuleId::ViesServices, "vies-services", 21, E,
     "сборът на к5 (без редовете с к6) не е равен на кл.17 и на кол.22 на продажбите"},
    {RuleId::ViesTriangular, "vies-triangular", 21, E,
     "сборът на к4 (без редовете с к6) не е равен на кол.25 на продажбите"},
    {RuleId::ViesWithoutCells, "vies-without-cells", 21, W, "периодът има VIES.TXT, а кл.15 и кл.17 са нула"},
    {RuleId::ViesMissing, "vies-missing", 21, W, "кл.15 или кл.17 не е нула, а периодът няма VIES.TXT"},
    {RuleId::AgencyReportMissing, "agency-report-missing", 22, W,
     "документът е в справката от НАП в папката, а не е в дневника на покупките"},
    {RuleId::AgencyReportNotDeclared, "agency-report-not-declared", 22, W,
     "документът не е в справката от НАП: доставчикът не го е декларирал"},
    {RuleId::AgencyReportDifferent, "agency-report-different", 22, E, "документът се различава от справката от НАП"},
    {RuleId::AgencyReportNotCompared, "agency-report-not-compared", 22, E,
     "справката от НАП в папката не е сравнена изцяло с дневника на покупките"},
}};

constexpr bool inRuleIdOrder() {
    for (std::size_t index = 0; index < rules.size(); ++index) {
        if (static_cast<std::size_t>(rules[index].id) != index)
            return false;
    }
    return true;
}
static_assert(inRuleIdOrder(), "the rule table must list every RuleId once, in order");

} // namespace

const std::array<RuleInfo, ruleCount>& ruleTable() {
    return rules;
}

const RuleInfo& ruleInfo(RuleId id) {
    return rules[static_cast<std::size_t>(id)];
}

Finding ruleFinding(const std::string& fileName, std::size_t line, RuleId rule) {
    Finding finding;
    finding.file = fileName;
    finding.line = line;
    finding.rule = rule;
    finding.severity = ruleInfo(rule).severity;
    finding.message = ruleInfo(rule).message;
    return finding;
}

std::string_view severityText(Severity severity) {
    return severity == Severity::Error ? "ГРЕШКА" : "ПРЕДУПРЕЖДЕНИЕ";
}

} // namespace orva::check
