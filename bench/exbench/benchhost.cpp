// The page benches' shared hosting and timing.
#include "benchhost.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "foundation/unique.h"

double BenchNow()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

Stats Summarize(std::vector<double> ms)
{
    Stats s;
    if (ms.empty()) return s;
    std::sort(ms.begin(), ms.end());
    s.median = ms[ms.size() / 2];
    s.best = ms.front();
    s.worst = ms.back();
    return s;
}

double Median(std::vector<double> ms)
{
    return Summarize(std::move(ms)).median;
}

double Ratio(double part, double whole)
{
    return whole > 0 ? part / whole : 0;
}

std::vector<std::string> SystemFiles(const char* pattern)
{
    char folder[MAX_PATH] = "";
    GetSystemDirectoryA(folder, MAX_PATH);
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    UniqueFind find(FindFirstFileA((std::string(folder) + "\\" + pattern).c_str(), &found));
    if (!find) return files;
    do files.push_back(std::string(folder) + "\\" + found.cFileName);
    while (FindNextFileA(find.get(), &found));
    return files;
}

std::string TempFolder(const char* name)
{
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + name;
}

HWND WaitForShownDialog(const char* caption, int pollMs)
{
    for (int waited = 0; waited < 60000; waited += pollMs) {
        HWND w = FindWindowA("#32770", caption);
        if (w && IsWindowVisible(w)) return w;
        Sleep(pollMs);
    }
    return nullptr;
}

namespace {

void ClickColumn(HWND page, HWND list, int column)
{
    NMLISTVIEW click = {};
    click.hdr = {list, 1000, static_cast<UINT>(LVN_COLUMNCLICK)};
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageA(page, WM_NOTIFY, 1000, reinterpret_cast<LPARAM>(&click));
}

// The sheet's modal loop owns the main thread, so the clicks come from
// here, sent so that each one's time is the page's whole handling of it.
DWORD WINAPI DrivePage(void* p)
{
    PageBench& bench = *static_cast<PageBench*>(p);
    HWND sheet = WaitForShownDialog(bench.caption, 2);
    if (!sheet) return 0;
    bench.openMs = BenchNow() - bench.openedAt;   // the first fill runs before the sheet shows
    bench.shown = true;
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    HWND list = GetDlgItem(page, 1000);
    NMHDR activate = {sheet, 0, static_cast<UINT>(PSN_SETACTIVE)};
    for (int run = 0; run < bench.runs; ++run) {
        double t = 0;
        if (bench.enumerate) {
            t = BenchNow();
            bench.enumerate();   // on this thread: the page is idle meanwhile
            bench.bare.push_back(BenchNow() - t);
        }
        t = BenchNow();
        SendMessageA(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&activate));
        bench.activation.push_back(BenchNow() - t);
        if (bench.afterActivation) bench.step.push_back(bench.afterActivation(page));
        for (int column = 0; bench.sortColumns && column < bench.desc->columnCount; ++column) {
            t = BenchNow();
            ClickColumn(page, list, column);
            bench.sorts[column].push_back(BenchNow() - t);
        }
    }
    if (list) bench.rows = ListView_GetItemCount(list);
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    return 0;
}

}  // namespace

void HostPage(PageBench* bench)
{
    UniqueHandle thread(CreateThread(nullptr, 0, DrivePage, bench, 0, nullptr));
    if (!thread) return;
    PROPSHEETPAGEA record = {};
    record.dwSize = sizeof(record);
    record.hInstance = GetModuleHandleA(nullptr);
    record.pszTemplate = MAKEINTRESOURCEA(bench->desc->dialogId);
    record.pfnDlgProc = PageProc;
    record.lParam = reinterpret_cast<LPARAM>(bench->desc);
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszCaption = bench->caption;
    header.nPages = 1;
    header.ppsp = &record;
    bench->openedAt = BenchNow();
    PropertySheetA(&header);
    WaitForSingleObject(thread.get(), INFINITE);
}

PageBench MeasurePage(const PageSpec& desc, const char* caption, int runs, int (*enumerate)(),
                      bool sortColumns)
{
    PageBench bench;
    bench.desc = &desc;
    bench.caption = caption;
    bench.runs = runs;
    bench.enumerate = enumerate;
    bench.sortColumns = sortColumns;
    HostPage(&bench);
    return bench;
}
