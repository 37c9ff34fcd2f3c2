// orva-cli print: one document as one job, laid out for the chosen printer's page.
#include "cli/Command.h"
#include "cli/Documents.h"
#include "cli/GuiApplication.h"
#include "cli/Progress.h"
#include "period/PeriodSession.h"
#include "render/PageMetrics.h"
#include "render/PrintServer.h"
#include "render/PrintService.h"
#include "render/Printing.h"
#include "text/Errors.h"
#include "vies/Vies.h"

#include <QPrinter>

namespace orva::cli {

namespace {

const char* const kJobName = "ОРВА";

class PrintCommand final : public Command {
public:
    std::string description() const override {
        return "  print     Print one document; the job is named \"ОРВА\". The queue is the one\n"
               "            given with --printer, else the one lp would choose: $LPDEST, then\n"
               "            $PRINTER, then the Default of ~/.cups/lpoptions, then that of\n"
               "            /etc/cups/lpoptions, then the print server's default.\n";
    }

    int run(const Options& options, Streams& streams, const Environment& environment) const override;
};

int PrintCommand::run(const Options& options, Streams& streams, const Environment& environment) const {
    Progress& progress = streams.progress;
    const Document& document = *findDocument(*options.document);
    if (&document == &kMemo && !options.older)
        usageError("--document memo needs --older FOLDER, the submission filed before DATAFOLDER");
    if (&document == &kReconciliation && options.reports.empty())
        usageError("--document reconciliation needs --report REPORT.csv");
    ensureGuiApplication();
    // The job is a PDF of the printer's page: no page holds more than a PDF page can.
    if (options.linesPerPage)
        refuseLinesBeyondPdfPage(*options.linesPerPage);
    std::unique_ptr<QPrinter> printer;
    try {
        if (options.printer) {
            progress.step("asking for the printer " + *options.printer);
            printer = environment.namedPrinter ? environment.namedPrinter(*options.printer) : nullptr;
            if (!printer)
                throw Failure(kNoPrinter, "няма опашка за печат \"" + *options.printer + "\"");
        } else {
            progress.step("asking for the default printer");
            printer = environment.defaultPrinter ? environment.defaultPrinter() : nullptr;
            if (!printer)
                throw Failure(kNoPrinter, "няма принтер по подразбиране");
        }
    } catch (const PrintServerSilent& silent) {
        throw Failure(kNoPrinter, silent.what());
    }
    // A document laid out for fewer lines than a sheet holds is printed one page a sheet; more
    // lines than a sheet holds cannot be printed as laid out.
    const int printerLines = linesPerPage(*printer);
    if (options.linesPerPage && *options.linesPerPage > printerLines)
        usageError("--lines-per-page " + std::to_string(*options.linesPerPage) + ": a page of the printer \"" +
                   printer->printerName().toStdString() + "\" holds " + std::to_string(printerLines) + " lines");
    const int pageLines = options.linesPerPage ? *options.linesPerPage : printerLines;

    progress.step("reading the period");
    const PeriodSession period(*options.dataFolder, options.read);
    if (&document == &kVies && !period.files().vies)
        throw PeriodError(PeriodError::Stage::Load, std::string(kViesFileName) + ": " + kNoViesText);

    // The period is read as the window reads it, purchases then sales, each journal streamed: the
    // printed one into the job's file as it is built, the other only read through, so that a period
    // that cannot be read is refused as before and a big one is never held whole. Nothing is
    // submitted until all of it has been read.
    // Journals that are not the period's stop the job before anything is sent (see passGate).
    struct GateClosed {};
    std::vector<std::string> problems;
    std::optional<ReturnAnswers> answers;
    const DocumentInputs inputs{&period, nullptr};
    const DocumentLines lines = [&](const std::function<void(std::string_view)>& line) {
        LineForwarder job(line);
        if (&document == &kMemo || &document == &kReconciliation) {
            // Built whole before anything is sent: the gate's cases are known only at its end.
            progress.step(std::string("building ") + document.name);
            std::vector<std::string> built;
            LineCollector collected(built);
            buildTwoInputDocuments(
                period, options, pageLines,
                [&](const Document& wanted) -> JournalSink* { return &wanted == &document ? &collected : nullptr; },
                problems);
            if (!passGate(problems, options.force, streams.err, "нищо не е изпратено за печат"))
                throw GateClosed{};
            progress.step("printing");
            for (const std::string& text : built)
                job.line(text);
            return;
        }
        DiscardingSink none;
        if (&document == &kLabel)
            kLabel.build(inputs, pageLines, job);
        for (const Document* journal : {&kPurchases, &kSales}) {
            progress.step(std::string("reading ") + journal->name);
            JournalSink& sink = journal == &document ? static_cast<JournalSink&>(job) : none;
            const DocumentOutcome outcome = journal->build(inputs, pageLines, sink);
            problems.insert(problems.end(), outcome.problems.begin(), outcome.problems.end());
        }
        if (!passGate(problems, options.force, streams.err, "нищо не е изпратено за печат"))
            throw GateClosed{};
        if (&document == &kReturn) {
            const ReturnAnswers given = answersFrom(period, options.answers, &streams.err);
            kReturn.build({&period, &given}, pageLines, job);
        }
        if (&document == &kVies) {
            progress.step("reading vies");
            kVies.build(inputs, pageLines, job);
        }
        progress.step("printing");
    };

    PrintService& service = environment.printService ? *environment.printService : cupsPrintService();
    try {
        // The label page is not paged by --lines-per-page: it is one sheet at its own size.
        printDocument(service, *printer, lines, document.pointSize, kJobName, document.paged ? pageLines : 0);
    } catch (const GateClosed&) {
        return kMismatch;
    } catch (const PeriodError&) {
        throw; // the period, not the printer
    } catch (const Error& error) {
        throw Failure(kNoPrinter, error.what());
    }
    return kSuccess;
}

} // namespace

const Command& printCommand() {
    static const PrintCommand command;
    return command;
}

} // namespace orva::cli
