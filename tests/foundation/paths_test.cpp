#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/testsupport.h"

namespace {

// Holds a text value aside for a test and puts it back afterwards.
struct SavedText {
    HKEY root;
    const char* key;
    const char* name;
    char text[MAX_PATH] = "";
    SavedText(HKEY r, const char* k, const char* n) : root(r), key(k), name(n) { GetRegValue(r, k, n, text); }
    ~SavedText() { text[0] ? SetRegValue(root, key, name, text) : DeleteRegValue(root, key, name); }
};

std::string Folder(UINT(WINAPI* get)(LPSTR, UINT))
{
    char folder[MAX_PATH];
    get(folder, MAX_PATH);
    return folder;
}

constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace

TEST(ContainsNoCase, FindsPartsWithoutRegardToCaseInTextsUpTo772)
{
    EXPECT_EQ(ContainsNoCase("My Velmora Tool", "velmora"), 1);
    EXPECT_EQ(ContainsNoCase("abc", "abcd"), 0);
    EXPECT_EQ(ContainsNoCase("abc", ""), 0);
    EXPECT_EQ(ContainsNoCase(nullptr, "a"), 0);
    EXPECT_EQ(ContainsNoCase("abc", nullptr), 0);
    std::string text = std::string(771, 'x') + "ab";   // 773 characters
    EXPECT_EQ(ContainsNoCase(text.c_str(), "AB"), 0);
    text.erase(0, 1);
    EXPECT_EQ(ContainsNoCase(text.c_str(), "AB"), 1);
}

TEST(PathText, BoundedRoutinesStayWithinTheirBuffers)
{
    char full[MAX_PATH];
    StrCopy(full, std::string(259, 'a').c_str());
    AddBackslash(full);   // no room left for the backslash and the zero
    EXPECT_EQ(strlen(full), 259u);

    char small[4] = "xyz";
    FormatThousands(small, -1, 1234);
    EXPECT_STREQ(small, "xyz");
    FormatThousands(small, sizeof(small), 1234567);
    EXPECT_STREQ(small, "1,2");

    char url[1030];
    EncodeForUrl(url, "Tom & Jerry's tool.exe");
    EXPECT_STREQ(url, "Tom%20+%20Jerry's%20tool.exe");
    memset(url, '#', sizeof(url));
    EncodeForUrl(url, std::string(1000, ' ').c_str());
    EXPECT_LT(strlen(url), 1024u);
    EXPECT_EQ(strlen(url) % 3, 0u) << "an escape was split";
    EXPECT_EQ(url[1024], '#');
}

TEST(NormalizeProgramPath, GivesTheUpperCaseProgramFile)
{
    SavedText saved(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir");
    ASSERT_EQ(SetRegValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", "D:\\Apps"), 1);
    std::string windows = Folder(GetWindowsDirectoryA);
    for (char& c : windows) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    const std::string systemRoot = windows + "\\SYSTEM32\\SVCHOST.EXE";
    const struct {
        const char* command;
        const char* expected;
    } cases[] = {
        {"\"C:\\Program Files\\Tool\\tool.exe\" -min", "C:\\PROGRAM FILES\\TOOL\\TOOL.EXE"},
        {"rundll32.exe shell32.dll,Control", "RUNDLL32.EXE"},
        {"c:\\dir.v2\\app.dll,Entry", "C:\\DIR.V2\\APP.DLL"},
        {"cmd /c start x.exe", "CMD /C START X.EXE"},
        {"\\SystemRoot\\System32\\svchost.exe -k netsvcs", systemRoot.c_str()},
        {"SystemRoot", windows.c_str()},   // shorter than what is dropped
        {"%ProgramFiles%\\App\\app.exe /s", "D:\\APPS\\APP\\APP.EXE"},
        {"", ""},
    };
    char out[MAX_PATH];
    for (const auto& c : cases) {
        EXPECT_EQ(NormalizeProgramPath(c.command, out), static_cast<int>(strlen(c.expected)));
        EXPECT_STREQ(out, c.expected) << c.command;
    }
    DeleteRegValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir");
    NormalizeProgramPath("%PROGRAMFILES%\\App\\app.exe /s", out);
    EXPECT_STREQ(out, "C:\\PROGRAM FILES\\APP\\APP.EXE");

    std::string command = "C:\\" + std::string(3000, 'd') + "\\x.exe";
    char bounded[MAX_PATH + 8];
    memset(bounded, '#', sizeof(bounded));
    NormalizeProgramPath(command.c_str(), bounded);
    EXPECT_LT(strlen(bounded), static_cast<size_t>(MAX_PATH));
    EXPECT_EQ(bounded[MAX_PATH], '#');
}

TEST(ProgramFile, ShortNamesComeBackInLongFormAndReadOnlyFilesAreDeleted)
{
    char program[MAX_PATH], arguments[MAX_PATH];
    SplitProgramAndArguments("\"C:\\Tools\\tool.exe\" -a \"b c\"", program, arguments);
    EXPECT_STREQ(program, "C:\\TOOLS\\TOOL.EXE");
    EXPECT_STREQ(arguments, "-a \"b c\"");

    ScratchDir dir("vl_split_long");
    const std::string file = dir.file("Some Long Program.exe");
    ASSERT_TRUE(WriteTextFile(file, "x"));
    char shortPath[MAX_PATH];
    ASSERT_GT(GetShortPathNameA(file.c_str(), shortPath, MAX_PATH), 0u);
    SplitProgramAndArguments((std::string(shortPath) + " /quiet").c_str(), program, arguments);
    EXPECT_EQ(lstrcmpiA(program, file.c_str()), 0) << program;
    EXPECT_STREQ(arguments, "/quiet");
    GetLongPath(shortPath, shortPath);   // in place
    EXPECT_EQ(lstrcmpiA(shortPath, file.c_str()), 0) << shortPath;

    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(DeleteFileForced(file.c_str()), 1);
    EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(DeleteFileForced(file.c_str()), 0);
}

TEST(FileExistsInPath, SearchesWindowsThenSystemFolder)
{
    char path[MAX_PATH] = "notepad.exe";
    EXPECT_EQ(FileExistsInPath(path), 1);
    EXPECT_STREQ(path, "notepad.exe");

    ASSERT_EQ(GetFileAttributesA((Folder(GetWindowsDirectoryA) + "\\kernel32.dll").c_str()),
              INVALID_FILE_ATTRIBUTES);
    StrCopy(path, "kernel32.dll");
    EXPECT_EQ(FileExistsInPath(path), 1);
    char expected[MAX_PATH];
    GetShortPathNameA((Folder(GetSystemDirectoryA) + "\\kernel32.dll").c_str(), expected, MAX_PATH);
    EXPECT_STREQ(path, expected);

    StrCopy(path, "no_such_program_here.exe");
    EXPECT_EQ(FileExistsInPath(path), 0);
    EXPECT_STREQ(path, "no_such_program_here.exe");
    StrCopy(path, "kernel32.dll_but_far_too_long_name");   // 32 characters or more
    EXPECT_EQ(FileExistsInPath(path), 0);
}

TEST(GetDataFolder, CreatesVelmoraAndVaultOrFallsBackToTheProgramFolder)
{
    ScratchDir dir("vl_appdata");
    SavedText saved(HKEY_CURRENT_USER, kShellFolders, "AppData");
    ASSERT_EQ(SetRegValue(HKEY_CURRENT_USER, kShellFolders, "AppData", dir.path().c_str()), 1);
    char out[MAX_PATH];
    EXPECT_EQ(GetDataFolder(out), static_cast<int>(dir.path().size()));
    EXPECT_EQ(out, dir.file("Velmora"));
    EXPECT_NE(GetFileAttributesA(dir.file("Velmora\\vault").c_str()), INVALID_FILE_ATTRIBUTES);

    char folder[MAX_PATH];
    int length = GetProgramFolder(folder);
    SetRegValue(HKEY_CURRENT_USER, kShellFolders, "AppData", "Q:\\no\\such\\drive");
    EXPECT_EQ(GetDataFolder(out), length);
    EXPECT_STREQ(out, folder);
    DeleteRegValue(HKEY_CURRENT_USER, kShellFolders, "AppData");
    EXPECT_EQ(GetDataFolder(out), length);
    EXPECT_STREQ(out, folder);
}
