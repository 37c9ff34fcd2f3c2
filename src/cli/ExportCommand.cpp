// orva-cli export: the four documents as text or PDF files in a folder, put in place together.
#include "cli/Command.h"
#include "cli/Documents.h"
#include "cli/GuiApplication.h"
#include "cli/Progress.h"
#include "period/Period.h"
#include "render/PageMetrics.h"
#include "render/PrintServer.h"
#include "render/Printing.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Paths.h"

#include <QPrinter>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <ostream>
#include <sys/stat.h>
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

class TextOutput final : public DocumentOutput {
public:
    // A link planted in DIR is replaced, never written through.
    explicit TextOutput(const std::string& path) : file_(path, AtomicFileWriter::Links::Replace) {}
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
    // Removes the folder when this run made it and nothing is in it any more.
    void undo() const {
        if (created)
            ::rmdir(folder.c_str());
    }
};

// DIR may be a symbolic link only when this user or root owns the link, as sudo and sshd trust a
// path: another user's link in a shared folder (/tmp) would send the documents where that user
// chose.
void refuseForeignLink(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back(); // "DIR/" would look through the link
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return;
    if (info.st_uid != ::geteuid() && info.st_uid != 0)
        throw Failure(kUsage, "папката " + folder + " е символна връзка на друг потребител (uid " +
                                  std::to_string(info.st_uid) + "); не пиша през нея");
}

FolderCreation createOutputFolder(const std::string& folder) {
    refuseForeignLink(folder);
    std::error_code error;
    const std::filesystem::path path = std::filesystem::u8path(folder);
    const bool existed = std::filesystem::exists(path, error);
    std::filesystem::create_directories(path, error);
    if (error)
        throw Failure(kUsage, "не може да се създаде папката " + folder + ": " + error.message());
    return {folder, !existed};
}

// unlink removes a link itself, never the file it points at.
void removeEarlierReturn(const std::string& folder) {
    for (bool pdf : {false, true}) {
        const std::string path = documentPath(folder, kReturn, pdf);
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

class ExportCommand final : public Command {
public:
    const char* name() const override { return "export"; }

    std::string usage() const override {
        return "  orva-cli export --out DIR [--format text|pdf] [--lines-per-page N]\n"
               "                  [--address TEXT] [--signatory TEXT] [--position TEXT] [--date TEXT]\n"
               "                  [--represent | --no-represent] [--art92 | --no-art92]\n"
               "                  [--cell NN=TEXT]... [--force] [READING OPTIONS] DATAFOLDER\n";
    }

    std::string description() const override {
        return "  export    Write DIR/label, DIR/purchases, DIR/sales and DIR/return, as .txt\n"
               "            (Windows-1251, CR LF after every line) or as .pdf (what the printer\n"
               "            would get). DIR is created when needed; nothing else is written.\n";
    }

    std::string optionHelp() const override {
        return "  --out DIR             folder for the exported files (export)\n"
               "  --format text|pdf     kind of the exported files; text when not given (export)\n";
    }

    int run(const Options& options, Streams& streams, const Environment& environment) const override;
};

int ExportCommand::run(const Options& options, Streams& streams, const Environment& environment) const {
    Progress& progress = streams.progress;
    const bool pdf = options.format == "pdf";
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

    const std::string& folder = *options.out;

    // Each document is written as it is built, into a temporary file of its own in DIR; none is
    // put in place until all are built, so a failure never leaves a mixed set.
    progress.step("reading the period");
    const PeriodFiles files = surveyPeriod(*options.dataFolder, options.read);
    const Declaration declaration = loadDeclaration(files);
    std::optional<std::vector<std::string>> returnForm;
    std::optional<PeriodError> returnFailure;
    try {
        returnForm = buildReturnFrom(declaration, options.answers, pageLines, &streams.err);
    } catch (const PeriodError& failure) {
        returnFailure = failure;
    }

    const FolderCreation creation = createOutputFolder(folder);
    std::vector<std::unique_ptr<DocumentOutput>> writers;
    // Whatever the failure, the temporary files go and then the folder this run made.
    const auto undo = [&] {
        writers.clear();
        creation.undo();
    };
    try {
        auto start = [&](const Document& document) -> DocumentOutput& {
            const std::string path = documentPath(folder, document, pdf);
            if (pdf)
                writers.push_back(std::make_unique<PdfOutput>(path, document.pointSize, pageLines, document.title));
            else
                writers.push_back(std::make_unique<TextOutput>(path));
            if (environment.exportFileBegun)
                environment.exportFileBegun(path);
            return *writers.back();
        };
        auto writeAll = [&](const Document& document, const std::vector<std::string>& lines) {
            DocumentOutput& output = start(document);
            for (const std::string& line : lines)
                output.line(line);
        };
        writeAll(kLabel, declaration.label);
        std::vector<std::string> problems;
        for (const auto& [document, layout] :
             {std::pair{&kPurchases, &purchasesLayout(files.wording)}, {&kSales, &salesLayout(files.wording)}}) {
            progress.step(std::string("writing ") + document->name);
            const JournalSummary summary = streamJournal(document == &kPurchases ? files.purchases : files.sales,
                                                         declaration, *layout, pageLines, start(*document));
            problems.insert(problems.end(), summary.problems.begin(), summary.problems.end());
        }
        if (!passGate(problems, options.force, streams.err, "нищо не е записано")) {
            undo();
            return kMismatch;
        }
        if (returnForm)
            writeAll(kReturn, *returnForm);
        for (auto& writer : writers)
            writer->finish();
    } catch (...) {
        undo();
        rethrowAsExportFailure();
    }

    try {
        for (auto& writer : writers) {
            writer->publish();
            streams.out << writer->path() << '\n';
        }
        if (serverSilent) {
            progress.clear();
            streams.err << "orva-cli: " << *serverSilent << ": страниците са по A4 при 1200 dpi\n";
        }
        // No return of an earlier run may stay beside this run's documents.
        if (returnFailure)
            removeEarlierReturn(folder);
    } catch (...) {
        // A folder that holds a published document stays: undo removes only an empty one.
        undo();
        rethrowAsExportFailure();
    }
    if (returnFailure)
        throw *returnFailure;
    return kSuccess;
}

} // namespace

const Command& exportCommand() {
    static const ExportCommand command;
    return command;
}

} // namespace orva::cli
