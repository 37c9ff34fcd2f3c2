#pragma once

// The page and the face of the documents: what a sheet of a printer holds, and the embedded
// document font. The print sequence (Printing.h) and the window lay pages out with these.

#include "period/DocumentTable.h" // the documents' point sizes

class QByteArray;
class QFont;
class QPrinter;

namespace orva {

struct PdfPageLayout;

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

// The page of `printer` and the face at `pointSize` on it, in PDF points: the face's size and
// advance as Qt sets them at the printer's resolution, the pitch linesPerPage divides by, the first
// baseline at the ascent, lines wider than the printable area narrowed to it.
PdfPageLayout pdfPageLayout(QPrinter& printer, int pointSize);

// The most lines of `pointSize` one PDF page can hold: an A4-wide page of the greatest height a PDF
// page may have (14,400 points), at 1200 dpi without margins.
int maxPdfLinesPerPage(int pointSize = kDocumentPointSize);

// Makes `printer` the PDF page of an exported document: A4 portrait at 1200 dpi without margins;
// when A4 holds another number of 8-point lines than `linesPerPageCount`, the sheet keeps the A4
// width and gets the height of exactly that many lines, so the PDF pages break where the printed
// ones would. Throws orva::Error when no height holds exactly that many.
void fitPdfPage(QPrinter& printer, int linesPerPageCount);

} // namespace orva
