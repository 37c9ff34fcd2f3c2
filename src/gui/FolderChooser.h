#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QMenu;

class QWidget;

namespace orva {

// The folder chooser offered when orva starts without a data folder. Tests answer it through
// setNextAnswer, so the real dialog never opens under them.
class FolderChooser {
public:
    // Asks for a folder, starting at `startFolder`; an empty string on Cancel.
    static QString chooseFolder(QWidget* parent, const QString& startFolder);

    // The next chooseFolder returns `folder` at once (empty: Cancel) instead of opening the dialog.
    static void setNextAnswer(const QString& folder);
    // Fills `menu` with `folders` (newest first), each opening itself through `open`; "(няма)" when none.
    static void fillRecentMenu(QMenu* menu, const std::vector<std::string>& folders,
                               const std::function<void(const std::string&)>& open);
    // Where the last chooseFolder started (for tests).
    static QString lastStartFolder();

private:
    static std::optional<QString>& nextAnswer();
    static QString& startFolder();
};

// The data folder of a run started without one: `defaultFolder` when it holds a return record
// (deklar.txt in any letter case), otherwise the folder the user picks in the chooser, which
// starts at the folder remembered in `lastFolderFile` (the home folder when there is none) and
// remembers the pick there. std::nullopt when the user cancels.
std::optional<std::string> folderToOpen(const std::string& defaultFolder, const std::string& lastFolderFile,
                                        QWidget* parent = nullptr);

} // namespace orva
