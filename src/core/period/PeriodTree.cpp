#include "period/PeriodTree.h"

#include "declaration/Declaration.h"
#include "period/DataFiles.h"
#include "period/Period.h"
#include "text/Ascii.h"
#include "text/LineFile.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace orva {

namespace {

bool isDeclarationName(const char* name) {
    return equalFoldedAscii(name, kDeclarationFileName);
}

std::string joined(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Depth first; each folder's own entries are read whole first, so at most one folder is open at a time.
// A folder that cannot be listed (no permission, a path beyond PATH_MAX) is found as it stands: it may
// hold a period, and only reading it says why it cannot be read, as when it is named on its own.
void walk(const std::string& folder, std::vector<std::string>& found) {
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) {
        if (errno != ENOENT)
            found.push_back(folder);
        return;
    }
    bool holdsReturn = false;
    std::vector<std::string> subfolders;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = joined(folder, name);
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            // Beyond PATH_MAX lstat fails, yet the entry is there: a return record or a folder to report.
            if (isDeclarationName(name.c_str()))
                holdsReturn = true;
            else if (errno != ENOENT && (entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN))
                subfolders.push_back(path);
            continue;
        }
        if (S_ISDIR(info.st_mode))
            subfolders.push_back(path);
        else if (isDeclarationName(name.c_str()))
            holdsReturn = true;
    }
    ::closedir(directory);
    if (holdsReturn)
        found.push_back(folder);
    for (const std::string& subfolder : subfolders)
        walk(subfolder, found);
}

} // namespace

std::vector<std::string> findPeriodFolders(const std::vector<std::string>& roots) {
    std::vector<std::string> found;
    for (const std::string& root : roots) {
        struct stat info {};
        if (::stat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            throw PeriodError(PeriodError::Stage::Load, root + ": не е папка");
        walk(root, found);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

std::string periodOutputName(std::string_view vatNumber, std::string_view period) {
    auto kept = [](std::string_view text) {
        std::string result;
        for (const char c : text) {
            if (isAsciiDigit(c) || isAsciiLetter(c))
                result += c;
        }
        return result;
    };
    std::string vat = kept(vatNumber);
    std::string month = kept(period);
    return (vat.empty() ? "period" : vat) + "-" + (month.empty() ? "000000" : month);
}

std::string periodOutputNameOf(const std::string& folder) {
    try {
        const std::string record = readFilePrefix(findDataFile(folder, kDeclarationFileName), kDeclarationRecordLength);
        const Declaration declaration = parseDeclaration(record, CodePage::Windows1251);
        return periodOutputName(declaration.fields.at(0), declaration.fields.at(2));
    } catch (const std::exception&) {
        std::string name = folder;
        while (name.size() > 1 && name.back() == '/')
            name.pop_back();
        const std::size_t slash = name.rfind('/');
        return periodOutputName(slash == std::string::npos ? name : name.substr(slash + 1), "");
    }
}

std::string UniqueNames::take(const std::string& name) {
    const std::size_t count = ++taken_[name];
    if (count == 1)
        return name;
    // "X-2" may itself be a name of its own: go on until one is free.
    for (std::size_t suffix = count;; ++suffix) {
        const std::string candidate = name + "-" + std::to_string(suffix);
        if (taken_.find(candidate) == taken_.end()) {
            taken_[candidate] = 1;
            return candidate;
        }
    }
}

} // namespace orva
