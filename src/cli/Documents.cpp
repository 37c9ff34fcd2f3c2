#include "cli/Documents.h"

#include "compare/PeriodDiff.h"
#include "declaration/ReturnCells.h"
#include "period/Answers.h"
#include "period/PeriodSession.h"
#include "text/Encoding.h"

#include <ostream>

namespace orva::cli {

void refuseLinesBeyondPdfPage(int linesPerPage) {
    const int most = maxPdfLinesPerPage();
    if (linesPerPage > most)
        usageError("--lines-per-page " + std::to_string(linesPerPage) + ": a PDF page holds at most " +
                   std::to_string(most) + " lines");
}

bool passGate(const std::vector<std::string>& problems, bool force, std::ostream& err, const std::string& nothingDone) {
    for (const std::string& problem : problems)
        err << "orva-cli: " << shownText(problem) << '\n';
    if (problems.empty() || force)
        return true;
    err << "orva-cli: " << nothingDone << "; --force продължава въпреки това\n";
    return false;
}

void buildTwoInputDocuments(const PeriodSession& period, const Options& options, int linesPerPage,
                            const std::function<JournalSink*(const Document&)>& sinkOf,
                            std::vector<std::string>& problems) {
    if (options.older) {
        if (JournalSink* sink = sinkOf(kMemo)) {
            const PeriodSession older(*options.older, options.read);
            const std::string other = compare::otherPeriodReason(older, period);
            if (!other.empty())
                problems.push_back(other);
            kMemo.build({&period, nullptr, &older, nullptr}, linesPerPage, *sink);
        }
    }
    if (!options.reports.empty()) {
        if (JournalSink* sink = sinkOf(kReconciliation)) {
            try {
                const DocumentOutcome outcome =
                    kReconciliation.build({&period, nullptr, nullptr, &options.reports}, linesPerPage, *sink);
                problems.insert(problems.end(), outcome.problems.begin(), outcome.problems.end());
            } catch (const PeriodError&) {
                throw;
            } catch (const Error& failure) {
                // A report that cannot be read, or is no such report: a file that cannot be read.
                throw PeriodError(PeriodError::Stage::Load, failure.what());
            }
        }
    }
}

ReturnCells typedCellsOver(const ReturnCells& presets, const std::map<int, std::string>& typed, std::ostream* err) {
    ReturnCells cells;
    try {
        cells = applyTypedCells(presets, typed);
    } catch (const Error& error) {
        throw PeriodError(PeriodError::Stage::Return, error.what());
    }
    if (err && !typed.empty())
        for (const std::string& warning : sumWarnings(cells, presets))
            *err << "orva-cli: " << shownText(warning) << '\n';
    return cells;
}

ReturnAnswers answersFrom(const PeriodSession& period, const AnswerOptions& options, std::ostream* err) {
    ReturnAnswers answers = period.presetAnswers(options.date);
    answers.address = options.address.value_or(std::string());
    answers.position = options.position.value_or(std::string());
    if (options.signatory)
        answers.signatory = *options.signatory;
    answers.represent = options.represent;
    answers.art92 = options.art92;
    answers.cells = typedCellsOver(answers.cells, options.cells, err);
    return answers;
}

} // namespace orva::cli
