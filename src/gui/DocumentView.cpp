#include "gui/DocumentView.h"

#include "text/Encoding.h"
#include "text/LineFile.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace {

constexpr int kTextMargin = 2;

QString toDisplay(const std::string& line) {
    QString text(static_cast<qsizetype>(line.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char byte : line)
        *out++ = QChar(orva::win1251Char(static_cast<unsigned char>(byte)));
    return text;
}

} // namespace

DocumentView::DocumentView(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    // The box's background is the system's scroll-bar colour, as the documents have always had.
    viewport()->setBackgroundRole(QPalette::Button);
    viewport()->setForegroundRole(QPalette::ButtonText);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    updateScrollBars();
}

void DocumentView::clear() {
    std::vector<std::string>().swap(lines_);
    longestLine_ = 0;
    updateScrollBars();
    viewport()->update();
}

void DocumentView::appendLine(std::string line) {
    longestLine_ = std::max(longestLine_, line.size());
    lines_.push_back(std::move(line));
    updateScrollBars();
    viewport()->update();
}

void DocumentView::setLines(std::vector<std::string>&& lines) {
    lines_ = std::move(lines);
    longestLine_ = 0;
    for (const std::string& line : lines_)
        longestLine_ = std::max(longestLine_, line.size());
    updateScrollBars();
    viewport()->update();
}

void DocumentView::saveToFile(const std::string& path) const {
    orva::writeLinesFile(path, lines_);
}

void DocumentView::scrollToStart() {
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}

int DocumentView::firstVisibleLine() const {
    return verticalScrollBar()->value();
}

int DocumentView::lineHeight() const {
    return std::max(1, fontMetrics().lineSpacing());
}

int DocumentView::characterWidth() const {
    return std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('W')));
}

void DocumentView::updateScrollBars() {
    const int visibleLines = std::max(1, viewport()->height() / lineHeight());
    const std::size_t count = lines_.size();
    const int maximum = count > static_cast<std::size_t>(visibleLines)
                            ? static_cast<int>(std::min<std::size_t>(count - visibleLines, INT_MAX))
                            : 0;
    verticalScrollBar()->setRange(0, maximum);
    verticalScrollBar()->setPageStep(visibleLines);
    verticalScrollBar()->setSingleStep(1);

    const long long textWidth = static_cast<long long>(longestLine_) * characterWidth() + 2 * kTextMargin;
    const int width = viewport()->width();
    horizontalScrollBar()->setRange(0, static_cast<int>(std::clamp<long long>(textWidth - width, 0, INT_MAX)));
    horizontalScrollBar()->setPageStep(std::max(1, width));
    horizontalScrollBar()->setSingleStep(characterWidth());
}

void DocumentView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setFont(font());
    painter.setPen(viewport()->palette().color(viewport()->foregroundRole()));

    const int height = lineHeight();
    const int ascent = fontMetrics().ascent();
    const QRect area = event->rect();
    const std::size_t top = static_cast<std::size_t>(verticalScrollBar()->value());
    const std::size_t first = top + static_cast<std::size_t>(std::max(0, area.top()) / height);
    const std::size_t last = std::min(lines_.size(), top + static_cast<std::size_t>(area.bottom() / height) + 1);
    const int x = kTextMargin - horizontalScrollBar()->value();

    std::size_t painted = 0;
    for (std::size_t index = first; index < last; ++index, ++painted) {
        const int y = static_cast<int>(index - top) * height;
        if (!lines_[index].empty())
            painter.drawText(x, y + ascent, toDisplay(lines_[index]));
    }
    linesPaintedLastTime_ = painted;
}

void DocumentView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void DocumentView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateScrollBars();
        viewport()->update();
    }
}

void DocumentView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Home && (event->modifiers() & Qt::ControlModifier)) {
        verticalScrollBar()->setValue(0);
        return;
    }
    if (event->key() == Qt::Key_End && (event->modifiers() & Qt::ControlModifier)) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        return;
    }
    if (event->key() == Qt::Key_Home) {
        horizontalScrollBar()->setValue(0);
        return;
    }
    if (event->key() == Qt::Key_End) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->maximum());
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}
