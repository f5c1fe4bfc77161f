// Hidden files watch against real files, folders and processes: the walk,
// the move into the vault, the way back and the history lines.
#include <gtest/gtest.h>

#include <string>

#include "catalogue/catalogue.h"
#include "tests/support/testsupport.h"

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

// The history from a length on (all of it when it has been started anew).
std::string History(size_t from = 0)
{
    char path[MAX_PATH];
    GetHistoryFilePath(path);
    std::string text = ReadTextFile(path);
    return from <= text.size() ? text.substr(from) : text;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string SnapshotValue(const std::string& path)
{
    char out[64];
    GetRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, path.c_str(), out);
    return out;
}

void MakeHidden(const std::string& path, const char* text, DWORD attributes = FILE_ATTRIBUTE_HIDDEN)
{
    ASSERT_TRUE(WriteTextFile(path, text)) << path;
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
}

// A hidden copy of the fixture program.
void MakeHiddenProgram(const std::string& path)
{
    ASSERT_TRUE(CopyFileA(FixturePath("hidden_fixture.exe").c_str(), path.c_str(), FALSE));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
}

int FindItem(const std::string& path)
{
    for (int i = 0; i < ItemCount(); ++i) {
        char out[kPathLen];
        GetItemPath(i, out);
        if (lstrcmpiA(out, path.c_str()) == 0) return i;
    }
    return -1;
}

class HiddenTest : public ::testing::Test {
protected:
    void TearDown() override { ClearItems(); }
};

TEST_F(HiddenTest, HandlerListsHiddenFilesButNoFolders)
{
    ScratchDir dir("vlhidden_proc");
    MakeHidden(dir.file("plain.txt"), "plain", FILE_ATTRIBUTE_NORMAL);
    MakeHidden(dir.file("hidden.txt"), "hidden");
    MakeHidden(dir.file("system.txt"), "system", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    MakeHiddenProgram(dir.file("probe.exe"));
    CreateDirectoryA(dir.file("cloak").c_str(), nullptr);
    SetFileAttributesA(dir.file("cloak").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);

    ClearItems();
    for (const char* name : {"plain.txt", "hidden.txt", "system.txt", "probe.exe", "cloak"}) {
        WIN32_FIND_DATAA data;
        UniqueFind find(FindFirstFileA(dir.file(name).c_str(), &data));
        ASSERT_TRUE(find) << name;
        HiddenFileProc(dir.file(name).c_str(), &data, nullptr);
    }
    ASSERT_EQ(ItemCount(), 3);
    char text[kEntryLen];
    GetItemTitle(0, text);
    EXPECT_STREQ(text, "hidden.txt");
    GetItemEntryName(0, text);
    EXPECT_STREQ(text, dir.file("hidden.txt").c_str());
    EXPECT_EQ(GetItemType(0), 370);
    EXPECT_EQ(GetItemFlag(0), 1);
    EXPECT_EQ(GetItemFlag(1), 0);   // also a system file
    GetItemTitle(2, text);
    EXPECT_STREQ(text, "Hidden Probe Suite");
}

TEST_F(HiddenTest, WalkCoversTempSubfoldersAndHiddenSystemSubfolders)
{
    ScratchDir dir("vlhidden_walk");
    MakeHidden(dir.file("top.dat"), "top");
    CreateDirectoryA(dir.file("deeper").c_str(), nullptr);
    MakeHidden(dir.file("deeper\\too_deep.dat"), "deep");
    // The system folder is walked one level down, the Windows folder not at all.
    char system[MAX_PATH], windows[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string cloak = std::string(system) + "\\vlhidden_cloak";
    const std::string inWindows = std::string(windows) + "\\vlhidden_top.dat";
    const std::string windowsSub = std::string(windows) + "\\vlhidden_sub";
    for (const std::string& folder : {cloak, windowsSub}) {
        RemoveTree(folder);
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    }
    SetFileAttributesA(cloak.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    MakeHidden(cloak + "\\inside.dat", "inside");
    MakeHidden(inWindows, "top");
    MakeHidden(windowsSub + "\\below.dat", "below");

    BuildHiddenFileList();
    DeleteFileForced(inWindows.c_str());
    RemoveTree(windowsSub);
    RemoveTree(cloak);
    EXPECT_GE(FindItem(inWindows), 0);
    EXPECT_LT(FindItem(windowsSub + "\\below.dat"), 0);
    EXPECT_GE(FindItem(dir.file("top.dat")), 0);
    EXPECT_LT(FindItem(dir.file("deeper\\too_deep.dat")), 0);
    EXPECT_GE(FindItem(cloak + "\\inside.dat"), 0);
    EXPECT_LT(FindItem(cloak), 0);
}

TEST_F(HiddenTest, FilesOfOneNameKeepTheirOwnVaultCopiesAndComeBack)
{
    ScratchDir one("vlhidden_vault1"), two("vlhidden_vault2");
    const std::string paths[] = {one.file("vlvault_one.dat"), two.file("vlvault_one.dat")};
    ClearVault("vlvault_one.dat");
    for (const std::string& path : paths) {
        MakeHidden(path, ("contents of " + path).c_str());
        SetRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, path.c_str(), "01/02/2026 3:04 PM");
    }
    const size_t before = History().size();
    for (const std::string& path : paths) {
        EXPECT_NE(MoveHiddenFileToVault("Odd Hidden Thing", path.c_str()), 0);
        EXPECT_FALSE(Exists(path));
        EXPECT_EQ(SnapshotValue(path), "");
        EXPECT_NE(History(before).find("\t*HIDDEN_DeleteFile\tTYPE_HIDDEN\tOdd Hidden Thing\t" + path +
                                       "\t\r\n"),
                  std::string::npos);
    }
    for (const std::string& path : paths) {
        EXPECT_NE(RestoreHiddenFileFromVault(path.c_str()), 0) << path;
        EXPECT_EQ(ReadTextFile(path), "contents of " + path);
        // Wine reports every file as ready for archiving, whatever was set.
        EXPECT_EQ(GetFileAttributesA(path.c_str()) & ~FILE_ATTRIBUTE_ARCHIVE,
                  static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
        EXPECT_NE(SnapshotValue(path), "");
        DeleteRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, path.c_str());
    }
    // Restored copies leave the vault: a second restore has nothing to put back.
    EXPECT_EQ(RestoreHiddenFileFromVault(paths[0].c_str()), 0);
}

TEST_F(HiddenTest, CopyStoredUnderTheBareNameByOlderVersionsStillComesBack)
{
    ScratchDir dir("vlhidden_old");
    const std::string path = dir.file("vlvault_old.dat");
    ClearVault("vlvault_old.dat");
    ASSERT_TRUE(WriteTextFile(VaultFile("vlvault_old.dat"), "old style"));
    EXPECT_NE(RestoreHiddenFileFromVault(path.c_str()), 0);
    EXPECT_EQ(ReadTextFile(path), "old style");
    EXPECT_FALSE(Exists(VaultFile("vlvault_old.dat")));
    DeleteRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, path.c_str());

    // A vault copy whose folder has gone stays in the vault: it is the only one.
    const std::string gone = dir.file("vanished\\vlvault_old.dat");
    ASSERT_TRUE(WriteTextFile(VaultFile("vlvault_old.dat"), "kept"));
    EXPECT_EQ(RestoreHiddenFileFromVault(gone.c_str()), 0);
    EXPECT_EQ(ReadTextFile(VaultFile("vlvault_old.dat")), "kept");
    EXPECT_EQ(SnapshotValue(gone), "");
    ClearVault("vlvault_old.dat");
}

TEST_F(HiddenTest, FileInUseStaysHiddenAndUnrecorded)
{
    ScratchDir dir("vlhidden_busy");
    std::string path = dir.file("vlvault_busy.dat");
    MakeHidden(path, "busy");
    SetRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, path.c_str(), "01/02/2026 3:04 PM");
    const size_t before = History().size();
    {
        // Readable, so the vault copy is made, but not deletable.
        UniqueFile holder(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_EQ(MoveHiddenFileToVault("Busy", path.c_str()), 0);
    }
    EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(SnapshotValue(path), "");   // reported as new on the next check
    EXPECT_EQ(History(before).find("*HIDDEN_DeleteFile"), std::string::npos);
    ClearVault("vlvault_busy.dat");
}

TEST_F(HiddenTest, RunningHiddenProgramIsEndedBeforeItsFileIsMoved)
{
    ScratchDir dir("vlhidden_run");
    std::string path = dir.file("vlprobe_run.exe");
    MakeHiddenProgram(path);
    UniqueHandle process(StartProgram("\"" + path + "\""));
    ASSERT_TRUE(process);
    Sleep(300);   // let it map its image
    const size_t before = History().size();

    EXPECT_NE(MoveHiddenFileToVault("Hidden Probe Suite", path.c_str()), 0);
    EXPECT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
    EXPECT_FALSE(Exists(path));
    std::string added = History(before);
    EXPECT_NE(added.find("\tTASK_Kill\tINFO_TASK\tHidden Probe Suite\t"), std::string::npos)
        << added;
    EXPECT_NE(added.find("\t*HIDDEN_DeleteFile\tTYPE_HIDDEN\tHidden Probe Suite\t"),
              std::string::npos)
        << added;
    EXPECT_NE(RestoreHiddenFileFromVault(path.c_str()), 0);
    DeleteRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, path.c_str());
}

}   // namespace
