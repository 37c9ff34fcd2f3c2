#include "sidefiles/SideFiles.h"

#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Paths.h"
#include "text/UniqueFd.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>

namespace orva {

namespace {

// Lower case of one Windows-1251 byte: Latin, the Cyrillic block and the letters of the
// 0x80..0xBF range that have a case pair (Ё, Ђ, Ѓ, Є, Ѕ, І, Ї, Ј, Љ, Њ, Ћ, Ќ, Ў, Џ, Ґ).
unsigned char lowerWin1251(unsigned char byte) {
    if (byte >= 'A' && byte <= 'Z')
        return static_cast<unsigned char>(byte + 0x20);
    if (byte >= 0xC0 && byte <= 0xDF)
        return static_cast<unsigned char>(byte + 0x20);
    switch (byte) {
    case 0x80:
        return 0x90; // Ђ ђ
    case 0x81:
        return 0x83; // Ѓ ѓ
    case 0x8A:
        return 0x9A; // Љ љ
    case 0x8C:
        return 0x9C; // Њ њ
    case 0x8D:
        return 0x9D; // Ќ ќ
    case 0x8E:
        return 0x9E; // Ћ ћ
    case 0x8F:
        return 0x9F; // Џ џ
    case 0xA1:
        return 0xA2; // Ў ў
    case 0xA3:
        return 0xBC; // Ј ј
    case 0xA5:
        return 0xB4; // Ґ ґ
    case 0xA8:
        return 0xB8; // Ё ё
    case 0xAA:
        return 0xBA; // Є є
    case 0xAF:
        return 0xBF; // Ї ї
    case 0xB2:
        return 0xB3; // І і
    case 0xBD:
        return 0xBE; // Ѕ ѕ
    default:
        return byte;
    }
}

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerWin1251(static_cast<unsigned char>(a[i])) != lowerWin1251(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The text as equalIgnoringCase compares it: two texts are equal ignoring case exactly when
// their folded forms are equal.
std::string folded(const std::string& text) {
    std::string result(text);
    for (char& byte : result)
        byte = static_cast<char>(lowerWin1251(static_cast<unsigned char>(byte)));
    return result;
}

} // namespace

std::vector<std::string> readSideFile(const std::string& path) {
    std::string bytes = readFilePrefix(path, kSideFileLimit + 1);
    if (bytes.size() > kSideFileLimit)
        throw SideFileTooLarge("файлът " + path + " е над " + std::to_string(kSideFileLimit >> 20) +
                               " MB и не е прочетен: повреден е или не е на програмата");
    return splitLines(bytes);
}

std::string readSideFileStart(const std::string& path, std::size_t maxBytes) {
    return readFilePrefix(path, maxBytes);
}

std::vector<std::string> readRecentFoldersStart(const std::string& path) {
    const std::size_t enough = kRecentFolders * (PATH_MAX + 2);
    const std::string bytes = readFilePrefix(path, enough);
    std::vector<std::string> lines = splitLines(bytes);
    if (bytes.size() == enough && !lines.empty() && bytes.back() != '\n' && bytes.back() != '\r')
        lines.pop_back();
    return lines;
}

DialogMemory loadDialogMemory(const SideFileLocations& files, const LinesReader& read) {
    DialogMemory memory;
    // One block: the first file that cannot be read leaves it and every later list empty.
    try {
        memory.addresses = read(files.addresses);
        memory.signatories = read(files.signatories);
        memory.positions = read(files.positions);
    } catch (const SideFileTooLarge& failure) {
        memory.tooLarge = failure.what();
    } catch (const FileError&) {
        // Remembered values are a convenience; a missing or unreadable file is not reported.
    }
    try {
        const std::vector<std::string> last = read(files.lastValues);
        if (last.size() > 0)
            memory.address = last[0];
        if (last.size() > 1)
            memory.signatory = last[1];
        if (last.size() > 2)
            memory.position = last[2];
    } catch (const SideFileTooLarge& failure) {
        if (memory.tooLarge.empty())
            memory.tooLarge = failure.what();
    } catch (const FileError&) {
        // As above: no last values, empty boxes.
    }
    return memory;
}

bool addToHistory(std::vector<std::string>& history, const std::string& text) {
    if (text.empty())
        return false;
    for (const std::string& entry : history)
        if (equalIgnoringCase(entry, text))
            return false;
    history.push_back(text);
    return true;
}

void mergeHistory(std::vector<std::string>& history, const std::vector<std::string>& entries) {
    // addToHistory for each entry, with the entries seen kept in a hash set: a history of tens of
    // thousands of lines is merged in one pass instead of comparing every entry with every other.
    std::unordered_set<std::string> seen;
    seen.reserve(history.size() + entries.size());
    for (const std::string& entry : history)
        seen.insert(folded(entry));
    for (const std::string& entry : entries)
        if (!entry.empty() && seen.insert(folded(entry)).second)
            history.push_back(entry);
}

namespace {

// An exclusive flock on the folder of the histories while it lives. The folder, unlike a history
// file, is never replaced, and locking it leaves no lock file behind. Where the folder cannot be
// opened or locked, the update goes on unlocked and its writes report what is wrong. Anyone who can
// read the folder can hold its lock: the wait is bounded, and past it nothing is written.
class FolderLock {
public:
    explicit FolderLock(const std::string& filePath) {
        fd_.reset(::open(folderOf(filePath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd_)
            return;
        const auto deadline = std::chrono::steady_clock::now() + kSideFilesLockWait;
        while (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR)
                return;
            if (std::chrono::steady_clock::now() >= deadline)
                throw SideFilesLocked("папката " + folderOf(filePath) +
                                      " е заключена от друга програма: запомнените стойности не са записани");
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

private:
    UniqueFd fd_; // closing it releases the lock
};

// The history as it is on disk now, with this instance's entries that it lacks appended in order.
std::vector<std::string> merged(const std::string& path, const std::vector<std::string>& entries,
                                const LinesReader& read) {
    std::vector<std::string> history;
    try {
        history = read(path);
    } catch (const SideFileTooLarge&) {
        throw; // replaced by the entries alone, whatever it holds would be lost unseen
    } catch (const FileError&) {
        // Missing or unreadable: the entries alone, as before any merging.
    }
    mergeHistory(history, entries);
    return history;
}

} // namespace

void saveHistories(const SideFileLocations& files, const DialogMemory& memory, const LinesReader& read) {
    // Another running instance may have added entries since this one read the files: read them
    // again under the lock and add to them, so that no instance's new entry is lost.
    const FolderLock lock(files.addresses);
    writeLinesFile(files.addresses, merged(files.addresses, memory.addresses, read));
    writeLinesFile(files.signatories, merged(files.signatories, memory.signatories, read));
    writeLinesFile(files.positions, merged(files.positions, memory.positions, read));
}

bool saveLastValues(const SideFileLocations& files, const std::string& address, const std::string& signatory,
                    const std::string& position) {
    try {
        writeLinesFile(files.lastValues, {address, signatory, position});
        return true;
    } catch (const FileError&) {
        return false;
    }
}

namespace {

std::string firmKey(const std::string& vatNumber) {
    const std::size_t begin = vatNumber.find_first_not_of(' ');
    if (begin == std::string::npos)
        return {};
    return vatNumber.substr(begin, vatNumber.find_last_not_of(' ') - begin + 1);
}

// `forSaving`: a file too large to read is not replaced by this firm's entry alone (its error is thrown).
std::vector<std::string> firmLines(const std::string& path, const LinesReader& read, bool forSaving) {
    try {
        std::vector<std::string> lines = read(path);
        lines.resize(lines.size() - lines.size() % 3); // a cut entry at the end is no entry
        return lines;
    } catch (const SideFileTooLarge&) {
        if (forSaving)
            throw;
        return {};
    } catch (const FileError&) {
        return {};
    }
}

} // namespace

std::optional<FirmAnswers> loadFirmAnswers(const SideFileLocations& files, const std::string& vatNumber,
                                           const LinesReader& read) {
    const std::string key = firmKey(vatNumber);
    if (key.empty())
        return std::nullopt;
    const std::vector<std::string> lines = firmLines(files.firmAnswers, read, false);
    for (std::size_t i = 0; i < lines.size(); i += 3)
        if (lines[i] == key)
            return FirmAnswers{lines[i + 1], lines[i + 2]};
    return std::nullopt;
}

FirmAnswers startingFirmAnswers(const SideFileLocations& files, const std::string& vatNumber,
                                const std::string& viesAddress, const FirmAnswers& lastValues,
                                const LinesReader& read) {
    const std::vector<std::string> lines = firmLines(files.firmAnswers, read, false);
    const std::string key = firmKey(vatNumber);
    for (std::size_t i = 0; !key.empty() && i < lines.size(); i += 3)
        if (lines[i] == key)
            return FirmAnswers{lines[i + 1], lines[i + 2]};
    FirmAnswers start = lines.empty() ? lastValues : FirmAnswers{};
    if (!viesAddress.empty())
        start.address = viesAddress;
    return start;
}

void saveFirmAnswers(const SideFileLocations& files, const std::string& vatNumber, const FirmAnswers& answers,
                     const LinesReader& read) {
    const std::string key = firmKey(vatNumber);
    if (key.empty())
        return;
    // The histories' lock: their folder is this file's folder too.
    const FolderLock lock(files.firmAnswers);
    std::vector<std::string> lines = firmLines(files.firmAnswers, read, true);
    std::size_t i = 0;
    while (i < lines.size() && lines[i] != key)
        i += 3;
    if (i == lines.size())
        lines.insert(lines.end(), {key, answers.address, answers.position});
    else {
        lines[i + 1] = answers.address;
        lines[i + 2] = answers.position;
    }
    writeLinesFile(files.firmAnswers, lines);
}

std::vector<std::string> loadRecentFolders(const SideFileLocations& files, const LinesReader& read) {
    std::vector<std::string> folders;
    try {
        for (std::string& line : read(files.recentFolders))
            if (!line.empty() && folders.size() < kRecentFolders)
                folders.push_back(std::move(line));
    } catch (const FileError&) {
        // Not yet written, or unreadable: nothing to offer.
    }
    return folders;
}

std::vector<std::string> rememberRecentFolder(const SideFileLocations& files, const std::string& folder,
                                              const LinesReader& read) {
    // A line break would make two entries of one path: such a folder is opened, not remembered.
    if (folder.find_first_of("\r\n") != std::string::npos)
        return loadRecentFolders(files, read);
    // Under the histories' lock, read again: another instance's folders stay in the list.
    const FolderLock lock(files.recentFolders);
    std::vector<std::string> folders{folder};
    for (std::string& known : loadRecentFolders(files, read))
        if (known != folder && folders.size() < kRecentFolders)
            folders.push_back(std::move(known));
    writeLinesFile(files.recentFolders, folders);
    return folders;
}

} // namespace orva
