#pragma once

#include "text/ExactDecimal.h"

#include <optional>
#include <string>
#include <vector>

// The return's own arithmetic, written once: which cells follow from which, which sums a cell
// limits, and how the two sides are rounded when compared. The dialog and --cell derive cells
// from it; the check builds its table and its findings on the return's cells from it.
namespace orva {

// A term of a rule: a cell, or a cell times another (42 times 33).
struct CellTerm {
    int cell = 0;
    int factor = 0; // 0: none
};

// One step of the arithmetic.
enum class Operation {
    Add,
    Multiply,
    Due,    // a - b when that is above zero, else 0: the tax due
    Refund, // b - a when a - b is not above zero, else 0: the tax to refund
};

// The exact value of one step.
ExactDecimal applyOperation(const ExactDecimal& a, const ExactDecimal& b, Operation operation);

struct ReturnRule {
    enum class Kind {
        Sum,    // `cell` = the terms' sum
        Due,    // `cell` = the first term - the second when above zero, else 0
        Refund, // `cell` = the second term - the first when the first - the second is not above zero, else 0
        AtMost, // the terms' sum <= `cell`
        Within, // low <= `cell` <= high
    };
    enum class Rounding {
        Cents, // both sides rounded half away from zero to the cent, then compared (as the documents state them)
        Exact, // compared as they stand: a coefficient is no amount
    };
    // How the check states the rule: a row of its table, or a finding on the return record.
    enum class Report { TableRow, Finding };

    Kind kind = Kind::Sum;
    int cell = 0;
    std::vector<CellTerm> terms;
    Rounding rounding = Rounding::Cents;
    Report report = Report::TableRow;
    bool derived = false;  // the dialog and --cell compute `cell` anew when cell 33 is changed
    int low = 0, high = 0; // of Within
};

// Every rule, in the check table's order; a derived cell comes after the cells it is derived from.
const std::vector<ReturnRule>& returnRules();

// The rule's name in characters Windows-1251 has (UTF-8 here), so that it reads the same on
// screen, in a PDF and on paper: "кл.40 = кл.41+42*33+43", "кл.80+81+82 <= кл.60".
std::string ruleName(const ReturnRule& rule);

// The terms of an AtMost rule as the user's messages name them: "кл.70 + кл.71".
std::string termNames(const ReturnRule& rule);

// The side a rule computes from its terms (not of Within): the terms' sum for Sum and AtMost, the
// part of the difference of the two terms for Due and Refund. Over any value type: `cellValue(n)`
// gives cell n's value and `combine(a, b, operation)` one step, so that the check can carry with
// each number where it comes from. A factor is applied to its cell before the cell is added.
template <class Value, class CellValue, class Combine>
Value computedSide(const ReturnRule& rule, const CellValue& cellValue, const Combine& combine) {
    if (rule.kind == ReturnRule::Kind::Due || rule.kind == ReturnRule::Kind::Refund)
        return combine(cellValue(rule.terms.at(0).cell), cellValue(rule.terms.at(1).cell),
                       rule.kind == ReturnRule::Kind::Due ? Operation::Due : Operation::Refund);
    std::optional<Value> sum;
    for (const CellTerm& term : rule.terms) {
        Value value = cellValue(term.cell);
        if (term.factor != 0)
            value = combine(value, cellValue(term.factor), Operation::Multiply);
        sum = sum ? combine(*sum, value, Operation::Add) : value;
    }
    return *sum;
}

// The same over plain numbers.
template <class CellValue> ExactDecimal computedAmount(const ReturnRule& rule, const CellValue& cellValue) {
    return computedSide<ExactDecimal>(rule, cellValue, applyOperation);
}

// Amounts compared as the documents state them: both rounded half away from zero to the cent.
int compareInCents(const ExactDecimal& a, const ExactDecimal& b);

// -1, 0 or 1 as the rule compares: in whole cents or exactly.
int compareSides(const ReturnRule& rule, const ExactDecimal& a, const ExactDecimal& b);

// Whether the rule holds: for Sum, Due and Refund the cell's value against the computed side, for
// AtMost the computed sum against the limiting cell's value; for Within only `cellSide` counts.
bool ruleHolds(const ReturnRule& rule, const ExactDecimal& cellSide, const ExactDecimal& computed);

} // namespace orva
