// Startup folder walk, the per-file handler and the shell link routines,
// against real shortcut files in the real Startup folders.
#include <gtest/gtest.h>

#include <shlobj.h>

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

}   // namespace

// Target and description are read through the Startup folder listing below.
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
                     (std::string(arguments) + "|" + folder + "|" + icon + "|" + std::to_string(index))
                         .c_str());
}

TEST(ShellLink, MissingOrOverlongShortcutFailsWithEmptyOutputs)
{
    const std::string longPath = "C:\\" + std::string(300, 'a') + ".lnk";
    for (const std::string& link : {std::string("C:\\vl_no_such_folder\\none.lnk"), longPath}) {
        char target[MAX_PATH] = "stale", description[MAX_PATH] = "stale";
        EXPECT_TRUE(FAILED(ResolveShortcut(link.c_str(), target, description)));
        EXPECT_EQ("", std::string(target) + description) << link;
    }
    EXPECT_TRUE(FAILED(CreateShortcut(longPath.c_str(), kFixture.c_str(), "", "", "", "", 0)));
}

TEST(WalkFolder, HandsOverASubfolderAfterItsFilesSkipsDotFoldersAndStopsWhenTold)
{
    ScratchDir dir("vl_startgroup_walk");
    ASSERT_TRUE(CreateDirectoryA(dir.file("sub").c_str(), nullptr) &&
                CreateDirectoryA(dir.file(".dotted").c_str(), nullptr) &&
                WriteTextFile(dir.file("sub\\inner.txt"), "x") &&
                WriteTextFile(dir.file(".dotted\\in.txt"), "x"));
    // One name at each level, so the order is the walk's own. The handler
    // notes the names below `base` and tells the walk to stop at the `stopAt`th.
    struct Walk { std::string base, seen; int count = 0, stopAt = 0; };
    struct Row { std::string folder; int depth, stopAt; const char* seen; };
    const Row cases[] = {
        {dir.path(), 0, 0, "sub|"},
        {dir.path() + "\\", 1, 0, "sub\\inner.txt|sub|"},
        {dir.path(), 1, 1, "sub\\inner.txt|"},
        {dir.file("missing"), 1, 0, ""},
        {"", 1, 0, ""},
    };
    for (const auto& c : cases) {
        Walk walk{dir.path(), "", 0, c.stopAt};
        WalkFolder(c.folder.c_str(), [](const char* path, const WIN32_FIND_DATAA*, void* context) {
            Walk* walk = static_cast<Walk*>(context);
            walk->seen += std::string(path).substr(walk->base.size() + 1) + "|";
            return ++walk->count == walk->stopAt ? 1 : 0;
        }, c.depth, &walk);
        EXPECT_EQ(c.seen, walk.seen) << c.folder << " depth " << c.depth;
    }
}

TEST(StartupFolder, EachFileIsListedUnderTheTitleItsKindGivesOncePerRootNamingItsFolder)
{
    const std::string user = UserStartupFolder(), common = CommonStartupFolder();
    ASSERT_TRUE(!user.empty() && !common.empty());
    const auto U = [&](const char* name) { return user + "\\" + name; };
    const auto C = [&](const char* name) { return common + "\\" + name; };
    // The machine's "Startup" value is read too, and may name the user's folder.
    SavedValue machineStartup(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Startup");
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Startup", user));
    TempFile described(C("vl described.lnk")), bare(C("vl bare.lnk")), product(C("vl product.lnk")),
        plain(C("vl plain.lnk")), overlong(C("vl_long.lnk")), exe(C("vl_copied.exe")),
        batch(U("vl_start.bat")), ini(U("desktop.ini")), noise(C("vl_noise.lnk")), cut(C("vl_cut.lnk"));
    MakeShortcut(described.path(), kFixture, "Vl Described Helper");
    MakeShortcut(bare.path(), kFixture);
    MakeShortcut(product.path(), kProductOnly);
    MakeShortcut(plain.path(), kPlain);
    MakeShortcut(overlong.path(), kFixture, std::string(300, 'D'));
    // Windows starts nothing from a folder; a hidden one (Wine keeps no read-only
    // mark on folders) gets past the walk to the file handler.
    const std::string folder = U("vl_subfolder"), linkFolder = C("vl_folder.lnk");
    for (const std::string& made : {folder, linkFolder}) RemoveTree(made);
    ASSERT_TRUE(CopyFileA(kFixture.c_str(), exe.path().c_str(), FALSE) &&
                WriteTextFile(batch.path(), "x") && WriteTextFile(ini.path(), "[.ShellClassInfo]") &&
                WriteTextFile(noise.path(), std::string(1000, '\x9b')) &&
                WriteTextFile(cut.path(), ReadTextFile(described.path()).substr(0, 76)) &&
                CreateDirectoryA(folder.c_str(), nullptr) && CreateDirectoryA(linkFolder.c_str(), nullptr) &&
                WriteTextFile(folder + "\\inner.bat", "x"));
    SetFileAttributesA(linkFolder.c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    ClearItems();
    EXPECT_EQ(1, GetStartupGroup());
    for (const std::string& made : {folder, linkFolder}) RemoveTree(made);

    // A file listed under its own name has no entry name.
    struct Row { std::string file, title, target; bool entry; size_t times; };
    const Row cases[] = {
        {described.path(), "Vl Described Helper", kFixture, true, 1},
        {bare.path(), "Startup Fixture Launcher", kFixture, true, 1},
        {product.path(), "Startup Product Only", kProductOnly, true, 1},
        {plain.path(), "startup_plain.exe", kPlain, true, 1},
        {overlong.path(), std::string(kTitleLen - 1, 'D'), kFixture, true, 1},
        {exe.path(), "Startup Fixture Launcher", exe.path(), true, 1},
        {batch.path(), "vl_start.bat", batch.path(), false, 2},
        {noise.path(), "", "", true, 1},
        {cut.path(), "", "", true, 1},
    };
    for (const auto& c : cases) {
        const std::vector<int> found = IndexesWhere(c.entry ? &Item::entry : &Item::path, c.file);
        ASSERT_EQ(c.times, found.size()) << c.file;
        const Item item = ReadItem(found[0]);
        EXPECT_STRCASEEQ((c.title + "|" + c.target + "|" + (c.entry ? c.file : "") + "||200|0").c_str(),
                         (item.title + "|" + item.path + "|" + item.entry + "|" + item.detail + "|" +
                          std::to_string(item.type) + "|" + std::to_string(item.flag)).c_str());
    }
    for (const std::string& path : {ini.path(), folder, folder + "\\inner.bat", linkFolder})
        EXPECT_EQ(0u, IndexesWithPath(path).size() + IndexesWhere(&Item::entry, path).size()) << path;
}
