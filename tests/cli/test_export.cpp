// orva-cli export: the four documents as the window would hold them, byte for byte, and the
// statuses when the period or the return cannot be built.
#include "JournalOf.h"
#include "PeriodFixture.h"

#include "declaration/Declaration.h"
#include "declaration/ReturnForm.h"
#include "journals/Journal.h"
#include "render/PageMetrics.h"
#include "text/Errors.h"

#include <QPageSize>
#include <QPrinter>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>

using namespace clitest;

namespace {

const std::vector<std::string> kTextFiles = {"label.txt", "purchases.txt", "return.txt", "sales.txt"};

CliResult exportPeriod(const fs::path& data, const fs::path& out, std::vector<std::string> extra = {},
                       const orva::cli::Environment& environment = withoutPrinter()) {
    std::vector<std::string> args = {"export", "--out", out.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(data.string());
    return runCli(args, environment);
}

bool contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

// Every line of a text export ends in CR LF, the last one too, and no bare CR or LF occurs.
void expectCrLfLines(const std::string& bytes) {
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at byte " << i;
        }
        if (bytes[i] == '\r') {
            ASSERT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "bare CR at byte " << i;
        }
    }
}

class Export : public ::testing::Test {
protected:
    TempDir temp;
    fs::path data = temp.path() / "data";
    fs::path out = temp.path() / "out" / "nested";
};

TEST_F(Export, WritesTheFourDocumentsAsTheCoreBuildsThem) {
    writePeriod(consistentPeriod(4, 5), data);
    const CliResult run = exportPeriod(data, out, {"--lines-per-page", "60"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
    EXPECT_EQ(listing(out), kTextFiles);

    const orva::Declaration declaration = orva::parseDeclaration(readBytes(data / "deklar.txt"));
    EXPECT_EQ(readBytes(out / "label.txt"), orva::joinLinesCrLf(declaration.label));
    const auto purchases =
        orva::buildJournal(readBytes(data / "pokupki.txt"), 60, declaration.captionText, orva::purchasesLayout());
    EXPECT_EQ(readBytes(out / "purchases.txt"), orva::joinLinesCrLf(purchases.lines));
    const auto sales =
        orva::buildJournal(readBytes(data / "prodagbi.txt"), 60, declaration.captionText, orva::salesLayout());
    EXPECT_EQ(readBytes(out / "sales.txt"), orva::joinLinesCrLf(sales.lines));

    for (const std::string& name : kTextFiles)
        expectCrLfLines(readBytes(out / name));
}

TEST_F(Export, JournalBytesAreTheFixedLayout) {
    writePeriod(consistentPeriod(4, 5), data);
    ASSERT_EQ(exportPeriod(data, out, {"--lines-per-page", "60"}).status, 0);

    // Purchases: 15 header lines, 4 blocks of 3, one totals line, the closing line.
    const std::vector<std::string> purchases = fileLines(out / "purchases.txt");
    ASSERT_EQ(purchases.size(), 15u + 4 * 3 + 2);
    EXPECT_EQ(purchases[0], std::string(110, ' ') + cp1251(" стр.01"));
    EXPECT_EQ(
        purchases[1].rfind(cp1251("ДНЕВНИК НА ПОКУПКИТЕ      ДАНЪЧЕН ПЕРИОД 10/2026     ИН ПО ЗДДС BG123456786"), 0),
        0u);
    for (std::size_t i = 2; i < purchases.size(); ++i)
        EXPECT_EQ(purchases[i].size(), 117u) << "line " << i + 1;
    EXPECT_EQ(purchases[15].substr(0, 8), "|     1 ");
    EXPECT_EQ(purchases.back(), std::string(117, '='));
    // The totals of columns 10 and 11: 4 records of 500.00 + 37.00 i and 100.00 + 7.40 i.
    EXPECT_TRUE(contains(purchases[purchases.size() - 2], rightAligned("2222.00", 15) + rightAligned("444.40", 15)))
        << purchases.end()[-2];

    // Sales: 22 header lines, 5 blocks of 4, two totals lines, the closing line; every line but
    // the title 117 wide.
    const std::vector<std::string> sales = fileLines(out / "sales.txt");
    ASSERT_EQ(sales.size(), 22u + 5 * 4 + 3);
    for (std::size_t i = 2; i < sales.size(); ++i)
        EXPECT_EQ(sales[i].size(), 117u) << "line " << i + 1;
}

TEST_F(Export, ReturnFillsPageOneToLinesPerPage) {
    writePeriod(consistentPeriod(), data);
    struct Case {
        int linesPerPage;
        std::size_t lines;
    };
    for (const Case& c : {Case{100, 180}, Case{91, 171}, Case{90, 170}, Case{60, 170}}) {
        const fs::path folder = out / std::to_string(c.linesPerPage);
        ASSERT_EQ(exportPeriod(data, folder, {"--lines-per-page", std::to_string(c.linesPerPage)}).status, 0);
        const std::vector<std::string> lines = fileLines(folder / "return.txt");
        EXPECT_EQ(lines.size(), c.lines) << c.linesPerPage;
        for (const std::string& line : lines)
            EXPECT_LE(line.size(), 112u);
    }
}

TEST_F(Export, ReturnTakesTheWindowsPresets) {
    // No options: the signatory trimmed, the last day of the month, "представлявам" ticked,
    // art. 92 not, cells 50/60 derived, the others as stored.
    Period period = consistentPeriod();
    writePeriod(period, data);
    ASSERT_EQ(exportPeriod(data, out, {"--lines-per-page", "100"}).status, 0);
    const std::string text = readBytes(out / "return.txt");
    EXPECT_TRUE(contains(text, cp1251("Долуподписаният, Иван Петров, декларирам"))) << "signatory not trimmed";
    EXPECT_TRUE(contains(text, cp1251("Дата: 31/10/2026     ")));
    EXPECT_TRUE(contains(text, cp1251("[X] представлявам лицето")));

    // The same return from the core with the presets written out by hand.
    const orva::Declaration declaration = orva::parseDeclaration(readBytes(data / "deklar.txt"));
    orva::ReturnFormInput input;
    input.periodText = "10/2026";
    input.firmName = fit(cp1251("ТЕСТОВА ФИРМА ЕООД"), 50);
    input.vatNumber = fit("BG123456786", 15);
    input.idNumber = fit("  123456786", 15);
    input.signatoryName = cp1251("Иван Петров");
    input.representMark = "X";
    input.art92Mark = " ";
    input.returnDate = "31/10/2026";
    input.linesPerPage = 100;
    input.cells = declaration.cells;
    // Sales' VAT 1065.50 less the tax credit 444.40 + 160.00 x 0.50: 541.10 payable.
    input.cells[50] = "         541.10";
    input.cells[60] = "           0.00";
    EXPECT_EQ(text, orva::joinLinesCrLf(orva::buildReturnForm(input)));
}

TEST_F(Export, OptionsReachTheReturnInWindows1251) {
    writePeriod(consistentPeriod(), data);
    const CliResult run =
        exportPeriod(data, out,
                     {"--lines-per-page", "100", "--address", "гр. София, ул. Шипка 1 Ω", "--position", "управител",
                      "--signatory", "Мария Иванова", "--date", "15/11/2026", "--no-represent", "--art92", "--cell",
                      "33=0.75", "--cell", "82=12.34"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string text = readBytes(out / "return.txt");
    // Ω has no Windows-1251 byte and becomes "?".
    EXPECT_TRUE(contains(text, cp1251("гр. София, ул. Шипка 1 ?")));
    EXPECT_FALSE(contains(text, "\xCE\xA9"));
    EXPECT_TRUE(contains(text, cp1251("Длъжност: управител")));
    EXPECT_TRUE(contains(text, cp1251("Долуподписаният, Мария Иванова, декларирам")));
    EXPECT_TRUE(contains(text, cp1251("Дата: 15/11/2026")));
    EXPECT_FALSE(contains(text, "31/10/2026"));
    EXPECT_TRUE(contains(text, cp1251("[ ] представлявам лицето")));
    EXPECT_TRUE(contains(text, "0.75"));
    EXPECT_TRUE(contains(text, "12.34"));
    // The bytes are Windows-1251: "С" of София is 0xD1.
    EXPECT_TRUE(contains(text, "\xD1\xEE\xF4\xE8\xFF"));
}

TEST_F(Export, DefaultLinesPerPageComesFromTheDefaultPrinter) {
    writePeriod(consistentPeriod(), data);

    // No printer: the A4-at-1200-dpi count.
    ASSERT_EQ(exportPeriod(data, out / "none", {}).status, 0);
    const int fallback = orva::fallbackLinesPerPage();
    EXPECT_EQ(fileLines(out / "none" / "return.txt").size(), static_cast<std::size_t>(std::max(fallback, 90) + 80));

    // A printer with a tall page: its own count.
    orva::cli::Environment legal;
    int printerLines = 0;
    legal.defaultPrinter = [&printerLines] {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setPageSize(QPageSize(QPageSize::Legal));
        orva::preparePrinter(*printer);
        printerLines = orva::linesPerPage(*printer);
        return printer;
    };
    ASSERT_EQ(exportPeriod(data, out / "legal", {}, legal).status, 0);
    ASSERT_GT(printerLines, 100);
    EXPECT_EQ(fileLines(out / "legal" / "return.txt").size(), static_cast<std::size_t>(printerLines + 80));
}

// Status 2: the window would end the program; nothing is written, not even DIR.
struct UnreadableCase {
    const char* name;
    std::function<void(Period&)> change;
    std::vector<std::string> extra;
    const char* message; // the whole stderr line, "DATA" standing for the data folder
};

// The case's name in gtest's messages and listings, not the bytes of the struct.
void PrintTo(const UnreadableCase& c, std::ostream* out) {
    *out << c.name;
}

class Unreadable : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(Unreadable, IsStatusTwoAndWritesNothing) {
    const UnreadableCase& c = GetParam();
    TempDir temp;
    Period period = consistentPeriod();
    if (c.change)
        c.change(period);
    const fs::path data = temp.path() / "data";
    writePeriod(period, data);
    const fs::path out = temp.path() / "out";
    std::vector<std::string> extra = {"--lines-per-page", "60"};
    extra.insert(extra.end(), c.extra.begin(), c.extra.end());
    const CliResult run = exportPeriod(data, out, extra);
    EXPECT_EQ(run.status, orva::cli::kUnreadable);
    std::string expected = c.message;
    if (const std::size_t at = expected.find("DATA"); at != std::string::npos)
        expected.replace(at, 4, data.string());
    EXPECT_EQ(run.err, expected + "\n");
    EXPECT_FALSE(fs::exists(out));
}

const UnreadableCase kUnreadableCases[] = {
    {"missing_declaration",
     [](Period& p) { p.missing = {"deklar.txt"}; },
     {},
     "orva-cli: deklar.txt: не може да се отвори DATA/deklar.txt: няма такъв файл или папка"},
    {"missing_sales",
     [](Period& p) { p.missing = {"prodagbi.txt"}; },
     {},
     "orva-cli: prodagbi.txt: не може да се отвори DATA/prodagbi.txt: няма такъв файл или папка"},
    {"empty_declaration",
     [](Period& p) { p.files["deklar.txt"] = ""; },
     {},
     "orva-cli: deklar.txt, ред 1: записът на декларацията е празен: няма ИН по ЗДДС, от който да се вземе "
     "идентификационният номер"},
    // A purchase amount with a decimal comma: tests/regress/unreadable-purchase-amount.
    {"sales_amount_in_cyrillic",
     [](Period& p) {
         std::string file = salesFile(p);
         file.replace(167, 15, rightAligned(mik("сто"), 15)); // amount 1 of line 1
         p.files["prodagbi.txt"] = file;
     },
     {},
     "orva-cli: prodagbi.txt, ред 1: кол.9 обща данъчна основа \"сто\" не е число"},
    {"purchases_without_lines",
     [](Period& p) { p.files["pokupki.txt"] = std::string(1, '\0'); },
     {},
     "orva-cli: pokupki.txt: файлът не съдържа редове"},
    {"lines_per_page_below_a_sales_block",
     nullptr,
     {"--lines-per-page", "3"},
     "orva-cli: prodagbi.txt: редовете на страница (3) не побират запис от 4 реда"},
};

INSTANTIATE_TEST_SUITE_P(Cli, Unreadable, ::testing::ValuesIn(kUnreadableCases),
                         [](const ::testing::TestParamInfo<UnreadableCase>& info) { return info.param.name; });

// Status 3: label and journals written, the return not.
struct NoReturnCase {
    const char* name;
    std::function<void(Period&)> change;
    const char* message;
};

// The case's name in gtest's messages and listings, not the bytes of the struct.
void PrintTo(const NoReturnCase& c, std::ostream* out) {
    *out << c.name;
}

class NoReturn : public ::testing::TestWithParam<NoReturnCase> {};

// An export that could not build the return once left the previous run's return.txt beside the new
// label page and journals, so that a script printing the folder printed another period's return.
TEST_P(NoReturn, WritesLabelAndJournalsOnly) {
    const NoReturnCase& c = GetParam();
    TempDir temp;
    Period period = consistentPeriod();
    const fs::path data = temp.path() / "data";
    const fs::path out = temp.path() / "out";
    writePeriod(period, data);
    ASSERT_EQ(exportPeriod(data, out, {"--lines-per-page", "60"}).status, 0);
    std::ofstream(out / "return.pdf") << "an earlier PDF export";
    c.change(period);
    writePeriod(period, data);
    // A return of another month than its journals: --force past the gate, to reach the return.
    const CliResult run = exportPeriod(data, out, {"--force", "--lines-per-page", "60"});
    EXPECT_EQ(run.status, orva::cli::kNoReturn);
    EXPECT_EQ(run.err.substr(run.err.find(c.message)), std::string(c.message) + "\n");
    EXPECT_EQ(listing(out), (std::vector<std::string>{"label.txt", "purchases.txt", "sales.txt"}));
    EXPECT_EQ(fileLines(out / "label.txt").size(), 18u);
}

const NoReturnCase kNoReturnCases[] = {
    {"cell_20_not_a_number", [](Period& p) { p.cellTexts[20] = "12,00"; },
     "orva-cli: deklar.txt, ред 1: клетка 20 \"12,00          \" не е число"},
    {"cell_40_blank", [](Period& p) { p.cellTexts[40] = ""; },
     "orva-cli: deklar.txt, ред 1: клетка 40 \"               \" не е число"},
    {"month_13", [](Period& p) { p.period = "202613"; },
     "orva-cli: deklar.txt, ред 1: няма дата по подразбиране: период \"13/2026\": месецът трябва да е от 1 до "
     "12, а годината от 1 до 9999"},
};

INSTANTIATE_TEST_SUITE_P(Cli, NoReturn, ::testing::ValuesIn(kNoReturnCases),
                         [](const ::testing::TestParamInfo<NoReturnCase>& info) { return info.param.name; });

// VIES.TXT adds vies.txt; a later export of a period without it removes vies.txt and vies.pdf, so
// that no other period's VIES declaration stays beside the documents. A VIES file with a bad line
// changes nothing of the exit status.
TEST(Cli, ExportWritesViesOnlyForAPeriodWithOne) {
    TempDir temp;
    const Period period = consistentPeriod();
    const fs::path data = temp.path() / "data";
    const fs::path out = temp.path() / "out";
    writePeriod(period, data);
    std::ofstream(data / "Vies.txt", std::ios::binary) << "VHR10/2026    0\r\nBAD\r\n";
    const CliResult run = exportPeriod(data, out, {"--lines-per-page", "60"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(listing(out),
              (std::vector<std::string>{"label.txt", "purchases.txt", "return.txt", "sales.txt", "vies.txt"}));
    EXPECT_TRUE(contains(run.err, "Vies.txt: 1 ред не е в документа vies"));
    std::ofstream(out / "vies.pdf") << "an earlier PDF export";
    fs::remove(data / "Vies.txt");
    ASSERT_EQ(exportPeriod(data, out, {"--lines-per-page", "60"}).status, 0);
    EXPECT_EQ(listing(out), kTextFiles);
}

// A failure while the files are being written, of whatever kind, leaves neither the files nor the
// folder this run made; an orva::Error is a write failure (1), anything else a failure to read (2).
struct MidwayCase {
    const char* name;
    std::function<void()> fail;
    int status;
    const char* message;
};

void PrintTo(const MidwayCase& c, std::ostream* out) {
    *out << c.name;
}

class FailureMidway : public ::testing::TestWithParam<MidwayCase> {};

TEST_P(FailureMidway, UndoesTheOutputFolder) {
    const MidwayCase& c = GetParam();
    TempDir temp;
    writePeriod(consistentPeriod(), temp.path() / "data");
    const fs::path out = temp.path() / "out" / "nested";
    orva::cli::Environment environment = withoutPrinter();
    environment.exportFileBegun = [&](const std::string& path) {
        if (fs::path(path).filename() == "sales.txt")
            c.fail();
    };
    const CliResult run = exportPeriod(temp.path() / "data", out, {"--lines-per-page", "60"}, environment);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err, std::string("orva-cli: ") + c.message + "\n");
    EXPECT_FALSE(fs::exists(out));
}

const MidwayCase kMidwayCases[] = {
    {"file_error", [] { throw orva::Error("диск"); }, orva::cli::kUsage, "диск"},
    {"out_of_memory", [] { throw std::bad_alloc(); }, orva::cli::kUnreadable, "std::bad_alloc"},
    {"filesystem", [] { throw fs::filesystem_error("disk", std::make_error_code(std::errc::io_error)); },
     orva::cli::kUnreadable, "filesystem error: disk: Input/output error"},
};

INSTANTIATE_TEST_SUITE_P(Cli, FailureMidway, ::testing::ValuesIn(kMidwayCases),
                         [](const ::testing::TestParamInfo<MidwayCase>& info) { return info.param.name; });

TEST_F(Export, GivenDateNeedsNoDefaultDate) {
    // The default date is computed only when --date is missing.
    Period period = consistentPeriod();
    period.period = "202600";
    writePeriod(period, data);
    const CliResult run = exportPeriod(data, out, {"--force", "--lines-per-page", "60", "--date", "01/01/2027"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(readBytes(out / "return.txt"), "01/01/2027"));
}

TEST_F(Export, RecordBrokenOverTwoLinesNamesTheLineOfTheCell) {
    // A CR LF inside field 2 pushes the cells onto line 2 of deklar.txt.
    // Every later field then starts two characters later, so cell 20 no longer holds a number.
    Period period = consistentPeriod();
    std::string record = declarationRecord(period);
    record.insert(20, "\r\n");
    period.files["deklar.txt"] = record + "\r\n";
    writePeriod(period, data);
    // The shifted period no longer matches the journals': --force past the gate, to reach the cell.
    const CliResult run = exportPeriod(data, out, {"--force", "--lines-per-page", "60"});
    EXPECT_EQ(run.status, orva::cli::kNoReturn);
    const std::string cellError = "orva-cli: deklar.txt, ред 2: клетка 20 \"00        1065.\" не е число\n";
    EXPECT_EQ(run.err.substr(run.err.find("orva-cli: deklar.txt")), cellError);
}

// A one-line record cut short was reported on line 2: the break appended after the last line was
// counted as a line of its own.
TEST_F(Export, RecordCutShortNamesItsOnlyLine) {
    Period period = consistentPeriod();
    period.files["deklar.txt"] = declarationRecord(period).substr(0, 400) + "\r\n";
    writePeriod(period, data);
    const CliResult run = exportPeriod(data, out, {"--lines-per-page", "60"});
    EXPECT_EQ(run.status, orva::cli::kNoReturn);
    EXPECT_EQ(run.err, "orva-cli: deklar.txt, ред 1: клетка 40 \"\" не е число\n");
}

TEST_F(Export, ReplacesEarlierExportWithoutLeftovers) {
    writePeriod(consistentPeriod(), data);
    ASSERT_EQ(exportPeriod(data, out, {"--lines-per-page", "100"}).status, 0);
    ASSERT_EQ(exportPeriod(data, out, {"--lines-per-page", "60"}).status, 0);
    EXPECT_EQ(listing(out), kTextFiles);
    EXPECT_EQ(fileLines(out / "return.txt").size(), 170u);
}

TEST_F(Export, UnwritableOutputIsReported) {
    writePeriod(consistentPeriod(), data);
    writeBytes(temp.path() / "file", "x");
    const CliResult run = exportPeriod(data, temp.path() / "file" / "out", {"--lines-per-page", "60"});
    EXPECT_EQ(run.status, orva::cli::kUsage);
    EXPECT_TRUE(contains(run.err, "не може да се създаде папката ")) << run.err;
}

} // namespace

namespace {

TEST(SampleExport, SameBytesAsTheCoreBuildsForTheWindow) {
    const fs::path sample = fs::path(ORVA_SAMPLES) / "2026-10";
    if (!fs::exists(sample / "deklar.txt"))
        GTEST_SKIP() << "no sample period at " << sample;
    TempDir temp;
    const fs::path out = temp.path() / "out";
    const CliResult run = runCli({"export", "--out", out.string(), "--lines-per-page", "92", sample.string()});
    ASSERT_EQ(run.status, 0) << run.err;

    const orva::Declaration declaration = orva::parseDeclaration(readBytes(sample / "deklar.txt"));
    EXPECT_EQ(readBytes(out / "label.txt"), orva::joinLinesCrLf(declaration.label));
    EXPECT_EQ(readBytes(out / "purchases.txt"),
              orva::joinLinesCrLf(orva::buildJournal(readBytes(sample / "pokupki.txt"), 92, declaration.captionText,
                                                     orva::purchasesLayout())
                                      .lines));
    EXPECT_EQ(readBytes(out / "sales.txt"),
              orva::joinLinesCrLf(orva::buildJournal(readBytes(sample / "prodagbi.txt"), 92, declaration.captionText,
                                                     orva::salesLayout())
                                      .lines));
    const std::vector<std::string> lines = fileLines(out / "return.txt");
    EXPECT_EQ(lines.size(), 172u);
    EXPECT_EQ(lines.at(91), ""); // page 1 is filled to line 92 with blank lines
}

} // namespace

namespace {

// A symbolic link planted in DIR by someone else (DIR may be a shared folder such as /tmp/2026-10)
// once made export write the documents into the link's target; an earlier return.txt is removed as
// a link, not through it.
TEST(PlantedLink, IsReplacedAndItsTargetKept) {
    const struct {
        const char* format;
        const char* link;
        bool returnFails;
    } cases[] = {{"text", "return.txt", false}, {"pdf", "purchases.pdf", false}, {"text", "return.txt", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.link) + (c.returnFails ? " without a return" : ""));
        TempDir temp;
        Period period = consistentPeriod();
        if (c.returnFails)
            period.cellTexts[20] = "12,00";
        const fs::path data = temp.path() / "data";
        const fs::path out = temp.path() / "out";
        writePeriod(period, data);
        fs::create_directories(out);
        std::ofstream(temp.path() / "outside") << "not the program's";
        fs::create_symlink(temp.path() / "outside", out / c.link);
        const CliResult run = exportPeriod(data, out, {"--format", c.format, "--lines-per-page", "60"});
        EXPECT_EQ(run.status, c.returnFails ? orva::cli::kNoReturn : orva::cli::kSuccess) << run.err;
        EXPECT_EQ(readBytes(temp.path() / "outside"), "not the program's");
        const fs::file_status written = fs::symlink_status(out / c.link);
        EXPECT_EQ(written.type(), c.returnFails ? fs::file_type::not_found : fs::file_type::regular);
    }
}

// DIR itself a link: followed only when its owner is this user or root, as sudo and sshd trust paths.
TEST(OutputFolderLink, OfAnotherUserIsRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a link to another user needs root";
    TempDir temp;
    const fs::path data = temp.path() / "data";
    const fs::path real = temp.path() / "real";
    const std::string out = (temp.path() / "out").string();
    writePeriod(consistentPeriod(), data);
    fs::create_directories(real);
    fs::create_symlink(real, out);
    ASSERT_EQ(::lchown(out.c_str(), 65534, 65534), 0);
    for (const std::string& spelled : {out, out + "/"}) { // "DIR/" must not look through the link
        const CliResult run = exportPeriod(data, spelled, {"--lines-per-page", "60"});
        EXPECT_EQ(run.status, orva::cli::kUsage);
        EXPECT_NE(run.err.find("папката " + spelled + " е символна връзка на друг потребител"), std::string::npos)
            << run.err;
        EXPECT_TRUE(fs::is_empty(real));
    }
    ASSERT_EQ(::lchown(out.c_str(), 0, 0), 0);
    EXPECT_EQ(exportPeriod(data, out, {"--lines-per-page", "60"}).status, 0);
    EXPECT_EQ(listing(real), kTextFiles);
}

} // namespace

namespace {

// Over several periods the gate's lines said "pokupki.txt: ..." without the period they were about.
TEST(SeveralPeriods, GateLinesNameThePeriodFolder) {
    TempDir temp;
    const fs::path good = temp.path() / "good";
    const fs::path foreign = temp.path() / "foreign";
    writePeriod(consistentPeriod(), good);
    Period other = consistentPeriod();
    other.vatNumber = "BG175074752"; // the journals stay the first firm's
    writePeriod(other, foreign);
    const CliResult run = runCli(
        {"export", "--lines-per-page", "60", "--out", (temp.path() / "out").string(), good.string(), foreign.string()},
        withoutPrinter());
    EXPECT_EQ(run.status, orva::cli::kMismatch);
    const std::string prefix = "orva-cli: " + foreign.string() + ": ";
    EXPECT_EQ(run.err.rfind(prefix + "pokupki.txt: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("\n" + prefix + "prodagbi.txt: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\n" + prefix + "нищо не е записано; --force"), std::string::npos) << run.err;
}

} // namespace
