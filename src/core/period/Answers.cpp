#include "period/Answers.h"

#include "declaration/Declaration.h"
#include "declaration/ReturnArithmetic.h"
#include "text/Ascii.h"
#include "text/Calendar.h"
#include "text/Encoding.h"
#include "text/ExactDecimal.h"
#include "text/Money.h"

#include <stdexcept>

namespace orva {

namespace {

bool isBlankText(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

// An amount of a cell; a blank cell counts 0, anything else not a number is std::nullopt.
std::optional<ExactDecimal> cellAmount(const std::string& text) {
    if (isBlankText(text))
        return ExactDecimal();
    return ExactDecimal::parse(text);
}

// A cell's amount for `rule`; Error naming the cell and the rule when it is no number.
ExactDecimal amountOf(const ReturnCells& cells, int cellNumber, const ReturnRule& rule) {
    const std::optional<ExactDecimal> value = cellAmount(cells[cellNumber]);
    if (!value)
        throw Error(cellName(cellNumber) + " \"" + win1251ToUtf8(cells[cellNumber]) +
                    "\" не е число: " + ruleName(rule) + " не може да се изчисли");
    return *value;
}

const ReturnRule& coefficientRule() {
    for (const ReturnRule& rule : returnRules())
        if (rule.kind == ReturnRule::Kind::Within && rule.cell == 33)
            return rule;
    throw std::logic_error("the return's arithmetic has no rule for cell 33");
}

} // namespace

std::optional<std::string> storedCellValue(int cellNumber, const std::string& text) {
    if (text.size() > kTypedCellWidth)
        return std::nullopt;
    const bool coefficient = cellNumber == 33;
    if (isBlankText(text))
        return coefficient ? std::nullopt : std::optional<std::string>(text);
    std::size_t i = text.find_first_not_of(' ');
    if (text[i] == '-') {
        if (coefficient)
            return std::nullopt;
        ++i;
    }
    const std::size_t integerStart = i;
    while (i < text.size() && isAsciiDigit(text[i]))
        ++i;
    if (i == integerStart)
        return std::nullopt;
    std::string stored = text;
    if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
        stored[i] = '.';
        const std::size_t fractionStart = ++i;
        while (i < text.size() && isAsciiDigit(text[i]))
            ++i;
        if (i - fractionStart < 1 || i - fractionStart > 2)
            return std::nullopt;
    }
    if (text.find_first_not_of(' ', i) != std::string::npos)
        return std::nullopt;
    if (coefficient) {
        const std::optional<ExactDecimal> value = ExactDecimal::parse(stored);
        if (!value || !ruleHolds(coefficientRule(), *value, *value))
            return std::nullopt;
    }
    return stored;
}

std::string cellRefusal(int cellNumber, const std::string& text) {
    const std::string start = "Кл." + cellDigits(cellNumber) + ": \"" + win1251ToUtf8(text) + "\" ";
    if (cellNumber == 33)
        return start + "не е коефициент: число от 0 до 1 с точка или запетая и до два знака след нея.";
    return start + "не е сума: до 15 знака, число със знак минус по желание, точка или запетая и до два "
                   "знака след нея, или празно.";
}

CellRefused::CellRefused(int cellNumber, const std::string& text)
    : Error(cellRefusal(cellNumber, text)), cellNumber_(cellNumber) {}

void followCoefficient(const ReturnCells& presets, ReturnCells& cells) {
    const bool asPresets = cells[33] == presets[33];
    for (const ReturnRule& rule : returnRules()) {
        if (!rule.derived)
            continue;
        if (asPresets) {
            cells[rule.cell] = presets[rule.cell];
            continue;
        }
        const ExactDecimal value =
            computedAmount(rule, [&](int cellNumber) { return amountOf(cells, cellNumber, rule); });
        if (!value.fitsMoneyFormat())
            throw Error(ruleName(rule) + ": " + cellName(rule.cell) + " не може да се изпише в стотинки");
        // Written as the record's cells are: rounded to the cent, right-aligned in the cell's 15 characters.
        cells[rule.cell] = moneyCell(value, kTypedCellWidth);
    }
}

std::vector<std::string> sumWarnings(const ReturnCells& cells, const ReturnCells& presets) {
    std::vector<std::string> warnings;
    for (const ReturnRule& rule : returnRules()) {
        if (rule.kind != ReturnRule::Kind::AtMost)
            continue;
        bool typed = cells[rule.cell] != presets[rule.cell];
        bool numbers = true;
        for (const CellTerm& term : rule.terms) {
            typed = typed || cells[term.cell] != presets[term.cell];
            numbers = numbers && cellAmount(cells[term.cell]).has_value();
        }
        const std::optional<ExactDecimal> limit = cellAmount(cells[rule.cell]);
        if (!typed || !numbers || !limit)
            continue;
        const ExactDecimal sum = computedAmount(rule, [&](int cellNumber) { return *cellAmount(cells[cellNumber]); });
        if (!sum.fitsMoneyFormat() || !limit->fitsMoneyFormat() || ruleHolds(rule, *limit, sum))
            continue;
        // A sentence of its own, its first letter capital: "Кл.70 + кл.71 = ...".
        std::string sentence = termNames(rule);
        sentence.replace(0, std::string("к").size(), "К");
        warnings.push_back(sentence + " = " + sum.moneyText() + " е повече от " + cellName(rule.cell) + " = " +
                           limit->moneyText());
    }
    return warnings;
}

bool isReturnDate(const std::string& text) {
    return parseDate(text, DateSeparators::SlashesOrDots).has_value();
}

std::string dateRefusal(const std::string& text) {
    return "Дата: \"" + win1251ToUtf8(text) +
           "\" не е дата: ден, месец и година като 30/11/2026 или 30.11.2026, съществуващ ден.";
}

ReturnCells applyTypedCells(const ReturnCells& presets, const std::map<int, std::string>& typed) {
    ReturnCells cells = presets;
    for (const auto& [cellNumber, text] : typed) {
        const std::optional<std::string> stored = storedCellValue(cellNumber, text);
        if (!stored)
            throw CellRefused(cellNumber, text);
        cells[cellNumber] = *stored;
    }
    followCoefficient(presets, cells);
    return cells;
}

} // namespace orva
