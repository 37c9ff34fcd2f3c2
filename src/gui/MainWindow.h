#pragma once

#include "gui/CheckTab.h"
#include "gui/CompareTabs.h"
#include "gui/FindBar.h"
#include "gui/PeriodLoader.h"
#include "gui/PrintJobs.h"
#include "gui/Zoom.h"
#include "period/PeriodSession.h"
#include "sidefiles/SideFileLocations.h"

#include <QMainWindow>
#include <QPrinter>
#include <QPrinterInfo>
#include <QString>

#include <memory>
#include <optional>
#include <string>

class AdditionalDataDialog;
class DocumentView;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QTabWidget;
class QToolButton;

namespace Ui {
class MainWindow;
}

namespace orva {
class PrintService;
} // namespace orva

// The main window: the documents of one tax period on tabs, the commands around them, and the
// parts that do the work (the load, the print jobs, the check tab, find and zoom).
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
    // The sixth tab, "ПРОВЕРКА (N)" (CheckTab).
    DocumentView* checkView() const;
    bool checkRunning() const { return checkTab_->running(); }
    bool goToFinding(std::size_t reportLine) { return checkTab_->goToFinding(reportLine); }
    QAction* printAction() const { return printAction_; }
    // The comparisons' tabs: the memo against another submission, the reconciliation with the
    // agency's reports (CompareTabs).
    CompareTabs* compareTabs() const { return compareTabs_; }

    // Lines of the 8-point face on one printed page: the page length of the journals and the return.
    int linesPerPage() const { return linesPerPage_; }
    // The return record as read, and the dialog's answers once it has closed.
    const orva::Declaration& declaration() const { return declaration_; }
    const orva::ReturnAnswers& answers() const { return answers_; }

    // The print command: asks, then prints the focused document (PrintJobs).
    void printFocusedDocument();
    // The print dialog (Ctrl+P, "Печат…") for the current tab's document (PrintJobs).
    void printWithDialog();
    PrintJobs* printJobs() const { return printJobs_; }
    bool printJobRunning() const { return printJobs_->busy(); }
    // Where print jobs go: the print server unless replaced; `service` must outlive the window.
    void setPrintService(orva::PrintService& service) { printJobs_->setService(service); }

    // The additional-data dialog, once the first load has created it.
    AdditionalDataDialog* dialog() const { return loader_->dialog(); }
    const std::string& dataFolder() const { return dataFolder_; }
    // The application's printer, or nullptr when there was no usable printer at creation.
    QPrinter* printer() const { return printer_.get(); }
    // Replaces the application's printer (tests give one whose page they know).
    void usePrinter(std::unique_ptr<QPrinter> printer) { printer_ = std::move(printer); }

    // Whether the first load failed (the program then ends), and what failed: the read-error box
    // shows it under "Show Details..." and writes it to standard error.
    bool loadFailed() const { return loadFailed_; }
    // After a failed first load answered "Проверка": the window shows that folder's check alone, and
    // the program ends with the window as it ends after the error box.
    bool checkOnly() const { return checkOnly_; }
    const QString& lastLoadError() const { return loader_->lastError(); }

    void setVisible(bool visible) override;

    // Another period in this window (Ctrl+O and "Отвори…", a folder dropped on the window, one of
    // "Последни"): read on a worker while the shown one stays usable, then the dialog, shown and
    // cancellable. A read error (said in a box), Cancel in the dialog or No on the journals'
    // warning keep the shown period. A print job being followed goes on. False when the load could
    // not start (one is under way, or the window has no period yet); periodOpened() tells the end.
    bool openPeriod(const std::string& folder);
    bool loading() const { return loader_->loading(); }
    // "Последни": the last data folders opened, newest first (rebuilt each time it opens).
    QMenu* recentMenu() const { return recentMenu_; }

    // The commands around the documents: a menu button in the tab bar's corner (a press in a
    // document asks to print it, so they are not there) and their keys.
    QToolButton* menuButton() const { return menuButton_; }
    QWidget* findBar() const { return findBar_; }
    QLineEdit* findEdit() const { return findBar_->edit(); }
    QLabel* findStatus() const { return findBar_->status(); }
    bool findInCurrentDocument(bool forward) { return findBar_->find(forward); }

    // The views' enlargement in points over their printed size (Zoom).
    int zoom() const { return zoom_->points(); }
    void setZoom(int points) { zoom_->set(points); }

    // The status bar's fixed parts: the open period (firm, VAT number, period, generation) and the
    // page at the top of the current document ("стр. N от M"; empty on the VIES tab).
    QLabel* periodStatus() const { return periodStatus_; }
    QLabel* pageStatus() const { return pageStatus_; }
    // Shown for as long as the period's journals are shown although they are not its own.
    QLabel* foreignJournalsStatus() const { return foreignStatus_; }
    // The enlargement, "Мащаб: +N" ("Мащаб: 0" at the printed size).
    QLabel* zoomStatus() const { return zoomStatus_; }

    // Writes the current tab's document to `path` through the PDF writer orva-cli export uses
    // (the same pages as printed). Throws orva::Error / orva::FileError naming the failure.
    void saveCurrentDocumentAsPdf(const std::string& path);
    // The name "Запази като PDF" proposes for the current tab: "<VAT number>-<period>-<tab>.pdf".
    QString suggestedPdfName() const;

signals:
    // Another period's load has ended: shown, or the shown one kept.
    void periodOpened(bool shown);

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setUpCommands();
    // Shows `period` in place of the shown one, then puts its side files in place (throws FileError).
    void showPeriod(orva::LoadedPeriod& period);
    void showCheckOnly();
    void chooseAndOpenPeriod();
    void updatePageStatus();
    void askAndSaveAsPdf();
    DocumentView* currentView() const;
    // Every document view the window has now: the period's, the check's, the comparisons'.
    std::vector<DocumentView*> allViews() const;
    // The document of `view` as the print jobs take it; none for the VIES tab without VIES.TXT.
    std::optional<PrintJobs::Document> printable(const DocumentView* view) const;
    QWidget* boxParent();

    Ui::MainWindow* ui;
    QAction* printAction_ = nullptr;
    QMenu* printMenu_ = nullptr;
    std::string dataFolder_;
    std::shared_ptr<const orva::PeriodSession> session_; // the shown period's, shared with its workers
    orva::SideFileLocations sideFiles_;
    std::optional<QPrinterInfo> printerInfo_; // as given; the queue lp would choose when none
    std::unique_ptr<QPrinter> printer_;
    int linesPerPage_ = 0;
    orva::Declaration declaration_;
    orva::ReturnAnswers answers_;
    bool shown_ = false;
    bool loadFailed_ = false;
    bool checkOnly_ = false;
    bool printQueued_ = false;
    bool hasVies_ = false; // the VIES tab holds a declaration, not the line saying there is none
    QToolButton* menuButton_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QLabel* periodStatus_ = nullptr;
    QLabel* pageStatus_ = nullptr;
    QLabel* foreignStatus_ = nullptr;
    QLabel* zoomStatus_ = nullptr;
    FindBar* findBar_ = nullptr;
    Zoom* zoom_ = nullptr;
    CheckTab* checkTab_ = nullptr;
    CompareTabs* compareTabs_ = nullptr;
    PrintJobs* printJobs_ = nullptr;
    PeriodLoader* loader_ = nullptr;
};
