#pragma once

#include <QAbstractScrollArea>

#include <cstddef>
#include <string>
#include <vector>

// A read-only view over a document's Windows-1251 lines. It keeps the lines as they are and
// converts and paints only the lines in sight, so a journal of a million lines costs its own
// bytes and nothing more (a QPlainTextEdit would take seconds and gigabytes).
class DocumentView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit DocumentView(QWidget* parent = nullptr);

    void clear();
    void appendLine(std::string line);
    // Puts the whole document into the box in one call.
    void setLines(std::vector<std::string>&& lines);
    std::size_t lineCount() const { return lines_.size(); }
    const std::vector<std::string>& lines() const { return lines_; }

    // The whole text, every line followed by CR LF, as Windows-1251 bytes. The file is replaced
    // atomically (orva::writeLinesFile). Throws orva::FileError naming the path.
    void saveToFile(const std::string& path) const;

    // Protection of the built text. The view never edits its text; the flag records that the
    // document is locked, as the journals and the return are after the load.
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool isReadOnly() const { return readOnly_; }

    // Caret to the start, nothing selected: both scroll bars back to 0.
    void scrollToStart();

    int firstVisibleLine() const;
    // How many lines the last paint drew (what a big document costs per paint).
    std::size_t linesPaintedLastTime() const { return linesPaintedLastTime_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int lineHeight() const;
    int characterWidth() const;
    void updateScrollBars();

    std::vector<std::string> lines_;
    std::size_t longestLine_ = 0;
    bool readOnly_ = false;
    std::size_t linesPaintedLastTime_ = 0;
};
