// The text report of the check as the window gets it: the same text as `orva-cli check`, a link for
// each of its finding lines, and a check that stops when it is cancelled.
#include "PeriodBuilder.h"
#include "check/CheckReport.h"

#include "ExpectThrow.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

using namespace orva;
namespace fs = std::filesystem;

namespace {

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The regression cases that run `orva-cli check` on their folder with no option but the text format,
// read the period, and pin its finding lines or its whole output.
std::vector<fs::path> plainCheckCases() {
    std::vector<fs::path> cases;
    for (const fs::directory_entry& entry : fs::directory_iterator(ORVA_REGRESS)) {
        const std::vector<std::string> args = linesOf(readText(entry.path() / "args"));
        const bool plain = args == std::vector<std::string>{"check", "@DATA@"} ||
                           args == std::vector<std::string>{"check", "--format", "text", "@DATA@"};
        const std::string status = readText(entry.path() / "expected/status");
        const bool read = status.rfind('0', 0) == 0 || status.rfind('5', 0) == 0; // else the period is refused
        if (plain && read &&
            (fs::exists(entry.path() / "expected/findings") || fs::exists(entry.path() / "expected/stdout")))
            cases.push_back(entry.path());
    }
    std::sort(cases.begin(), cases.end());
    return cases;
}

} // namespace

TEST(CheckReport, LinksAreTheFindingLinesOfTheCommandsReport) {
    const std::vector<fs::path> cases = plainCheckCases();
    ASSERT_GE(cases.size(), 20u);
    std::size_t repeatLinks = 0;
    // Up to 10,000 shown findings the purchases' are held until the header; past that they come after the sales.
    for (const std::size_t maxFindings : {200, 1000000})
        for (const fs::path& folder : cases) {
            SCOPED_TRACE(folder.filename().string() + " --max-findings " + std::to_string(maxFindings));
            const check::CheckReport report =
                check::runTextReport(PeriodSession(folder.string()), nullptr, maxFindings);
            const std::vector<std::string> lines = linesOf(report.text);
            std::vector<std::string> linked;
            for (const check::ReportLink& link : report.links) {
                ASSERT_LT(link.reportLine, lines.size());
                const std::string& line = lines[link.reportLine];
                const std::string file = check::shownText(link.file);
                if (line.rfind(file + ':' + std::to_string(link.line) + ": ", 0) == 0) {
                    linked.push_back(line);
                } else {
                    EXPECT_EQ(line.rfind(file + ": … и още ", 0), 0u) << line;
                    EXPECT_EQ(link.line, 0u) << line;
                    ++repeatLinks;
                }
            }
            if (fs::exists(folder / "expected/findings")) {
                EXPECT_EQ(linked, linesOf(readText(folder / "expected/findings")));
            }
            if (fs::exists(folder / "expected/stdout")) {
                EXPECT_EQ(report.text, readText(folder / "expected/stdout"));
            }
        }
    EXPECT_GT(repeatLinks, 0u); // a case of another firm's records sums them up
}

// Set from the first progress report, the flag stops the check in the middle of the purchases: nothing
// more is reported, and the report ends in Cancelled. Set before, it stops the survey of the files.
TEST(CheckReport, CancelStopsTheCheckWithinAJournal) {
    std::string pattern = ::testing::TempDir() + "orva-report-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::string folder = pattern;
    fixture::Period period = fixture::consistentPeriod(1, 1);
    const std::string oneRecord = fixture::purchasesFile(period);
    std::string purchases;
    for (int n = 0; n < 60000; ++n)
        purchases += oneRecord;
    period.files["pokupki.txt"] = purchases;
    fixture::writePeriod(period, folder);

    std::atomic<bool> cancel{false};
    std::vector<std::string> steps;
    check::CheckProgress progress;
    progress.step = [&](const std::string& step) {
        steps.push_back(step);
        cancel = true;
    };
    EXPECT_TRUE(THROWN_BY(check::runTextReport(PeriodSession(folder), nullptr, 200, &cancel, progress), Cancelled));
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].rfind("checking pokupki.txt ", 0), 0u) << steps[0];
    EXPECT_NE(steps[0].substr(steps[0].size() - 4), "100%") << steps[0];
    EXPECT_TRUE(THROWN_BY(PeriodSession(folder, {}, &cancel), Cancelled));
    fs::remove_all(folder);
}
