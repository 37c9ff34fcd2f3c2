// The agency's report reader on any bytes, fed in chunks whose size is the first byte (1 to 256):
// every failure must be NotAReportError; the same bytes read whole give the same documents and
// problems; every document has its 16 fields, lines in file order, offsets within the file and at
// a line's start, and amounts that are numbers.
#include "FuzzChecks.h"

#include "report/AgencyReport.h"
#include "text/ExactDecimal.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Outcome {
    std::vector<orva::report::ReportLine> lines;
    std::vector<std::string> problems;
    bool refused = false;
};

Outcome read(std::string_view file, std::size_t chunk) {
    Outcome outcome;
    orva::report::ReportParser parser(
        "r.csv", [&](const orva::report::ReportLine& line) { outcome.lines.push_back(line); },
        [&](const orva::report::ReportProblem& problem) { outcome.problems.push_back(problem.text()); });
    try {
        for (std::size_t at = 0; at < file.size(); at += chunk)
            parser.feed(file.substr(at, chunk));
        parser.finish();
    } catch (const orva::report::NotAReportError&) {
        outcome.refused = true;
    }
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t chunk = std::size_t{data[0]} + 1;
    const std::string_view file(reinterpret_cast<const char*>(data) + 1, size - 1);
    const Outcome chunked = read(file, chunk);
    const Outcome whole = read(file, file.size() + 1);
    fuzz::require(chunked.refused == whole.refused);
    fuzz::require(chunked.problems == whole.problems);
    fuzz::require(chunked.lines.size() == whole.lines.size());
    std::size_t lastLine = 0;
    for (std::size_t i = 0; i < whole.lines.size(); ++i) {
        const orva::report::ReportLine& line = whole.lines[i];
        fuzz::require(line.fields == chunked.lines[i].fields && line.offset == chunked.lines[i].offset);
        fuzz::require(line.line > lastLine && line.line > 2);
        lastLine = line.line;
        fuzz::require(line.offset < file.size());
        fuzz::require(file[line.offset - 1] == '\n' || file[line.offset - 1] == '\r');
        for (std::size_t column = orva::report::kFirstAmountColumn; column < orva::report::kColumns; ++column)
            fuzz::require(orva::report::isAmountText(line.fields[column]));
    }
    return 0;
}
