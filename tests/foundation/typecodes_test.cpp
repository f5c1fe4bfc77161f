#include <gtest/gtest.h>

#include <cstring>

#include "foundation/foundation.h"

namespace {

struct NameCase {
    int code;
    const char* name;
};

constexpr NameCase kNames[] = {
    {1, "MACHINE_RUN"},           {5, "MACHINE_RUNSERVICESONCE"},
    {6, "MACHINE_RUNONCESETUP"},  {7, "MACHINE_RUNPOLICY"},
    {11, "CURRENT_RUN"},          {15, "CURRENT_RUNSERVICESONCE"},
    {16, "TYPE_UNKNOWN"},         {17, "TYPE_UNKNOWN"},
    {25, "USERS_RUNSERVICESONCE"}, {31, "VELMORA_RUN"},
    {100, "WIN_LOAD"},            {101, "WIN_RUN"},
    {200, "GROUP_STARTUP"},       {250, "WINLOGON_Userinit"},
    {255, "REG_AppInitDLLs"},     {256, "RUN_WINLOGONNOTIFY"},
    {300, "RESTART_DELETE"},      {301, "RESTART_RENAME"},
    {350, "TYPE_MONITOR"},        {360, "TYPE_BLACKLIST"},
    {370, "TYPE_HIDDEN"},         {400, "TYPE_FILETYPE"},
    {450, "TYPE_PROSEARCH"},      {500, "INFO_COOKIE"},
    {503, "INFO_NUTS"},           {600, "INFO_TASK"},
    {700, "SERVICE_EXE"},         {701, "SERVICE_SVCHOST"},
    {800, "TASK_SCHEDULED"},      {900, "TYPE_BHO"},
    {901, "TYPE_TOOLBAR"},        {902, "TYPE_EXTENSION"},
    {3000, "TYPE_UNKNOWN"},       {0, "TYPE_UNKNOWN"},
    {-1, "TYPE_UNKNOWN"},         {99999, "TYPE_UNKNOWN"},
};

}  // namespace

TEST(TypeCodeName, NamesEveryCodeAndUnknownOnes)
{
    for (const NameCase& c : kNames) {
        char name[48];
        EXPECT_EQ(TypeCodeName(c.code, name), static_cast<int>(strlen(c.name))) << c.code;
        EXPECT_STREQ(name, c.name) << c.code;
    }
}
