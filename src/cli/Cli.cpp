#include "cli/Cli.h"

#include "cli/CheckCommand.h"
#include "period/Period.h"
#include "declaration/ReturnCells.h"
#include "render/Printing.h"
#include "text/Encoding.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Paths.h"

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

const char* const kVersion = "1.0.0";
const char* const kJobName = "ОРВА";
constexpr int kMaxLinesPerPage = 100000;


[[noreturn]] void usageError(const std::string& what) {
    throw Failure(kUsage, what + " (see orva-cli --help)");
}

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

enum class Command { Export, Print, Check, Printers };

// The dialog's answers as options give them (Windows-1251); unset ones keep the dialog's presets.
struct AnswerOptions {
    std::optional<std::string> address;
    std::optional<std::string> signatory;
    std::optional<std::string> position;
    std::optional<std::string> date;
    bool represent = true;
    bool art92 = false;
    std::map<int, std::string> cells; // only the editable cells 33, 70, 71, 80, 81, 82
};

struct Options {
    Command command = Command::Check;
    std::optional<std::string> out;
    std::string format = "text";
    std::optional<std::string> document;
    std::optional<std::string> printer; // --printer / -P
    std::optional<int> linesPerPage;
    AnswerOptions answers;
    ReadOptions read;
    std::optional<std::string> dataFolder;
    // check
    CheckFormat checkFormat = CheckFormat::Text;
    bool strict = false;
    std::size_t maxFindings = 200;
};

int parseLinesPerPage(const std::string& text) {
    const bool digits = !text.empty() && text.size() <= 6 &&
                        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    const int value = digits ? std::atoi(text.c_str()) : 0;
    if (value < 1 || value > kMaxLinesPerPage)
        usageError("--lines-per-page takes a whole number from 1 to " + std::to_string(kMaxLinesPerPage) + ", not \"" +
                   text + "\"");
    return value;
}

void parseCell(const std::string& text, AnswerOptions& answers) {
    const std::size_t equals = text.find('=');
    const std::string number = text.substr(0, equals);
    const bool digits = !number.empty() && number.size() <= 2 &&
                        std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (equals == std::string::npos || !digits)
        usageError("--cell takes NN=TEXT, not \"" + text + "\"");
    const int cellNumber = std::atoi(number.c_str());
    if (std::find(kEditableCells.begin(), kEditableCells.end(), cellNumber) == kEditableCells.end())
        usageError("--cell " + number + ": only cells 33, 70, 71, 80, 81 and 82 can be set");
    answers.cells[cellNumber] = utf8ToWin1251(text.substr(equals + 1));
}

Options parseOptions(const std::vector<std::string>& args) {
    Options options;
    if (args.empty())
        usageError("no command given");
    const std::string& command = args[0];
    if (command == "export")
        options.command = Command::Export;
    else if (command == "print")
        options.command = Command::Print;
    else if (command == "check")
        options.command = Command::Check;
    else if (command == "printers")
        options.command = Command::Printers;
    else
        usageError("unknown command \"" + command + "\"");

    const bool takesAnswers = options.command != Command::Check;
    std::optional<bool> represent;
    std::optional<bool> art92;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        // lpr's spelling: -P QUEUE or -PQUEUE.
        if (!optionsEnded && arg.size() >= 2 && arg.compare(0, 2, "-P") == 0) {
            arg = arg.size() > 2 ? "--printer=" + arg.substr(2) : "--printer";
        }
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            if (options.dataFolder)
                usageError("more than one data folder given (\"" + *options.dataFolder + "\", \"" + arg + "\")");
            options.dataFolder = arg;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (const std::size_t equals = arg.find('='); equals != std::string::npos) {
            inlineValue = arg.substr(equals + 1);
            arg.resize(equals);
        }
        auto value = [&]() -> std::string {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= args.size())
                usageError(arg + " needs a value");
            return args[++i];
        };
        auto flag = [&](std::optional<bool>& target, bool setting, const char* other) {
            if (inlineValue)
                usageError(arg + " takes no value");
            if (target && *target != setting)
                usageError(arg + " and " + other + " exclude each other");
            target = setting;
        };
        const bool exportOnly = arg == "--out" || (arg == "--format" && options.command != Command::Check);
        const bool checkOnly = arg == "--strict" || arg == "--max-findings";
        const bool answer = arg == "--lines-per-page" || arg == "--address" || arg == "--signatory" ||
                            arg == "--position" || arg == "--date" || arg == "--represent" || arg == "--no-represent" ||
                            arg == "--art92" || arg == "--no-art92" || arg == "--cell";
        if ((exportOnly && options.command != Command::Export) || (answer && !takesAnswers) ||
            (arg == "--document" && options.command != Command::Print) ||
            (arg == "--printer" && options.command != Command::Print && options.command != Command::Printers) ||
            (options.command == Command::Printers && arg != "--printer") ||
            (checkOnly && options.command != Command::Check))
            usageError(command + " takes no " + arg);

        if (arg == "--out")
            options.out = value();
        else if (arg == "--format" && options.command == Command::Check) {
            const std::string name = value();
            if (name == "text")
                options.checkFormat = CheckFormat::Text;
            else if (name == "csv")
                options.checkFormat = CheckFormat::Csv;
            else if (name == "json")
                options.checkFormat = CheckFormat::Json;
            else
                usageError("--format of check is text, csv or json, not \"" + name + "\"");
        } else if (arg == "--strict") {
            if (inlineValue)
                usageError(arg + " takes no value");
            options.strict = true;
        } else if (arg == "--max-findings") {
            const std::string text = value();
            const bool digits = !text.empty() && text.size() <= 9 &&
                                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
            if (!digits)
                usageError("--max-findings takes a whole number from 0, not \"" + text + "\"");
            options.maxFindings = static_cast<std::size_t>(std::atol(text.c_str()));
        } else if (arg == "--format") {
            options.format = value();
            if (options.format != "text" && options.format != "pdf")
                usageError("--format is text or pdf, not \"" + options.format + "\"");
        } else if (arg == "--document") {
            options.document = value();
            static const char* const kDocuments[] = {"label", "purchases", "sales", "return"};
            if (std::none_of(std::begin(kDocuments), std::end(kDocuments),
                             [&](const char* name) { return *options.document == name; }))
                usageError("--document is label, purchases, sales or return, not \"" + *options.document + "\"");
        } else if (arg == "--printer") {
            options.printer = value();
            if (options.printer->empty())
                usageError("--printer needs a queue name");
        } else if (arg == "--lines-per-page")
            options.linesPerPage = parseLinesPerPage(value());
        else if (arg == "--address")
            options.answers.address = utf8ToWin1251(value());
        else if (arg == "--signatory")
            options.answers.signatory = utf8ToWin1251(value());
        else if (arg == "--position")
            options.answers.position = utf8ToWin1251(value());
        else if (arg == "--date")
            options.answers.date = utf8ToWin1251(value());
        else if (arg == "--represent")
            flag(represent, true, "--no-represent");
        else if (arg == "--no-represent")
            flag(represent, false, "--represent");
        else if (arg == "--art92")
            flag(art92, true, "--no-art92");
        else if (arg == "--no-art92")
            flag(art92, false, "--art92");
        else if (arg == "--cell")
            parseCell(value(), options.answers);
        else if (arg == "--encoding") {
            const std::string name = value();
            if (name == "mik")
                options.read.codePage = CodePage::Mik;
            else if (name == "windows-1251")
                options.read.codePage = CodePage::Windows1251;
            else if (name != "auto")
                usageError("--encoding is auto, mik or windows-1251, not \"" + name + "\"");
        } else if (arg == "--return-layout") {
            const std::string name = value();
            if (name == "classic")
                options.read.returnLayout = ReturnLayout::Classic;
            else if (name == "current")
                options.read.returnLayout = ReturnLayout::Current;
            else if (name != "auto")
                usageError("--return-layout is auto, classic or current, not \"" + name + "\"");
        } else
            usageError("unknown option " + arg);
    }
    options.answers.represent = represent.value_or(true);
    options.answers.art92 = art92.value_or(false);

    if (options.command == Command::Printers) {
        if (options.dataFolder)
            usageError("printers takes no data folder");
        return options;
    }
    if (!options.dataFolder)
        usageError(command + " needs the data folder");
    if (options.command == Command::Export && !options.out)
        usageError("export needs --out DIR");
    if (options.command == Command::Export && options.out->empty())
        usageError("--out needs a folder name");
    if (options.command == Command::Print && !options.document)
        usageError("print needs --document label|purchases|sales|return");
    return options;
}

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
