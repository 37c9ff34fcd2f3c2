#include "period/JournalCopies.h"

#include "period/PeriodSession.h"
#include "text/Errors.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <thread>

namespace orva {

CopyFileSink::CopyFileSink(const std::string& path, const std::atomic<bool>* stop) : file_(path), stop_(stop) {}

void CopyFileSink::line(std::string_view text) {
    if (stop_ != nullptr && stop_->load(std::memory_order_relaxed))
        throw CopyBuildStopped{};
    starts_.add(written_);
    written_ += text.size() + 2;
    longest_ = std::max(longest_, text.size());
    try {
        file_.writeLine(text);
    } catch (const FileError&) {
        writeFailure_ = std::current_exception();
        throw CopyBuildStopped{};
    }
}

void CopyFileSink::restart() {
    file_.restart();
    starts_ = LineStarts();
    written_ = 0;
    longest_ = 0;
}

std::shared_ptr<const MappedText> CopyFileSink::finish() {
    file_.finish();
    starts_.shrinkToFit();
    return std::make_shared<const MappedText>(file_.openWritten(), file_.path(), static_cast<std::size_t>(written_),
                                              std::move(starts_), longest_);
}

void CopyFileSink::publish() {
    file_.publish();
}

namespace {

// One journal into its copy, finished but not yet in place.
struct CopyBuild {
    std::unique_ptr<CopyFileSink> sink;
    JournalCopy copy;
    std::exception_ptr failure;
};

// `stop`, when given, is watched; `failed`, when given, is set on a failure.
void build(CopyBuild& into, const PeriodSession& period, JournalKind kind, int linesPerPage,
           const std::string& copyPath, const std::atomic<bool>* stop, std::atomic<bool>* failed) {
    try {
        into.sink = std::make_unique<CopyFileSink>(copyPath, stop);
        into.copy.summary = period.journal(kind, linesPerPage, *into.sink);
        into.copy.text = into.sink->finish();
    } catch (const CopyBuildStopped&) {
        // Without a failed write of this copy, the other build's failure is reported.
        if (into.sink)
            into.failure = into.sink->writeFailure();
    } catch (...) {
        into.failure = std::current_exception();
    }
    if (into.failure && failed != nullptr)
        failed->store(true);
}

} // namespace

JournalCopies writeJournalCopies(const PeriodSession& period, int linesPerPage, const std::string& purchasesCopy,
                                 const std::string& salesCopy) {
    std::atomic<bool> stop{false};
    CopyBuild purchases, sales;
    // A failure of the purchases ends the sales' build: it is the one reported, as it always was.
    // The purchases are built to their end whatever happens to the sales, for the same reason.
    std::thread salesThread([&] { build(sales, period, JournalKind::Sales, linesPerPage, salesCopy, &stop, nullptr); });
    build(purchases, period, JournalKind::Purchases, linesPerPage, purchasesCopy, nullptr, &stop);
    salesThread.join();
    for (const CopyBuild* done : {&purchases, &sales})
        if (done->failure)
            std::rethrow_exception(done->failure);
    return {std::move(purchases.copy), std::move(sales.copy), std::move(purchases.sink), std::move(sales.sink)};
}

void JournalCopies::publish() {
    purchasesFile->publish();
    salesFile->publish();
}

} // namespace orva
