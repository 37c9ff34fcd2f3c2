#pragma once

#include <functional>

class QCoreApplication;
#include <string>

namespace orva {

// Where the VAT files are looked for when the command line names no folder: the mount point
// of the first floppy drive.
inline const char* const kDefaultDataFolder = "/media/floppy0";

// The prompt shown before anything is read.
inline const char* const kDiskettePrompt = "Моля поставете дискетата с ДДС файловете във ФДУ";

// The data folder: the first argument unchanged when it is not empty, else the default.
// Further arguments are ignored.
std::string dataFolderFromArguments(int argc, const char* const* argv);

// The font file beside the executable (where a build-tree or portable orva keeps it).
std::string fontFilePath(const std::string& executablePath);

// The text of `orva --help`.
std::string helpText();

// Copies the embedded face (:/MYFONT/MYFONT_1) to `path`, replacing the file atomically.
// Throws orva::Error naming the failure.
void writeFontFile(const std::string& path);

// Loads Qt's own Bulgarian texts (qtbase_bg.qm from Qt's translations folder) into `application`,
// whatever the locale: every text of the program is Bulgarian, so the standard buttons and dialogs
// around them are too. Returns false when the file is missing (the chrome then stays English).
bool installQtTranslations(QCoreApplication& application);

// The whole run of the window program: --help and --version, data folder, numeric locale, title,
// side-file folders, font file and its registration, the diskette prompt, the folder chooser
// when no argument was given and the default folder holds no return, the main window and its
// event loop, unregistering the font. Returns the exit code. `applicationReady` (tests) runs as
// soon as the application object exists.
int runOrva(int argc, char** argv, const std::function<void()>& applicationReady = {});

} // namespace orva
