#pragma once

#include <string>
#include <vector>

namespace orva {

// What decides where the side files go, as the process finds it.
struct SideFileEnvironment {
    std::string home;       // $HOME
    std::string cacheHome;  // $XDG_CACHE_HOME, empty when unset
    std::string configHome; // $XDG_CONFIG_HOME, empty when unset
    std::string dataHome;   // $XDG_DATA_HOME, empty when unset
};

// Where each file that orva writes for itself goes.
struct SideFileLocations {
    bool perUser = false;      // in the user's XDG folders, not beside the executable
    std::string font;          // ORVA.TTF
    std::string addresses;     // <name>.adr
    std::string signatories;   // <name>.mol
    std::string positions;     // <name>.dlu
    std::string lastValues;    // <name>.txt
    std::string lastFolder;    // <name>.last-folder: the folder the chooser last opened
    std::string firmAnswers;   // <name>.firms: the last address and position per VAT number
    std::string zoom;          // <name>.zoom: the document views' enlargement, in points
    std::string recentFolders; // <name>.recent: the last data folders opened, newest first
    std::string purchasesCopy; // <name>.pro.txt
    std::string salesCopy;     // <name>.pok.txt
    std::string viesCopy;      // <name>.vies.txt, only while the period has VIES.TXT
};

// A build-tree or portable program (its folder writable, not under /usr or /opt) keeps every
// side file beside the executable: the executable's path with its extension replaced, and
// ORVA.TTF in its folder. An installed one keeps the same names per user: the font in
// $XDG_CACHE_HOME/orva, the histories, last values and last folder in $XDG_CONFIG_HOME/orva,
// the journal copies in $XDG_DATA_HOME/orva; an unset, empty or relative variable means
// ~/.cache, ~/.config and ~/.local/share. Throws Error when the per-user folders are needed
// and there is no absolute home folder.
SideFileLocations sideFileLocations(const std::string& executablePath, bool folderWritable,
                                    const SideFileEnvironment& environment);

// Every side file beside the executable, whatever its folder.
SideFileLocations sideFilesBeside(const std::string& executablePath);

// sideFileLocations for this process: its environment (the password database's home folder when
// HOME is unset) and whether this user may write the executable's folder.
SideFileLocations sideFileLocationsFor(const std::string& executablePath);

// Creates the missing folders of per-user locations, each new one private to the user (0700).
// Beside the executable nothing is created. Throws FileError naming the folder that cannot be made.
void createSideFileFolders(const SideFileLocations& locations);

} // namespace orva
