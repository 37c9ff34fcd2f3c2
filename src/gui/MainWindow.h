#pragma once

#include "period/PeriodSession.h"
#include "render/Printing.h"
#include "sidefiles/SideFileLocations.h"

#include <QMainWindow>
#include <QPrinterInfo>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class AdditionalDataDialog;
class DocumentView;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;
class QPlainTextEdit;
class QPrinter;
class QTabWidget;
class QThread;

namespace Ui {
class MainWindow;
}

namespace orva {
namespace check {
struct CheckReport;
struct ReportLink;
} // namespace check
class PrintService;
struct JobStatus;
struct BegunJob;
// What the user is told when the period cannot be read; the program then ends.
inline const char* const kReadError = "Грешка при четене на дискетата.";
} // namespace orva

// The main window: the four documents of one tax period on tabs, and the print command.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // `dataFolder` holds deklar.txt, pokupki.txt and prodagbi.txt. The journal copies and the
    // dialog's remembered values go to `sideFiles`. `printer` stands for the queue lp would choose
    // (tests pass a null QPrinterInfo for "no printer"). The printer and the page length are
    // settled here; the period is loaded when the window is first shown.
    MainWindow(std::string dataFolder, orva::SideFileLocations sideFiles,
               std::optional<QPrinterInfo> printer = std::nullopt, QWidget* parent = nullptr);
    ~MainWindow() override;

    QTabWidget* documentTabs() const;
    DocumentView* labelView() const;
    DocumentView* purchasesView() const;
    DocumentView* salesView() const;
    DocumentView* returnView() const;
    // The VIES declaration when the period has VIES.TXT, else one line saying it has none.
    DocumentView* viesView() const;
    // The sixth tab, "ПРОВЕРКА (N)": orva-cli check's text report of the shown period, with the
    // dialog's answers, built on a worker once the documents are shown (red when it has errors).
    DocumentView* checkView() const;
    bool checkRunning() const { return checkJob_ != nullptr; }
    // Switches to the tab of the finding on `reportLine` of the check's report, its record's block
    // at the top of the view. False when that line is no finding.
    bool goToFinding(std::size_t reportLine);
    QAction* printAction() const { return printAction_; }

    // Lines of the 8-point face on one printed page: the page length of the journals and the return.
    int linesPerPage() const { return linesPerPage_; }
    // The return record as read, and the dialog's answers once it has closed.
    const orva::Declaration& declaration() const { return declaration_; }
    const orva::ReturnAnswers& answers() const { return answers_; }

    // The print command: asks, writes the focused document's job and hands it to a worker that
    // submits and follows it; the outcome is reported when the worker is done.
    void printFocusedDocument();
    // The print dialog (Ctrl+P, "Печат…"): printer, page range in document pages and copies for
    // the current tab's document. A printer whose page holds another number of lines gets the
    // document paged again for it, as orva-cli print -P does; the views keep their pages.
    void printWithDialog();
    // Tests answer the next print dialog instead of opening it: the answer sets the choices on the
    // printer it is given, as the dialog would, and returns whether it was accepted.
    using PrintDialogAnswer = std::function<bool(QPrinter&)>;
    static void setNextPrintDialogAnswer(PrintDialogAnswer answer);

    // Whether a print job is being submitted or followed (a second one is refused meanwhile).
    bool printJobRunning() const { return printJob_ != nullptr; }

    // The additional-data dialog, once the load sequence has created it.
    AdditionalDataDialog* dialog() const { return dialog_.get(); }
    const std::string& dataFolder() const { return dataFolder_; }
    // The application's printer, or nullptr when there was no usable printer at creation.
    QPrinter* printer() const { return printer_.get(); }
    // Replaces the application's printer (tests give one whose page they know).
    void usePrinter(std::unique_ptr<QPrinter> printer);
    // Where print jobs go: the print server unless replaced (tests keep the jobs to look at them).
    // `service` must outlive the window.
    void setPrintService(orva::PrintService& service) { printService_ = &service; }

    // Whether the guarded load failed (the program then ends), and what failed: the read-error
    // box shows it under "Show Details..." and writes it to standard error.
    bool loadFailed() const { return loadFailed_; }
    const QString& lastLoadError() const { return lastLoadError_; }

    void setVisible(bool visible) override;

    // Another period in this window (Ctrl+O and "Отвори…", a folder dropped on the window, one of
    // "Последни"): the load sequence without the prompt, the dialog shown and cancellable. The
    // shown period stays until the new one is shown: a read error (said in a box), Cancel in the
    // dialog or No on the journals' warning keep it. A print job being followed goes on.
    // Returns whether the new period is shown.
    bool openPeriod(const std::string& folder);
    // "Последни": the last data folders opened, newest first (rebuilt each time it opens).
    QMenu* recentMenu() const { return recentMenu_; }

    // The commands around the documents: a menu button in the tab bar's corner (a press in a
    // document asks to print it, so they are not there) and their keys.
    QToolButton* menuButton() const { return menuButton_; }
    // The find bar under the tabs (Ctrl+F; Enter and F3 next, Shift+F3 previous, Esc closes).
    QWidget* findBar() const { return findBar_; }
    QLineEdit* findEdit() const { return findEdit_; }
    // Empty, or "Няма съвпадения" after a search that found nothing.
    QLabel* findStatus() const { return findStatus_; }
    // Finds the find bar's text in the current tab's document from its selection, letter case
    // aside; the match is selected and scrolled into view. False when there is none.
    bool findInCurrentDocument(bool forward);

    // The document views' enlargement in points over their printed size (printing keeps its own);
    // kept in the side files between runs.
    int zoom() const { return zoom_; }
    void setZoom(int points);

    // The status bar's fixed parts: the open period (firm, VAT number, period, generation) and the
    // page at the top of the current document ("стр. N от M"; empty on the VIES tab).
    QLabel* periodStatus() const { return periodStatus_; }
    QLabel* pageStatus() const { return pageStatus_; }

    // Writes the current tab's document to `path` through the PDF writer orva-cli export uses
    // (the same pages as printed). Throws orva::Error / orva::FileError naming the failure.
    void saveCurrentDocumentAsPdf(const std::string& path);

protected:
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setUpPrinter();
    struct PendingPeriod;
    enum class LoadResult { Shown, GivenUp, Failed };
    void runLoadSequence();
    // The load sequence without the prompt: read, the journals' warning, the dialog, shown. The
    // first load's dialog cannot be cancelled and its boxes have no parent window.
    LoadResult loadPeriod(const std::string& folder, bool first);
    std::unique_ptr<PendingPeriod> readPeriod(const std::string& folder); // throws
    // The dialog's answers for `period`; std::nullopt when it was cancelled.
    std::optional<orva::ReturnAnswers> askAnswers(const PendingPeriod& period, bool cancellable);
    // Shows `period` in place of the shown one (without a return when it could not be built), then
    // puts its side files in place (throws FileError).
    void showPeriod(PendingPeriod& period, const orva::ReturnAnswers* answers,
                    std::optional<std::vector<std::string>> returnLines);
    void chooseAndOpenPeriod();
    void startCheck(const orva::ReturnCells* cells);
    void stopCheck(); // cancels and waits: its report is not shown
    void finishCheck(int run, const std::shared_ptr<orva::check::CheckReport>& report, const QString& failure);
    void setCheckTitle(const QString& title, bool errors);
    void fillRecentMenu();
    void maximizeOnActivation();
    void onDocumentPressed();
    bool hasViewFocus(const QWidget* view) const;
    void setUpCommands();
    void openFindBar();
    void updatePageStatus();
    void askAndSaveAsPdf();
    void closeFindBar();
    void startPrintJob(orva::BegunJob&& job, orva::DocumentLines lines);
    // `failure` is null when the job was accepted; `completed` whether it was printed by then.
    void finishPrintJob(int jobId, bool completed, const QString& failure, const QString& queue);
    // A job still on its way when following it ended is asked about on a worker now and then, its
    // outcome said in the status bar (kFollowOnInterval, kFollowOnTime).
    void followOn(int jobId, const QString& queue);
    void stopFollowingOn();
    void finishFollowingOn(int run, int jobId, const QString& queue, const orva::JobStatus& status);
    QWidget* boxParent();

    Ui::MainWindow* ui;
    QMenu* printMenu_ = nullptr;
    QAction* printAction_ = nullptr;
    std::string dataFolder_;
    orva::SideFileLocations sideFiles_;
    std::optional<QPrinterInfo> printerInfo_;
    std::unique_ptr<QPrinter> printer_;
    orva::PrintService* printService_;
    std::unique_ptr<AdditionalDataDialog> dialog_;
    int linesPerPage_ = 0;
    orva::Declaration declaration_;
    orva::ReturnAnswers answers_;
    bool shown_ = false;
    bool loadFailed_ = false;
    bool printQueued_ = false;
    bool hasVies_ = false; // the VIES tab holds a declaration, not the line saying there is none
    QString lastLoadError_;
    QThread* printJob_ = nullptr; // the worker submitting and following a job, while it runs
    QThread* followOn_ = nullptr; // the worker asking about a job still on its way
    std::shared_ptr<std::atomic<bool>> followOnStop_;
    int followOnRun_ = 0; // outcomes of an earlier job are dropped
    QToolButton* menuButton_ = nullptr;
    QMenu* commandMenu_ = nullptr;
    QWidget* findBar_ = nullptr;
    QLineEdit* findEdit_ = nullptr;
    QLabel* findStatus_ = nullptr;
    int zoom_ = 0;
    QLabel* periodStatus_ = nullptr;
    QLabel* pageStatus_ = nullptr;
    bool loading_ = false;
    orva::PeriodFiles shownFiles_;
    std::shared_ptr<const orva::PeriodSession> session_; // the shown period's, shared with its workers
    QThread* checkJob_ = nullptr;
    std::shared_ptr<std::atomic<bool>> checkCancel_;
    int checkRun_ = 0; // reports of an earlier run are dropped
    std::vector<orva::check::ReportLink> checkLinks_;
    QMenu* recentMenu_ = nullptr;
};
