// Startup folder walk, the per-file handler and the shell link routines,
// against real shortcut files in the real Startup folders.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "tests/catalogue/startuptest.h"

using namespace startuptest;

namespace {

const std::string kFixture = FixturePath("startup_fixture.exe");
const std::string kProductOnly = FixturePath("startup_product.exe");
const std::string kPlain = FixturePath("startup_plain.exe");

void MakeShortcut(const std::string& link, const std::string& target, const std::string& text = "")
{
    ASSERT_EQ(S_OK, CreateShortcut(link.c_str(), target.c_str(), "", "", text.c_str(), "", 0)) << link;
}

// The names a walk hands over, below `base`, each ended by '|'; it is told
// to stop at the `stopAt`th.
struct Walk {
    std::string base, seen;
    int count = 0, stopAt = 0;
    static int Handler(const char* path, const WIN32_FIND_DATAA*, void* context)
    {
        Walk* walk = static_cast<Walk*>(context);
        walk->seen += std::string(path).substr(walk->base.size() + 1) + "|";
        return ++walk->count == walk->stopAt;
    }
};

}   // namespace

// Resolving is read through the Startup folder listing below; the fields it
// does not return are read back from the link object.
TEST(ShellLink, CreatedShortcutKeepsArgumentsWorkingFolderAndIcon)
{
    ScratchDir dir("vl_startgroup_link");
    const std::string link = dir.file("made.lnk");
    ASSERT_EQ(S_OK, CreateShortcut(link.c_str(), kFixture.c_str(), "/quiet -x", dir.path().c_str(),
                                   "Made by the test", kFixture.c_str(), 3));
    ComApartment apartment;
    ComPtr<IShellLinkA> shell;
    ComPtr<IPersistFile> file;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     reinterpret_cast<void**>(shell.put())));
    ASSERT_EQ(S_OK, shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())));
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
    ASSERT_EQ(S_OK, file->Load(wide, STGM_READ));
    char arguments[MAX_PATH] = "", folder[MAX_PATH] = "", icon[MAX_PATH] = "";
    int index = -1;
    shell->GetArguments(arguments, MAX_PATH);
    shell->GetWorkingDirectory(folder, MAX_PATH);
    shell->GetIconLocation(icon, MAX_PATH, &index);
    EXPECT_STRCASEEQ(("/quiet -x|" + dir.path() + "|" + kFixture + "|3").c_str(),
                     (std::string(arguments) + "|" + folder + "|" + icon + "|" + std::to_string(index)).c_str());
}

TEST(ShellLink, MissingOrOverlongShortcutFailsWithEmptyOutputs)
{
    ScratchDir dir("vl_startgroup_damaged");
    const std::string longPath = "C:\\" + std::string(300, 'a') + ".lnk";
    for (const std::string& link : {dir.file("none.lnk"), longPath}) {
        char target[MAX_PATH] = "stale";
        char description[MAX_PATH] = "stale";
        EXPECT_TRUE(FAILED(ResolveShortcut(link.c_str(), target, description))) << link;
        EXPECT_EQ("", std::string(target) + description) << link;
    }
    EXPECT_TRUE(FAILED(CreateShortcut(longPath.c_str(), kFixture.c_str(), "", "", "", "", 0)));
}

TEST(VersionText, CreationTimeIsShownInLocalTimeToTheMinute)
{
    ScratchDir dir("vl_startgroup_time");
    const std::string path = dir.file("stamped.txt");
    WIN32_FILE_ATTRIBUTE_DATA data;
    FILETIME local;
    SYSTEMTIME t;
    // Wine cannot set a creation time on a Unix file system: take the one it reports.
    ASSERT_TRUE(WriteTextFile(path, "x") && GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
                FileTimeToLocalFileTime(&data.ftCreationTime, &local) && FileTimeToSystemTime(&local, &t));
    char want[64], out[256] = "";
    StrFormatA(want, "%04d/%02d/%02d %02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
    EXPECT_EQ(16, FormatFileCreated(path.c_str(), out));
    EXPECT_STREQ(want, out);
    EXPECT_EQ(0, FormatFileCreated(dir.file("missing.txt").c_str(), out));
    EXPECT_STREQ("", out);
}

TEST(WalkFolder, HandsOverASubfolderAfterItsFilesSkipsDotFoldersAndStopsWhenTold)
{
    ScratchDir dir("vl_startgroup_walk");
    ASSERT_TRUE(CreateDirectoryA(dir.file("sub").c_str(), nullptr) &&
                CreateDirectoryA(dir.file(".dotted").c_str(), nullptr) &&
                WriteTextFile(dir.file("sub\\inner.txt"), "x") && WriteTextFile(dir.file(".dotted\\in.txt"), "x"));
    // One name at each level, so the order is the walk's own.
    const struct {
        std::string folder;
        int depth, stopAt;
        const char* seen;
    } cases[] = {
        {dir.path(), 0, 0, "sub|"},
        {dir.path() + "\\", 1, 0, "sub\\inner.txt|sub|"},
        {dir.path(), 1, 1, "sub\\inner.txt|"},
        {dir.file("missing"), 1, 0, ""},
        {"", 1, 0, ""},
    };
    for (const auto& c : cases) {
        Walk walk{dir.path(), "", 0, c.stopAt};
        WalkFolder(c.folder.c_str(), Walk::Handler, c.depth, &walk);
        EXPECT_EQ(c.seen, walk.seen) << c.folder << " depth " << c.depth;
    }
}

class StartupFolderTest : public ::testing::Test {
protected:
    std::string user = UserStartupFolder();
    std::string common = CommonStartupFolder();
    void SetUp() override { ASSERT_TRUE(!user.empty() && !common.empty()); }
    std::string U(const char* name) const { return user + "\\" + name; }
    std::string C(const char* name) const { return common + "\\" + name; }
};

TEST_F(StartupFolderTest, EachFileIsListedOnceUnderTheTitleItsKindGives)
{
    TempFile described(U("vl described.lnk")), bare(U("vl bare.lnk")), product(U("vl product.lnk")),
        plain(C("vl plain.lnk")), overlong(U("vl_long.lnk")), exe(C("vl_copied.exe")),
        batch(U("vl_start.bat")), ini(U("desktop.ini")), noise(U("vl_noise.lnk")), cut(C("vl_cut.lnk"));
    MakeShortcut(described.path(), kFixture, "Vl Described Helper");
    MakeShortcut(bare.path(), kFixture);
    MakeShortcut(product.path(), kProductOnly);
    MakeShortcut(plain.path(), kPlain);
    MakeShortcut(overlong.path(), kFixture, std::string(300, 'D'));
    std::string bytes;
    for (int i = 0; i < 1000; ++i) bytes += static_cast<char>((i * 131 + 7) & 0xFF);
    // Windows starts nothing from a folder, even one whose name ends in .lnk.
    const std::string folder = U("vl_subfolder"), linkFolder = U("vl_folder.lnk");
    RemoveTree(folder);
    RemoveTree(linkFolder);
    ASSERT_TRUE(CopyFileA(kFixture.c_str(), exe.path().c_str(), FALSE) && WriteTextFile(batch.path(), "x") &&
                WriteTextFile(ini.path(), "[.ShellClassInfo]") && WriteTextFile(noise.path(), bytes) &&
                WriteTextFile(cut.path(), ReadTextFile(described.path()).substr(0, 76)) &&
                CreateDirectoryA(folder.c_str(), nullptr) && CreateDirectoryA(linkFolder.c_str(), nullptr) &&
                WriteTextFile(folder + "\\inner.bat", "x"));
    SetFileAttributesA(linkFolder.c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
    ClearItems();
    EXPECT_EQ(1, GetStartupGroup());
    RemoveTree(folder);
    RemoveTree(linkFolder);

    // A file listed under its own name has no entry name.
    const struct {
        const std::string& file;
        std::string title, target;
        bool entry;
    } cases[] = {
        {described.path(), "Vl Described Helper", kFixture, true},
        {bare.path(), "Startup Fixture Launcher", kFixture, true},
        {product.path(), "Startup Product Only", kProductOnly, true},
        {plain.path(), "startup_plain.exe", kPlain, true},
        {overlong.path(), std::string(kTitleLen - 1, 'D'), kFixture, true},
        {exe.path(), "Startup Fixture Launcher", exe.path(), true},
        {batch.path(), "vl_start.bat", batch.path(), false},
        {noise.path(), "", "", true},
        {cut.path(), "", "", true},
    };
    for (const auto& c : cases) {
        const Item item = OnlyWhere(c.entry ? &Item::entry : &Item::path, c.file);
        EXPECT_STRCASEEQ((c.title + "|" + c.target + "|" + (c.entry ? c.file : "") + "||200|0").c_str(),
                         (item.title + "|" + item.path + "|" + item.entry + "|" + item.detail + "|" +
                          std::to_string(item.type) + "|" + std::to_string(item.flag)).c_str());
    }
    for (const std::string& path : {ini.path(), folder, folder + "\\inner.bat", linkFolder})
        EXPECT_EQ(0u, IndexesWithPath(path).size() + IndexesWhere(&Item::entry, path).size()) << path;
}

TEST_F(StartupFolderTest, AFolderNamedByTwoRootsIsListedTwice)
{
    SavedValue machineStartup(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Startup");
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Startup", user));
    TempFile batch(U("vl_twice.bat"));
    ASSERT_TRUE(WriteTextFile(batch.path(), "x"));
    ClearItems();
    GetStartupGroup();
    EXPECT_EQ(2u, IndexesWithPath(batch.path()).size());
}
