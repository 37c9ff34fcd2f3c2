#include "period/DataFiles.h"

#include "journals/RecordLayout.h"
#include "period/BothJournals.h"
#include "period/Period.h"
#include "text/Ascii.h"
#include "text/FileNames.h"
#include "text/LineFile.h"
#include "text/Paths.h"

#include <algorithm>
#include <dirent.h>
#include <exception>
#include <sys/stat.h>
#include <vector>

namespace orva {

namespace {

[[noreturn]] void fail(const std::string& name, const std::string& what) {
    throw PeriodError(PeriodError::Stage::Load, name + ": " + what);
}

FileSurvey surveyFile(const std::string& folder, const std::string& name, const std::atomic<bool>* cancel,
                      bool keepOpen);
// VIES.TXT, the code pages given, the generation and the wording, once the three files are surveyed.
PeriodFiles settleGeneration(PeriodFiles files, const std::string& folder, const ReadOptions& options);

// VIES.TXT when the folder has it (under any case of its name). Whatever keeps it from being
// surveyed is kept in `failure`, not thrown: the other documents do not depend on it.
std::optional<FileSurvey> surveyViesFile(const std::string& folder) {
    const char* const name = kViesFileName;
    try {
        const std::string path = findDataFile(folder, name);
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0)
            return std::nullopt;
        return surveyFile(folder, name, nullptr, true);
    } catch (const PeriodError& error) {
        FileSurvey survey;
        survey.path = joinPath(folder, name);
        survey.name = name;
        const std::string prefix = std::string(name) + ": ";
        const std::string what = error.what();
        survey.failure = what.compare(0, prefix.size(), prefix) == 0 ? what.substr(prefix.size()) : what;
        return survey;
    }
}

} // namespace

std::optional<FileSurvey::Identity> currentIdentity(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    FileSurvey::Identity identity;
    identity.device = static_cast<std::uint64_t>(info.st_dev);
    identity.inode = static_cast<std::uint64_t>(info.st_ino);
    identity.size = static_cast<std::uint64_t>(info.st_size);
    identity.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return identity;
}

const char* returnLayoutName(ReturnLayout layout) {
    return layout == ReturnLayout::Classic ? "класическо" : "текущо";
}

std::string findDataFile(const std::string& folder, const std::string& name) {
    const std::string exact = joinPath(folder, name);
    struct stat info {};
    if (::lstat(exact.c_str(), &info) == 0)
        return exact;

    std::vector<std::string> matches;
    if (DIR* directory = ::opendir(folder.empty() ? "." : folder.c_str())) {
        while (const dirent* entry = ::readdir(directory)) {
            const std::string entryName = entry->d_name;
            if (equalFoldedAscii(entryName, name))
                matches.push_back(entryName);
        }
        ::closedir(directory);
    }
    if (matches.empty())
        return exact;
    if (matches.size() > 1) {
        std::sort(matches.begin(), matches.end());
        std::string list;
        for (const std::string& match : matches)
            list += (list.empty() ? "" : ", ") + match;
        fail(name, "няколко файла отговарят: " + list);
    }
    return joinPath(folder, matches.front());
}

FileSurvey surveyDataFile(const std::string& folder, const std::string& name, const std::atomic<bool>* cancel) {
    return surveyFile(folder, name, cancel, false);
}

namespace {

FileSurvey surveyFile(const std::string& folder, const std::string& name, const std::atomic<bool>* cancel,
                      bool keepOpen) {
    FileSurvey survey;
    survey.path = findDataFile(folder, name);
    survey.name = fileName(survey.path);

    CodePageCounter counter;
    bool lineEnded = false;
    std::size_t bytes = 0;
    try {
        std::size_t size = 0;
        auto file = std::make_shared<UniqueFd>(openFileForReading(survey.path, size));
        readFileChunks(*file, survey.path, 1 << 20, [&](std::string_view chunk) {
            if (bytes == 0)
                survey.byteOrderMark = chunk.substr(0, 3) == "\xEF\xBB\xBF";
            bytes += chunk.size();
            counter.add(chunk.data(), chunk.size());
            if (!lineEnded) {
                const std::size_t end = chunk.find_first_of(std::string_view("\r\n\0", 3));
                survey.firstLineLength += end == std::string_view::npos ? chunk.size() : end;
                lineEnded = end != std::string_view::npos;
            }
            return !(cancel && cancel->load(std::memory_order_relaxed));
        });
        if (keepOpen)
            survey.opened = std::move(file);
    } catch (const FileError& error) {
        fail(name, error.what());
    }
    if (cancel && cancel->load(std::memory_order_relaxed))
        throw Cancelled();
    survey.empty = bytes == 0;
    survey.codePage = counter.codePage();
    if (const auto identity = currentIdentity(survey.path))
        survey.identity = *identity;
    return survey;
}

// The start of a journal: the file opened as every reader opens it, its first line measured. Its code
// page is the whole read's to count.
FileSurvey surveyStart(const std::string& folder, const std::string& name) {
    FileSurvey survey;
    survey.path = findDataFile(folder, name);
    survey.name = fileName(survey.path);
    survey.codePageCounted = false;
    std::size_t bytes = 0;
    try {
        std::size_t size = 0;
        const UniqueFd file = openFileForReading(survey.path, size);
        readFileChunks(file, survey.path, 1 << 16, [&](std::string_view chunk) {
            if (bytes == 0)
                survey.byteOrderMark = chunk.substr(0, 3) == "\xEF\xBB\xBF";
            bytes += chunk.size();
            const std::size_t end = chunk.find_first_of(std::string_view("\r\n\0", 3));
            survey.firstLineLength += end == std::string_view::npos ? chunk.size() : end;
            return end == std::string_view::npos;
        });
    } catch (const FileError& error) {
        fail(name, error.what());
    }
    survey.empty = bytes == 0;
    if (const auto identity = currentIdentity(survey.path))
        survey.identity = *identity;
    return survey;
}

} // namespace

void settleCodePage(FileSurvey& file, const CodePageCounter& counter) {
    if (!file.codePageCounted)
        file.codePage = counter.codePage();
    file.codePageCounted = true;
}

PeriodFiles surveyPeriod(const std::string& folder, const ReadOptions& options, const std::atomic<bool>* cancel,
                         JournalSurvey journals) {
    PeriodFiles files;
    files.declaration = surveyDataFile(folder, kDeclarationFileName, cancel);
    if (journals == JournalSurvey::Start) {
        files.purchases = surveyStart(folder, kPurchasesFileName);
        files.sales = surveyStart(folder, kSalesFileName);
        for (FileSurvey* file : {&files.purchases, &files.sales})
            file->codePage = files.declaration.codePage;
        return settleGeneration(std::move(files), folder, options);
    }
    // Each journal is read whole to count its code page: the two are read at once.
    forBothJournals([&] { files.purchases = surveyDataFile(folder, kPurchasesFileName, cancel); },
                    [&] { files.sales = surveyDataFile(folder, kSalesFileName, cancel); });
    return settleGeneration(std::move(files), folder, options);
}

namespace {

PeriodFiles settleGeneration(PeriodFiles files, const std::string& folder, const ReadOptions& options) {
    files.vies = surveyViesFile(folder);
    if (options.codePage) {
        for (FileSurvey* file : {&files.declaration, &files.purchases, &files.sales}) {
            file->codePage = *options.codePage;
            file->codePageCounted = true;
        }
        if (files.vies)
            files.vies->codePage = *options.codePage;
    }
    // Today's programs write today's return record: a Windows-1251 deklar.txt or a journal of
    // today's record generation says the return is in the current layout too.
    const bool current = files.declaration.codePage == CodePage::Windows1251 ||
                         purchasesRecordLayout().generationOf(files.purchases.firstLineLength) == Generation::Today ||
                         salesRecordLayout().generationOf(files.sales.firstLineLength) == Generation::Today;
    files.returnLayout = options.returnLayout.value_or(current ? ReturnLayout::Current : ReturnLayout::Classic);
    // A period of today's files is printed in today's wording; the order of the four cells does not
    // decide it, so --return-layout classic on today's files keeps it.
    files.wording = options.wording.value_or(current ? Wording::Today : Wording::Classic);
    return files;
}

} // namespace

std::string PeriodFiles::description() const {
    std::string text = std::string("Декларация: ") + returnLayoutName(returnLayout) + " поколение";
    for (const FileSurvey* file : {&declaration, &purchases, &sales})
        text += std::string("; ") + file->name + ": " + codePageName(file->codePage);
    return text;
}

} // namespace orva
