// The documents of two inputs through export and print: the correction memo (--older) and the
// reconciliation with the agency's reports (--report), built by the table of documents as diff and
// reconcile build them; and diff over two trees whatever the number of jobs.
#include "PdfTools.h"
#include "PeriodFixture.h"
#include "RecordingPrintService.h"

#include "render/PageMetrics.h"

#include <QPrinter>

#include <gtest/gtest.h>

using namespace clitest;

namespace {

const std::string kRegress = ORVA_REGRESS;

// One document of two inputs: what export and print are given, and the command that writes it alone.
struct TwoInputs {
    const char* document; // --document, and the exported file's name
    const char* title;    // the PDF's
    std::string folder;
    std::vector<std::string> inputs;  // --older OLD, or --report R...
    std::vector<std::string> command; // diff or reconcile, before --output FILE
    std::vector<std::string> operands;
    const char* shown; // a line the document holds (UTF-8)
};

std::vector<TwoInputs> documents() {
    const std::string changed = kRegress + "/diff-records-added-removed-changed";
    const std::string reported = kRegress + "/reconcile-report";
    return {
        {"memo",
         "РАЗЛИКИ",
         changed + "/new",
         {"--older", changed + "/old"},
         {"diff"},
         {changed + "/old", changed + "/new"},
         "премахнат ред 3"},
        {"reconciliation",
         "СРАВНЕНИЕ С НАП",
         reported,
         {"--report", reported + "/nap-202610.csv", "--report", reported + "/nap-202609.csv"},
         {"reconcile"},
         {reported, reported + "/nap-202610.csv", reported + "/nap-202609.csv"},
         "липсва"},
    };
}

std::vector<std::string> joined(std::vector<std::string> first, const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

class TwoInputDocuments : public ::testing::Test {
protected:
    orva::cli::Environment pdfPrinter() { return pdfPrinterInto(jobs); }
    TempDir temp;
    orva::fixture::RecordingPrintService jobs;
};

// Export writes the document beside the period's, byte for byte what diff and reconcile write.
TEST_F(TwoInputDocuments, ExportWritesWhatTheCommandWrites) {
    for (const TwoInputs& c : documents()) {
        SCOPED_TRACE(c.document);
        const fs::path out = temp.path() / (std::string(c.document) + "-out");
        const fs::path alone = temp.path() / (std::string(c.document) + "-alone.txt");
        const CliResult exported =
            runCli(joined(joined({"export", "--lines-per-page", "60", "--out", out.string()}, c.inputs), {c.folder}));
        ASSERT_EQ(exported.status, 0) << exported.err;
        const std::vector<std::string> names = listing(out);
        EXPECT_NE(std::find(names.begin(), names.end(), std::string(c.document) + ".txt"), names.end());
        EXPECT_NE(exported.out.find((out / (std::string(c.document) + ".txt")).string()), std::string::npos);
        runCli(joined(joined(c.command, {"--lines-per-page", "60", "--output", alone.string()}), c.operands));
        const std::string bytes = readBytes(out / (std::string(c.document) + ".txt"));
        EXPECT_EQ(bytes, readBytes(alone));
        EXPECT_NE(bytes.find(cp1251(c.shown)), std::string::npos);
    }
}

// As PDF: a page of the document a page of the file, under its title.
TEST_F(TwoInputDocuments, ExportWritesThePdfPages) {
    for (const TwoInputs& c : documents()) {
        SCOPED_TRACE(c.document);
        const fs::path text = temp.path() / (std::string(c.document) + "-text");
        const fs::path pdf = temp.path() / (std::string(c.document) + "-pdf");
        for (const auto& [folder, format] : {std::pair{text, "text"}, std::pair{pdf, "pdf"}}) {
            const CliResult run = runCli(joined(
                joined({"export", "--lines-per-page", "12", "--format", format, "--out", folder.string()}, c.inputs),
                {c.folder}));
            ASSERT_EQ(run.status, 0) << run.err;
        }
        const std::size_t lines = fileLines(text / (std::string(c.document) + ".txt")).size();
        const std::string path = (pdf / (std::string(c.document) + ".pdf")).string();
        ASSERT_GT(lines, 12u); // more than one page
        EXPECT_EQ(pdfPages(path), static_cast<int>((lines + 11) / 12));
        EXPECT_EQ(pdfInfo(path, "Title"), c.title);
        const std::vector<std::string> firsts = pdfFirstLines(path);
        for (std::size_t page = 0; page < firsts.size(); ++page)
            EXPECT_EQ(firsts[page], "стр.0" + std::to_string(page + 1)) << page;
        EXPECT_NE(capture("pdftotext '" + path + "' -").find(c.shown), std::string::npos);
    }
}

// Another firm's submission, a report of another buyer: nothing written unless --force.
TEST_F(TwoInputDocuments, OtherFirmsAreRefusedUnlessForced) {
    const std::string firms = kRegress + "/diff-two-firms-refused";
    const std::string buyer = kRegress + "/reconcile-another-buyer";
    const struct {
        const char* document;
        std::vector<std::string> inputs;
        std::string folder;
    } cases[] = {{"memo", {"--older", firms + "/old"}, firms + "/new"},
                 {"reconciliation", {"--report", buyer + "/nap.csv"}, buyer}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.document);
        const fs::path out = temp.path() / c.document;
        const CliResult refused =
            runCli(joined(joined({"export", "--lines-per-page", "60", "--out", out.string()}, c.inputs), {c.folder}));
        EXPECT_EQ(refused.status, orva::cli::kMismatch);
        EXPECT_NE(refused.err.find("нищо не е записано"), std::string::npos) << refused.err;
        EXPECT_TRUE(listing(out).empty());
        const CliResult printRefused =
            runCli(joined(joined({"print", "--document", c.document}, c.inputs), {c.folder}), pdfPrinter());
        EXPECT_EQ(printRefused.status, orva::cli::kMismatch);
        EXPECT_TRUE(jobs.jobs.empty());

        const CliResult forced = runCli(joined(
            joined({"export", "--force", "--lines-per-page", "60", "--out", out.string()}, c.inputs), {c.folder}));
        EXPECT_EQ(forced.status, 0) << forced.err;
        EXPECT_TRUE(fs::exists(out / (std::string(c.document) + ".txt")));
    }
}

// print --document memo|reconciliation: one job of the document's pages on the printer's page.
TEST_F(TwoInputDocuments, PrintSendsTheDocument) {
    for (const TwoInputs& c : documents()) {
        SCOPED_TRACE(c.document);
        const CliResult run =
            runCli(joined(joined({"print", "--document", c.document}, c.inputs), {c.folder}), pdfPrinter());
        ASSERT_EQ(run.status, 0) << run.err;
        ASSERT_EQ(jobs.jobs.size(), 1u);
        const fs::path pdf = temp.path() / "printed.pdf";
        writeBytes(pdf.string(), jobs.jobs[0].pdf);
        jobs.jobs.clear();
        EXPECT_EQ(pdfFirstLines(pdf.string()).front(), "стр.01");
        EXPECT_NE(capture("pdftotext '" + pdf.string() + "' -").find(c.shown), std::string::npos);

        // Without its other input there is nothing to print.
        const CliResult bare = runCli({"print", "--document", c.document, c.folder}, pdfPrinter());
        EXPECT_EQ(bare.status, orva::cli::kUsage) << bare.err;
        EXPECT_TRUE(jobs.jobs.empty());
    }
}

TEST_F(TwoInputDocuments, WhatCannotBeReadOrGoTogetherIsRefused) {
    const std::string reported = kRegress + "/reconcile-report";
    const fs::path out = temp.path() / "out";
    struct Case {
        std::vector<std::string> args;
        int status;
    };
    const Case cases[] = {
        // one period only
        {{"export", "--recursive", "--older", reported, "--out", out.string(), reported}, orva::cli::kUsage},
        {{"export", "--report", reported + "/nap-202610.csv", "--out", out.string(), reported, reported},
         orva::cli::kUsage},
        // a report that is not there, or is no report
        {{"export", "--report", reported + "/none.csv", "--out", out.string(), reported}, orva::cli::kUnreadable},
        {{"export", "--report", reported + "/deklar.txt", "--out", out.string(), reported}, orva::cli::kUnreadable},
        // an older submission that cannot be read
        {{"export", "--older", (temp.path() / "none").string(), "--out", out.string(), reported},
         orva::cli::kUnreadable},
    };
    for (const Case& c : cases) {
        const CliResult run = runCli(c.args);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_TRUE(listing(out).empty());
    }
}

// diff over two trees: the same bytes whatever the number of pairs compared at once.
TEST(DiffTrees, JobsDoNotChangeTheOutput) {
    const std::string trees = kRegress + "/diff-office-trees";
    const CliResult one = runCli({"diff", "--recursive", "--jobs", "1", trees + "/old", trees + "/new"});
    ASSERT_EQ(one.status, orva::cli::kMismatch) << one.err;
    EXPECT_EQ(std::count(one.out.begin(), one.out.end(), '\n'), 5);
    for (const char* jobs : {"2", "4"}) {
        const CliResult many = runCli({"diff", "--recursive", "--jobs", jobs, trees + "/old", trees + "/new"});
        EXPECT_EQ(many.status, one.status);
        EXPECT_EQ(many.out, one.out) << jobs;
    }
}

// More documents than are handed at once to the thread that writes the rows: every document is one row, in
// the comparison's order (the journal's records, then the report's lines no record took).
TEST(ReconcileRows, EveryDocumentOnceInItsPlace) {
    TempDir temp;
    const std::string folder = (temp.path() / "period").string();
    const std::string report = (temp.path() / "report.csv").string();
    Period period = consistentPeriod(5000, 1);
    for (PurchaseRow& row : period.purchases)
        row.amounts[0] = 0; // with credit: the report's base and VAT are compared
    writePeriod(period, folder);

    // Record i is in the report unless i % 3 == 0, with another VAT when i % 7 == 0; then 1,500 lines of no record.
    std::string lines = "Справка за декларираните продажби към ТЕСТОВА ФИРМА, 123456786 от регистрираните по "
                        "ЗДДС лица за данъчен период 202610;\r\n"
                        "Идентификационен номер на контрагента;Име на контрагента;Данъчен период;Вид на документа;"
                        "Номер на документа;Дата на документа;Вид на стоката;Общ размер на данъчните основи;"
                        "Всичко начислен ДДС;ДО 20 %;ДДС 20 %;ДО 9 %;ДДС 9 %;ДО 0 %;ДО освободени;"
                        "Доставка по чл. 163а;\r\n";
    std::vector<std::string> expected; // class, journal record, report line
    int reportLine = 2;
    auto addLine = [&](const std::string& number, Cents base, Cents vat) {
        lines += "BG175074752;ДОСТАВЧИК;202610;1;" + number + ";05-10-2026;стоки;" + money(base) + ";" + money(vat) +
                 ";" + money(base) + ";" + money(vat) + ";0.00;0.00;0.00;0.00;0.00\r\n";
        return std::to_string(++reportLine);
    };
    for (std::size_t i = 0; i < period.purchases.size(); ++i) {
        const PurchaseRow& row = period.purchases[i];
        const std::string record = std::to_string(i + 1);
        if (i % 3 == 0)
            expected.push_back("not-declared;" + record + ";");
        else
            expected.push_back((i % 7 == 0 ? "different;" : "agrees;") + record + ";" +
                               addLine(row.identity.documentNumber, row.amounts[1] + row.amounts[3],
                                       row.amounts[2] + row.amounts[4] + (i % 7 == 0 ? 1 : 0)));
    }
    for (int i = 0; i < 1500; ++i)
        expected.push_back("missing;;" + addLine("9" + std::to_string(i), 100, 20));
    writeBytes(report, cp1251(lines));

    const CliResult csv = runCli({"reconcile", "--format", "csv", folder, report});
    ASSERT_EQ(csv.status, orva::cli::kMismatch) << csv.err;
    const std::vector<std::string> rows = orva::splitLines(csv.out);
    std::vector<std::string> written;
    for (std::size_t i = 1; i + 1 < rows.size(); ++i) { // between the header and the totals
        std::vector<std::string> cells;
        std::stringstream cellsOf(rows[i]);
        for (std::string cell; std::getline(cellsOf, cell, ';');)
            cells.push_back(cell);
        ASSERT_GE(cells.size(), 9u) << rows[i];
        written.push_back(cells[0] + ";" + cells[6] + ";" + cells[8]);
    }
    EXPECT_TRUE(written == expected) << written.size() << " rows for " << expected.size();
}
} // namespace
