#include <QApplication>

#include <gtest/gtest.h>

// The chart measures text and is a widget, so every test needs the application object.
int main(int argc, char** argv)
{
    // Test discovery runs this without the test environment; drawing never needs a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
