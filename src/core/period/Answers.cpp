#include "period/Answers.h"

#include "declaration/Declaration.h"
#include "text/Encoding.h"
#include "text/ExactDecimal.h"
#include "text/Money.h"

namespace orva {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isBlankText(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

// An amount of a cell; a blank cell counts 0, anything else not a number is std::nullopt.
std::optional<ExactDecimal> cellAmount(const std::string& text) {
    if (isBlankText(text))
        return ExactDecimal();
    return ExactDecimal::parse(text);
}

ExactDecimal amountOf(const ReturnCells& cells, int cellNumber) {
    const std::optional<ExactDecimal> value = cellAmount(cells[cellNumber]);
    if (!value)
        throw Error(cellName(cellNumber) + " \"" + win1251ToUtf8(cells[cellNumber]) +
                    "\" не е число: кл.40 = кл.41 + кл.42 × кл.33 + кл.43 не може да се изчисли");
    return *value;
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
    while (i < text.size() && isDigit(text[i]))
        ++i;
    if (i == integerStart)
        return std::nullopt;
    std::string stored = text;
    if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
        stored[i] = '.';
        const std::size_t fractionStart = ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        if (i - fractionStart < 1 || i - fractionStart > 2)
            return std::nullopt;
    }
    if (text.find_first_not_of(' ', i) != std::string::npos)
        return std::nullopt;
    if (coefficient) {
        const std::optional<ExactDecimal> value = ExactDecimal::parse(stored);
        if (!value || *value > ExactDecimal::fromInteger(1))
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
    if (cells[33] == presets[33]) {
        for (const int cellNumber : {40, 50, 60})
            cells[cellNumber] = presets[cellNumber];
        return;
    }
    const ExactDecimal k40 = amountOf(cells, 41) + amountOf(cells, 42) * amountOf(cells, 33) + amountOf(cells, 43);
    // Written as 50 and 60 are: rounded to the cent, right-aligned in the cell's 15 characters.
    const std::string k40Text = moneyCell(k40, kTypedCellWidth);
    amountOf(cells, 20); // names cell 20 when it is no number
    const ResultCells result = deriveResultCells(cells[20], k40Text);
    cells[40] = k40Text;
    cells[50] = result.cell50;
    cells[60] = result.cell60;
}

std::vector<std::string> sumWarnings(const ReturnCells& cells, const ReturnCells& presets) {
    struct Rule {
        std::vector<int> parts;
        int limit;
    };
    const Rule rules[] = {{{70, 71}, 50}, {{80, 81, 82}, 60}};
    std::vector<std::string> warnings;
    for (const Rule& rule : rules) {
        ExactDecimal sum;
        std::string names;
        bool numbers = true;
        bool typed = cells[rule.limit] != presets[rule.limit];
        for (const int cellNumber : rule.parts) {
            typed = typed || cells[cellNumber] != presets[cellNumber];
            const std::optional<ExactDecimal> value = cellAmount(cells[cellNumber]);
            numbers = numbers && value.has_value();
            if (value)
                sum += *value;
            names += (names.empty() ? "Кл." : " + кл.") + cellDigits(cellNumber);
        }
        const std::optional<ExactDecimal> limit = cellAmount(cells[rule.limit]);
        if (!typed || !numbers || !limit || !sum.fitsMoneyFormat() || !limit->fitsMoneyFormat())
            continue;
        if (sum > *limit)
            warnings.push_back(names + " = " + sum.moneyText() + " е повече от кл." + cellDigits(rule.limit) + " = " +
                               limit->moneyText());
    }
    return warnings;
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
