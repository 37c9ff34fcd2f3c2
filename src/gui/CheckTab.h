#pragma once

#include "declaration/ReturnCells.h"
#include "gui/BackgroundTask.h"
#include "period/PeriodSession.h"

#include <QObject>

#include <cstddef>
#include <string>
#include <vector>

class DocumentView;
class QTabWidget;

namespace orva::check {
struct CheckReport;
struct ReportLink;
} // namespace orva::check

// The tab "ПРОВЕРКА (N)": orva-cli check's text report of the shown period with the dialog's
// answers, built on a worker once the documents are shown (its title red when it has errors). It
// is a report, not a document: a press selects, a double click or Enter goes to the finding's
// record, and printing it is on its context menu.
class CheckTab : public QObject {
    Q_OBJECT

public:
    // Where a finding leads: the tab's view of each of the period's documents.
    struct Documents {
        DocumentView* purchases = nullptr;
        DocumentView* sales = nullptr;
        DocumentView* vies = nullptr;
        DocumentView* form = nullptr; // the return, for every other finding
    };

    // The finding lines shown, as orva-cli check shows by default.
    static constexpr std::size_t kFindingsShown = 200;

    CheckTab(QTabWidget* tabs, DocumentView* view, Documents documents, QObject* parent = nullptr);
    ~CheckTab() override;

    // Checks the period in `folder`, shown from `files` with `linesPerPage`, with the dialog's
    // `cells` (none when the return could not be built); an earlier check is dropped.
    void start(std::shared_ptr<const orva::PeriodSession> period, int linesPerPage, const orva::ReturnCells* cells);
    // The check of `folder` alone, its documents not shown (the period could not be read): the
    // period is read on the worker; its findings lead nowhere.
    void startFolder(const std::string& folder);
    // Stops the check and waits for it: its report is not shown.
    void stop();
    bool running() const { return task_.running(); }

    // Switches to the tab of the finding on `reportLine` of the report, its record's block at the
    // top of the view. False when that line is no finding.
    bool goToFinding(std::size_t reportLine);

signals:
    // "Печат" on the report's context menu.
    void printRequested();

private:
    void show(orva::check::CheckReport& report);
    void begin();
    void showFailure(const QString& failure);
    void setTitle(const QString& title, bool errors);

    QTabWidget* tabs_;
    DocumentView* view_;
    Documents documents_;
    orva::PeriodFiles files_;
    int linesPerPage_ = 0;
    std::vector<orva::check::ReportLink> links_;
    orva::BackgroundTask task_{orva::BackgroundTask::Priority::Low};
};
