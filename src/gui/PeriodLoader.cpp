#include "gui/PeriodLoader.h"

#include "gui/AdditionalDataDialog.h"
#include "gui/MessageBoxes.h"
#include "journals/Journal.h"
#include "text/Encoding.h"
#include "vies/Vies.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>
#include <QStringList>
#include <QUrl>

#include <cstdio>

PeriodLoader::PeriodLoader(orva::SideFileLocations sideFiles, QStatusBar* status, Show show, QObject* parent)
    : QObject(parent), sideFiles_(std::move(sideFiles)), status_(status), progress_(new QProgressBar(status)),
      show_(std::move(show)) {
    // A busy bar: the read says nothing of how far it has come.
    progress_->setObjectName(QStringLiteral("loadProgress"));
    progress_->setRange(0, 0);
    progress_->setMaximumWidth(160);
    status_->addPermanentWidget(progress_);
    progress_->hide();
}

// The dialog outlives the load and goes with the window, writing its last values.
PeriodLoader::~PeriodLoader() = default;

std::unique_ptr<orva::LoadedPeriod> PeriodLoader::readPeriod(const std::string& folder, int linesPerPage,
                                                             const orva::SideFileLocations& sideFiles) {
    auto period = std::make_unique<orva::LoadedPeriod>();
    period->folder = folder;
    const auto session = std::make_shared<orva::PeriodSession>(folder);
    period->session = session;
    period->declaration = session->declaration();
    // Each journal is built straight into its copy (SideFileLocations), put in place when the
    // period is shown, and shown from it mapped: the document's text is never held in memory. The
    // builds count the journals' code pages as they read them.
    period->copies = orva::writeJournalCopies(*session, linesPerPage, sideFiles.purchasesCopy, sideFiles.salesCopy);
    std::fprintf(stderr, "orva: %s\n", session->files().description().c_str());
    period->gateProblems = period->copies.purchases.summary.problems;
    const std::vector<std::string>& sales = period->copies.sales.summary.problems;
    period->gateProblems.insert(period->gateProblems.end(), sales.begin(), sales.end());
    // Nothing in VIES.TXT ends the load: what cannot be read is said at the document's top.
    orva::LineCollector vies(period->viesLines);
    if (const std::optional<orva::ViesSummary> summary = session->vies(linesPerPage, vies))
        period->viesAddress = orva::personAddress(*summary);
    session->releaseOpenFiles();
    period->files = session->files();
    return period;
}

void PeriodLoader::openDroppedFolders(QWidget* window, std::function<void(const std::string& folder)> open) {
    openDropped_ = std::move(open);
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

bool PeriodLoader::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::DragEnter) {
        auto* drag = static_cast<QDragEnterEvent*>(event);
        if (!loading_ && !draggedFolder(drag->mimeData()).isEmpty())
            drag->acceptProposedAction();
        return true;
    }
    if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString folder = draggedFolder(drop->mimeData());
        if (!folder.isEmpty()) {
            drop->acceptProposedAction();
            QMetaObject::invokeMethod(
                this, [this, path = QFile::encodeName(folder).toStdString()] { openDropped_(path); },
                Qt::QueuedConnection);
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

QString PeriodLoader::draggedFolder(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile())
        return {};
    const QString path = data->urls().front().toLocalFile();
    return QFileInfo(path).isDir() ? path : QString();
}

PeriodLoader::Result PeriodLoader::loadFirst(const std::string& folder, int linesPerPage) {
    loading_ = true;
    std::unique_ptr<orva::LoadedPeriod> period;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        // Inside the guard: a failure other than a history that cannot be read (those are passed
        // over) is a read error, as a failed load is.
        dialog_ = std::make_unique<AdditionalDataDialog>(sideFiles_);
        dialog_->setAttribute(Qt::WA_QuitOnClose, false);
        period = readPeriod(folder, linesPerPage, sideFiles_);
        QApplication::restoreOverrideCursor();
    } catch (const std::exception& failure) {
        QApplication::restoreOverrideCursor();
        loading_ = false;
        return readFailed(orva::failureText(failure), nullptr, true);
    }
    const Result result = settle(*period, linesPerPage, true, nullptr);
    loading_ = false;
    return result;
}

bool PeriodLoader::start(const std::string& folder, int linesPerPage, QWidget* window) {
    if (loading_ || !dialog_)
        return false;
    loading_ = true;
    status_->showMessage(QStringLiteral("Периодът от „%1“ се чете…").arg(QFile::decodeName(folder.c_str())));
    progress_->show();
    read_.start<std::shared_ptr<orva::LoadedPeriod>>(
        [folder, linesPerPage, sideFiles = sideFiles_](const orva::StopToken&) {
            return std::shared_ptr<orva::LoadedPeriod>(readPeriod(folder, linesPerPage, sideFiles));
        },
        [this, folder, linesPerPage, window](std::shared_ptr<orva::LoadedPeriod>& period) {
            progress_->hide();
            status_->clearMessage();
            end(settle(*period, linesPerPage, false, window), folder);
        },
        [this, folder, window](const QString& failure) {
            progress_->hide();
            status_->clearMessage();
            end(readFailed(failure, window), folder);
        });
    return true;
}

void PeriodLoader::end(Result result, const std::string& folder) {
    loading_ = false;
    if (result == Result::GivenUp)
        status_->showMessage(QStringLiteral("Периодът от „%1“ не е отворен.").arg(QFile::decodeName(folder.c_str())));
    emit finished(result);
}

PeriodLoader::Result PeriodLoader::readFailed(const QString& failure, QWidget* parent, bool offerCheck) {
    lastError_ = failure;
    // The first period's box also offers the check of its folder, so the user learns every record
    // at fault, not only the first one; another period's leaves the shown one as it is.
    if (offerCheck)
        checkAsked_ = orva::showReadErrorAskingCheck(parent, QString::fromUtf8(orva::kReadError), lastError_);
    else
        orva::showPlainMessage(parent, QString::fromUtf8(orva::kReadError), lastError_);
    return Result::Failed;
}

PeriodLoader::Result PeriodLoader::settle(orva::LoadedPeriod& period, int linesPerPage, bool first, QWidget* parent) {
    // Journals that are not the period's (another firm, a NUL, a cut record) are shown only when
    // the user says so, never on a mere Enter; No ends the first run as Cancel on the first prompt
    // does.
    if (!period.gateProblems.empty()) {
        QStringList lines;
        for (const std::string& problem : period.gateProblems)
            lines << QString::fromStdString(orva::shownText(problem));
        const QString text = lines.join(QLatin1Char('\n')) + QStringLiteral("\n\nДа продължа ли?");
        if (!orva::confirm(parent, text, QMessageBox::Yes, QMessageBox::No, orva::DefaultAnswer::No))
            return Result::GivenUp;
        period.foreignJournals = true;
    }

    // The return is built before anything shown is replaced. A return that cannot be built (a
    // cell of the record that is no number) leaves another period unopened; the first one is shown
    // without it, with the message.
    QString failure;
    try {
        period.answers = askAnswers(period, !first);
        if (!period.answers)
            return Result::GivenUp;
        period.returnLines = orva::buildReturn(period.declaration, *period.answers, linesPerPage);
    } catch (const std::exception& error) {
        failure = orva::failureText(error);
        if (!first) {
            orva::showErrorBox(parent, failure, failure);
            return Result::Failed;
        }
    }
    try {
        show_(period);
    } catch (const std::exception& error) {
        const QString message = orva::failureText(error);
        orva::showErrorBox(parent, message, message);
    }
    if (!failure.isNull())
        orva::showErrorBox(parent, failure, failure);
    return Result::Shown;
}

std::optional<orva::ReturnAnswers> PeriodLoader::askAnswers(const orva::LoadedPeriod& period, bool cancellable) {
    dialog_->presentPeriod(period.declaration, period.files.wording, cancellable, period.viesAddress);
    // OK and the close box lead on alike; only another period's dialog can be cancelled.
    dialog_->exec();
    if (dialog_->wasCancelled())
        return std::nullopt;
    return dialog_->answers();
}
