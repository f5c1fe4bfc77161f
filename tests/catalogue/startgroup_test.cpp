// Startup folder walk, the per-file handler and the shell link routines,
// against real shortcut files in the real Startup folders.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "tests/catalogue/startuptest.h"
#include "tests/support/testsupport.h"

using namespace startuptest;

namespace {

const std::string kFixture = FixturePath("startup_fixture.exe");
const std::string kProductOnly = FixturePath("startup_product.exe");
const std::string kPlain = FixturePath("startup_plain.exe");

void MakeShortcut(const std::string& link, const std::string& target, const char* description)
{
    ASSERT_EQ(S_OK, CreateShortcut(link.c_str(), target.c_str(), "", "", description,
                                   target.c_str(), 0))
        << link;
}

int ListStartupGroup()
{
    ClearItems();
    return GetStartupGroup();
}

// The only record whose entry name is `entry`; fails the test otherwise.
Item OnlyEntry(const std::string& entry)
{
    std::vector<Item> found;
    for (int i = 0; i < ItemCount(); ++i) {
        Item item = ReadItem(i);
        if (lstrcmpiA(item.entry.c_str(), entry.c_str()) == 0) found.push_back(item);
    }
    EXPECT_EQ(1u, found.size()) << entry;
    return found.empty() ? Item{} : found[0];
}

int CountEntry(const std::string& entry)
{
    int n = 0;
    for (int i = 0; i < ItemCount(); ++i) {
        if (lstrcmpiA(ReadItem(i).entry.c_str(), entry.c_str()) == 0) ++n;
    }
    return n;
}

int CountPath(const std::string& path)
{
    return static_cast<int>(IndexesWithPath(path).size());
}

std::vector<std::string> g_seen;
int RecordingHandler(const char* path, const WIN32_FIND_DATAA*, void*)
{
    g_seen.push_back(path);
    return 0;
}

int StopAtSecond(const char* path, const WIN32_FIND_DATAA*, void* context)
{
    int* calls = static_cast<int*>(context);
    return ++*calls == 2 ? 1 : 0;
}

bool Seen(const std::string& path)
{
    for (const std::string& s : g_seen) {
        if (lstrcmpiA(s.c_str(), path.c_str()) == 0) return true;
    }
    return false;
}

}   // namespace

TEST(ShellLink, CreatedShortcutResolvesToItsShortTargetAndDescription)
{
    ScratchDir dir("vl_startgroup_link");
    const std::string link = dir.file("made.lnk");
    ASSERT_EQ(S_OK, CreateShortcut(link.c_str(), kFixture.c_str(), "/quiet -x", dir.path().c_str(),
                                   "Made by the test", kFixture.c_str(), 3));
    char target[MAX_PATH] = "x";
    char description[MAX_PATH] = "x";
    EXPECT_EQ(S_OK, ResolveShortcut(link.c_str(), target, description));
    EXPECT_STREQ("Made by the test", description);
    // The short form on Windows; Wine's link object hands out the long one.
    EXPECT_STRCASEEQ(kFixture.c_str(), LongPath(target).c_str());
    if (!IsWine()) {
        EXPECT_STRCASEEQ(ShortPath(kFixture).c_str(), target);
    }

    // Arguments, working folder and icon went into the file as asked.
    ComApartment apartment;
    ComPtr<IShellLinkA> shell;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellLinkA, reinterpret_cast<void**>(shell.put())));
    ComPtr<IPersistFile> file;
    ASSERT_EQ(S_OK, shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())));
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
    ASSERT_EQ(S_OK, file->Load(wide, STGM_READ));
    char text[MAX_PATH] = "";
    shell->GetArguments(text, MAX_PATH);
    EXPECT_STREQ("/quiet -x", text);
    shell->GetWorkingDirectory(text, MAX_PATH);
    EXPECT_STRCASEEQ(dir.path().c_str(), text);
    int icon = -1;
    shell->GetIconLocation(text, MAX_PATH, &icon);
    EXPECT_STRCASEEQ(kFixture.c_str(), text);
    EXPECT_EQ(3, icon);
}

TEST(ShellLink, MissingOrDamagedShortcutFailsWithEmptyOutputs)
{
    ScratchDir dir("vl_startgroup_damaged");
    char target[MAX_PATH] = "stale";
    char description[MAX_PATH] = "stale";
    EXPECT_TRUE(FAILED(ResolveShortcut(dir.file("none.lnk").c_str(), target, description)));
    EXPECT_STREQ("", target);
    EXPECT_STREQ("", description);

    std::string noise;
    for (int i = 0; i < 700; ++i) noise += static_cast<char>((i * 7919 + 13) & 0xFF);
    ASSERT_TRUE(WriteBytes(dir.file("noise.lnk"), noise));
    StrCopy(target, "stale");
    EXPECT_TRUE(FAILED(ResolveShortcut(dir.file("noise.lnk").c_str(), target, description)));
    EXPECT_STREQ("", target);
    EXPECT_STREQ("", description);

    // The start of a real shortcut: the header promises data that is not there.
    MakeShortcut(dir.file("whole.lnk"), kFixture, "whole");
    const std::string whole = ReadBytes(dir.file("whole.lnk"));
    ASSERT_GT(whole.size(), 80u);
    ASSERT_TRUE(WriteBytes(dir.file("cut.lnk"), whole.substr(0, 80)));
    const HRESULT cut = ResolveShortcut(dir.file("cut.lnk").c_str(), target, description);
    if (FAILED(cut)) {
        EXPECT_STREQ("", target);
        EXPECT_STREQ("", description);
    }
}

TEST(ShellLink, PathsBeyondTheBufferAreRefused)
{
    const std::string longPath = "C:\\" + std::string(300, 'a') + ".lnk";
    char target[MAX_PATH] = "x";
    char description[MAX_PATH] = "x";
    EXPECT_TRUE(FAILED(ResolveShortcut(longPath.c_str(), target, description)));
    EXPECT_STREQ("", target);
    EXPECT_STREQ("", description);
    EXPECT_TRUE(FAILED(CreateShortcut(longPath.c_str(), kFixture.c_str(), "", "", "", "", 0)));
}

TEST(VersionText, FileDescriptionComesFromTheVersionResource)
{
    char out[kVersionFieldLen] = "x";
    EXPECT_EQ(24, GetFileDescription(kFixture.c_str(), out));
    EXPECT_STREQ("Startup Fixture Launcher", out);
    EXPECT_EQ(0, GetFileDescription(kProductOnly.c_str(), out));
    EXPECT_STREQ("", out);
    EXPECT_EQ(0, GetFileDescription(kPlain.c_str(), out));
    EXPECT_EQ(0, GetFileDescription("C:\\no\\such\\file.exe", out));
    EXPECT_STREQ("", out);
}

TEST(VersionText, CreationTimeIsShownInLocalTime)
{
    ScratchDir dir("vl_startgroup_time");
    const std::string path = dir.file("stamped.txt");
    ASSERT_TRUE(WriteTextFile(path, "x"));
    SYSTEMTIME local = {2004, 2, 0, 29, 13, 5, 42, 0};
    FILETIME localFile;
    FILETIME utc;
    ASSERT_TRUE(SystemTimeToFileTime(&local, &localFile));
    ASSERT_TRUE(LocalFileTimeToFileTime(&localFile, &utc));
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    ASSERT_TRUE(SetFileTime(h, &utc, nullptr, nullptr));
    CloseHandle(h);

    // Wine cannot set a creation time on a Unix file system; there the text
    // must still match the time the file system reports, to the minute.
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(path.c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    FindClose(find);
    SYSTEMTIME expected = local;
    if (CompareFileTime(&found.ftCreationTime, &utc) != 0) {
        FILETIME shown;
        FileTimeToLocalFileTime(&found.ftCreationTime, &shown);
        FileTimeToSystemTime(&shown, &expected);
    }
    char want[64];
    snprintf(want, sizeof want, "%04d/%02d/%02d %02d:%02d", expected.wYear, expected.wMonth,
             expected.wDay, expected.wHour, expected.wMinute);

    char out[256] = "";
    EXPECT_EQ(16, FormatFileCreated(path.c_str(), out));
    EXPECT_STREQ(want, out);
    if (!IsWine()) {
        EXPECT_STREQ("2004/02/29 13:05", out);
    }

    StrCopy(out, "stale");
    EXPECT_EQ(0, FormatFileCreated(dir.file("missing.txt").c_str(), out));
    EXPECT_STREQ("", out);
}

TEST(WalkFolder, VisitsSubfoldersFirstOnlyWithDepthAndSkipsDotFolders)
{
    ScratchDir dir("vl_startgroup_walk");
    ASSERT_TRUE(CreateDirectoryA(dir.file("sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(dir.file(".hiddendot").c_str(), nullptr));
    ASSERT_TRUE(WriteTextFile(dir.file("top.txt"), "x"));
    ASSERT_TRUE(WriteTextFile(dir.file("sub\\inner.txt"), "x"));
    ASSERT_TRUE(WriteTextFile(dir.file(".hiddendot\\dotted.txt"), "x"));

    g_seen.clear();
    WalkFolder(dir.path().c_str(), RecordingHandler, 0, nullptr);
    EXPECT_TRUE(Seen(dir.file("top.txt")));
    EXPECT_TRUE(Seen(dir.file("sub")));   // the handler decides about folders
    EXPECT_FALSE(Seen(dir.file("sub\\inner.txt")));
    EXPECT_FALSE(Seen(dir.file(".hiddendot")));
    EXPECT_FALSE(Seen(dir.file(".hiddendot\\dotted.txt")));

    g_seen.clear();
    WalkFolder((dir.path() + "\\").c_str(), RecordingHandler, 1, nullptr);
    ASSERT_TRUE(Seen(dir.file("sub\\inner.txt")));
    EXPECT_FALSE(Seen(dir.file(".hiddendot\\dotted.txt")));
    size_t inner = 0;
    size_t sub = 0;
    for (size_t i = 0; i < g_seen.size(); ++i) {
        if (g_seen[i] == dir.file("sub\\inner.txt")) inner = i;
        if (g_seen[i] == dir.file("sub")) sub = i;
    }
    EXPECT_LT(inner, sub) << "a subfolder is walked before it is handed over itself";

    g_seen.clear();
    WalkFolder(dir.file("missing").c_str(), RecordingHandler, 1, nullptr);
    WalkFolder("", RecordingHandler, 1, nullptr);
    EXPECT_TRUE(g_seen.empty());
}

TEST(WalkFolder, StopsWhenTheHandlerSaysSoAlsoFromASubfolder)
{
    ScratchDir dir("vl_startgroup_stop");
    ASSERT_TRUE(CreateDirectoryA(dir.file("sub").c_str(), nullptr));
    for (const char* name : {"a.txt", "b.txt", "c.txt", "sub\\d.txt", "sub\\e.txt"})
        ASSERT_TRUE(WriteTextFile(dir.file(name), "x"));
    int calls = 0;
    WalkFolder(dir.path().c_str(), StopAtSecond, 0, &calls);
    EXPECT_EQ(2, calls);
    calls = 0;
    WalkFolder(dir.path().c_str(), StopAtSecond, 1, &calls);
    EXPECT_EQ(2, calls);
}

class StartupFolderTest : public ::testing::Test {
protected:
    std::string user = UserStartupFolder();
    std::string common = CommonStartupFolder();
    void SetUp() override
    {
        ASSERT_FALSE(user.empty());
        ASSERT_FALSE(common.empty());
    }
    std::string U(const char* name) const { return user + "\\" + name; }
    std::string C(const char* name) const { return common + "\\" + name; }
};

TEST_F(StartupFolderTest, ShortcutsAreListedByDescriptionThenTargetVersionThenFileName)
{
    TempFile described(U("vl described.lnk"));
    TempFile bare(U("vl bare.lnk"));
    TempFile product(U("vl product.lnk"));
    TempFile plain(C("vl plain.lnk"));
    MakeShortcut(described.path(), kFixture, "Vl Described Helper");
    MakeShortcut(bare.path(), kFixture, "");
    MakeShortcut(product.path(), kProductOnly, "");
    MakeShortcut(plain.path(), kPlain, "");

    EXPECT_EQ(1, ListStartupGroup());
    Item item = OnlyEntry(described.path());
    EXPECT_EQ("Vl Described Helper", item.title);
    EXPECT_STRCASEEQ(kFixture.c_str(), item.path.c_str());
    EXPECT_EQ("", item.detail);
    EXPECT_EQ(200, item.type);
    EXPECT_EQ(0, item.flag);

    item = OnlyEntry(bare.path());
    EXPECT_EQ("Startup Fixture Launcher", item.title);
    EXPECT_STRCASEEQ(kFixture.c_str(), item.path.c_str());

    item = OnlyEntry(product.path());
    EXPECT_EQ("Startup Product Only", item.title);
    EXPECT_STRCASEEQ(kProductOnly.c_str(), item.path.c_str());

    item = OnlyEntry(plain.path());
    EXPECT_EQ("startup_plain.exe", item.title);
    EXPECT_STRCASEEQ(kPlain.c_str(), item.path.c_str());
    EXPECT_EQ(200, item.type);
}

TEST_F(StartupFolderTest, ProgramsBatchFilesAndDesktopIniAreTreatedByTheirEnding)
{
    TempFile exe(U("vl_copied.exe"));
    TempFile plainExe(C("vl_noversion.exe"));
    TempFile batch(U("vl_start.bat"));
    TempFile url(C("vl_site.URL"));
    TempFile ini(U("desktop.ini"));
    ASSERT_TRUE(CopyFileA(kFixture.c_str(), exe.path().c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(kPlain.c_str(), plainExe.path().c_str(), FALSE));
    ASSERT_TRUE(WriteTextFile(batch.path(), "@echo off\r\n"));
    ASSERT_TRUE(WriteTextFile(url.path(), "[InternetShortcut]\r\nURL=http://example.com/\r\n"));
    ASSERT_TRUE(WriteTextFile(ini.path(), "[.ShellClassInfo]\r\n"));

    ListStartupGroup();
    Item item = OnlyEntry(exe.path());
    EXPECT_EQ("Startup Fixture Launcher", item.title);
    EXPECT_STRCASEEQ(exe.path().c_str(), item.path.c_str());
    EXPECT_EQ(200, item.type);

    item = OnlyEntry(plainExe.path());
    EXPECT_EQ("vl_noversion.exe", item.title);

    // Listed by path alone: no entry name.
    ASSERT_EQ(1, CountPath(batch.path()));
    item = ReadItem(IndexesWithPath(batch.path())[0]);
    EXPECT_EQ("vl_start.bat", item.title);
    EXPECT_EQ("", item.entry);
    EXPECT_EQ(200, item.type);
    EXPECT_EQ(0, item.flag);
    ASSERT_EQ(1, CountPath(url.path()));
    EXPECT_EQ("vl_site.URL", ReadItem(IndexesWithPath(url.path())[0]).title);

    EXPECT_EQ(0, CountPath(ini.path()));
    EXPECT_EQ(0, CountEntry(ini.path()));
}

TEST_F(StartupFolderTest, SubfoldersAreNeitherEnteredNorListed)
{
    const std::string folder = U("vl_subfolder");
    const std::string readOnly = U("vl_readonly.lnk");
    RemoveTree(folder);
    RemoveTree(readOnly);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(readOnly.c_str(), nullptr));
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(WriteTextFile(folder + "\\inner.bat", "x"));
    MakeShortcut(folder + "\\inner.lnk", kFixture, "Vl Inner");

    ListStartupGroup();
    EXPECT_EQ(0, CountPath(folder));
    EXPECT_EQ(0, CountPath(folder + "\\inner.bat"));
    EXPECT_TRUE(IndexesOf("Vl Inner").empty());
    EXPECT_EQ(0, CountPath(readOnly));
    EXPECT_EQ(0, CountEntry(readOnly));
    RemoveTree(folder);
    RemoveTree(readOnly);
}

TEST_F(StartupFolderTest, DamagedShortcutsAreListedWithoutTargetOrTitle)
{
    TempFile noise(U("vl_noise.lnk"));
    TempFile empty(C("vl_empty.lnk"));
    TempFile whole(U("vl_whole.lnk"));
    TempFile cut(U("vl_cut.lnk"));
    std::string bytes;
    for (int i = 0; i < 1000; ++i) bytes += static_cast<char>((i * 131 + 7) & 0xFF);
    ASSERT_TRUE(WriteBytes(noise.path(), bytes));
    ASSERT_TRUE(WriteBytes(empty.path(), ""));
    MakeShortcut(whole.path(), kFixture, "Vl Whole");
    ASSERT_TRUE(WriteBytes(cut.path(), ReadBytes(whole.path()).substr(0, 76)));

    ListStartupGroup();
    for (const TempFile* file : {&noise, &empty}) {
        Item item = OnlyEntry(file->path());
        EXPECT_EQ("", item.title);
        EXPECT_EQ("", item.path);
        EXPECT_EQ(200, item.type);
    }
    EXPECT_EQ(1, CountEntry(cut.path()));
    EXPECT_EQ("Vl Whole", OnlyEntry(whole.path()).title);
}

TEST_F(StartupFolderTest, OverlongDescriptionIsCutToTheTitleField)
{
    TempFile link(U("vl_long.lnk"));
    const std::string description(300, 'D');
    MakeShortcut(link.path(), kFixture, description.c_str());
    ListStartupGroup();
    Item item = OnlyEntry(link.path());
    EXPECT_EQ(std::string(kTitleLen - 1, 'D'), item.title);
    EXPECT_STRCASEEQ(kFixture.c_str(), item.path.c_str());
}

// On Windows resolving a shortcut whose target has vanished would need the
// user's help (result 1) and the shortcut is left out. Wine resolves it with
// S_OK, so there the shortcut is listed with its stale target.
TEST_F(StartupFolderTest, ShortcutToAVanishedTargetFollowsTheResolveResult)
{
    ScratchDir dir("vl_startgroup_gone");
    const std::string gone = dir.file("gone.exe");
    ASSERT_TRUE(CopyFileA(kFixture.c_str(), gone.c_str(), FALSE));
    TempFile link(U("vl_gone.lnk"));
    MakeShortcut(link.path(), gone, "Vl Gone");
    ASSERT_TRUE(DeleteFileA(gone.c_str()));

    char target[MAX_PATH];
    char description[MAX_PATH];
    const HRESULT resolved = ResolveShortcut(link.path().c_str(), target, description);
    ListStartupGroup();
    if (resolved == S_FALSE) {
        EXPECT_STREQ("Local File not found.", description);
        EXPECT_EQ(0, CountEntry(link.path()));
    } else {
        EXPECT_TRUE(IsWine()) << "Windows asks before it resolves a vanished target";
        EXPECT_EQ(S_OK, resolved);
        EXPECT_EQ("Vl Gone", OnlyEntry(link.path()).title);
    }
}

TEST_F(StartupFolderTest, FoundFlagTellsWhetherAnyFileWasHandled)
{
    // Only meaningful when the prefix's Startup folders hold nothing else.
    g_seen.clear();
    WalkFolder(user.c_str(), RecordingHandler, 0, nullptr);
    WalkFolder(common.c_str(), RecordingHandler, 0, nullptr);
    if (g_seen.empty()) {
        EXPECT_EQ(0, ListStartupGroup());
    }
    TempFile batch(C("vl_found.bat"));
    ASSERT_TRUE(WriteTextFile(batch.path(), "x"));
    EXPECT_EQ(1, ListStartupGroup());
    EXPECT_EQ(kWalkStartup, GetWalkMode());
}

TEST(SpBuildProc, PlainFolderEntriesArePassedOverInEveryMode)
{
    WIN32_FIND_DATAA data = {};
    data.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    StrCopy(data.cFileName, "folder.bat");
    for (int mode : {kWalkStartup, kWalkCookies, kWalkHidden}) {
        ClearItems();
        SetWalkMode(mode);
        SetFoundFlag(0);
        EXPECT_EQ(0, spBuildProc("C:\\vl\\folder.bat", &data, nullptr));
        EXPECT_EQ(0, ItemCount()) << mode;
        EXPECT_EQ(0, GetFoundFlag()) << mode;
    }
    // A file in the startup mode: listed, with the trailing backslash gone.
    data.dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    ClearItems();
    SetWalkMode(kWalkStartup);
    EXPECT_EQ(0, spBuildProc("C:\\vl\\file.bat\\", &data, nullptr));
    ASSERT_EQ(1, ItemCount());
    EXPECT_EQ("C:\\vl\\file.bat", ReadItem(0).path);
    EXPECT_EQ("file.bat", ReadItem(0).title);
    EXPECT_EQ(1, GetFoundFlag());
    ClearItems();
}

TEST_F(StartupFolderTest, AFolderNamedByTwoRootsIsListedTwice)
{
    SavedValue machineStartup(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Startup");
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Startup", user));
    TempFile batch(U("vl_twice.bat"));
    ASSERT_TRUE(WriteTextFile(batch.path(), "x"));
    ListStartupGroup();
    EXPECT_EQ(2, CountPath(batch.path()));
}
