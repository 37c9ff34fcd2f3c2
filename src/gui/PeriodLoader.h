#pragma once

#include "gui/BackgroundTask.h"
#include "period/DataFiles.h"
#include "period/JournalCopies.h"
#include "period/PeriodSession.h"
#include "sidefiles/SideFileLocations.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class AdditionalDataDialog;
class QMimeData;
class QProgressBar;
class QStatusBar;
class QWidget;

namespace orva {

// What the user is told when the period cannot be read; the first period's failure ends the program.
inline const char* const kReadError = "Грешка при четене на дискетата.";

// A period read, its journals built and the dialog answered, not yet shown: the shown one stays
// until this is.
struct LoadedPeriod {
    std::string folder;
    std::shared_ptr<const PeriodSession> session; // shared with the shown period's workers
    PeriodFiles files;
    Declaration declaration;
    JournalCopies copies;
    std::vector<std::string> viesLines; // empty without VIES.TXT
    std::string viesAddress;            // its VTR record's address (Windows-1251), a new firm's start
    // Why the journals are not the period's (UTF-8), asked about before the dialog.
    std::vector<std::string> gateProblems;
    bool foreignJournals = false; // shown all the same, on the user's word
    // The dialog's answers and the return built from them; neither when the return could not be
    // built (the first period is shown without it).
    std::optional<ReturnAnswers> answers;
    std::optional<std::vector<std::string>> returnLines;
};

} // namespace orva

// The load of a period: the read, the journals' warning, the additional-data dialog, then the
// window's `show`. The first period is read before the window shows; another is read on a worker
// with its progress in the status bar, the shown period usable meanwhile, and the warning and the
// dialog follow on the window's thread.
class PeriodLoader : public QObject {
    Q_OBJECT

public:
    enum class Result { Shown, GivenUp, Failed };
    // Shows a loaded period in place of the shown one; throws FileError when the files beside the
    // program cannot follow it (said in a box: the period is shown all the same).
    using Show = std::function<void(orva::LoadedPeriod&)>;

    PeriodLoader(orva::SideFileLocations sideFiles, QStatusBar* status, Show show, QObject* parent = nullptr);
    ~PeriodLoader() override;

    // The first period, read on this thread before the window shows. Its boxes have no parent and
    // its dialog cannot be cancelled.
    Result loadFirst(const std::string& folder, int linesPerPage);
    // Another period: read on a worker, then asked about with boxes over `window`, and shown;
    // finished() says how it ended. False when a load is under way already.
    bool start(const std::string& folder, int linesPerPage, QWidget* window);
    bool loading() const { return loading_; }

    // The additional-data dialog, once the first load has created it.
    AdditionalDataDialog* dialog() const { return dialog_.get(); }
    // What failed in the last load that failed (the read-error box's details).
    const QString& lastError() const { return lastError_; }
    // Whether the first period's read-error box was answered "Проверка": the window then shows
    // that folder's check alone.
    bool checkAsked() const { return checkAsked_; }

    // The one read of a period: survey, return record, both journals into their copies beside the
    // program, VIES. Runs on the worker for every period but the first. Throws what it meets.
    static std::unique_ptr<orva::LoadedPeriod> readPeriod(const std::string& folder, int linesPerPage,
                                                          const orva::SideFileLocations& sideFiles);

    // The one local folder a drag carries, or an empty string.
    static QString draggedFolder(const QMimeData* data);
    // A folder dropped on `window` is handed to `open` once the drop has been answered (the load runs
    // its own modal boxes); a drag is refused while a period is being loaded.
    void openDroppedFolders(QWidget* window, std::function<void(const std::string& folder)> open);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void finished(PeriodLoader::Result result);

private:
    std::function<void(const std::string&)> openDropped_;

    // After the read, on this thread: the warning, the dialog, the return, then shown.
    Result settle(orva::LoadedPeriod& period, int linesPerPage, bool first, QWidget* parent);
    Result readFailed(const QString& failure, QWidget* parent, bool offerCheck = false);
    std::optional<orva::ReturnAnswers> askAnswers(const orva::LoadedPeriod& period, bool cancellable);
    void end(Result result, const std::string& folder);

    orva::SideFileLocations sideFiles_;
    QStatusBar* status_;
    QProgressBar* progress_;
    Show show_;
    std::unique_ptr<AdditionalDataDialog> dialog_;
    bool loading_ = false;
    QString lastError_;
    bool checkAsked_ = false;
    orva::BackgroundTask read_;
};
