#include "gui/DocumentFiles.h"

#include "declaration/Declaration.h"
#include "gui/DocumentView.h"
#include "render/PageMetrics.h"
#include "render/Printing.h"
#include "render/QtText.h"
#include "text/Errors.h"

#include <QStringList>

#include <algorithm>
#include <memory>

namespace document_files {

QString pageStatus(const DocumentView& view, int linesPerPage, bool label, bool paged) {
    if (label)
        return QStringLiteral("стр. 1 от 1");
    if (!paged || view.lineCount() == 0 || linesPerPage <= 0)
        return {};
    const auto perPage = static_cast<std::size_t>(linesPerPage);
    const std::size_t top = static_cast<std::size_t>(std::max(0, view.firstVisibleLine()));
    return QStringLiteral("стр. %1 от %2")
        .arg(std::min(top, view.lineCount() - 1) / perPage + 1)
        .arg((view.lineCount() + perPage - 1) / perPage);
}

void saveAsPdf(const DocumentView& view, bool label, int linesPerPage, const std::string& title,
               const std::string& path) {
    if (view.lineCount() == 0)
        throw orva::Error("Няма какво да се печата.");
    const std::unique_ptr<orva::PdfDocumentFile> file =
        orva::exportPdfFile(path, label ? orva::kLabelPointSize : orva::kDocumentPointSize, linesPerPage, title);
    const orva::DocumentText& text = view.text();
    for (std::size_t line = 0; line < text.lineCount(); ++line)
        file->addLine(text.line(line));
    file->finish();
    file->publish();
}

QString suggestedPdfName(const orva::Declaration& declaration, const QString& tabText) {
    QString name;
    for (const std::string& part : {declaration.vatNumber, declaration.periodText}) {
        QString text = orva::toQString(part).trimmed();
        // "11/2026" as "202611": such names sort by period.
        const QStringList monthYear = text.split(QLatin1Char('/'));
        if (monthYear.size() == 2 && monthYear[0].size() == 2 && monthYear[1].size() == 4)
            text = monthYear[1] + monthYear[0];
        if (!text.isEmpty())
            name += text + QLatin1Char('-');
    }
    name += tabText.section(QLatin1Char(' '), 0, 0).toLower();
    // A name, never a path.
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return name + QStringLiteral(".pdf");
}

} // namespace document_files
