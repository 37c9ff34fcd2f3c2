#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QByteArray;
class QFont;
class QPrinter;

namespace orva {

// Point sizes of the documents on screen and on paper.
inline constexpr int kLabelPointSize = 10;
inline constexpr int kDocumentPointSize = 8;

// "Courier New" at the given size; the family is mapped to the embedded face at start-up.
QFont documentFont(int pointSize);

// The bytes of the embedded face, the resource :/MYFONT/MYFONT_1. Throws orva::Error when the
// resource cannot be read or is empty.
QByteArray embeddedDocumentFont();

// Makes the embedded face (:/MYFONT/MYFONT_1) available as "Courier New" without writing a
// file (orva-cli uses this; the window program registers ORVA.TTF instead). Returns the
// font id of QFontDatabase, or -1.
int registerEmbeddedDocumentFont();

// Maps the family "Courier New" to the family of the registered face `fontId`.
void mapCourierNewTo(int fontId);

// Lines of text of `pointSize` that fit on one page of `printer`: printable height in device
// pixels (the printer's own minimum margins, full page) divided by the face's line height.
int linesPerPage(QPrinter& printer, int pointSize = kDocumentPointSize);

// The count for an A4 portrait page without margins at 1200 dpi, used when there is no printer.
int fallbackLinesPerPage();

// Prepares `printer` as the documents expect it: portrait, full page, the printer's own
// minimum margins, no extra margins.
void preparePrinter(QPrinter& printer);

// Prints the document as one job named `jobName`: the whole printable area, the face at
// `pointSize`, a new sheet only when a page is full, nothing added. A page holds as many lines as
// fit (linesPerPage(printer, pointSize)), or `linesPerSheet` when it is given, so that a document
// laid out for fewer lines keeps one of its pages on each sheet. `lines` are Windows-1251; `jobName`
// is UTF-8. Throws orva::Error when `linesPerSheet` does not fit, or the job cannot be started or
// finished.
void printDocument(QPrinter& printer, const std::vector<std::string>& lines, int pointSize, const std::string& jobName,
                   int linesPerSheet = 0);

// A PDF document written as its lines come, so that a big one is never held whole: pages are
// drawn with the measures `printer` gives the face at `pointSize` (what renderDocument would draw
// on it), `linesPerSheet` lines a page when given (at most what the page holds), into a hidden
// temporary file beside `path` (orva::AtomicFileWriter). finish() puts it on disk, publish()
// under `path`; dropped before, nothing is left. Every failed write is a FileError naming `path`.
class PdfDocumentFile {
public:
    PdfDocumentFile(const std::string& path, QPrinter& printer, int pointSize, int linesPerSheet,
                    const std::string& title);
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
// number), so the PDF pages break where the printed ones would.
std::unique_ptr<PdfDocumentFile> exportPdfFile(const std::string& path, int pointSize, int linesPerPageCount,
                                               const std::string& title);

// Writes the document as a PDF file through the same renderer, on an A4 portrait page at
// 1200 dpi whose line count is `linesPerPageCount` lines of the 8-point face (so the PDF pages
// break where the printed ones would). Throws orva::Error.
void writeDocumentPdf(const std::string& path, const std::vector<std::string>& lines, int pointSize,
                      int linesPerPageCount, const std::string& title);

} // namespace orva
