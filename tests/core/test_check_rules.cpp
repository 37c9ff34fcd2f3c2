#include "check/FieldRules.h"
#include "check/Identifiers.h"
#include "check/JournalState.h"
#include "check/RecordCheck.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <utility>

using namespace orva;
using namespace orva::check;

// Ten valid and ten invalid numbers of each kind. Checked once against Debian's python3-stdnum 1.18
// (bg.vat, bg.egn, bg.pnf, eu.vat); the 13-digit tails, which stdnum lacks, against a separate script.
// Three of each 9- and 13-digit set take the second weights (first remainder 10).
struct CheckDigitKind {
    const char* name;
    bool (*isValid)(std::string_view);
    std::vector<std::string> valid;
    std::vector<std::string> invalid;
};

bool isCounterpartyOk(std::string_view text) {
    return classifyCounterparty(text, false).verdict == Verdict::Ok;
}

TEST(CheckIdentifiers, TenValidAndTenInvalidOfEachKind) {
    const std::vector<CheckDigitKind> kinds = {
        {"ЕИК 9",
         isValidCompanyNumber,
         {"442323220", "183406290", "042147626", "453789657", "651594781", "927782431", "285457497", "711090435",
          "778650481", "622015231"},
         {"442323221", "183406292", "042147629", "453789651", "651594786", "927782437", "285457494", "711090433",
          "778650482", "622015233"}},
        {"ЕИК 13",
         isValidCompanyNumber,
         {"6515947814966", "6515947810525", "1834062905773", "6220152319606", "9277824318423", "0528203271751",
          "1543033867395", "6428441500023", "0802492028646", "3709135858091"},
         // the last three: a right 13th digit after a wrong 9-digit head
         {"6515947814967", "6515947810527", "1834062905776", "6220152319600", "9277824318428", "0528203271757",
          "1543033867392", "6428441510021", "0802492038641", "3709135868093"}},
        {"ЕГН",
         isValidPersonalNumber,
         {"7505137532", "9932319087", "0442296385", "0021010158", "1050102757", "9909302530", "0042294916",
          "6006154220", "2352012911", "5527040820"},
         // the last four have a right check digit: 29/02/1901, month 13, 31 April, month 0
         {"7505137533", "9932319088", "0442296386", "0021010159", "1050102758", "9909302531", "0102291233",
          "7513011239", "7504311233", "7500101239"}},
        {"ЛНЧ",
         isValidForeignerNumber,
         {"9807569978", "9861784564", "1356917640", "0766790148", "3028548363", "8403112188", "6352022006",
          "3692617826", "1059088218", "6464344988"},
         {"9807569971", "9861784567", "1356917643", "0766790141", "3028548366", "8403112181", "6352022009",
          "3692617829", "1059088211", "6464344981"}},
        {"друг номер",
         isValidOtherNumber,
         {"6443112012", "4239411776", "0986273751", "1071147068", "0823526601", "5531229268", "9617683293",
          "6298077181", "8728083035", "0746053762"},
         // several have the remainder 1, for which no check digit exists
         {"0823526602", "0665664183", "2736960668", "7188800721", "4273709319", "2696344705", "7732407389",
          "8909265373", "1151929793", "6193521923"}},
        {"BG ДДС номер",
         isCounterpartyOk,
         {"BG442323220", "BG183406290", "BG042147626", "BG453789657", "BG7505137532", "BG9932319087", "BG9807569978",
          "BG9861784564", "BG6443112012", "BG4239411776"},
         {"BG442323221", "BG183406292", "BG042147629", "BG453789651", "BG9807569971", "BG9861784567", "BG1356917643",
          "BG0766790141", "BG3028548366", "BG8403112181"}},
        // The return's own: BG and a 9-digit ЕИК or a 10-digit number; never bare digits, 13 digits or another state.
        {"ДДС номер в декларацията",
         isValidBulgarianVatNumber,
         {"BG442323220", " BG183406290   ", "BG042147626", "BG7505137532", "BG9807569978", "BG6443112012",
          "BG453789657", "BG9932319087", "BG9861784564", "BG4239411776"},
         {"BG442323221", "442323220", "BG6515947814966", "ATU57194903", "bg442323220", "BG 442323220", "BG",
          "BG9807569971",
          "\xEF\xBB\xBF"
          "BG442323220",
          ""}},
        {"ДДС номер от ЕС",
         hasEuVatShape,
         {"ATU57194903", "BE0697449992", "FR61954506077", "DE136695976", "NL004495445B01", "ESX2482300W", "EL094259216",
          "CY10259033P", "XI980780684", "IE6433435OA"},
         {"ATU1234567", "DE12345678", "FRI0123456789", "NL123456789A01", "EL12345678", "CY123456789", "IE123456",
          "ES1234567", "SE12345678901", "XIAB123"}},
    };
    for (const CheckDigitKind& kind : kinds) {
        ASSERT_EQ(kind.valid.size(), 10u) << kind.name;
        ASSERT_EQ(kind.invalid.size(), 10u) << kind.name;
        for (const std::string& number : kind.valid)
            EXPECT_TRUE(kind.isValid(number)) << kind.name << " " << number;
        for (const std::string& number : kind.invalid)
            EXPECT_FALSE(kind.isValid(number)) << kind.name << " " << number;
    }
}

TEST(CheckIdentifiers, ClassifiesCounterparty) {
    struct Case {
        const char* text;
        bool blankAllowed;
        Verdict verdict;
        RuleId rule;
    };
    const Case cases[] = {
        {"  6515947814966  ", false, Verdict::Ok, {}},
        {"2352012911", false, Verdict::Ok, {}},
        {"999999999999999", false, Verdict::Ok, {}},
        {"               ", true, Verdict::Ok, {}},
        {"               ", false, Verdict::Error, RuleId::CounterpartyMissing},
        {"6515947814967", false, Verdict::Error, RuleId::CompanyCheckDigit},
        {"BG9807569971", false, Verdict::Error, RuleId::PersonCheckDigit},
        {"BG6515947814966", false, Verdict::Error, RuleId::CounterpartyUnknown}, // no VAT number has 13 digits
        {"12345", false, Verdict::Error, RuleId::CounterpartyUnknown},
        {"DE12345678", false, Verdict::Error, RuleId::EuNumberShape},
        {"GB123456789", false, Verdict::Warning, RuleId::CounterpartyOutsideEu},
        {"CHE107787577IVA", false, Verdict::Warning, RuleId::CounterpartyOutsideEu},
    };
    for (const Case& c : cases) {
        const IdentifierResult result = classifyCounterparty(c.text, c.blankAllowed);
        EXPECT_EQ(result.verdict, c.verdict) << c.text;
        if (c.verdict != Verdict::Ok) {
            EXPECT_EQ(ruleInfo(result.rule).key, std::string(ruleInfo(c.rule).key)) << c.text;
        }
    }
}

TEST(CheckFields, DatesAreRealCalendarDates) {
    const std::pair<const char*, bool> today[] = {
        {"29/02/2024", true},  {"31/12/2023", true},  {"29/02/2023", false}, {"29/02/1900", false},
        {"29/02/2000", true},  {"31/04/2024", false}, {"00/01/2024", false}, {"15/13/2024", false},
        {"15.03.2024", false}, {"1/03/2024 ", false}, {"15/03/24  ", false}, {"15/03.2024", false},
    };
    for (const auto& [text, valid] : today)
        EXPECT_EQ(parseDocumentDate(text, Generation::Today).has_value(), valid) << text;
    EXPECT_TRUE(parseDocumentDate("15.03.2024", Generation::Classic).has_value());
    EXPECT_FALSE(parseDocumentDate("31.04.2024", Generation::Classic).has_value());
    EXPECT_FALSE(parseDocumentDate("15/03.2024", Generation::Classic).has_value());
}

TEST(CheckFields, AmountsAreExactCentsInTheAgencysGrammar) {
    struct Case {
        const char* field;
        AmountShape shape;
        std::int64_t cents;
    };
    const Case cases[] = {
        {"        1210.00", AmountShape::Ok, 121000},
        {"         -20.05", AmountShape::Ok, -2005},
        {"           0.00", AmountShape::Ok, 0},
        {"123456789012.99", AmountShape::Ok, 12345678901299},
        {"1210.00        ", AmountShape::NotRightAligned, 121000},
        {"          121.0", AmountShape::Malformed, 0},
        {"        1.2e+03", AmountShape::Malformed, 0},
        {"         +20.00", AmountShape::Malformed, 0},
        {"          20,00", AmountShape::Malformed, 0},
        {"               ", AmountShape::Malformed, 0},
        {"            .50", AmountShape::Malformed, 0},
        {"        - 20.00", AmountShape::Malformed, 0},
        {"           1210", AmountShape::Malformed, 0},
        {"        1210.000", AmountShape::Malformed, 0},
    };
    for (const Case& c : cases) {
        const AmountValue value = parseAmountField(c.field);
        EXPECT_EQ(value.shape, c.shape) << '"' << c.field << '"';
        EXPECT_EQ(value.cents, c.cents) << '"' << c.field << '"';
    }
    EXPECT_EQ(formatCents(-5), "-0.05");
    EXPECT_EQ(formatCents(121000), "1210.00");
}

TEST(CheckFields, CodesAllowedPerJournal) {
    EXPECT_TRUE(isAllowedDocumentType("05", JournalKind::Purchases));
    EXPECT_FALSE(isAllowedDocumentType("05", JournalKind::Sales));
    EXPECT_TRUE(isAllowedDocumentType("85", JournalKind::Sales));
    EXPECT_FALSE(isAllowedDocumentType("81", JournalKind::Purchases));
    EXPECT_FALSE(isAllowedDocumentType("1 ", JournalKind::Sales));
    EXPECT_TRUE(isAllowedSpecialCode("  ", JournalKind::Sales));
    EXPECT_TRUE(isAllowedSpecialCode("58", JournalKind::Purchases));
    EXPECT_FALSE(isAllowedSpecialCode("58", JournalKind::Sales));
    EXPECT_TRUE(isAllowedSpecialCode("46", JournalKind::Sales));
    EXPECT_FALSE(isAllowedSpecialCode("46", JournalKind::Purchases));
}

namespace {

using Changes = std::vector<std::pair<std::size_t, std::string>>;

std::size_t column(int number) {
    return FirstAmountField + static_cast<std::size_t>(number - 9);
}

// A sound record of the period 03/2024, with `changes` written over its fields (amounts right-aligned).
std::string makeRecord(JournalKind kind, Generation generation, const Changes& changes) {
    const RecordLayout& layout = recordLayout(kind);
    std::string record(layout.width(Generation::Today), ' ');
    auto put = [&](std::size_t field, const std::string& text) {
        const RecordField& f = layout.fields[field];
        const bool right = f.kind == FieldKind::Amount || field == SequenceField;
        const std::string cell = right && text.size() < f.width ? std::string(f.width - text.size(), ' ') + text : text;
        record.replace(f.start - 1, f.width, (cell + std::string(f.width, ' ')).substr(0, f.width));
    };
    const Changes sound = {{OwnVatNumberField, "BG175074752"},
                           {PeriodField, "202403"},
                           {SequenceField, "1"},
                           {DocumentTypeField, "01"},
                           {DocumentNumberField, "0000000123"},
                           {DocumentDateField, "15/03/2024"},
                           {CounterpartyField, "BG442323220"},
                           {CounterpartyNameField, "FIRMA OOD"},
                           {GoodsField, "STOKI"}};
    for (const auto& [field, text] : sound)
        put(field, text);
    for (std::size_t index = 0; index < layout.amountCount; ++index)
        put(FirstAmountField + index, "0.00");
    const Changes amounts = kind == JournalKind::Purchases
                                ? Changes{{column(10), "100.00"}, {column(11), "20.00"}}
                                : Changes{{column(9), "150.00"}, {column(10), "24.50"}, {column(11), "100.00"},
                                          {column(12), "20.00"}, {column(17), "50.00"}, {column(18), "4.50"}};
    for (const auto& [field, text] : amounts)
        put(field, text);
    for (const auto& [field, text] : changes) {
        if (field == SIZE_MAX)
            record = text; // the whole line
        else
            put(field, text);
    }
    return record.substr(0, layout.width(generation));
}

std::vector<std::string> describe(const std::vector<Finding>& findings) {
    std::vector<std::string> result;
    for (const Finding& finding : findings)
        result.push_back(std::string(ruleInfo(finding.rule).key) + " " + finding.field);
    return result;
}

} // namespace

TEST(CheckRecords, EachRecordBreaksExactlyTheRuleItShould) {
    constexpr auto P = JournalKind::Purchases;
    constexpr auto S = JournalKind::Sales;
    constexpr auto Today = Generation::Today;
    constexpr auto Classic = Generation::Classic;
    struct Case {
        const char* name;
        JournalKind kind;
        Generation generation;
        Changes changes;
        std::vector<std::string> expected;
        const char* period = "202403";
    };
    const Case cases[] = {
        {"sound purchase", P, Today, {}, {}},
        {"sound classic purchase", P, Classic, {{DocumentDateField, "15.03.2024"}}, {}},
        {"sound sale", S, Today, {}, {}},
        {"sound classic sale", S, Classic, {}, {}},
        {"short line", P, Today, {{SIZE_MAX, std::string(250, ' ')}}, {"truncated-record кол.14"}},
        {"type not in purchases", P, Today, {{DocumentTypeField, "81"}}, {"document-type кол.3"}},
        {"register only in purchases", S, Today, {{DocumentTypeField, "05"}}, {"document-type кол.3"}},
        {"invoice number", P, Today, {{DocumentNumberField, "12345"}}, {"document-number кол.4"}},
        {"protocol number is free", P, Today, {{DocumentTypeField, "09"}, {DocumentNumberField, "12345"}}, {}},
        {"no such date", S, Today, {{DocumentDateField, "30/02/2024"}}, {"document-date кол.5"}},
        {"dots are classic only", P, Today, {{DocumentDateField, "15.03.2024"}}, {"document-date кол.5"}},
        {"check digit", P, Today, {{CounterpartyField, "BG442323221"}}, {"company-check-digit кол.6"}},
        {"outside the EU", S, Today, {{CounterpartyField, "GB123456789"}}, {"counterparty-outside-eu кол.6"}},
        {"no counterparty", P, Today, {{CounterpartyField, ""}}, {"counterparty-missing кол.6"}},
        {"report without counterparty", S, Today, {{DocumentTypeField, "81"}, {CounterpartyField, ""}}, {}},
        {"one decimal", P, Today, {{column(10), "100.0"}}, {"amount-format кол.10"}},
        {"left-aligned", P, Today, {{column(15), std::string("0.00           ")}}, {"amount-alignment кол.15"}},
        {"code outside the list", P, Today, {{FirstAmountField + 7, "09"}}, {"special-code 03-45"}},
        {"call-off code of purchases", P, Today, {{FirstAmountField + 7, "51"}}, {}},
        {"purchases code in sales", S, Today, {{FirstAmountField + 17, "51"}}, {"special-code 02-27"}},
        {"column 9", S, Today, {{column(9), "150.01"}}, {"sales-base-total кол.9"}},
        {"column 9 holds column 14", S, Today, {{column(14), "10.00"}, {column(9), "160.00"}}, {}},
        {"column 10", S, Today, {{column(10), "24.49"}}, {"sales-vat-total кол.10"}},
        {"20 % and a cent", S, Today, {{column(12), "20.01"}, {column(10), "24.51"}}, {}},
        {"20 % and two cents", S, Today, {{column(12), "20.02"}, {column(10), "24.52"}}, {"vat-against-base кол.12"}},
        {"9 % before April 2011", S, Today, {{DocumentDateField, "15/03/2011"}}, {"vat-against-base кол.18"}, "201103"},
        {"7 % before April 2011",
         S,
         Today,
         {{DocumentDateField, "15/03/2011"}, {column(18), "3.50"}, {column(10), "23.50"}},
         {},
         "201103"},
        {"purchase at 9 %", P, Today, {{column(11), "8.99"}}, {}},
        {"purchase under 9 %", P, Today, {{column(11), "8.98"}}, {"vat-against-base кол.11"}},
        {"purchase over 20 %", P, Today, {{column(12), "10.00"}, {column(13), "2.02"}}, {"vat-against-base кол.13"}},
        {"positive credit note", P, Today, {{DocumentTypeField, "03"}}, {"credit-note-positive кол.10"}},
        {"negative credit note",
         P,
         Today,
         {{DocumentTypeField, "03"}, {column(10), "-100.00"}, {column(11), "-20.00"}},
         {}},
        {"negative invoice", S, Today, {{column(19), "-1.00"}, {column(9), "149.00"}}, {"debit-negative кол.19"}},
        {"both signs", P, Today, {{DocumentTypeField, "09"}, {column(15), "-5.00"}}, {"mixed-signs кол.15"}},
        {"adjustment either sign", P, Today, {{column(14), "-5.00"}}, {}},
        {"after the period", S, Today, {{DocumentDateField, "01/04/2024"}}, {"date-after-period кол.5"}},
        {"12 months before", P, Today, {{DocumentDateField, "01/03/2023"}}, {}},
        {"13 months before", P, Today, {{DocumentDateField, "28/02/2023"}}, {"date-long-before-period кол.5"}},
        {"old sale is no warning", S, Today, {{DocumentDateField, "28/02/2023"}}, {}},
    };
    for (const Case& c : cases) {
        const RecordContext context{c.kind == P ? "pokupki.txt" : "prodagbi.txt", c.generation,
                                    parseTaxPeriod(c.period)};
        const std::string record = makeRecord(c.kind, c.generation, c.changes);
        const auto findings =
            c.kind == P ? checkPurchaseRecord(record, 7, context) : checkSalesRecord(record, 7, context);
        EXPECT_EQ(describe(findings), c.expected) << c.name;
    }
}

TEST(CheckRecords, FindingCarriesFileLineFieldAndTheValueInUtf8) {
    const RecordContext context{"pokupki.txt", Generation::Today, parseTaxPeriod("202403")};
    // "№12": 0xB9 is № in Windows-1251
    const auto findings = checkPurchaseRecord(makeRecord(JournalKind::Purchases, Generation::Today,
                                                         {{DocumentNumberField, "\xb9"
                                                                                "12"}}),
                                              17, context);
    ASSERT_EQ(findings.size(), 1u);
    const Finding& finding = findings[0];
    EXPECT_EQ(finding.file, "pokupki.txt");
    EXPECT_EQ(finding.line, 17u);
    EXPECT_EQ(finding.field, "кол.4");
    EXPECT_EQ(finding.fieldName, "номер на документа");
    EXPECT_EQ(finding.severity, Severity::Error);
    EXPECT_EQ(finding.value, "№12");
    EXPECT_EQ(finding.message, "вид 01, 02 и 03 изисква номер от точно 10 цифри");
}

TEST(CheckJournal, SequenceRunsOneTwoThreeAndResumesAfterAFault) {
    SequenceCheck sequence(JournalKind::Sales);
    std::vector<Finding> findings;
    const char* numbers[] = {"1", "2", "4", "5", "5", "x", "7"};
    std::size_t line = 0;
    for (const char* number : numbers)
        sequence.check(makeRecord(JournalKind::Sales, Generation::Today, {{SequenceField, number}}), ++line,
                       "prodagbi.txt", findings);
    std::vector<std::string> seen;
    for (const Finding& finding : findings)
        seen.push_back(std::to_string(finding.line) + " " + finding.field + " " + finding.value + " " + finding.detail);
    EXPECT_EQ(seen, (std::vector<std::string>{"3 кол.1 4 очакван 3", "5 кол.1 5 очакван 6", "6 кол.1 x очакван 6"}));
}

TEST(CheckJournal, DuplicatesByTypeNumberAndCounterparty) {
    DuplicateCheck duplicates(JournalKind::Purchases);
    std::vector<Finding> findings;
    const Changes records[] = {
        {},
        {{CounterpartyField, "BG183406290"}},            // another supplier
        {{DocumentTypeField, "03"}},                     // a credit note to the invoice
        {{DocumentNumberField, "0000000123          "}}, // the first again
    };
    std::size_t line = 0;
    for (const Changes& changes : records)
        duplicates.check(makeRecord(JournalKind::Purchases, Generation::Today, changes), ++line, "pokupki.txt",
                         findings);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].line, 4u);
    EXPECT_EQ(findings[0].rule, RuleId::DuplicateDocument);
    EXPECT_NE(DuplicateCheck::documentHash("01", "1", "23"), DuplicateCheck::documentHash("01", "12", "3"));
}

TEST(CheckJournal, DuplicateMemoryStaysWithin32BytesARecord) {
    DuplicateCheck duplicates(JournalKind::Sales);
    std::vector<Finding> findings;
    std::string record = makeRecord(JournalKind::Sales, Generation::Today, {});
    const RecordField& number = salesRecordLayout().fields[DocumentNumberField];
    constexpr std::size_t count = 200000;
    for (std::size_t index = 0; index < count; ++index) {
        const std::string text = std::to_string(1000000000 + index);
        record.replace(number.start - 1, text.size(), text);
        duplicates.check(record, index + 1, "prodagbi.txt", findings);
    }
    EXPECT_TRUE(findings.empty());
    EXPECT_LE(duplicates.memoryBytes(), 32 * count);
}

TEST(CheckJournal, OwnVatNumberAndPeriodMatchTheReturn) {
    // A return of one firm and period paired with journals of another.
    OwnerCheck owner(JournalKind::Purchases, "BG175074752    ", "202403");
    std::vector<Finding> findings;
    owner.check(makeRecord(JournalKind::Purchases, Generation::Today, {}), 1, "pokupki.txt", findings);
    EXPECT_TRUE(findings.empty());
    owner.check(makeRecord(JournalKind::Purchases, Generation::Today,
                           {{OwnVatNumberField, "BG442323220"}, {PeriodField, "202402"}}),
                2, "pokupki.txt", findings);
    EXPECT_EQ(describe(findings), (std::vector<std::string>{"own-vat-number 03-02", "own-period 03-01"}));
    EXPECT_EQ(findings[0].detail, "в декларацията: BG175074752");

    // The return's values are Windows-1251 like the records: the detail, too, must be UTF-8.
    const std::string vatNumber = std::string("\xc1\xc3") + "175074752"; // "БГ175074752"
    OwnerCheck cyrillic(JournalKind::Purchases, vatNumber, std::string("\xff") + "2403");
    findings.clear();
    cyrillic.check(makeRecord(JournalKind::Purchases, Generation::Today, {}), 1, "pokupki.txt", findings);
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(findings[0].detail, "в декларацията: БГ175074752");
    EXPECT_EQ(findings[1].detail, "в декларацията: я2403");
}

TEST(CheckJournal, JournalCheckRunsEveryRuleInRecordOrder) {
    JournalCheck journal(JournalKind::Sales, {"prodagbi.txt", Generation::Today, parseTaxPeriod("202403")},
                         "BG175074752", "202403");
    std::vector<Finding> findings;
    const std::string record = makeRecord(JournalKind::Sales, Generation::Today, {{column(10), "24.40"}});
    journal.check(record, 1, findings);
    journal.check(record, 2, findings);
    journal.check(record.substr(0, 300), 3, findings);
    EXPECT_EQ(describe(findings), (std::vector<std::string>{"sales-vat-total кол.10", "sequence-number кол.1",
                                                            "sales-vat-total кол.10", "duplicate-document кол.4",
                                                            "sequence-number кол.1", "truncated-record кол.17"}));
}

TEST(CheckRuleTable, KeysAreUniqueAndEveryRuleHasAText) {
    std::set<std::string> keys;
    for (const RuleInfo& rule : ruleTable()) {
        EXPECT_TRUE(keys.insert(rule.key).second) << rule.key;
        EXPECT_GE(rule.number, 1);
        EXPECT_LE(rule.number, 22);
    }
    EXPECT_EQ(severityText(ruleInfo(RuleId::DuplicateDocument).severity), "ПРЕДУПРЕЖДЕНИЕ");
}

TEST(CheckRuleTable, ReadmeListsEveryRuleWithItsKeyAndMessage) {
    // README's list is written from the table; a text changed in one place only would mislead the reader.
    std::ifstream stream(std::string(ORVA_SAMPLES) + "/../README.md", std::ios::binary);
    ASSERT_TRUE(stream) << "README.md not found";
    const std::string readme((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    for (const RuleInfo& rule : ruleTable()) {
        const std::string row = "| " + std::to_string(rule.number) + " | `" + rule.key + "` | " +
                                std::string(severityText(rule.severity)) + " | " + rule.message + " |";
        EXPECT_NE(readme.find(row), std::string::npos) << row;
    }
}
