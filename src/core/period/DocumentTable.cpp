#include "period/DocumentTable.h"

#include "compare/CorrectionMemo.h"
#include "compare/PeriodDiff.h"
#include "period/PeriodSession.h"
#include "report/ReconcileDocument.h"

namespace orva {

namespace {

bool always(const DocumentInputs&) {
    return true;
}

bool hasVies(const DocumentInputs& inputs) {
    return inputs.period->files().vies.has_value();
}

void lines(const std::vector<std::string>& text, JournalSink& sink) {
    for (const std::string& line : text)
        sink.line(line);
}

DocumentOutcome buildLabel(const DocumentInputs& inputs, int, JournalSink& sink) {
    lines(inputs.period->declaration().label, sink);
    return {};
}

DocumentOutcome buildJournal(JournalKind kind, const DocumentInputs& inputs, int linesPerPage, JournalSink& sink) {
    DocumentOutcome outcome;
    outcome.journal = inputs.period->journal(kind, linesPerPage, sink);
    outcome.problems = outcome.journal.problems;
    return outcome;
}

DocumentOutcome buildPurchases(const DocumentInputs& inputs, int linesPerPage, JournalSink& sink) {
    return buildJournal(JournalKind::Purchases, inputs, linesPerPage, sink);
}

DocumentOutcome buildSales(const DocumentInputs& inputs, int linesPerPage, JournalSink& sink) {
    return buildJournal(JournalKind::Sales, inputs, linesPerPage, sink);
}

DocumentOutcome buildReturnDocument(const DocumentInputs& inputs, int linesPerPage, JournalSink& sink) {
    lines(inputs.period->buildReturn(*inputs.answers, linesPerPage), sink);
    return {};
}

DocumentOutcome buildVies(const DocumentInputs& inputs, int linesPerPage, JournalSink& sink) {
    DocumentOutcome outcome;
    outcome.vies = inputs.period->vies(linesPerPage, sink);
    return outcome;
}

bool hasOlderPeriod(const DocumentInputs& inputs) {
    return inputs.olderPeriod != nullptr;
}

DocumentOutcome buildCorrectionMemo(const DocumentInputs& inputs, int linesPerPage, JournalSink& sink) {
    const compare::PeriodDiff diff = compare::comparePeriods(*inputs.olderPeriod, *inputs.period);
    lines(compare::correctionMemo(diff, inputs.period->declaration(), inputs.olderPeriod->folder(),
                                  inputs.period->folder(), linesPerPage),
          sink);
    return {};
}

bool hasReports(const DocumentInputs& inputs) {
    return inputs.reports != nullptr && !inputs.reports->empty();
}

DocumentOutcome buildReconciliation(const DocumentInputs& inputs, int linesPerPage, JournalSink& sink) {
    if (!hasReports(inputs))
        throw Error("сравнението със справката от НАП иска поне една справка");
    DocumentOutcome outcome;
    outcome.problems = report::writeReconciliation(*inputs.period, *inputs.reports, linesPerPage, sink).problems;
    return outcome;
}

const DocumentType kLabel{DocumentKind::Label, "label", "ЕТИКЕТ", kLabelPointSize, false, always, buildLabel};
const DocumentType kPurchases{DocumentKind::Purchases, "purchases", "ПОКУПКИ", kDocumentPointSize, true, always,
                              buildPurchases};
const DocumentType kSales{DocumentKind::Sales, "sales", "ПРОДАЖБИ", kDocumentPointSize, true, always, buildSales};
const DocumentType kReturn{DocumentKind::Return, "return", "ДЕКЛАРАЦИЯ", kDocumentPointSize, true, always,
                           buildReturnDocument};
const DocumentType kVies{DocumentKind::Vies, "vies", "VIES", kDocumentPointSize, true, hasVies, buildVies};
const DocumentType kCorrectionMemo{
    DocumentKind::CorrectionMemo, "memo", "РАЗЛИКИ", kDocumentPointSize, true, hasOlderPeriod, buildCorrectionMemo};
const DocumentType kReconciliation{DocumentKind::Reconciliation,
                                   "reconciliation",
                                   "СРАВНЕНИЕ С НАП",
                                   kDocumentPointSize,
                                   true,
                                   hasReports,
                                   buildReconciliation,
                                   false};

} // namespace

const DocumentType& labelDocument() {
    return kLabel;
}
const DocumentType& purchasesDocument() {
    return kPurchases;
}
const DocumentType& salesDocument() {
    return kSales;
}
const DocumentType& returnDocument() {
    return kReturn;
}
const DocumentType& viesDocument() {
    return kVies;
}
const DocumentType& reconciliationDocument() {
    return kReconciliation;
}

const DocumentType& correctionMemoDocument() {
    return kCorrectionMemo;
}

const std::vector<const DocumentType*>& documentTypes() {
    static const std::vector<const DocumentType*> types{&kLabel,  &kPurchases, &kSales,
                                                        &kReturn, &kVies,      &kReconciliation};
    return types;
}

const DocumentType* findDocument(std::string_view name) {
    for (const DocumentType* type : documentTypes())
        if (name == type->name)
            return type;
    return name == kCorrectionMemo.name ? &kCorrectionMemo : nullptr;
}

const DocumentType& documentOf(DocumentKind kind) {
    for (const DocumentType* type : documentTypes())
        if (type->kind == kind)
            return *type;
    return kind == DocumentKind::CorrectionMemo ? kCorrectionMemo : kLabel;
}

const DocumentType& journalDocument(JournalKind kind) {
    return kind == JournalKind::Purchases ? kPurchases : kSales;
}

} // namespace orva
