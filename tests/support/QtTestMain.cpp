#include <QApplication>

#include <gtest/gtest.h>

// Widget tests need one application object for the whole run.
int main(int argc, char** argv)
{
    // Widget tests always draw offscreen, also when CTest lists them at build time.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quorvel Traffic Monitor");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
