// The light document view: lines in, lines out, only the visible lines painted, the saved bytes.

#include "gui/DocumentView.h"
#include "render/Printing.h"
#include "text/Errors.h"
#include "text/LineFile.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>

namespace {

std::vector<std::string> numberedLines(std::size_t count, std::size_t width = 117) {
    std::vector<std::string> lines;
    lines.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        std::string line = "| " + std::to_string(index + 1) + " \xC4\xCD\xC5\xC2\xCD\xC8\xCA";
        line.resize(width, '-');
        lines.push_back(std::move(line));
    }
    return lines;
}

// Pixels that differ from the view's background colour.
int inkPixels(const QImage& image, const QColor& background) {
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink += image.pixelColor(x, y) != background;
    return ink;
}

} // namespace

class TestDocumentView : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(orva::registerEmbeddedDocumentFont() >= 0); }

    void lineOperations() {
        DocumentView view;
        QCOMPARE(view.lineCount(), std::size_t(0));
        view.appendLine("first");
        view.appendLine("");
        QCOMPARE(view.lineCount(), std::size_t(2));
        view.setLines({"a", "b", "c"});
        QCOMPARE(view.lineCount(), std::size_t(3));
        QCOMPARE(view.lines(), (std::vector<std::string>{"a", "b", "c"}));
        view.clear();
        QCOMPARE(view.lineCount(), std::size_t(0));
        QVERIFY(!view.isReadOnly());
        view.setReadOnly(true);
        QVERIFY(view.isReadOnly());
    }

    void savesWindows1251WithCrLf() {
        QTemporaryDir dir;
        const std::string path = dir.filePath(QStringLiteral("copy.txt")).toStdString();
        orva::writeFileAtomic(path, "old content that is longer than the new one");
        DocumentView view;
        view.setLines({"\xC4\xCD\xC5\xC2\xCD\xC8\xCA  ", "", "end"});
        view.saveToFile(path);
        QCOMPARE(orva::readFileBytes(path), std::string("\xC4\xCD\xC5\xC2\xCD\xC8\xCA  \r\n\r\nend\r\n"));

        view.clear();
        view.saveToFile(path);
        QCOMPARE(orva::readFileBytes(path), std::string());
    }

    void failedSaveNamesThePath() {
        QTemporaryDir dir;
        const std::string missing = dir.filePath(QStringLiteral("no/such/folder/copy.txt")).toStdString();
        DocumentView view;
        view.setLines({"x"});
        try {
            view.saveToFile(missing);
            QFAIL("saving into a missing folder succeeded");
        } catch (const orva::FileError& error) {
            QVERIFY(std::string(error.what()).find(missing) != std::string::npos);
        }
    }

    // A big document costs only what is in sight on every paint.
    void paintsOnlyTheVisibleLines() {
        DocumentView view;
        view.setFont(orva::documentFont(orva::kDocumentPointSize));
        view.resize(600, 400);
        view.setLines(numberedLines(200000));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.viewport()->repaint();
        const int visible = view.viewport()->height() / view.fontMetrics().lineSpacing() + 1;
        QVERIFY(view.linesPaintedLastTime() > 0);
        QVERIFY(view.linesPaintedLastTime() <= std::size_t(visible));
        QCOMPARE(view.verticalScrollBar()->maximum(), 200000 - (visible - 1));

        view.verticalScrollBar()->setValue(150000);
        view.viewport()->repaint();
        QCOMPARE(view.firstVisibleLine(), 150000);
        QVERIFY(view.linesPaintedLastTime() <= std::size_t(visible));
        view.scrollToStart();
        QCOMPARE(view.firstVisibleLine(), 0);
        QCOMPARE(view.horizontalScrollBar()->value(), 0);
    }

    void drawsTheTextOnTheScrollBarColour() {
        DocumentView view;
        view.setFont(orva::documentFont(orva::kDocumentPointSize));
        view.resize(300, 200);
        const QColor background = view.viewport()->palette().color(QPalette::Button);
        QCOMPARE(view.viewport()->palette().color(view.viewport()->backgroundRole()), background);
        QCOMPARE(inkPixels(view.viewport()->grab().toImage(), background), 0);
        view.setLines({"\xC4\xCD\xC5\xC2\xCD\xC8\xCA"});
        QVERIFY(inkPixels(view.viewport()->grab().toImage(), background) > 20);
    }

    void horizontalExtentFollowsTheLongestLine() {
        DocumentView view;
        view.setFont(orva::documentFont(orva::kDocumentPointSize));
        view.resize(400, 300);
        view.setLines({"short"});
        QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
        view.appendLine(std::string(300, 'x'));
        const int expected = 300 * view.fontMetrics().horizontalAdvance(QLatin1Char('W'));
        QVERIFY(view.horizontalScrollBar()->maximum() >= expected - view.viewport()->width());
        view.clear();
        QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
    }

    void clickGivesTheFocus() {
        QWidget window;
        DocumentView first(&window), second(&window);
        second.move(0, 200);
        window.resize(400, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        first.setFocus();
        QTest::mouseClick(second.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QVERIFY(second.hasFocus());
    }

    // Not a timed test: how long 1.4 million journal lines take to go into a box.
    void benchmarkSetLines() {
        std::vector<std::string> lines = numberedLines(1400000);
        DocumentView view;
        view.resize(800, 600);
        QBENCHMARK_ONCE {
            view.setLines(std::move(lines));
        }
        QCOMPARE(view.lineCount(), std::size_t(1400000));
    }
};

QTEST_MAIN(TestDocumentView)
#include "tst_documentview.moc"
