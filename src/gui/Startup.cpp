#include "gui/Startup.h"

#include "Version.h"
#include "gui/FolderChooser.h"
#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"
#include "render/PageMetrics.h"
#include "sidefiles/SideFileLocations.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Paths.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>

namespace orva {

std::string dataFolderFromArguments(int argc, const char* const* argv) {
    if (argc > 1 && argv[1] != nullptr && argv[1][0] != '\0')
        return argv[1];
    return kDefaultDataFolder;
}

std::string fontFilePath(const std::string& executablePath) {
    return sideFilesBeside(executablePath).font;
}

std::string helpText() {
    return R"(Usage: orva [DATAFOLDER]
       orva --help | --version

Shows the label page, the purchases and sales journals and the VAT return form
of one Bulgarian tax period in one window, ready to print.

DATAFOLDER holds deklar.txt, pokupki.txt and prodagbi.txt; it is read, never
written. Without it (or when it is empty) the folder is /media/floppy0. Started
without any argument, when /media/floppy0 holds no return record, orva offers a
folder chooser that starts at the last folder chosen.
A folder whose name starts with a dash is given with its path: ./--help.

  --help       print this text and exit
  --version    print the version and exit

A build-tree or portable orva keeps its side files (ORVA.TTF, the dialog's
histories and last values, the journal copies) beside the executable; an
installed one (under /usr or /opt, or in a folder the user cannot write) in
$XDG_CACHE_HOME/orva, $XDG_CONFIG_HOME/orva and $XDG_DATA_HOME/orva.
Printing goes to the queue lp would choose: $LPDEST, $PRINTER, the lpoptions
default, the print server's default. See orva(1).
)";
}

void writeFontFile(const std::string& path) {
    const QByteArray bytes = embeddedDocumentFont();
    writeFileAtomic(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

bool installQtTranslations(QCoreApplication& application) {
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_bg"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

int runOrva(int argc, char** argv, const std::function<void()>& applicationReady) {
    // Answered before any window system is touched: nothing opens, nothing is written.
    const char* const first = argc > 1 ? argv[1] : nullptr;
    if (first != nullptr && (std::strcmp(first, "--help") == 0 || std::strcmp(first, "--version") == 0)) {
        const std::string text = std::strcmp(first, "--help") == 0 ? helpText() : "orva " ORVA_VERSION "\n";
        // A text that did not reach standard output is a failure, said on standard error.
        if (std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0)
            return 0;
        std::fprintf(stderr, "orva: не може да се запише стандартният изход: %s\n", std::strerror(errno));
        return 1;
    }

    // Settled before anything else and never changed afterwards.
    const std::string dataFolder = dataFolderFromArguments(argc, argv);
    // No argument at all is a start from the menu; an empty one still names the default folder.
    const bool folderGiven = first != nullptr;

    QApplication application(argc, argv);
    // Amounts are parsed and formatted by the core itself; this keeps any C library
    // conversion on the point as well, whatever the user's regional settings.
    std::setlocale(LC_NUMERIC, "C");
    // The title "ОРВА" goes on every message box and print job. It is not made the display name:
    // on X11 Qt would append that to every window title, and the captions must stay as they are.
    QGuiApplication::setDesktopFileName(QStringLiteral("orva"));
    if (!installQtTranslations(application))
        std::fprintf(stderr, "orva: няма преводи на Qt на български (qtbase_bg.qm)\n");
    if (applicationReady)
        applicationReady();

    const std::string executablePath = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    SideFileLocations sideFiles;
    try {
        sideFiles = sideFileLocationsFor(executablePath);
        createSideFileFolders(sideFiles);
        writeFontFile(sideFiles.font);
    } catch (const std::exception& failure) {
        showApplicationError(failureText(failure));
        return 1;
    }

    // Private to this process: nothing to announce to other programs.
    const int fontId = QFontDatabase::addApplicationFont(QFile::decodeName(sideFiles.font.c_str()));
    mapCourierNewTo(fontId);

    std::unique_ptr<MainWindow> window;
    if (confirm(nullptr, QString::fromUtf8(kDiskettePrompt), QMessageBox::Ok, QMessageBox::Cancel)) {
        // Started from the menu with no diskette: the user points at the period instead.
        std::optional<std::string> folder;
        try {
            folder = folderGiven ? dataFolder : folderToOpen(dataFolder, sideFiles.lastFolder);
        } catch (const std::exception& failure) {
            // The chooser passes over a remembered folder it cannot read; anything else is the user's to see.
            showApplicationError(failureText(failure));
            return 1;
        }
        if (folder) {
            window = std::make_unique<MainWindow>(*folder, sideFiles);
            window->show();
            // After a failed load the window never appears and the loop has nothing to wait for,
            // unless the user asked for the folder's check.
            if (!window->loadFailed() || window->checkOnly())
                application.exec();
        } else {
            // Cancel in the chooser ends the run as a period that cannot be read does.
            showPlainMessage(nullptr, QString::fromUtf8(kReadError));
        }
    }

    if (fontId >= 0)
        QFontDatabase::removeApplicationFont(fontId);
    // The windows go last: the dialog writes its last values as it is destroyed.
    window.reset();
    return 0;
}

} // namespace orva
