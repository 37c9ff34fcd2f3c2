#include "check/ReturnRules.h"

#include "declaration/ReturnArithmetic.h"
#include "text/Encoding.h"
#include "text/Money.h"

#include <optional>

namespace orva {

namespace {

// One side of a rule: a number, or the reason there is none.
struct Value {
    std::optional<ExactDecimal> number;
    std::string problem; // UTF-8, set when `number` is empty
    std::string source;  // UTF-8: the file, line and text of the amount (of a sum: its largest term)
};

// The source of whichever of two numbers is larger: the one to blame when a result is out of range.
const std::string& largerSource(const Value& a, const Value& b) {
    return ExactDecimal::compareMagnitude(*b.number, *a.number) > 0 ? b.source : a.source;
}

Value combine(const Value& a, const Value& b, Operation operation) {
    if (!a.number)
        return a;
    if (!b.number)
        return b;
    return {applyOperation(*a.number, *b.number, operation), {}, largerSource(a, b)};
}

// The difference of what is compared, both sides in whole cents: 9.98 against 9.975 is 0.00, not the
// 0.01 that 0.005 rounds to, so a rule that holds never shows a difference and one that fails never
// shows 0.00.
ExactDecimal centsDifference(const Value& a, const Value& b) {
    return a.number->roundedToCents() - b.number->roundedToCents();
}

class Checker {
public:
    explicit Checker(const Declaration& declaration) : declaration_(declaration) {}

    Value cell(int cellNumber) const {
        const std::string& text = declaration_.cells[cellNumber];
        if (auto number = ExactDecimal::parse(text))
            return {*number, {}, declarationCellPlace(declaration_, cellNumber) + quoted(text)};
        return {std::nullopt, cellName(cellNumber) + quoted(text) + " не е число", {}};
    }

    // The side `rule` computes from the return's cells.
    Value computed(const ReturnRule& rule) const {
        return computedSide<Value>(
            rule, [this](int cellNumber) { return cell(cellNumber); }, combine);
    }

    static Value total(const JournalTotals& journal, const JournalLayout& layout, int column) {
        if (!journal.incomplete.empty())
            return {std::nullopt, journal.incomplete, {}};
        return {journal.totals.at(static_cast<std::size_t>(column - 9)),
                {},
                layout.fileName + ": сборът на кол." + std::to_string(column)};
    }

    Value field(std::size_t number) const {
        const std::string& text = declaration_.fields.at(number - 1);
        if (auto value = ExactDecimal::parse(text))
            return {*value,
                    {},
                    declaration_.fileName + ", ред " + std::to_string(declarationLineOfField(declaration_, number)) +
                        ": поле " + std::to_string(number) + quoted(text)};
        return {std::nullopt, "поле " + std::to_string(number) + quoted(text) + " не е число", {}};
    }

    // return side == other side, to the cent, or as `returnRule` compares
    void equal(const std::string& rule, const Value& returnSide, const Value& otherSide, bool whole = false,
               const ReturnRule* returnRule = nullptr) {
        CheckRow row = startRow(rule, returnSide, otherSide, whole);
        if (row.result != CheckRow::Result::NotEvaluable) {
            const Value differenceValue{
                centsDifference(returnSide, otherSide), {}, largerSource(returnSide, otherSide)};
            row.difference = whole ? wholeNumber(rule, differenceValue) : money(rule, differenceValue);
            const bool holds = returnRule ? ruleHolds(*returnRule, *returnSide.number, *otherSide.number)
                                          : compareInCents(*returnSide.number, *otherSide.number) == 0;
            row.result = holds ? CheckRow::Result::Holds : CheckRow::Result::Fails;
        }
        rows_.push_back(row);
    }

    // A rule of the return's own arithmetic.
    void returnRule(const ReturnRule& rule) {
        const std::string name = ruleName(rule);
        switch (rule.kind) {
        case ReturnRule::Kind::Within:
            between(name, rule, cell(rule.cell));
            return;
        case ReturnRule::Kind::AtMost:
            atMost(name, rule, computed(rule), cell(rule.cell));
            return;
        default:
            equal(name, cell(rule.cell), computed(rule), false, &rule);
            return;
        }
    }

    std::vector<CheckRow> rows() const { return rows_; }

private:
    // return side <= other side, as the rule rounds
    void atMost(const std::string& name, const ReturnRule& rule, const Value& returnSide, const Value& otherSide) {
        CheckRow row = startRow(name, returnSide, otherSide);
        if (row.result != CheckRow::Result::NotEvaluable) {
            const std::string& source = largerSource(returnSide, otherSide);
            const ExactDecimal difference = centsDifference(returnSide, otherSide);
            row.difference = money(name, Value{difference, {}, source});
            row.result = ruleHolds(rule, *otherSide.number, *returnSide.number) ? CheckRow::Result::Holds
                                                                                : CheckRow::Result::Fails;
            if (row.result == CheckRow::Result::Holds)
                row.margin = money(name, Value{-difference, {}, source});
        }
        rows_.push_back(row);
    }

    void between(const std::string& name, const ReturnRule& rule, const Value& value) {
        const ExactDecimal low = ExactDecimal::fromInteger(rule.low);
        const ExactDecimal high = ExactDecimal::fromInteger(rule.high);
        CheckRow row = startRow(name, value, Value{low, {}, {}});
        row.journalValue = low.moneyText() + ".." + high.moneyText();
        if (row.result != CheckRow::Result::NotEvaluable) {
            const ExactDecimal outside = compareSides(rule, *value.number, low) < 0    ? *value.number - low
                                         : compareSides(rule, *value.number, high) > 0 ? *value.number - high
                                                                                       : ExactDecimal();
            row.difference = money(name, Value{outside, {}, value.source});
            row.result =
                ruleHolds(rule, *value.number, *value.number) ? CheckRow::Result::Holds : CheckRow::Result::Fails;
        }
        rows_.push_back(row);
    }

    static std::string quoted(const std::string& win1251) { return " \"" + win1251ToUtf8(win1251) + "\""; }

    // The money text of a number; one that cannot be written as money (its cents overflow) ends the
    // check with a failure naming the amount it comes from, never "inf" in the table.
    static std::string money(const std::string& rule, const Value& value) {
        if (!value.number->fitsMoneyFormat())
            throw PeriodError(PeriodError::Stage::Return,
                              value.source + ": " + rule + ": сумата не може да се изпише в стотинки");
        return value.number->moneyText();
    }

    static std::string wholeNumber(const std::string& rule, const Value& value) {
        static const ExactDecimal kLongest = ExactDecimal::fromInteger(1000000000000000000LL);
        return ExactDecimal::compareMagnitude(*value.number, kLongest) < 0 ? value.number->rounded(0).exactText()
                                                                           : money(rule, value);
    }

    static std::string show(const std::string& rule, const Value& value, bool whole) {
        if (!value.number)
            return "-";
        return whole ? wholeNumber(rule, value) : money(rule, value);
    }

    static CheckRow startRow(const std::string& rule, const Value& returnSide, const Value& otherSide,
                             bool whole = false) {
        CheckRow row;
        row.rule = rule;
        row.returnValue = show(rule, returnSide, whole);
        row.journalValue = show(rule, otherSide, whole);
        if (!returnSide.number || !otherSide.number) {
            row.result = CheckRow::Result::NotEvaluable;
            row.difference = !returnSide.number ? returnSide.problem : otherSide.problem;
        }
        return row;
    }

    const Declaration& declaration_;
    std::vector<CheckRow> rows_;
};

} // namespace

bool agreesOnlyInOtherOrder(const Declaration& declaration, const JournalTotals& sales) {
    if (!sales.incomplete.empty())
        return false;
    // The cell as read and the journal column it is compared with; the other order reads the cell's partner.
    struct Pair {
        int cellNumber;
        int partner;
        int column;
    };
    static constexpr Pair kPairs[] = {{13, 23, 17}, {23, 13, 16}, {14, 24, 19}, {24, 14, 18}};
    bool agreeAsRead = true;
    bool agreeSwapped = true;
    for (const Pair& pair : kPairs) {
        const auto asRead = ExactDecimal::parse(declaration.cells[pair.cellNumber]);
        const auto swapped = ExactDecimal::parse(declaration.cells[pair.partner]);
        if (!asRead || !swapped)
            return false;
        const ExactDecimal& total = sales.totals.at(static_cast<std::size_t>(pair.column - 9));
        agreeAsRead = agreeAsRead && compareInCents(*asRead, total) == 0;
        agreeSwapped = agreeSwapped && compareInCents(*swapped, total) == 0;
    }
    return !agreeAsRead && agreeSwapped;
}

std::vector<CheckRow> checkReturn(const Declaration& declaration, const JournalTotals& purchases,
                                  const JournalTotals& sales) {
    Checker check(declaration);

    struct ColumnRule {
        int column;
        int cellNumber;
    };
    static constexpr ColumnRule kSales[] = {{9, 1},   {10, 20}, {11, 11}, {12, 21}, {15, 22}, {16, 23}, {17, 13},
                                            {18, 24}, {19, 14}, {20, 15}, {21, 16}, {22, 17}, {23, 18}, {24, 19}};
    for (const ColumnRule& rule : kSales) {
        check.equal(cellName(rule.cellNumber) + " = продажби кол." + std::to_string(rule.column),
                    check.cell(rule.cellNumber), Checker::total(sales, salesLayout(), rule.column));
        if (rule.column == 12) // 13 + 14 -> 12 keeps the order of the columns
            check.equal(cellName(12) + " = продажби кол.13+14", check.cell(12),
                        combine(Checker::total(sales, salesLayout(), 13), Checker::total(sales, salesLayout(), 14),
                                Operation::Add));
    }
    static constexpr ColumnRule kPurchases[] = {{9, 30}, {10, 31}, {11, 41}, {12, 32}, {13, 42}, {14, 43}};
    for (const ColumnRule& rule : kPurchases) {
        check.equal(cellName(rule.cellNumber) + " = покупки кол." + std::to_string(rule.column),
                    check.cell(rule.cellNumber), Checker::total(purchases, purchasesLayout(), rule.column));
    }

    for (const ReturnRule& rule : returnRules())
        if (rule.report == ReturnRule::Report::TableRow)
            check.returnRule(rule);

    check.equal("поле 5 = брой продажби", check.field(5),
                Value{ExactDecimal::fromInteger(static_cast<long long>(sales.records)), {}, {}}, true);
    check.equal("поле 6 = брой покупки", check.field(6),
                Value{ExactDecimal::fromInteger(static_cast<long long>(purchases.records)), {}, {}}, true);
    return check.rows();
}

} // namespace orva
