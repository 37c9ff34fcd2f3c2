// The folder offered to a run started without a data folder: the default folder when it holds a
// return record, else the chooser (answered through its seam) starting at the remembered folder.

#include "gui/FolderChooser.h"
#include "gui/Startup.h"
#include "text/LineFile.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

// The child: orva started without arguments, the chooser answered with ORVA_CHOOSER_ANSWER (empty:
// Cancel), every box with its default button, the dialog with OK, the window closed once up.
// Each modal and the window are reported on standard output.
void answerInChild() {
    orva::FolderChooser::setNextAnswer(qEnvironmentVariable("ORVA_CHOOSER_ANSWER"));
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        static QPointer<QWidget> answered;
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal != answered && modal->isVisible()) {
            answered = modal;
            auto* box = qobject_cast<QMessageBox*>(modal);
            std::printf("%s|%s\n", box ? "BOX" : "DIALOG", qPrintable(box ? box->text() : modal->windowTitle()));
            for (QPushButton* button : modal->findChildren<QPushButton*>())
                if (button->isDefault())
                    QTimer::singleShot(0, button, &QAbstractButton::click);
        }
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (modal == nullptr && widget->objectName() == QLatin1String("MainWindow") && widget->isVisible()) {
                std::printf("WINDOW|%s\n", qPrintable(widget->windowTitle()));
                QTimer::singleShot(0, widget, &QWidget::close);
            }
        std::fflush(stdout);
    });
    timer->start(20);
}

} // namespace

class TestFolderChooser : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::string floppy;     // the default folder
    std::string lastFolder; // the file that remembers the chooser's folder

    std::string path(const char* name) const {
        return QFile::encodeName(dir->filePath(QString::fromUtf8(name))).toStdString();
    }

    // Runs this program, copied to dir/bin/orva, as orva without arguments.
    QString runChild(const QString& answer, int& exitCode) {
        const QString program = dir->filePath(QStringLiteral("bin/orva"));
        QDir(dir->path()).mkpath(QStringLiteral("bin"));
        if (!QFile::exists(program) && !QFile::copy(QCoreApplication::applicationFilePath(), program))
            return QStringLiteral("copy failed");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ORVA_CHOOSER_ANSWER"), answer);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.start(program, {});
        if (!process.waitForFinished(60000))
            process.kill();
        exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return QString::fromUtf8(process.readAllStandardOutput());
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("floppy")));
        QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("periods/2026-10")));
        QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("periods/2026-11")));
        floppy = path("floppy");
        lastFolder = path("config/orva.last-folder");
        QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("config")));
    }

    // A return record in the default folder, in any letter case, means no chooser.
    void defaultFolderWithARecordIsReadAsIs_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("deklar.txt") << QStringLiteral("deklar.txt");
        QTest::newRow("DEKLAR.TXT") << QStringLiteral("DEKLAR.TXT");
        QTest::newRow("two case variants") << QStringLiteral("Deklar.txt|DEKLAR.txt");
    }
    void defaultFolderWithARecordIsReadAsIs() {
        QFETCH(QString, name);
        for (const QString& file : name.split(QLatin1Char('|')))
            orva::writeFileAtomic(floppy + "/" + file.toStdString(), "record");
        orva::FolderChooser::setNextAnswer(dir->filePath(QStringLiteral("periods/2026-10")));
        QCOMPARE(orva::folderToOpen(floppy, lastFolder), std::optional<std::string>(floppy));
        QVERIFY(!QFile::exists(QFile::decodeName(lastFolder.c_str())));
        // The chooser was not asked: its answer is still there for a folder without a record.
        QCOMPARE(orva::folderToOpen(floppy + "/nothing-here", lastFolder),
                 std::optional<std::string>(path("periods/2026-10")));
    }

    // An empty default folder: the chooser starts at home, its folder is read and remembered;
    // the next run starts there; Cancel gives no folder and keeps what was remembered.
    void chooserStartsAtTheLastFolderUsed() {
        const QString october = dir->filePath(QStringLiteral("periods/2026-10"));
        orva::writeFileAtomic(floppy + "/pokupki.txt", "not a return record");
        orva::FolderChooser::setNextAnswer(october);
        QCOMPARE(orva::folderToOpen(floppy, lastFolder), std::optional<std::string>(path("periods/2026-10")));
        QCOMPARE(orva::FolderChooser::lastStartFolder(), QDir::homePath());
        QCOMPARE(orva::readFileBytes(lastFolder), QFile::encodeName(october).toStdString() + "\n");

        orva::FolderChooser::setNextAnswer(QString());
        QVERIFY(!orva::folderToOpen(floppy, lastFolder));
        QCOMPARE(orva::FolderChooser::lastStartFolder(), october);
        QCOMPARE(orva::readFileBytes(lastFolder), QFile::encodeName(october).toStdString() + "\n");

        // A remembered folder that is gone starts the chooser at home again.
        QVERIFY(QDir(october).removeRecursively());
        orva::FolderChooser::setNextAnswer(QString());
        QVERIFY(!orva::folderToOpen(floppy, lastFolder));
        QCOMPARE(orva::FolderChooser::lastStartFolder(), QDir::homePath());
    }

    // The chosen folder is used even when it cannot be remembered.
    void aFolderThatCannotBeRememberedIsStillRead() {
        const QString november = dir->filePath(QStringLiteral("periods/2026-11"));
        orva::FolderChooser::setNextAnswer(november);
        const std::string unwritable = path("missing/orva.last-folder");
        QCOMPARE(orva::folderToOpen(floppy, unwritable), std::optional<std::string>(path("periods/2026-11")));
        QVERIFY(!QFile::exists(QFile::decodeName(unwritable.c_str())));
    }

    // The whole start-up without a data folder: the chosen period is shown; Cancel ends the run
    // with the read error, before any dialog or window.
    void startedFromTheMenu() {
        orva::FolderChooser::setNextAnswer(QString());
        if (orva::folderToOpen(orva::kDefaultDataFolder, path("probe")) == std::string(orva::kDefaultDataFolder))
            QSKIP("a diskette with a return is in the drive");
        int status = -1;
        const QString shown = runChild(QStringLiteral(ORVA_SAMPLES "/2026-10"), status);
        QCOMPARE(status, 0);
        QVERIFY2(shown.contains(QStringLiteral("DIALOG| ДАНЪЧЕН ПЕРИОД")), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("WINDOW| ДАНЪЧЕН ПЕРИОД")), qPrintable(shown));
        QCOMPARE(orva::readFileBytes(path("bin/orva.last-folder")), std::string(ORVA_SAMPLES "/2026-10\n"));
        QVERIFY(QFile::exists(dir->filePath(QStringLiteral("bin/orva.pro.txt"))));

        QFile::remove(dir->filePath(QStringLiteral("bin/orva.pro.txt")));
        const QString cancelled = runChild(QString(), status);
        QCOMPARE(status, 0);
        QVERIFY2(cancelled.endsWith(QStringLiteral("BOX|Грешка при четене на дискетата.\n")), qPrintable(cancelled));
        QVERIFY2(!cancelled.contains(QStringLiteral("DIALOG")) && !cancelled.contains(QStringLiteral("WINDOW")),
                 qPrintable(cancelled));
        QVERIFY(!QFile::exists(dir->filePath(QStringLiteral("bin/orva.pro.txt"))));
        QCOMPARE(orva::readFileBytes(path("bin/orva.last-folder")), std::string(ORVA_SAMPLES "/2026-10\n"));
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("ORVA_CHOOSER_ANSWER")) {
        char* childArgv[] = {argv[0], nullptr};
        return orva::runOrva(1, childArgv, answerInChild);
    }
    QApplication application(argc, argv);
    TestFolderChooser test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_folder_chooser.moc"
