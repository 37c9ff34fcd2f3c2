// Which print queue: lp's order of sources, --printer / -P on print, the printers listing, and
// an unknown queue as status 4. No print server is reached: the queues are the test's own.
#include "PeriodFixture.h"
#include "RecordingPrintService.h"
#include "SilentServer.h"

#include "render/PageMetrics.h"
#include "render/PrinterChoice.h"
#include "text/Errors.h"

#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace clitest;
using orva::QueueChoice;
using orva::QueueSources;

namespace {

struct ChoiceCase {
    const char* name;
    QueueSources sources;
    const char* queue;
    const char* source;
};

const char* const kUserOptions = "Dest pdf media=a4\nDefault office/duplex sides=two-sided-long-edge\n";
const char* const kSystemOptions = "default hall\nDefault archive\n"; // any case, the last line wins

const ChoiceCase kChoices[] = {
    {"LPDEST first", {"lpdest-q", "printer-q", kUserOptions, kSystemOptions, "server-q"}, "lpdest-q", "LPDEST"},
    {"empty LPDEST counts as unset",
     {"", "printer-q", kUserOptions, kSystemOptions, "server-q"},
     "printer-q",
     "PRINTER"},
    {"PRINTER=lp is the old System V name, not a queue",
     {std::nullopt, "lp", kUserOptions, std::nullopt, "s"},
     "office",
     "~/.cups/lpoptions"},
    {"an instance chooses its queue",
     {"office/duplex", std::nullopt, std::nullopt, std::nullopt, ""},
     "office",
     "LPDEST"},
    {"user file without Default",
     {std::nullopt, std::nullopt, "Dest pdf\n", kSystemOptions, "server-q"},
     "archive",
     "/etc/cups/lpoptions"},
    {"server default last",
     {std::nullopt, std::nullopt, "", "Dest x\n", "server-q"},
     "server-q",
     "по подразбиране на сървъра за печат"},
    {"nothing names a queue", {std::nullopt, std::nullopt, std::nullopt, std::nullopt, ""}, "", ""},
};

TEST(PrinterChoice, FollowsLpsOrder) {
    for (const ChoiceCase& c : kChoices) {
        SCOPED_TRACE(c.name);
        const QueueChoice choice = orva::chooseQueue(c.sources);
        EXPECT_EQ(choice.queue, c.queue);
        EXPECT_EQ(choice.source, c.source);
    }
}

// The process's own sources: the environment, then the user's lpoptions under $HOME.
TEST(PrinterChoice, ReadsTheEnvironmentAndTheUsersLpoptions) {
    TempDir home;
    fs::create_directories(home.path() / ".cups");
    std::ofstream(home.path() / ".cups/lpoptions") << kUserOptions;
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", home.path().c_str(), 1);
    ::unsetenv("LPDEST");
    ::setenv("PRINTER", "", 1);
    const QueueChoice fromFile = orva::systemQueueChoice();
    ::setenv("PRINTER", "front-desk", 1);
    const QueueChoice fromPrinter = orva::systemQueueChoice();
    ::unsetenv("PRINTER");
    ::setenv("HOME", savedHome.c_str(), 1);
    EXPECT_EQ(fromFile.queue, "office");
    EXPECT_EQ(fromFile.source, "~/.cups/lpoptions");
    EXPECT_EQ(fromPrinter.queue, "front-desk");
    EXPECT_THROW(orva::printerForQueue(fromPrinter), orva::Error); // no such queue here
}

class Printers : public ::testing::Test {
protected:
    void SetUp() override {
        writePeriod(consistentPeriod(3, 2), data);
        // Two queues, told apart by their paper: "office" has A5, lp's choice "pdf" (named by
        // PRINTER) A4. The jobs are kept, not sent.
        environment.queueNames = [] { return std::vector<std::string>{"office", "pdf"}; };
        environment.queueChoice = [] { return QueueChoice{"pdf", "PRINTER"}; };
        environment.defaultPrinter = [] { return pdfPrinter(QPageSize::A4); };
        environment.namedPrinter = [](const std::string& queue) {
            return queue == "office" ? pdfPrinter(QPageSize::A5) : nullptr;
        };
        environment.printService = &jobs;
    }
    static std::unique_ptr<QPrinter> pdfPrinter(QPageSize::PageSizeId paper) {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setPageSize(QPageSize(paper));
        orva::preparePrinter(*printer);
        return printer;
    }
    // The paper of the one job printed, and its pages.
    void expectOneJob(const std::string& paper) {
        ASSERT_EQ(jobs.jobs.size(), 1u);
        EXPECT_EQ(jobs.jobs[0].options.at(0), (std::pair<std::string, std::string>{"media", paper}));
        EXPECT_EQ(orva::fixture::pdfPageCount(jobs.jobs[0].pdf), 1);
        jobs.jobs.clear();
    }
    TempDir temp;
    fs::path data = temp.path() / "data";
    orva::fixture::RecordingPrintService jobs;
    orva::cli::Environment environment;
};

TEST_F(Printers, NamedQueueInEverySpelling) {
    for (const std::vector<std::string>& option :
         {std::vector<std::string>{"--printer", "office"}, {"--printer=office"}, {"-P", "office"}, {"-Poffice"}}) {
        SCOPED_TRACE(option.front());
        std::vector<std::string> args{"print", "--document", "label"};
        args.insert(args.end(), option.begin(), option.end());
        args.push_back(data.string());
        const CliResult run = runCli(args, environment);
        ASSERT_EQ(run.status, 0) << run.err;
        expectOneJob("A5");
    }
    // Without the option, lp's choice.
    ASSERT_EQ(runCli({"print", "--document", "label", data.string()}, environment).status, 0);
    expectOneJob("A4");
}

TEST_F(Printers, UnknownQueueIsStatusFourAndNamed) {
    const CliResult run = runCli({"print", "--document", "label", "-P", "cellar", data.string()}, environment);
    EXPECT_EQ(run.status, orva::cli::kNoPrinter);
    EXPECT_EQ(run.err, "orva-cli: няма опашка за печат \"cellar\"\n");
    EXPECT_TRUE(jobs.jobs.empty());

    // A queue named by the environment but missing: print fails naming it, export lays out
    // without a printer.
    orva::cli::Environment missing = environment;
    missing.defaultPrinter = []() -> std::unique_ptr<QPrinter> {
        throw orva::cli::Failure(orva::cli::kNoPrinter, "няма опашка за печат \"gone\" (посочена от LPDEST)");
    };
    const CliResult print = runCli({"print", "--document", "label", data.string()}, missing);
    EXPECT_EQ(print.status, orva::cli::kNoPrinter);
    EXPECT_EQ(print.err, "orva-cli: няма опашка за печат \"gone\" (посочена от LPDEST)\n");
    const CliResult exported = runCli({"export", "--out", (temp.path() / "out").string(), data.string()}, missing);
    EXPECT_EQ(exported.status, 0) << exported.err;
}

TEST_F(Printers, ListingMarksTheQueueThatWouldBeUsed) {
    CliResult run = runCli({"printers"}, environment);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "  office\n* pdf (PRINTER)\n");
    run = runCli({"printers", "-P", "office"}, environment);
    EXPECT_EQ(run.out, "* office (--printer)\n  pdf\n");

    environment.queueChoice = [] { return QueueChoice{"gone", "~/.cups/lpoptions"}; };
    run = runCli({"printers"}, environment);
    EXPECT_EQ(run.status, orva::cli::kNoPrinter);
    EXPECT_EQ(run.out, "  office\n  pdf\n");
    EXPECT_EQ(run.err, "orva-cli: няма опашка за печат \"gone\" (посочена от ~/.cups/lpoptions)\n");
}

// The listing lost on a full disk or a closed pipe once ended with status 0.
TEST_F(Printers, ListingThatCannotBeWrittenIsStatusOne) {
    struct Full : std::streambuf {
        int_type overflow(int_type) override { return traits_type::eof(); }
        std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
    } full;
    std::ostream out(&full);
    std::ostringstream err;
    EXPECT_EQ(orva::cli::runCli({"printers"}, out, err, environment), orva::cli::kUsage);
    EXPECT_EQ(err.str(), "orva-cli: не може да се запише стандартният изход\n");
}

TEST_F(Printers, PrinterOptionOnlyWherePrintingHappens) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"export", "--out", "x", "-P", "office", data.string()},
          {"check", "--printer", "office", data.string()},
          {"print", "--document", "label", "--printer=", data.string()},
          {"printers", data.string()},
          {"printers", "--encoding", "mik"}}) {
        SCOPED_TRACE(args.at(0) + " " + args.at(args.size() - 2));
        const CliResult run = runCli(args, environment);
        EXPECT_EQ(run.status, orva::cli::kUsage) << run.err;
        EXPECT_TRUE(jobs.jobs.empty());
    }
}

// A print server that cannot be reached (no socket, a closed port) or never answers: print and
// printers fail with status 4 naming it within the deadlines, where they waited minutes and printers
// listed nothing with status 0; export lays out for A4 and says so. The system's own environment,
// Qt's lookups included.
TEST(UnansweringPrintServer, PrintAndPrintersFailExportSaysItLaysOutForA4) {
    TempDir temp;
    const fs::path data = temp.path() / "data";
    writePeriod(consistentPeriod(40, 30), data);
    const orva::fixture::SilentServer silent;
    ASSERT_TRUE(silent.listening());
    const std::string closed = orva::fixture::closedLoopbackPort();
    const std::vector<std::vector<std::string>> failing = {
        {"printers"},
        {"printers", "-P", "office"},
        {"print", "--document", "label", data.string()},
        {"print", "-P", "office", "--document", "sales", data.string()}};
    const std::string a4 = (temp.path() / "a4").string();
    ASSERT_EQ(
        runCli({"export", "--out", a4, "--lines-per-page", std::to_string(orva::fallbackLinesPerPage()), data.string()},
               withoutPrinter())
            .status,
        0);
    for (const std::string& server : {std::string("/nonexistent/orva-test-print-server"), closed, silent.address()}) {
        const std::string said = "orva-cli: сървърът за печат не отговаря (" + server + ")";
        for (const std::vector<std::string>& args : failing) {
            SCOPED_TRACE(server + ": " + args.front() + " " + args.at(args.size() / 2));
            const orva::fixture::PrintServerSetting setting(server);
            const CliResult run = runCli(args, orva::cli::Environment::system());
            EXPECT_EQ(run.status, orva::cli::kNoPrinter);
            EXPECT_EQ(run.err, said + "\n");
            EXPECT_EQ(run.out, "");
        }
        SCOPED_TRACE(server + ": export");
        const orva::fixture::PrintServerSetting setting(server);
        const fs::path out = temp.path() / "out";
        fs::remove_all(out);
        const CliResult run =
            runCli({"export", "--out", out.string(), data.string()}, orva::cli::Environment::system());
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, said + ": страниците са по A4 при 1200 dpi\n");
        for (const char* file : {"purchases.txt", "sales.txt", "return.txt"})
            EXPECT_EQ(readBytes(out / file), readBytes(fs::path(a4) / file)) << file;
    }
}

// --lines-per-page was checked against a PDF page built as a default printer, which asked a silent
// print server through Qt with no deadline (export 244 s, print 274 s): a PDF page asks no server, and
// print asks it once, within the deadlines.
TEST(UnansweringPrintServer, LinesPerPageAsksNoServerForAPdfPage) {
    TempDir temp;
    const fs::path data = temp.path() / "data";
    writePeriod(consistentPeriod(40, 30), data);
    orva::fixture::SilentServer silent;
    ASSERT_TRUE(silent.listening());
    const orva::fixture::PrintServerSetting setting(silent.address());
    const struct {
        std::vector<std::string> args;
        int status;
        int connections;
    } cases[] = {
        {{"export", "--format", "pdf", "--lines-per-page", "60", "--out", (temp.path() / "pdf").string(),
          data.string()},
         0,
         0},
        {{"export", "--format", "pdf", "--lines-per-page", "100000", "--out", (temp.path() / "x").string(),
          data.string()},
         1,
         0},
        {{"print", "--lines-per-page", "60", "--document", "label", data.string()}, orva::cli::kNoPrinter, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.at(4));
        orva::resetPrintServer();
        const CliResult run = runCli(c.args, orva::cli::Environment::system());
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(silent.connectionsTaken(), c.connections);
    }
    EXPECT_EQ(listing(temp.path() / "pdf"),
              (std::vector<std::string>{"label.pdf", "purchases.pdf", "return.pdf", "sales.pdf"}));
}

// The job itself: the queue's state is asked over our own connection, within the deadlines.
TEST(UnansweringPrintServer, JobIsRefusedNamingTheServer) {
    TempDir temp;
    const std::string pdf = (temp.path() / "job.pdf").string();
    writeBytes(pdf, "%PDF-1.4\n");
    const orva::fixture::SilentServer silent;
    for (const std::string& server : {orva::fixture::closedLoopbackPort(), silent.address()}) {
        SCOPED_TRACE(server);
        const orva::fixture::PrintServerSetting setting(server);
        try {
            orva::cupsPrintService().submitPdf("office", pdf, "ОРВА", {});
            ADD_FAILURE() << "submitted";
        } catch (const orva::PrintServerSilent& silence) {
            EXPECT_EQ(std::string(silence.what()), "сървърът за печат не отговаря (" + server + ")");
        }
    }
}

} // namespace
