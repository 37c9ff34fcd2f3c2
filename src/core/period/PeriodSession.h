#pragma once

#include "declaration/Declaration.h"
#include "journals/Journal.h"
#include "period/DataFiles.h"
#include "period/Period.h"
#include "vies/Vies.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One tax period, read once: every path that shows, prints, exports or checks a period (the window,
// its check and print workers, every orva-cli command, the office) takes what it needs from a
// session, and only the session opens the period's files. It remembers what each file was when it
// was read, so that a later read (the check after the dialog, a journal paged again for another
// printer) can say that the file on disk is no longer the one shown.
namespace orva {

class LineSource;

class PeriodSession {
public:
    // Finds the files, settles the generation and reads the return record. The journals are read
    // only at their start: each one's code page is counted over every byte by its first whole read
    // (a journal built or checked), or by files() when it is asked before. Throws PeriodError
    // (Stage::Load) naming the file when the period cannot be read, Cancelled once `*cancel` is true.
    // `cancel` must outlive the session.
    explicit PeriodSession(std::string folder, const ReadOptions& options = {},
                           const std::atomic<bool>* cancel = nullptr);

    const std::string& folder() const { return folder_; }
    // The files with every code page settled: a journal not yet read whole is counted now.
    const PeriodFiles& files() const;
    // The files as far as read: a journal's code page may still be the return record's guess
    // (FileSurvey::codePageCounted). Its other fields are final, and the object is the one files()
    // returns, so a reference taken now shows the settled code pages once the journals are read.
    const PeriodFiles& filesAsRead() const { return files_; }
    const Declaration& declaration() const { return declaration_; }
    Wording wording() const { return files_.wording; }

    // A journal's file, its code page settled (as files()).
    const FileSurvey& journalFile(JournalKind kind) const;
    const JournalLayout& journalLayout(JournalKind kind) const;

    // One whole read of a journal's file through `pass`, given the code page to read it in. While the
    // journal's code page is not yet counted, the read counts it and `pass` starts with the return
    // record's; when the count disagrees, `restart` drops what the pass gave and the pass runs once
    // more with the counted code page, so what it gives is what a read in the right code page gives.
    // Without `restart` the code page is counted first, in a read of its own. `pass` may run on any
    // thread, one journal each. Throws what `pass` throws, FileError naming the file, Cancelled.
    void readJournal(JournalKind kind, const std::function<void(CodePage codePage, LineSource& source)>& pass,
                     const std::function<void()>& restart = {}) const;

    // One journal into `sink`, paged for `linesPerPage`, with the gate applied: the summary's
    // problems say why the journal is not the period's. `onRecord`, when set, sees every record laid
    // out as read (in the file's code page). Throws PeriodError (Stage::Load) naming the file, the
    // line and the field; FileError-free: a file that cannot be read is a PeriodError too.
    JournalSummary journal(JournalKind kind, int linesPerPage, JournalSink& sink,
                           const std::function<void(std::string_view record)>& onRecord = {}) const;

    // A journal's code page counted on a thread of its own while `meanwhile` runs on this one (another
    // file read), for a reader that must know it before it reads the journal. The journal's failure is
    // the one reported, as when it was counted first; then `meanwhile`'s.
    CodePage journalCodePageBeside(JournalKind kind, const std::function<void()>& meanwhile) const;

    // A journal's file opened for a reader of its own (the check reads every record to the end).
    // Throws PeriodError (Stage::Load) naming the file.
    std::unique_ptr<LineSource> openJournal(JournalKind kind) const;

    // The VIES declaration into `sink` when the period has VIES.TXT; std::nullopt without one.
    // Nothing in VIES.TXT fails: what cannot be read is said at the document's top.
    std::optional<ViesSummary> vies(int linesPerPage, JournalSink& sink) const;

    // What the additional-data dialog starts with (period/Period.h, presetAnswers).
    ReturnAnswers presetAnswers(const std::optional<std::string>& givenDate = {}) const;
    // The return form from the dialog's answers.
    std::vector<std::string> buildReturn(const ReturnAnswers& answers, int linesPerPage) const;

    // Lets go of the files the survey keeps open (VIES.TXT, so that both of its passes read one file):
    // once the documents are built, a period shown for hours must not hold the data medium busy.
    // Later reads open the files by name again, and changedFiles() says whether they are the same.
    void releaseOpenFiles();

    // The names of the period's files (the return record, the journals, VIES.TXT) that are no longer
    // what the session read: replaced, rewritten, grown, cut or gone. Empty when all are as read.
    std::vector<std::string> changedFiles() const;
    // One line (UTF-8) for a report read again after the load: which files changed, or empty.
    std::string changedFilesNote() const;

private:
    // Counts the journal's code page in a read of its own, unless done (files(), journalFile()).
    void settle(JournalKind kind) const;
    FileSurvey& surveyOf(JournalKind kind) const;

    std::string folder_;
    const std::atomic<bool>* cancel_;
    // The journals' code pages are settled by the first whole read, on whichever thread reads it.
    mutable std::mutex settling_;
    mutable PeriodFiles files_;
    Declaration declaration_;
};

} // namespace orva
