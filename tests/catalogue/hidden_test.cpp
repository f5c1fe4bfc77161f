#include <gtest/gtest.h>

#include "tests/catalogue/startuptest.h"

using namespace startuptest;

namespace {

std::string VaultFile(const std::string& name)
{
    char data[MAX_PATH];
    GetDataFolder(data);
    return std::string(data) + "\\vault\\" + name;
}

// Removes the vault copies of a file name, whatever they are called.
void ClearVault(const std::string& name)
{
    WIN32_FIND_DATAA data;
    UniqueFind find(FindFirstFileA(VaultFile(name + "*").c_str(), &data));
    if (!find) return;
    do DeleteFileForced(VaultFile(data.cFileName).c_str());
    while (FindNextFileA(find.get(), &data));
}

// What the history gained since it was `from` long.
std::string HistorySince(size_t from)
{
    const std::string text = ReadTextFile(HistoryPath());
    return from <= text.size() ? text.substr(from) : text;   // or all of a history started anew
}

std::string Snapshot(const std::string& path) { return Reg(HKEY_CURRENT_USER, kHiddenStoreKey, path); }

void MakeHidden(const std::string& path, const std::string& text, DWORD attributes = FILE_ATTRIBUTE_HIDDEN)
{
    ASSERT_TRUE(WriteTextFile(path, text) && SetFileAttributesA(path.c_str(), attributes)) << path;
}

void MakeHiddenProgram(const std::string& path)
{
    ASSERT_TRUE(CopyFileA(FixturePath("hidden_fixture.exe").c_str(), path.c_str(), FALSE));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
}

TEST(Hidden, WalkListsHiddenFilesButNoFoldersToEachFoldersDepth)
{
    ScratchDir dir("vlhidden_walk");
    MakeHidden(dir.file("plain.txt"), "plain", FILE_ATTRIBUTE_NORMAL);
    MakeHidden(dir.file("hidden.txt"), "hidden");
    MakeHidden(dir.file("system.txt"), "system", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    MakeHiddenProgram(dir.file("probe.exe"));
    CreateDirectoryA(dir.file("deeper").c_str(), nullptr);
    MakeHidden(dir.file("deeper\\too_deep.dat"), "deep");
    // The system folder is walked one level down, the Windows folder's own files only.
    char system[MAX_PATH], windows[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string cloak = std::string(system) + "\\vlhidden_cloak";
    const std::string inWindows = std::string(windows) + "\\vlhidden";
    for (const std::string& folder : {cloak, inWindows}) {
        RemoveTree(folder);
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    }
    SetFileAttributesA(cloak.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    MakeHidden(cloak + "\\inside.dat", "inside");
    MakeHidden(inWindows + ".dat", "top");
    MakeHidden(inWindows + "\\below.dat", "below");
    BuildHiddenFileList();
    DeleteFileForced((inWindows + ".dat").c_str());
    RemoveTree(inWindows);
    RemoveTree(cloak);
    for (const std::string& path : {inWindows + ".dat", cloak + "\\inside.dat"}) OnlyWhere(&Item::path, path);
    for (const std::string& path :
         {inWindows + "\\below.dat", dir.file("deeper\\too_deep.dat"), cloak, dir.file("plain.txt")})
        EXPECT_TRUE(IndexesWithPath(path).empty()) << path;
    const Item hidden = OnlyWhere(&Item::path, dir.file("hidden.txt"));
    EXPECT_EQ(hidden.entry, dir.file("hidden.txt"));
    EXPECT_EQ(hidden.type, 370);
    EXPECT_EQ(hidden.flag, 1);
    EXPECT_EQ(OnlyWhere(&Item::path, dir.file("system.txt")).flag, 0);
    EXPECT_EQ(OnlyWhere(&Item::path, dir.file("probe.exe")).title, "Hidden Probe Suite");
    ClearItems();
}

TEST(Hidden, FilesOfOneNameKeepTheirOwnVaultCopiesAndOlderBareNameCopiesComeBack)
{
    ScratchDir one("vlhidden_vault1"), two("vlhidden_vault2");
    const std::string paths[] = {one.file("vlvault_one.dat"), two.file("vlvault_one.dat")};
    const std::string bare = VaultFile("vlvault_one.dat");
    ClearVault("vlvault_one.dat");
    for (const std::string& path : paths) {
        MakeHidden(path, "contents of " + path);
        SetRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, path.c_str(), "01/02/2026 3:04 PM");
    }
    for (const std::string& path : paths) {
        EXPECT_NE(MoveHiddenFileToVault("Odd Hidden Thing", path.c_str()), 0);
        EXPECT_FALSE(Exists(path));
        EXPECT_EQ(Snapshot(path), kMissing);
    }
    for (const std::string& path : paths) {
        EXPECT_NE(RestoreHiddenFileFromVault(path.c_str()), 0) << path;
        EXPECT_EQ(ReadTextFile(path), "contents of " + path);
        EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
        EXPECT_NE(Snapshot(path), kMissing);
        DeleteRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, path.c_str());
    }
    // Restored copies leave the vault; what older versions stored under the
    // bare name is the one left to put back.
    ASSERT_TRUE(WriteTextFile(bare, "old style"));
    EXPECT_NE(RestoreHiddenFileFromVault(paths[0].c_str()), 0);
    EXPECT_EQ(ReadTextFile(paths[0]), "old style");
    EXPECT_FALSE(Exists(bare));
    DeleteRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, paths[0].c_str());
    // A vault copy whose folder has gone stays in the vault: it is the only one.
    const std::string gone = one.file("vanished\\vlvault_one.dat");
    ASSERT_TRUE(WriteTextFile(bare, "kept"));
    EXPECT_EQ(RestoreHiddenFileFromVault(gone.c_str()), 0);
    EXPECT_EQ(ReadTextFile(bare), "kept");
    EXPECT_EQ(Snapshot(gone), kMissing);
    ClearVault("vlvault_one.dat");
}

TEST(Hidden, FileHeldOpenStaysHiddenAndUnrecordedButARunningProgramIsEndedAndMoved)
{
    ScratchDir dir("vlhidden_busy");
    const std::string busy = dir.file("vlvault_busy.dat"), program = dir.file("vlprobe_run.exe");
    MakeHidden(busy, "busy");
    SetRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, busy.c_str(), "01/02/2026 3:04 PM");
    MakeHiddenProgram(program);
    const size_t before = ReadTextFile(HistoryPath()).size();
    {
        // Readable, so the vault copy is made, but not deletable.
        UniqueFile holder(CreateFileA(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
        ASSERT_TRUE(holder);
        EXPECT_EQ(MoveHiddenFileToVault("Busy", busy.c_str()), 0);
    }
    EXPECT_TRUE(GetFileAttributesA(busy.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(Snapshot(busy), kMissing);   // reported as new on the next check
    EXPECT_EQ(HistorySince(before).find("Busy"), std::string::npos);
    ClearVault("vlvault_busy.dat");
    UniqueHandle process(StartProgram("\"" + program + "\""));
    ASSERT_TRUE(process);
    Sleep(300);   // let it map its image
    EXPECT_NE(MoveHiddenFileToVault("Hidden Probe Suite", program.c_str()), 0);
    EXPECT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
    EXPECT_FALSE(Exists(program));
    const std::string added = HistorySince(before);
    EXPECT_NE(added.find("\tTASK_Kill\tINFO_TASK\tHidden Probe Suite\t"), std::string::npos) << added;
    EXPECT_NE(added.find("\t*HIDDEN_DeleteFile\tTYPE_HIDDEN\tHidden Probe Suite\t" + program + "\t\r\n"),
              std::string::npos);
    EXPECT_NE(RestoreHiddenFileFromVault(program.c_str()), 0);
    DeleteRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, program.c_str());
}

}   // namespace
