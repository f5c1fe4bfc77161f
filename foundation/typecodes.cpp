#include "foundation/foundation.h"

#include <cstring>
#include <iterator>

namespace {

struct TypeName {
    int code;
    const char* name;
};

// Searched in this order; the names are written to the history log as they
// stand here.
constexpr TypeName kTypeNames[] = {
    {1, "MACHINE_RUN"},
    {2, "MACHINE_RUNONCE"},
    {3, "MACHINE_RUNONCEEX"},
    {4, "MACHINE_RUNSERVICES"},
    {5, "MACHINE_RUNSERVICESONCE"},
    {11, "CURRENT_RUN"},
    {12, "CURRENT_RUNONCE"},
    {13, "CURRENT_RUNONCEEX"},
    {14, "CURRENT_RUNSERVICES"},
    {15, "CURRENT_RUNSERVICESONCE"},
    {21, "USERS_RUN"},
    {22, "USERS_RUNONCE"},
    {23, "USERS_RUNONCEEX"},
    {24, "USERS_RUNSERVICES"},
    {25, "USERS_RUNSERVICESONCE"},
    {31, "VELMORA_RUN"},
    {32, "VELMORA_RUNONCE"},
    {33, "VELMORA_RUNONCEEX"},
    {34, "VELMORA_RUNSERVICES"},
    {35, "VELMORA_RUNSERVICESONCE"},
    {100, "WIN_LOAD"},
    {101, "WIN_RUN"},
    {200, "GROUP_STARTUP"},
    {250, "WINLOGON_Userinit"},
    {251, "WINLOGON_Shell"},
    {252, "REG_Delayload"},
    {253, "REG_TaskScheduler"},
    {254, "REG_ShellExecuteHook"},
    {255, "REG_AppInitDLLs"},
    {500, "INFO_COOKIE"},
    {501, "INFO_NETCOOKIE"},
    {502, "INFO_SAVECOOKIE"},
    {503, "INFO_NUTS"},
    {600, "INFO_TASK"},
    {700, "SERVICE_EXE"},
    {701, "SERVICE_SVCHOST"},
    {800, "TASK_SCHEDULED"},
    {900, "TYPE_BHO"},
    {300, "RESTART_DELETE"},
    {301, "RESTART_RENAME"},
    {901, "TYPE_TOOLBAR"},
    {902, "TYPE_EXTENSION"},
    {350, "TYPE_MONITOR"},
    {360, "TYPE_BLACKLIST"},
    {450, "TYPE_PROSEARCH"},
    {400, "TYPE_FILETYPE"},
    {370, "TYPE_HIDDEN"},
    {256, "RUN_WINLOGONNOTIFY"},
    {6, "MACHINE_RUNONCESETUP"},
    {7, "MACHINE_RUNPOLICY"},
    {3000, "TYPE_UNKNOWN"},
};
static_assert(std::size(kTypeNames) == 51);

constexpr int kNameCapacity = 48;

}  // namespace

int TypeCodeName(int code, char* out)
{
    const char* name = "TYPE_UNKNOWN";
    for (const TypeName& t : kTypeNames) {
        if (t.code == code) {
            name = t.name;
            break;
        }
    }
    StrCopy(out, kNameCapacity, name);
    return static_cast<int>(strlen(out));
}
