#include "render/PageMetrics.h"

#include "pdf/PdfWriter.h"
#include "render/PrintServer.h"
#include "text/Errors.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QRawFont>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

// The font resource lives in a static library: without an explicit reference its object file
// (and with it the resource) would be dropped by the linker.
static void initDocumentFontResource() {
    Q_INIT_RESOURCE(orva_font);
}

namespace orva {

namespace {

constexpr int kPdfResolution = 1200;
// Readers refuse a page taller or wider than this (PDF's limit on a page's size, in points).
constexpr int kMaxPdfPagePoints = 14400;

// The printable area in device pixels, in the painter's coordinates of a full-page printer:
// the sheet less the margins that preparePrinter set to the printer's minimum.
QRect printableArea(const QPrinter& printer) {
    const QPageLayout layout = printer.pageLayout();
    const int resolution = printer.resolution();
    const QRect full = layout.fullRectPixels(resolution);
    const QMargins margins = layout.marginsPixels(resolution);
    return full.adjusted(margins.left(), margins.top(), -margins.right(), -margins.bottom());
}

int lineHeight(QPrinter& printer, int pointSize) {
    return QFontMetrics(documentFont(pointSize), &printer).height();
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

int fallbackLinesPerPage() {
    std::optional<PrintServerAside> aside(std::in_place); // a PDF page: no printer to look for
    QPrinter printer(QPrinter::HighResolution);
    aside.reset();
    preparePdfPrinter(printer);
    return linesPerPage(printer);
}

int maxPdfLinesPerPage(int pointSize) {
    // A PDF page: no printer to look for (Qt would ask the print server for its default, with no deadline).
    std::optional<PrintServerAside> aside(std::in_place);
    QPrinter printer(QPrinter::HighResolution);
    aside.reset();
    preparePdfPrinter(printer);
    const int width = QPageSize(QPageSize::A4).sizePoints().width();
    printer.setPageSize(QPageSize(QSize(width, kMaxPdfPagePoints), QStringLiteral("ORVA"), QPageSize::ExactMatch));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    return linesPerPage(printer, pointSize);
}

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

} // namespace orva
