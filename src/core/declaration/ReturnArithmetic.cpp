#include "declaration/ReturnArithmetic.h"

#include "declaration/ReturnCells.h"

#include <utility>

namespace orva {

ExactDecimal applyOperation(const ExactDecimal& a, const ExactDecimal& b, Operation operation) {
    switch (operation) {
    case Operation::Add:
        return a + b;
    case Operation::Multiply:
        return a * b;
    case Operation::Due: {
        const ExactDecimal difference = a - b;
        return difference > ExactDecimal() ? difference : ExactDecimal();
    }
    case Operation::Refund: {
        const ExactDecimal difference = a - b;
        return difference > ExactDecimal() ? ExactDecimal() : -difference;
    }
    }
    return ExactDecimal();
}

const std::vector<ReturnRule>& returnRules() {
    using Kind = ReturnRule::Kind;
    static const std::vector<ReturnRule> rules = [] {
        std::vector<ReturnRule> table;
        auto add = [&table](Kind kind, int cell, std::vector<CellTerm> terms) -> ReturnRule& {
            ReturnRule rule;
            rule.kind = kind;
            rule.cell = cell;
            rule.terms = std::move(terms);
            return table.emplace_back(std::move(rule));
        };
        add(Kind::Sum, 1, {{11}, {12}, {13}, {14}, {15}, {16}});
        add(Kind::Sum, 20, {{21}, {22}, {23}, {24}});
        add(Kind::Sum, 40, {{41}, {42, 33}, {43}}).derived = true;
        ReturnRule& coefficient = add(Kind::Within, 33, {});
        coefficient.rounding = ReturnRule::Rounding::Exact;
        coefficient.high = 1;
        add(Kind::Due, 50, {{20}, {40}}).derived = true;
        add(Kind::Refund, 60, {{20}, {40}}).derived = true;
        add(Kind::AtMost, 50, {{70}, {71}}).report = ReturnRule::Report::Finding;
        add(Kind::AtMost, 60, {{80}, {81}, {82}});
        return table;
    }();
    return rules;
}

namespace {

// "41+42*33+43": the first cell with its "кл.", the others by number.
std::string termList(const ReturnRule& rule) {
    std::string text;
    for (const CellTerm& term : rule.terms) {
        text += text.empty() ? cellName(term.cell) : "+" + cellDigits(term.cell);
        if (term.factor != 0)
            text += "*" + cellDigits(term.factor);
    }
    return text;
}

} // namespace

std::string ruleName(const ReturnRule& rule) {
    switch (rule.kind) {
    case ReturnRule::Kind::Sum:
        return cellName(rule.cell) + " = " + termList(rule);
    case ReturnRule::Kind::Due:
    case ReturnRule::Kind::Refund:
        return cellName(rule.cell) + " от " + cellName(rule.terms.at(0).cell) + "-" + cellDigits(rule.terms.at(1).cell);
    case ReturnRule::Kind::AtMost:
        return termList(rule) + " <= " + cellName(rule.cell);
    case ReturnRule::Kind::Within:
        return std::to_string(rule.low) + " <= " + cellName(rule.cell) + " <= " + std::to_string(rule.high);
    }
    return {};
}

std::string termNames(const ReturnRule& rule) {
    std::string text;
    for (const CellTerm& term : rule.terms)
        text += (text.empty() ? "" : " + ") + cellName(term.cell);
    return text;
}

int compareInCents(const ExactDecimal& a, const ExactDecimal& b) {
    return ExactDecimal::compare(a.roundedToCents(), b.roundedToCents());
}

int compareSides(const ReturnRule& rule, const ExactDecimal& a, const ExactDecimal& b) {
    return rule.rounding == ReturnRule::Rounding::Cents ? compareInCents(a, b) : ExactDecimal::compare(a, b);
}

bool ruleHolds(const ReturnRule& rule, const ExactDecimal& cellSide, const ExactDecimal& computed) {
    switch (rule.kind) {
    case ReturnRule::Kind::AtMost:
        return compareSides(rule, computed, cellSide) <= 0;
    case ReturnRule::Kind::Within:
        return compareSides(rule, ExactDecimal::fromInteger(rule.low), cellSide) <= 0 &&
               compareSides(rule, cellSide, ExactDecimal::fromInteger(rule.high)) <= 0;
    default:
        return compareSides(rule, cellSide, computed) == 0;
    }
}

} // namespace orva
