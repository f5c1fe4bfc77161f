#include <gtest/gtest.h>

#include "foundation/foundation.h"

TEST(Program, KindSwitchesBetweenMonitorAndExplorer)
{
    SetProgramKind(kMonitor);
    EXPECT_EQ(GetProgramKind(), kMonitor);
    SetProgramKind(kExplorer);
    EXPECT_EQ(GetProgramKind(), kExplorer);
}
