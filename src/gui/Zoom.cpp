#include "gui/Zoom.h"

#include "render/PageMetrics.h"
#include "sidefiles/SideFiles.h"
#include "text/LineFile.h"

#include <QAbstractScrollArea>
#include <QLabel>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

Zoom::Zoom(std::vector<std::pair<QWidget*, int>> views, std::string sideFile, QObject* parent)
    : QObject(parent), views_(std::move(views)), sideFile_(std::move(sideFile)) {
    for (const auto& [view, pointSize] : views_) {
        view->installEventFilter(this);
        if (auto* box = qobject_cast<QAbstractScrollArea*>(view))
            box->viewport()->installEventFilter(this);
    }
    try {
        points_ = std::clamp(std::atoi(orva::readSideFileStart(sideFile_).c_str()), kMin, kMax);
    } catch (const std::exception&) {
        // Not yet saved, or unreadable: the printed size.
    }
    apply();
}

void Zoom::add(QWidget* view, int pointSize) {
    views_.emplace_back(view, pointSize);
    view->installEventFilter(this);
    if (auto* box = qobject_cast<QAbstractScrollArea*>(view))
        box->viewport()->installEventFilter(this);
    view->setFont(orva::documentFont(pointSize + points_));
    connect(view, &QObject::destroyed, this, [this, view] {
        views_.erase(
            std::remove_if(views_.begin(), views_.end(), [view](const auto& entry) { return entry.first == view; }),
            views_.end());
    });
}

void Zoom::set(int points) {
    points = std::clamp(points, kMin, kMax);
    if (points == points_)
        return;
    points_ = points;
    apply();
    emit changed(points_);
    try {
        orva::writeFileAtomic(sideFile_, std::to_string(points_) + '\n');
    } catch (const std::exception& failure) {
        // Only the next run will not remember it.
        std::fprintf(stderr, "orva: %s\n", failure.what());
    }
}

void Zoom::apply() {
    for (const auto& [view, pointSize] : views_)
        view->setFont(orva::documentFont(pointSize + points_));
}

QLabel* Zoom::makeStatus(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("zoomStatus"));
    const auto show = [this, label] {
        label->setText(QStringLiteral("Мащаб: %1")
                           .arg(points_ > 0 ? QStringLiteral("+%1").arg(points_) : QString::number(points_)));
    };
    connect(this, &Zoom::changed, label, show);
    show();
    return label;
}

bool Zoom::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && (static_cast<QWheelEvent*>(event)->modifiers() & Qt::ControlModifier)) {
        const int steps = static_cast<QWheelEvent*>(event)->angleDelta().y() / 120;
        if (steps != 0)
            set(points_ + steps);
        return true; // not a scroll
    }
    return QObject::eventFilter(watched, event);
}
