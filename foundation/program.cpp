#include "foundation/foundation.h"

namespace {
ProgramKind g_kind = kExplorer;
}

void SetProgramKind(ProgramKind kind)
{
    g_kind = kind;
}

ProgramKind GetProgramKind()
{
    return g_kind;
}

namespace {

// What the system tells this program it is: with the manifest's supportedOS
// entries, the real version.
bool QueryVersion(OSVERSIONINFOA* info)
{
    *info = {};
    info->dwOSVersionInfoSize = sizeof(*info);
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
    return GetVersionExA(info) != FALSE;
}

}  // namespace

DWORD GetPlatformId(DWORD* minorVersion)
{
    if (minorVersion) *minorVersion = 0;
    OSVERSIONINFOA info;
    if (!QueryVersion(&info)) return 0;
    if (minorVersion) *minorVersion = info.dwMinorVersion;
    return info.dwPlatformId;
}

DWORD GetWindowsMajorVersion()
{
    OSVERSIONINFOA info;
    return QueryVersion(&info) ? info.dwMajorVersion : 0;
}
