#include "gui/MainWindow.h"

#include "check/CheckReport.h"
#include "declaration/Declaration.h"
#include "declaration/ReturnForm.h"
#include "gui/AdditionalDataDialog.h"
#include "gui/DocumentView.h"
#include "gui/FolderChooser.h"
#include "gui/MessageBoxes.h"
#include "journals/Journal.h"
#include "period/DataFiles.h"
#include "period/JournalCopies.h"
#include "period/PeriodSession.h"
#include "render/PageMetrics.h"
#include "render/PrintService.h"
#include "render/PrinterChoice.h"
#include "render/Printing.h"
#include "render/QtText.h"
#include "sidefiles/SideFileLocations.h"
#include "sidefiles/SideFiles.h"
#include "text/DocumentSearch.h"
#include "text/Encoding.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Paths.h"
#include "vies/Vies.h"

#include "ui_main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QStringList>
#include <QTabBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <unistd.h>

namespace {

const char* const kPrintQuestion = "Желаете ли да разпечатате избрания документ ?";
const char* const kPrintDone = "Печатането завърши.";
const char* const kPrintPending = "Заданието е изпратено; принтерът още не го е отпечатал.";
const char* const kNothingToPrint = "Няма какво да се печата.";
const char* const kNoPrinter = "Няма принтер, на който да се печата.";
const char* const kNoMatches = "Няма съвпадения";
// How far the views' face may be made smaller or larger than its printed size, in points.
constexpr int kZoomMin = -4;
constexpr int kZoomMax = 24;
// The finding lines of the check tab, as orva-cli check shows by default.
constexpr std::size_t kCheckFindingsShown = 200;
// A job still on its way when following it ended is asked about this often, for this long.
constexpr std::chrono::seconds kFollowOnInterval{2};
constexpr std::chrono::minutes kFollowOnTime{30};
const char* const kPrintBusy = "Предишното задание за печат още се следи. Опитайте отново, когато завърши.";

// The lines of a shown document for a job written on a worker: the text is shared, so it stays
// whole whatever the window shows meanwhile.
orva::DocumentLines allLinesOf(std::shared_ptr<const orva::DocumentText> text) {
    return [text = std::move(text)](const std::function<void(std::string_view)>& line) {
        for (std::size_t index = 0; index < text->lineCount(); ++index)
            line(text->line(index));
    };
}

} // namespace

using orva::toQString;
using orva::toWin1251;

MainWindow::MainWindow(std::string dataFolder, orva::SideFileLocations sideFiles, std::optional<QPrinterInfo> printer,
                       QWidget* parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), dataFolder_(std::move(dataFolder)), sideFiles_(std::move(sideFiles)),
      printerInfo_(std::move(printer)), printService_(&orva::cupsPrintService()) {
    ui->setupUi(this);

    labelView()->setFont(orva::documentFont(orva::kLabelPointSize));
    for (DocumentView* view : {purchasesView(), salesView(), returnView(), viesView(), checkView()})
        view->setFont(orva::documentFont(orva::kDocumentPointSize));
    labelView()->setReadOnly(true);
    purchasesView()->setReadOnly(true);
    salesView()->setReadOnly(true);

    printMenu_ = new QMenu(this);
    printMenu_->setObjectName(QStringLiteral("printMenu"));
    printAction_ = printMenu_->addAction(QStringLiteral("Печат"));
    printAction_->setObjectName(QStringLiteral("printAction"));
    connect(printAction_, &QAction::triggered, this, &MainWindow::printFocusedDocument);
    for (QAbstractScrollArea* box : std::initializer_list<QAbstractScrollArea*>{
             labelView(), purchasesView(), salesView(), returnView(), viesView()}) {
        box->installEventFilter(this);
        box->viewport()->installEventFilter(this);
    }
    // The check's report is no document: a press selects, a double click or Enter goes to the
    // finding's record, and printing it is on its context menu. Only Ctrl+wheel is taken here.
    checkView()->setReadOnly(true);
    checkView()->setLinesActivatable(true);
    checkView()->viewport()->installEventFilter(this);
    checkView()->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* reportMenu = new QMenu(this);
    reportMenu->setObjectName(QStringLiteral("reportMenu"));
    reportMenu->addAction(QStringLiteral("Печат"), this, [this] {
        checkView()->setFocus(Qt::OtherFocusReason);
        printFocusedDocument();
    });
    connect(checkView(), &QWidget::customContextMenuRequested, this,
            [this, reportMenu](const QPoint& at) { reportMenu->popup(checkView()->mapToGlobal(at)); });
    connect(checkView(), &DocumentView::lineActivated, this, &MainWindow::goToFinding);
    // Choosing a tab (a click, Ctrl+Tab, Ctrl+PgDn) puts the keyboard into its document, so PgDn
    // scrolls it at once instead of acting on the tab bar.
    connect(documentTabs(), &QTabWidget::currentChanged, this, [this](int index) {
        const QWidget* page = documentTabs()->widget(index);
        if (auto* box = page ? page->findChild<QAbstractScrollArea*>() : nullptr)
            box->setFocus(Qt::OtherFocusReason);
    });
    // Ctrl+PgDn and Ctrl+PgUp step through the tabs as Ctrl+Tab and Ctrl+Shift+Tab do (Qt's tab
    // widget knows only those).
    for (const auto& [keys, step] : {std::pair{QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
                                     std::pair{QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1}}) {
        auto* shortcut = new QShortcut(keys, documentTabs());
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] {
            const int count = documentTabs()->count();
            documentTabs()->setCurrentIndex((documentTabs()->currentIndex() + step + count) % count);
        });
    }

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    setUpPrinter();
    setUpCommands();
    setAcceptDrops(true);
}

MainWindow::~MainWindow() {
    // The workers report to the window: the check is stopped, the print job let finish first.
    stopCheck();
    stopFollowingOn();
    if (printJob_)
        printJob_->wait();
    // The dialog outlives the load and is destroyed with the window, writing its last values.
    dialog_.reset();
    delete ui;
}

QTabWidget* MainWindow::documentTabs() const {
    return ui->documentTabs;
}
DocumentView* MainWindow::labelView() const {
    return ui->labelView;
}
DocumentView* MainWindow::purchasesView() const {
    return ui->purchasesView;
}
DocumentView* MainWindow::salesView() const {
    return ui->salesView;
}
DocumentView* MainWindow::returnView() const {
    return ui->returnView;
}
DocumentView* MainWindow::checkView() const {
    return ui->checkView;
}
DocumentView* MainWindow::viesView() const {
    return ui->viesView;
}

void MainWindow::usePrinter(std::unique_ptr<QPrinter> printer) {
    printer_ = std::move(printer);
}

QWidget* MainWindow::boxParent() {
    return isVisible() ? this : nullptr;
}

// ---------------------------------------------------------------- creation

void MainWindow::setUpCommands() {
    commandMenu_ = new QMenu(this);
    commandMenu_->setObjectName(QStringLiteral("commandMenu"));
    menuButton_ = new QToolButton(documentTabs());
    menuButton_->setObjectName(QStringLiteral("menuButton"));
    menuButton_->setText(QStringLiteral("Меню"));
    menuButton_->setMenu(commandMenu_);
    menuButton_->setPopupMode(QToolButton::InstantPopup);
    menuButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    documentTabs()->setCornerWidget(menuButton_, Qt::TopRightCorner);
    // The actions belong to the window as well, so their keys work wherever the focus is in it.
    const auto command = [this](const QString& text, const QList<QKeySequence>& keys, auto slot) {
        QAction* action = commandMenu_->addAction(text);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    command(QStringLiteral("Отвори…"), {QKeySequence::Open}, [this] { chooseAndOpenPeriod(); });
    recentMenu_ = commandMenu_->addMenu(QStringLiteral("Последни"));
    recentMenu_->setObjectName(QStringLiteral("recentMenu"));
    connect(recentMenu_, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);
    commandMenu_->addSeparator();
    command(QStringLiteral("Търсене…"), {QKeySequence::Find}, [this] { openFindBar(); });
    command(QStringLiteral("Следващо съвпадение"), {QKeySequence(Qt::Key_F3)}, [this] {
        if (findBar_->isHidden() || findEdit_->text().isEmpty())
            openFindBar();
        else
            findInCurrentDocument(true);
    });
    command(QStringLiteral("Предишно съвпадение"), {QKeySequence(Qt::SHIFT | Qt::Key_F3)}, [this] {
        if (findBar_->isHidden() || findEdit_->text().isEmpty())
            openFindBar();
        else
            findInCurrentDocument(false);
    });
    command(QStringLiteral("Печат…"), {QKeySequence::Print}, [this] { printWithDialog(); });
    command(QStringLiteral("Запази като PDF…"), {QKeySequence::Save}, [this] { askAndSaveAsPdf(); });
    commandMenu_->addSeparator();
    command(QStringLiteral("Увеличи"), {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
            [this] { setZoom(zoom_ + 1); });
    command(QStringLiteral("Намали"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, [this] { setZoom(zoom_ - 1); });
    command(QStringLiteral("Нормален размер"), {QKeySequence(Qt::CTRL | Qt::Key_0)}, [this] { setZoom(0); });

    findBar_ = new QWidget(this);
    findBar_->setObjectName(QStringLiteral("findBar"));
    auto* row = new QHBoxLayout(findBar_);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(new QLabel(QStringLiteral("Търсене:"), findBar_));
    findEdit_ = new QLineEdit(findBar_);
    findEdit_->setObjectName(QStringLiteral("findEdit"));
    row->addWidget(findEdit_, 1);
    const auto button = [this, row](const QString& text, auto slot) {
        auto* tool = new QToolButton(findBar_);
        tool->setText(text);
        tool->setFocusPolicy(Qt::NoFocus);
        connect(tool, &QToolButton::clicked, this, slot);
        row->addWidget(tool);
    };
    button(QStringLiteral("Предишно"), [this] { findInCurrentDocument(false); });
    button(QStringLiteral("Следващо"), [this] { findInCurrentDocument(true); });
    findStatus_ = new QLabel(findBar_);
    findStatus_->setObjectName(QStringLiteral("findStatus"));
    row->addWidget(findStatus_);
    button(QStringLiteral("Затвори"), [this] { closeFindBar(); });
    connect(findEdit_, &QLineEdit::returnPressed, this, [this] { findInCurrentDocument(true); });
    connect(findEdit_, &QLineEdit::textEdited, findStatus_, &QLabel::clear);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), findBar_);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, [this] { closeFindBar(); });
    ui->centralLayout->addWidget(findBar_);
    findBar_->hide();

    periodStatus_ = new QLabel(this);
    periodStatus_->setObjectName(QStringLiteral("periodStatus"));
    pageStatus_ = new QLabel(this);
    pageStatus_->setObjectName(QStringLiteral("pageStatus"));
    statusBar()->addPermanentWidget(periodStatus_);
    statusBar()->addPermanentWidget(pageStatus_);
    connect(documentTabs(), &QTabWidget::currentChanged, this, [this] { updatePageStatus(); });
    for (DocumentView* view : {labelView(), purchasesView(), salesView(), returnView()})
        connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { updatePageStatus(); });

    try {
        // Taken as the current value first: applying it does not write it back.
        zoom_ = std::atoi(orva::readSideFileStart(sideFiles_.zoom).c_str());
        setZoom(zoom_);
    } catch (const std::exception&) {
        // Not yet saved, or unreadable: the printed size.
    }
}

void MainWindow::chooseAndOpenPeriod() {
    if (loading_)
        return;
    // The chooser starts beside the shown period: the next month's folder is usually a sibling.
    const QString chosen =
        orva::FolderChooser::chooseFolder(this, QFile::decodeName(orva::folderOf(dataFolder_).c_str()));
    if (!chosen.isEmpty())
        openPeriod(QFile::encodeName(chosen).toStdString());
}

void MainWindow::fillRecentMenu() {
    recentMenu_->clear();
    for (const std::string& folder : orva::loadRecentFolders(sideFiles_)) {
        QAction* action = recentMenu_->addAction(QFile::decodeName(folder.c_str()));
        connect(action, &QAction::triggered, this, [this, folder] { openPeriod(folder); });
    }
    if (recentMenu_->isEmpty())
        recentMenu_->addAction(QStringLiteral("(няма)"))->setEnabled(false);
}

namespace {

// The one local folder a drag carries, or an empty string.
QString draggedFolder(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile())
        return {};
    const QString path = data->urls().front().toLocalFile();
    return QFileInfo(path).isDir() ? path : QString();
}

} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!loading_ && !draggedFolder(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString folder = draggedFolder(event->mimeData());
    if (folder.isEmpty())
        return;
    event->acceptProposedAction();
    // After the drop has been answered: the load runs its own modal boxes and dialog.
    QMetaObject::invokeMethod(
        this, [this, path = QFile::encodeName(folder).toStdString()] { openPeriod(path); }, Qt::QueuedConnection);
}

void MainWindow::openFindBar() {
    findBar_->show();
    findEdit_->setFocus(Qt::ShortcutFocusReason);
    findEdit_->selectAll();
}

void MainWindow::closeFindBar() {
    findBar_->hide();
    findStatus_->clear();
    if (QWidget* page = documentTabs()->currentWidget())
        if (auto* box = page->findChild<QAbstractScrollArea*>())
            box->setFocus(Qt::OtherFocusReason);
}

bool MainWindow::findInCurrentDocument(bool forward) {
    const QString needle = findEdit_->text();
    if (needle.isEmpty())
        return false;
    QWidget* page = documentTabs()->currentWidget();
    bool found = false;
    if (auto* view = page ? page->findChild<DocumentView*>() : nullptr) {
        // Next starts after the selection, previous before it, so F3 steps from match to match.
        const DocumentView::Position from =
            forward ? std::max(view->caret(), view->anchor()) : std::min(view->caret(), view->anchor());
        const std::optional<orva::TextMatch> match =
            orva::findInDocument(view->text(), toWin1251(needle), from.line, from.column, forward);
        if (match) {
            view->select({match->line, match->column}, {match->line, match->column + match->length});
            found = true;
        }
    }
    findStatus_->setText(found ? QString() : QString::fromUtf8(kNoMatches));
    return found;
}

void MainWindow::updatePageStatus() {
    QWidget* page = documentTabs()->currentWidget();
    const auto* view = page ? page->findChild<DocumentView*>() : nullptr;
    if (view == nullptr || view->lineCount() == 0 || linesPerPage_ <= 0 || view == labelView() || view == checkView()) {
        // The label is one sheet whatever its length; the VIES tab has no pages.
        pageStatus_->setText(view == labelView() ? QStringLiteral("стр. 1 от 1") : QString());
        return;
    }
    const auto perPage = static_cast<std::size_t>(linesPerPage_);
    const std::size_t top = static_cast<std::size_t>(std::max(0, view->firstVisibleLine()));
    pageStatus_->setText(QStringLiteral("стр. %1 от %2")
                             .arg(std::min(top, view->lineCount() - 1) / perPage + 1)
                             .arg((view->lineCount() + perPage - 1) / perPage));
}

void MainWindow::saveCurrentDocumentAsPdf(const std::string& path) {
    const int index = documentTabs()->currentIndex();
    QWidget* page = documentTabs()->widget(index);
    const auto* view = page ? page->findChild<DocumentView*>() : nullptr;
    if (view == nullptr || view->lineCount() == 0)
        throw orva::Error(kNothingToPrint);
    const bool label = view == labelView();
    // The label keeps to one sheet as orva-cli export lays it out; the others break where printed.
    const std::unique_ptr<orva::PdfDocumentFile> file =
        orva::exportPdfFile(path, label ? orva::kLabelPointSize : orva::kDocumentPointSize, linesPerPage_,
                            documentTabs()->tabText(index).toStdString());
    const orva::DocumentText& text = view->text();
    for (std::size_t line = 0; line < text.lineCount(); ++line)
        file->addLine(text.line(line));
    file->finish();
    file->publish();
}

void MainWindow::askAndSaveAsPdf() {
    const int index = documentTabs()->currentIndex();
    // The check's tab without its count.
    const QString suggested =
        documentTabs()->tabText(index).section(QLatin1Char(' '), 0, 0).toLower() + QStringLiteral(".pdf");
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Запази като PDF"), suggested, QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    try {
        saveCurrentDocumentAsPdf(QFile::encodeName(path).toStdString());
        statusBar()->showMessage(QStringLiteral("Записано: %1").arg(path));
    } catch (const std::exception& failure) {
        orva::showErrorBox(boxParent(), orva::failureText(failure));
    }
}

void MainWindow::setZoom(int points) {
    points = std::clamp(points, kZoomMin, kZoomMax);
    const bool changed = points != zoom_;
    zoom_ = points;
    labelView()->setFont(orva::documentFont(orva::kLabelPointSize + zoom_));
    for (QWidget* view :
         std::initializer_list<QWidget*>{purchasesView(), salesView(), returnView(), viesView(), checkView()})
        view->setFont(orva::documentFont(orva::kDocumentPointSize + zoom_));
    if (!changed)
        return;
    try {
        orva::writeFileAtomic(sideFiles_.zoom, std::to_string(zoom_) + '\n');
    } catch (const std::exception& failure) {
        // The views are enlarged all the same; only the next run will not remember it.
        std::fprintf(stderr, "orva: %s\n", failure.what());
    }
}

void MainWindow::setUpPrinter() {
    try {
        // The queue lp would choose, as orva-cli's print does.
        const QPrinterInfo info = printerInfo_ ? *printerInfo_ : orva::printerForQueue(orva::systemQueueChoice());
        if (info.isNull())
            throw orva::Error("Няма принтер по подразбиране.");
        auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        orva::preparePrinter(*printer);
        const int lines = orva::linesPerPage(*printer, orva::kDocumentPointSize);
        if (lines <= 0)
            throw orva::Error("Принтерът \"" + info.printerName().toStdString() + "\" не съобщава страница за печат.");
        printer_ = std::move(printer);
        linesPerPage_ = lines;
    } catch (const std::exception& failure) {
        orva::showErrorBox(nullptr, orva::failureText(failure));
        // Without a printer the documents are still laid out as for an A4 page, so they can be
        // read and exported; printing itself fails with its own message.
        linesPerPage_ = orva::fallbackLinesPerPage();
    }
}

// ---------------------------------------------------------------- show sequence

void MainWindow::setVisible(bool visible) {
    if (visible && !shown_) {
        shown_ = true;
        runLoadSequence();
        if (loadFailed_)
            return; // the program ends without showing the window
    }
    QMainWindow::setVisible(visible);
}

// A period read and its journals built, not yet shown: the shown one stays until this is.
struct MainWindow::PendingPeriod {
    std::string folder;
    std::shared_ptr<const orva::PeriodSession> session;
    orva::PeriodFiles files;
    orva::Declaration declaration;
    orva::JournalCopies copies;
    std::vector<std::string> viesLines; // empty without VIES.TXT
    // Why the journals are not the period's (UTF-8), asked about before the dialog.
    std::vector<std::string> gateProblems;
};

void MainWindow::runLoadSequence() {
    if (loadPeriod(dataFolder_, true) != LoadResult::Shown) {
        loadFailed_ = true;
        // quit() before the loop runs would be lost: queued, it ends the loop as soon as it starts.
        // runOrva also checks the flag and does not start the loop at all.
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    }
}

bool MainWindow::openPeriod(const std::string& folder) {
    if (loading_ || !shown_ || loadFailed_)
        return false;
    statusBar()->clearMessage();
    const LoadResult result = loadPeriod(folder, false);
    if (result == LoadResult::GivenUp)
        statusBar()->showMessage(
            QStringLiteral("Периодът от „%1“ не е отворен.").arg(QFile::decodeName(folder.c_str())));
    return result == LoadResult::Shown;
}

MainWindow::LoadResult MainWindow::loadPeriod(const std::string& folder, bool first) {
    loading_ = true;
    const auto done = [this](LoadResult result) {
        loading_ = false;
        return result;
    };
    // Boxes of the first load come before the window shows; later ones belong to it.
    QWidget* const parent = first ? nullptr : boxParent();
    std::unique_ptr<PendingPeriod> period;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        // Inside the guard: a failure other than a history that cannot be read (those are passed
        // over) is a read error, as a failed load is.
        if (!dialog_) {
            dialog_ = std::make_unique<AdditionalDataDialog>(sideFiles_);
            dialog_->setAttribute(Qt::WA_QuitOnClose, false);
        }
        period = readPeriod(folder);
        QApplication::restoreOverrideCursor();
    } catch (const std::exception& failure) {
        QApplication::restoreOverrideCursor();
        lastLoadError_ = orva::failureText(failure);
        orva::showPlainMessage(parent, QString::fromUtf8(orva::kReadError), lastLoadError_);
        return done(LoadResult::Failed);
    }

    // Journals that are not the period's (another firm, a NUL, a cut record) are shown only when
    // the user says so; No ends the first run as Cancel on the first prompt does.
    if (!period->gateProblems.empty()) {
        QStringList lines;
        for (const std::string& problem : period->gateProblems)
            lines << QString::fromStdString(orva::shownText(problem));
        const QString text = lines.join(QLatin1Char('\n')) + QStringLiteral("\n\nДа продължа ли?");
        if (!orva::confirm(parent, text, QMessageBox::Yes, QMessageBox::No))
            return done(LoadResult::GivenUp);
    }

    // The return is built before anything shown is replaced. A return that cannot be built (a
    // cell of the record that is no number) leaves another period unopened; the first one is shown
    // without it, with the message.
    std::optional<orva::ReturnAnswers> answers;
    std::optional<std::vector<std::string>> returnLines;
    QString failure;
    try {
        answers = askAnswers(*period, !first);
        if (!answers)
            return done(LoadResult::GivenUp);
        returnLines = orva::buildReturn(period->declaration, *answers, linesPerPage_);
    } catch (const std::exception& error) {
        failure = orva::failureText(error);
        if (!first) {
            orva::showErrorBox(parent, failure, failure);
            return done(LoadResult::Failed);
        }
    }
    try {
        showPeriod(*period, answers ? &*answers : nullptr, std::move(returnLines));
    } catch (const std::exception& error) {
        const QString message = orva::failureText(error);
        orva::showErrorBox(parent, message, message);
    }
    if (!failure.isNull())
        orva::showErrorBox(parent, failure, failure);
    return done(LoadResult::Shown);
}

std::unique_ptr<MainWindow::PendingPeriod> MainWindow::readPeriod(const std::string& folder) {
    auto period = std::make_unique<PendingPeriod>();
    period->folder = folder;
    const auto read = std::make_shared<orva::PeriodSession>(folder);
    period->session = read;
    const orva::PeriodSession& session = *read;
    period->files = session.files();
    const orva::PeriodFiles& files = period->files;
    std::fprintf(stderr, "orva: %s\n", files.description().c_str());
    period->declaration = session.declaration();
    // Each journal is built straight into its copy (SideFileLocations), put in place when the
    // period is shown, and shown from it mapped: the document's text is never held in memory.
    period->copies = orva::writeJournalCopies(session, linesPerPage_, sideFiles_.purchasesCopy, sideFiles_.salesCopy);
    period->gateProblems = period->copies.purchases.summary.problems;
    const std::vector<std::string>& sales = period->copies.sales.summary.problems;
    period->gateProblems.insert(period->gateProblems.end(), sales.begin(), sales.end());
    // Nothing in VIES.TXT ends the load: what cannot be read is said at the document's top.
    orva::LineCollector vies(period->viesLines);
    session.vies(linesPerPage_, vies);
    read->releaseOpenFiles();
    period->files = session.files();
    return period;
}

std::optional<orva::ReturnAnswers> MainWindow::askAnswers(const PendingPeriod& period, bool cancellable) {
    const orva::Declaration& declaration = period.declaration;
    // What the last values will be written from, should this period be given up.
    const QString address = dialog_->addressBox()->currentText();
    const QString signatory = dialog_->signatoryBox()->currentText();
    const QString position = dialog_->positionBox()->currentText();

    for (const int cellNumber : orva::kCellNumbers)
        dialog_->cell(cellNumber)->setText(toQString(declaration.cells[cellNumber]));
    dialog_->setCellCaptions(period.files.wording);
    const orva::ReturnAnswers presets = orva::presetAnswers(declaration);
    dialog_->setPresetCells(presets.cells);
    dialog_->setFirm(declaration.vatNumber);
    dialog_->dateEdit()->setText(toQString(presets.date));
    dialog_->setPendingCaption(toQString(declaration.captionText));
    dialog_->signatoryBox()->setCurrentText(toQString(presets.signatory));
    dialog_->setCancellable(cancellable);

    // OK and the close box lead on alike; only another period's dialog can be cancelled.
    dialog_->exec();
    if (dialog_->wasCancelled()) {
        dialog_->addressBox()->setEditText(address);
        dialog_->signatoryBox()->setEditText(signatory);
        dialog_->positionBox()->setEditText(position);
        return std::nullopt;
    }

    orva::ReturnAnswers answers;
    answers.address = toWin1251(dialog_->addressBox()->currentText());
    answers.position = toWin1251(dialog_->positionBox()->currentText());
    answers.date = toWin1251(dialog_->dateEdit()->text());
    answers.signatory = toWin1251(dialog_->signatoryBox()->currentText());
    answers.represent = dialog_->representCheck()->isChecked();
    answers.art92 = dialog_->art92Check()->isChecked();
    for (const int cellNumber : orva::kCellNumbers)
        answers.cells[cellNumber] = toWin1251(dialog_->cell(cellNumber)->text());
    return answers;
}

void MainWindow::showPeriod(PendingPeriod& period, const orva::ReturnAnswers* answers,
                            std::optional<std::vector<std::string>> returnLines) {
    stopCheck();
    dataFolder_ = period.folder;
    session_ = period.session;
    shownFiles_ = period.files;
    declaration_ = std::move(period.declaration);
    answers_ = answers ? *answers : orva::ReturnAnswers{};
    const orva::PeriodFiles& files = period.files;
    closeFindBar();

    labelView()->setLines(std::vector<std::string>(declaration_.label));
    setWindowTitle(toQString(declaration_.captionText));
    purchasesView()->setDocument(period.copies.purchases.text);
    salesView()->setDocument(period.copies.sales.text);
    hasVies_ = files.vies.has_value();
    if (hasVies_)
        viesView()->setLines(std::move(period.viesLines));
    else
        viesView()->setLines({orva::utf8ToWin1251(orva::kNoViesText)});
    if (returnLines) {
        returnView()->setLines(std::move(*returnLines));
        returnView()->setReadOnly(true);
    } else {
        returnView()->clear();
        returnView()->setReadOnly(false);
    }
    for (DocumentView* view : {labelView(), purchasesView(), salesView(), returnView(), viesView()}) {
        if (view != returnView())
            view->setReadOnly(true);
        view->scrollToStart();
    }
    periodStatus_->setText(QStringLiteral("%1 · ИН по ЗДДС %2 · период %3 · %4 поколение")
                               .arg(toQString(declaration_.firmName).trimmed(),
                                    toQString(declaration_.vatNumber).trimmed(),
                                    toQString(declaration_.periodText).trimmed(),
                                    QString::fromUtf8(orva::returnLayoutName(files.returnLayout))));
    updatePageStatus();
    startCheck(answers ? &answers->cells : nullptr);

    // The files beside the program follow the shown period; a failure to write them is reported
    // after the period is shown, as it cannot be taken back.
    period.copies.publish();
    if (hasVies_)
        viesView()->saveToFile(sideFiles_.viesCopy);
    else if (::unlink(sideFiles_.viesCopy.c_str()) != 0 && errno != ENOENT)
        orva::throwFileError(orva::FileAction::Write, sideFiles_.viesCopy, errno);
    try {
        orva::rememberRecentFolder(sideFiles_, dataFolder_);
    } catch (const orva::FileError& failure) {
        // A convenience, as the dialog's last values: said on standard error only.
        std::fprintf(stderr, "orva: %s\n", failure.what());
    }
}

// ---------------------------------------------------------------- the check

void MainWindow::startCheck(const orva::ReturnCells* cells) {
    stopCheck();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    checkCancel_ = cancel;
    const int run = ++checkRun_;
    checkLinks_.clear();
    checkView()->setLines({orva::utf8ToWin1251("Проверката на периода тече…")});
    setCheckTitle(QStringLiteral("ПРОВЕРКА (…)"), false);
    std::optional<orva::ReturnCells> given;
    if (cells)
        given = *cells;
    checkJob_ = QThread::create([this, run, cancel, given, session = session_] {
        auto report = std::make_shared<orva::check::CheckReport>();
        QString failure;
        try {
            *report =
                orva::check::runTextReport(*session, given ? &*given : nullptr, kCheckFindingsShown, cancel.get());
        } catch (const orva::Cancelled&) {
            return; // another period, or the window closing: nothing to show
        } catch (const std::exception& error) {
            failure = orva::failureText(error);
        }
        QMetaObject::invokeMethod(
            this, [this, run, report, failure] { finishCheck(run, report, failure); }, Qt::QueuedConnection);
    });
    checkJob_->start(QThread::LowPriority);
}

void MainWindow::stopCheck() {
    if (!checkJob_)
        return;
    checkCancel_->store(true);
    checkJob_->wait();
    delete checkJob_;
    checkJob_ = nullptr;
}

void MainWindow::finishCheck(int run, const std::shared_ptr<orva::check::CheckReport>& report, const QString& failure) {
    if (run != checkRun_ || !checkJob_)
        return; // the report of a period no longer shown
    checkJob_->wait();
    delete checkJob_;
    checkJob_ = nullptr;
    if (!failure.isNull()) {
        checkView()->setLines({orva::utf8ToWin1251("Проверката не можа да завърши: ") + toWin1251(failure)});
        setCheckTitle(QStringLiteral("ПРОВЕРКА (!)"), true);
        return;
    }
    // Control characters of the files are shown escaped in the report: a line break is a line's end.
    std::vector<std::string> lines = orva::splitLines(orva::utf8ToWin1251(report->text));
    checkLinks_ = std::move(report->links);
    if (!report->filesChanged.empty()) {
        // Said above the report; the links move down with it.
        lines.insert(lines.begin(), {orva::utf8ToWin1251(report->filesChanged), std::string()});
        for (orva::check::ReportLink& link : checkLinks_)
            link.reportLine += 2;
    }
    checkView()->setLines(std::move(lines));
    const std::size_t count = report->errors + report->warnings + report->failedRules;
    setCheckTitle(QStringLiteral("ПРОВЕРКА (%1)").arg(count), report->errors + report->failedRules != 0);
}

void MainWindow::setCheckTitle(const QString& title, bool errors) {
    const int index = documentTabs()->indexOf(ui->checkTab);
    documentTabs()->setTabText(index, title);
    documentTabs()->tabBar()->setTabTextColor(index, errors ? QColor(Qt::red) : QColor());
}

bool MainWindow::goToFinding(std::size_t reportLine) {
    const auto link = std::lower_bound(
        checkLinks_.begin(), checkLinks_.end(), reportLine,
        [](const orva::check::ReportLink& candidate, std::size_t wanted) { return candidate.reportLine < wanted; });
    if (link == checkLinks_.end() || link->reportLine != reportLine)
        return false;
    DocumentView* view = nullptr;
    std::size_t line = 0;
    // A line past the records laid out (after the line that ended the data) lies past the
    // document's end, which the view shows instead.
    const auto journalLine = [this, &link](orva::JournalKind kind) {
        return orva::recordBlockLine(orva::journalLayout(kind, shownFiles_.wording), linesPerPage_, link->line);
    };
    if (link->file == shownFiles_.purchases.name) {
        view = purchasesView();
        line = journalLine(orva::JournalKind::Purchases);
    } else if (link->file == shownFiles_.sales.name) {
        view = salesView();
        line = journalLine(orva::JournalKind::Sales);
    } else if (shownFiles_.vies && link->file == shownFiles_.vies->name) {
        view = viesView();
    } else {
        view = returnView();
    }
    documentTabs()->setCurrentWidget(view->parentWidget());
    view->setFocus(Qt::OtherFocusReason);
    view->showLineAtTop(line);
    return true;
}

// ---------------------------------------------------------------- activation

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        maximizeOnActivation();
}

void MainWindow::maximizeOnActivation() {
    if (!(windowState() & Qt::WindowMaximized))
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
}

// ---------------------------------------------------------------- printing

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && (static_cast<QWheelEvent*>(event)->modifiers() & Qt::ControlModifier)) {
        const int steps = static_cast<QWheelEvent*>(event)->angleDelta().y() / 120;
        if (steps != 0)
            setZoom(zoom_ + steps);
        return true;
    }
    if (watched == checkView()->viewport())
        return QMainWindow::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress) {
        onDocumentPressed();
    } else if (event->type() == QEvent::ContextMenu) {
        // A mouse press has already started the print command; the menu is for the keyboard.
        const auto* request = static_cast<QContextMenuEvent*>(event);
        if (request->reason() != QContextMenuEvent::Mouse)
            printMenu_->popup(request->globalPos());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::onDocumentPressed() {
    // Runs once the press has been handled, so a click has already moved the focus into the box.
    if (printQueued_)
        return;
    printQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            printQueued_ = false;
            printFocusedDocument();
        },
        Qt::QueuedConnection);
}

bool MainWindow::hasViewFocus(const QWidget* view) const {
    // The window's focus child, so the answer does not depend on whether the window has been
    // activated again after the confirmation box.
    const QWidget* focused = focusWidget();
    return focused != nullptr && (focused == view || view->isAncestorOf(focused));
}

void MainWindow::printFocusedDocument() {
    // Refused before asking: the job being followed keeps the print service until it is settled.
    if (printJob_) {
        orva::showPlainMessage(boxParent(), QString::fromUtf8(kPrintBusy));
        return;
    }
    if (!orva::confirm(boxParent(), QString::fromUtf8(kPrintQuestion), QMessageBox::Yes, QMessageBox::No))
        return;
    const DocumentView* view = nullptr;
    int pointSize = orva::kDocumentPointSize;
    for (const DocumentView* candidate :
         {labelView(), purchasesView(), salesView(), returnView(), viesView(), checkView()})
        if (hasViewFocus(candidate) && (candidate != viesView() || hasVies_))
            view = candidate;
    if (view == labelView())
        pointSize = orva::kLabelPointSize;
    // The VIES tab (and a document that has no lines) gives no job: saying it was printed would be false.
    if (view == nullptr || view->lineCount() == 0) {
        orva::showPlainMessage(boxParent(), QString::fromUtf8(kNothingToPrint));
        return;
    }
    if (!printer_) {
        orva::showErrorBox(boxParent(), QString::fromUtf8(kNoPrinter));
        return;
    }
    try {
        startPrintJob(orva::beginPrintJob(*printer_, pointSize, orva::kApplicationTitle),
                      allLinesOf(view->sharedText()));
    } catch (const std::exception& error) {
        QString failure = orva::failureText(error);
        if (failure.isEmpty())
            failure = QStringLiteral("Документът не може да се разпечата.");
        orva::showErrorBox(boxParent(), failure);
    }
}

namespace {

MainWindow::PrintDialogAnswer& nextPrintDialogAnswer() {
    static MainWindow::PrintDialogAnswer answer;
    return answer;
}

} // namespace

void MainWindow::setNextPrintDialogAnswer(PrintDialogAnswer answer) {
    nextPrintDialogAnswer() = std::move(answer);
}

void MainWindow::printWithDialog() {
    if (printJob_) {
        orva::showPlainMessage(boxParent(), QString::fromUtf8(kPrintBusy));
        return;
    }
    QWidget* page = documentTabs()->currentWidget();
    const DocumentView* view = page ? page->findChild<DocumentView*>() : nullptr;
    if (view == nullptr || view->lineCount() == 0) {
        orva::showPlainMessage(boxParent(), QString::fromUtf8(kNothingToPrint));
        return;
    }
    const bool label = view == labelView();
    const int pointSize = label ? orva::kLabelPointSize : orva::kDocumentPointSize;
    // The queue lp would choose, preselected.
    auto chosen = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (printer_)
        chosen->setPrinterName(printer_->printerName());
    orva::preparePrinter(*chosen);
    const int shownLines = label ? 0 : linesPerPage_;
    const auto pages = static_cast<int>(label ? 1 : (view->lineCount() + linesPerPage_ - 1) / linesPerPage_);
    chosen->setFromTo(1, pages);
    bool accepted = false;
    if (PrintDialogAnswer answer = std::exchange(nextPrintDialogAnswer(), nullptr)) {
        accepted = answer(*chosen);
    } else {
        QPrintDialog dialog(chosen.get(), this);
        dialog.setMinMax(1, pages);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
        dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, true);
        accepted = dialog.exec() == QDialog::Accepted;
    }
    if (!accepted)
        return;
    const bool range = chosen->printRange() == QPrinter::PageRange;
    const int first = range ? std::max(1, chosen->fromPage()) : 1;
    const int last = range && chosen->toPage() > 0 ? chosen->toPage() : INT_MAX;

    try {
        const int fit = orva::linesPerPage(*chosen, pointSize);
        // The label is one sheet at its own size; the other documents are paged for the chosen
        // printer's page when it holds another number of lines than the views' pages.
        const bool report = view == checkView(); // not paged: it breaks where the sheet is full
        const int perPage = label ? 0 : fit;
        orva::DocumentLines all = allLinesOf(view->sharedText());
        if (!label && !report && perPage != shownLines) {
            // Built again on the worker from what is shown now: copies, as another period may follow.
            if (view == returnView()) {
                all = [declaration = declaration_, answers = answers_,
                       perPage](const std::function<void(std::string_view)>& line) {
                    for (const std::string& built : orva::buildReturn(declaration, answers, perPage))
                        line(built);
                };
            } else {
                // The journal is read again: it must still be the file shown.
                const std::string changed = session_->changedFilesNote();
                if (!changed.empty())
                    throw orva::Error(changed + " Отворете периода отново, за да го отпечатате на този принтер.");
                all = [session = session_,
                       kind = view == purchasesView() ? orva::JournalKind::Purchases : orva::JournalKind::Sales,
                       perPage](const std::function<void(std::string_view)>& line) {
                    orva::LineForwarder sink(line);
                    session->journal(kind, perPage, sink);
                };
            }
        }
        // Only the chosen pages of the document as it is paged for the job.
        const long long pageLines = perPage > 0 ? perPage : LLONG_MAX;
        orva::DocumentLines chosenPages = [all = std::move(all), pageLines, first,
                                           last](const std::function<void(std::string_view)>& line) {
            long long index = 0;
            all([&](std::string_view text) {
                const long long pageNumber = index++ / pageLines + 1;
                if (pageNumber >= first && pageNumber <= last)
                    line(text);
            });
        };
        startPrintJob(orva::beginPrintJob(*chosen, pointSize, orva::kApplicationTitle, perPage),
                      std::move(chosenPages));
    } catch (const std::exception& error) {
        orva::showErrorBox(boxParent(), orva::failureText(error));
    }
}

void MainWindow::startPrintJob(orva::BegunJob&& begun, orva::DocumentLines lines) {
    // The job's PDF is written, submitted and followed (up to orva::kJobFollowTime) on a worker,
    // so the window keeps painting and scrolling meanwhile, a million-line journal included.
    auto job = std::make_shared<orva::BegunJob>(std::move(begun));
    const QString queue = QString::fromStdString(job->job.queue);
    orva::PrintService* service = printService_;
    statusBar()->showMessage(QStringLiteral("Печат: заданието се пише, изпраща на „%1“ и следи…").arg(queue));
    printJob_ = QThread::create([this, job, lines = std::move(lines), service, queue] {
        orva::JobOutcome outcome;
        QString failure;
        try {
            job->write(lines);
            const orva::PreparedJob& prepared = job->job;
            outcome = service->submitPdfFollowed(prepared.queue, prepared.pdfPath, prepared.name, prepared.options);
        } catch (const std::exception& error) {
            failure = orva::failureText(error);
            if (failure.isEmpty())
                failure = QStringLiteral("Документът не може да се разпечата.");
        }
        QMetaObject::invokeMethod(
            this, [this, outcome, failure, queue] { finishPrintJob(outcome.id, outcome.completed, failure, queue); },
            Qt::QueuedConnection);
    });
    printJob_->start();
}

void MainWindow::finishPrintJob(int jobId, bool completed, const QString& failure, const QString& queue) {
    printJob_->wait();
    delete printJob_;
    printJob_ = nullptr;
    if (!failure.isNull()) {
        statusBar()->showMessage(QStringLiteral("Печат: заданието не е отпечатано."));
        orva::showErrorBox(boxParent(), failure);
    } else if (completed) {
        statusBar()->showMessage(QStringLiteral("Печат: задание %1 на „%2“ е отпечатано.").arg(jobId).arg(queue));
        orva::showPlainMessage(boxParent(), QString::fromUtf8(kPrintDone));
    } else {
        statusBar()->showMessage(
            QStringLiteral("Печат: задание %1 на „%2“ е изпратено, но още не е отпечатано.").arg(jobId).arg(queue));
        orva::showPlainMessage(boxParent(), QString::fromUtf8(kPrintPending));
        followOn(jobId, queue);
    }
}

void MainWindow::followOn(int jobId, const QString& queue) {
    stopFollowingOn();
    auto stop = std::make_shared<std::atomic<bool>>(false);
    followOnStop_ = stop;
    const int run = ++followOnRun_;
    orva::PrintService* service = printService_;
    followOn_ = QThread::create([this, stop, run, service, jobId, queue] {
        const std::string queueName = queue.toStdString();
        const auto end = std::chrono::steady_clock::now() + kFollowOnTime;
        orva::JobStatus status{orva::JobStatus::Fate::OnItsWay, {}};
        while (status.fate == orva::JobStatus::Fate::OnItsWay && std::chrono::steady_clock::now() < end) {
            for (auto slept = std::chrono::milliseconds(0); slept < kFollowOnInterval;
                 slept += std::chrono::milliseconds(100)) {
                if (stop->load())
                    return;
                QThread::msleep(100);
            }
            status = service->jobStatus(queueName, jobId);
        }
        QMetaObject::invokeMethod(
            this, [this, run, jobId, queue, status] { finishFollowingOn(run, jobId, queue, status); },
            Qt::QueuedConnection);
    });
    followOn_->start();
}

void MainWindow::stopFollowingOn() {
    if (!followOn_)
        return;
    followOnStop_->store(true);
    followOn_->wait();
    delete followOn_;
    followOn_ = nullptr;
}

void MainWindow::finishFollowingOn(int run, int jobId, const QString& queue, const orva::JobStatus& status) {
    if (run != followOnRun_ || !followOn_)
        return; // of a job no longer followed
    stopFollowingOn();
    switch (status.fate) {
    case orva::JobStatus::Fate::Printed:
        statusBar()->showMessage(QStringLiteral("Печат: задание %1 на „%2“ е отпечатано.").arg(jobId).arg(queue));
        break;
    case orva::JobStatus::Fate::Failed:
        statusBar()->showMessage(QString::fromStdString(status.failure));
        break;
    case orva::JobStatus::Fate::Unknown:
        statusBar()->showMessage(
            QStringLiteral("Печат: принтерът вече не дава сведения за задание %1 на „%2“.").arg(jobId).arg(queue));
        break;
    case orva::JobStatus::Fate::OnItsWay:
        statusBar()->showMessage(
            QStringLiteral("Печат: задание %1 на „%2“ още не е отпечатано; не се следи повече.").arg(jobId).arg(queue));
        break;
    }
}
