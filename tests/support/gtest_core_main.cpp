#include <QCoreApplication>
#include <gtest/gtest.h>

// Tests without widgets still get an application object, so that Qt's
// event loop, timers and SQL drivers work as they do in the program.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
