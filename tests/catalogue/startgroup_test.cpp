// Startup folder walk, the per-file handler and the shell link routines,
// against real shortcut files in the real Startup folders.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
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
    ASSERT_EQ(S_OK, CreateShortcut(link.c_str(), target.c_str(), "", "", description, target.c_str(), 0))
        << link;
}

int ListStartupGroup()
{
    ClearItems();
    return GetStartupGroup();
}

Item OnlyEntry(const std::string& entry) { return OnlyWhere(&Item::entry, entry); }
size_t CountEntry(const std::string& entry) { return IndexesWhere(&Item::entry, entry).size(); }
size_t CountPath(const std::string& path) { return IndexesWithPath(path).size(); }

// The paths a walk hands over; stops at the call numbered `stopAt`.
struct Walk {
    std::vector<std::string> seen;
    size_t stopAt = 0;
    static int Handler(const char* path, const WIN32_FIND_DATAA*, void* context)
    {
        Walk* walk = static_cast<Walk*>(context);
        walk->seen.push_back(path);
        return walk->seen.size() == walk->stopAt ? 1 : 0;
    }
    int At(const std::string& path) const
    {
        for (size_t i = 0; i < seen.size(); ++i) {
            if (lstrcmpiA(seen[i].c_str(), path.c_str()) == 0) return static_cast<int>(i);
        }
        return -1;
    }
};

}   // namespace

TEST(ShellLink, CreatedShortcutRoundTripsThroughResolveAndTheLinkObject)
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
    EXPECT_STRCASEEQ(kFixture.c_str(), PathForm(target, true).c_str());
    if (!IsWine()) {
        EXPECT_STRCASEEQ(PathForm(kFixture, false).c_str(), target);
    }

    ComApartment apartment;
    ComPtr<IShellLinkA> shell;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     reinterpret_cast<void**>(shell.put())));
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

TEST(ShellLink, MissingOrOverlongShortcutFailsWithEmptyOutputs)
{
    // Damaged shortcut files are read through the Startup folder walk below.
    ScratchDir dir("vl_startgroup_damaged");
    const std::string longPath = "C:\\" + std::string(300, 'a') + ".lnk";
    for (const std::string& link : {dir.file("none.lnk"), longPath}) {
        char target[MAX_PATH] = "stale";
        char description[MAX_PATH] = "stale";
        EXPECT_TRUE(FAILED(ResolveShortcut(link.c_str(), target, description))) << link;
        EXPECT_STREQ("", target) << link;
        EXPECT_STREQ("", description) << link;
    }
    EXPECT_TRUE(FAILED(CreateShortcut(longPath.c_str(), kFixture.c_str(), "", "", "", "", 0)));
}

TEST(VersionText, CreationTimeIsShownInLocalTime)
{
    ScratchDir dir("vl_startgroup_time");
    const std::string path = dir.file("stamped.txt");
    ASSERT_TRUE(WriteTextFile(path, "x"));
    SYSTEMTIME shown = {2004, 2, 0, 29, 13, 5, 42, 0};
    FILETIME local;
    FILETIME utc;
    ASSERT_TRUE(SystemTimeToFileTime(&shown, &local) && LocalFileTimeToFileTime(&local, &utc));
    UniqueFile file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    SetFileTime(file.get(), &utc, nullptr, nullptr);
    file = UniqueFile();
    // Wine cannot set a creation time on a Unix file system; there the text
    // must match the time the file system reports, to the minute.
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data));
    if (CompareFileTime(&data.ftCreationTime, &utc) != 0) {
        FileTimeToLocalFileTime(&data.ftCreationTime, &local);
        FileTimeToSystemTime(&local, &shown);
    }
    char want[64];
    snprintf(want, sizeof want, "%04d/%02d/%02d %02d:%02d", shown.wYear, shown.wMonth, shown.wDay,
             shown.wHour, shown.wMinute);
    char out[256] = "";
    EXPECT_EQ(16, FormatFileCreated(path.c_str(), out));
    EXPECT_STREQ(want, out);

    StrCopy(out, "stale");
    EXPECT_EQ(0, FormatFileCreated(dir.file("missing.txt").c_str(), out));
    EXPECT_STREQ("", out);
}

TEST(WalkFolder, EntersSubfoldersFirstOnlyWithDepthSkipsDotFoldersAndStopsWhenTold)
{
    ScratchDir dir("vl_startgroup_walk");
    ASSERT_TRUE(CreateDirectoryA(dir.file("sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(dir.file(".hiddendot").c_str(), nullptr));
    for (const char* name : {"top.txt", "sub\\inner.txt", "sub\\second.txt", ".hiddendot\\dotted.txt"})
        ASSERT_TRUE(WriteTextFile(dir.file(name), "x"));

    Walk flat;
    WalkFolder(dir.path().c_str(), Walk::Handler, 0, &flat);
    EXPECT_NE(-1, flat.At(dir.file("top.txt")));
    EXPECT_NE(-1, flat.At(dir.file("sub"))) << "the handler decides about folders";
    EXPECT_EQ(-1, flat.At(dir.file("sub\\inner.txt")));
    EXPECT_EQ(-1, flat.At(dir.file(".hiddendot")));

    Walk deep;
    WalkFolder((dir.path() + "\\").c_str(), Walk::Handler, 1, &deep);
    ASSERT_NE(-1, deep.At(dir.file("sub\\inner.txt")));
    EXPECT_LT(deep.At(dir.file("sub\\inner.txt")), deep.At(dir.file("sub")))
        << "a subfolder is walked before it is handed over itself";
    EXPECT_EQ(-1, deep.At(dir.file(".hiddendot\\dotted.txt")));

    for (int depth : {0, 1}) {
        Walk stop;
        stop.stopAt = 2;
        WalkFolder(dir.path().c_str(), Walk::Handler, depth, &stop);
        EXPECT_EQ(2u, stop.seen.size()) << depth;
    }
    Walk none;
    WalkFolder(dir.file("missing").c_str(), Walk::Handler, 1, &none);
    WalkFolder("", Walk::Handler, 1, &none);
    EXPECT_TRUE(none.seen.empty());
}

class StartupFolderTest : public ::testing::Test {
protected:
    std::string user = UserStartupFolder();
    std::string common = CommonStartupFolder();
    void SetUp() override { ASSERT_TRUE(!user.empty() && !common.empty()); }
    std::string U(const char* name) const { return user + "\\" + name; }
    std::string C(const char* name) const { return common + "\\" + name; }
};

TEST_F(StartupFolderTest, ShortcutsAreListedByDescriptionThenTargetVersionThenFileName)
{
    TempFile described(U("vl described.lnk"));
    TempFile bare(U("vl bare.lnk"));
    TempFile product(U("vl product.lnk"));
    TempFile plain(C("vl plain.lnk"));
    TempFile overlong(U("vl_long.lnk"));
    MakeShortcut(described.path(), kFixture, "Vl Described Helper");
    MakeShortcut(bare.path(), kFixture, "");
    MakeShortcut(product.path(), kProductOnly, "");
    MakeShortcut(plain.path(), kPlain, "");
    MakeShortcut(overlong.path(), kFixture, std::string(300, 'D').c_str());

    EXPECT_EQ(1, ListStartupGroup());
    const struct {
        const TempFile& link;
        std::string title;
        const std::string& target;
    } cases[] = {
        {described, "Vl Described Helper", kFixture},      {bare, "Startup Fixture Launcher", kFixture},
        {product, "Startup Product Only", kProductOnly},   {plain, "startup_plain.exe", kPlain},
        {overlong, std::string(kTitleLen - 1, 'D'), kFixture},
    };
    for (const auto& c : cases) {
        const Item item = OnlyEntry(c.link.path());
        EXPECT_EQ(c.title, item.title);
        EXPECT_STRCASEEQ(c.target.c_str(), item.path.c_str());
        EXPECT_EQ("", item.detail);
        EXPECT_EQ(200, item.type);
        EXPECT_EQ(0, item.flag);
    }
}

TEST_F(StartupFolderTest, FilesAreTreatedByTheirEndingAndSubfoldersAreNotEntered)
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
    const std::string folder = U("vl_subfolder");
    const std::string dotLnk = U("vl_folder.lnk");
    RemoveTree(folder);
    RemoveTree(dotLnk);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(dotLnk.c_str(), nullptr));
    SetFileAttributesA(dotLnk.c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(WriteTextFile(folder + "\\inner.bat", "x"));

    ListStartupGroup();
    EXPECT_EQ("Startup Fixture Launcher", OnlyEntry(exe.path()).title);
    EXPECT_STRCASEEQ(exe.path().c_str(), OnlyEntry(exe.path()).path.c_str());
    EXPECT_EQ("vl_noversion.exe", OnlyEntry(plainExe.path()).title);
    // Listed by path alone: no entry name.
    for (const TempFile* file : {&batch, &url}) {
        ASSERT_EQ(1u, CountPath(file->path()));
        const Item item = ReadItem(IndexesWithPath(file->path())[0]);
        EXPECT_EQ(file->path().substr(file->path().rfind('\\') + 1), item.title);
        EXPECT_EQ("", item.entry);
        EXPECT_EQ(200, item.type);
    }
    for (const std::string& path : {ini.path(), folder, folder + "\\inner.bat", dotLnk}) {
        EXPECT_EQ(0u, CountPath(path)) << path;
        EXPECT_EQ(0u, CountEntry(path)) << path;
    }
    RemoveTree(folder);
    RemoveTree(dotLnk);
}

TEST_F(StartupFolderTest, DamagedShortcutsAreListedWithoutTargetOrTitle)
{
    TempFile noise(U("vl_noise.lnk"));
    TempFile empty(C("vl_empty.lnk"));
    TempFile whole(U("vl_whole.lnk"));
    TempFile cut(U("vl_cut.lnk"));
    std::string bytes;
    for (int i = 0; i < 1000; ++i) bytes += static_cast<char>((i * 131 + 7) & 0xFF);
    ASSERT_TRUE(WriteTextFile(noise.path(), bytes));
    ASSERT_TRUE(WriteTextFile(empty.path(), ""));
    MakeShortcut(whole.path(), kFixture, "Vl Whole");
    ASSERT_TRUE(WriteTextFile(cut.path(), ReadTextFile(whole.path()).substr(0, 76)));

    ListStartupGroup();
    for (const TempFile* file : {&noise, &empty}) {
        const Item item = OnlyEntry(file->path());
        EXPECT_EQ("", item.title);
        EXPECT_EQ("", item.path);
        EXPECT_EQ(200, item.type);
    }
    EXPECT_EQ(1u, CountEntry(cut.path()));
    EXPECT_EQ("Vl Whole", OnlyEntry(whole.path()).title);
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
        EXPECT_EQ(0u, CountEntry(link.path()));
    } else {
        EXPECT_TRUE(IsWine()) << "Windows asks before it resolves a vanished target";
        EXPECT_EQ(S_OK, resolved);
        EXPECT_EQ("Vl Gone", OnlyEntry(link.path()).title);
    }
}

TEST_F(StartupFolderTest, AFolderNamedByTwoRootsIsListedTwice)
{
    SavedValue machineStartup(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Startup");
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Startup", user));
    TempFile batch(U("vl_twice.bat"));
    ASSERT_TRUE(WriteTextFile(batch.path(), "x"));
    EXPECT_EQ(1, ListStartupGroup());
    EXPECT_EQ(2u, CountPath(batch.path()));
}
