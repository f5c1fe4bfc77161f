// Hidden files watch against real files, folders and processes: the walk,
// the move into the vault, the way back and the history lines.
#include <gtest/gtest.h>

#include <string>

#include "catalogue/catalogue.h"
#include "tests/support/testsupport.h"

namespace {

std::string VaultFile(const char* name)
{
    char data[MAX_PATH];
    GetDataFolder(data);
    return std::string(data) + "\\vault\\" + name;
}

std::string HistoryText()
{
    char path[MAX_PATH];
    GetHistoryFilePath(path);
    return ReadTextFile(path);
}

// What the history gained since `before`.
std::string HistoryAddedSince(const std::string& before)
{
    std::string now = HistoryText();
    return now.size() >= before.size() ? now.substr(before.size()) : now;
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

int FindItem(const std::string& path)
{
    for (int i = 0; i < ItemCount(); ++i) {
        char out[kPathLen];
        GetItemPath(i, out);
        if (lstrcmpiA(out, path.c_str()) == 0) return i;
    }
    return -1;
}

void Handle(const std::string& path)
{
    WIN32_FIND_DATAA data;
    UniqueFind find(FindFirstFileA(path.c_str(), &data));
    ASSERT_TRUE(find) << path;
    HiddenFileProc(path.c_str(), &data, nullptr);
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
    ASSERT_TRUE(CopyFileA(FixturePath("hidden_fixture.exe").c_str(), dir.file("probe.exe").c_str(),
                          FALSE));
    SetFileAttributesA(dir.file("probe.exe").c_str(), FILE_ATTRIBUTE_HIDDEN);
    CreateDirectoryA(dir.file("cloak").c_str(), nullptr);
    SetFileAttributesA(dir.file("cloak").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);

    ClearItems();
    for (const char* name : {"plain.txt", "hidden.txt", "system.txt", "probe.exe", "cloak"})
        Handle(dir.file(name));
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
    EXPECT_EQ(GetItemDetail(2, text, kEntryLen), 0);
}

TEST_F(HiddenTest, WalkCoversTempSubfoldersAndHiddenSystemSubfolders)
{
    ScratchDir dir("vlhidden_walk");
    MakeHidden(dir.file("top.dat"), "top");
    CreateDirectoryA(dir.file("deeper").c_str(), nullptr);
    MakeHidden(dir.file("deeper\\too_deep.dat"), "deep");

    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    std::string cloak = std::string(system) + "\\vlhidden_cloak";
    RemoveTree(cloak);
    ASSERT_TRUE(CreateDirectoryA(cloak.c_str(), nullptr));
    SetFileAttributesA(cloak.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    MakeHidden(cloak + "\\inside.dat", "inside");

    // The Windows folder is walked without its subfolders.
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    std::string inWindows = std::string(windows) + "\\vlhidden_top.dat";
    std::string windowsSub = std::string(windows) + "\\vlhidden_sub";
    RemoveTree(windowsSub);
    MakeHidden(inWindows, "top");
    ASSERT_TRUE(CreateDirectoryA(windowsSub.c_str(), nullptr));
    MakeHidden(windowsSub + "\\below.dat", "below");

    BuildHiddenFileList();
    EXPECT_GE(FindItem(inWindows), 0);
    EXPECT_LT(FindItem(windowsSub + "\\below.dat"), 0);
    DeleteFileForced(inWindows.c_str());
    RemoveTree(windowsSub);
    EXPECT_GE(FindItem(dir.file("top.dat")), 0);
    EXPECT_LT(FindItem(dir.file("deeper\\too_deep.dat")), 0);
    EXPECT_GE(FindItem(cloak + "\\inside.dat"), 0);
    EXPECT_LT(FindItem(cloak), 0);
    for (int i = 0; i < ItemCount(); ++i) EXPECT_EQ(GetItemType(i), 370);
    RemoveTree(cloak);
}

TEST_F(HiddenTest, RejectedFileGoesToTheVaultAndComesBack)
{
    ScratchDir dir("vlhidden_vault");
    std::string path = dir.file("vlvault_one.dat");
    MakeHidden(path, "precious contents");
    SetRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, path.c_str(), "01/02/2026 3:04 PM");
    std::string before = HistoryText();

    EXPECT_NE(MoveHiddenFileToVault("Odd Hidden Thing", path.c_str()), 0);
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(ReadTextFile(VaultFile("vlvault_one.dat")), "precious contents");
    EXPECT_EQ(SnapshotValue(path), "");
    std::string added = HistoryAddedSince(before);
    EXPECT_NE(added.find("\t*HIDDEN_DeleteFile\tTYPE_HIDDEN\tOdd Hidden Thing\t" + path + "\t\r\n"),
              std::string::npos)
        << added;

    EXPECT_NE(RestoreHiddenFileFromVault(path.c_str()), 0);
    EXPECT_EQ(ReadTextFile(path), "precious contents");
    // Wine reports every file as ready for archiving, whatever was set.
    EXPECT_EQ(GetFileAttributesA(path.c_str()) & ~FILE_ATTRIBUTE_ARCHIVE,
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(Exists(VaultFile("vlvault_one.dat")));
    EXPECT_NE(SnapshotValue(path), "");
    DeleteRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, path.c_str());
}

TEST_F(HiddenTest, FileInUseStaysHiddenAndUnrecorded)
{
    ScratchDir dir("vlhidden_busy");
    std::string path = dir.file("vlvault_busy.dat");
    MakeHidden(path, "busy");
    SetRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, path.c_str(), "01/02/2026 3:04 PM");
    std::string before = HistoryText();
    {
        // Readable, so the vault copy is made, but not deletable.
        UniqueFile holder(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_EQ(MoveHiddenFileToVault("Busy", path.c_str()), 0);
    }
    EXPECT_TRUE(Exists(path));
    EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(SnapshotValue(path), "");   // reported as new on the next check
    EXPECT_EQ(HistoryAddedSince(before).find("*HIDDEN_DeleteFile"), std::string::npos);
    DeleteFileForced(VaultFile("vlvault_busy.dat").c_str());
}

TEST_F(HiddenTest, MissingFilesAreNeitherMovedNorRestored)
{
    ScratchDir dir("vlhidden_missing");
    std::string path = dir.file("vlvault_none.dat");
    SetRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, path.c_str(), "01/02/2026 3:04 PM");
    EXPECT_EQ(MoveHiddenFileToVault("None", path.c_str()), 0);
    EXPECT_EQ(SnapshotValue(path), "");
    EXPECT_EQ(RestoreHiddenFileFromVault(path.c_str()), 0);
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(SnapshotValue(path), "");

    // A vault copy whose folder has gone stays in the vault.
    std::string gone = dir.file("vanished\\vlvault_kept.dat");
    ASSERT_TRUE(WriteTextFile(VaultFile("vlvault_kept.dat"), "kept"));
    EXPECT_EQ(RestoreHiddenFileFromVault(gone.c_str()), 0);
    EXPECT_EQ(ReadTextFile(VaultFile("vlvault_kept.dat")), "kept");
    EXPECT_EQ(SnapshotValue(gone), "");
    DeleteFileForced(VaultFile("vlvault_kept.dat").c_str());
}

TEST_F(HiddenTest, RunningHiddenProgramIsEndedBeforeItsFileIsMoved)
{
    ScratchDir dir("vlhidden_run");
    std::string path = dir.file("vlprobe_run.exe");
    ASSERT_TRUE(CopyFileA(FixturePath("hidden_fixture.exe").c_str(), path.c_str(), FALSE));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
    UniqueHandle process(StartProgram("\"" + path + "\""));
    ASSERT_TRUE(process);
    Sleep(300);   // let it map its image
    std::string before = HistoryText();

    EXPECT_NE(MoveHiddenFileToVault("Hidden Probe Suite", path.c_str()), 0);
    EXPECT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
    EXPECT_FALSE(Exists(path));
    EXPECT_TRUE(Exists(VaultFile("vlprobe_run.exe")));
    std::string added = HistoryAddedSince(before);
    EXPECT_NE(added.find("\tTASK_Kill\tINFO_TASK\tHidden Probe Suite\t"), std::string::npos) << added;
    EXPECT_NE(added.find("\t*HIDDEN_DeleteFile\tTYPE_HIDDEN\tHidden Probe Suite\t"),
              std::string::npos)
        << added;

    EXPECT_NE(RestoreHiddenFileFromVault(path.c_str()), 0);
    EXPECT_TRUE(Exists(path));
    DeleteRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, path.c_str());
}

}   // namespace

namespace {

TEST_F(HiddenTest, SecondRunningCopyKeepsTheFileInUse)
{
    ScratchDir dir("vlhidden_twice");
    std::string path = dir.file("vlprobe_twice.exe");
    ASSERT_TRUE(CopyFileA(FixturePath("hidden_fixture.exe").c_str(), path.c_str(), FALSE));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
    UniqueHandle first(StartProgram("\"" + path + "\""));
    UniqueHandle second(StartProgram("\"" + path + "\""));
    ASSERT_TRUE(first && second);
    Sleep(300);
    std::string before = HistoryText();

    EXPECT_EQ(MoveHiddenFileToVault("Twice", path.c_str()), 0);
    // Exactly one copy was ended.
    HANDLE both[] = {first.get(), second.get()};
    EXPECT_LT(WaitForMultipleObjects(2, both, FALSE, 10000), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 200), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(Exists(path));
    EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(HistoryAddedSince(before).find("*HIDDEN_DeleteFile"), std::string::npos);

    TerminateProcess(first.get(), 0);
    TerminateProcess(second.get(), 0);
    WaitForMultipleObjects(2, both, TRUE, 10000);
    DeleteFileForced(VaultFile("vlprobe_twice.exe").c_str());
}

}   // namespace
