// The model table of korvanectl: one row per model with a driver, each
// from the driver's own capability answers.
#include <gtest/gtest.h>

#include <sstream>

#include "modelscommand.h"

namespace {

TEST(ModelsCommand, OneRowPerDriverFromItsAnswers)
{
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(tools::runModelsCommand(out, err), 0) << err.str();
    const std::string table = out.str();
    EXPECT_EQ(table.rfind("| Model | Modes | AGC | Noise blanker | Attenuator | Squelch | Preselector | S-meter | "
                          "Channels | Outputs | Bus addressing | Line |\n|---|",
                          0),
              0u)
        << table;
    EXPECT_NE(table.find("| RA6790 | AM, CW, USB, LSB, FM, RTTY (emulated), FAX (emulated), ISB (option), CWF | "),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("| yes | — | — | yes, default 77 | 9600 8N1 |\n"), std::string::npos) << table;
    EXPECT_NE(table.find("| REK085 | AM, CW, USB, LSB, RTTY, FAX, ISB | Man, Fast, Slow | — | — | — | — | — | "
                         "100 (0–99) | 10 | yes, default 0 | 9600 7O1 |\n"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("| HF2050 | "), std::string::npos) << table;
    EXPECT_NE(table.find("| Off, Peek, Wide (connected) | — | yes (connected) |"), std::string::npos) << table;
    EXPECT_NE(table.find("| NRD535 | "), std::string::npos) << table;
    EXPECT_EQ(table.find("TRC298"), std::string::npos);  // no driver, no row
}

}  // namespace
