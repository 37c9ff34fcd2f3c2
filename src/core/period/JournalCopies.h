#pragma once

#include "journals/Journal.h"
#include "period/DataFiles.h"
#include "text/DocumentText.h"
#include "text/LineFile.h"

#include <atomic>
#include <exception>
#include <memory>
#include <string>

namespace orva {

class PeriodSession;

// Writes a journal into its copy file as it is built, noting where each line starts, so the copy
// can be shown mapped instead of holding the document's text (a million purchases are 400 MB).
// The copy is put in place by publish() only; dropped before, the old copy stays as it was.
class CopyFileSink final : public JournalSink {
public:
    // `stop`, when given and set, ends the build at its next line (another part of the load failed).
    // Throws FileError naming `path` when the copy cannot be begun.
    explicit CopyFileSink(const std::string& path, const std::atomic<bool>* stop = nullptr);

    void reserve(std::size_t lines) override { starts_.reserve(lines); }
    // A failed write ends the build with CopyBuildStopped and is kept as writeFailure(): passed up
    // as it stands it would be taken for a failure to read the journal's own file.
    void line(std::string_view text) override;
    std::exception_ptr writeFailure() const { return writeFailure_; }
    bool canRestart() const override { return true; }
    void restart() override;

    // Everything on disk; returns the written file mapped. Throws FileError naming the copy.
    std::shared_ptr<const MappedText> finish();
    void publish();

private:
    AtomicFileWriter file_;
    const std::atomic<bool>* stop_;
    LineStarts starts_;
    std::uint64_t written_ = 0;
    std::size_t longest_ = 0;
    std::exception_ptr writeFailure_;
};

// The build was ended by `stop` or by a failed write of the copy: the failure is reported elsewhere.
struct CopyBuildStopped {};

struct JournalCopy {
    std::shared_ptr<const MappedText> text;
    JournalSummary summary;
};

// Both journals built and mapped. Their copies go in place by publish() only: a period whose load
// is then given up (the user said no) leaves the old copies as they were, and the shown period's
// mapped copies keep their own files whatever is published over them.
struct JournalCopies {
    JournalCopy purchases;
    JournalCopy sales;
    std::unique_ptr<CopyFileSink> purchasesFile;
    std::unique_ptr<CopyFileSink> salesFile;

    void publish(); // throws FileError naming the copy
};

// Builds both journals of the period at once (the sales on a second thread), each straight into its
// copy file, and returns them mapped, not yet in place. Throws as PeriodSession::journal (PeriodError),
// or FileError naming a copy that cannot be written; when both fail, the purchases' failure.
JournalCopies writeJournalCopies(const PeriodSession& period, int linesPerPage, const std::string& purchasesCopy,
                                 const std::string& salesCopy);

} // namespace orva
