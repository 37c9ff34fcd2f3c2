#pragma once

#include "check/Finding.h"
#include "check/ReturnRules.h"
#include "journals/RecordLayout.h"
#include "period/PeriodSession.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// The pre-filing check of one period (`orva-cli check`): every record of both journals against the record
// rules, the return against the journals' totals. Each journal is read once, in chunks, through the journal
// engine with nothing kept of its document, so a period of millions of records needs little memory; the
// two are read at once.
namespace orva {

// Receives the findings as they are found: the purchases' in line order, then the sales', then the return's.
class FindingSink {
public:
    virtual ~FindingSink() = default;
    virtual void finding(const check::Finding& finding) = 0;
    // Every few thousand lines of a journal and at its end: its file's name and the share of it read (0..1).
    virtual void progress(const std::string& /*fileName*/, double /*done*/) {}
    // Once both journals are read: their code pages are counted now. The findings come after it, unless
    // takesFindingsEarly().
    virtual void journalsRead() {}
    // Whether the purchases' findings may come as soon as the purchases are checked, while the sales still
    // are, before journalsRead(): a sink that holds what it writes until then, and little of it.
    virtual bool takesFindingsEarly() const { return false; }
};

class FindingSpool;

class PeriodCheck {
public:
    // The check of `period`, which must outlive it. `cancel`, when given, is read at every progress
    // report: once it is true, run() throws Cancelled.
    explicit PeriodCheck(const PeriodSession& period, const std::atomic<bool>* cancel = nullptr);

    // Whether run() checks the two journals at once, the sales on a thread of its own (the default).
    // Off where periods are already checked side by side, one thread each.
    void checkJournalsAtOnce(bool atOnce) { journalsAtOnce_ = atOnce; }

    const PeriodFiles& files() const { return files_; }
    const Declaration& declaration() const { return declaration_; }
    // The return's cells as they would be printed (corrected answers, period/Answers.h) take the record's
    // place in the return's rules.
    void useCells(const ReturnCells& cells) { declaration_.cells = cells; }

    // Reads both journals to their ends, whatever their records hold, and runs every rule; returns the
    // return's rule table. Throws PeriodError (Stage::Load) when a journal file cannot be opened or read.
    std::vector<CheckRow> run(FindingSink& sink);

    // After run(): the records of each journal.
    std::size_t purchaseRecords() const { return purchaseRecords_; }
    std::size_t saleRecords() const { return saleRecords_; }

private:
    // `stop`, when set, ends the check at its next progress report (the other journal failed).
    JournalTotals checkJournal(JournalKind kind, FindingSpool& sink, const std::atomic<bool>* stop);
    // The return record's own fields and the files' first bytes, reported on the file they are in.
    void checkReturnRecord(FindingSink& sink) const;
    void checkReturnCells(const JournalTotals& sales, FindingSink& sink) const;
    // The sink's progress report, once the cancel flag has been read.
    void progress(FindingSink& sink, const std::string& fileName, double done, const std::atomic<bool>* stop) const;

    const std::atomic<bool>* cancel_;
    const PeriodSession& period_;
    const PeriodFiles& files_;
    Declaration declaration_;
    std::size_t purchaseRecords_ = 0;
    std::size_t saleRecords_ = 0;
    bool journalsAtOnce_ = true;
};

} // namespace orva
