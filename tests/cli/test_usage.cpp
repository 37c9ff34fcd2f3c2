// Command-line parsing: every usage error is status 1, says what is wrong, points to --help and
// touches nothing.
#include "PeriodFixture.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace clitest;

namespace {

struct UsageCase {
    const char* name;
    std::vector<std::string> args; // "DATA" and "OUT" are replaced by real folders
    const char* says;              // part of the error line
};

// The case's name in gtest's messages and listings, not the bytes of the struct.
void PrintTo(const UsageCase& c, std::ostream* out) {
    *out << c.name;
}

const UsageCase kUsageCases[] = {
    {"no arguments", {}, "no command given"},
    {"unknown command", {"show", "DATA"}, "unknown command \"show\""},
    {"export without --out", {"export", "DATA"}, "export needs --out DIR"},
    {"export without data folder", {"export", "--out", "OUT"}, "needs the data folder"},
    {"two data folders", {"print", "--document", "label", "DATA", "DATA"}, "more than one data folder"},
    {"unknown option", {"export", "--out", "OUT", "--colour", "DATA"}, "unknown option --colour"},
    {"option without value", {"export", "DATA", "--out"}, "--out needs a value"},
    {"bad format", {"export", "--out", "OUT", "--format", "html", "DATA"}, "--format is text, pdf, xlsx or csv"},
    {"lines per page not a number",
     {"export", "--out", "OUT", "--lines-per-page", "6x", "DATA"},
     "--lines-per-page takes a whole number"},
    {"lines per page zero",
     {"export", "--out", "OUT", "--lines-per-page", "0", "DATA"},
     "--lines-per-page takes a whole number"},
    {"lines per page negative",
     {"export", "--out", "OUT", "--lines-per-page=-5", "DATA"},
     "--lines-per-page takes a whole number"},
    {"cell 20 is the record's",
     {"export", "--out", "OUT", "--cell", "20=100.00", "DATA"},
     "--cell 20: only cells 33, 70, 71, 80, 81 and 82"},
    {"cell 50 is derived", {"export", "--out", "OUT", "--cell=50=1", "DATA"}, "--cell 50: only cells"},
    {"cell 01", {"export", "--out", "OUT", "--cell", "01=1", "DATA"}, "--cell 01: only cells"},
    {"cell without text", {"export", "--out", "OUT", "--cell", "33", "DATA"}, "--cell takes NN=TEXT"},
    {"cell not a number", {"export", "--out", "OUT", "--cell", "K33=1", "DATA"}, "--cell takes NN=TEXT"},
    // The dialog's rules for a typed value: nothing that does not fit its box reaches paper.
    {"cell 33 signed", {"check", "--cell", "33=-0.5", "DATA"}, "Кл.33: \"-0.5\" не е коефициент"},
    {"cell value wider than its box", {"export", "--out", "OUT", "--cell", "80=12345678901234.5", "DATA"}, "Кл.80"},
    {"represent both ways", {"export", "--out", "OUT", "--represent", "--no-represent", "DATA"}, "exclude each other"},
    {"art92 both ways", {"export", "--out", "OUT", "--no-art92", "--art92", "DATA"}, "exclude each other"},
    {"flag with value", {"export", "--out", "OUT", "--art92=yes", "DATA"}, "--art92 takes no value"},
    {"bad captions", {"check", "--captions", "current", "DATA"}, "--captions is auto, classic or today"},
    {"captions of printers", {"printers", "--captions", "today"}, "printers takes no --captions"},
    {"print without document", {"print", "DATA"}, "print needs --document"},
    {"print unknown document", {"print", "--document", "viez", "DATA"}, "--document is label, purchases"},
    {"print takes no --out", {"print", "--document", "label", "--out", "OUT", "DATA"}, "print takes no --out"},
    {"print takes no --format", {"print", "--document", "label", "--format", "pdf", "DATA"}, "print takes no --format"},
    {"export takes no --document",
     {"export", "--out", "OUT", "--document", "label", "DATA"},
     "export takes no --document"},
    {"check takes no answers", {"check", "--address", "x", "DATA"}, "check takes no --address"},
    {"check takes no lines per page", {"check", "--lines-per-page", "60", "DATA"}, "check takes no --lines-per-page"},
    // A line break would end a line of the return form; no PDF page is taller than 14,400 points.
    {"address with a line feed", {"export", "--out", "OUT", "--address", "a\nb", "DATA"}, "--address may not hold"},
    {"date with CR", {"print", "--document", "return", "--date=1.1\r", "DATA"}, "--date may not hold a line break"},
    // A date that is no day never reaches paper, as in the dialog.
    {"date in words", {"export", "--out", "OUT", "--date", "вчера", "DATA"}, "--date Дата: \"вчера\" не е дата"},
    {"date of no leap year", {"print", "--document", "return", "--date", "29.02.2027", "DATA"}, "\"29.02.2027\" не е"},
    {"date with blanks", {"export", "--out", "OUT", "--date", " 30/11/2026", "DATA"}, "\" 30/11/2026\" не е"},
    {"PDF export beyond a PDF page",
     {"export", "--out", "OUT", "--format", "pdf", "--lines-per-page", "100000", "DATA"},
     "--lines-per-page 100000: a PDF page holds at most"},
    {"print beyond a PDF page", {"print", "--document", "sales", "--lines-per-page", "5000", "DATA"}, "a PDF page"},
};

class Usage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(Usage, IsStatusOneWithAMessageAndWritesNothing) {
    const UsageCase& usage = GetParam();
    TempDir temp;
    const fs::path data = temp.path() / "data";
    writePeriod(consistentPeriod(), data);
    const fs::path out = temp.path() / "out";
    std::vector<std::string> args = usage.args;
    for (std::string& arg : args) {
        if (arg == "DATA")
            arg = data.string();
        else if (arg == "OUT")
            arg = out.string();
    }
    const CliResult run = runCli(args, withoutPrinter());
    EXPECT_EQ(run.status, orva::cli::kUsage);
    EXPECT_NE(run.err.find(usage.says), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("see orva-cli --help"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.rfind("orva-cli: ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_FALSE(fs::exists(out));
}

INSTANTIATE_TEST_SUITE_P(Cli, Usage, ::testing::ValuesIn(kUsageCases),
                         [](const ::testing::TestParamInfo<UsageCase>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(Help, ListsEveryCommandAndOption) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, std::vector<std::string>{"export", "--help"}}) {
        const CliResult run = runCli(args);
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(run.err.empty());
        for (const char* word : {"export", "print", "check", "--out", "--format", "--document", "--lines-per-page",
                                 "--address", "--signatory", "--position", "--date", "--represent", "--no-represent",
                                 "--art92", "--no-art92", "--cell", "--help", "--version", "DATAFOLDER"})
            EXPECT_NE(run.out.find(word), std::string::npos) << word;
    }
}

TEST(Help, VersionIsOneLine) {
    const CliResult run = runCli({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "orva-cli 1.0.0\n");
}

} // namespace
