#pragma once

#include "text/DocumentText.h"

#include <QAbstractScrollArea>
#include <QColor>

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A read-only view over a document's Windows-1251 lines (orva::DocumentText: a list of lines, or a
// journal's copy file mapped). It converts and paints only the lines in sight, so a journal of a
// million lines costs no more than its mapped pages in sight (a QPlainTextEdit would take seconds
// and gigabytes).
// A caret and a selection work as in a read-only text box: the movement keys move the caret,
// with Shift they select, Ctrl+A selects all and Ctrl+C copies the selection as Unicode text.
class DocumentView : public QAbstractScrollArea {
    Q_OBJECT

public:
    // A place between characters: a line index and a character (byte) index within that line.
    struct Position {
        std::size_t line = 0;
        std::size_t column = 0;
        bool operator==(const Position& other) const { return line == other.line && column == other.column; }
        bool operator!=(const Position& other) const { return !(*this == other); }
        bool operator<(const Position& other) const {
            return line < other.line || (line == other.line && column < other.column);
        }
    };

    explicit DocumentView(QWidget* parent = nullptr);

    void clear();
    // Puts the whole document into the box in one call.
    void setLines(std::vector<std::string>&& lines);
    // Shows `text`, which the view shares (a mapped copy stays mapped while shown).
    void setDocument(std::shared_ptr<const orva::DocumentText> text);
    std::size_t lineCount() const { return text_->lineCount(); }
    const orva::DocumentText& text() const { return *text_; }
    // The same, shared: a reader on another thread keeps it whole whatever the view shows next.
    std::shared_ptr<const orva::DocumentText> sharedText() const { return text_; }
    // A copy of every line: for small documents and tests.
    std::vector<std::string> lines() const;

    // The whole text, every line followed by CR LF, as Windows-1251 bytes. The file is replaced
    // atomically (orva::writeLinesFile). Throws orva::FileError naming the path.
    void saveToFile(const std::string& path) const;

    // Caret to the start, nothing selected: both scroll bars back to 0.
    void scrollToStart();

    int firstVisibleLine() const;

    Position caret() const { return caret_; }
    Position anchor() const { return anchor_; }
    // Selects from `from` to `to` (the caret) and scrolls the caret into view: a found match.
    void select(Position from, Position to);
    bool hasSelection() const { return anchor_ != caret_; }
    // The selected text as Windows-1251 bytes, lines joined by "\n"; empty without a selection.
    std::string selectedText() const;
    void selectAll();
    // Puts the selection on the clipboard as Unicode text; nothing happens without a selection.
    void copy() const;

    // A report rather than a document: a mouse press places the caret and a drag selects (in a
    // document a press asks to print it), and a double click or Enter activates the caret's line.
    void setLinesActivatable(bool activatable) { activatable_ = activatable; }
    // The caret to the start of `line`, which is scrolled to the top of the view (as far as the
    // document's end allows).
    void showLineAtTop(std::size_t line);
    // Lines painted in a colour of their own, by line (a report's errors and warnings); a document
    // shown anew has none.
    void setLineColours(std::map<std::size_t, QColor> colours);
    QColor lineColour(std::size_t line) const;
    // `count` lines from `first` on a background of their own (the record a finding led to); a
    // document shown anew has none.
    void highlightLines(std::size_t first, std::size_t count);
    bool isHighlighted(std::size_t line) const {
        return line >= highlightFirst_ && line - highlightFirst_ < highlightCount_;
    }

    // How many lines the last paint drew (what a big document costs per paint).
    std::size_t linesPaintedLastTime() const { return linesPaintedLastTime_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

signals:
    // A double click or Enter on a line of an activatable view.
    void lineActivated(std::size_t line);
    // Once per document: its mapped copy was cut short in place by another program; the lines it lost
    // are shown empty. The view has already said so in a box.
    void copyChanged();

private:
    int lineHeight() const;
    int characterWidth() const;
    int visibleLineCount() const;
    void updateScrollBars();
    void resetCaret();
    // Moves the caret; with `select` the anchor stays, else the selection collapses onto the caret.
    void moveCaret(Position to, bool select);
    void ensureCaretVisible();
    std::size_t lineLength(std::size_t line) const { return line < lineCount() ? text_->line(line).size() : 0; }
    Position endOfDocument() const;
    Position positionAt(const QPoint& point) const;

    std::shared_ptr<const orva::DocumentText> text_;
    Position caret_;
    Position anchor_;
    // The column Up, Down, PgUp and PgDn aim for, kept across shorter lines.
    std::size_t wantedColumn_ = 0;
    bool activatable_ = false;
    std::size_t linesPaintedLastTime_ = 0;
    const orva::MappedText* mapped_ = nullptr; // text_ when it is a mapped copy
    bool changeSaid_ = false;
    std::map<std::size_t, QColor> lineColours_;
    std::size_t highlightFirst_ = 0;
    std::size_t highlightCount_ = 0;
};
