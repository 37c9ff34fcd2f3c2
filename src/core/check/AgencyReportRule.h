#pragma once

#include "check/Finding.h"
#include "declaration/Declaration.h"
#include "report/Reconcile.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Rule 22 of the check: the purchases journal against the agency's reports that lie in the period
// folder. The check hands over the records it reads anyway, so the journal is read once.
namespace orva::check {

class AgencyReportRule {
public:
    // The rule for the reports in `folder` for the return's firm, read whole; nullptr when none of them is
    // of the return's own period (earlier months' reports only pair the records dated in those months).
    // What keeps a report from being compared (a damaged line, a file that is no such report, a later
    // period) goes to `findings`, on `journalName` as the rule's other findings.
    static std::unique_ptr<AgencyReportRule> forFolder(const std::string& folder, const std::string& journalName,
                                                       const Declaration& declaration, std::vector<Finding>& findings);

    // One purchase record (Windows-1251) at file line `line`: a finding when it is not declared or differs.
    void record(std::string_view record, std::size_t line, std::vector<Finding>& findings);
    // After the last record: the reports' documents that no record took, handed over one by one (a report of
    // a million lines may leave half of them).
    void finish(const std::function<void(const Finding&)>& onFinding);

    AgencyReportRule(std::string journalName, const std::string& period);

private:
    void found(const report::Item& item);

    std::string journalName_;
    report::Reconciler reconciler_;
    std::function<void(Finding&&)> onFinding_; // while a record or the end is handed over
};

} // namespace orva::check
