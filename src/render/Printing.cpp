#include "render/Printing.h"

#include "render/CupsJob.h"
#include "pdf/PdfWriter.h"
#include "text/LineFile.h"
#include "render/QtText.h"
#include "text/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QRawFont>
#include <QStringList>
#include <QTemporaryDir>

#include <cmath>
#include <string_view>

// The font resource lives in a static library: without an explicit reference its object file
// (and with it the resource) would be dropped by the linker.
static void initDocumentFontResource() {
    Q_INIT_RESOURCE(orva_font);
}

namespace orva {

namespace {

constexpr int kPdfResolution = 1200;

std::string toUtf8(const QString& text) {
    return text.toStdString();
}

// The printable area in device pixels, in the painter's coordinates of a full-page printer:
// the sheet less the margins that preparePrinter set to the printer's minimum.
QRect printableArea(const QPrinter& printer) {
    const QPageLayout layout = printer.pageLayout();
    const int resolution = printer.resolution();
    const QRect full = layout.fullRectPixels(resolution);
    const QMargins margins = layout.marginsPixels(resolution);
    return full.adjusted(margins.left(), margins.top(), -margins.right(), -margins.bottom());
}

QString trimmedRight(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.left(end);
}

int lineHeight(QPrinter& printer, int pointSize) {
    return QFontMetrics(documentFont(pointSize), &printer).height();
}

// Draws the lines top to bottom, `perPage` to a sheet. The caller has set the job's name.
void renderDocument(QPrinter& printer, const std::vector<std::string>& lines, int pointSize, int perPage) {
    if (perPage < 1)
        throw Error("печат: на страницата не се събира нито един ред с шрифт " + std::to_string(pointSize) + " пункта");
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString target =
            printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : printer.printerName();
        throw Error("печат: заданието не може да започне на \"" + toUtf8(target) + "\"");
    }
    const QFont font = documentFont(pointSize);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &printer);
    // The same integer pitch that linesPerPage divides by, so exactly that many lines fit.
    const int pitch = QFontMetrics(font, &printer).height();
    const qreal ascent = metrics.ascent();
    const QRect area = printableArea(printer);

    int row = 0;
    for (const std::string& line : lines) {
        if (row == perPage) {
            if (!printer.newPage()) {
                painter.end();
                throw Error("печат: принтерът отказа нова страница");
            }
            row = 0;
        }
        if (!line.empty()) {
            const QString text = toQString(line);
            const QPointF origin(area.left(), area.top() + row * pitch + ascent);
            // A line wider than the sheet (a journal's title line with a long firm name is ~134
            // characters) is narrowed to the printable width rather than cut off or wrapped:
            // wrapping would push every later line of the page down and break the page count.
            const qreal width = metrics.horizontalAdvance(trimmedRight(text));
            if (width > area.width()) {
                painter.save();
                painter.translate(origin);
                painter.scale(area.width() / width, 1.0);
                painter.drawText(QPointF(0, 0), text);
                painter.restore();
            } else {
                painter.drawText(origin, text);
            }
        }
        ++row;
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw Error("печат: заданието не може да завърши");
}

} // namespace

QFont documentFont(int pointSize) {
    QFont font(QStringLiteral("Courier New"));
    font.setPointSize(pointSize);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setKerning(false);
    return font;
}

QByteArray embeddedDocumentFont() {
    initDocumentFontResource();
    QFile resource(QStringLiteral(":/MYFONT/MYFONT_1"));
    if (!resource.open(QIODevice::ReadOnly))
        throw Error("ресурсът на шрифта MYFONT/MYFONT_1 не може да се прочете");
    QByteArray bytes = resource.readAll();
    if (bytes.isEmpty())
        throw Error("ресурсът на шрифта MYFONT/MYFONT_1 е празен");
    return bytes;
}

int registerEmbeddedDocumentFont() {
    QByteArray bytes;
    try {
        bytes = embeddedDocumentFont();
    } catch (const Error&) {
        return -1;
    }
    const int id = QFontDatabase::addApplicationFontFromData(bytes);
    if (id >= 0)
        mapCourierNewTo(id);
    return id;
}

void mapCourierNewTo(int fontId) {
    const QStringList families = QFontDatabase::applicationFontFamilies(fontId);
    if (!families.isEmpty())
        QFont::insertSubstitution(QStringLiteral("Courier New"), families.first());
}

void preparePrinter(QPrinter& printer) {
    printer.setPageOrientation(QPageLayout::Portrait);
    // Full page: the painter's origin is the sheet's corner and Qt adds no margins of its own;
    // the margins are then exactly what the printer cannot reach.
    printer.setFullPage(true);
    const QPageLayout layout = printer.pageLayout();
    printer.setPageMargins(layout.minimumMargins(), layout.units());
}

int linesPerPage(QPrinter& printer, int pointSize) {
    const int height = lineHeight(printer, pointSize);
    if (height <= 0)
        return 0;
    return printableArea(printer).height() / height;
}

namespace {

void preparePdfPrinter(QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(kPdfResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

// What renderDocument would do on `printer`, in PDF points: the page, the face's size and advance
// as Qt sets them at the printer's resolution, the pitch linesPerPage divides by, the first
// baseline at the ascent.
PdfPageLayout pdfPageLayout(QPrinter& printer, int pointSize) {
    const QFont font(documentFont(pointSize), &printer);
    const QFontMetricsF metrics(font, &printer);
    const double point = 72.0 / printer.resolution();
    const QRect area = printableArea(printer);
    const QSize page = printer.pageLayout().pageSize().sizePoints();
    PdfPageLayout layout;
    layout.pageWidth = page.width();
    layout.pageHeight = page.height();
    layout.fontSize = QRawFont::fromFont(font).pixelSize() * point;
    layout.advance = metrics.horizontalAdvance(QLatin1Char('0')) * point;
    layout.left = area.left() * point;
    layout.firstBaseline = (area.top() + metrics.ascent()) * point;
    layout.leading = lineHeight(printer, pointSize) * point;
    layout.printableWidth = area.width() * point;
    layout.linesPerPage = linesPerPage(printer, pointSize);
    return layout;
}

} // namespace

int fallbackLinesPerPage() {
    QPrinter printer(QPrinter::HighResolution);
    preparePdfPrinter(printer);
    return linesPerPage(printer);
}

namespace {

// The A4 page of an exported PDF: when A4 holds another number of 8-point lines than
// `linesPerPageCount`, the sheet keeps the A4 width and gets the height of exactly that many lines,
// so the PDF pages break where the printed ones would.
void fitPdfPage(QPrinter& printer, int linesPerPageCount) {
    if (linesPerPageCount < 1)
        throw Error("PDF: " + std::to_string(linesPerPageCount) + " реда на страница не са страница");
    preparePdfPrinter(printer);
    if (linesPerPage(printer, kDocumentPointSize) == linesPerPageCount)
        return;
    const double pitchPoints = lineHeight(printer, kDocumentPointSize) * 72.0 / kPdfResolution;
    const int width = QPageSize(QPageSize::A4).sizePoints().width();
    const int first = static_cast<int>(std::floor(linesPerPageCount * pitchPoints)) - 2;
    for (int height = std::max(first, 1); height <= first + 4 + static_cast<int>(pitchPoints); ++height) {
        printer.setPageSize(QPageSize(QSize(width, height), QStringLiteral("ORVA"), QPageSize::ExactMatch));
        printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
        if (linesPerPage(printer, kDocumentPointSize) == linesPerPageCount)
            return;
    }
    throw Error("PDF: никоя височина на страницата не побира точно " + std::to_string(linesPerPageCount) + " реда");
}

// The PDF writer's bytes into the one checked, atomic file writer.
class WriterSink final : public ByteSink {
public:
    explicit WriterSink(AtomicFileWriter& file) : file_(file) {}
    void write(std::string_view bytes) override { file_.write(bytes); }

private:
    AtomicFileWriter& file_;
};

} // namespace

struct PdfDocumentFile::Parts {
    AtomicFileWriter file;
    WriterSink sink{file};
    QByteArray font = embeddedDocumentFont();
    std::unique_ptr<PdfWriter> writer;
    explicit Parts(const std::string& path) : file(path) {}
};

PdfDocumentFile::PdfDocumentFile(const std::string& path, QPrinter& printer, int pointSize, int linesPerSheet,
                                 const std::string& title)
    : parts_(std::make_unique<Parts>(path)) {
    // The measures this printer gives the face, so the pages are those renderDocument would draw.
    PdfPageLayout layout = pdfPageLayout(printer, pointSize);
    if (linesPerSheet > 0)
        layout.linesPerPage = std::min(linesPerSheet, layout.linesPerPage);
    if (layout.linesPerPage < 1)
        throw Error("печат: на страницата не се събира нито един ред с шрифт " + std::to_string(pointSize) + " пункта");
    parts_->writer = std::make_unique<PdfWriter>(
        parts_->sink, std::string_view(parts_->font.constData(), static_cast<std::size_t>(parts_->font.size())),
        layout, title, "ОРВА");
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
    QPrinter printer(QPrinter::HighResolution);
    fitPdfPage(printer, linesPerPageCount);
    return std::make_unique<PdfDocumentFile>(path, printer, pointSize, 0, title);
}

void writeDocumentPdf(const std::string& path, const std::vector<std::string>& lines, int pointSize,
                      int linesPerPageCount, const std::string& title) {
    const std::unique_ptr<PdfDocumentFile> file = exportPdfFile(path, pointSize, linesPerPageCount, title);
    for (const std::string& line : lines)
        file->addLine(line);
    file->finish();
    file->publish();
}

void printDocument(QPrinter& printer, const std::vector<std::string>& lines, int pointSize,
                   const std::string& jobName, int linesPerSheet) {
    if (printer.outputFormat() == QPrinter::NativeFormat && !printer.isValid())
        throw Error("печат: няма принтер \"" + toUtf8(printer.printerName()) + "\"");
    const int fit = linesPerPage(printer, pointSize);
    if (linesPerSheet > fit)
        throw Error("printing: " + std::to_string(linesPerSheet) + " реда не се събират на страница на \"" +
                    toUtf8(printer.printerName()) + "\", която побира " + std::to_string(fit));
    const int perPage = linesPerSheet > 0 ? linesPerSheet : fit;
    printer.setDocName(QString::fromStdString(jobName));
    if (printer.outputFormat() != QPrinter::NativeFormat) {
        renderDocument(printer, lines, pointSize, perPage);
        return;
    }

    // The job is the PDF the renderer writes for the printer's own page, submitted to the print
    // server directly: Qt's CUPS engine would report a refused or aborted job as printed.
    QPrinter pdfPrinter(QPrinter::HighResolution);
    pdfPrinter.setOutputFormat(QPrinter::PdfFormat);
    pdfPrinter.setResolution(printer.resolution());
    pdfPrinter.setPageLayout(printer.pageLayout());
    pdfPrinter.setColorMode(printer.colorMode());
    const std::string queue = toUtf8(printer.printerName().section(QLatin1Char('/'), 0, 0));
    if (linesPerPage(pdfPrinter, pointSize) != linesPerPage(printer, pointSize))
        throw Error("печат: страницата на принтера \"" + queue + "\" не може да се възпроизведе");
    QTemporaryDir folder;
    if (!folder.isValid())
        throw Error("печат: няма временна папка за заданието");
    const std::string pdf = folder.filePath(QStringLiteral("job.pdf")).toStdString();
    try {
        PdfDocumentFile file(pdf, pdfPrinter, pointSize, perPage, jobName);
        for (const std::string& line : lines)
            file.addLine(line);
        file.finish();
        file.publish();
    } catch (const FileError&) {
        throw Error("печат: заданието не може да се запише в " + pdf);
    }

    std::vector<std::pair<std::string, std::string>> options{
        {"media", toUtf8(printer.pageLayout().pageSize().key())}};
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
    submitPdfJob(queue, pdf, jobName, options);
}

} // namespace orva
