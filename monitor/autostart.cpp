// The monitor's own autostart entry in the machine's Run key.
#include "monitor/monitor.h"

namespace {

constexpr const char* kMonitorFile = "\\velmora.exe";
constexpr int kMachineRunCode = 1;   // MACHINE_RUN
constexpr int kNameLen = 64;

// The command the entry starts: this program's folder + "\velmora.exe".
// 0 when the folder does not leave room for the file name.
int OwnCommandLine(char (&out)[MAX_PATH])
{
    if (!GetProgramFolder(out)) return 0;
    RemoveBackslash(out, 0);
    return StrAppend(out, kMonitorFile) == 0;
}

int RunValueExists(int nameId)
{
    char name[kNameLen];
    if (LoadLocalizedString(nameId, name) <= 0) return 0;
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMachineRunKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return 0;
    return RegQueryValueExA(key.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace

int SetMonitorAutostart(int on)
{
    char name[kNameLen];
    char command[MAX_PATH];
    if (LoadLocalizedString(IDS_APP_CAPTION, name) <= 0 || !OwnCommandLine(command)) {
        TraceLog("SetMonitorAutostart", "no entry name or command - autostart");
        return 0;
    }
    MonitorState& state = GetMonitorState();
    if (on) {
        if (!SetRegValue(HKEY_LOCAL_MACHINE, kMachineRunKey, name, command)) {
            TraceLog("ERROR SetRegValue - autostart", name);
            return 0;
        }
        state.autostart = true;
        WriteApproval(kStoreRun, command, 1);
        return 1;
    }
    if (!DeleteRunProgram(name, command, "", kMachineRunCode)) return 0;
    state.autostart = false;
    return 1;
}

int IsMonitorAutostart()
{
    return RunValueExists(IDS_APP_CAPTION) || RunValueExists(IDS_PRIME_ENTRY);
}
