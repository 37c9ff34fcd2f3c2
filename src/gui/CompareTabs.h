#pragma once

#include "compare/CorrectionMemo.h"
#include "gui/BackgroundTask.h"
#include "period/PeriodSession.h"
#include "render/Printing.h"

#include <QObject>
#include <QStringList>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class DocumentView;
class QTabWidget;
class QWidget;
class Zoom;

// The window's two comparisons of the shown period, each on a tab of its own that can be closed:
// the correction memo against another submission of the period ("Сравни с друго подаване…") and the
// reconciliation with the agency's reports ("Сравни със справката от НАП…"). Both are built on a
// worker; a double click or Enter on a record's line shows that record in its journal, and on a
// document the reports hold alone shows its report line in a box.
class CompareTabs : public QObject {
    Q_OBJECT

public:
    enum class Kind { Memo, Reconciliation };

    // `purchases` and `sales`: the journals' views a record is shown in. `boxParent` gives the
    // window while it is shown (boxes have none before).
    CompareTabs(QTabWidget* tabs, DocumentView* purchases, DocumentView* sales, Zoom* zoom,
                std::function<QWidget*()> boxParent, QObject* parent = nullptr);
    ~CompareTabs() override;

    // The period the comparisons are of, shown with `linesPerPage`: the comparisons of the one shown
    // before stop and their tabs close.
    void setPeriod(std::shared_ptr<const orva::PeriodSession> period, int linesPerPage);

    // The menu's items: the chooser, then the comparison.
    void chooseOlderSubmission();
    void chooseReports();
    // The memo of `olderFolder` (the submission filed) against the period, or the reconciliation
    // with `reports`. A period of another firm or month, a report of another buyer or a later month
    // is asked about first (the comparison is shown only on Yes). False when there is no period.
    bool compareWith(const std::string& olderFolder);
    bool reconcileWith(std::vector<std::string> reports);

    bool running() const { return memoTask_.running() || reconcileTask_.running(); }
    // The open comparison's view, or nullptr.
    DocumentView* view(Kind kind) const;
    // Every view open, for printing and the page status.
    std::vector<DocumentView*> views() const;
    // The tab's title, as the table of documents names it (the PDF's title, the print question).
    static QString title(Kind kind);

    // The document of `view` built again, through the table of documents, for a printer whose page
    // holds another number of lines (the print dialog's); null for a view that is not a comparison's.
    std::function<orva::DocumentLines(int linesPerPage)> pagedAgain(const DocumentView* view) const;

    // Where line `line` of `view` leads (Enter, a double click): false when it leads nowhere.
    bool activate(DocumentView* view, std::size_t line);

    // The next chooseReports returns these files at once (empty: Cancel) instead of opening the
    // dialog; tests answer it so.
    static void setNextReportsAnswer(const QStringList& files);

signals:
    // A comparison has ended: its tab shown, or not (refused, failed, stopped).
    void finished(bool shown);
    // "Печат" on a comparison's context menu: the view has the focus.
    void printRequested();
    // A view was opened: the window follows its scrolling.
    void viewOpened(DocumentView* view);

private:
    struct Built;
    struct Open {
        QWidget* page = nullptr;
        DocumentView* view = nullptr;
        std::vector<orva::compare::MemoLink> memoLinks; // sorted by line
        unsigned opened = 0;                            // which opening of a tab this is
        std::string olderFolder;                        // the memo's
        std::vector<std::string> reports;               // the reconciliation's
    };

    void start(Kind kind, std::function<Built(const orva::StopToken&)> work, std::string olderFolder,
               std::vector<std::string> reports);
    void show(Kind kind, Built& built);
    void close(Kind kind);
    Open& open(Kind kind) { return kind == Kind::Memo ? memo_ : reconciliation_; }
    const Open& open(Kind kind) const { return kind == Kind::Memo ? memo_ : reconciliation_; }
    bool activateMemo(std::size_t line);
    bool activateReconciliation(std::size_t line);

    QTabWidget* tabs_;
    DocumentView* purchases_;
    DocumentView* sales_;
    Zoom* zoom_;
    std::function<QWidget*()> boxParent_;
    std::shared_ptr<const orva::PeriodSession> period_;
    int linesPerPage_ = 0;
    Open memo_, reconciliation_;
    unsigned openings_ = 0;
    orva::BackgroundTask memoTask_, reconcileTask_;
    static std::optional<QStringList>& nextReports();
};
