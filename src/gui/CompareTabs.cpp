#include "gui/CompareTabs.h"

#include "compare/PeriodDiff.h"
#include "gui/DocumentView.h"
#include "gui/FolderChooser.h"
#include "gui/MessageBoxes.h"
#include "gui/PrintJobs.h"
#include "gui/RecordJump.h"
#include "gui/Zoom.h"
#include "journals/Journal.h"
#include "period/DocumentTable.h"
#include "period/ReportLines.h"
#include "render/QtText.h"
#include "text/Encoding.h"
#include "text/Paths.h"

#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

using orva::toQString;

// What a worker hands back: the document's lines, why the comparison should not have been made
// (UTF-8; asked about), and for the memo where its lines lead.
struct CompareTabs::Built {
    std::vector<std::string> lines;
    std::vector<std::string> refusals;
    std::vector<orva::compare::MemoLink> memoLinks;
};

CompareTabs::CompareTabs(QTabWidget* tabs, DocumentView* purchases, DocumentView* sales, Zoom* zoom,
                         std::function<QWidget*()> boxParent, QObject* parent)
    : QObject(parent), tabs_(tabs), purchases_(purchases), sales_(sales), zoom_(zoom),
      boxParent_(std::move(boxParent)) {}

CompareTabs::~CompareTabs() {
    // The workers report to the tabs: they stop first.
    memoTask_.stop();
    reconcileTask_.stop();
}

QString CompareTabs::title(Kind kind) {
    return QString::fromUtf8(kind == Kind::Memo ? orva::correctionMemoDocument().title
                                                : orva::reconciliationDocument().title);
}

void CompareTabs::setPeriod(std::shared_ptr<const orva::PeriodSession> period, int linesPerPage) {
    for (const Kind kind : {Kind::Memo, Kind::Reconciliation})
        close(kind);
    period_ = std::move(period);
    linesPerPage_ = linesPerPage;
}

DocumentView* CompareTabs::view(Kind kind) const {
    return open(kind).view;
}

std::vector<DocumentView*> CompareTabs::views() const {
    std::vector<DocumentView*> shown;
    for (const Kind kind : {Kind::Memo, Kind::Reconciliation})
        if (open(kind).view != nullptr)
            shown.push_back(open(kind).view);
    return shown;
}

std::optional<QStringList>& CompareTabs::nextReports() {
    static std::optional<QStringList> answer;
    return answer;
}

void CompareTabs::setNextReportsAnswer(const QStringList& files) {
    nextReports() = files;
}

// ---------------------------------------------------------------- the choosers

void CompareTabs::chooseOlderSubmission() {
    if (!period_)
        return;
    // The filed submission is usually a sibling of the corrected one.
    const QString chosen =
        orva::FolderChooser::chooseFolder(boxParent_(), QFile::decodeName(orva::folderOf(period_->folder()).c_str()));
    if (!chosen.isEmpty())
        compareWith(QFile::encodeName(chosen).toStdString());
}

void CompareTabs::chooseReports() {
    if (!period_)
        return;
    // The reports kept beside the period are the ones usually meant: offered before the chooser.
    const std::vector<std::string> beside =
        orva::agencyReportsIn(period_->folder(), period_->declaration().fields.at(0));
    if (!beside.empty()) {
        QString names;
        for (const std::string& path : beside)
            names += QStringLiteral("\n  ") + QFile::decodeName(orva::fileName(path).c_str());
        if (orva::confirm(boxParent_(),
                          QStringLiteral("В папката на периода има справки от НАП:%1\n\nДа се сравни ли дневникът на "
                                         "покупките с тях? (\"Не\" избира други.)")
                              .arg(names),
                          QMessageBox::Yes, QMessageBox::No)) {
            reconcileWith(beside);
            return;
        }
    }
    QStringList files;
    if (nextReports()) {
        files = *nextReports();
        nextReports().reset();
    } else {
        files = QFileDialog::getOpenFileNames(boxParent_(), QStringLiteral("Справки от НАП"),
                                              QFile::decodeName(period_->folder().c_str()),
                                              QStringLiteral("Справки от НАП (*.csv *.CSV);;Всички файлове (*)"));
    }
    std::vector<std::string> reports;
    for (const QString& file : files)
        reports.push_back(QFile::encodeName(file).toStdString());
    if (!reports.empty())
        reconcileWith(std::move(reports));
}

// ---------------------------------------------------------------- building

bool CompareTabs::compareWith(const std::string& olderFolder) {
    if (!period_)
        return false;
    const int linesPerPage = linesPerPage_;
    start(Kind::Memo,
          [newer = period_, olderFolder, linesPerPage](const orva::StopToken& stop) {
              const orva::PeriodSession older(olderFolder, {}, stop.flag());
              Built built;
              const std::string other = orva::compare::otherPeriodReason(older, *newer);
              if (!other.empty())
                  built.refusals.push_back(other);
              const orva::compare::PeriodDiff diff = orva::compare::comparePeriods(older, *newer);
              built.lines = orva::compare::correctionMemo(diff, newer->declaration(), older.folder(), newer->folder(),
                                                          linesPerPage, &built.memoLinks);
              return built;
          },
          olderFolder, {});
    return true;
}

bool CompareTabs::reconcileWith(std::vector<std::string> reports) {
    if (!period_ || reports.empty())
        return false;
    const int linesPerPage = linesPerPage_;
    start(
        Kind::Reconciliation,
        [period = period_, reports, linesPerPage](const orva::StopToken&) {
            Built built;
            orva::LineCollector sink(built.lines);
            const orva::DocumentInputs inputs{period.get(), nullptr, nullptr, &reports};
            built.refusals = orva::reconciliationDocument().build(inputs, linesPerPage, sink).problems;
            return built;
        },
        {}, reports);
    return true;
}

void CompareTabs::start(Kind kind, std::function<Built(const orva::StopToken&)> work, std::string olderFolder,
                        std::vector<std::string> reports) {
    close(kind);
    Open& tab = open(kind);
    tab.page = new QWidget;
    auto* layout = new QVBoxLayout(tab.page);
    layout->setContentsMargins(0, 0, 0, 0);
    tab.view = new DocumentView(tab.page);
    DocumentView* view = tab.view;
    view->setObjectName(kind == Kind::Memo ? QStringLiteral("memoView") : QStringLiteral("reconciliationView"));
    layout->addWidget(view);
    tab.opened = ++openings_;
    tab.olderFolder = std::move(olderFolder);
    tab.reports = std::move(reports);
    view->setLines({orva::utf8ToWin1251("Сравнението тече…")});
    // A report rather than a printed page: a press selects, Enter leads to the record, and printing
    // is on the context menu (and Ctrl+P) as the check's.
    view->setLinesActivatable(true);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* menu = new QMenu(view);
    menu->addAction(QStringLiteral("Печат"), this, [this, view] {
        view->setFocus(Qt::OtherFocusReason);
        emit printRequested();
    });
    connect(view, &QWidget::customContextMenuRequested, menu,
            [view, menu](const QPoint& at) { menu->popup(view->mapToGlobal(at)); });
    connect(view, &DocumentView::lineActivated, this, [this, view](std::size_t line) { activate(view, line); });
    const int index = tabs_->addTab(tab.page, title(kind));
    auto* closer = new QToolButton;
    closer->setObjectName(kind == Kind::Memo ? QStringLiteral("closeMemo") : QStringLiteral("closeReconciliation"));
    closer->setText(QStringLiteral("×"));
    closer->setToolTip(QStringLiteral("Затвори"));
    closer->setAutoRaise(true);
    connect(closer, &QToolButton::clicked, this, [this, kind] { close(kind); });
    tabs_->tabBar()->setTabButton(index, QTabBar::RightSide, closer);
    zoom_->add(view, orva::kDocumentPointSize);
    tabs_->setCurrentWidget(tab.page);
    view->setFocus(Qt::OtherFocusReason);
    emit viewOpened(view);

    orva::BackgroundTask& task = kind == Kind::Memo ? memoTask_ : reconcileTask_;
    task.start<Built>(
        std::move(work), [this, kind](Built& built) { show(kind, built); },
        [this, kind](const QString& failure) {
            if (DocumentView* shown = open(kind).view)
                shown->setLines({orva::utf8ToWin1251("Сравнението не можа да завърши: ") + orva::toWin1251(failure)});
            emit finished(false);
        });
}

void CompareTabs::show(Kind kind, Built& built) {
    const unsigned opened = open(kind).opened;
    if (!built.refusals.empty()) {
        // The command's --force: the user decides, having been told what does not match.
        QString said;
        for (const std::string& refusal : built.refusals)
            said += QStringLiteral("\n  ") + QString::fromUtf8(orva::shownText(refusal).c_str());
        if (!orva::confirm(
                boxParent_(),
                QStringLiteral("Сравнението не е на този период:%1\n\nДа се покаже ли въпреки това?").arg(said),
                QMessageBox::Yes, QMessageBox::No, orva::DefaultAnswer::No)) {
            if (open(kind).opened == opened)
                close(kind);
            emit finished(false);
            return;
        }
        // While the box was open the tab may have been closed, or opened again for another comparison.
        if (open(kind).opened != opened) {
            emit finished(false);
            return;
        }
    }
    Open& tab = open(kind);
    tab.view->setLines(std::move(built.lines));
    tab.memoLinks = std::move(built.memoLinks);
    emit finished(true);
}

void CompareTabs::close(Kind kind) {
    (kind == Kind::Memo ? memoTask_ : reconcileTask_).stop();
    Open& tab = open(kind);
    if (tab.page != nullptr) {
        tabs_->removeTab(tabs_->indexOf(tab.page));
        delete tab.page;
    }
    tab = Open{};
}

std::function<orva::DocumentLines(int)> CompareTabs::pagedAgain(const DocumentView* view) const {
    if (view == nullptr || !period_ || (view != memo_.view && view != reconciliation_.view))
        return nullptr;
    // The inputs are read again: the shown period must still be the files shown.
    if (view == memo_.view)
        return [period = period_, older = memo_.olderFolder](int perPage) -> orva::DocumentLines {
            PrintJobs::refuseChangedFiles(*period);
            return [period, older, perPage](const std::function<void(std::string_view)>& line) {
                const orva::PeriodSession filed(older);
                orva::LineForwarder sink(line);
                orva::correctionMemoDocument().build({period.get(), nullptr, &filed, nullptr}, perPage, sink);
            };
        };
    return [period = period_, reports = reconciliation_.reports](int perPage) -> orva::DocumentLines {
        PrintJobs::refuseChangedFiles(*period);
        return [period, reports, perPage](const std::function<void(std::string_view)>& line) {
            orva::LineForwarder sink(line);
            orva::reconciliationDocument().build({period.get(), nullptr, nullptr, &reports}, perPage, sink);
        };
    };
}

// ---------------------------------------------------------------- where a line leads

bool CompareTabs::activate(DocumentView* view, std::size_t line) {
    if (view == nullptr || !period_)
        return false;
    if (view == memo_.view)
        return activateMemo(line);
    if (view == reconciliation_.view)
        return activateReconciliation(line);
    return false;
}

bool CompareTabs::activateMemo(std::size_t line) {
    const auto link = std::lower_bound(
        memo_.memoLinks.begin(), memo_.memoLinks.end(), line,
        [](const orva::compare::MemoLink& candidate, std::size_t wanted) { return candidate.line < wanted; });
    if (link == memo_.memoLinks.end() || link->line != line || link->vies)
        return false;
    if (link->newLine == 0) {
        // Removed: the shown journal has it no longer.
        orva::showPlainMessage(boxParent_(), QStringLiteral("Записът е премахнат: в подаденото е на ред %1 на файла, "
                                                            "в показания дневник го няма.")
                                                 .arg(link->oldLine));
        return true;
    }
    showRecordIn(tabs_, link->journal == orva::JournalKind::Purchases ? purchases_ : sales_,
                 &orva::journalLayout(link->journal, period_->files().wording), linesPerPage_, link->newLine);
    return true;
}

namespace {

// A row's continuation: its details go on below it, every column before them blank.
bool continuesRow(std::string_view line) {
    constexpr std::size_t kBeforeDetails = 83; // the bars and the seven columns before the details
    return line.size() > kBeforeDetails && line.front() == '|' &&
           line.substr(0, kBeforeDetails).find_first_not_of("| ") == std::string_view::npos;
}

} // namespace

bool CompareTabs::activateReconciliation(std::size_t line) {
    const orva::DocumentText& text = reconciliation_.view->text();
    std::optional<orva::ReconciliationRow> row;
    for (std::size_t at = line + 1; at-- > 0 && at < text.lineCount();) {
        const std::string_view shown = text.line(at);
        row = orva::reconciliationRow(shown);
        if (row || !continuesRow(shown))
            break;
    }
    if (!row)
        return false;
    if (row->journalLine != 0) {
        showRecordIn(tabs_, purchases_, &orva::journalLayout(orva::JournalKind::Purchases, period_->files().wording),
                     linesPerPage_, row->journalLine);
        return true;
    }
    try {
        const std::optional<orva::ReportLineText> found = orva::findReportLine(reconciliation_.reports, *row);
        if (!found) {
            orva::showPlainMessage(
                boxParent_(),
                QStringLiteral("Ред %1 не е намерен в справките: файлът е променен.").arg(row->reportLine));
            return true;
        }
        orva::showPlainMessage(boxParent_(), QStringLiteral("Справка: %1\nРед %2:\n%3")
                                                 .arg(QFile::decodeName(found->file.c_str()))
                                                 .arg(found->line)
                                                 .arg(QString::fromUtf8(orva::shownText(found->text).c_str())));
    } catch (const std::exception& failure) {
        orva::showErrorBox(boxParent_(), orva::failureText(failure));
    }
    return true;
}
