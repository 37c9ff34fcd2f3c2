#include "JournalOf.h"

#include "text/LineSource.h"

namespace orva {

namespace {

JournalResult collect(LineSource& source, int linesPerPage, const std::string& captionText, const JournalLayout& layout,
                      CodePage codePage) {
    JournalResult result;
    LineCollector sink(result.lines);
    JournalOptions options;
    options.codePage = codePage;
    JournalSummary summary = writeJournal(source, linesPerPage, captionText, layout, sink, options);
    result.totals = std::move(summary.totals);
    result.records = summary.records;
    return result;
}

} // namespace

JournalResult buildJournal(std::string_view fileBytes, int linesPerPage, const std::string& captionText,
                           const JournalLayout& layout, CodePage codePage) {
    MemoryLineSource source(fileBytes);
    return collect(source, linesPerPage, captionText, layout, codePage);
}

JournalResult buildJournalFromFile(const std::string& path, int linesPerPage, const std::string& captionText,
                                   const JournalLayout& layout, CodePage codePage) {
    FileLineSource source(path);
    return collect(source, linesPerPage, captionText, layout, codePage);
}

} // namespace orva
