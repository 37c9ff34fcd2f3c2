#include "gui/MainWindow.h"

#include "Version.h"
#include "gui/DocumentFiles.h"
#include "gui/DocumentView.h"
#include "gui/FolderChooser.h"
#include "gui/MessageBoxes.h"
#include "journals/Journal.h"
#include "render/PageMetrics.h"
#include "render/QtText.h"
#include "sidefiles/SideFiles.h"
#include "text/Encoding.h"
#include "text/Errors.h"
#include "text/Paths.h"
#include "vies/Vies.h"

#include "ui_main_window.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

using orva::toQString;

MainWindow::MainWindow(std::string dataFolder, orva::SideFileLocations sideFiles, std::optional<QPrinterInfo> printer,
                       QWidget* parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), dataFolder_(std::move(dataFolder)),
      sideFiles_(std::move(sideFiles)) {
    ui->setupUi(this);

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
    // Choosing a tab (a click, Ctrl+Tab, Ctrl+PgDn) puts the keyboard into its document, so PgDn
    // scrolls it at once instead of acting on the tab bar.
    connect(documentTabs(), &QTabWidget::currentChanged, this, [this] {
        if (DocumentView* view = currentView())
            view->setFocus(Qt::OtherFocusReason);
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

    checkTab_ =
        new CheckTab(documentTabs(), checkView(), {purchasesView(), salesView(), viesView(), returnView()}, this);
    connect(checkTab_, &CheckTab::printRequested, this, &MainWindow::printFocusedDocument);
    printJobs_ = new PrintJobs(
        statusBar(), [this] { return boxParent(); }, this);
    loader_ = new PeriodLoader(
        sideFiles_, statusBar(), [this](orva::LoadedPeriod& period) { showPeriod(period); }, this);
    connect(loader_, &PeriodLoader::finished, this,
            [this](PeriodLoader::Result result) { emit periodOpened(result == PeriodLoader::Result::Shown); });
    loader_->openDroppedFolders(this, [this](const std::string& folder) { openPeriod(folder); });
    printer_ = PrintJobs::applicationPrinter(printer, linesPerPage_);
    setUpCommands();
}

MainWindow::~MainWindow() {
    // The parts that run workers go first: they report to the window's views and status bar.
    delete loader_; // the dialog with it, writing its last values
    delete checkTab_;
    delete compareTabs_;
    delete printJobs_;
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
DocumentView* MainWindow::currentView() const {
    const QWidget* page = documentTabs()->currentWidget();
    return page ? page->findChild<DocumentView*>() : nullptr;
}
std::vector<DocumentView*> MainWindow::allViews() const {
    std::vector<DocumentView*> views{labelView(), purchasesView(), salesView(), returnView(), viesView(), checkView()};
    for (DocumentView* view : compareTabs_->views())
        views.push_back(view);
    return views;
}
QWidget* MainWindow::boxParent() {
    return isVisible() ? this : nullptr;
}

// ---------------------------------------------------------------- creation

void MainWindow::setUpCommands() {
    auto* commands = new QMenu(this);
    commands->setObjectName(QStringLiteral("commandMenu"));
    menuButton_ = new QToolButton(documentTabs());
    menuButton_->setObjectName(QStringLiteral("menuButton"));
    menuButton_->setText(QStringLiteral("Меню"));
    menuButton_->setMenu(commands);
    menuButton_->setPopupMode(QToolButton::InstantPopup);
    menuButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    documentTabs()->setCornerWidget(menuButton_, Qt::TopRightCorner);
    findBar_ = new FindBar([this] { return currentView(); }, this);
    ui->centralLayout->addWidget(findBar_);
    zoom_ = new Zoom({{labelView(), orva::kLabelPointSize},
                      {purchasesView(), orva::kDocumentPointSize},
                      {salesView(), orva::kDocumentPointSize},
                      {returnView(), orva::kDocumentPointSize},
                      {viesView(), orva::kDocumentPointSize},
                      {checkView(), orva::kDocumentPointSize}},
                     sideFiles_.zoom, this);
    // The actions belong to the window as well, so their keys work wherever the focus is in it.
    const auto command = [this, commands](const QString& text, const QList<QKeySequence>& keys, auto slot) {
        QAction* action = commands->addAction(text);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, slot);
    };
    command(QStringLiteral("Отвори…"), {QKeySequence::Open}, [this] { chooseAndOpenPeriod(); });
    recentMenu_ = commands->addMenu(QStringLiteral("Последни"));
    recentMenu_->setObjectName(QStringLiteral("recentMenu"));
    connect(recentMenu_, &QMenu::aboutToShow, this, [this] {
        orva::FolderChooser::fillRecentMenu(recentMenu_, orva::loadRecentFolders(sideFiles_),
                                            [this](const std::string& folder) { openPeriod(folder); });
    });
    commands->addSeparator();
    compareTabs_ = new CompareTabs(
        documentTabs(), purchasesView(), salesView(), zoom_, [this] { return boxParent(); }, this);
    connect(compareTabs_, &CompareTabs::printRequested, this, &MainWindow::printFocusedDocument);
    connect(compareTabs_, &CompareTabs::viewOpened, this, [this](DocumentView* view) {
        connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { updatePageStatus(); });
    });
    command(QStringLiteral("Сравни с друго подаване…"), {}, [this] { compareTabs_->chooseOlderSubmission(); });
    command(QStringLiteral("Сравни със справката от НАП…"), {}, [this] { compareTabs_->chooseReports(); });
    commands->addSeparator();
    command(QStringLiteral("Търсене…"), {QKeySequence::Find}, [this] { findBar_->openBar(); });
    command(QStringLiteral("Следващо съвпадение"), {QKeySequence(Qt::Key_F3)}, [this] { findBar_->findOrOpen(true); });
    command(QStringLiteral("Предишно съвпадение"), {QKeySequence(Qt::SHIFT | Qt::Key_F3)},
            [this] { findBar_->findOrOpen(false); });
    command(QStringLiteral("Печат…"), {QKeySequence::Print}, [this] { printWithDialog(); });
    command(QStringLiteral("Запази като PDF…"), {QKeySequence::Save}, [this] { askAndSaveAsPdf(); });
    commands->addSeparator();
    command(QStringLiteral("Увеличи"), {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
            [this] { setZoom(zoom() + 1); });
    command(QStringLiteral("Намали"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, [this] { setZoom(zoom() - 1); });
    command(QStringLiteral("Нормален размер"), {QKeySequence(Qt::CTRL | Qt::Key_0)}, [this] { setZoom(0); });
    commands->addSeparator();
    command(QStringLiteral("За програмата"), {}, [this] {
        orva::showPlainMessage(
            boxParent(),
            QStringLiteral("ОРВА, версия %1\nДневници и справка-декларация по ЗДДС").arg(QStringLiteral(ORVA_VERSION)));
    });
    command(QStringLiteral("Изход"), {QKeySequence(Qt::CTRL | Qt::Key_Q)}, [this] { close(); });

    periodStatus_ = new QLabel(this);
    periodStatus_->setObjectName(QStringLiteral("periodStatus"));
    pageStatus_ = new QLabel(this);
    pageStatus_->setObjectName(QStringLiteral("pageStatus"));
    foreignStatus_ = new QLabel(QStringLiteral("ВНИМАНИЕ: дневниците не са на този период"), this);
    foreignStatus_->setObjectName(QStringLiteral("foreignJournalsStatus"));
    foreignStatus_->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold"));
    foreignStatus_->hide();
    zoomStatus_ = zoom_->makeStatus(this);
    statusBar()->addPermanentWidget(foreignStatus_);
    statusBar()->addPermanentWidget(periodStatus_);
    statusBar()->addPermanentWidget(pageStatus_);
    statusBar()->addPermanentWidget(zoomStatus_);
    connect(documentTabs(), &QTabWidget::currentChanged, this, [this] { updatePageStatus(); });
    for (DocumentView* view : {labelView(), purchasesView(), salesView(), returnView()})
        connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { updatePageStatus(); });
}

// ---------------------------------------------------------------- periods

void MainWindow::setVisible(bool visible) {
    if (visible && !shown_) {
        shown_ = true;
        if (loader_->loadFirst(dataFolder_, linesPerPage_) != PeriodLoader::Result::Shown) {
            loadFailed_ = true;
            if (loader_->checkAsked()) {
                showCheckOnly();
                QMainWindow::setVisible(visible);
                return;
            }
            // quit() before the loop runs would be lost: queued, it ends the loop as soon as it
            // starts. runOrva also checks the flag and does not start the loop at all.
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
            return; // the program ends without showing the window
        }
    }
    QMainWindow::setVisible(visible);
}

void MainWindow::showCheckOnly() {
    // The documents stay empty: only the check can say what is wrong with every record at once.
    checkOnly_ = true;
    setWindowTitle(QStringLiteral("ОРВА – проверка на %1").arg(QFile::decodeName(dataFolder_.c_str())));
    periodStatus_->setText(QStringLiteral("Периодът не може да се прочете; показана е само проверката му."));
    documentTabs()->setCurrentWidget(checkView()->parentWidget());
    checkTab_->startFolder(dataFolder_);
}

bool MainWindow::openPeriod(const std::string& folder) {
    if (!shown_ || loadFailed_)
        return false;
    return loader_->start(folder, linesPerPage_, this);
}

void MainWindow::chooseAndOpenPeriod() {
    if (loading())
        return;
    // The chooser starts beside the shown period: the next month's folder is usually a sibling.
    const QString chosen =
        orva::FolderChooser::chooseFolder(this, QFile::decodeName(orva::folderOf(dataFolder_).c_str()));
    if (!chosen.isEmpty())
        openPeriod(QFile::encodeName(chosen).toStdString());
}

void MainWindow::showPeriod(orva::LoadedPeriod& period) {
    checkTab_->stop();
    dataFolder_ = period.folder;
    session_ = period.session;
    declaration_ = std::move(period.declaration);
    answers_ = period.answers ? *period.answers : orva::ReturnAnswers{};
    findBar_->closeBar();

    labelView()->setLines(std::vector<std::string>(declaration_.label));
    setWindowTitle(toQString(declaration_.captionText));
    purchasesView()->setDocument(period.copies.purchases.text);
    salesView()->setDocument(period.copies.sales.text);
    hasVies_ = period.files.vies.has_value();
    if (hasVies_)
        viesView()->setLines(std::move(period.viesLines));
    else
        viesView()->setLines({orva::utf8ToWin1251(orva::kNoViesText)});
    if (period.returnLines)
        returnView()->setLines(std::move(*period.returnLines));
    else
        returnView()->clear();
    for (DocumentView* view : {labelView(), purchasesView(), salesView(), returnView(), viesView()})
        view->scrollToStart();
    periodStatus_->setText(QStringLiteral("%1 · ИН по ЗДДС %2 · период %3 · %4 поколение")
                               .arg(toQString(declaration_.firmName).trimmed(),
                                    toQString(declaration_.vatNumber).trimmed(),
                                    toQString(declaration_.periodText).trimmed(),
                                    QString::fromUtf8(orva::returnLayoutName(period.files.returnLayout))));
    foreignStatus_->setVisible(period.foreignJournals);
    updatePageStatus();
    checkTab_->start(session_, linesPerPage_, period.answers ? &period.answers->cells : nullptr);
    compareTabs_->setPeriod(session_, linesPerPage_);

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

// ---------------------------------------------------------------- the status bar and PDF

void MainWindow::updatePageStatus() {
    const DocumentView* view = currentView();
    pageStatus_->setText(
        view == nullptr ? QString()
                        : document_files::pageStatus(*view, linesPerPage_, view == labelView(), view != checkView()));
}

void MainWindow::saveCurrentDocumentAsPdf(const std::string& path) {
    const DocumentView* view = currentView();
    if (view == nullptr)
        throw orva::Error("Няма какво да се печата.");
    document_files::saveAsPdf(*view, view == labelView(), linesPerPage_,
                              documentTabs()->tabText(documentTabs()->currentIndex()).toStdString(), path);
}

QString MainWindow::suggestedPdfName() const {
    return document_files::suggestedPdfName(declaration_, documentTabs()->tabText(documentTabs()->currentIndex()));
}

void MainWindow::askAndSaveAsPdf() {
    const QString suggested = suggestedPdfName();
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

// ---------------------------------------------------------------- activation and printing

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !(windowState() & Qt::WindowMaximized))
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && !printQueued_) {
        // Once the press has been handled, so a click has already moved the focus into the box.
        printQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                printQueued_ = false;
                printFocusedDocument();
            },
            Qt::QueuedConnection);
    } else if (event->type() == QEvent::ContextMenu) {
        // A mouse press has already started the print command; the menu is for the keyboard.
        const auto* request = static_cast<QContextMenuEvent*>(event);
        if (request->reason() != QContextMenuEvent::Mouse)
            printMenu_->popup(request->globalPos());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

std::optional<PrintJobs::Document> MainWindow::printable(const DocumentView* view) const {
    if (view == nullptr || (view == viesView() && !hasVies_))
        return std::nullopt;
    PrintJobs::Document document{view->sharedText(), orva::kDocumentPointSize, linesPerPage_, nullptr, {}};
    for (int tab = 0; tab < documentTabs()->count(); ++tab)
        if (documentTabs()->widget(tab)->isAncestorOf(view))
            document.name = documentTabs()->tabText(tab);
    if (view == labelView()) {
        document.pointSize = orva::kLabelPointSize;
        document.linesPerPage = 0;
    } else if (view == returnView()) {
        document.repaged = PrintJobs::returnPagedAgain(declaration_, answers_);
    } else if (view == purchasesView() || view == salesView()) {
        document.repaged = PrintJobs::journalPagedAgain(session_, view == purchasesView() ? orva::JournalKind::Purchases
                                                                                          : orva::JournalKind::Sales);
    } else if (view == viesView()) {
        document.repaged = PrintJobs::viesPagedAgain(session_);
    } else {
        document.repaged = compareTabs_->pagedAgain(view);
    }
    return document;
}

void MainWindow::printFocusedDocument() {
    printJobs_->printAsked(
        [this]() -> std::optional<PrintJobs::Document> {
            // The window's focus child, so the answer does not depend on whether the window has
            // been activated again after the question.
            const QWidget* focused = focusWidget();
            for (const DocumentView* view : allViews())
                if (focused != nullptr && (focused == view || view->isAncestorOf(focused)))
                    return printable(view);
            return std::nullopt;
        },
        printer_.get());
}

void MainWindow::printWithDialog() {
    printJobs_->printWithDialog(printable(currentView()), printer_.get(), this);
}
