// Measures the File Types and Hidden Files pages: activation to the filled
// and sorted list, beside the catalogue's bare enumeration, with 500 hidden
// files of the bench's own in a folder of the temporary folder (every 25th
// a program with an icon and a version record). The pages run in a sheet
// of this process on the main thread; a second thread sends them what an
// activation sends. The caller puts the user's "Software\Corvath" tree
// aside and back; the bench's folder goes at the end.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "explorer/explorer.h"

namespace {

constexpr int kRuns = 5;
constexpr int kHiddenFiles = 500;
constexpr int kProgramEvery = 25;
constexpr const char* kFolderName = "VlExBenchHidden";

double Now()
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

double Median(std::vector<double> ms)
{
    if (ms.empty()) return 0;
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

struct PageRun {
    const PageSpec* desc;
    int (*enumerate)();
    const char* caption;
    double openedAt = 0;
    double firstMs = 0;
    int rows = 0;
    std::vector<double> bare, activation;
};

DWORD WINAPI DrivePage(void* p)
{
    auto* run = static_cast<PageRun*>(p);
    HWND sheet = nullptr;
    for (int waited = 0; waited < 60000 && !sheet; waited += 2, Sleep(2)) {
        HWND found = FindWindowA("#32770", run->caption);
        if (found && IsWindowVisible(found)) sheet = found;
    }
    if (!sheet) return 0;
    run->firstMs = Now() - run->openedAt;
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    HWND list = GetDlgItem(page, 1000);
    NMHDR activate = {sheet, 0, static_cast<UINT>(PSN_SETACTIVE)};
    for (int i = 0; i < kRuns; ++i) {
        double t = Now();
        run->enumerate();   // on this thread: the page is idle meanwhile
        run->bare.push_back(Now() - t);
        t = Now();
        SendMessageA(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&activate));
        run->activation.push_back(Now() - t);
    }
    run->rows = ListView_GetItemCount(list);
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    return 0;
}

void MeasurePage(PageRun* run)
{
    HANDLE thread = CreateThread(nullptr, 0, DrivePage, run, 0, nullptr);
    PROPSHEETPAGEA pageRecord = {};
    pageRecord.dwSize = sizeof(pageRecord);
    pageRecord.hInstance = GetModuleHandleA(nullptr);
    pageRecord.pszTemplate = MAKEINTRESOURCEA(run->desc->dialogId);
    pageRecord.pfnDlgProc = PageProc;
    pageRecord.lParam = reinterpret_cast<LPARAM>(run->desc);
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszCaption = run->caption;
    header.nPages = 1;
    header.ppsp = &pageRecord;
    run->openedAt = Now();
    PropertySheetA(&header);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

std::string HiddenFolder()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + kFolderName;
}

std::string HiddenFile(int i)
{
    char name[64];
    std::snprintf(name, sizeof(name), "\\vlexbench_%03d.%s", i, i % kProgramEvery == 0 ? "exe" : "dat");
    return HiddenFolder() + name;
}

void RemoveHiddenFiles()
{
    for (int i = 0; i < kHiddenFiles; ++i) {
        const std::string file = HiddenFile(i);
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(file.c_str());
    }
    RemoveDirectoryA(HiddenFolder().c_str());
}

int MakeHiddenFiles()
{
    RemoveHiddenFiles();
    if (!CreateDirectoryA(HiddenFolder().c_str(), nullptr)) return 0;
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    int made = 0;
    for (int i = 0; i < kHiddenFiles; ++i) {
        const std::string file = HiddenFile(i);
        bool ok = false;
        if (i % kProgramEvery == 0) {
            ok = CopyFileA(self, file.c_str(), FALSE) != 0;
        } else {
            HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                DWORD written = 0;
                ok = WriteFile(h, "VlExBench", 9, &written, nullptr) != 0;
                CloseHandle(h);
            }
        }
        if (ok && SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN)) ++made;
    }
    return made;
}

void PrintRun(const char* name, const PageRun& run)
{
    const double bare = Median(run.bare);
    const double activation = Median(run.activation);
    std::printf("| %s | %d | %.0f | %.1f | %.1f | %.2f |\n", name, run.rows, run.firstMs, bare, activation,
                bare > 0 ? activation / bare : 0);
}

}  // namespace

void RunFilePagesBench()
{
    PageRun fileTypes{&FileTypesPageSpec(), BuildFileTypeList, "VlExBench file types", 0, 0, 0, {}, {}};
    MeasurePage(&fileTypes);
    const int made = MakeHiddenFiles();
    PageRun hidden{&HiddenFilesPageSpec(), BuildHiddenFileList, "VlExBench hidden files", 0, 0, 0, {}, {}};
    MeasurePage(&hidden);
    RemoveHiddenFiles();

    std::printf("File Types and Hidden Files pages (%d bench hidden files made), in a sheet of this\n"
                "process; medians of %d runs in ms; the goal for the ratio is at most 1.3.\n\n",
                made, kRuns);
    std::printf("| page | rows | sheet open, first fill | enumeration alone | activation | ratio |\n"
                "|---|---|---|---|---|---|\n");
    PrintRun("File Types (BuildFileTypeList)", fileTypes);
    PrintRun("Hidden Files (BuildHiddenFileList)", hidden);
    std::printf("\n");
}
