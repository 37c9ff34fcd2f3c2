// orva-cli over many periods: output independent of --jobs, details files, the sheet split.
#include "DeepFolder.h"
#include "PeriodFixture.h"

#include "cli/Spreadsheet.h"
#include "journals/RecordLayout.h"

#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

using namespace clitest;

namespace {

std::string contents(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

const std::string kTree = std::string(ORVA_REGRESS) + "/office-check-tree/periods";

TEST(Office, OutputDoesNotDependOnJobs) {
    for (const char* format : {"text", "csv", "json"}) {
        const CliResult one = runCli({"check", "--format", format, "--jobs", "1", "--recursive", kTree});
        EXPECT_EQ(one.status, 2) << one.err;
        for (const char* jobs : {"2", "3", "7"}) {
            const CliResult many = runCli({"check", "--format", format, "--jobs", jobs, "--recursive", kTree});
            EXPECT_EQ(many.status, one.status);
            EXPECT_EQ(many.out, one.out) << format << " --jobs " << jobs;
        }
    }
    // The same folders given one by one, in another order: rows in the order given.
    const CliResult given = runCli({"check", kTree + "/b-warnings", kTree + "/a-clean"});
    EXPECT_EQ(given.status, 0) << given.err; // warnings alone pass, but not under --strict
    EXPECT_LT(given.out.find("b-warnings"), given.out.find("a-clean"));
    EXPECT_EQ(runCli({"check", kTree + "/a-clean", kTree + "/a-clean"}).status, 0);
    EXPECT_EQ(runCli({"check", "--strict", kTree + "/a-clean", kTree + "/b-warnings"}).status, 5);
}

TEST(Office, DetailsAreOneReportPerPeriodNamedByVatNumberAndPeriod) {
    TempDir temp;
    const fs::path details = temp.path() / "details";
    const CliResult run = runCli({"check", "--recursive", "--details", details.string(), kTree});
    EXPECT_EQ(run.status, 2) << run.err;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(details))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    // b-warnings and c-errors are the same firm and period: the later one in path order gets -2.
    // d-unreadable has the same return record but no journals: -3, its file holding the reason.
    const std::vector<std::string> want = {"BG501050897-202610.txt", "BG831650349-202403-2.txt",
                                           "BG831650349-202403-3.txt", "BG831650349-202403.txt"};
    EXPECT_EQ(names, want);
    EXPECT_NE(contents(details / "BG831650349-202403-3.txt").find("pokupki.txt"), std::string::npos);
    // The report of a period is what check of its folder alone prints.
    const CliResult alone = runCli({"check", kTree + "/c-errors"});
    EXPECT_EQ(contents(details / "BG831650349-202403-2.txt"), alone.out);
}

// --recursive left a period it could not list out without a word ("Периоди: 1", exit 0), where the
// same folder named on its own is НЕЧЕТИМ with exit 2.
TEST(Office, FoldersThatCannotBeListedAreReported) {
    TempDir temp;
    const fs::path tree = temp.path() / "tree";
    writePeriod(consistentPeriod(), (tree / "a").string());
    const orva::fixture::DeepFolder deep(tree.string(), "deklar.txt");
    const CliResult check = runCli({"check", "--recursive", "--jobs", "1", tree.string()});
    EXPECT_EQ(check.status, 2) << check.err;
    EXPECT_NE(check.out.find("НЕЧЕТИМ 1"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find(deep.top()), std::string::npos);
    const CliResult exported = runCli(
        {"export", "--recursive", "--lines-per-page", "60", "--out", (temp.path() / "out").string(), tree.string()},
        withoutPrinter());
    EXPECT_EQ(exported.status, 2) << exported.err;
    EXPECT_NE(exported.err.find("orva-cli: " + deep.top()), std::string::npos) << exported.err;
    EXPECT_EQ(listing(temp.path() / "out").size(), 1u);
}

// A client folder named in Windows-1251 on an old share made check's JSON and CSV not UTF-8 (and its
// xlsx not well-formed XML), exit 0: the name is converted, the outputs stay valid.
TEST(Office, FolderNamesInAnotherCodePageKeepTheReportsUtf8) {
    TempDir temp;
    const std::string client = "\xCA\xEB\xE8\xE5\xED\xF2"; // "Клиент" in Windows-1251
    writePeriod(consistentPeriod(), (temp.path() / client / "a").string());
    const fs::path unreadable = temp.path() / (client + "-unreadable\x98"); // a return record, no journals
    fs::create_directories(unreadable);
    writeBytes((unreadable / "deklar.txt").string(), declarationRecord(consistentPeriod()));
    for (const char* format : {"text", "json", "csv"}) {
        const CliResult run = runCli({"check", "--recursive", "--format", format, temp.path().string()});
        EXPECT_EQ(run.status, 2) << run.err;
        const std::string text = run.out.rfind("\xEF\xBB\xBF", 0) == 0 ? run.out.substr(3) : run.out; // CSV's BOM
        EXPECT_EQ(QString::fromUtf8(text.data(), static_cast<int>(text.size())).toUtf8().toStdString(), text)
            << format; // valid UTF-8 comes back unchanged
        EXPECT_NE(run.out.find("Клиент"), std::string::npos) << format;
        EXPECT_NE(run.out.find("\\x98"), std::string::npos) << format;
    }
}

TEST(Office, UsageErrors) {
    EXPECT_EQ(runCli({"check", "--format", "xlsx", kTree}).status, 1);
    EXPECT_EQ(runCli({"check", "--details", "/tmp/x", kTree + "/a-clean"}).status, 1);
    EXPECT_EQ(runCli({"check", "--jobs", "0", kTree}).status, 1);
    EXPECT_EQ(runCli({"print", "--recursive", "--document", "label", kTree}).status, 1);
    EXPECT_EQ(runCli({"print", "--document", "label", kTree, kTree}).status, 1);
}

// A journal longer than a sheet goes on on further sheets, the totals' formula spanning them all.
TEST(Office, JournalContinuesOnFurtherSheets) {
    TempDir temp;
    const std::string path = (temp.path() / "purchases.xlsx").string();
    auto writer = orva::cli::xlsxJournal(path, orva::purchasesRecordLayout(), orva::Wording::Today,
                                         orva::CodePage::Windows1251, 2);
    std::string record(274, ' ');
    record.replace(167, 15, "           1.25");
    for (int i = 0; i < 5; ++i)
        writer->record(record);
    writer->finish({orva::ExactDecimal::fromCents(625), {}, {}, {}, {}, {}, {}});
    writer->publish();
    const std::string script =
        std::string(ORVA_OPENPYXL_PYTHON) +
        " -c \"import openpyxl,sys\n"
        "b=openpyxl.load_workbook(sys.argv[1])\n"
        "assert b.sheetnames==['Покупки','Покупки 2','Покупки 3'], b.sheetnames\n"
        "assert [b[n].max_row for n in b.sheetnames]==[3,3,3], [b[n].max_row for n in b.sheetnames]\n"
        "f=b['Покупки 3']['K3'].value\n"
        "assert f==\\\"=SUM('Покупки'!K2:K3,'Покупки 2'!K2:K3,K2:K2)\\\", f\n"
        "assert openpyxl.load_workbook(sys.argv[1],data_only=True)['Покупки 3']['K3'].value==6.25\n"
        "\" " +
        path;
    EXPECT_EQ(std::system(script.c_str()), 0) << script;
}

} // namespace
