#include "render/Printing.h"

#include "pdf/PdfWriter.h"
#include "render/PageMetrics.h"
#include "render/PrintServer.h"
#include "render/PrintService.h"
#include "text/Errors.h"
#include "text/LineFile.h"

#include <QByteArray>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryDir>

#include <algorithm>

namespace orva {

namespace {

std::string toUtf8(const QString& text) {
    return text.toStdString();
}

// The PDF writer's bytes into the one checked, atomic file writer.
class WriterSink final : public ByteSink {
public:
    explicit WriterSink(AtomicFileWriter& file) : file_(file) {}
    void write(std::string_view bytes) override { file_.write(bytes); }

private:
    AtomicFileWriter& file_;
};

JobOptions jobOptions(const QPrinter& printer) {
    JobOptions options{{"media", toUtf8(printer.pageLayout().pageSize().key())}};
    switch (printer.duplex()) {
    case QPrinter::DuplexNone:
        options.emplace_back("sides", "one-sided");
        break;
    case QPrinter::DuplexShortSide:
        options.emplace_back("sides", "two-sided-short-edge");
        break;
    case QPrinter::DuplexLongSide:
    case QPrinter::DuplexAuto:
        options.emplace_back("sides", "two-sided-long-edge");
        break;
    }
    // Copies chosen in a print dialog: the server makes them, the file holds one.
    if (printer.copyCount() > 1)
        options.emplace_back("copies", std::to_string(printer.copyCount()));
    return options;
}

// A printer for a PDF page, made without asking the print server for a default printer.
std::unique_ptr<QPrinter> pdfPagePrinter() {
    const PrintServerAside aside;
    return std::make_unique<QPrinter>(QPrinter::HighResolution);
}

} // namespace

struct PdfDocumentFile::Parts {
    AtomicFileWriter file;
    WriterSink sink{file};
    QByteArray font = embeddedDocumentFont();
    std::unique_ptr<PdfWriter> writer;
    Parts(const std::string& path, AtomicFileWriter::Links links) : file(path, links) {}
};

PdfDocumentFile::PdfDocumentFile(const std::string& path, QPrinter& printer, int pointSize, int linesPerSheet,
                                 const std::string& title, AtomicFileWriter::Links links)
    : parts_(std::make_unique<Parts>(path, links)) {
    PdfPageLayout layout = pdfPageLayout(printer, pointSize);
    if (linesPerSheet > 0)
        layout.linesPerPage = std::min(linesPerSheet, layout.linesPerPage);
    if (layout.linesPerPage < 1)
        throw Error("печат: на страницата не се събира нито един ред с шрифт " + std::to_string(pointSize) + " пункта");
    parts_->writer = std::make_unique<PdfWriter>(
        parts_->sink, std::string_view(parts_->font.constData(), static_cast<std::size_t>(parts_->font.size())), layout,
        title, "ОРВА");
}

PdfDocumentFile::~PdfDocumentFile() = default;

void PdfDocumentFile::addLine(std::string_view line) {
    parts_->writer->addLine(line);
}

void PdfDocumentFile::finish() {
    parts_->writer->finish();
    parts_->file.finish();
}

void PdfDocumentFile::publish() {
    parts_->file.publish();
}

const std::string& PdfDocumentFile::path() const {
    return parts_->file.path();
}

std::unique_ptr<PdfDocumentFile> exportPdfFile(const std::string& path, int pointSize, int linesPerPageCount,
                                               const std::string& title) {
    const std::unique_ptr<QPrinter> printer = pdfPagePrinter();
    fitPdfPage(*printer, linesPerPageCount);
    return std::make_unique<PdfDocumentFile>(path, *printer, pointSize, 0, title, AtomicFileWriter::Links::Replace);
}

void printDocument(PrintService& service, QPrinter& printer, const DocumentText& lines, int pointSize,
                   const std::string& jobName, int linesPerSheet) {
    const DocumentLines all = [&](const std::function<void(std::string_view)>& line) {
        for (std::size_t index = 0; index < lines.lineCount(); ++index)
            line(lines.line(index));
    };
    printDocument(service, printer, all, pointSize, jobName, linesPerSheet);
}

PreparedJob::PreparedJob() = default;
PreparedJob::PreparedJob(PreparedJob&&) noexcept = default;
PreparedJob& PreparedJob::operator=(PreparedJob&&) noexcept = default;
PreparedJob::~PreparedJob() = default;

void printDocument(PrintService& service, QPrinter& printer, const DocumentLines& lines, int pointSize,
                   const std::string& jobName, int linesPerSheet) {
    const PreparedJob job = preparePrintJob(printer, lines, pointSize, jobName, linesPerSheet);
    service.submitPdf(job.queue, job.pdfPath, job.name, job.options);
}

BegunJob beginPrintJob(QPrinter& printer, int pointSize, const std::string& jobName, int linesPerSheet) {
    if (printer.outputFormat() == QPrinter::NativeFormat && !printer.isValid())
        throw Error("печат: няма принтер \"" + toUtf8(printer.printerName()) + "\"");
    const int fit = linesPerPage(printer, pointSize);
    if (linesPerSheet > fit)
        throw Error("printing: " + std::to_string(linesPerSheet) + " реда не се събират на страница на \"" +
                    toUtf8(printer.printerName()) + "\", която побира " + std::to_string(fit));
    const int perPage = linesPerSheet > 0 ? linesPerSheet : fit;
    printer.setDocName(QString::fromStdString(jobName));

    // The job is the PDF our writer makes of the printer's own page, submitted to the print server
    // directly: Qt's CUPS engine would report a refused or aborted job as printed.
    const std::unique_ptr<QPrinter> pdfPage = pdfPagePrinter();
    QPrinter& pdfPrinter = *pdfPage;
    pdfPrinter.setOutputFormat(QPrinter::PdfFormat);
    pdfPrinter.setResolution(printer.resolution());
    pdfPrinter.setPageLayout(printer.pageLayout());
    pdfPrinter.setColorMode(printer.colorMode());
    const std::string queue = toUtf8(printer.printerName().section(QLatin1Char('/'), 0, 0));
    if (linesPerPage(pdfPrinter, pointSize) != linesPerPage(printer, pointSize))
        throw Error("печат: страницата на принтера \"" + queue + "\" не може да се възпроизведе");
    BegunJob begun;
    PreparedJob& job = begun.job;
    job.folder = std::make_unique<QTemporaryDir>();
    if (!job.folder->isValid())
        throw Error("печат: няма временна папка за заданието");
    job.pdfPath = job.folder->filePath(QStringLiteral("job.pdf")).toStdString();
    try {
        begun.file = std::make_unique<PdfDocumentFile>(job.pdfPath, pdfPrinter, pointSize, perPage, jobName);
    } catch (const FileError&) {
        throw Error("печат: заданието не може да се запише в " + job.pdfPath);
    }
    job.queue = queue;
    job.name = jobName;
    job.options = jobOptions(printer);
    return begun;
}

void BegunJob::write(const DocumentLines& lines) {
    try {
        lines([this](std::string_view line) { file->addLine(line); });
        file->finish();
        file->publish();
    } catch (const FileError&) {
        throw Error("печат: заданието не може да се запише в " + job.pdfPath);
    }
    file.reset();
}

PreparedJob preparePrintJob(QPrinter& printer, const DocumentLines& lines, int pointSize, const std::string& jobName,
                            int linesPerSheet) {
    BegunJob begun = beginPrintJob(printer, pointSize, jobName, linesPerSheet);
    begun.write(lines);
    return std::move(begun.job);
}

void printDocument(PrintService& service, QPrinter& printer, const std::vector<std::string>& lines, int pointSize,
                   const std::string& jobName, int linesPerSheet) {
    const DocumentLines all = [&](const std::function<void(std::string_view)>& line) {
        for (const std::string& text : lines)
            line(text);
    };
    printDocument(service, printer, all, pointSize, jobName, linesPerSheet);
}

} // namespace orva
