#include "PeriodBuilder.h"
#include "check/Identifiers.h"
#include "journals/JournalTable.h"
#include "text/Mik.h"
#include "vies/Vies.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace orva;

namespace {

std::string pad(std::string text, std::size_t width) {
    text.resize(width, ' ');
    return text;
}
std::string right(const std::string& text, std::size_t width) {
    return std::string(width - text.size(), ' ') + text;
}

const std::string kVhr = "VHR10/2026    2";
const std::string kVdr =
    "VDR" + pad("7501020018", 15) + pad("IVAN", 150) + pad("SOFIA", 50) + "1000" + pad("STR 1", 150) + "R";
const std::string kVtr = "VTR" + pad("BG123456786", 15) + pad("FIRMA OOD", 150) + pad("SOFIA", 200);
const std::string kTtr = "TTR" + right("150.00", 12) + right("100.00", 12);
std::string vir(int number, const std::string& vin, const std::string& goods, const std::string& period = "") {
    return "VIR" + right(std::to_string(number), 5) + pad(vin, 15) + right(goods, 12) + right("0.00", 12) +
           right("0.00", 12) + pad(period, 7);
}

std::string join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

// The line problems as handed out, then what the file lacks.
ViesSummary read(const std::string& text) {
    MemoryLineSource source(text);
    std::vector<ViesProblem> problems;
    ViesSummary summary = readVies(source, CodePage::Windows1251, "VIES.TXT", {},
                                   [&](const ViesProblem& problem) { problems.push_back(problem); });
    problems.insert(problems.end(), summary.problems.begin(), summary.problems.end());
    summary.problems = std::move(problems);
    return summary;
}

std::vector<std::string> document(const std::string& text, int linesPerPage,
                                  CodePage codePage = CodePage::Windows1251) {
    MemoryLineSource first(text);
    const ViesSummary summary = readVies(first, codePage, "VIES.TXT");
    std::vector<std::string> lines;
    LineCollector sink(lines);
    writeViesDocument([&] { return std::make_unique<MemoryLineSource>(text); }, summary, linesPerPage, sink);
    return lines;
}

struct ReadCase {
    const char* name;
    std::vector<std::string> lines;
    std::vector<std::pair<ViesProblem::Kind, std::size_t>> problems; // kind and line
    std::size_t virLines;
    std::size_t leftOut;
};

const ReadCase kReadCases[] = {
    {"sound", {kVhr, kVdr, kVtr, kTtr, vir(1, "DE123456789", "100.00"), vir(2, "ATU12345678", "50.00")}, {}, 2, 0},
    {"records_in_any_order", {vir(1, "DE123456789", "100.00"), kTtr, kVtr, kVhr}, {}, 1, 0},
    {"unknown_code_and_lower_case",
     {kVhr, kVtr, "XYZ", "vir" + vir(1, "DE123456789", "1.00").substr(3)},
     {{ViesProblem::Kind::UnknownCode, 3}, {ViesProblem::Kind::UnknownCode, 4}},
     0,
     2},
    {"wrong_lengths",
     {kVhr, kVtr, vir(1, "DE1", "1.00") + " ", kTtr.substr(0, 26)},
     {{ViesProblem::Kind::WrongLength, 3}, {ViesProblem::Kind::WrongLength, 4}},
     0,
     2},
    {"repeated_header",
     {kVhr, kVtr, kVhr, kVtr},
     {{ViesProblem::Kind::Repeated, 3}, {ViesProblem::Kind::Repeated, 4}},
     0,
     2},
    {"missing_vhr_and_vtr",
     {vir(1, "DE123456789", "1.00")},
     {{ViesProblem::Kind::Missing, 0}, {ViesProblem::Kind::Missing, 0}},
     1,
     0},
    {"blank_lines_carry_nothing", {kVhr, "", "   ", kVtr, "\x1a"}, {}, 0, 0},
};

class ViesRead : public ::testing::TestWithParam<ReadCase> {};

// A bad line is a problem naming its line, never the end of the reading: the lines after it are read.
TEST_P(ViesRead, NamesEveryLineLeftOut) {
    const ReadCase& c = GetParam();
    const ViesSummary summary = read(join(c.lines));
    ASSERT_EQ(summary.problems.size(), c.problems.size());
    for (std::size_t k = 0; k < c.problems.size(); ++k) {
        EXPECT_EQ(summary.problems[k].kind, c.problems[k].first) << k;
        EXPECT_EQ(summary.problems[k].line, c.problems[k].second) << k;
    }
    EXPECT_EQ(summary.lines, c.virLines);
    EXPECT_EQ(summary.linesLeftOut(), c.leftOut);
}

INSTANTIATE_TEST_SUITE_P(Vies, ViesRead, ::testing::ValuesIn(kReadCases),
                         [](const ::testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

// Every bad line was kept in the summary (a million bad lines: 117 MB in export, 631 MB in check):
// they are counted and handed out, and only what the file lacks is kept.
TEST(Vies, BadLinesAreCountedNotHeld) {
    const std::size_t count = 200000;
    for (const std::string& bad : {std::string("XYZ"), vir(1, "DE1", "1.00") + " "}) {
        std::string text = kVtr + "\r\n";
        for (std::size_t k = 0; k < count; ++k)
            text += bad + "\r\n";
        MemoryLineSource source(text);
        std::size_t handedOut = 0, lastLine = 0;
        const ViesSummary summary =
            readVies(source, CodePage::Windows1251, "VIES.TXT", {}, [&](const ViesProblem& problem) {
                EXPECT_GT(problem.line, lastLine);
                lastLine = problem.line;
                ++handedOut;
            });
        EXPECT_EQ(handedOut, count);
        EXPECT_EQ(summary.linesLeftOut(), count);
        ASSERT_EQ(summary.problems.size(), 1u); // no VHR
        EXPECT_EQ(summary.problems[0].kind, ViesProblem::Kind::Missing);
        MemoryLineSource unheard(text);
        EXPECT_EQ(readVies(unheard, CodePage::Windows1251, "VIES.TXT").problems.size(), 1u);
    }
}

// Lines with a к6 period correct another period: in the totals of the document, not in the period's own.
TEST(Vies, SumsLeaveCorrectionsOutOfThePeriodsOwn) {
    const ViesSummary summary =
        read(join({kVhr, kVtr, vir(1, "DE123456789", "100.10"), vir(2, "FR12345678901", "-20.05", "09/2026"),
                   vir(3, "ATU12345678", "1,00")}));
    EXPECT_EQ(summary.goods.value(), ExactDecimal::parse("80.05"));
    EXPECT_EQ(summary.ownGoods.value(), ExactDecimal::parse("100.10"));
    EXPECT_EQ(summary.badAmounts, 1u);
}

// Every page that the table runs onto starts at a multiple of linesPerPage with the page number, the
// title and the heading; the records come out in file order whatever order the headers have.
TEST(Vies, PagesLikeTheJournals) {
    std::vector<std::string> lines = {vir(1, "DE123456789", "1.00")};
    for (int k = 2; k <= 40; ++k)
        lines.push_back(vir(k, "DE123456789", "1.00"));
    lines.insert(lines.begin() + 5, kVtr);
    lines.push_back(kVhr);
    const int linesPerPage = 20;
    const std::vector<std::string> doc = document(join(lines), linesPerPage);
    const std::string heading = viesLayout().lines.heading[1];
    std::size_t pages = 0, rows = 0;
    for (std::size_t k = 0; k < doc.size(); ++k) {
        if (doc[k] == journal_table::pageNumberLine(static_cast<int>(pages + 1))) {
            EXPECT_EQ(k % linesPerPage, 0u) << k;
            EXPECT_EQ(doc[k + 1].rfind(viesLayout().titlePrefix, 0), 0u);
            if (k > 0) {
                EXPECT_EQ(doc[k + 3], heading) << k; // number, title, bar, captions
            }
            ++pages;
        }
        if (doc[k].rfind("|    ", 0) == 0 && doc[k].find("DE123456789") != std::string::npos) {
            ++rows;
            EXPECT_EQ(doc[k].substr(0, 9), "|" + right(std::to_string(rows), 6) + " |") << doc[k];
        }
        EXPECT_LE(doc[k].size(), journal_table::kWidth) << k;
    }
    EXPECT_EQ(rows, 40u);
    EXPECT_GE(pages, 3u);
    // The totals, then the TTR line (no TTR here).
    EXPECT_NE(doc[doc.size() - 3].find("40.00"), std::string::npos);
    EXPECT_EQ(doc.back(), viesLayout().noFileTotals);
}

// The person's address, a new firm's start in the dialog: as the file has it, in Windows-1251, the
// blanks around it left out; none without a VTR record.
TEST(Vies, PersonAddressIsTheVtrRecords) {
    EXPECT_EQ(personAddress(read(join({kVhr, kVtr}))), "SOFIA");
    const std::string mik = "VTR" + pad("BG123456786", 15) + pad("N", 150) + pad("  \x80\x81 1", 200); // "АБ 1"
    const std::string file = join({kVhr, mik}); // the source reads it in place: it must outlive the read
    MemoryLineSource source(file);
    EXPECT_EQ(personAddress(readVies(source, CodePage::Mik, "VIES.TXT")), "\xC0\xC1 1");
    EXPECT_EQ(personAddress(read(join({kVhr, vir(1, "DE123456789", "1.00")}))), "");
}

// Names are cut to fit; an amount is never cut and lengthens its line; MIK text is shown as Windows-1251.
TEST(Vies, CutsNamesNeverAmounts) {
    const std::string longName = std::string(150, 'N');
    const std::string vtr = "VTR" + pad("BG123456786", 15) + longName + pad("\x80\x81", 200); // "АБ" in MIK
    // An amount the file's grammar allows whose total is wider than its cell.
    const std::string wide = vir(1, "DE123456789", "9e30");
    const std::vector<std::string> doc = document(join({kVhr, vtr, wide}), 60, CodePage::Mik);
    EXPECT_EQ(doc[1].size(), journal_table::kWidth);
    EXPECT_EQ(doc[2], viesLayout().personAddress + "\xC0\xC1");
    bool wideRow = false;
    for (const std::string& line : doc)
        wideRow = wideRow || (line.size() == journal_table::kWidth + 10 &&
                              line.find("|9" + std::string(30, '0') + ".00 |") != std::string::npos);
    EXPECT_TRUE(wideRow);
}

TEST(Vies, CallOffSectionOnlyWhenPresent) {
    const std::string cos = "COS    1" + pad("DE123456789", 15) + "A" + pad("", 15) + "10/2026";
    const std::vector<std::string> with = document(join({kVhr, kVtr, "CHR    1", cos}), 60);
    EXPECT_EQ(with.back(), journal_table::closingLine());
    EXPECT_NE(with[with.size() - 2].find("DE123456789"), std::string::npos);
    const std::vector<std::string> without = document(join({kVhr, kVtr}), 60);
    for (const std::string& line : without)
        EXPECT_EQ(line.find(viesLayout().callOffTitle), std::string::npos);
}

TEST(Vies, EveryTableLineIsTheJournalsWidth) {
    for (const ViesTable* table : {&viesLayout().lines, &viesLayout().callOff})
        for (const std::string& line : table->heading)
            EXPECT_EQ(line.size(), journal_table::kWidth) << line;
}

// VIES.TXT was opened by its name for each pass: a file put in its place between the passes showed one
// file's rows under the other's counts and totals.
TEST(Vies, EveryPassReadsTheFileSurveyed) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("orva-vies-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fixture::writePeriod(fixture::consistentPeriod(), folder.string());
    const std::string path = (folder / "VIES.TXT").string();
    auto replace = [&](const std::string& vin, int lines) {
        std::vector<std::string> records = {kVhr, kVtr};
        for (int k = 1; k <= lines; ++k)
            records.push_back(vir(k, vin, "1.00"));
        fixture::writeBytes(path + ".new", join(records));
        ASSERT_EQ(std::rename((path + ".new").c_str(), path.c_str()), 0);
    };
    replace("DE111111111", 2);
    const PeriodFiles files = surveyPeriod(folder.string());
    ASSERT_TRUE(files.vies);
    replace("FR22222222222", 3); // after the survey
    const ViesSummary summary = scanViesFile(*files.vies);
    EXPECT_EQ(summary.lines, 2u);
    replace("ATU33333333", 4); // after the counts
    std::vector<std::string> lines;
    LineCollector sink(lines);
    streamViesFile(*files.vies, summary, 60, sink);
    std::size_t rows = 0;
    for (const std::string& line : lines) {
        rows += line.find("DE111111111") != std::string::npos;
        EXPECT_EQ(line.find("FR22222222222"), std::string::npos) << line;
        EXPECT_EQ(line.find("ATU33333333"), std::string::npos) << line;
    }
    EXPECT_EQ(rows, 2u);
    fs::remove_all(folder);
}

TEST(Vies, PeriodAgainstTheReturns) {
    EXPECT_EQ(viesPeriodAsTaxPeriod("11/2026"), "202611");
    for (const char* bad : {"13/2026", "00/2026", "1/2026 ", "11.2026", "", "11/20a6"})
        EXPECT_EQ(viesPeriodAsTaxPeriod(bad), "") << bad;
}

TEST(Vies, CounterpartyOfAnotherMemberState) {
    EXPECT_EQ(check::classifyViesCounterparty("DE123456789    "), std::nullopt);
    EXPECT_EQ(check::classifyViesCounterparty("XI123456789"), std::nullopt);
    EXPECT_EQ(check::classifyViesCounterparty("DE1234"), check::RuleId::EuNumberShape);
    for (const char* other : {"BG123456786", "GB123456789", "123456789", ""})
        EXPECT_EQ(check::classifyViesCounterparty(other), check::RuleId::ViesCounterpartyCountry) << other;
}

} // namespace
