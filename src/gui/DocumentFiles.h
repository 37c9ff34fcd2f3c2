#pragma once

#include <QString>

#include <string>

class DocumentView;

namespace orva {
struct Declaration;
}

// What the window says and writes of a shown document as pages and files: the page status and
// "Запази като PDF".
namespace document_files {

// "стр. N от M" for the view's top line paged at `linesPerPage`; the label is one sheet whatever its
// length, and an unpaged view (the check's report, an empty one) has no page.
QString pageStatus(const DocumentView& view, int linesPerPage, bool label, bool paged);

// Writes the view's document to `path` through the PDF writer orva-cli export uses (the same pages
// as printed; the label keeps to one sheet). Throws orva::Error / orva::FileError naming the failure.
void saveAsPdf(const DocumentView& view, bool label, int linesPerPage, const std::string& title,
               const std::string& path);

// "<VAT number>-<YYYYMM>-<tab>.pdf": the firm and the period first, so a month's files of several
// firms keep apart; the tab's first word (the check's without its count), in small letters.
QString suggestedPdfName(const orva::Declaration& declaration, const QString& tabText);

} // namespace document_files
