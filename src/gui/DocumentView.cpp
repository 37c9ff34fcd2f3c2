#include "gui/DocumentView.h"

#include "gui/MessageBoxes.h"
#include "render/QtText.h"
#include "text/Encoding.h"
#include "text/LineFile.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr int kTextMargin = 2;
// Pale yellow: the record stands out and its text stays as readable as the rest.
const QColor kHighlightBackground(0xff, 0xf3, 0xb0);

const char* const kCopyChanged = "Копието на документа е променено от друга програма: редовете, които то загуби, "
                                 "не се показват. Отворете периода отново.";

QString toDisplay(std::string_view line) {
    QString text(static_cast<qsizetype>(line.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char byte : line)
        *out++ = QChar(orva::win1251Char(static_cast<unsigned char>(byte)));
    return text;
}

} // namespace

DocumentView::DocumentView(QWidget* parent)
    : QAbstractScrollArea(parent), text_(std::make_shared<const orva::LineListText>()) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    // The box's background is the system's scroll-bar colour, as the documents have always had.
    viewport()->setBackgroundRole(QPalette::Button);
    viewport()->setForegroundRole(QPalette::ButtonText);
    viewport()->setAutoFillBackground(true);
    // A click prints the document (the window's print command), so the pointer promises no text editing.
    viewport()->setCursor(Qt::ArrowCursor);
    updateScrollBars();
}

void DocumentView::clear() {
    setLines({});
}

void DocumentView::setLines(std::vector<std::string>&& lines) {
    text_ = std::make_shared<orva::LineListText>(std::move(lines));
    lineColours_.clear();
    highlightCount_ = 0;
    resetCaret();
    updateScrollBars();
    viewport()->update();
}

void DocumentView::setDocument(std::shared_ptr<const orva::DocumentText> text) {
    text_ = text ? std::move(text) : std::make_shared<const orva::LineListText>();
    mapped_ = dynamic_cast<const orva::MappedText*>(text_.get());
    changeSaid_ = false;
    lineColours_.clear();
    highlightCount_ = 0;
    resetCaret();
    updateScrollBars();
    viewport()->update();
}

std::vector<std::string> DocumentView::lines() const {
    std::vector<std::string> lines;
    lines.reserve(lineCount());
    for (std::size_t index = 0; index < lineCount(); ++index)
        lines.emplace_back(text_->line(index));
    return lines;
}

void DocumentView::saveToFile(const std::string& path) const {
    orva::AtomicFileWriter file(path);
    for (std::size_t index = 0; index < lineCount(); ++index)
        file.writeLine(text_->line(index));
    file.publish();
}

void DocumentView::scrollToStart() {
    resetCaret();
    viewport()->update();
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

int DocumentView::visibleLineCount() const {
    return std::max(1, viewport()->height() / lineHeight());
}

void DocumentView::updateScrollBars() {
    const int visibleLines = visibleLineCount();
    const std::size_t count = lineCount();
    const int maximum = count > static_cast<std::size_t>(visibleLines)
                            ? static_cast<int>(std::min<std::size_t>(count - visibleLines, INT_MAX))
                            : 0;
    verticalScrollBar()->setRange(0, maximum);
    verticalScrollBar()->setPageStep(visibleLines);
    verticalScrollBar()->setSingleStep(1);

    const long long textWidth = static_cast<long long>(text_->longestLine()) * characterWidth() + 2 * kTextMargin;
    const int width = viewport()->width();
    horizontalScrollBar()->setRange(0, static_cast<int>(std::clamp<long long>(textWidth - width, 0, INT_MAX)));
    horizontalScrollBar()->setPageStep(std::max(1, width));
    horizontalScrollBar()->setSingleStep(characterWidth());
}

void DocumentView::setLineColours(std::map<std::size_t, QColor> colours) {
    lineColours_ = std::move(colours);
    viewport()->update();
}

QColor DocumentView::lineColour(std::size_t line) const {
    const auto colour = lineColours_.find(line);
    return colour == lineColours_.end() ? QColor() : colour->second;
}

void DocumentView::highlightLines(std::size_t first, std::size_t count) {
    highlightFirst_ = first;
    highlightCount_ = count;
    viewport()->update();
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
    const std::size_t last = std::min(lineCount(), top + static_cast<std::size_t>(area.bottom() / height) + 1);
    const int x = kTextMargin - horizontalScrollBar()->value();
    // The face is monospaced and unkerned: column n starts n advances from the line's start.
    const qreal advance = QFontMetricsF(font()).horizontalAdvance(QLatin1Char('W'));
    const Position selectionStart = std::min(anchor_, caret_);
    const Position selectionEnd = std::max(anchor_, caret_);
    const QPalette& colours = viewport()->palette();

    std::size_t painted = 0;
    for (std::size_t index = first; index < last; ++index, ++painted) {
        const int y = static_cast<int>(index - top) * height;
        std::string_view line = text_->line(index);
        // A page of the copy that vanished reads as NULs: the line is gone, shown empty.
        // (The bytes first: reading them is what finds the page gone.)
        if (mapped_ && line.find('\0') != std::string_view::npos && mapped_->changed())
            line = {};
        const QString text = line.empty() ? QString() : toDisplay(line);
        if (isHighlighted(index))
            painter.fillRect(QRect(0, y, viewport()->width(), height), kHighlightBackground);
        const auto colour = lineColours_.find(index);
        if (colour != lineColours_.end()) {
            painter.save();
            painter.setPen(colour->second);
        }
        if (!text.isEmpty())
            painter.drawText(x, y + ascent, text);
        if (colour != lineColours_.end())
            painter.restore();
        if (hasSelection() && index >= selectionStart.line && index <= selectionEnd.line) {
            const std::size_t from = index == selectionStart.line ? selectionStart.column : 0;
            // A selection that runs on past the line's end shows its line break as one cell.
            const std::size_t to = index == selectionEnd.line ? selectionEnd.column : line.size() + 1;
            if (to > from) {
                const QRectF cells(x + from * advance, y, (to - from) * advance, height);
                painter.fillRect(cells, colours.color(QPalette::Highlight));
                painter.save();
                painter.setClipRect(cells);
                painter.setPen(colours.color(QPalette::HighlightedText));
                painter.drawText(x, y + ascent, text);
                painter.restore();
            }
        }
    }
    if (hasFocus() && caret_.line >= first && caret_.line < last) {
        const qreal caretX = x + caret_.column * advance;
        const int y = static_cast<int>(caret_.line - top) * height;
        painter.drawLine(QPointF(caretX, y), QPointF(caretX, y + height - 1));
    }
    linesPaintedLastTime_ = painted;
    if (mapped_ && !changeSaid_ && mapped_->changed()) {
        changeSaid_ = true;
        // After the paint: a box opened inside it would paint this view again from within.
        QTimer::singleShot(0, this, [this] {
            emit copyChanged();
            orva::showPlainMessage(this, QString::fromUtf8(kCopyChanged));
        });
    }
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

void DocumentView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void DocumentView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

// ---------------------------------------------------------------- caret and selection

DocumentView::Position DocumentView::endOfDocument() const {
    if (lineCount() == 0)
        return {};
    return {lineCount() - 1, lineLength(lineCount() - 1)};
}

void DocumentView::resetCaret() {
    caret_ = anchor_ = Position{};
    wantedColumn_ = 0;
}

std::string DocumentView::selectedText() const {
    const Position start = std::min(anchor_, caret_);
    const Position end = std::max(anchor_, caret_);
    std::string text;
    for (std::size_t line = start.line; line <= end.line && line < lineCount(); ++line) {
        const std::string_view shown = text_->line(line);
        const std::size_t from = line == start.line ? std::min(start.column, shown.size()) : 0;
        const std::size_t to = line == end.line ? std::min(end.column, shown.size()) : shown.size();
        if (to > from)
            text.append(shown.substr(from, to - from));
        if (line != end.line)
            text += '\n';
    }
    return text;
}

void DocumentView::selectAll() {
    anchor_ = Position{};
    caret_ = endOfDocument();
    wantedColumn_ = caret_.column;
    viewport()->update();
}

void DocumentView::select(Position from, Position to) {
    anchor_ = from;
    wantedColumn_ = to.column;
    moveCaret(to, true);
}

void DocumentView::copy() const {
    if (hasSelection())
        QGuiApplication::clipboard()->setText(orva::toQString(selectedText()));
}

void DocumentView::showLineAtTop(std::size_t line) {
    line = std::min(line, endOfDocument().line);
    moveCaret({line, 0}, false);
    verticalScrollBar()->setValue(static_cast<int>(std::min<std::size_t>(line, INT_MAX)));
    horizontalScrollBar()->setValue(0);
}

DocumentView::Position DocumentView::positionAt(const QPoint& point) const {
    const std::size_t top = static_cast<std::size_t>(verticalScrollBar()->value());
    const std::size_t line =
        std::min(top + static_cast<std::size_t>(std::max(0, point.y()) / lineHeight()), endOfDocument().line);
    const qreal advance = QFontMetricsF(font()).horizontalAdvance(QLatin1Char('W'));
    const qreal x = point.x() - kTextMargin + horizontalScrollBar()->value();
    const auto column = static_cast<std::size_t>(std::max<qreal>(0, x / advance + 0.5));
    return {line, std::min(column, lineLength(line))};
}

void DocumentView::mousePressEvent(QMouseEvent* event) {
    QAbstractScrollArea::mousePressEvent(event);
    if (activatable_ && event->button() == Qt::LeftButton) {
        const Position at = positionAt(event->position().toPoint());
        wantedColumn_ = at.column;
        moveCaret(at, event->modifiers().testFlag(Qt::ShiftModifier));
    }
}

void DocumentView::mouseMoveEvent(QMouseEvent* event) {
    QAbstractScrollArea::mouseMoveEvent(event);
    if (activatable_ && event->buttons().testFlag(Qt::LeftButton))
        moveCaret(positionAt(event->position().toPoint()), true);
}

void DocumentView::mouseDoubleClickEvent(QMouseEvent* event) {
    QAbstractScrollArea::mouseDoubleClickEvent(event);
    if (activatable_ && event->button() == Qt::LeftButton && lineCount() != 0)
        emit lineActivated(positionAt(event->position().toPoint()).line);
}

void DocumentView::moveCaret(Position to, bool select) {
    caret_ = to;
    if (!select)
        anchor_ = to;
    ensureCaretVisible();
    viewport()->update();
}

void DocumentView::ensureCaretVisible() {
    QScrollBar* vertical = verticalScrollBar();
    const auto line = static_cast<long long>(caret_.line);
    if (line < vertical->value())
        vertical->setValue(static_cast<int>(line));
    else if (line >= static_cast<long long>(vertical->value()) + visibleLineCount())
        vertical->setValue(static_cast<int>(std::min<long long>(line - visibleLineCount() + 1, INT_MAX)));

    QScrollBar* horizontal = horizontalScrollBar();
    const qreal advance = QFontMetricsF(font()).horizontalAdvance(QLatin1Char('W'));
    const auto left = static_cast<long long>(caret_.column * advance);
    const int width = viewport()->width() - 2 * kTextMargin;
    if (left < horizontal->value())
        horizontal->setValue(static_cast<int>(left));
    else if (left + advance > static_cast<long long>(horizontal->value()) + width)
        horizontal->setValue(static_cast<int>(std::min<long long>(left + std::ceil(advance) - width, INT_MAX)));
}

void DocumentView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (activatable_ && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && lineCount() != 0) {
        emit lineActivated(caret_.line);
        return;
    }
    const bool select = event->modifiers().testFlag(Qt::ShiftModifier);
    const bool control = event->modifiers().testFlag(Qt::ControlModifier);
    const std::size_t page = static_cast<std::size_t>(visibleLineCount());
    const std::size_t lastLine = lineCount() == 0 ? 0 : lineCount() - 1;
    Position to = caret_;
    bool keepsColumn = false;
    switch (event->key()) {
    case Qt::Key_Left:
        if (to.column > 0)
            --to.column;
        else if (to.line > 0)
            to = {to.line - 1, lineLength(to.line - 1)};
        break;
    case Qt::Key_Right:
        if (to.column < lineLength(to.line))
            ++to.column;
        else if (to.line < lastLine)
            to = {to.line + 1, 0};
        break;
    case Qt::Key_Up:
        to.line = to.line > 0 ? to.line - 1 : 0;
        keepsColumn = true;
        break;
    case Qt::Key_Down:
        to.line = std::min(to.line + 1, lastLine);
        keepsColumn = true;
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // Ctrl+PgUp and Ctrl+PgDn belong to the tabs.
        if (control) {
            event->ignore();
            return;
        }
        // The page scrolls at once, and the caret moves with it.
        if (event->key() == Qt::Key_PageDown) {
            to.line = std::min(to.line + page, lastLine);
            verticalScrollBar()->setValue(verticalScrollBar()->value() + static_cast<int>(page));
        } else {
            to.line = to.line > page ? to.line - page : 0;
            verticalScrollBar()->setValue(verticalScrollBar()->value() - static_cast<int>(page));
        }
        keepsColumn = true;
        break;
    case Qt::Key_Home:
        to = control ? Position{} : Position{to.line, 0};
        break;
    case Qt::Key_End:
        to = control ? endOfDocument() : Position{to.line, lineLength(to.line)};
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (keepsColumn)
        to.column = std::min(wantedColumn_, lineLength(to.line));
    else
        wantedColumn_ = to.column;
    moveCaret(to, select);
}
