#include <QApplication>
#include <clocale>
#include <gtest/gtest.h>

// Widget tests run on the offscreen platform; CTest sets it, and so do we
// when a test binary is started by hand.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
