// GoogleTest entry for the link tests: the links run on a Qt event loop, so
// a QCoreApplication exists for the whole run.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
