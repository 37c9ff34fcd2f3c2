#include "period/DataFiles.h"

#include "period/Period.h"
#include "text/LineFile.h"
#include "text/Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orva {

namespace {

constexpr std::size_t kCurrentPurchaseLength = 274;
constexpr std::size_t kCurrentSalesLength = 424;

char foldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalFolded(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return foldAscii(x) == foldAscii(y); });
}

[[noreturn]] void fail(const std::string& name, const std::string& what) {
    throw PeriodError(PeriodError::Stage::Load, name + ": " + what);
}

// Closes the descriptor however the survey ends.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

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
            if (equalFolded(entryName, name))
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

FileSurvey surveyDataFile(const std::string& folder, const std::string& name) {
    FileSurvey survey;
    survey.path = findDataFile(folder, name);
    survey.name = fileName(survey.path);

    std::size_t size = 0;
    Descriptor file{-1};
    try {
        file.fd = openFileForReading(survey.path, size);
    } catch (const FileError& error) {
        fail(name, error.what());
    }
    survey.empty = size == 0;

    CodePageCounter counter;
    bool lineEnded = false;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(file.fd, buffer.data(), buffer.size());
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            try {
                throwFileError(FileAction::Read, survey.path, errno);
            } catch (const FileError& error) {
                fail(name, error.what());
            }
        }
        const std::size_t size = static_cast<std::size_t>(got);
        counter.add(buffer.data(), size);
        if (!lineEnded) {
            std::size_t i = 0;
            while (i < size && buffer[i] != '\r' && buffer[i] != '\n' && buffer[i] != '\0')
                ++i;
            survey.firstLineLength += i;
            lineEnded = i < size;
        }
    }
    survey.codePage = counter.codePage();
    return survey;
}

PeriodFiles surveyPeriod(const std::string& folder, const ReadOptions& options) {
    PeriodFiles files;
    files.declaration = surveyDataFile(folder, kDeclarationFileName);
    files.purchases = surveyDataFile(folder, "pokupki.txt");
    files.sales = surveyDataFile(folder, "prodagbi.txt");
    if (options.codePage) {
        for (FileSurvey* file : {&files.declaration, &files.purchases, &files.sales})
            file->codePage = *options.codePage;
    }
    const bool current = files.declaration.codePage == CodePage::Windows1251 ||
                         files.purchases.firstLineLength >= kCurrentPurchaseLength ||
                         files.sales.firstLineLength >= kCurrentSalesLength;
    files.returnLayout = options.returnLayout.value_or(current ? ReturnLayout::Current : ReturnLayout::Classic);
    return files;
}

std::string PeriodFiles::description() const {
    std::string text = std::string("Декларация: ") + returnLayoutName(returnLayout) + " поколение";
    for (const FileSurvey* file : {&declaration, &purchases, &sales})
        text += std::string("; ") + file->name + ": " + codePageName(file->codePage);
    return text;
}

} // namespace orva
