#include "gui/RecordJump.h"

#include "gui/DocumentView.h"
#include "journals/Journal.h"

#include <QTabWidget>

void showRecordIn(QTabWidget* tabs, DocumentView* view, const orva::JournalLayout* layout, int linesPerPage,
                  std::size_t recordLine) {
    std::size_t line = 0;
    // The record's block, highlighted: the identity line and its amount lines. A line past the
    // records laid out (after the line that ended the data) lies past the document's end, which the
    // view shows instead.
    std::size_t blockLines = 0;
    if (layout != nullptr) {
        line = orva::recordBlockLine(*layout, linesPerPage, recordLine);
        if (recordLine > 0 && line > 0)
            blockLines = static_cast<std::size_t>(layout->blockHeight() - 1);
    }
    tabs->setCurrentWidget(view->parentWidget());
    view->setFocus(Qt::OtherFocusReason);
    view->showLineAtTop(line);
    view->highlightLines(line, blockLines);
}
