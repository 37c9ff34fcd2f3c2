#pragma once

#include "journals/Journal.h"
#include "vies/Vies.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The documents a period gives, one row each: what the window's tabs, orva-cli's --document, the
// export's file names, print and save-as-PDF are all driven by. A new document is one row and one
// builder; a document built from more than one input (two periods, a period and another file) names
// them in its inputs.
namespace orva {

class PeriodSession;
struct ReturnAnswers;

enum class DocumentKind { Label, Purchases, Sales, Return, Vies, CorrectionMemo, Reconciliation };

// What a document is built from. Each builder takes what its row needs.
struct DocumentInputs {
    const PeriodSession* period = nullptr;
    const ReturnAnswers* answers = nullptr; // the return's
    // The correction memo's submission filed before `period` (the one to file).
    const PeriodSession* olderPeriod = nullptr;
    // The agency's reports of the sales declared to the firm (paths), for the reconciliation.
    const std::vector<std::string>* reports = nullptr;
};

// What building a document said besides its lines.
struct DocumentOutcome {
    std::vector<std::string> problems; // the gate's (a journal that is not the period's), UTF-8
    JournalSummary journal;            // a journal's totals and records
    std::optional<ViesSummary> vies;   // the VIES declaration's counts and problems
};

struct DocumentType {
    DocumentKind kind;
    const char* name;  // file name without extension, and --document
    const char* title; // the tab's caption, the PDF's title (UTF-8)
    int pointSize;     // of the document face on paper
    // Whether the document is paged by the printer's lines per page (the label is one sheet).
    bool paged;
    // Whether the inputs give this document at all (VIES: only a period with VIES.TXT).
    bool (*available)(const DocumentInputs& inputs);
    // Builds the document into `sink`. Throws as the inputs' reads do (PeriodError).
    DocumentOutcome (*build)(const DocumentInputs& inputs, int linesPerPage, JournalSink& sink);
    // Whether a period alone gives it; the reconciliation needs reports as well (print's --report).
    bool ofPeriodAlone = true;
};

inline constexpr int kLabelPointSize = 10;
inline constexpr int kDocumentPointSize = 8;

const DocumentType& labelDocument();
const DocumentType& purchasesDocument();
const DocumentType& salesDocument();
const DocumentType& returnDocument();
const DocumentType& viesDocument();
const DocumentType& reconciliationDocument();

// What changed between `olderPeriod` and `period`: a document of two periods, so none of the list below.
const DocumentType& correctionMemoDocument();

// Every document of a period, in the order of the window's tabs.
const std::vector<const DocumentType*>& documentTypes();
// The row named `name` (--document; the correction memo's too), or nullptr.
const DocumentType* findDocument(std::string_view name);
const DocumentType& documentOf(DocumentKind kind);
// The row of a journal's document.
const DocumentType& journalDocument(JournalKind kind);

} // namespace orva
