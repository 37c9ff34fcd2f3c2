// orva-cli print: one document through the print sequence on the default printer, whose jobs a
// test keeps to see what the print server would get.
#include "JournalOf.h"
#include "PdfTools.h"
#include "PeriodFixture.h"
#include "RecordingPrintService.h"

#include "declaration/Declaration.h"
#include "journals/Journal.h"
#include "render/PageMetrics.h"

#include <QPrinter>

#include <gtest/gtest.h>

using namespace clitest;

namespace {

class Print : public ::testing::Test {
protected:
    void SetUp() override {
        period = consistentPeriod(40, 30);
        writePeriod(period, data);
    }
    // An A4 printer without margins whose jobs are kept.
    orva::cli::Environment pdfPrinter() { return pdfPrinterInto(jobs); }
    // The PDF of the one job printed since the last call, at `pdf` for pdfinfo and pdftotext.
    void takeJob() {
        ASSERT_EQ(jobs.jobs.size(), 1u);
        EXPECT_EQ(jobs.jobs[0].name, "ОРВА");
        writeBytes(pdf.string(), jobs.jobs[0].pdf);
        jobs.jobs.clear();
    }
    TempDir temp;
    fs::path data = temp.path() / "data";
    fs::path pdf = temp.path() / "printed.pdf";
    orva::fixture::RecordingPrintService jobs;
    Period period;
};

// With --lines-per-page N the document was laid out for N lines but printed with the printer's
// own count, so pages shared sheets and page breaks fell mid-page.
TEST_F(Print, FewerLinesPerPageStillPutOnePageOnEachSheet) {
    const CliResult run =
        runCli({"print", "--document", "purchases", "--lines-per-page", "40", data.string()}, pdfPrinter());
    ASSERT_EQ(run.status, 0) << run.err;
    takeJob();
    const orva::Declaration declaration = orva::parseDeclaration(readBytes(data / "deklar.txt"));
    const std::size_t lines =
        orva::buildJournal(readBytes(data / "pokupki.txt"), 40, declaration.captionText, orva::purchasesLayout())
            .lines.size();
    EXPECT_EQ(pdfPages(pdf.string()), static_cast<int>((lines + 39) / 40));
    const std::vector<std::string> firsts = pdfFirstLines(pdf.string());
    for (std::size_t page = 0; page < firsts.size(); ++page)
        EXPECT_EQ(firsts[page], "стр.0" + std::to_string(page + 1)) << page;

    const int printerLines = orva::fallbackLinesPerPage();
    const CliResult tooMany = runCli(
        {"print", "--document", "purchases", "--lines-per-page", std::to_string(printerLines + 1), data.string()},
        pdfPrinter());
    EXPECT_EQ(tooMany.status, orva::cli::kUsage);
    EXPECT_NE(tooMany.err.find("holds " + std::to_string(printerLines) + " lines"), std::string::npos) << tooMany.err;
}

TEST_F(Print, JournalGoesOutOneSheetPerPageAsJobOrva) {
    const CliResult run = runCli({"print", "--document", "purchases", data.string()}, pdfPrinter());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
    takeJob();

    // The printer's own count governs the document's pages and the sheets alike.
    const int perPage = orva::fallbackLinesPerPage(); // a PDF printer on A4 without margins
    const orva::Declaration declaration = orva::parseDeclaration(readBytes(data / "deklar.txt"));
    const std::size_t lines =
        orva::buildJournal(readBytes(data / "pokupki.txt"), perPage, declaration.captionText, orva::purchasesLayout())
            .lines.size();
    const int sheets = static_cast<int>((lines + perPage - 1) / perPage);
    ASSERT_GE(sheets, 2);
    EXPECT_EQ(pdfPages(pdf.string()), sheets);
    EXPECT_EQ(pdfInfo(pdf.string(), "Title"), "ОРВА");
    const std::vector<std::string> firsts = pdfFirstLines(pdf.string());
    ASSERT_EQ(firsts.size(), static_cast<std::size_t>(sheets));
    EXPECT_EQ(firsts[0], "стр.01");
    EXPECT_EQ(firsts[1], "стр.02");
}

TEST_F(Print, LabelPrintsAtTenPointsOnOneSheet) {
    const CliResult run = runCli({"print", "--document", "label", data.string()}, pdfPrinter());
    ASSERT_EQ(run.status, 0) << run.err;
    takeJob();
    EXPECT_EQ(pdfPages(pdf.string()), 1);
    EXPECT_EQ(pdfFirstLines(pdf.string()).at(0), "BG123456786");
}

TEST_F(Print, NoPrinterIsStatusFour) {
    const CliResult run = runCli({"print", "--document", "sales", data.string()}, withoutPrinter());
    EXPECT_EQ(run.status, orva::cli::kNoPrinter);
    EXPECT_EQ(run.err, "orva-cli: няма принтер по подразбиране\n");
    EXPECT_TRUE(run.out.empty());
}

TEST_F(Print, RefusedJobIsStatusFour) {
    orva::cli::Environment environment;
    environment.defaultPrinter = [] {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::NativeFormat);
        printer->setPrinterName(QStringLiteral("orva-no-such-printer"));
        orva::preparePrinter(*printer);
        return printer;
    };
    const CliResult run =
        runCli({"print", "--document", "label", "--lines-per-page", "60", data.string()}, environment);
    EXPECT_EQ(run.status, orva::cli::kNoPrinter);
    EXPECT_EQ(run.err, "orva-cli: сървърът за печат не отговаря (/nonexistent/orva-tests-have-no-print-server)\n");

    // The print server refuses the job it was given.
    jobs.refusal = "печат: принтерът \"pdf\" не приема задания";
    const CliResult refused = runCli({"print", "--document", "label", data.string()}, pdfPrinter());
    EXPECT_EQ(refused.status, orva::cli::kNoPrinter);
    EXPECT_EQ(refused.err, "orva-cli: печат: принтерът \"pdf\" не приема задания\n");
}

TEST_F(Print, ReturnThatCannotBeBuiltIsStatusThree) {
    period.cellTexts[20] = "x";
    writePeriod(period, data);
    const CliResult run = runCli({"print", "--document", "return", data.string()}, pdfPrinter());
    EXPECT_EQ(run.status, orva::cli::kNoReturn);
    EXPECT_TRUE(jobs.jobs.empty());
}

// --document vies prints the VIES declaration of a period with VIES.TXT, and refuses a period without one
// as a period that cannot be read, sending nothing.
TEST_F(Print, ViesPrintsOnlyForAPeriodWithVies) {
    const CliResult none = runCli({"print", "--document", "vies", data.string()}, pdfPrinter());
    EXPECT_EQ(none.status, orva::cli::kUnreadable);
    EXPECT_NE(none.err.find("VIES.TXT: Периодът няма VIES декларация"), std::string::npos) << none.err;
    EXPECT_TRUE(jobs.jobs.empty());

    writeBytes((data / "VIES.TXT").string(), "VHR10/2026    0\r\n");
    const CliResult run = runCli({"print", "--document", "vies", data.string()}, pdfPrinter());
    ASSERT_EQ(run.status, 0) << run.err;
    takeJob();
    EXPECT_EQ(pdfPages(pdf.string()), 1);
    EXPECT_EQ(pdfFirstLines(pdf.string()).at(0), "стр.01");
}

TEST_F(Print, UnreadablePeriodIsStatusTwo) {
    fs::remove(data / "prodagbi.txt");
    const CliResult run = runCli({"print", "--document", "label", data.string()}, pdfPrinter());
    EXPECT_EQ(run.status, orva::cli::kUnreadable);
    EXPECT_TRUE(jobs.jobs.empty());
}

// Only the printed document is built, but a journal that cannot be read still refuses every
// document, purchases first as the window reads them, and nothing is sent.
TEST_F(Print, AJournalThatCannotBeReadRefusesEveryDocument) {
    Period badSales = consistentPeriod(40, 30);
    std::string sales = salesFile(badSales);
    sales.replace(167, 15, rightAligned(mik("сто"), 15)); // amount 1 of line 1
    badSales.files["prodagbi.txt"] = sales;
    const fs::path salesData = temp.path() / "bad-sales";
    writePeriod(badSales, salesData);
    const fs::path purchasesData = fs::path(ORVA_TEST_DATA).parent_path() / "regress/unreadable-purchase-amount";
    const struct {
        const fs::path& data;
        std::vector<const char*> documents;
        const char* err;
    } cases[] = {
        {salesData,
         {"label", "purchases", "return"},
         "orva-cli: prodagbi.txt, ред 1: кол.9 обща данъчна основа \"сто\" не е число\n"},
        {purchasesData,
         {"label", "sales", "return"},
         "orva-cli: pokupki.txt, ред 2: кол.11 ДДС с право на пълен кредит \"12,50\" не е число\n"},
    };
    for (const auto& c : cases)
        for (const char* document : c.documents) {
            SCOPED_TRACE(c.data.filename().string() + " " + document);
            const CliResult run = runCli({"print", "--document", document, c.data.string()}, pdfPrinter());
            EXPECT_EQ(run.status, orva::cli::kUnreadable);
            EXPECT_EQ(run.err, c.err);
            EXPECT_TRUE(jobs.jobs.empty());
        }
}

} // namespace

namespace {

// Journals of another firm were printed under the return's firm without a word: print names each
// case and sends nothing (status 5), unless --force, which prints the document as it always was.
TEST_F(Print, JournalsOfAnotherFirmAreRefusedUnlessForced) {
    std::string record = readBytes(data / "deklar.txt");
    record.replace(0, 11, "BG865197101");
    writeBytes((data / "deklar.txt").string(), record);
    for (const char* document : {"label", "purchases", "sales", "return"}) {
        SCOPED_TRACE(document);
        const CliResult refused = runCli({"print", "--document", document, data.string()}, pdfPrinter());
        EXPECT_EQ(refused.status, orva::cli::kMismatch);
        EXPECT_TRUE(jobs.jobs.empty());
        EXPECT_NE(refused.err.find("а декларацията – на BG865197101"), std::string::npos) << refused.err;
        EXPECT_NE(refused.err.find("нищо не е изпратено за печат; --force"), std::string::npos) << refused.err;

        const CliResult forced = runCli({"print", "--force", "--document", document, data.string()}, pdfPrinter());
        EXPECT_EQ(forced.status, orva::cli::kSuccess) << forced.err;
        EXPECT_EQ(jobs.jobs.size(), 1u);
        jobs.jobs.clear();
    }
}

} // namespace
