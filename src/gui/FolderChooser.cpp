#include "gui/FolderChooser.h"

#include "period/DataFiles.h"
#include "period/Period.h"
#include "sidefiles/SideFiles.h"
#include "text/Errors.h"
#include "text/LineFile.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

#include <utility>

namespace orva {

namespace {

const char* const kChooserCaption = "Изберете папката с ДДС файловете";

bool holdsReturnRecord(const std::string& folder) {
    try {
        return QFileInfo::exists(QFile::decodeName(findDataFile(folder, kDeclarationFileName).c_str()));
    } catch (const PeriodError&) {
        return true; // several case variants: a record is there, and the load names the clash
    }
}

// The remembered folder: the file's bytes, without the line break written after them.
QString rememberedFolder(const std::string& lastFolderFile) {
    try {
        // A path is at most PATH_MAX bytes: a damaged file costs no more.
        std::string folder = readSideFileStart(lastFolderFile, 4096);
        if (!folder.empty() && folder.back() == '\n')
            folder.pop_back();
        const QString path = QFile::decodeName(folder.c_str());
        if (!folder.empty() && QFileInfo(path).isDir())
            return path;
    } catch (const FileError&) {
        // Nothing remembered yet, or the file is unreadable: start at home.
    }
    return QDir::homePath();
}

} // namespace

std::optional<QString>& FolderChooser::nextAnswer() {
    static std::optional<QString> answer;
    return answer;
}

QString& FolderChooser::startFolder() {
    static QString folder;
    return folder;
}

void FolderChooser::setNextAnswer(const QString& folder) {
    nextAnswer() = folder;
}

QString FolderChooser::lastStartFolder() {
    return startFolder();
}

void FolderChooser::fillRecentMenu(QMenu* menu, const std::vector<std::string>& folders,
                                   const std::function<void(const std::string&)>& open) {
    menu->clear();
    for (const std::string& folder : folders)
        QObject::connect(menu->addAction(QFile::decodeName(folder.c_str())), &QAction::triggered, menu,
                         [open, folder] { open(folder); });
    if (menu->isEmpty())
        menu->addAction(QStringLiteral("(няма)"))->setEnabled(false);
}

QString FolderChooser::chooseFolder(QWidget* parent, const QString& start) {
    startFolder() = start;
    if (std::optional<QString> answer = std::exchange(nextAnswer(), std::nullopt))
        return *answer;
    return QFileDialog::getExistingDirectory(parent, QString::fromUtf8(kChooserCaption), start,
                                             QFileDialog::ShowDirsOnly);
}

std::optional<std::string> folderToOpen(const std::string& defaultFolder, const std::string& lastFolderFile,
                                        QWidget* parent) {
    if (holdsReturnRecord(defaultFolder))
        return defaultFolder;
    const QString chosen = FolderChooser::chooseFolder(parent, rememberedFolder(lastFolderFile));
    if (chosen.isEmpty())
        return std::nullopt;
    const std::string folder = QFile::encodeName(chosen).toStdString();
    try {
        writeFileAtomic(lastFolderFile, folder + '\n');
    } catch (const FileError&) {
        // Remembering is a convenience; the chosen folder is read all the same.
    }
    return folder;
}

} // namespace orva
