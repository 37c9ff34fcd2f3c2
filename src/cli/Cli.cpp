#include "cli/Cli.h"

#include "cli/CheckCommand.h"
#include "cli/Options.h"
#include "period/Period.h"
#include "declaration/ReturnCells.h"
#include "render/Printing.h"
#include "text/Encoding.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Paths.h"
#include "Version.h"

#include <QGuiApplication>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <unistd.h>
#include <ostream>

namespace orva::cli {

namespace {

const char* const kVersion = ORVA_VERSION;
const char* const kJobName = "ОРВА";


// Qt's own warnings (a missing runtime folder, a painter that did not start) would break the
// promise of one line on standard error per failure; the failures themselves are reported.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

// The printer and PDF need a GUI application; without a display it runs offscreen. It lives
// until the process ends.
void ensureGuiApplication() {
    static bool fontRegistered = false;
    if (!QCoreApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
            qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(quietQtMessages);
        static int argc = 1;
        static char name[] = "orva-cli";
        static char* argv[] = {name, nullptr};
        new QGuiApplication(argc, argv);
        // Qt adopts the user's locale; numbers here are never the locale's.
        std::setlocale(LC_NUMERIC, "C");
    }
    if (!fontRegistered) {
        fontRegistered = true;
        registerEmbeddedDocumentFont();
    }
}

// A status line on a terminal, shown only once the work has taken more than a moment.
class Progress {
public:
    Progress(std::ostream& err, bool enabled) : err_(err), enabled_(enabled), start_(Clock::now()) {}
    ~Progress() { clear(); }

    void step(const std::string& what) {
        if (!enabled_ || Clock::now() - start_ < std::chrono::milliseconds(300))
            return;
        err_ << "\r\033[Korva-cli: " << what << "..." << std::flush;
        shown_ = true;
    }

    void clear() {
        if (shown_)
            err_ << "\r\033[K" << std::flush;
        shown_ = false;
    }

private:
    using Clock = std::chrono::steady_clock;
    std::ostream& err_;
    bool enabled_;
    Clock::time_point start_;
    bool shown_ = false;
};

struct Document {
    const char* name;  // file name without extension, and --document
    const char* title; // the tab's caption, the PDF's title
    int pointSize;
};

constexpr Document kLabel{"label", "ЕТИКЕТ", kLabelPointSize};
constexpr Document kPurchases{"purchases", "ПОКУПКИ", kDocumentPointSize};
constexpr Document kSales{"sales", "ПРОДАЖБИ", kDocumentPointSize};
constexpr Document kReturn{"return", "ДЕКЛАРАЦИЯ", kDocumentPointSize};

// The return form as the window builds it after a dialog answered with the options.
std::vector<std::string> buildReturnFrom(const Declaration& declaration, const AnswerOptions& options, int pageLines) {
    ReturnAnswers answers = presetAnswers(declaration, options.date);
    answers.address = options.address.value_or(std::string());
    answers.position = options.position.value_or(std::string());
    if (options.signatory)
        answers.signatory = *options.signatory;
    answers.represent = options.represent;
    answers.art92 = options.art92;
    for (const auto& [cellNumber, text] : options.cells)
        answers.cells[cellNumber] = text;
    return buildReturn(declaration, answers, pageLines);
}

// One exported document being written, text or PDF: its lines go in as they are built, and it is
// put under its name only by publish().
class DocumentOutput : public JournalSink {
public:
    virtual void finish() = 0;
    virtual void publish() = 0;
    virtual const std::string& path() const = 0;
};

class TextOutput final : public DocumentOutput {
public:
    explicit TextOutput(const std::string& path) : file_(path) {}
    void line(std::string_view text) override { file_.writeLine(text); }
    void finish() override { file_.finish(); }
    void publish() override { file_.publish(); }
    const std::string& path() const override { return file_.path(); }

private:
    AtomicFileWriter file_;
};

class PdfOutput final : public DocumentOutput {
public:
    PdfOutput(const std::string& path, int pointSize, int pageLines, const std::string& title)
        : file_(exportPdfFile(path, pointSize, pageLines, title)) {}
    void line(std::string_view text) override { file_->addLine(text); }
    void finish() override { file_->finish(); }
    void publish() override { file_->publish(); }
    const std::string& path() const override { return file_->path(); }

private:
    std::unique_ptr<PdfDocumentFile> file_;
};

std::string documentPath(const std::string& folder, const Document& document, bool pdf) {
    return joinPath(folder, std::string(document.name) + (pdf ? ".pdf" : ".txt"));
}

// The output folder, and whether this run made it: a failed export leaves no folder it created.
struct FolderCreation {
    std::string folder;
    bool created = false;
    void undo() const {
        if (created)
            ::rmdir(folder.c_str());
    }
};

FolderCreation createOutputFolder(const std::string& folder) {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::u8path(folder);
    const bool existed = std::filesystem::exists(path, error);
    std::filesystem::create_directories(path, error);
    if (error)
        throw Failure(kUsage, "не може да се създаде папката " + folder + ": " + error.message());
    return {folder, !existed};
}

void removeEarlierReturn(const std::string& folder) {
    for (bool pdf : {false, true}) {
        const std::string path = documentPath(folder, kReturn, pdf);
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            throwFileError(FileAction::Write, path, errno);
    }
}

int exportCommand(const Options& options, std::ostream& out, const Environment& environment, Progress& progress) {
    const bool pdf = options.format == "pdf";
    if (pdf || !options.linesPerPage)
        ensureGuiApplication();
    // As the window computes linesPerPage, with the same fallback when there is no printer.
    int pageLines = 0;
    if (options.linesPerPage) {
        pageLines = *options.linesPerPage;
    } else {
        progress.step("asking for the default printer");
        std::unique_ptr<QPrinter> printer;
        try {
            printer = environment.defaultPrinter ? environment.defaultPrinter() : nullptr;
        } catch (const Failure&) {
            // A queue named but not there: laid out as without a printer, as the window does.
        }
        pageLines = printer ? linesPerPage(*printer) : 0;
        if (pageLines < 1)
            pageLines = fallbackLinesPerPage();
    }

    const std::string& folder = *options.out;

    // Each document is written as it is built, into a temporary file of its own in DIR; none is
    // put in place until all are built, so a failure never leaves a mixed set.
    progress.step("reading the period");
    const PeriodFiles files = surveyPeriod(*options.dataFolder, options.read);
    const Declaration declaration = loadDeclaration(files);
    std::optional<std::vector<std::string>> returnForm;
    std::optional<PeriodError> returnFailure;
    try {
        returnForm = buildReturnFrom(declaration, options.answers, pageLines);
    } catch (const PeriodError& failure) {
        returnFailure = failure;
    }

    const FolderCreation creation = createOutputFolder(folder);
    std::vector<std::unique_ptr<DocumentOutput>> writers;
    try {
        auto start = [&](const Document& document) -> DocumentOutput& {
            const std::string path = documentPath(folder, document, pdf);
            if (pdf)
                writers.push_back(std::make_unique<PdfOutput>(path, document.pointSize, pageLines, document.title));
            else
                writers.push_back(std::make_unique<TextOutput>(path));
            return *writers.back();
        };
        auto writeAll = [&](const Document& document, const std::vector<std::string>& lines) {
            DocumentOutput& output = start(document);
            for (const std::string& line : lines)
                output.line(line);
        };
        writeAll(kLabel, declaration.label);
        for (const auto& [document, layout] : {std::pair{&kPurchases, &purchasesLayout()}, {&kSales, &salesLayout()}}) {
            progress.step(std::string("writing ") + document->name);
            streamJournal(document == &kPurchases ? files.purchases : files.sales, declaration, *layout, pageLines,
                          start(*document));
        }
        if (returnForm)
            writeAll(kReturn, *returnForm);
        for (auto& writer : writers)
            writer->finish();
    } catch (const PeriodError&) {
        writers.clear();
        creation.undo();
        throw;
    } catch (const Error& failure) {
        writers.clear();
        creation.undo();
        throw Failure(kUsage, failure.what());
    }

    try {
        for (auto& writer : writers) {
            writer->publish();
            out << writer->path() << '\n';
        }
        // No return of an earlier run may stay beside this run's documents.
        if (returnFailure)
            removeEarlierReturn(folder);
    } catch (const Error& failure) {
        throw Failure(kUsage, failure.what());
    }
    if (returnFailure)
        throw *returnFailure;
    return kSuccess;
}

int printCommand(const Options& options, const Environment& environment, Progress& progress) {
    ensureGuiApplication();
    std::unique_ptr<QPrinter> printer;
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
    // A document laid out for fewer lines than a sheet holds is printed one page a sheet; more
    // lines than a sheet holds cannot be printed as laid out.
    const int printerLines = linesPerPage(*printer);
    if (options.linesPerPage && *options.linesPerPage > printerLines)
        usageError("--lines-per-page " + std::to_string(*options.linesPerPage) + ": a page of the printer \"" +
                   printer->printerName().toStdString() + "\" holds " + std::to_string(printerLines) + " lines");
    const int pageLines = options.linesPerPage ? *options.linesPerPage : printerLines;

    progress.step("reading the period");
    const Period period = loadPeriod(*options.dataFolder, pageLines, options.read);
    const std::string& name = *options.document;
    const Document& document = name == kLabel.name       ? kLabel
                               : name == kPurchases.name ? kPurchases
                               : name == kSales.name     ? kSales
                                                         : kReturn;
    std::vector<std::string> returnForm;
    const std::vector<std::string>* lines = &returnForm;
    if (&document == &kLabel)
        lines = &period.declaration.label;
    else if (&document == &kPurchases)
        lines = &period.purchases.lines;
    else if (&document == &kSales)
        lines = &period.sales.lines;
    else
        returnForm = buildReturnFrom(period.declaration, options.answers, pageLines);

    progress.step("printing");
    try {
        // The label page is not paged by --lines-per-page: it is one sheet at its own size.
        printDocument(*printer, *lines, document.pointSize, kJobName, &document == &kLabel ? 0 : pageLines);
    } catch (const Error& error) {
        throw Failure(kNoPrinter, error.what());
    }
    return kSuccess;
}

int checkCommand(const Options& options, std::ostream& out, Progress& progress) {
    CheckOptions check;
    check.dataFolder = *options.dataFolder;
    check.read = options.read;
    check.format = options.checkFormat;
    check.strict = options.strict;
    check.maxFindings = options.maxFindings;
    return runCheck(check, out,
                    {[&](const std::string& what) { progress.step(what); }, [&]() { progress.clear(); }});
}

// One queue a line; the one print would use marked "*", with what named it.
int printersCommand(const Options& options, std::ostream& out, const Environment& environment) {
    ensureGuiApplication();
    const std::vector<std::string> names =
        environment.queueNames ? environment.queueNames() : std::vector<std::string>();
    const QueueChoice choice = options.printer           ? QueueChoice{*options.printer, "--printer"}
                               : environment.queueChoice ? environment.queueChoice()
                                                         : QueueChoice{};
    for (const std::string& name : names) {
        if (name == choice.queue)
            out << "* " << name << " (" << choice.source << ")\n";
        else
            out << "  " << name << '\n';
    }
    if (!choice.queue.empty() && std::find(names.begin(), names.end(), choice.queue) == names.end())
        throw Failure(kNoPrinter, "няма опашка за печат \"" + choice.queue + "\" (посочена от " + choice.source + ")");
    return kSuccess;
}

std::unique_ptr<QPrinter> preparedPrinter(const QPrinterInfo& info) {
    auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    preparePrinter(*printer);
    return printer;
}

} // namespace

Environment Environment::system() {
    Environment environment;
    environment.defaultPrinter = []() -> std::unique_ptr<QPrinter> {
        ensureGuiApplication();
        const QueueChoice choice = systemQueueChoice();
        if (choice.queue.empty())
            return nullptr;
        const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(choice.queue));
        if (info.isNull())
            throw Failure(kNoPrinter,
                          "няма опашка за печат \"" + choice.queue + "\" (посочена от " + choice.source + ")");
        return preparedPrinter(info);
    };
    environment.namedPrinter = [](const std::string& queue) -> std::unique_ptr<QPrinter> {
        ensureGuiApplication();
        const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(queue));
        return info.isNull() ? nullptr : preparedPrinter(info);
    };
    environment.queueNames = [] {
        ensureGuiApplication();
        std::vector<std::string> names;
        for (const QString& name : QPrinterInfo::availablePrinterNames())
            names.push_back(name.toStdString());
        return names;
    };
    environment.queueChoice = [] {
        ensureGuiApplication();
        return systemQueueChoice();
    };
    return environment;
}

std::string helpText() {
    return R"(Usage:
  orva-cli export --out DIR [--format text|pdf] [--lines-per-page N]
                  [--address TEXT] [--signatory TEXT] [--position TEXT] [--date TEXT]
                  [--represent | --no-represent] [--art92 | --no-art92]
                  [--cell NN=TEXT]... [READING OPTIONS] DATAFOLDER
  orva-cli print  --document label|purchases|sales|return [-P QUEUE] [--lines-per-page N]
                  [--address TEXT] [--signatory TEXT] [--position TEXT] [--date TEXT]
                  [--represent | --no-represent] [--art92 | --no-art92]
                  [--cell NN=TEXT]... [READING OPTIONS] DATAFOLDER
  orva-cli check  [--format text|csv|json] [--strict] [--max-findings N]
                  [READING OPTIONS] DATAFOLDER
  orva-cli printers [-P QUEUE]
  orva-cli --help | --version

Reads deklar.txt, pokupki.txt and prodagbi.txt of one VAT period from DATAFOLDER
and builds the label page, the purchases and sales journals and the VAT return
form exactly as the ORVA window does. Nothing is ever written to DATAFOLDER.
The file names may be in any letter case (DEKLAR.TXT, Pokupki.txt ...). Each
file's code page (MIK or Windows-1251) and the generation of the return record
are detected from the files; check names what it detected on its first line.

Commands:
  export    Write DIR/label, DIR/purchases, DIR/sales and DIR/return, as .txt
            (Windows-1251, CR LF after every line) or as .pdf (what the printer
            would get). DIR is created when needed; nothing else is written.
  print     Print one document; the job is named "ОРВА". The queue is the one
            given with --printer, else the one lp would choose: $LPDEST, then
            $PRINTER, then the Default of ~/.cups/lpoptions, then that of
            /etc/cups/lpoptions, then the print server's default.
  check     Check the period before filing: every record of both journals
            against the record rules (one line per finding, file:line, ГРЕШКА
            or ПРЕДУПРЕЖДЕНИЕ, the field, its value and the rule's message), then
            the return against the journals and its own sums (one table row per
            rule: the return's value, the journals' value, the difference and OK,
            НЕСЪОТВЕТСТВИЕ or НЕ Е ПРОВЕРЕНО), then the counts per file and rule.
            Every file is read to its end, whatever its records hold.
  printers  List the print server's queues, one a line; the one print would use
            is marked "*", followed by what named it in brackets.

Options:
  --out DIR             folder for the exported files (export)
  --format text|pdf     kind of the exported files; text when not given (export)
  --format text|csv|json
                        check's output: text (the default); csv, one row per
                        finding and per return rule (file;line;field;severity;
                        rule;value;message, CR LF, UTF-8 with a BOM); json, the
                        same rows as one array of objects
  --strict              check: a warning fails the check too
  --max-findings N      check: show at most N finding lines in the text output
                        (default 200); the counts and csv/json keep them all
  --document NAME       label, purchases, sales or return (print)
  -P QUEUE, --printer QUEUE
                        print on QUEUE, as lpr does (print; printers marks it)
  --lines-per-page N    lines on a page; by default as many 8-point lines as fit
                        on the default printer's page, or on an A4 page at
                        1200 dpi when there is no printer. PDF pages hold N lines;
                        print puts one page of N lines on each sheet, and N may
                        not exceed what the printer's page holds
  --address TEXT        the firm's address (default: empty)
  --signatory TEXT      the signatory (default: the record's, without blanks around)
  --position TEXT       the signatory's position (default: empty)
  --date TEXT           the date of the return (default: the last day of the period)
  --represent           "представлявам лицето" ticked (the default)
  --no-represent        ... not ticked
  --art92               the art. 92 declaration ticked
  --no-art92            ... not ticked (the default)
  --cell NN=TEXT        text of cell NN of the return; only 33, 70, 71, 80, 81, 82
                        (the others come from the record; 50 and 60 are derived)
Reading options (export, print, check):
  --encoding auto|mik|windows-1251
                        code page of all three files (default: auto, per file)
  --return-layout auto|classic|current
                        order of cells 13, 23, 14, 24 in the return record:
                        classic 13, 23, 14, 24; current 23, 13, 24, 14 (today's
                        files); auto detects it from the files (the default)
  --help                this text
  --version             the program's version
Option texts are UTF-8; a character that Windows-1251 lacks becomes "?".

Exit status:
  0  success (check: no error; warnings allowed unless --strict)
  1  usage error, or the output could not be written
  2  the period could not be read; nothing is written
  3  the label page and journals were built but the return could not be
     (export writes label, purchases and sales, not return)
  4  print: no printer, an unknown queue, or the printer refused the job;
     printers: the queue that would be used does not exist
  5  check: an error (with --strict, a warning too), or a return rule that
     does not hold or cannot be evaluated
)";
}

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Environment& environment) {
    if (std::find(args.begin(), args.end(), "--help") != args.end() ||
        (!args.empty() && (args[0] == "-h" || args[0] == "help"))) {
        out << helpText();
        return kSuccess;
    }
    if (!args.empty() && args[0] == "--version") {
        out << "orva-cli " << kVersion << '\n';
        return kSuccess;
    }
    Progress progress(err, environment.showProgress);
    try {
        const Options options = parseOptions(args);
        switch (options.command) {
        case Command::Export:
            return exportCommand(options, out, environment, progress);
        case Command::Print:
            return printCommand(options, environment, progress);
        case Command::Check:
            return checkCommand(options, out, progress);
        case Command::Printers:
            return printersCommand(options, out, environment);
        }
    } catch (const Failure& failure) {
        progress.clear();
        err << "orva-cli: " << failure.what() << '\n';
        return failure.status();
    } catch (const PeriodError& failure) {
        progress.clear();
        err << "orva-cli: " << failure.what() << '\n';
        return failure.stage() == PeriodError::Stage::Load ? kUnreadable : kNoReturn;
    } catch (const std::exception& failure) {
        progress.clear();
        err << "orva-cli: " << failure.what() << '\n';
        return kUnreadable;
    }
    return kSuccess;
}

} // namespace orva::cli
