// Measures the cookie list: 3,000 cookies of each kind (Internet Explorer
// files in a folder of their own, lines of a Mozilla-family "cookies.txt"),
// from opening the list to its filled, sorted rows, beside the catalogue's
// enumerations the list runs while it opens.
//
// The list runs modally on the main thread; a second thread waits for it
// to show and closes it. Everything the bench writes lives below
// %TEMP%\VlExBenchCookies and under "Software\Corvath", which the caller
// puts aside and back.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "benchhost.h"
#include "explorer/explorer.h"
#include "foundation/unique.h"

namespace {

constexpr int kCookies = 3000;
constexpr int kRuns = 5;
constexpr const char* kListCaption = "Cookies";

std::string BenchFolder()
{
    return TempFolder("VlExBenchCookies");
}

void WriteBenchFile(const std::string& path, const std::string& text)
{
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file) return;
    DWORD written = 0;
    WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void RemoveFolder(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    UniqueFind find(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (find) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolder(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find.get(), &found));
    }
    // The search handle holds the folder open; it goes first.
    find = UniqueFind();
    RemoveDirectoryA(folder.c_str());
}

// The IE folder holds index.dat and the cookie files; the profile folder a
// "cookies.txt" of as many lines. Every third cookie is kept by the user.
void MakeCookies(const std::string& ieFolder, const std::string& profile)
{
    CreateDirectoryA(BenchFolder().c_str(), nullptr);
    CreateDirectoryA(ieFolder.c_str(), nullptr);
    CreateDirectoryA(profile.c_str(), nullptr);
    WriteBenchFile(ieFolder + "\\index.dat", "");
    std::string lines = "# Netscape HTTP Cookie File\n";
    for (int i = 0; i < kCookies; ++i) {
        char name[64];
        std::snprintf(name, sizeof(name), "vlexbench@site%04d[1].txt", i);
        WriteBenchFile(ieFolder + "\\" + name, "id\nvalue\nsite/\n");
        char line[160];
        std::snprintf(line, sizeof(line), ".site%04d.example\tTRUE\t/\t%s\t1900000000\tid\tv%d\n", i,
                      i % 2 ? "TRUE" : "FALSE", i);
        lines += line;
        if (i % 3 == 0) {
            SetRegValue(HKEY_CURRENT_USER, kCookiesKey, name, "1");
            char title[64];
            std::snprintf(title, sizeof(title), "site%04d.example - id", i);
            SetRegValue(HKEY_CURRENT_USER, kCookiesKey, title, "1");
        }
    }
    WriteBenchFile(profile + "\\cookies.txt", lines);
    SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, "IECookieFolder", (ieFolder + "\\").c_str());
    SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, "CookieFolder", (profile + "\\").c_str());
    WriteOption("SortCookie", 1);
}

struct ListRun {
    double openedAt = 0;
    double shownAt = 0;
    int rows = 0;
};

DWORD WINAPI CloseWhenShown(void* p)
{
    auto* run = static_cast<ListRun*>(p);
    // Looked for every millisecond: the wait is part of the opening figure.
    HWND dialog = WaitForShownDialog(kListCaption, 1);
    if (!dialog) return 0;
    run->shownAt = BenchNow();
    run->rows = static_cast<int>(SendMessageA(GetDlgItem(dialog, 1000), LVM_GETITEMCOUNT, 0, 0));
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return 0;
}

struct KindFigures {
    double open = 0, bare = 0, filter = 0, empty = 0;
    int rows = 0, listed = 0;
};

KindFigures MeasureKind(int mode)
{
    std::vector<double> open, bare, filter;
    KindFigures f;
    for (int run = 0; run < kRuns; ++run) {
        SetCookieMode(mode);
        double t = BenchNow();
        f.listed = BuildCookieList(0);
        bare.push_back(BenchNow() - t);
        t = BenchNow();
        BuildCookieList(1);
        filter.push_back(BenchNow() - t);
        ListRun list;
        UniqueHandle thread(CreateThread(nullptr, 0, CloseWhenShown, &list, 0, nullptr));
        if (!thread) break;   // no one would close the list
        list.openedAt = BenchNow();
        ShowCookieList(nullptr, mode);
        WaitForSingleObject(thread.get(), INFINITE);
        if (list.shownAt > 0) open.push_back(list.shownAt - list.openedAt);
        f.rows = list.rows;
    }
    f.open = Median(open);
    f.bare = Median(bare);
    f.filter = Median(filter);
    return f;
}

// The same kind over empty folders: what the window itself costs.
double MeasureEmptyOpen(int mode, const std::string& ieEmpty, const std::string& profileEmpty)
{
    char ie[MAX_PATH] = "";
    char profile[MAX_PATH] = "";
    GetRegValue(HKEY_CURRENT_USER, kVelmoraKey, "IECookieFolder", ie);
    GetRegValue(HKEY_CURRENT_USER, kVelmoraKey, "CookieFolder", profile);
    SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, "IECookieFolder", (ieEmpty + "\\").c_str());
    SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, "CookieFolder", (profileEmpty + "\\").c_str());
    const double open = MeasureKind(mode).open;
    SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, "IECookieFolder", ie);
    SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, "CookieFolder", profile);
    return open;
}

void PrintKind(const char* kind, const KindFigures& f)
{
    // The list runs the filter, then the listing with its rows; its fill is
    // what the opening costs beyond the filter and the empty window.
    const double fill = f.open - f.empty - f.filter;
    std::printf("| %s | %d | %d | %.1f | %.1f | %.1f | %.1f | %.1f | %.2f |\n", kind, f.listed, f.rows, f.bare,
                f.filter, f.open, f.empty, fill, Ratio(fill, f.bare));
}

}  // namespace

void RunCookiesBench()
{
    const std::string ieFolder = BenchFolder() + "\\ie";
    const std::string profile = BenchFolder() + "\\profile";
    RemoveFolder(BenchFolder());   // left by a killed run
    const std::string ieEmpty = BenchFolder() + "\\ie-empty";
    const std::string profileEmpty = BenchFolder() + "\\profile-empty";
    CreateDirectoryA(ieEmpty.c_str(), nullptr);
    CreateDirectoryA(profileEmpty.c_str(), nullptr);
    WriteBenchFile(ieEmpty + "\\index.dat", "");
    WriteBenchFile(profileEmpty + "\\cookies.txt", "");
    // The window alone: empty folders and no kept cookies in the store yet.
    double empty[2] = {};
    for (int kind = 0; kind < 2; ++kind)
        empty[kind] = MeasureEmptyOpen(kind == 0 ? kCookieModeIE : kCookieModeMozilla, ieEmpty, profileEmpty);
    MakeCookies(ieFolder, profile);
    std::printf("Cookie list: %d cookies of each kind, every third kept (checked), sorted by the first column;\n"
                "%d runs, medians in ms. Open = ShowCookieList to the list shown with its rows; empty = the\n"
                "same over an empty folder and an empty store (the window alone); fill = open - empty - BuildCookieList(1),\n"
                "i.e. BuildCookieList(0) with the rows, their checks and the sort.\n\n",
                kCookies, kRuns);
    std::printf("| kind | listed | rows | BuildCookieList(0) | BuildCookieList(1) | open | empty | fill | "
                "fill / BuildCookieList(0) (goal 1.3) |\n"
                "|---|---|---|---|---|---|---|---|---|\n");
    for (int kind = 0; kind < 2; ++kind) {
        const int mode = kind == 0 ? kCookieModeIE : kCookieModeMozilla;
        KindFigures f = MeasureKind(mode);
        f.empty = empty[kind];
        PrintKind(mode == kCookieModeIE ? "Internet Explorer" : "Mozilla family", f);
    }
    std::printf("\n");
    SetCookieMode(kCookieModeIE);
    ClearItems();
    RemoveFolder(BenchFolder());
}
