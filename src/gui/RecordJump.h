#pragma once

#include <cstddef>

class DocumentView;
class QTabWidget;

namespace orva {
struct JournalLayout;
}

// Where a report's line leads (the check's findings, the comparisons' records): the document's tab
// shown, the keyboard in it, the record's block at the top and highlighted. `layout` is the
// journal's, or null for a document without records (its start is shown); `recordLine` the record's
// line in its file (0: the document's start).
void showRecordIn(QTabWidget* tabs, DocumentView* view, const orva::JournalLayout* layout, int linesPerPage,
                  std::size_t recordLine);
