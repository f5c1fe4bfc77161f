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
