#include "check/ViesRules.h"

#include "check/FieldRules.h"
#include "check/Identifiers.h"
#include "text/Encoding.h"
#include "vies/Vies.h"

#include <unordered_set>

namespace orva::check {

namespace {

std::string utf8(std::string_view win1251) {
    return win1251ToUtf8(std::string(trimBlanks(win1251)));
}

Finding fieldFinding(const std::string& fileName, std::size_t line, const RecordField& field, RuleId rule,
                     std::string value, std::string detail = {}) {
    Finding finding = ruleFinding(fileName, line, rule);
    finding.field = field.label;
    finding.fieldName = field.name;
    finding.value = std::move(value);
    finding.detail = std::move(detail);
    return finding;
}

std::string money(const ExactDecimal& value) {
    return value.fitsMoneyFormat() ? value.moneyText() : "?";
}

// Line numbers 1, 2, 3 ...: after a wrong one the count goes on from what the line holds, so that one
// gap is one finding.
class LineNumbers {
public:
    // The finding's detail when `text` is not the next number, else empty.
    std::string next(std::string_view text) {
        const std::string expected = std::to_string(next_);
        const std::string_view number = trimBlanks(text);
        if (number == expected) {
            ++next_;
            return {};
        }
        const bool digits =
            !number.empty() && number.size() < 9 && number.find_first_not_of("0123456789") == std::string_view::npos;
        next_ = digits ? std::stoul(std::string(number)) + 1 : next_ + 1;
        return "очакван " + expected;
    }

private:
    std::size_t next_ = 1;
};

} // namespace

void checkVies(const PeriodFiles& files, const Declaration& declaration, const JournalTotals& sales,
               FindingSink& sink) {
    const auto cell = [&](int number) { return ExactDecimal::parse(declaration.cells[number]); };
    const auto nonZero = [&](int number) {
        const auto value = cell(number);
        return value && !value->roundedToCents().isZero();
    };
    if (!files.vies) {
        for (int number : {15, 17}) {
            if (!nonZero(number))
                continue;
            Finding finding =
                ruleFinding(declaration.fileName,
                            declarationLineOfField(declaration, declarationFieldOfCell(number, declaration.layout)),
                            RuleId::ViesMissing);
            finding.field = "01-" + std::to_string(number);
            finding.fieldName = cellName(number);
            finding.value = utf8(declaration.cells[number]);
            sink.finding(finding);
            break;
        }
        return;
    }

    const std::string& fileName = files.vies->name;
    const ViesRecordLayout& lineLayout = viesRecordLayout(ViesRecordKind::Line);
    const ViesRecordLayout& callOffLayout = viesRecordLayout(ViesRecordKind::CallOffLine);
    LineNumbers lineNumbers, callOffNumbers;
    std::unordered_set<std::string> ownCounterparties;
    // The findings of the lines go to the sink as the lines are read: records and line problems come in
    // line order, so nothing needs holding; what the file lacks follows them.
    auto problemFinding = [&](const ViesProblem& problem) {
        const bool missing = problem.kind == ViesProblem::Kind::Missing;
        Finding finding =
            ruleFinding(fileName, problem.line, missing ? RuleId::ViesMissingRecord : RuleId::ViesUnreadableLine);
        finding.fieldName = missing ? "запис" : "ред";
        finding.value = problem.code;
        finding.detail = problem.text();
        sink.finding(finding);
    };
    auto amount = [&](const ViesRecord& record, std::size_t index) {
        const RecordField& field = record.layout->fields[index];
        const std::string_view text = record.field(index);
        const AmountShape shape = parseAmountField(text).shape;
        if (shape != AmountShape::Ok)
            sink.finding(fieldFinding(fileName, record.line, field,
                                      shape == AmountShape::Malformed ? RuleId::AmountFormat : RuleId::AmountAlignment,
                                      utf8(text)));
    };
    auto counterparty = [&](const ViesRecord& record, std::size_t index) {
        const std::string_view text = record.field(index);
        if (const auto rule = classifyViesCounterparty(text))
            sink.finding(fieldFinding(fileName, record.line, record.layout->fields[index], *rule, utf8(text)));
    };
    auto onRecord = [&](const ViesRecord& record) {
        if (record.layout->kind == ViesRecordKind::Totals) {
            amount(record, 1);
            amount(record, 2);
        } else if (record.layout == &lineLayout) {
            if (std::string detail = lineNumbers.next(record.field(1)); !detail.empty())
                sink.finding(fieldFinding(fileName, record.line, lineLayout.fields[1], RuleId::ViesLineNumber,
                                          utf8(record.field(1)), std::move(detail)));
            counterparty(record, 2);
            for (std::size_t index : {3, 4, 5})
                amount(record, index);
            if (trimBlanks(record.field(6)).empty() &&
                !ownCounterparties.insert(std::string(trimBlanks(record.field(2)))).second)
                sink.finding(fieldFinding(fileName, record.line, lineLayout.fields[2],
                                          RuleId::ViesDuplicateCounterparty, utf8(record.field(2))));
        } else if (record.layout == &callOffLayout) {
            if (std::string detail = callOffNumbers.next(record.field(1)); !detail.empty())
                sink.finding(fieldFinding(fileName, record.line, callOffLayout.fields[1], RuleId::ViesLineNumber,
                                          utf8(record.field(1)), std::move(detail)));
            counterparty(record, 2);
        }
    };
    const ViesSummary summary = scanViesFile(*files.vies, onRecord, problemFinding);
    for (const ViesProblem& problem : summary.problems)
        problemFinding(problem);
    if (!summary.readable())
        return;

    const std::size_t firstLine = summary.header ? summary.header->line : 1;
    if (summary.header) {
        const ViesRecordLayout& layout = viesRecordLayout(ViesRecordKind::Header);
        const std::string_view count = trimBlanks(summary.header->field(layout, 2));
        if (count != std::to_string(summary.lines))
            sink.finding(fieldFinding(fileName, summary.header->line, layout.fields[2], RuleId::ViesCount, utf8(count),
                                      std::to_string(summary.lines) + " записа VIR"));
        const std::string_view period = summary.header->field(layout, 1);
        const std::string_view returnPeriod = trimBlanks(declaration.fields.at(2));
        if (viesPeriodAsTaxPeriod(period) != returnPeriod)
            sink.finding(fieldFinding(fileName, summary.header->line, layout.fields[1], RuleId::ViesPeriod,
                                      utf8(period), declaration.fileName + ": " + utf8(returnPeriod)));
    }
    if (summary.person) {
        const ViesRecordLayout& layout = viesRecordLayout(ViesRecordKind::Person);
        const std::string_view vat = trimBlanks(summary.person->field(layout, 1));
        const std::string_view returnVat = trimBlanks(declaration.fields.at(0));
        if (vat != returnVat)
            sink.finding(fieldFinding(fileName, summary.person->line, layout.fields[1], RuleId::ViesVatNumber,
                                      utf8(vat), declaration.fileName + ": " + utf8(returnVat)));
    }
    if (summary.totals && summary.badAmounts == 0) {
        const ViesRecordLayout& layout = viesRecordLayout(ViesRecordKind::Totals);
        const ExactDecimal sums[] = {summary.goods.value() + summary.triangular.value() + summary.services.value(),
                                     summary.goods.value()};
        for (std::size_t index : {1, 2}) {
            const auto total = ExactDecimal::parse(summary.totals->field(layout, index));
            const ExactDecimal& sum = sums[index - 1];
            if (total && total->roundedToCents() != sum.roundedToCents())
                sink.finding(fieldFinding(fileName, summary.totals->line, layout.fields[index], RuleId::ViesTotals,
                                          utf8(summary.totals->field(layout, index)),
                                          std::string(index == 1 ? "к3+к4+к5" : "к3") + " = " + money(sum)));
        }
    }

    // Against the return and the sales journal: over the lines of the period itself.
    if (summary.badAmounts == 0) {
        struct Against {
            RuleId rule;
            const ExactSum& sum;
            std::size_t field;
            int cell; // 0: none
            int column;
        };
        const Against rules[] = {{RuleId::ViesGoods, summary.ownGoods, 3, 15, 20},
                                 {RuleId::ViesServices, summary.ownServices, 5, 17, 22},
                                 {RuleId::ViesTriangular, summary.ownTriangular, 4, 0, 25}};
        for (const Against& rule : rules) {
            const ExactDecimal sum = rule.sum.value().roundedToCents();
            std::string detail;
            if (rule.cell != 0) {
                const auto value = cell(rule.cell);
                if (value && value->roundedToCents() != sum)
                    detail = "кл." + std::to_string(rule.cell) + " = " + utf8(declaration.cells[rule.cell]);
            }
            if (sales.incomplete.empty()) {
                const ExactDecimal& column = sales.totals.at(static_cast<std::size_t>(rule.column - 9));
                if (column.roundedToCents() != sum)
                    detail += (detail.empty() ? "" : "; ") + std::string("кол.") + std::to_string(rule.column) + " = " +
                              money(column);
            }
            if (!detail.empty())
                sink.finding(fieldFinding(fileName, firstLine, lineLayout.fields[rule.field], rule.rule, money(sum),
                                          std::move(detail)));
        }
    }
    if (cell(15) && cell(17) && !nonZero(15) && !nonZero(17)) {
        Finding finding = ruleFinding(fileName, firstLine, RuleId::ViesWithoutCells);
        finding.fieldName = "кл.15, кл.17";
        finding.value = utf8(declaration.cells[15]) + ", " + utf8(declaration.cells[17]);
        sink.finding(finding);
    }
}

} // namespace orva::check
