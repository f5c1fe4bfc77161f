// Measures the File Types and Hidden Files pages: activation to the filled
// and sorted list, beside the catalogue's bare enumeration, with 500 hidden
// files of the bench's own in a folder of the temporary folder (every 25th
// a program with an icon and a version record). The pages run in a sheet
// of this process on the main thread; a second thread sends them what an
// activation sends. The caller puts the user's "Software\Corvath" tree
// aside and back; the bench's folder goes at the end.
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

constexpr int kRuns = 5;
constexpr int kHiddenFiles = 500;
constexpr int kProgramEvery = 25;
constexpr const char* kFolderName = "VlExBenchHidden";

std::string HiddenFolder()
{
    return TempFolder(kFolderName);
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
            UniqueFile h(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            DWORD written = 0;
            ok = h && WriteFile(h.get(), "VlExBench", 9, &written, nullptr) != 0;
        }
        if (ok && SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN)) ++made;
    }
    return made;
}

void PrintRun(const char* name, const PageBench& run)
{
    const double bare = Median(run.bare);
    const double activation = Median(run.activation);
    std::printf("| %s | %d | %.0f | %.1f | %.1f | %.2f |\n", name, run.rows, run.openMs, bare, activation,
                Ratio(activation, bare));
}

}  // namespace

void RunFilePagesBench()
{
    const PageBench fileTypes =
        MeasurePage(FileTypesPageSpec(), "VlExBench file types", kRuns, BuildFileTypeList, false);
    const int made = MakeHiddenFiles();
    const PageBench hidden =
        MeasurePage(HiddenFilesPageSpec(), "VlExBench hidden files", kRuns, BuildHiddenFileList, false);
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
