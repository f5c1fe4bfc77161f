#include "foundation/foundation.h"

#include <cstring>

namespace {

struct TraceState {
    char path[MAX_PATH] = "";
    ProgramKind pathKind = kExplorer;
    int counter = kTraceOff;
    char lastText[256] = "";
    DWORD mark = 0;
    bool modalPause = false;
};

TraceState g_trace;

// Both programs know their file; only the monitor ever writes it.
void ComputeTracePath()
{
    char folder[MAX_PATH];
    GetProgramFolder(folder);
    const char* name = GetProgramKind() == kMonitor ? "\\send2cv.txt" : "\\sendex2cv.txt";
    StrFormatA(g_trace.path, "%s%s", folder, name);
    g_trace.pathKind = GetProgramKind();
}

// The kind may be set after InitTrace; the file follows it.
const char* TracePath()
{
    if (g_trace.path[0] == '\0' || g_trace.pathKind != GetProgramKind()) ComputeTracePath();
    return g_trace.path;
}

bool TracingActive()
{
    return GetProgramKind() == kMonitor && g_trace.counter <= 9000;
}

void WriteTraceLine(DWORD tick, const char* line)
{
    char key[32];
    StrFormatA(key, "%d.%d", static_cast<int>(tick), g_trace.counter);
    WritePrivateProfileStringA("Trace", key, line, TracePath());
}

int WriteLabelled(const char* label, const char* text, bool start)
{
    if (!TracingActive()) return 0;
    if (!label) label = "";
    if (!text) text = "";
    DWORD tick = GetTickCount();
    if (start) g_trace.mark = tick;
    StrCopy(g_trace.lastText, text);
    ++g_trace.counter;

    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    StrFormatA(stamp, "%02d-%02d  %02d:%02d:%02d", now.wMonth, now.wDay, now.wHour, now.wMinute,
               now.wSecond);
    char line[1024];
    StrFormatA(line, "%s %s: %s", stamp, label, text);
    WriteTraceLine(tick, line);
    return 1;
}

}  // namespace

void InitTrace(int counter)
{
    g_trace.counter = counter;
    ComputeTracePath();
}

void SetTraceModalPause()
{
    g_trace.modalPause = true;
}

int GetTraceCounter()
{
    return g_trace.counter;
}

const char* GetTraceFilePath()
{
    return TracePath();
}

void SetTraceMarkTime(DWORD tick)
{
    g_trace.mark = tick;
}

int TraceLog(const char* label, const char* text)
{
    return WriteLabelled(label, text, false);
}

int TraceStart(const char* label, const char* text)
{
    return WriteLabelled(label, text, true);
}

int TraceElapsed()
{
    if (!TracingActive()) return 0;
    DWORD now = GetTickCount();
    DWORD elapsed = (now - g_trace.mark) >> 1;
    if (g_trace.modalPause) {
        // A modal window held the thread; its wait says nothing about the work.
        elapsed = 1;
        g_trace.modalPause = false;
    }
    ++g_trace.counter;

    DWORD stars = elapsed / 1000;
    if (stars > 16) stars = 16;
    char bar[20] = "";
    if (stars != 0) {
        bar[0] = '\t';
        memset(bar + 1, '*', stars);
        bar[stars + 1] = '\0';
    }
    char line[512];
    StrFormatA(line, "**:**:** NanoCycles: %s = %d %s", g_trace.lastText,
               static_cast<int>(elapsed), bar);
    WriteTraceLine(now, line);
    return 1;
}
