#pragma once

#include "check/Finding.h"
#include "check/PeriodCheck.h"
#include "check/ReturnRules.h"
#include "period/DataFiles.h"
#include "text/Encoding.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <sstream>
#include <string>
#include <vector>

// The report of `orva-cli check`: the counting every format shares and the text format, so that the
// command and the window write the same report from one place.
namespace orva::check {

// Text as check's text output shows it (orva::shownText).
using orva::shownText;

// Display width of UTF-8 text: one column per code point.
std::size_t textColumns(const std::string& text);

// "1 грешка", "2 грешки"; "1 предупреждение", "2 предупреждения".
std::string errorCount(std::size_t count);
std::string warningCount(std::size_t count);

// The finding's message with its variable part, as every format shows it.
std::string fullMessage(const Finding& finding);

// The rules of the return's table that do not hold.
std::size_t failedRules(const std::vector<CheckRow>& rows);

// The table: a heading, one row per rule, and a closing line with the number of failures.
void printCheckTable(const std::vector<CheckRow>& rows, std::ostream& out);

// What a caller may show while the check reads: a step's text, and taking that away before results
// are written to the same terminal. Either may be empty. Called on the thread that runs the check.
struct CheckProgress {
    std::function<void(const std::string&)> step;
    std::function<void()> clear;
};

// Counts every finding per severity, file and rule, and passes it on to the format's writer.
class Report : public FindingSink {
public:
    Report(const PeriodFiles& files, CheckProgress progress);

    void finding(const Finding& finding) final;
    void progress(const std::string& fileName, double done) final;
    void journalsRead() final;

    // The whole report of `period` (whose files() this report was made for): begin() once the journals
    // are read, the findings in the order found, end() with the return's table, which is returned.
    std::vector<CheckRow> run(PeriodCheck& period);

    std::size_t errors() const { return total_.errors; }
    std::size_t warnings() const { return total_.warnings; }

protected:
    virtual void begin() {}
    virtual void write(const Finding& finding) = 0;
    virtual void end(const std::vector<CheckRow>& rows) = 0;

    struct Counts {
        std::size_t errors = 0;
        std::size_t warnings = 0;
        void add(Severity severity) { ++(severity == Severity::Error ? errors : warnings); }
    };
    Counts& fileCounts(const std::string& name);

    const PeriodFiles& files_;
    CheckProgress progress_;
    Counts total_;
    std::array<Counts, 4> perFile_{}; // the return, purchases, sales, VIES.TXT
    std::array<Counts, ruleCount> byRule_{};
};

// A line of the text report that is about a file: a finding, or the summary of repeated records
// (line 0: about no one line of the file).
struct ReportLink {
    std::size_t reportLine = 0; // 0-based line of the report
    std::string file;           // the file's name as the finding gives it
    std::size_t line = 0;       // 1-based line of the file, 0 when the finding is not about one line
    Severity severity = Severity::Error;
};

// check's text output: a line naming what was detected, one line per finding (at most `maxLines`,
// repeats of another firm's or period's records summed up), the return's table, the counts.
class TextReport final : public Report {
public:
    TextReport(const PeriodFiles& files, std::ostream& out, std::size_t maxLines, CheckProgress progress = {});

    // Every finding line and every summary of repeats, in report order.
    const std::vector<ReportLink>& links() const { return links_; }
    // When only a few findings are shown: what is written before the header waits in memory.
    bool takesFindingsEarly() const override { return maxLines_ <= kHeldLines; }

private:
    static constexpr std::size_t kHeldLines = 10000;
    // The report until begin(), then what was held.
    std::ostream& out() { return begun_ ? out_ : held_; }
    void begin() override;
    void write(const Finding& finding) override;
    void end(const std::vector<CheckRow>& rows) override;
    void writeRepeats();
    void newLine();

    struct Repeat {
        RuleId rule;
        std::string value;
        std::size_t count;
    };
    static constexpr std::size_t kRepeatsKept = 16; // of one journal; further values are shown as they come

    std::ostream& out_;
    std::ostringstream held_; // the lines written before begin(): the header comes first
    bool begun_ = false;
    std::size_t maxLines_;
    std::size_t written_ = 0; // lines of findings, summaries included
    std::size_t shown_ = 0;   // findings shown
    std::size_t counted_ = 0; // findings summed up instead
    std::size_t lines_ = 0;   // report lines so far
    std::string file_;
    std::vector<Repeat> repeats_;
    std::vector<ReportLink> links_;
};

// The text report of one period, as `orva-cli check` writes it to its standard output.
struct CheckReport {
    std::string text; // UTF-8
    std::vector<ReportLink> links;
    std::size_t errors = 0;
    std::size_t warnings = 0;
    std::size_t failedRules = 0; // of the return's table
    // Which of the period's files are no longer what the session read (PeriodSession::changedFilesNote):
    // the report is then of the files on disk, not of the documents shown. Empty when none changed.
    std::string filesChanged;
};

// The check of the period `session` read, with its text report, for a caller that shows it (on any thread).
// `cells`, when given, are the return's cells as they would be printed and take the record's in the
// return's rules (as `orva-cli check --cell`). Throws PeriodError as PeriodCheck does, and Cancelled
// soon after `*cancel` becomes true (within a few milliseconds of checking).
CheckReport runTextReport(const PeriodSession& session, const ReturnCells* cells, std::size_t maxFindings = 200,
                          const std::atomic<bool>* cancel = nullptr, const CheckProgress& progress = {});

} // namespace orva::check
