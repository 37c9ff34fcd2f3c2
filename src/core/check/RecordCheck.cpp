#include "check/RecordCheck.h"

#include "check/Identifiers.h"
#include "text/Encoding.h"

#include <array>
#include <cstdint>

namespace orva::check {

namespace {

class RecordJudge {
public:
    RecordJudge(const RecordLayout& layout, std::string_view record, std::size_t line, const RecordContext& context,
                std::vector<Finding>& findings, KnownCents* cents)
        : layout_(layout), record_(record), line_(line), context_(context), findings_(findings),
          amounts_(cents ? *cents : ownAmounts_) {}

    void run();

private:
    std::string_view text(std::size_t field) const { return fieldText(record_, layout_.fields[field]); }
    std::string_view amountText(int column) const { return text(layout_.amountField(column)); }
    bool knownAt(std::size_t index) const { return amounts_.known >> index & 1u; }
    bool hasAmount(int column) const { return knownAt(layout_.amountField(column) - FirstAmountField); }
    std::int64_t amount(int column) const { return amounts_.cents[layout_.amountField(column) - FirstAmountField]; }
    void report(std::size_t field, RuleId rule, std::string detail = {}) {
        findings_.push_back(
            makeFinding(context_.fileName, line_, layout_.fields[field], rule, text(field), std::move(detail)));
    }

    void checkIdentity();
    void readAmounts();
    void checkSalesTotals();
    void checkVatAgainstBase();
    void checkSigns();
    void checkDateAgainstPeriod();

    const RecordLayout& layout_;
    std::string_view record_;
    std::size_t line_;
    const RecordContext& context_;
    std::vector<Finding>& findings_;
    // The amounts as read (into the caller's, for the journal's totals, when given); one not known was
    // malformed (already reported), and a rule that needs it is not evaluated.
    KnownCents ownAmounts_;
    KnownCents& amounts_;
    std::optional<CalendarDate> date_;
};

bool isPurchases(const RecordLayout& layout) {
    return layout.kind == JournalKind::Purchases;
}

void RecordJudge::run() {
    const std::size_t width = layout_.width(context_.generation);
    if (record_.size() < width) {
        std::size_t field = 0;
        while (layout_.fields[field].start - 1 + layout_.fields[field].width <= record_.size())
            ++field;
        report(field, RuleId::TruncatedRecord,
               "дължина " + std::to_string(record_.size()) + " вместо " + std::to_string(width));
        return;
    }
    checkIdentity();
    readAmounts();
    if (!isPurchases(layout_))
        checkSalesTotals();
    checkVatAgainstBase();
    checkSigns();
    checkDateAgainstPeriod();
    if (context_.generation == Generation::Today && !isAllowedSpecialCode(text(layout_.codeField()), layout_.kind))
        report(layout_.codeField(), RuleId::SpecialCode);
}

void RecordJudge::checkIdentity() {
    const std::string_view type = text(DocumentTypeField);
    if (!isAllowedDocumentType(type, layout_.kind))
        report(DocumentTypeField, RuleId::DocumentType);
    if (needsTenDigitNumber(type) && !isTenDigitNumber(text(DocumentNumberField)))
        report(DocumentNumberField, RuleId::DocumentNumber);
    date_ = parseDocumentDate(text(DocumentDateField), context_.generation);
    if (!date_)
        report(DocumentDateField, RuleId::DocumentDate);
    const IdentifierResult identifier = classifyCounterparty(text(CounterpartyField), type == "81" || type == "82");
    if (identifier.verdict != Verdict::Ok)
        report(CounterpartyField, identifier.rule);
}

void RecordJudge::readAmounts() {
    amounts_.known = 0;
    for (std::size_t index = 0; index < layout_.amountCount; ++index) {
        const std::size_t field = FirstAmountField + index;
        const AmountValue value = parseAmountField(text(field));
        if (value.shape == AmountShape::Malformed) {
            report(field, RuleId::AmountFormat);
            continue;
        }
        if (value.shape == AmountShape::NotRightAligned)
            report(field, RuleId::AmountAlignment);
        amounts_.cents[index] = value.cents;
        amounts_.known |= 1u << index;
    }
}

void RecordJudge::checkSalesTotals() {
    struct TotalRule {
        int column;
        std::array<int, 7> parts; // 0 ends the list
        RuleId rule;
    };
    static constexpr std::array<TotalRule, 2> totals{{
        {9, {11, 13, 14, 17, 19, 20, 21}, RuleId::SalesBaseTotal},
        {10, {12, 15, 16, 18, 0, 0, 0}, RuleId::SalesVatTotal},
    }};
    for (const TotalRule& total : totals) {
        if (!hasAmount(total.column))
            continue;
        std::int64_t sum = 0;
        bool complete = true;
        for (int part : total.parts) {
            if (part == 0)
                break;
            complete = complete && hasAmount(part);
            sum += complete ? amount(part) : 0;
        }
        if (complete && sum != amount(total.column))
            report(layout_.amountField(total.column), total.rule, "сборът е " + formatCents(sum));
    }
}

void RecordJudge::checkVatAgainstBase() {
    // Rates in percent; the VAT must lie within [low, high] % of the base, give or take one cent.
    // Work in hundredths of a cent: percent × base cents against 100 × VAT cents.
    auto judge = [this](int baseColumn, int vatColumn, int low, int high) {
        if (!hasAmount(baseColumn) || !hasAmount(vatColumn))
            return;
        const std::int64_t base = amount(baseColumn);
        const std::int64_t scaledVat = amount(vatColumn) * 100;
        std::int64_t lowest = base * low;
        std::int64_t highest = base * high;
        if (lowest > highest)
            std::swap(lowest, highest);
        if (scaledVat >= lowest - 100 && scaledVat <= highest + 100)
            return;
        std::string detail =
            std::to_string(low) + (low == high ? "" : ".." + std::to_string(high)) + " % от " + formatCents(base);
        report(layout_.amountField(vatColumn), RuleId::VatAgainstBase, std::move(detail));
    };
    if (isPurchases(layout_)) {
        judge(10, 11, 9, 20); // a purchase document may mix rates
        judge(12, 13, 9, 20);
        return;
    }
    judge(11, 12, 20, 20);
    if (context_.periodUnknown)
        return;
    TaxPeriod period = context_.period.valid() ? context_.period : parseTaxPeriod(text(PeriodField));
    if (!period.valid())
        return;
    // The reduced rate was 7 % until the end of March 2011.
    const int reducedRate = period.year * 100 + period.month < 201104 ? 7 : 9;
    judge(17, 18, reducedRate, reducedRate);
}

void RecordJudge::checkSigns() {
    const std::string_view type = text(DocumentTypeField);
    const bool credit = isCreditNote(type);
    const bool debit = isInvoiceOrDebitNote(type);
    int firstSign = 0;
    std::size_t mixedAt = 0;
    for (std::size_t index = 0; index < layout_.amountCount; ++index) {
        const std::size_t field = FirstAmountField + index;
        // The annual adjustment of purchases (column 14) may take either sign.
        if (!knownAt(index) || amounts_.cents[index] == 0 || (isPurchases(layout_) && field == layout_.amountField(14)))
            continue;
        const int sign = amounts_.cents[index] > 0 ? 1 : -1;
        if ((credit && sign > 0) || (debit && sign < 0)) {
            report(field, credit ? RuleId::CreditNotePositive : RuleId::DebitNegative);
            return;
        }
        if (firstSign == 0)
            firstSign = sign;
        else if (sign != firstSign && mixedAt == 0)
            mixedAt = field;
    }
    if (mixedAt != 0)
        report(mixedAt, RuleId::MixedSigns);
}

void RecordJudge::checkDateAgainstPeriod() {
    if (!date_ || context_.periodUnknown)
        return;
    const TaxPeriod period = context_.period.valid() ? context_.period : parseTaxPeriod(text(PeriodField));
    if (!period.valid())
        return;
    const int periodMonths = period.year * 12 + period.month;
    const int dateMonths = date_->year * 12 + date_->month;
    if (dateMonths > periodMonths)
        report(DocumentDateField, RuleId::DateAfterPeriod);
    else if (isPurchases(layout_) && periodMonths - dateMonths > 12)
        report(DocumentDateField, RuleId::DateLongBeforePeriod);
}

} // namespace

Finding makeFinding(const std::string& fileName, std::size_t line, const RecordField& field, RuleId rule,
                    std::string_view rawValue, std::string detail) {
    const RuleInfo& info = ruleInfo(rule);
    Finding finding;
    finding.file = fileName;
    finding.line = line;
    finding.field = field.label;
    finding.fieldName = field.name;
    finding.severity = info.severity;
    finding.rule = rule;
    finding.value = win1251ToUtf8(trimBlanks(rawValue));
    finding.message = info.message;
    finding.detail = std::move(detail);
    return finding;
}

void checkRecord(JournalKind kind, std::string_view record, std::size_t line, const RecordContext& context,
                 std::vector<Finding>& findings, KnownCents* cents) {
    RecordJudge(recordLayout(kind), record, line, context, findings, cents).run();
}

void checkPurchaseRecord(std::string_view record, std::size_t line, const RecordContext& context,
                         std::vector<Finding>& findings) {
    checkRecord(JournalKind::Purchases, record, line, context, findings);
}

void checkSalesRecord(std::string_view record, std::size_t line, const RecordContext& context,
                      std::vector<Finding>& findings) {
    checkRecord(JournalKind::Sales, record, line, context, findings);
}

std::vector<Finding> checkPurchaseRecord(std::string_view record, std::size_t line, const RecordContext& context) {
    std::vector<Finding> findings;
    checkPurchaseRecord(record, line, context, findings);
    return findings;
}

std::vector<Finding> checkSalesRecord(std::string_view record, std::size_t line, const RecordContext& context) {
    std::vector<Finding> findings;
    checkSalesRecord(record, line, context, findings);
    return findings;
}

} // namespace orva::check
