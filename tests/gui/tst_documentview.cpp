// The light document view: lines in, lines out, only the visible lines painted, the saved bytes.

#include "gui/DocumentView.h"
#include "gui/MessageBoxes.h"
#include "render/PageMetrics.h"
#include "text/Errors.h"
#include "text/LineFile.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <chrono>
#include <memory>
#include <unistd.h>

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

// A key and its modifiers, as the user presses them.
struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};
using Keys = std::vector<Key>;

// Three lines of Windows-1251 text: "АБВ abc", "second", "" and "end".
const std::vector<std::string> kSmallDocument = {"\xC0\xC1\xC2 abc", "second", "", "end"};

// Real key events through the window system, as typed.
void press(QWidget& view, const Keys& keys) {
    for (const Key& key : keys)
        QTest::keyClick(view.windowHandle(), key.key, key.modifiers);
}

} // namespace

Q_DECLARE_METATYPE(Keys)

class TestDocumentView : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(orva::registerEmbeddedDocumentFont() >= 0); }

    void lineOperations() {
        DocumentView view;
        QCOMPARE(view.lineCount(), std::size_t(0));
        view.setLines({"a", "b", "c"});
        QCOMPARE(view.lineCount(), std::size_t(3));
        QCOMPARE(view.lines(), (std::vector<std::string>{"a", "b", "c"}));
        view.clear();
        QCOMPARE(view.lineCount(), std::size_t(0));
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

    // The mapped copy cut short in place by another program ended the window with SIGBUS (status 135)
    // at its next paint: the view paints on, the lost lines empty, and says once that the copy changed.
    void survivesItsCopyCutShortInPlace() {
        QTemporaryDir dir;
        const std::string path = dir.filePath(QStringLiteral("orva.pro.txt")).toStdString();
        const std::vector<std::string> lines = numberedLines(2000);
        orva::writeFileAtomic(path, orva::joinLinesCrLf(lines));
        orva::LineStarts starts;
        std::uint64_t offset = 0;
        for (const std::string& line : lines) {
            starts.add(offset);
            offset += line.size() + 2;
        }
        std::size_t size = 0;
        orva::UniqueFd fd = orva::openFileForReading(path, size);
        DocumentView view;
        view.resize(600, 400);
        view.setDocument(std::make_shared<const orva::MappedText>(std::move(fd), path, size, std::move(starts), 117));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QColor background = view.viewport()->palette().color(view.viewport()->backgroundRole());
        QVERIFY(inkPixels(view.viewport()->grab().toImage(), background) > 0);

        QStringList said;
        orva::MessageBox::setNextAnswer([&](const orva::MessageBoxSeen& box) {
            said << box.text;
            return QMessageBox::Ok;
        });
        int changes = 0;
        connect(&view, &DocumentView::copyChanged, [&] { ++changes; });
        QCOMPARE(::truncate(path.c_str(), 0), 0);
        view.verticalScrollBar()->setValue(1000); // pages never read before
        const QImage after = view.viewport()->grab().toImage();
        QTRY_COMPARE(changes, 1);
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.front().contains(QStringLiteral("променено")), qPrintable(said.front()));
        QCOMPARE(inkPixels(after, background), 0); // the lines are gone, not painted as NULs
        view.verticalScrollBar()->setValue(0);
        view.viewport()->grab();
        QTest::qWait(50);
        QCOMPARE(changes, 1); // said once
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

        // Everything selected still costs only the lines in sight; PgDn scrolls a page at once.
        QVERIFY(QTest::qWaitForWindowActive(&view));
        view.setFocus();
        press(view, {{Qt::Key_PageDown}});
        QCOMPARE(view.firstVisibleLine(), visible - 1);
        press(view, {{Qt::Key_A, Qt::ControlModifier}});
        view.viewport()->repaint();
        QVERIFY(view.hasSelection());
        QVERIFY(view.linesPaintedLastTime() <= std::size_t(visible));
        press(view, {{Qt::Key_End, Qt::ControlModifier}});
        QCOMPARE(view.firstVisibleLine(), view.verticalScrollBar()->maximum());
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
        view.setLines({"short", std::string(300, 'x')});
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

    // The keyboard selects as in a read-only text box; Ctrl+C puts exactly the selection on the
    // clipboard as Unicode text.
    void keysSelectAndCopy_data() {
        QTest::addColumn<Keys>("keys");
        QTest::addColumn<QString>("copied");
        const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
        const Qt::KeyboardModifiers controlShift = Qt::ControlModifier | Qt::ShiftModifier;
        QTest::newRow("Shift+Right") << Keys{{Qt::Key_Right, shift}, {Qt::Key_Right, shift}} << QStringLiteral("АБ");
        QTest::newRow("Shift+End") << Keys{{Qt::Key_End, shift}} << QStringLiteral("АБВ abc");
        QTest::newRow("Shift+Down keeps the line break")
            << Keys{{Qt::Key_Right}, {Qt::Key_Down, shift}} << QStringLiteral("БВ abc\ns");
        QTest::newRow("Shift+Left back over a line break")
            << Keys{{Qt::Key_Down}, {Qt::Key_Left, shift}, {Qt::Key_Left, shift}} << QStringLiteral("c\n");
        QTest::newRow("End then Shift+Home")
            << Keys{{Qt::Key_Down}, {Qt::Key_End}, {Qt::Key_Home, shift}} << QStringLiteral("second");
        QTest::newRow("Shift+Up from the column kept over a blank line")
            << Keys{{Qt::Key_End, Qt::ControlModifier}, {Qt::Key_Up, shift}, {Qt::Key_Up, shift}}
            << QStringLiteral("ond\n\nend");
        QTest::newRow("Ctrl+Shift+End") << Keys{{Qt::Key_End, controlShift}}
                                        << QStringLiteral("АБВ abc\nsecond\n\nend");
        QTest::newRow("Ctrl+Shift+Home") << Keys{{Qt::Key_Down}, {Qt::Key_Right}, {Qt::Key_Home, controlShift}}
                                         << QStringLiteral("АБВ abc\ns");
        QTest::newRow("Shift+PgDn to the last line")
            << Keys{{Qt::Key_PageDown, shift}} << QStringLiteral("АБВ abc\nsecond\n\n");
        QTest::newRow("Ctrl+A") << Keys{{Qt::Key_Down}, {Qt::Key_A, Qt::ControlModifier}}
                                << QStringLiteral("АБВ abc\nsecond\n\nend");
        QTest::newRow("a move without Shift drops the selection")
            << Keys{{Qt::Key_End, shift}, {Qt::Key_Left}} << QString();
    }
    void keysSelectAndCopy() {
        QFETCH(Keys, keys);
        QFETCH(QString, copied);
        DocumentView view;
        view.setFont(orva::documentFont(orva::kDocumentPointSize));
        view.resize(400, 300);
        view.setLines(std::vector<std::string>(kSmallDocument));
        view.show();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        view.setFocus();
        const QString sentinel = QStringLiteral("on the clipboard before");
        QGuiApplication::clipboard()->setText(sentinel);

        press(view, keys);
        press(view, {{Qt::Key_C, Qt::ControlModifier}});
        QCOMPARE(QGuiApplication::clipboard()->text(), copied.isNull() ? sentinel : copied);
        QCOMPARE(view.hasSelection(), !copied.isNull());
        // The document itself is untouched.
        QCOMPARE(view.lines(), kSmallDocument);
    }

    // The selection is painted where its characters are, only there; the pointer is the arrow,
    // since a click in the window prints.
    void selectionIsPaintedOverItsCells() {
        DocumentView view;
        view.setFont(orva::documentFont(orva::kDocumentPointSize));
        view.resize(400, 300);
        view.setLines(std::vector<std::string>(kSmallDocument));
        view.show();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        view.setFocus();
        QCOMPARE(view.viewport()->cursor().shape(), Qt::ArrowCursor);
        const QColor highlight = view.viewport()->palette().color(QPalette::Highlight);
        const auto highlighted = [&](const QImage& image, int top, int bottom) {
            QRect found;
            for (int y = top; y < bottom; ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixelColor(x, y) == highlight)
                        found |= QRect(x, y, 1, 1);
            return found;
        };
        const int height = view.fontMetrics().lineSpacing();
        QVERIFY(!highlighted(view.viewport()->grab().toImage(), 0, view.viewport()->height()).isValid());

        // "abc" of line 1: columns 4 to 7.
        press(view, {{Qt::Key_End},
                     {Qt::Key_Left, Qt::ShiftModifier},
                     {Qt::Key_Left, Qt::ShiftModifier},
                     {Qt::Key_Left, Qt::ShiftModifier}});
        const QImage image = view.viewport()->grab().toImage();
        const QRect cells = highlighted(image, 0, height);
        const qreal advance = QFontMetricsF(view.font()).horizontalAdvance(QLatin1Char('W'));
        QVERIFY(cells.isValid());
        QVERIFY2(
            qAbs(cells.left() - (2 + 4 * advance)) <= 1 && qAbs(cells.width() - 3 * advance) <= 1,
            qPrintable(QStringLiteral("highlight %1+%2, cell %3").arg(cells.left()).arg(cells.width()).arg(advance)));
        QVERIFY(!highlighted(image, height, view.viewport()->height()).isValid());
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
