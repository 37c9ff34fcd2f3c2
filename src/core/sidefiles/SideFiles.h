#pragma once

#include "sidefiles/SideFileLocations.h"
#include "text/Errors.h"
#include "text/LineFile.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orva {

// The dialog's remembered values: three histories and the last values, kept in the files
// `addresses`, `signatories`, `positions` and `lastValues` of SideFileLocations (Windows-1251, CR LF).
struct DialogMemory {
    std::vector<std::string> addresses;
    std::vector<std::string> signatories;
    std::vector<std::string> positions;
    std::string address;
    std::string signatory;
    std::string position;
    std::string tooLarge; // the message of a remembered file passed over as too large (UTF-8), or empty
};

// How a remembered file is read: readSideFile; tests put failures in its place. Its FileError
// alone means "cannot be read" and is passed over; anything else it throws reaches the caller.
using LinesReader = std::function<std::vector<std::string>(const std::string& path)>;

// Remembered files are small: past this size one is damaged, or not ours, and is not read (a file
// of ten million short lines would cost over half a gigabyte as lines).
inline constexpr std::size_t kSideFileLimit = 4u << 20;

// A remembered file past kSideFileLimit. It is passed over on loading as an unreadable one, but
// never replaced by what this instance holds: its saves throw it.
class SideFileTooLarge : public FileError {
public:
    using FileError::FileError;
};

// The folder of the remembered files is locked while they are updated; another program holding its
// lock longer than this makes the update fail with SideFilesLocked, nothing written.
inline constexpr std::chrono::milliseconds kSideFilesLockWait{2000};

class SideFilesLocked : public FileError {
public:
    using FileError::FileError;
};

// readLinesFile of a file of at most kSideFileLimit bytes; throws SideFileTooLarge naming the file
// and the limit when it is larger, having read no more than the limit.
std::vector<std::string> readSideFile(const std::string& path);

// The first `maxBytes` bytes of a remembered file that holds one short value (the zoom): the rest,
// however large, is not read. Throws FileError.
std::string readSideFileStart(const std::string& path, std::size_t maxBytes = 64);

// Loads what exists. Histories are read in one block (.adr, .mol, .dlu): the first file that
// cannot be read ends it, leaving that list and the later ones empty. The last values are a
// second block: a missing file leaves all three empty, fewer lines fill only what exists.
DialogMemory loadDialogMemory(const SideFileLocations& files, const LinesReader& read = readSideFile);

// Appends `text` to `history` unless it is empty or an entry equals it ignoring letter case
// (Windows-1251 letters included). Returns whether it was appended.
bool addToHistory(std::vector<std::string>& history, const std::string& text);

// addToHistory for each of `entries` in order, in time linear in the sizes of both lists.
void mergeHistory(std::vector<std::string>& history, const std::vector<std::string>& entries);

// Updates the three history files in the order .adr, .mol, .dlu, each replaced atomically: under
// an exclusive lock on their folder, each file is read again and the entries of `memory` it lacks
// (addToHistory's rule) are appended, so two running instances both keep their new entries.
// A file that cannot be read again counts as empty. Throws FileError at the first that cannot be
// written (the later ones are not written), SideFilesLocked when the lock is not had in time.
void saveHistories(const SideFileLocations& files, const DialogMemory& memory, const LinesReader& read = readSideFile);

// Writes the last-values file (three lines). Returns false instead of throwing FileError when
// it cannot be written.
bool saveLastValues(const SideFileLocations& files, const std::string& address, const std::string& signatory,
                    const std::string& position);

// The dialog's answers last given for one firm, so that the next firm is not offered them.
struct FirmAnswers {
    std::string address;
    std::string position;
};

// The answers kept for `vatNumber` (blanks around it do not count) in the file `firmAnswers`: three
// lines per firm, the VAT number, the address, the position (Windows-1251, CR LF). std::nullopt when
// the firm has none or the file cannot be read.
std::optional<FirmAnswers> loadFirmAnswers(const SideFileLocations& files, const std::string& vatNumber,
                                           const LinesReader& read = readSideFile);

// What the dialog starts with for `vatNumber`: the answers kept for it; for a firm never seen, the
// address of its own VIES.TXT (`viesAddress`, empty without one), and for what that leaves open
// `lastValues` only while the file holds no firm at all (one firm's values never fill another's),
// else blanks.
FirmAnswers startingFirmAnswers(const SideFileLocations& files, const std::string& vatNumber,
                                const std::string& viesAddress, const FirmAnswers& lastValues,
                                const LinesReader& read = readSideFile);

// Keeps `answers` for `vatNumber`: under the histories' lock the file is read again and only this
// firm's entry replaced (another instance's firms stay), then it is replaced atomically. A file that
// cannot be read again counts as empty; throws FileError when it cannot be written.
void saveFirmAnswers(const SideFileLocations& files, const std::string& vatNumber, const FirmAnswers& answers,
                     const LinesReader& read = readSideFile);

// The data folders last opened, newest first, at most kRecentFolders: one path a line in the file
// `recentFolders` (as the file system spells it). Empty when there is none or it cannot be read. Only
// the file's start is read by default: the entries used stand first.
inline constexpr std::size_t kRecentFolders = 5;
// The lines of the first kRecentFolders paths' worth of the file (a line cut at that length dropped).
std::vector<std::string> readRecentFoldersStart(const std::string& path);
std::vector<std::string> loadRecentFolders(const SideFileLocations& files,
                                           const LinesReader& read = readRecentFoldersStart);

// Puts `folder` first in the recent folders (once; the oldest beyond kRecentFolders dropped) and
// replaces the file atomically. Returns the new list. Throws FileError when it cannot be written.
std::vector<std::string> rememberRecentFolder(const SideFileLocations& files, const std::string& folder,
                                              const LinesReader& read = readRecentFoldersStart);

} // namespace orva
