#include "render/Printing.h"

#include "render/CupsJob.h"
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
#include <QStringList>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

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
        throw Error("printing: not one line of the " + std::to_string(pointSize) + "-point face fits on the page");
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString target =
            printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : printer.printerName();
        throw Error("printing: the print job could not be started on \"" + toUtf8(target) + "\"");
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
                throw Error("printing: the printer refused a new page");
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
        throw Error("printing: the print job could not be completed");
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
        throw Error("the font resource MYFONT/MYFONT_1 cannot be read");
    QByteArray bytes = resource.readAll();
    if (bytes.isEmpty())
        throw Error("the font resource MYFONT/MYFONT_1 is empty");
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

// The one way a document becomes a PDF file, for export and for the print job alike: written
// beside the target and renamed over it, so a failed write leaves no half file.
void writePdfFile(QPrinter& pdfPrinter, const std::string& path, const std::vector<std::string>& lines,
                  int pointSize, int perPage, const std::string& title) {
    const std::string partial = path + ".part";
    pdfPrinter.setOutputFileName(QString::fromStdString(partial));
    pdfPrinter.setDocName(QString::fromStdString(title));
    pdfPrinter.setCreator(QStringLiteral("ОРВА"));
    try {
        renderDocument(pdfPrinter, lines, pointSize, perPage);
    } catch (const Error&) {
        std::remove(partial.c_str());
        throw FileError("не може да се запише " + path);
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        throw FileError("не може да се запише " + path);
    }
}

void preparePdfPrinter(QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(kPdfResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

} // namespace

int fallbackLinesPerPage() {
    QPrinter printer(QPrinter::HighResolution);
    preparePdfPrinter(printer);
    return linesPerPage(printer);
}

void writeDocumentPdf(const std::string& path, const std::vector<std::string>& lines, int pointSize,
                      int linesPerPageCount, const std::string& title) {
    if (linesPerPageCount < 1)
        throw Error("PDF: " + std::to_string(linesPerPageCount) + " lines per page is not a page");
    QPrinter printer(QPrinter::HighResolution);
    preparePdfPrinter(printer);

    // The page breaks must fall where the printed ones would: when A4 holds another number of
    // 8-point lines, the sheet keeps the A4 width and gets the height of exactly that many lines.
    if (linesPerPage(printer, kDocumentPointSize) != linesPerPageCount) {
        const double pitchPoints = lineHeight(printer, kDocumentPointSize) * 72.0 / kPdfResolution;
        const int width = QPageSize(QPageSize::A4).sizePoints().width();
        const int first = static_cast<int>(std::floor(linesPerPageCount * pitchPoints)) - 2;
        bool fitted = false;
        for (int height = std::max(first, 1); height <= first + 4 + static_cast<int>(pitchPoints); ++height) {
            printer.setPageSize(QPageSize(QSize(width, height), QStringLiteral("ORVA"), QPageSize::ExactMatch));
            printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
            if (linesPerPage(printer, kDocumentPointSize) == linesPerPageCount) {
                fitted = true;
                break;
            }
        }
        if (!fitted)
            throw Error("PDF: no page height holds exactly " + std::to_string(linesPerPageCount) + " lines");
    }

    writePdfFile(printer, path, lines, pointSize, linesPerPage(printer, pointSize), title);
}

void printDocument(QPrinter& printer, const std::vector<std::string>& lines, int pointSize,
                   const std::string& jobName, int linesPerSheet) {
    if (printer.outputFormat() == QPrinter::NativeFormat && !printer.isValid())
        throw Error("printing: there is no printer \"" + toUtf8(printer.printerName()) + "\"");
    const int fit = linesPerPage(printer, pointSize);
    if (linesPerSheet > fit)
        throw Error("printing: " + std::to_string(linesPerSheet) + " lines do not fit on a page of \"" +
                    toUtf8(printer.printerName()) + "\", which holds " + std::to_string(fit));
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
        throw Error("printing: the page of the printer \"" + queue + "\" cannot be reproduced");
    QTemporaryDir folder;
    if (!folder.isValid())
        throw Error("printing: no temporary folder for the print job");
    const std::string pdf = folder.filePath(QStringLiteral("job.pdf")).toStdString();
    try {
        writePdfFile(pdfPrinter, pdf, lines, pointSize, perPage, jobName);
    } catch (const FileError&) {
        throw Error("printing: the print job could not be written to " + pdf);
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
