#include <QApplication>

#include <gtest/gtest.h>

// Widgets need one application object that outlives every test and goes before Qt's own globals
// do; the chart measures text, so its tests need it too.
int main(int argc, char** argv)
{
    // Test discovery runs this at build time without CTest's environment: draw offscreen unless
    // told otherwise.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quorvel Traffic Monitor");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
