#include "period/PeriodSession.h"

#include "period/BothJournals.h"
#include "period/Gate.h"
#include "text/CodePage.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/LineSource.h"

#include <exception>
#include <future>

namespace orva {

PeriodSession::PeriodSession(std::string folder, const ReadOptions& options, const std::atomic<bool>* cancel)
    : folder_(std::move(folder)), cancel_(cancel), files_(surveyPeriod(folder_, options, cancel, JournalSurvey::Start)),
      declaration_(loadDeclaration(files_)) {}

FileSurvey& PeriodSession::surveyOf(JournalKind kind) const {
    return kind == JournalKind::Purchases ? files_.purchases : files_.sales;
}

const PeriodFiles& PeriodSession::files() const {
    {
        const std::lock_guard<std::mutex> lock(settling_);
        if (files_.purchases.codePageCounted && files_.sales.codePageCounted)
            return files_;
    }
    // Both at once, as the survey of the whole files always did.
    forBothJournals([this] { settle(JournalKind::Purchases); }, [this] { settle(JournalKind::Sales); });
    return files_;
}

const FileSurvey& PeriodSession::journalFile(JournalKind kind) const {
    settle(kind);
    return surveyOf(kind);
}

const JournalLayout& PeriodSession::journalLayout(JournalKind kind) const {
    return kind == JournalKind::Purchases ? purchasesLayout(files_.wording) : salesLayout(files_.wording);
}

namespace {

// Every byte of a journal's file as read: its code page.
struct ByteCount {
    CodePageCounter counter;
    void observe(FileLineSource& source) {
        source.observeBytes([this](std::string_view bytes) { counter.add(bytes.data(), bytes.size()); });
    }
};

} // namespace

void PeriodSession::settle(JournalKind kind) const {
    FileSurvey& file = surveyOf(kind);
    {
        const std::lock_guard<std::mutex> lock(settling_);
        if (file.codePageCounted)
            return;
    }
    ByteCount count;
    try {
        readFileChunks(file.path, 1 << 20, [&](std::string_view chunk) {
            count.counter.add(chunk.data(), chunk.size());
            return !(cancel_ && cancel_->load(std::memory_order_relaxed));
        });
    } catch (const Error&) {
        throwAsJournalLoadError(file.name);
    }
    if (cancel_ && cancel_->load(std::memory_order_relaxed))
        throw Cancelled();
    const std::lock_guard<std::mutex> lock(settling_);
    settleCodePage(file, count.counter);
}

void PeriodSession::readJournal(JournalKind kind, const std::function<void(CodePage, LineSource&)>& pass,
                                const std::function<void()>& restart) const {
    FileSurvey& file = surveyOf(kind);
    bool counted;
    CodePage codePage;
    {
        const std::lock_guard<std::mutex> lock(settling_);
        counted = file.codePageCounted;
        codePage = file.codePage;
    }
    if (!counted && !restart) {
        settle(kind);
        counted = true;
        codePage = file.codePage;
    }
    if (counted) {
        FileLineSource source(file.path);
        pass(codePage, source);
        return;
    }
    // The text's conversion is the only thing the code page changes: the pass runs in the return
    // record's code page while its bytes are counted, and only a count that disagrees costs a second read.
    ByteCount count;
    std::exception_ptr failure;
    {
        FileLineSource source(file.path);
        count.observe(source);
        try {
            pass(codePage, source);
        } catch (const FileError&) {
            throw;
        } catch (const Error&) {
            // The message may quote the record in the wrong code page: it stands once the count agrees.
            failure = std::current_exception();
        }
        source.readRest();
    }
    {
        const std::lock_guard<std::mutex> lock(settling_);
        settleCodePage(file, count.counter);
    }
    if (file.codePage == codePage) {
        if (failure)
            std::rethrow_exception(failure);
        return;
    }
    restart();
    FileLineSource again(file.path);
    pass(file.codePage, again);
}

CodePage PeriodSession::journalCodePageBeside(JournalKind kind, const std::function<void()>& meanwhile) const {
    auto counted = std::async(std::launch::async, [this, kind] { return journalFile(kind).codePage; });
    std::exception_ptr failure;
    try {
        meanwhile();
    } catch (...) {
        failure = std::current_exception();
    }
    const CodePage codePage = counted.get();
    if (failure)
        std::rethrow_exception(failure);
    return codePage;
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
    const FileSurvey& file = surveyOf(kind);
    const JournalLayout& layout = journalLayout(kind);
    JournalSummary summary;
    auto build = [&](CodePage codePage, LineSource& source) {
        JournalOptions options;
        options.codePage = codePage;
        options.fileName = file.name;
        JournalGate gate(file.name, layout.kind, codePage, declaration_.fields.at(0), declaration_.fields.at(2));
        options.onRecord = [&gate, &onRecord](std::string_view record, std::size_t) {
            gate.record(record);
            if (onRecord)
                onRecord(record);
        };
        summary = writeJournal(source, linesPerPage, declaration_.captionText, layout, sink, options);
        if (summary.endLine != 0)
            gate.shortLine(summary.endLineText, summary.endLine, summary.linesAfterEnd, summary.filledLinesAfterEnd);
        if (summary.nul)
            gate.nulByte(summary.nul->line, summary.nul->linesAfter);
        if (summary.droppedLine != 0)
            gate.shortLastLine(summary.droppedLastLine, summary.droppedLine);
        summary.problems = gate.problems();
    };
    // A pass seen record by record cannot be taken back, nor can lines a sink has let go of.
    std::function<void()> restart;
    if (!onRecord && sink.canRestart())
        restart = [&sink] { sink.restart(); };
    try {
        readJournal(kind, build, restart);
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
