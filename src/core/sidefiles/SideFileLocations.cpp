#include "sidefiles/SideFileLocations.h"

#include "text/Errors.h"
#include "text/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orva {

namespace {

bool isUnder(const std::string& path, const std::string& folder) {
    return path.compare(0, folder.size(), folder) == 0 && (path.size() == folder.size() || path[folder.size()] == '/');
}

// An XDG base folder: the variable when it is an absolute path, else the default under home.
std::string baseFolder(const std::string& variable, const std::string& home, const char* underHome) {
    if (!variable.empty() && variable.front() == '/')
        return variable;
    if (home.empty() || home.front() != '/')
        throw Error("The home folder is not known (HOME is not set), so orva cannot keep its files per user.");
    return joinPath(home, underHome);
}

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

void makeFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) == 0)
        return;
    const int error = errno;
    struct stat status {};
    if (error == EEXIST && ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
        return;
    throw FileError("Cannot create the folder " + folder + ": " + std::strerror(error == EEXIST ? ENOTDIR : error));
}

// mkdir -p: each missing folder from the top down.
void makeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        makeFolder(path.substr(0, slash));
    if (!path.empty() && path.back() != '/')
        makeFolder(path);
}

} // namespace

SideFileLocations sideFilesBeside(const std::string& executablePath) {
    SideFileLocations locations;
    locations.font = joinPath(folderOf(executablePath), "ORVA.TTF");
    locations.addresses = replaceExtension(executablePath, ".adr");
    locations.signatories = replaceExtension(executablePath, ".mol");
    locations.positions = replaceExtension(executablePath, ".dlu");
    locations.lastValues = replaceExtension(executablePath, ".txt");
    locations.lastFolder = replaceExtension(executablePath, ".last-folder");
    locations.firmAnswers = replaceExtension(executablePath, ".firms");
    locations.zoom = replaceExtension(executablePath, ".zoom");
    locations.recentFolders = replaceExtension(executablePath, ".recent");
    locations.purchasesCopy = replaceExtension(executablePath, ".pro.txt");
    locations.salesCopy = replaceExtension(executablePath, ".pok.txt");
    locations.viesCopy = replaceExtension(executablePath, ".vies.txt");
    return locations;
}

SideFileLocations sideFileLocations(const std::string& executablePath, bool folderWritable,
                                    const SideFileEnvironment& environment) {
    const bool installed = isUnder(executablePath, "/usr") || isUnder(executablePath, "/opt");
    if (folderWritable && !installed)
        return sideFilesBeside(executablePath);

    // The same names as beside the executable, in the user's folders.
    const std::string name = fileName(executablePath);
    const std::string cache = joinPath(baseFolder(environment.cacheHome, environment.home, ".cache"), "orva");
    const std::string config = joinPath(baseFolder(environment.configHome, environment.home, ".config"), "orva");
    const std::string data = joinPath(baseFolder(environment.dataHome, environment.home, ".local/share"), "orva");
    SideFileLocations locations;
    locations.perUser = true;
    locations.font = joinPath(cache, "ORVA.TTF");
    locations.addresses = joinPath(config, replaceExtension(name, ".adr"));
    locations.signatories = joinPath(config, replaceExtension(name, ".mol"));
    locations.positions = joinPath(config, replaceExtension(name, ".dlu"));
    locations.lastValues = joinPath(config, replaceExtension(name, ".txt"));
    locations.lastFolder = joinPath(config, replaceExtension(name, ".last-folder"));
    locations.firmAnswers = joinPath(config, replaceExtension(name, ".firms"));
    locations.zoom = joinPath(config, replaceExtension(name, ".zoom"));
    locations.recentFolders = joinPath(config, replaceExtension(name, ".recent"));
    locations.purchasesCopy = joinPath(data, replaceExtension(name, ".pro.txt"));
    locations.salesCopy = joinPath(data, replaceExtension(name, ".pok.txt"));
    locations.viesCopy = joinPath(data, replaceExtension(name, ".vies.txt"));
    return locations;
}

SideFileLocations sideFileLocationsFor(const std::string& executablePath) {
    SideFileEnvironment environment;
    environment.home = environmentValue("HOME");
    if (environment.home.empty())
        if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr)
            environment.home = entry->pw_dir;
    environment.cacheHome = environmentValue("XDG_CACHE_HOME");
    environment.configHome = environmentValue("XDG_CONFIG_HOME");
    environment.dataHome = environmentValue("XDG_DATA_HOME");
    const bool writable = ::access(folderOf(executablePath).c_str(), W_OK) == 0;
    return sideFileLocations(executablePath, writable, environment);
}

void createSideFileFolders(const SideFileLocations& locations) {
    if (!locations.perUser)
        return;
    for (const std::string* path : {&locations.font, &locations.lastValues, &locations.purchasesCopy})
        makeFolders(folderOf(*path));
}

} // namespace orva
