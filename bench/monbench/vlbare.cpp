// The yardstick of the monitor's idle cost: a program that does nothing but
// keep a hidden window with the monitor's 2-second timer. With
// "--libraries" it first loads the system libraries the monitor imports, so
// that what they cost under the running system can be told apart.
#include <windows.h>

#include <cstring>
#include <initializer_list>

namespace {

LRESULT CALLBACK BareProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    if (std::strstr(commandLine, "--libraries")) {
        for (const char* name : {"advapi32.dll", "comctl32.dll", "gdi32.dll", "ole32.dll",
                                 "shell32.dll", "shlwapi.dll", "version.dll", "winmm.dll",
                                 "psapi.dll"})
            LoadLibraryA(name);
        using CoInit = HRESULT(WINAPI*)(void*);
        if (auto init = reinterpret_cast<CoInit>(
                GetProcAddress(GetModuleHandleA("ole32.dll"), "CoInitialize")))
            init(nullptr);
    }
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = BareProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "VlBare";
    if (!RegisterClassA(&windowClass)) return 1;
    HWND window = CreateWindowA("VlBare", "VlBare", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                instance, nullptr);
    if (!window) return 1;
    SetTimer(window, 1, 2000, nullptr);
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
