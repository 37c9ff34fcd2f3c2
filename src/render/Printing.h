#pragma once

// The print sequence: a document's lines through our PDF writer into a file, and that file as one
// job to a print service. Exported PDFs and printed sheets are the same pages.

#include "render/PrintService.h"
#include "text/DocumentText.h"
#include "text/LineFile.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QPrinter;
class QTemporaryDir;

namespace orva {

class PrintService;

// A PDF document written as its lines come, so that a big one is never held whole: pages are
// laid out with the measures `printer` gives the face at `pointSize` (pdfPageLayout), `linesPerSheet`
// lines a page when given (at most what the page holds), into a hidden temporary file beside `path`
// (orva::AtomicFileWriter). finish() puts it on disk, publish() under `path`; dropped before,
// nothing is left. Every failed write is a FileError naming `path`. `links` as AtomicFileWriter's.
class PdfDocumentFile {
public:
    PdfDocumentFile(const std::string& path, QPrinter& printer, int pointSize, int linesPerSheet,
                    const std::string& title, AtomicFileWriter::Links links = AtomicFileWriter::Links::Keep);
    ~PdfDocumentFile();
    PdfDocumentFile(const PdfDocumentFile&) = delete;
    PdfDocumentFile& operator=(const PdfDocumentFile&) = delete;

    void addLine(std::string_view line);
    void finish();
    void publish();
    const std::string& path() const;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// The PDF file of an exported document: an A4 portrait page at 1200 dpi holding exactly
// `linesPerPageCount` lines of the 8-point face (a shorter or longer sheet when A4 holds another
// number, fitPdfPage), so the PDF pages break where the printed ones would. A symbolic link at
// `path` is replaced, never written through: the folder may hold links others planted.
std::unique_ptr<PdfDocumentFile> exportPdfFile(const std::string& path, int pointSize, int linesPerPageCount,
                                               const std::string& title);

// Prints the document as one job named `jobName` on the queue of `printer`, through `service`:
// the PDF of the printer's own page, the whole printable area, the face at `pointSize`, a new sheet
// only when a page is full, nothing added. A page holds as many lines as fit
// (linesPerPage(printer, pointSize)), or `linesPerSheet` when it is given, so that a document laid
// out for fewer lines keeps one of its pages on each sheet. `lines` are Windows-1251; `jobName` is
// UTF-8. Throws orva::Error when there is no such printer, `linesPerSheet` does not fit, or the job
// cannot be written or is refused.
void printDocument(PrintService& service, QPrinter& printer, const DocumentText& lines, int pointSize,
                   const std::string& jobName, int linesPerSheet = 0);
void printDocument(PrintService& service, QPrinter& printer, const std::vector<std::string>& lines, int pointSize,
                   const std::string& jobName, int linesPerSheet = 0);

// Hands a document's lines to `line`, one call each, in order, so that a big document is never held
// whole. What it throws ends the print: nothing is submitted.
using DocumentLines = std::function<void(const std::function<void(std::string_view)>& line)>;

// printDocument with the lines as `lines` hands them over.
void printDocument(PrintService& service, QPrinter& printer, const DocumentLines& lines, int pointSize,
                   const std::string& jobName, int linesPerSheet = 0);

// A print job written and not yet submitted: its PDF lives in a temporary folder of its own, which
// goes with the job. Nothing in it refers to the printer, so it can be submitted on another thread.
struct PreparedJob {
    PreparedJob();
    PreparedJob(PreparedJob&&) noexcept;
    PreparedJob& operator=(PreparedJob&&) noexcept;
    ~PreparedJob();

    std::string queue;
    std::string pdfPath;
    std::string name;
    JobOptions options;
    std::unique_ptr<QTemporaryDir> folder;
};

// The first half of printDocument: the checks and the PDF, with the same failures.
PreparedJob preparePrintJob(QPrinter& printer, const DocumentLines& lines, int pointSize, const std::string& jobName,
                            int linesPerSheet = 0);

// preparePrintJob in two steps, so that a big document's PDF is written on another thread: begun
// on the printer's thread (the checks, the page, the job's file opened), then written from any
// thread, after which `job` is complete. Both throw as preparePrintJob does.
struct BegunJob {
    PreparedJob job;
    std::unique_ptr<PdfDocumentFile> file;
    void write(const DocumentLines& lines);
};
BegunJob beginPrintJob(QPrinter& printer, int pointSize, const std::string& jobName, int linesPerSheet = 0);

} // namespace orva
