// The commands run in this process; the application object stands where orva-cli's own would.
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // Pinned here: ctest's property lists cannot carry an environment through test discovery.
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::setenv("TZ", "UTC", 1);
    ::testing::InitGoogleTest(&argc, argv);
    // No job of these tests may reach a real print server: CUPS is pointed at a socket that does
    // not exist, so this process and the orva-cli processes it starts see no printer. Printing
    // is checked through a PDF printer put in place of the default one.
    qputenv("CUPS_SERVER", "/nonexistent/orva-tests-have-no-print-server");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
