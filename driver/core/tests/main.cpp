// Test runner of the driver core: a Qt application object for the poll
// timers, the test model registered for NRD535, RA6790 and RA1792 (other
// types stay without a driver), and a settings store on a temporary file.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "testmodel.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    quorvin::test::TestModel::registerFor({quorvin::DrvNRD535, quorvin::DrvRA6790, quorvin::DrvRA1792});
    return RUN_ALL_TESTS();
}
