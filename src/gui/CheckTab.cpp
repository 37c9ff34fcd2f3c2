#include "gui/CheckTab.h"

#include "check/CheckReport.h"
#include "gui/DocumentView.h"
#include "gui/RecordJump.h"
#include "journals/Journal.h"
#include "render/QtText.h"
#include "text/Encoding.h"
#include "text/LineFile.h"

#include <QMenu>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>
#include <map>
#include <optional>

namespace {

const QColor kErrorColour(0xc0, 0x00, 0x00);
const QColor kWarningColour(0xb0, 0x6a, 0x00); // amber dark enough to read on white

} // namespace

CheckTab::CheckTab(QTabWidget* tabs, DocumentView* view, Documents documents, QObject* parent)
    : QObject(parent), tabs_(tabs), view_(view), documents_(documents) {
    view_->setLinesActivatable(true);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* menu = new QMenu(view_);
    menu->setObjectName(QStringLiteral("reportMenu"));
    menu->addAction(QStringLiteral("Печат"), this, [this] {
        view_->setFocus(Qt::OtherFocusReason);
        emit printRequested();
    });
    connect(view_, &QWidget::customContextMenuRequested, menu,
            [this, menu](const QPoint& at) { menu->popup(view_->mapToGlobal(at)); });
    connect(view_, &DocumentView::lineActivated, this, &CheckTab::goToFinding);
}

CheckTab::~CheckTab() = default;

void CheckTab::start(std::shared_ptr<const orva::PeriodSession> period, int linesPerPage,
                     const orva::ReturnCells* cells) {
    task_.stop();
    files_ = period->files();
    linesPerPage_ = linesPerPage;
    begin();
    std::optional<orva::ReturnCells> given;
    if (cells)
        given = *cells;
    task_.start<orva::check::CheckReport>(
        [period = std::move(period), given](const orva::StopToken& stop) {
            return orva::check::runTextReport(*period, given ? &*given : nullptr, kFindingsShown, stop.flag());
        },
        [this](orva::check::CheckReport& report) { show(report); },
        [this](const QString& failure) { showFailure(failure); });
}

void CheckTab::begin() {
    links_.clear();
    view_->setLines({orva::utf8ToWin1251("Проверката на периода тече…")});
    setTitle(QStringLiteral("ПРОВЕРКА (…)"), false);
}

void CheckTab::startFolder(const std::string& folder) {
    task_.stop();
    files_ = {};
    begin();
    task_.start<orva::check::CheckReport>(
        [folder](const orva::StopToken& stop) {
            const orva::PeriodSession period(folder, {}, stop.flag());
            return orva::check::runTextReport(period, nullptr, kFindingsShown, stop.flag());
        },
        [this](orva::check::CheckReport& report) {
            show(report);
            // No document is shown to lead to; the colours stay.
            links_.clear();
        },
        [this](const QString& failure) { showFailure(failure); });
}

void CheckTab::stop() {
    task_.stop();
}

void CheckTab::show(orva::check::CheckReport& report) {
    // Control characters of the files are shown escaped in the report: a line break is a line's end.
    std::vector<std::string> lines = orva::splitLines(orva::utf8ToWin1251(report.text));
    links_ = std::move(report.links);
    if (!report.filesChanged.empty()) {
        // Said above the report; the links move down with it.
        lines.insert(lines.begin(), {orva::utf8ToWin1251(report.filesChanged), std::string()});
        for (orva::check::ReportLink& link : links_)
            link.reportLine += 2;
    }
    view_->setLines(std::move(lines));
    // Errors red, warnings amber: the line's colour says how grave it is before it is read.
    std::map<std::size_t, QColor> colours;
    for (const orva::check::ReportLink& link : links_)
        colours[link.reportLine] = link.severity == orva::check::Severity::Error ? kErrorColour : kWarningColour;
    view_->setLineColours(std::move(colours));
    const std::size_t count = report.errors + report.warnings + report.failedRules;
    setTitle(QStringLiteral("ПРОВЕРКА (%1)").arg(count), report.errors + report.failedRules != 0);
}

void CheckTab::showFailure(const QString& failure) {
    view_->setLines({orva::utf8ToWin1251("Проверката не можа да завърши: ") + orva::toWin1251(failure)});
    setTitle(QStringLiteral("ПРОВЕРКА (!)"), true);
}

void CheckTab::setTitle(const QString& title, bool errors) {
    const int index = tabs_->indexOf(view_->parentWidget());
    tabs_->setTabText(index, title);
    tabs_->tabBar()->setTabTextColor(index, errors ? QColor(Qt::red) : QColor());
}

bool CheckTab::goToFinding(std::size_t reportLine) {
    const auto link = std::lower_bound(
        links_.begin(), links_.end(), reportLine,
        [](const orva::check::ReportLink& candidate, std::size_t wanted) { return candidate.reportLine < wanted; });
    if (link == links_.end() || link->reportLine != reportLine)
        return false;
    const auto journal = [&](orva::JournalKind kind, DocumentView* shown) {
        showRecordIn(tabs_, shown, &orva::journalLayout(kind, files_.wording), linesPerPage_, link->line);
    };
    if (link->file == files_.purchases.name)
        journal(orva::JournalKind::Purchases, documents_.purchases);
    else if (link->file == files_.sales.name)
        journal(orva::JournalKind::Sales, documents_.sales);
    else
        showRecordIn(tabs_, files_.vies && link->file == files_.vies->name ? documents_.vies : documents_.form, nullptr,
                     linesPerPage_, 0);
    return true;
}
