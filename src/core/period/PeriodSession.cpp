#include "period/PeriodSession.h"

#include "period/Gate.h"
#include "text/LineSource.h"

namespace orva {

PeriodSession::PeriodSession(std::string folder, const ReadOptions& options, const std::atomic<bool>* cancel)
    : folder_(std::move(folder)), files_(surveyPeriod(folder_, options, cancel)),
      declaration_(loadDeclaration(files_)) {}

const FileSurvey& PeriodSession::journalFile(JournalKind kind) const {
    return kind == JournalKind::Purchases ? files_.purchases : files_.sales;
}

const JournalLayout& PeriodSession::journalLayout(JournalKind kind) const {
    return kind == JournalKind::Purchases ? purchasesLayout(files_.wording) : salesLayout(files_.wording);
}

std::unique_ptr<LineSource> PeriodSession::openJournal(JournalKind kind) const {
    const FileSurvey& file = journalFile(kind);
    try {
        return std::make_unique<FileLineSource>(file.path);
    } catch (const Error&) {
        throwAsJournalLoadError(file.name);
    }
}

JournalSummary PeriodSession::journal(JournalKind kind, int linesPerPage, JournalSink& sink,
                                      const std::function<void(std::string_view record)>& onRecord) const {
    const FileSurvey& file = journalFile(kind);
    const JournalLayout& layout = journalLayout(kind);
    try {
        FileLineSource source(file.path);
        JournalOptions options;
        options.codePage = file.codePage;
        options.fileName = file.name;
        JournalGate gate(file.name, layout.kind, file.codePage, declaration_.fields.at(0), declaration_.fields.at(2));
        options.onRecord = [&gate, &onRecord](std::string_view record, std::size_t) {
            gate.record(record);
            if (onRecord)
                onRecord(record);
        };
        JournalSummary summary = writeJournal(source, linesPerPage, declaration_.captionText, layout, sink, options);
        if (summary.endLine != 0)
            gate.shortLine(summary.endLineText, summary.endLine, summary.linesAfterEnd, summary.filledLinesAfterEnd);
        if (summary.nul)
            gate.nulByte(summary.nul->line, summary.nul->linesAfter);
        if (summary.droppedLine != 0)
            gate.shortLastLine(summary.droppedLastLine, summary.droppedLine);
        summary.problems = gate.problems();
        return summary;
    } catch (const Error&) {
        throwAsJournalLoadError(file.name);
    }
}

std::optional<ViesSummary> PeriodSession::vies(int linesPerPage, JournalSink& sink) const {
    if (!files_.vies)
        return std::nullopt;
    const ViesSummary summary = scanViesFile(*files_.vies);
    streamViesFile(*files_.vies, summary, linesPerPage, sink);
    return summary;
}

ReturnAnswers PeriodSession::presetAnswers(const std::optional<std::string>& givenDate) const {
    return orva::presetAnswers(declaration_, givenDate);
}

std::vector<std::string> PeriodSession::buildReturn(const ReturnAnswers& answers, int linesPerPage) const {
    return orva::buildReturn(declaration_, answers, linesPerPage);
}

void PeriodSession::releaseOpenFiles() {
    if (files_.vies)
        files_.vies->opened.reset();
}

std::vector<std::string> PeriodSession::changedFiles() const {
    std::vector<std::string> changed;
    const FileSurvey* read[] = {&files_.declaration, &files_.purchases, &files_.sales,
                                files_.vies && files_.vies->failure.empty() ? &*files_.vies : nullptr};
    for (const FileSurvey* file : read) {
        if (file == nullptr)
            continue;
        const auto now = currentIdentity(file->path);
        if (!now || !(*now == file->identity))
            changed.push_back(file->name);
    }
    return changed;
}

std::string PeriodSession::changedFilesNote() const {
    const std::vector<std::string> changed = changedFiles();
    if (changed.empty())
        return {};
    std::string names;
    for (const std::string& name : changed)
        names += (names.empty() ? "" : ", ") + name;
    return (changed.size() == 1 ? "Файлът " + names + " е променен" : "Файловете " + names + " са променени") +
           " след зареждането на периода: прочетено е това, което е на диска сега, не показаното.";
}

} // namespace orva
