// The suite's one version number reaches Tessaly's title as
// "Tessaly <major>.<minor>.<revision> - Receiver".
#include <gtest/gtest.h>

#include "controller/app/mainwindow.h"
#include "korvaneversion.h"

TEST(Version, TessalysTitleCarriesTheSuitesVersion)
{
    EXPECT_EQ(tessaly::MainWindow::title().toStdString(), "Tessaly " KORVANE_VERSION " - Receiver");
}

TEST(Version, HasThreeNumbers)
{
    const std::string version = KORVANE_VERSION;
    int dots = 0;
    for (char c : version) {
        if (c == '.') {
            ++dots;
        } else {
            EXPECT_TRUE(c >= '0' && c <= '9') << version;
        }
    }
    EXPECT_EQ(dots, 2) << version;
}
