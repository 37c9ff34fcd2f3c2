#include "gui/Startup.h"

#include "gui/MessageBoxes.h"
#include "render/Printing.h"
#include "gui/MainWindow.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Paths.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMessageBox>

#include <clocale>
#include <memory>

namespace orva {

std::string dataFolderFromArguments(int argc, const char* const* argv) {
    if (argc > 1 && argv[1] != nullptr && argv[1][0] != '\0')
        return argv[1];
    return kDefaultDataFolder;
}

std::string fontFilePath(const std::string& executablePath) {
    const std::size_t slash = executablePath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : executablePath.substr(0, slash + 1);
    return joinPath(folder, "ORVA.TTF");
}

void writeFontFile(const std::string& path) {
    const QByteArray bytes = embeddedDocumentFont();
    writeFileAtomic(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

int runOrva(int argc, char** argv, const std::function<void()>& applicationReady) {
    // Settled before anything else and never changed afterwards.
    const std::string dataFolder = dataFolderFromArguments(argc, argv);

    QApplication application(argc, argv);
    // Amounts are parsed and formatted by the core itself; this keeps any C library
    // conversion on the point as well, whatever the user's regional settings.
    std::setlocale(LC_NUMERIC, "C");
    // The title "ОРВА" goes on every message box and print job. It is not made the display name:
    // on X11 Qt would append that to every window title, and the captions must stay as they are.
    QGuiApplication::setDesktopFileName(QStringLiteral("orva"));
    if (applicationReady)
        applicationReady();

    const std::string executablePath = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    const std::string fontPath = fontFilePath(executablePath);
    try {
        writeFontFile(fontPath);
    } catch (const std::exception& failure) {
        showApplicationError(failureText(failure));
        return 1;
    }

    // Private to this process: nothing to announce to other programs.
    const int fontId = QFontDatabase::addApplicationFont(QFile::decodeName(fontPath.c_str()));
    mapCourierNewTo(fontId);

    std::unique_ptr<MainWindow> window;
    if (confirm(nullptr, QString::fromUtf8(kDiskettePrompt), QMessageBox::Ok, QMessageBox::Cancel)) {
        window = std::make_unique<MainWindow>(dataFolder);
        window->show();
        // After a failed load the window never appears and the loop has nothing to wait for.
        if (!window->loadFailed())
            application.exec();
    }

    if (fontId >= 0)
        QFontDatabase::removeApplicationFont(fontId);
    // The windows go last: the dialog writes its last values as it is destroyed.
    window.reset();
    return 0;
}

} // namespace orva
