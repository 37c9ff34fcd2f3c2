#include "check/PeriodCheck.h"

#include "check/AgencyReportRule.h"
#include "check/FindingSpool.h"
#include "check/Identifiers.h"
#include "check/JournalState.h"
#include "check/ViesRules.h"
#include "declaration/ReturnArithmetic.h"
#include "period/BothJournals.h"
#include "text/Encoding.h"
#include "text/ExactDecimal.h"
#include "text/LineSource.h"
#include "text/Mik.h"

#include <algorithm>
#include <exception>

namespace orva {

namespace {

// Totals and record counts do not depend on the paging; any page that holds a record block will do.
constexpr int kLinesPerPage = 1000;
// How many lines between two progress reports: a few milliseconds of checking, so that a cancel
// flag read there stops even a journal of millions of records at once.
constexpr std::size_t kProgressEvery = 1 << 14;

std::string cellCode(int cellNumber) {
    return "01-" + cellDigits(cellNumber);
}

// Only reported: the bytes stay part of the first line, whose fields the other rules judge as read.
check::Finding byteOrderMarkFinding(const std::string& fileName) {
    check::Finding finding = check::ruleFinding(fileName, 1, check::RuleId::ByteOrderMark);
    finding.fieldName = "начало на файла";
    finding.value = "EF BB BF";
    return finding;
}

} // namespace

PeriodCheck::PeriodCheck(const PeriodSession& period, const std::atomic<bool>* cancel)
    : cancel_(cancel), period_(period), files_(period.filesAsRead()), declaration_(period.declaration()) {}

void PeriodCheck::progress(FindingSink& sink, const std::string& fileName, double done,
                           const std::atomic<bool>* stop) const {
    if ((cancel_ && cancel_->load(std::memory_order_relaxed)) || (stop && stop->load(std::memory_order_relaxed)))
        throw Cancelled();
    sink.progress(fileName, done);
}

std::vector<CheckRow> PeriodCheck::run(FindingSink& sink) {
    // The sales' progress is reported only when they are checked on this thread, after the purchases.
    FindingSpool purchasesFindings(&sink), salesFindings(journalsAtOnce_ ? nullptr : &sink);
    JournalTotals purchases, sales;
    std::exception_ptr failure;
    bool purchasesRead = false;
    try {
        std::atomic<bool> stop{false};
        const auto checkPurchases = [&] {
            purchases = checkJournal(JournalKind::Purchases, purchasesFindings, nullptr);
            purchasesRead = true;
            // Handed on while the sales are still checked, where the sink can take them.
            if (sink.takesFindingsEarly())
                purchasesFindings.replay(sink);
        };
        const auto checkSales = [&] { sales = checkJournal(JournalKind::Sales, salesFindings, &stop); };
        if (journalsAtOnce_) {
            forBothJournals(checkPurchases, checkSales, &stop);
        } else {
            checkPurchases();
            checkSales();
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // What was found before a journal failed is reported as it always was, then the failure.
    sink.journalsRead();
    purchasesFindings.replay(sink);
    if (failure && !purchasesRead)
        std::rethrow_exception(failure);
    salesFindings.replay(sink);
    if (failure)
        std::rethrow_exception(failure);
    purchaseRecords_ = purchases.records;
    saleRecords_ = sales.records;
    checkReturnRecord(sink);
    checkReturnCells(sales, sink);
    check::checkVies(files_, declaration_, sales, sink);
    return checkReturn(declaration_, purchases, sales);
}

JournalTotals PeriodCheck::checkJournal(JournalKind kind, FindingSpool& sink, const std::atomic<bool>* stop) {
    // The file as surveyed: its code page is the one each pass is given.
    const FileSurvey& file = kind == JournalKind::Purchases ? files_.purchases : files_.sales;
    // The classic captions: the check reads records, not the document's wording.
    const JournalLayout& layout = kind == JournalKind::Purchases ? purchasesLayout() : salesLayout();
    const RecordLayout& record = recordLayout(kind);
    const Generation generation = record.generationOf(file.firstLineLength);
    const std::string& returnVatNumber = declaration_.fields.at(0);
    const std::string& returnPeriod = declaration_.fields.at(2);
    check::RecordContext context{file.name, generation, check::parseTaxPeriod(trimBlanks(returnPeriod))};
    context.periodUnknown = !context.period.valid();

    JournalTotals totals;
    const auto pass = [&](CodePage codePage, LineSource& source) {
        // Rule 22: the purchases against the agency's reports in the folder, on the records read here.
        std::vector<check::Finding> reportFindings;
        std::unique_ptr<check::AgencyReportRule> agencyReport;
        if (kind == JournalKind::Purchases)
            agencyReport =
                check::AgencyReportRule::forFolder(period_.folder(), file.name, declaration_, reportFindings);
        check::JournalCheck journalCheck(kind, context, returnVatNumber, returnPeriod);
        if (file.byteOrderMark)
            sink.finding(byteOrderMarkFinding(file.name));

        std::vector<check::Finding> findings;
        std::string converted;
        const std::size_t fileSize = source.sizeHint();
        journalCheck.reserve(fileSize / (record.width(generation) + 2));
        JournalOptions options;
        options.codePage = codePage;
        options.fileName = file.name;
        // The amounts the record rules read as numbers are not read again for the totals.
        KnownCents knownCents;
        options.knownCents = &knownCents;
        auto progressAt = [&](std::size_t line, std::size_t lineLength) {
            if (line % kProgressEvery == 0)
                progress(sink, file.name,
                         std::min(1.0, static_cast<double>(line) * static_cast<double>(lineLength + 2) /
                                           static_cast<double>(std::max<std::size_t>(fileSize, 1))),
                         stop);
        };
        options.onRecord = [&](std::string_view record, std::size_t line) {
            if (codePage == CodePage::Mik) {
                converted.assign(record);
                mikToWin1251InPlace(converted);
                record = converted;
            }
            journalCheck.check(record, line, findings, &knownCents);
            if (agencyReport)
                agencyReport->record(record, line, findings);
            for (const check::Finding& finding : findings)
                sink.finding(finding);
            findings.clear();
            progressAt(line, record.size());
        };
        // The amount is reported as a finding by the record rules; here it only leaves the totals incomplete.
        std::size_t badAmounts = 0;
        std::size_t firstBadLine = 0;
        options.onBadAmount = [&](const JournalError& error) {
            if (badAmounts++ == 0)
                firstBadLine = error.line();
        };

        DiscardingSink discard;
        const JournalSummary summary =
            writeJournal(source, kLinesPerPage, declaration_.captionText, layout, discard, options);
        totals = JournalTotals();
        totals.totals = summary.totals;
        totals.records = summary.records;
        if (badAmounts != 0)
            totals.incomplete = file.name + ": " + std::to_string(badAmounts) + " сум" +
                                (badAmounts == 1 ? "а не е число" : "и не са числа") + ", първата на ред " +
                                std::to_string(firstBadLine);

        if (summary.endLine != 0) {
            // The documents stop at the short line, as they always have; what follows is lost to them.
            std::string shortLine = summary.endLineText;
            const std::size_t following = summary.linesAfterEnd;
            if (summary.filledLinesAfterEnd != 0) {
                if (codePage == CodePage::Mik)
                    mikToWin1251InPlace(shortLine);
                check::Finding finding;
                finding.file = file.name;
                finding.line = summary.endLine;
                finding.fieldName = "ред";
                finding.rule = check::RuleId::ShortLine;
                finding.severity = check::ruleInfo(finding.rule).severity;
                finding.message = check::ruleInfo(finding.rule).message;
                finding.value = win1251ToUtf8(std::string(trimBlanks(shortLine)));
                finding.detail = "дължина " + std::to_string(shortLine.size()) + "; дневникът не показва още " +
                                 std::to_string(following) + (following == 1 ? " ред" : " реда");
                sink.finding(finding);
            }
        }
        // What the documents lose without a word (period/Gate.h): the window and export ask about it.
        if (summary.nul && summary.nul->linesAfter != 0) {
            check::Finding finding = check::ruleFinding(file.name, summary.nul->line, check::RuleId::NulByte);
            finding.fieldName = "ред";
            finding.value = "NUL";
            finding.detail = "дневникът не показва още " + std::to_string(summary.nul->linesAfter) +
                             (summary.nul->linesAfter == 1 ? " ред" : " реда");
            sink.finding(finding);
        }
        const bool cutByNul = summary.nul && summary.nul->line == summary.droppedLine;
        if (summary.droppedLine != 0 && !cutByNul && !carriesNoRecord(summary.droppedLastLine)) {
            std::string cut = summary.droppedLastLine;
            if (codePage == CodePage::Mik)
                mikToWin1251InPlace(cut);
            check::Finding finding = check::ruleFinding(file.name, summary.droppedLine, check::RuleId::CutLastRecord);
            finding.fieldName = "ред";
            finding.value = win1251ToUtf8(std::string(trimBlanks(cut)));
            finding.detail = "дължина " + std::to_string(cut.size());
            sink.finding(finding);
        }
        for (const check::Finding& finding : reportFindings)
            sink.finding(finding);
        if (agencyReport)
            agencyReport->finish([&sink](const check::Finding& finding) { sink.finding(finding); });
    };
    try {
        period_.readJournal(kind, pass, [&sink] { sink.restart(); });
    } catch (const Error&) {
        throwAsJournalLoadError(file.name);
    }
    progress(sink, file.name, 1.0, stop);
    return totals;
}

void PeriodCheck::checkReturnRecord(FindingSink& sink) const {
    const std::string& fileName = files_.declaration.name;
    if (files_.declaration.byteOrderMark)
        sink.finding(byteOrderMarkFinding(fileName));
    auto report = [&](std::size_t fieldNumber, const char* code, const char* name, check::RuleId rule,
                      std::string detail) {
        check::Finding finding = check::ruleFinding(fileName, declarationLineOfField(declaration_, fieldNumber), rule);
        finding.field = code;
        finding.fieldName = name;
        finding.value = win1251ToUtf8(std::string(trimBlanks(declaration_.fields.at(fieldNumber - 1))));
        finding.detail = std::move(detail);
        sink.finding(finding);
    };
    if (!check::isValidBulgarianVatNumber(declaration_.fields.at(0)))
        report(1, "00-01", "ИН по ЗДДС", check::RuleId::ReturnVatNumber, {});
    if (!check::parseTaxPeriod(trimBlanks(declaration_.fields.at(2))).valid()) {
        report(3, "00-03", "данъчен период", check::RuleId::ReturnPeriod, {});
        report(3, "00-03", "данъчен период", check::RuleId::PeriodRulesNotChecked,
               "date-after-period, date-long-before-period; vat-against-base на кол.17/18, чиято ставка зависи от "
               "периода");
    }
}

void PeriodCheck::checkReturnCells(const JournalTotals& sales, FindingSink& sink) const {
    auto number = [this](int cellNumber) { return ExactDecimal::parse(declaration_.cells[cellNumber]); };
    auto report = [&](int cellNumber, check::RuleId rule, std::string fieldName, std::string value,
                      std::string detail) {
        check::Finding finding;
        finding.file = files_.declaration.name;
        finding.line = declarationLineOfField(declaration_, declarationFieldOfCell(cellNumber, declaration_.layout));
        finding.field = cellCode(cellNumber);
        finding.fieldName = std::move(fieldName);
        finding.rule = rule;
        finding.severity = check::ruleInfo(rule).severity;
        finding.message = check::ruleInfo(rule).message;
        finding.value = std::move(value);
        finding.detail = std::move(detail);
        sink.finding(finding);
    };
    auto text = [this](int cellNumber) {
        return win1251ToUtf8(std::string(trimBlanks(declaration_.cells[cellNumber])));
    };

    // In the record's order: cells 13..24 come before 33 and 42, which come before 50..71.
    if (agreesOnlyInOtherOrder(declaration_, sales)) {
        const char* other = declaration_.layout == ReturnLayout::Classic ? "current" : "classic";
        report(13, check::RuleId::ReturnLayoutOrder, "кл.13, 23, 14, 24",
               text(13) + ", " + text(23) + ", " + text(14) + ", " + text(24),
               std::string("съвпадат при --return-layout ") + other);
    }
    const auto k33 = number(33);
    const auto k42 = number(42);
    if (k33 && k42 && !k42->roundedToCents().isZero() && k33->roundedToCents().isZero())
        report(42, check::RuleId::PartialCreditNoCoefficient, cellName(42), text(42), cellName(33) + " = " + text(33));
    // The arithmetic's limits it states as findings on the record: 70 + 71 <= 50.
    for (const ReturnRule& rule : returnRules()) {
        if (rule.report != ReturnRule::Report::Finding)
            continue;
        const auto limit = number(rule.cell);
        bool numbers = limit.has_value();
        std::string values;
        for (const CellTerm& term : rule.terms) {
            numbers = numbers && number(term.cell).has_value();
            values += (values.empty() ? "" : " + ") + text(term.cell);
        }
        if (!numbers)
            continue;
        const ExactDecimal sum = computedAmount(rule, [&](int cellNumber) { return *number(cellNumber); });
        if (!ruleHolds(rule, *limit, sum))
            report(rule.terms.front().cell, check::RuleId::ReturnPaidExceedsDue, termNames(rule), values,
                   cellName(rule.cell) + " = " + text(rule.cell));
    }
}

} // namespace orva
