// Entry point of the test executables that need Qt: the application their
// tests need (Qt Core, Qt Gui or Qt Widgets), on the offscreen platform, so
// that widget tests run without a display.
#if defined(PX316T_TEST_APPLICATION_WIDGETS)
#include <QApplication>
using TestApplication = QApplication;
#elif defined(PX316T_TEST_APPLICATION_GUI)
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
