#include "app/ProjectsVars.h"

#include <gtest/gtest.h>

namespace {
void Parse(std::vector<std::string> params) {
    ResetSwitches();
    ParseCommandLine(params);
}
}  // namespace

TEST(Switches, NamesAreCaseInsensitiveWholeWords) {
    Parse({"FULLFUN", "Autonom", "okb", "ADMIN"});
    EXPECT_TRUE(isFullFun);
    EXPECT_TRUE(isAUTONOM);
    EXPECT_TRUE(isOKB);
    EXPECT_TRUE(isADMIN);
    EXPECT_FALSE(isDEBUG);
    EXPECT_EQ(MessDepth, mdUser);
    Parse({"fullfunx", "auto"});
    EXPECT_FALSE(isFullFun);
    EXPECT_FALSE(isAUTONOM);
}

TEST(Switches, DebugForcesFunctionalDepthWhateverTheOrder) {
    Parse({"DEBUG", "mdhardware"});
    EXPECT_TRUE(isDEBUG);
    EXPECT_EQ(MessDepth, mdFunctional);
    Parse({"mdsystem", "debug"});
    EXPECT_EQ(MessDepth, mdFunctional);
}

TEST(Switches, LastDepthWins) {
    Parse({"mdsystem", "mdapplied"});
    EXPECT_EQ(MessDepth, mdApplied);
    Parse({"mdapplied", "MdHardWare"});
    EXPECT_EQ(MessDepth, mdHardWare);
}

TEST(Switches, PrefixedSwitchesAreIgnored) {
    Parse({"-debug", "/debug", "--autonom"});
    EXPECT_FALSE(isDEBUG);
    EXPECT_FALSE(isAUTONOM);
    EXPECT_EQ(MessDepth, mdUser);
}
