#include "check/ReturnRules.h"

#include "text/Decimal.h"
#include "text/Encoding.h"
#include "text/Money.h"

#include <cmath>
#include <optional>

namespace orva {

namespace {

// One side of a rule: a number, or the reason there is none.
struct Value {
    std::optional<long double> number;
    std::string problem; // UTF-8, set when `number` is empty
    std::string source;  // UTF-8: the file, line and text of the amount (of a sum: its largest term)
};

// The source of whichever of two numbers is larger: the one to blame when a result is out of range.
const std::string& largerSource(const Value& a, const Value& b) {
    return std::fabs(*b.number) > std::fabs(*a.number) ? b.source : a.source;
}

Value combine(const Value& a, const Value& b, long double (*op)(long double, long double)) {
    if (!a.number)
        return a;
    if (!b.number)
        return b;
    return {op(*a.number, *b.number), {}, largerSource(a, b)};
}

long double add(long double a, long double b) {
    return a + b;
}
long double multiply(long double a, long double b) {
    return a * b;
}

class Checker {
public:
    explicit Checker(const Declaration& declaration) : declaration_(declaration) {}

    Value cell(int cellNumber) const {
        const std::string& text = declaration_.cells[cellNumber];
        if (const auto number = tryParseDecimal(text))
            return {*number, {}, declarationCellPlace(declaration_, cellNumber) + quoted(text)};
        return {std::nullopt, cellName(cellNumber) + quoted(text) + " не е число", {}};
    }

    Value cells(std::initializer_list<int> cellNumbers) const {
        Value sum{0.0L, {}, {}};
        for (int cellNumber : cellNumbers)
            sum = combine(sum, cell(cellNumber), add);
        return sum;
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
        if (const auto value = tryParseDecimal(text))
            return {*value,
                    {},
                    std::string(kDeclarationFileName) + ", ред " +
                        std::to_string(declarationLineOfField(declaration_, number)) + ": поле " +
                        std::to_string(number) + quoted(text)};
        return {std::nullopt, "поле " + std::to_string(number) + quoted(text) + " не е число", {}};
    }

    // return side == other side, to the cent
    void equal(const std::string& rule, const Value& returnSide, const Value& otherSide, bool whole = false) {
        CheckRow row = startRow(rule, returnSide, otherSide, whole);
        if (row.result != CheckRow::Result::NotEvaluable) {
            const long double difference = *returnSide.number - *otherSide.number;
            const Value differenceValue{difference, {}, largerSource(returnSide, otherSide)};
            row.difference = whole ? wholeNumber(rule, differenceValue) : money(rule, differenceValue);
            row.result = wholeCents(*returnSide.number) == wholeCents(*otherSide.number) ? CheckRow::Result::Holds
                                                                                         : CheckRow::Result::Fails;
        }
        rows_.push_back(row);
    }

    // return side <= other side, to the cent
    void atMost(const std::string& rule, const Value& returnSide, const Value& otherSide) {
        CheckRow row = startRow(rule, returnSide, otherSide);
        if (row.result != CheckRow::Result::NotEvaluable) {
            row.difference =
                money(rule, Value{*returnSide.number - *otherSide.number, {}, largerSource(returnSide, otherSide)});
            row.result = wholeCents(*returnSide.number) <= wholeCents(*otherSide.number) ? CheckRow::Result::Holds
                                                                                         : CheckRow::Result::Fails;
        }
        rows_.push_back(row);
    }

    void between(const std::string& rule, const Value& value, long double low, long double high) {
        CheckRow row = startRow(rule, value, Value{low, {}, {}});
        row.journalValue = formatMoney(low) + ".." + formatMoney(high);
        if (row.result != CheckRow::Result::NotEvaluable) {
            const long double outside = *value.number < low    ? *value.number - low
                                        : *value.number > high ? *value.number - high
                                                               : 0.0L;
            row.difference = money(rule, Value{outside, {}, value.source});
            row.result =
                *value.number >= low && *value.number <= high ? CheckRow::Result::Holds : CheckRow::Result::Fails;
        }
        rows_.push_back(row);
    }

    std::vector<CheckRow> rows() const { return rows_; }

private:
    static std::string quoted(const std::string& win1251) { return " \"" + win1251ToUtf8(win1251) + "\""; }

    // The money text of a number; one that cannot be written as money (its cents overflow) ends the
    // check with a failure naming the amount it comes from, never "inf" in the table.
    static std::string money(const std::string& rule, const Value& value) {
        if (!fitsMoneyFormat(*value.number))
            throw PeriodError(PeriodError::Stage::Return,
                              value.source + ": " + rule + ": сумата не може да се изпише в стотинки");
        return formatMoney(*value.number);
    }

    static std::string wholeNumber(const std::string& rule, const Value& value) {
        return std::abs(*value.number) < 1e18L ? std::to_string(std::llround(*value.number)) : money(rule, value);
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

JournalTotals totalsOf(const JournalResult& journal) {
    return {journal.totals, journal.records, {}};
}

std::vector<CheckRow> checkPeriod(const Period& period) {
    return checkReturn(period.declaration, totalsOf(period.purchases), totalsOf(period.sales));
}

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
        const auto asRead = tryParseDecimal(declaration.cells[pair.cellNumber]);
        const auto swapped = tryParseDecimal(declaration.cells[pair.partner]);
        if (!asRead || !swapped)
            return false;
        const long double total = sales.totals.at(static_cast<std::size_t>(pair.column - 9));
        agreeAsRead = agreeAsRead && wholeCents(*asRead) == wholeCents(total);
        agreeSwapped = agreeSwapped && wholeCents(*swapped) == wholeCents(total);
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
            check.equal(
                cellName(12) + " = продажби кол.13+14", check.cell(12),
                combine(Checker::total(sales, salesLayout(), 13), Checker::total(sales, salesLayout(), 14), add));
    }
    static constexpr ColumnRule kPurchases[] = {{9, 30}, {10, 31}, {11, 41}, {12, 32}, {13, 42}, {14, 43}};
    for (const ColumnRule& rule : kPurchases) {
        check.equal(cellName(rule.cellNumber) + " = покупки кол." + std::to_string(rule.column),
                    check.cell(rule.cellNumber), Checker::total(purchases, purchasesLayout(), rule.column));
    }

    check.equal("кл.01 = кл.11+12+13+14+15+16", check.cell(1), check.cells({11, 12, 13, 14, 15, 16}));
    check.equal("кл.20 = кл.21+22+23+24", check.cell(20), check.cells({21, 22, 23, 24}));
    check.equal(
        "кл.40 = кл.41+42×33+43", check.cell(40),
        combine(combine(check.cell(41), combine(check.cell(42), check.cell(33), multiply), add), check.cell(43), add));
    check.between("0 ≤ кл.33 ≤ 1", check.cell(33), 0.0L, 1.0L);

    // Cells 50 and 60 as the window derives them from 20 - 40.
    Value derived50 = check.cell(20);
    Value derived60 = derived50;
    const Value k40 = check.cell(40);
    if (derived50.number && k40.number) {
        const ResultAmounts result = deriveResultAmounts(*derived50.number, *k40.number);
        derived50.number = result.cell50;
        derived60.number = result.cell60;
        derived50.source = derived60.source = largerSource(check.cell(20), k40);
    } else if (!k40.number) {
        derived50 = derived60 = k40;
    }
    check.equal("кл.50 от кл.20-40", check.cell(50), derived50);
    check.equal("кл.60 от кл.20-40", check.cell(60), derived60);
    check.atMost("кл.80+81+82 ≤ кл.60", check.cells({80, 81, 82}), check.cell(60));

    check.equal("поле 5 = брой продажби", check.field(5), Value{static_cast<long double>(sales.records), {}, {}}, true);
    check.equal("поле 6 = брой покупки", check.field(6), Value{static_cast<long double>(purchases.records), {}, {}},
                true);
    return check.rows();
}

} // namespace orva
