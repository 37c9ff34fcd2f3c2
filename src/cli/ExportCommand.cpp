// orva-cli export: the documents as text or PDF files in a folder, put in place together.
#include "cli/Command.h"
#include "cli/Documents.h"
#include "cli/GuiApplication.h"
#include "cli/Output.h"
#include "cli/PeriodQueue.h"
#include "cli/Progress.h"
#include "cli/Spreadsheet.h"
#include "period/BothJournals.h"
#include "period/PeriodSession.h"
#include "period/PeriodTree.h"
#include "render/PageMetrics.h"
#include "render/PrintServer.h"
#include "render/Printing.h"
#include "text/Encoding.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Paths.h"
#include "vies/Vies.h"

#include <QPrinter>

#include <array>
#include <atomic>
#include <cerrno>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <sstream>
#include <unistd.h>

namespace orva::cli {

namespace {

// One exported document being written, text or PDF: its lines go in as they are built, and it is
// put under its name only by publish().
class DocumentOutput : public JournalSink {
public:
    virtual void finish() = 0;
    virtual void publish() = 0;
    virtual const std::string& path() const = 0;
};

// Runs a write as the command reports it: a file that cannot be written is a failure to write (1),
// never taken for a period that cannot be read, which is what the journal's reader makes of any
// orva::Error its sink throws.
template <typename Write> void writing(Write&& write) {
    try {
        write();
    } catch (const Error& failure) {
        throw Failure(kUsage, failure.what());
    }
}

// A build ended because the other journal's failed, which is the one reported.
struct OutputStopped {};

class TextOutput final : public DocumentOutput {
public:
    // A link planted in DIR is replaced, never written through.
    explicit TextOutput(const std::string& path) : file_(path, AtomicFileWriter::Links::Replace) {}
    void line(std::string_view text) override {
        if (stop_ != nullptr && stop_->load(std::memory_order_relaxed))
            throw OutputStopped{};
        writing([&] { file_.writeLine(text); });
    }
    bool canRestart() const override { return true; }
    void restart() override {
        writing([&] { file_.restart(); });
    }
    // Once `*stop` is set, the next line ends the build with OutputStopped.
    void stopOn(const std::atomic<bool>* stop) { stop_ = stop; }
    void finish() override {
        writing([&] { file_.finish(); });
    }
    void publish() override {
        writing([&] { file_.publish(); });
    }
    const std::string& path() const override { return file_.path(); }

private:
    AtomicFileWriter file_;
    const std::atomic<bool>* stop_ = nullptr;
};

class PdfOutput final : public DocumentOutput {
public:
    PdfOutput(const std::string& path, int pointSize, int pageLines, const std::string& title)
        : file_(exportPdfFile(path, pointSize, pageLines, title)) {}
    void line(std::string_view text) override {
        writing([&] { file_->addLine(text); });
    }
    void finish() override {
        writing([&] { file_->finish(); });
    }
    void publish() override {
        writing([&] { file_->publish(); });
    }
    const std::string& path() const override { return file_->path(); }

private:
    std::unique_ptr<PdfDocumentFile> file_;
};

// A journal as a spreadsheet (xlsx or CSV): the records go in as read, the document's lines are not
// needed; the totals come once the journal is read.
class SheetOutput final : public DocumentOutput {
public:
    explicit SheetOutput(std::unique_ptr<JournalSheetWriter> writer) : writer_(std::move(writer)) {}
    void line(std::string_view) override {}
    bool keepsLines() const override { return false; }
    void record(std::string_view raw) {
        writing([&] { writer_->record(raw); });
    }
    void setTotals(std::vector<ExactDecimal> totals) { totals_ = std::move(totals); }
    void finish() override {
        writing([&] { writer_->finish(totals_); });
    }
    void publish() override {
        writing([&] { writer_->publish(); });
    }
    const std::string& path() const override { return writer_->path(); }

private:
    std::unique_ptr<JournalSheetWriter> writer_;
    std::vector<ExactDecimal> totals_;
};

std::string documentPath(const std::string& folder, const Document& document, bool pdf) {
    return joinPath(folder, std::string(document.name) + (pdf ? ".pdf" : ".txt"));
}

// The output folder, and whether this run made it: a failed export leaves no folder it created.
struct FolderCreation {
    std::string folder;
    bool created = false;
    // Removes the folder when this run made it and nothing is in it any more.
    void undo() const {
        if (created)
            ::rmdir(folder.c_str());
    }
};

FolderCreation createOutputFolder(const std::string& folder) {
    refuseForeignLinks(folder);
    std::error_code error;
    const std::filesystem::path path = std::filesystem::u8path(folder);
    const bool existed = std::filesystem::exists(path, error);
    std::filesystem::create_directories(path, error);
    if (error)
        throw Failure(kUsage, "не може да се създаде папката " + folder + ": " + error.message());
    return {folder, !existed};
}

// unlink removes a link itself, never the file it points at.
void removeEarlier(const std::string& folder, const Document& document) {
    for (bool pdf : {false, true}) {
        const std::string path = documentPath(folder, document, pdf);
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            throwFileError(FileAction::Write, path, errno);
    }
}

// Rethrows the failure being handled as the command reports it: a period that cannot be read as
// itself, another orva::Error as a usage failure (the output could not be written), anything else
// (memory, the standard library) as it is.
[[noreturn]] void rethrowAsExportFailure() {
    try {
        throw;
    } catch (const PeriodError&) {
        throw;
    } catch (const Failure&) {
        throw;
    } catch (const Error& failure) {
        throw Failure(kUsage, failure.what());
    }
}

// What every period of one run is exported with.
struct ExportSetup {
    bool pdf = false;   // label and return as PDF; the journals too unless `sheets`
    std::string sheets; // "xlsx" or "csv": the journals as spreadsheets; empty: as documents
    int pageLines = 0;
    // The two journals' text documents built at once, the sales on a thread of their own; not where
    // periods are already exported side by side, one thread each.
    bool journalsAtOnce = true;
};

// Both journals' documents into their outputs, returned purchases first. As text, and unless `setup`
// says otherwise, the sales are built on a second thread; a failure of the purchases ends them and is
// the one reported, as when the two were built one after the other.
std::array<JournalSummary, 2> buildJournals(const DocumentInputs& inputs, const ExportSetup& setup,
                                            DocumentOutput& purchases, DocumentOutput& sales,
                                            const std::function<void(const std::string&)>& step) {
    const auto build = [&](JournalKind kind, DocumentOutput& output) {
        return journalDocument(kind).build(inputs, setup.pageLines, output).journal;
    };
    std::array<JournalSummary, 2> summaries;
    auto* salesText = dynamic_cast<TextOutput*>(&sales);
    if (setup.pdf || !setup.journalsAtOnce || salesText == nullptr) {
        step("writing purchases");
        summaries[0] = build(JournalKind::Purchases, purchases);
        step("writing sales");
        summaries[1] = build(JournalKind::Sales, sales);
        return summaries;
    }
    std::atomic<bool> stop{false};
    salesText->stopOn(&stop);
    forBothJournals(
        [&] {
            step("writing purchases");
            summaries[0] = build(JournalKind::Purchases, purchases);
            step("writing sales");
        },
        [&] { summaries[1] = build(JournalKind::Sales, sales); }, &stop);
    return summaries;
}

// One period into `folder`: the documents written, then put in place together; their paths on `out`,
// the gate's cases on `err`. Returns kSuccess or kMismatch (refused); throws PeriodError when the
// period cannot be read (Load) or its return cannot be built (Return, the other documents written),
// Failure when the output cannot be written.
// `shownFolder`, when several periods run, opens each line on `err` so that it names its period.
int exportPeriod(const std::string& dataFolder, const std::string& folder, const Options& options,
                 const ExportSetup& setup, std::ostream& out, std::ostream& err, Progress* progress,
                 const Environment& environment, const std::string& shownFolder = {}) {
    const std::string place = shownFolder.empty() ? std::string() : shownFolder + ": ";
    const bool pdf = setup.pdf;
    const int pageLines = setup.pageLines;
    auto step = [&](const std::string& what) {
        if (progress != nullptr)
            progress->step(what);
    };
    // Each document is written as it is built, into a temporary file of its own in DIR; none is
    // put in place until all are built, so a failure never leaves a mixed set.
    step("reading the period");
    const PeriodSession period(dataFolder, options.read);
    // The journals' code pages are counted by the builds that read them; the rest is final.
    const PeriodFiles& files = period.filesAsRead();
    std::optional<ReturnAnswers> answers;
    std::optional<PeriodError> returnFailure;
    try {
        answers = answersFrom(period, options.answers, &err);
    } catch (const PeriodError& failure) {
        returnFailure = failure;
    }
    const DocumentInputs inputs{&period, answers ? &*answers : nullptr};

    const FolderCreation creation = createOutputFolder(folder);
    std::vector<std::unique_ptr<DocumentOutput>> writers;
    // Whatever the failure, the temporary files go and then the folder this run made.
    const auto undo = [&] {
        writers.clear();
        creation.undo();
    };
    try {
        auto begun = [&](const std::string& path) {
            if (environment.exportFileBegun)
                environment.exportFileBegun(path);
        };
        auto start = [&](const Document& document) -> DocumentOutput& {
            const std::string path = documentPath(folder, document, pdf);
            if (pdf)
                writers.push_back(std::make_unique<PdfOutput>(path, document.pointSize, pageLines, document.title));
            else
                writers.push_back(std::make_unique<TextOutput>(path));
            begun(path);
            return *writers.back();
        };
        kLabel.build(inputs, pageLines, start(kLabel));
        std::vector<std::string> problems;
        const auto keepProblems = [&](const JournalSummary& summary) {
            for (const std::string& problem : summary.problems)
                problems.push_back(place + problem);
        };
        if (setup.sheets.empty()) {
            DocumentOutput& purchases = start(journalDocument(JournalKind::Purchases));
            DocumentOutput& sales = start(journalDocument(JournalKind::Sales));
            for (const JournalSummary& summary : buildJournals(inputs, setup, purchases, sales, step))
                keepProblems(summary);
        } else {
            for (const JournalKind kind : {JournalKind::Purchases, JournalKind::Sales}) {
                const Document* document = &journalDocument(kind);
                step(std::string("writing ") + document->name);
                // A sheet's cells are converted as the records are read: the code page is counted first.
                const FileSurvey& file = period.journalFile(kind);
                const std::string path = joinPath(folder, std::string(document->name) + "." + setup.sheets);
                const RecordLayout& record = recordLayout(period.journalLayout(kind).kind);
                auto sheet = std::make_unique<SheetOutput>(
                    setup.sheets == "xlsx" ? xlsxJournal(path, record, files.wording, file.codePage)
                                           : csvJournal(path, record, files.wording, file.codePage));
                SheetOutput& output = *sheet;
                writers.push_back(std::move(sheet));
                begun(path);
                const JournalSummary summary =
                    period.journal(kind, pageLines, output, [&output](std::string_view raw) { output.record(raw); });
                output.setTotals(summary.totals);
                keepProblems(summary);
            }
        }
        if (options.older || !options.reports.empty())
            step("writing the documents of two inputs");
        std::vector<std::string> twoInputProblems;
        buildTwoInputDocuments(
            period, options, pageLines, [&](const Document& document) -> JournalSink* { return &start(document); },
            twoInputProblems);
        for (const std::string& problem : twoInputProblems)
            problems.push_back(place + problem);
        if (!passGate(problems, options.force, err, place + "нищо не е записано")) {
            undo();
            return kMismatch;
        }
        if (answers)
            kReturn.build(inputs, pageLines, start(kReturn));
        if (kVies.available(inputs)) {
            step("writing vies");
            const ViesSummary vies = *kVies.build(inputs, pageLines, start(kVies)).vies;
            // Not a gate: the document says it at its top, and check names the lines.
            if (const std::size_t leftOut = vies.linesLeftOut(); leftOut != 0 || !vies.readable())
                err << "orva-cli: " << place << files.vies->name << ": "
                    << (vies.readable() ? std::to_string(leftOut) + (leftOut == 1 ? " ред не е" : " реда не са") +
                                              " в документа vies"
                                        : shownText(vies.problems.front().text()))
                    << "; orva-cli check ги посочва\n";
        }
        for (auto& writer : writers)
            writer->finish();
    } catch (...) {
        undo();
        rethrowAsExportFailure();
    }

    try {
        for (auto& writer : writers) {
            writer->publish();
            out << writer->path() << '\n';
        }
        // No return of an earlier run may stay beside this run's documents.
        if (returnFailure)
            removeEarlier(folder, kReturn);
        // Nor a VIES declaration of another period.
        if (!files.vies)
            removeEarlier(folder, kVies);
    } catch (...) {
        // A folder that holds a published document stays: undo removes only an empty one.
        undo();
        rethrowAsExportFailure();
    }
    if (returnFailure)
        throw *returnFailure;
    return kSuccess;
}

// Several periods: each into DIR/<VAT number>-<YYYYMM>/, worked on in parallel, reported in path order.
int exportPeriods(const Options& options, const ExportSetup& setup, Streams& streams, const Environment& environment) {
    const std::vector<std::string> folders =
        options.recursive ? findPeriodFolders(options.dataFolders) : options.dataFolders;
    // The names first, in path order, from the return records alone: a name taken gets -2, -3 ...
    UniqueNames names;
    std::vector<std::string> targets;
    for (const std::string& folder : folders)
        targets.push_back(joinPath(*options.out, names.take(periodOutputNameOf(folder))));
    // Every output folder is checked before any period is exported: none may be, hold or lie in a data
    // folder (a period folder named as export names its output would get its vies.txt replaced).
    const OutputGuard guard(folders);
    guard.checkFolder(*options.out);
    for (const std::string& target : targets)
        guard.checkFolder(target);

    struct Outcome {
        int status = kSuccess;
        std::string out, err;
    };
    // PDF pages are laid out through Qt's printer classes, which belong to the main thread.
    const std::size_t jobs = setup.pdf ? 1 : options.jobs;
    ExportSetup periodSetup = setup;
    periodSetup.journalsAtOnce = jobs <= 1;
    std::size_t done = 0;
    bool unwritten = false, unreadable = false, refused = false, noReturn = false;
    runPeriods<Outcome>(
        folders.size(), jobs,
        [&](std::size_t index) {
            Outcome outcome;
            std::ostringstream out, err;
            try {
                outcome.status = exportPeriod(folders[index], targets[index], options, periodSetup, out, err, nullptr,
                                              environment, folders[index]);
            } catch (const PeriodError& failure) {
                err << "orva-cli: " << shownText(folders[index] + ": " + failure.what()) << '\n';
                outcome.status = failure.stage() == PeriodError::Stage::Load ? kUnreadable : kNoReturn;
            } catch (const Failure& failure) {
                err << "orva-cli: " << folders[index] << ": " << failure.what() << '\n';
                outcome.status = failure.status();
            } catch (const std::exception& failure) {
                err << "orva-cli: " << shownText(folders[index] + ": " + failure.what()) << '\n';
                outcome.status = kUnreadable;
            }
            outcome.out = out.str();
            outcome.err = err.str();
            return outcome;
        },
        [&](std::size_t, Outcome& outcome) {
            streams.progress.clear();
            streams.out << outcome.out;
            streams.err << outcome.err;
            unwritten = unwritten || outcome.status == kUsage;
            unreadable = unreadable || outcome.status == kUnreadable;
            refused = refused || outcome.status == kMismatch;
            noReturn = noReturn || outcome.status == kNoReturn;
        },
        [&](std::size_t finished) {
            done = finished;
            streams.progress.step("периоди " + std::to_string(done) + " от " + std::to_string(folders.size()));
        });
    streams.out.flush();
    // An output that could not be written is the most urgent to see: 1, then 2, 5, 3.
    if (unwritten)
        return kUsage;
    return unreadable ? kUnreadable : refused ? kMismatch : noReturn ? kNoReturn : kSuccess;
}

class ExportCommand final : public Command {
public:
    std::string description() const override {
        return "  export    Write DIR/label, DIR/purchases, DIR/sales and DIR/return, as .txt\n"
               "            (Windows-1251, CR LF after every line) or as .pdf (what the printer\n"
               "            would get), and DIR/vies when the period has VIES.TXT (an older\n"
               "            DIR/vies.* is removed when it has none). DIR is created when needed.\n"
               "            With xlsx or csv the journals are DIR/purchases and DIR/sales as\n"
               "            spreadsheets (a row per record, a column per field, a totals row);\n"
               "            label and return stay text. Several DATAFOLDERs, or --recursive,\n"
               "            export each period into DIR/<VAT number>-<YYYYMM>/ (-2, -3 ... when\n"
               "            a name is taken in the run), in path order.\n";
    }

    int run(const Options& options, Streams& streams, const Environment& environment) const override;
};

int ExportCommand::run(const Options& options, Streams& streams, const Environment& environment) const {
    Progress& progress = streams.progress;
    ExportSetup setup;
    setup.pdf = options.format == "pdf";
    if (options.format == "xlsx" || options.format == "csv")
        setup.sheets = options.format;
    const bool pdf = setup.pdf;
    if (pdf || !options.linesPerPage)
        ensureGuiApplication();
    // As the window computes linesPerPage, with the same fallback when there is no printer.
    int pageLines = 0;
    std::optional<std::string> serverSilent; // said once the documents are written
    if (options.linesPerPage) {
        pageLines = *options.linesPerPage;
        if (pdf)
            refuseLinesBeyondPdfPage(pageLines);
    } else {
        progress.step("asking for the default printer");
        std::unique_ptr<QPrinter> printer;
        try {
            printer = environment.defaultPrinter ? environment.defaultPrinter() : nullptr;
        } catch (const Failure&) {
            // A queue named but not there: laid out as without a printer, as the window does.
        } catch (const PrintServerSilent& silent) {
            // As without a printer too, but said: the pages may not be the printer's.
            serverSilent = silent.what();
        }
        pageLines = printer ? linesPerPage(*printer) : 0;
        if (pageLines < 1)
            pageLines = fallbackLinesPerPage();
    }
    setup.pageLines = pageLines;

    if (options.manyPeriods()) {
        if (options.older || !options.reports.empty())
            usageError("--older and --report go with one DATAFOLDER");
        const int status = exportPeriods(options, setup, streams, environment);
        if (serverSilent) {
            progress.clear();
            streams.err << "orva-cli: " << *serverSilent << ": страниците са по A4 при 1200 dpi\n";
        }
        return status;
    }

    std::vector<std::string> dataFolders{*options.dataFolder};
    if (options.older)
        dataFolders.push_back(*options.older);
    OutputGuard(dataFolders).checkFolder(*options.out);
    std::optional<PeriodError> returnFailure;
    int status = kSuccess;
    try {
        status = exportPeriod(*options.dataFolder, *options.out, options, setup, streams.out, streams.err, &progress,
                              environment);
    } catch (const PeriodError& failure) {
        if (failure.stage() != PeriodError::Stage::Return)
            throw;
        returnFailure = failure;
    }
    if (status == kSuccess && serverSilent) {
        progress.clear();
        streams.err << "orva-cli: " << *serverSilent << ": страниците са по A4 при 1200 dpi\n";
    }
    if (returnFailure)
        throw *returnFailure;
    return status;
}

} // namespace

const Command& exportCommand() {
    static const ExportCommand command;
    return command;
}

} // namespace orva::cli
