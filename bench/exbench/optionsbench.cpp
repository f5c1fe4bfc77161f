// Measures the Options page: its sheet from PropertySheetA to the page on
// screen (the page's creation runs the explorer's start-up preparation
// again), an activation (options read, patrol images and check boxes
// shown), and one check-box click (the option and the options saved at exit
// written back). Runs inside vlexbench, which puts the user's
// "Software\Corvath" tree aside and back; the clicked box is clicked twice.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "explorer/explorer.h"

namespace {

constexpr const char* kCaption = "VlExBench options";
constexpr int kRuns = 5;
constexpr int kSoundBox = 1020;

double Ms()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> ms)
{
    if (ms.empty()) return 0;
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

struct OptionsRun {
    double openedAt = 0;
    double openMs = -1;
    std::vector<double> activation, click;
};

DWORD WINAPI DriveOptions(void* p)
{
    auto* run = static_cast<OptionsRun*>(p);
    HWND sheet = nullptr;
    for (int waited = 0; waited < 60000 && !sheet; waited += 2) {
        HWND w = FindWindowA("#32770", kCaption);
        if (w && IsWindowVisible(w)) sheet = w;
        else Sleep(2);
    }
    if (!sheet) return 0;
    run->openMs = Ms() - run->openedAt;
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    NMHDR activate = {sheet, 0, static_cast<UINT>(PSN_SETACTIVE)};
    for (int i = 0; i < kRuns; ++i) {
        double t = Ms();
        SendMessageA(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&activate));
        run->activation.push_back(Ms() - t);
        t = Ms();
        SendMessageA(GetDlgItem(page, kSoundBox), BM_CLICK, 0, 0);
        run->click.push_back(Ms() - t);
        SendMessageA(GetDlgItem(page, kSoundBox), BM_CLICK, 0, 0);
    }
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    return 0;
}

void OpenOptions(OptionsRun* run)
{
    HANDLE thread = CreateThread(nullptr, 0, DriveOptions, run, 0, nullptr);
    PROPSHEETPAGEA page = {};
    page.dwSize = sizeof(page);
    page.hInstance = GetModuleHandleA(nullptr);
    page.pszTemplate = MAKEINTRESOURCEA(OptionsPageSpec().dialogId);
    page.pfnDlgProc = PageProc;
    page.lParam = reinterpret_cast<LPARAM>(&OptionsPageSpec());
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszCaption = kCaption;
    header.nPages = 1;
    header.ppsp = &page;
    run->openedAt = Ms();
    PropertySheetA(&header);
    if (thread) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}

}  // namespace

void PrintOptionsPage()
{
    std::vector<double> open, activation, click;
    for (int i = 0; i < kRuns; ++i) {
        OptionsRun run;
        OpenOptions(&run);
        if (run.openMs < 0) break;
        open.push_back(run.openMs);
        activation.push_back(Median(run.activation));
        click.push_back(Median(run.click));
    }
    std::printf("Options page: a one-page sheet in this process, %d opens with %d activations and\n"
                "check-box clicks each; medians in ms.\n\n", kRuns, kRuns);
    std::printf("| step | median (ms) |\n|---|---|\n");
    std::printf("| sheet open to the page shown (with the start-up preparation) | %.1f |\n", Median(open));
    std::printf("| page activation | %.2f |\n", Median(activation));
    std::printf("| check-box click (option and the 27 saved options written) | %.2f |\n\n", Median(click));
}
