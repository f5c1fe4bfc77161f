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

DWORD GetPlatformId(DWORD* minorVersion)
{
    if (minorVersion) *minorVersion = 0;
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
    if (!GetVersionExA(&info)) return 0;
    if (minorVersion) *minorVersion = info.dwMinorVersion;
    return info.dwPlatformId;
}
