#include <QApplication>

#include <gtest/gtest.h>

// Widgets need one application object that outlives every test and goes before Qt's own globals do. Test discovery
// runs this at build time without CTest's environment, so draw offscreen unless told otherwise.
int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
