#pragma once

#include "check/CheckReport.h"
#include "cli/Options.h"
#include "period/DataFiles.h"

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <ostream>
#include <string>

namespace orva {
class AtomicFileWriter;
}

namespace orva::cli {

class XlsxBook;

struct CheckOptions {
    std::string dataFolder;
    ReadOptions read;
    CheckFormat format = CheckFormat::Text;
    bool strict = false;              // a warning fails the check too
    std::size_t maxFindings = 200;    // finding lines of the text output; never the counts, nor CSV or JSON
    std::map<int, std::string> cells; // --cell: corrected answers checked in the record's place
    std::ostream* warnings = nullptr; // where the sums of corrected cells are warned of
    XlsxBook* book = nullptr;         // Xlsx: the workbook the findings go to, as CSV's rows
    // The two journals checked at once, one thread each; not where periods are checked side by side.
    bool journalsAtOnce = true;
};

// The check of the period in `dataFolder` as the command line asks for it, the same for each
// period of a run: --cell included, its sum warnings on `warnings`.
CheckOptions checkOptions(const Options& options, const std::string& dataFolder, std::ostream* warnings);

using check::CheckProgress;

// `orva-cli check`: the findings and the return's rule table on `out`, in the chosen format, written as
// they are found. Returns 0 (no error), 5 (an error, or with `strict` a warning); throws PeriodError
// (Stage::Load) when the period cannot be read.
int runCheck(const CheckOptions& options, std::ostream& out, const CheckProgress& progress);

// One period's check as the summary of many shows it.
struct PeriodOutcome {
    std::string firm;       // UTF-8, without the blanks around it
    std::string vatNumber;  // as the return record holds it, without the blanks around it
    std::string period;     // "MM/YYYY"
    std::string generation; // of the return record: "класическо" / "текущо"
    std::string cell50, cell60;
    std::size_t purchases = 0, sales = 0; // records
    std::size_t errors = 0, warnings = 0, failedRules = 0;
    int status = 0; // as runCheck returns it
};

// runCheck's check, its report on `out` in the options' format, or on nothing when `out` is null.
PeriodOutcome checkPeriod(const CheckOptions& options, std::ostream* out, const CheckProgress& progress);

// check's --output: the file (a link at it replaced), the workbook, and putting either in place; what
// cannot be written is a Failure (kUsage).
std::unique_ptr<XlsxBook> openOutputBook(const std::string& path);
void publishOutput(const std::function<void()>& publish);

// --output FILE as a stream: written whole, a link at it replaced, and put in place by publish() only.
class OutputFile {
public:
    explicit OutputFile(const std::string& path);
    std::ostream& stream() { return stream_; }
    // Everything written, then in place of the file.
    void publish();

private:
    std::unique_ptr<AtomicFileWriter> file_;
    std::unique_ptr<std::streambuf> buffer_;
    std::ostream stream_;
};

// check over many periods (Options::manyPeriods, or --format xlsx): one summary row per period, then the
// totals; the exit status over all of them.
struct Streams;
struct Options;
int runCheckSummary(const Options& options, Streams& streams);

} // namespace orva::cli
