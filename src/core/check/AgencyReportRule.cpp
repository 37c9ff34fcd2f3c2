#include "check/AgencyReportRule.h"

#include "journals/RecordLayout.h"
#include "text/Encoding.h"
#include "text/Errors.h"

#include <filesystem>

namespace orva::check {

namespace {

// A report named as the check names its files: by the folder entry's name.
std::string reportName(const std::string& path) {
    return fileNameAsUtf8(std::filesystem::path(path).filename().string());
}

Finding notCompared(const std::string& journalName, const std::string& path, std::string detail) {
    Finding finding = ruleFinding(journalName, 0, RuleId::AgencyReportNotCompared);
    finding.fieldName = "справка от НАП";
    finding.value = reportName(path);
    finding.detail = std::move(detail);
    return finding;
}

} // namespace

AgencyReportRule::AgencyReportRule(std::string journalName, const std::string& period)
    : journalName_(std::move(journalName)), reconciler_(period, [this](const report::Item& item) { found(item); }) {}

std::unique_ptr<AgencyReportRule> AgencyReportRule::forFolder(const std::string& folder, const std::string& journalName,
                                                              const Declaration& declaration,
                                                              std::vector<Finding>& findings) {
    const std::string& vatNumber = declaration.fields.at(0);
    const std::string period(trimBlanks(declaration.fields.at(2)));
    const std::vector<report::FoundReport> reports = report::reportsInFolder(folder, vatNumber);
    if (reports.empty())
        return nullptr;
    auto rule = std::make_unique<AgencyReportRule>(journalName, period);
    bool ownPeriod = false; // a report of the period itself is read: only it tells what was declared
    for (const report::FoundReport& found : reports) {
        const std::string& path = found.path;
        const std::vector<std::string> refusals =
            report::reportRefusals(reportName(path), found.title, vatNumber, period);
        for (const std::string& refusal : refusals)
            findings.push_back(notCompared(journalName, path, refusal));
        if (!refusals.empty())
            continue;
        const std::size_t held = rule->reconciler_.reportLines();
        try {
            rule->reconciler_.addReport(path, [&](const report::ReportProblem& problem) {
                findings.push_back(
                    notCompared(journalName, path,
                                "ред " + std::to_string(problem.line) +
                                    (problem.field != 0 ? ", поле " + std::to_string(problem.field) : std::string()) +
                                    ": " + problem.message + "; редът не е сравнен"));
            });
            ownPeriod = ownPeriod || found.title.period == period;
        } catch (const Error& failure) {
            findings.push_back(notCompared(journalName, path, failure.what()));
            // A read that failed halfway leaves lines of a report the reconciler does not know: none is used.
            if (rule->reconciler_.reportLines() != held)
                return nullptr;
        }
    }
    // Earlier months' reports alone would call every record of this month not declared.
    return ownPeriod ? std::move(rule) : nullptr;
}

void AgencyReportRule::record(std::string_view record, std::size_t line, std::vector<Finding>& findings) {
    onFinding_ = [&findings](Finding&& finding) { findings.push_back(std::move(finding)); };
    reconciler_.purchase(record, line);
    onFinding_ = nullptr;
}

void AgencyReportRule::finish(const std::function<void(const Finding&)>& onFinding) {
    onFinding_ = [&onFinding](Finding&& finding) { onFinding(finding); };
    reconciler_.finish();
    onFinding_ = nullptr;
}

void AgencyReportRule::found(const report::Item& item) {
    RuleId rule = RuleId::AgencyReportMissing;
    switch (item.itemClass) {
    case report::ItemClass::Agrees:
    case report::ItemClass::NotExpected:
        return; // a note, no finding
    case report::ItemClass::Missing:
        rule = RuleId::AgencyReportMissing;
        break;
    case report::ItemClass::NotDeclared:
        rule = RuleId::AgencyReportNotDeclared;
        break;
    case report::ItemClass::Different:
        rule = RuleId::AgencyReportDifferent;
        break;
    }
    const RecordField& number = kPurchaseFields[DocumentNumberField];
    Finding finding = ruleFinding(journalName_, item.journalLine, rule);
    finding.field = number.label;
    finding.fieldName = number.name;
    finding.value = item.number;
    std::string detail = "доставчик " + item.supplier;
    if (item.journalLine == 0)
        detail += ", вид " + item.type + ", дата " + item.date;
    if (item.reportLine != 0)
        detail += "; " + reportName(item.reportFile) + ", ред " + std::to_string(item.reportLine);
    const std::string details = report::itemDetails(item, false);
    if (!details.empty())
        detail += "; " + details;
    finding.detail = std::move(detail);
    onFinding_(std::move(finding));
}

} // namespace orva::check
