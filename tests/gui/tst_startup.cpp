// Start-up and shutdown. The data-folder rules run in process; the whole start-up runs in a
// child process (this program, copied into a temporary "program folder"), whose boxes and dialog
// are answered through their seams and reported on its standard output.

#include "gui/Startup.h"

#include "gui/AdditionalDataDialog.h"
#include "gui/MessageBoxes.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

static void initFontResource() {
    Q_INIT_RESOURCE(orva_font);
}

namespace {

// ---------------------------------------------------------------- child side

void report(const QStringList& fields) {
    QString line = fields.join(QLatin1Char('|'));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

QString courierNew() {
    const QFontInfo info(QFont(QStringLiteral("Courier New")));
    return info.family() + QLatin1Char('|') + QString::number(info.fixedPitch() ? 1 : 0);
}

// Answers the diskette prompt as ORVA_CHILD_PROMPT says, every other box with its default
// button; each answer sets the next.
void answerBoxes() {
    orva::MessageBox::setNextAnswer([](const orva::MessageBoxSeen& box) {
        answerBoxes();
        report({QStringLiteral("BOX"), box.title, box.text, QString::number(box.icon),
                box.buttons.join(QLatin1Char(',')), box.detailedText});
        if (box.title == QStringLiteral("Потвърждение")) {
            report({QStringLiteral("FONT"), courierNew()});
            return qgetenv("ORVA_CHILD_PROMPT") == "ok" ? QMessageBox::Ok : QMessageBox::Cancel;
        }
        return box.defaultButton;
    });
}

// Answers every dialog with OK.
void answerDialogs() {
    AdditionalDataDialog::setNextAnswer([](AdditionalDataDialog& dialog) {
        answerDialogs();
        QTimer::singleShot(0, &dialog, [&dialog] {
            report({QStringLiteral("DIALOG"), dialog.windowTitle()});
            dialog.okButton()->click();
        });
    });
}

// Answers the boxes and the dialog through their seams; closes the main window once it is up.
void answerInChild() {
    report({QStringLiteral("BEFORE"), courierNew()});
    answerBoxes();
    answerDialogs();
    // The main window is no modal box: it is looked for until it is up.
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QLatin1String("MainWindow") && widget->isVisible() && widget->isMaximized()) {
                report({QStringLiteral("WINDOW"), widget->windowTitle()});
                QTimer::singleShot(0, widget, &QWidget::close);
            }
        }
    });
    timer->start(20);
}

// ---------------------------------------------------------------- parent side

struct ChildRun {
    int exitCode = -1;
    QList<QStringList> lines;
    QString standardError;
    QStringList find(const QString& kind, int index = 0) const {
        for (const QStringList& line : lines)
            if (line.value(0) == kind && index-- == 0)
                return line;
        return {};
    }
    int count(const QString& kind) const {
        int n = 0;
        for (const QStringList& line : lines)
            n += line.value(0) == kind;
        return n;
    }
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString program;

    ChildRun run(const QStringList& arguments, const QString& prompt, const QProcessEnvironment& extra = {}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ORVA_SHELL_CHILD"), QStringLiteral("1"));
        environment.insert(QStringLiteral("ORVA_CHILD_PROMPT"), prompt);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const QString& key : extra.keys())
            environment.insert(key, extra.value(key));
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        ChildRun result;
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        result.standardError = QString::fromUtf8(process.readAllStandardError());
        for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n')))
            if (!line.isEmpty())
                result.lines << line.split(QLatin1Char('|'));
        return result;
    }

    QStringList programFolder() const {
        return QDir(QFileInfo(program).absolutePath()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    }

    static QByteArray embeddedFont() {
        initFontResource();
        QFile resource(QStringLiteral(":/MYFONT/MYFONT_1"));
        return resource.open(QIODevice::ReadOnly) ? resource.readAll() : QByteArray();
    }

    // A period the child can load: the team's sample.
    static QString samplePeriod() { return QStringLiteral(ORVA_SAMPLES "/2026-10"); }

private slots:
    void dataFolderRules_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no argument") << QStringList{} << QStringLiteral("/media/floppy0");
        QTest::newRow("empty argument") << QStringList{QString()} << QStringLiteral("/media/floppy0");
        QTest::newRow("empty first, second ignored")
            << QStringList{QString(), QStringLiteral("/data")} << QStringLiteral("/media/floppy0");
        QTest::newRow("folder") << QStringList{QStringLiteral("/srv/vat")} << QStringLiteral("/srv/vat");
        QTest::newRow("unchanged, trailing separator kept")
            << QStringList{QStringLiteral("/srv/vat/")} << QStringLiteral("/srv/vat/");
        QTest::newRow("blanks kept") << QStringList{QStringLiteral("/srv/my vat ")} << QStringLiteral("/srv/my vat ");
        QTest::newRow("further arguments ignored")
            << QStringList{QStringLiteral("/a"), QStringLiteral("/b"), QStringLiteral("/c")} << QStringLiteral("/a");
    }
    void dataFolderRules() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        std::vector<QByteArray> storage{QByteArray("orva")};
        for (const QString& argument : arguments)
            storage.push_back(argument.toUtf8());
        std::vector<const char*> argv;
        for (const QByteArray& argument : storage)
            argv.push_back(argument.constData());
        argv.push_back(nullptr);
        QCOMPARE(QString::fromStdString(orva::dataFolderFromArguments(int(storage.size()), argv.data())), expected);
    }

    void fontFileBesideTheProgram() {
        QCOMPARE(orva::fontFilePath("/opt/orva/bin/orva"), std::string("/opt/orva/bin/ORVA.TTF"));
        QCOMPARE(orva::fontFilePath("/opt/orva.d/orva.exe"), std::string("/opt/orva.d/ORVA.TTF"));
    }

    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("bin")));
        program = dir->filePath(QStringLiteral("bin/orva"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    // Cancel: the font file is written and stays, nothing else is read or written, exit 0.
    void cancelAtThePrompt() {
        for (int start = 0; start < 2; ++start) {
            const ChildRun child = run({samplePeriod()}, QStringLiteral("cancel"));
            QCOMPARE(child.exitCode, 0);
            QCOMPARE(child.count(QStringLiteral("BOX")), 1);
            const QStringList prompt = child.find(QStringLiteral("BOX"));
            QCOMPARE(prompt.value(1), QStringLiteral("Потвърждение"));
            QCOMPARE(prompt.value(2), QStringLiteral("Моля поставете дискетата с ДДС файловете във ФДУ"));
            QCOMPARE(prompt.value(3).toInt(), int(QMessageBox::Question));
            QCOMPARE(prompt.value(4), QStringLiteral("Добре,Отказ"));
            QCOMPARE(child.count(QStringLiteral("DIALOG")), 0);
            QCOMPARE(child.count(QStringLiteral("WINDOW")), 0);
            // Started twice: the same single font file, no side files, no temporary leftovers.
            QStringList files = programFolder();
            files.sort();
            QCOMPARE(files, (QStringList{QStringLiteral("ORVA.TTF"), QStringLiteral("orva")}));
            QFile font(dir->filePath(QStringLiteral("bin/ORVA.TTF")));
            QVERIFY(font.open(QIODevice::ReadOnly));
            const QByteArray bytes = font.readAll();
            QVERIFY(bytes.size() > 100000);
            QVERIFY(bytes == embeddedFont());
        }
    }

    // The font file cannot be written: "Application Error" naming it, exit code 1, no prompt.
    void fontFileNotWritable() {
        QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("bin/ORVA.TTF")));
        const ChildRun child = run({samplePeriod()}, QStringLiteral("ok"));
        QCOMPARE(child.exitCode, 1);
        QCOMPARE(child.count(QStringLiteral("BOX")), 1);
        const QStringList box = child.find(QStringLiteral("BOX"));
        QCOMPARE(box.value(1), QStringLiteral("Application Error"));
        QVERIFY2(box.value(2).contains(QStringLiteral("ORVA.TTF")), qPrintable(box.value(2)));
        QCOMPARE(box.value(3).toInt(), int(QMessageBox::Critical));
        QCOMPARE(child.count(QStringLiteral("FONT")), 0);
    }

    // Debian maps "Courier New" to Liberation Mono in its own fontconfig; under a fontconfig
    // without that alias the name must still reach the embedded face.
    void courierNewIsTheEmbeddedFace() {
        const QString fonts = QStringLiteral("/usr/share/fonts/truetype/dejavu");
        if (!QFileInfo::exists(fonts))
            QSKIP("DejaVu fonts are not installed");
        const int id = QFontDatabase::addApplicationFontFromData(embeddedFont());
        QVERIFY(id >= 0);
        const QString embedded = QFontDatabase::applicationFontFamilies(id).value(0);
        QVERIFY(!embedded.isEmpty());

        QFile config(dir->filePath(QStringLiteral("fonts.conf")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral("<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                                    "<fontconfig><dir>%1</dir><cachedir>%2</cachedir></fontconfig>\n")
                         .arg(fonts, dir->filePath(QStringLiteral("fontcache")))
                         .toUtf8());
        config.close();
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("FONTCONFIG_FILE"), config.fileName());
        const ChildRun child = run({samplePeriod()}, QStringLiteral("cancel"), extra);
        QCOMPARE(child.exitCode, 0);
        // Before the font is installed the name falls to some other face, so the check below
        // cannot pass by accident.
        QVERIFY2(child.find(QStringLiteral("BEFORE")).value(1) != embedded,
                 qPrintable(child.find(QStringLiteral("BEFORE")).join(QLatin1Char(' '))));
        const QStringList font = child.find(QStringLiteral("FONT"));
        QCOMPARE(font.value(1), embedded);
        QCOMPARE(font.value(2), QStringLiteral("1"));
    }

    // OK: the window loads the named folder, shows the dialog and then itself, maximised;
    // on its close the program ends with 0 and the dialog's last values are written.
    void okRunsTheWindow_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("folder") << QStringList{samplePeriod()};
        QTest::newRow("further arguments ignored") << QStringList{samplePeriod(), QStringLiteral("/nonexistent")};
    }
    void okRunsTheWindow() {
        QFETCH(QStringList, arguments);
        const ChildRun child = run(arguments, QStringLiteral("ok"));
        QCOMPARE(child.exitCode, 0);
        QCOMPARE(child.count(QStringLiteral("DIALOG")), 1);
        const QString caption = child.find(QStringLiteral("DIALOG")).value(1);
        QVERIFY(caption.startsWith(QStringLiteral(" ДАНЪЧЕН ПЕРИОД ")));
        QCOMPARE(child.find(QStringLiteral("WINDOW")).value(1), caption);
        for (const char* name : {"bin/orva.pro.txt", "bin/orva.pok.txt", "bin/orva.txt"})
            QVERIFY2(QFileInfo::exists(dir->filePath(QString::fromLatin1(name))), name);
    }

    // An empty first argument counts as absent: the default folder is read, not the second.
    void emptyArgumentReadsTheDefaultFolder() {
        if (QFileInfo::exists(QStringLiteral("/media/floppy0/deklar.txt")))
            QSKIP("a diskette is in the drive");
        const ChildRun child = run({QString(), samplePeriod()}, QStringLiteral("ok"));
        QCOMPARE(child.exitCode, 0);
        bool readError = false;
        for (int index = 0; !child.find(QStringLiteral("BOX"), index).isEmpty(); ++index) {
            const QStringList box = child.find(QStringLiteral("BOX"), index);
            if (box.value(2) == QStringLiteral("Грешка при четене на дискетата.")) {
                readError = true;
                QCOMPARE(box.value(1), QStringLiteral("ОРВА"));
                QCOMPARE(box.value(3).toInt(), int(QMessageBox::NoIcon));
                // The detail names the folder that is not there, in the box and on standard error.
                const QString detail = box.value(5);
                QVERIFY2(detail.contains(QStringLiteral("/media/floppy0/deklar.txt")), qPrintable(detail));
                QVERIFY2(child.standardError.contains(QStringLiteral("orva: ") + detail + QLatin1Char('\n')),
                         qPrintable(child.standardError));
            }
        }
        QVERIFY(readError);
        QCOMPARE(child.count(QStringLiteral("DIALOG")), 0);
        QCOMPARE(child.count(QStringLiteral("WINDOW")), 0);
        QVERIFY(!QFileInfo::exists(dir->filePath(QStringLiteral("bin/orva.pro.txt"))));
        QVERIFY(QFileInfo::exists(dir->filePath(QStringLiteral("bin/orva.txt"))));
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("ORVA_SHELL_CHILD"))
        return orva::runOrva(argc, argv, answerInChild);
    QApplication application(argc, argv);
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
