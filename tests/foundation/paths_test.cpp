#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/catalogue/startuptest.h"

using startuptest::SavedValue;

TEST(BoundedText, CopyFormatAndAppendCutAtTheCapacityAndRefuseWhatHasNoRoom)
{
    const struct { const char* source; int capacity; const char* expected; int32_t result; } cases[] = {
        {"abcdef", 6, "abcde", VL_E_CUT}, {"abcdef", 7, "abcdef", 0}, {"a", 1, "", VL_E_CUT}};
    for (const auto& c : cases) {
        char copy[16], format[16];
        memset(copy, '#', sizeof(copy));
        memset(format, '#', sizeof(format));
        EXPECT_EQ(StrCopy(copy, c.capacity, c.source), c.result) << c.capacity;
        EXPECT_EQ(StrFormat(format, c.capacity, "%s", c.source), c.result) << c.capacity;
        EXPECT_EQ(std::string(copy) + copy[c.capacity], std::string(c.expected) + '#');
        EXPECT_EQ(std::string(format) + format[c.capacity], std::string(c.expected) + '#');
    }
    char buffer[8] = "abc", unterminated[4] = {'z', 'z', 'z', 'z'};
    EXPECT_EQ(StrCopy(buffer, 0, "x"), VL_E_INVALIDARG);
    EXPECT_EQ(StrFormat(buffer, -5, "%s", "x"), VL_E_INVALIDARG);
    EXPECT_EQ(StrAppend(unterminated, "x"), VL_E_INVALIDARG);
    EXPECT_EQ(std::string(unterminated, 4), "zzzz");
    EXPECT_EQ(StrAppend(buffer, "de"), 0);
    EXPECT_EQ(StrAppend(buffer, "fghij"), VL_E_CUT);
    EXPECT_STREQ(buffer, "abcdefg");   // the refusals above wrote nothing
}

TEST(PathText, SearchesIgnoreCaseAndBoundedRoutinesStayWithinTheirBuffers)
{
    EXPECT_EQ(ContainsNoCase("My Velmora Tool", "velmora"), 1);
    EXPECT_EQ(ContainsNoCase("abc", "abcd") + ContainsNoCase("abc", ""), 0);
    const std::string text = std::string(771, 'x') + "ab";   // only texts up to 772 are searched
    EXPECT_EQ(ContainsNoCase(text.c_str(), "AB"), 0);
    EXPECT_EQ(ContainsNoCase(text.c_str() + 1, "AB"), 1);
    char full[MAX_PATH];
    StrCopy(full, std::string(259, 'a').c_str());
    AddBackslash(full);   // no room left for the backslash and the zero
    EXPECT_EQ(strlen(full), 259u);
}

TEST(NormalizeProgramPath, GivesTheUpperCaseProgramFile)
{
    constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    SavedValue saved(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir");
    ASSERT_EQ(SetRegValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", "D:\\Apps"), 1);
    char windows[MAX_PATH], out[MAX_PATH + 8];
    GetWindowsDirectoryA(windows, MAX_PATH);
    CharUpperA(windows);
    const std::string svchost = std::string(windows) + "\\SYSTEM32\\SVCHOST.EXE";
    const struct { const char* command; const char* expected; } cases[] = {
        {"\"C:\\Program Files\\Tool\\tool.exe\" -min", "C:\\PROGRAM FILES\\TOOL\\TOOL.EXE"},
        {"rundll32.exe shell32.dll,Control", "RUNDLL32.EXE"},
        {"c:\\dir.v2\\app.dll,Entry", "C:\\DIR.V2\\APP.DLL"},
        {"\\SystemRoot\\System32\\svchost.exe -k netsvcs", svchost.c_str()},
        {"SystemRoot", windows},   // shorter than what is dropped
        {"%ProgramFiles%\\App\\app.exe /s", "D:\\APPS\\APP\\APP.EXE"}};
    for (const auto& c : cases) {
        EXPECT_EQ(NormalizeProgramPath(c.command, out), static_cast<int>(strlen(c.expected)));
        EXPECT_STREQ(out, c.expected) << c.command;
    }
    DeleteRegValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir");
    NormalizeProgramPath("%PROGRAMFILES%\\App\\app.exe /s", out);
    EXPECT_STREQ(out, "C:\\PROGRAM FILES\\APP\\APP.EXE");
    memset(out, '#', sizeof(out));
    NormalizeProgramPath(("C:\\" + std::string(3000, 'd') + "\\x.exe").c_str(), out);
    EXPECT_EQ(strlen(out), MAX_PATH - 1u);
}

TEST(ProgramFile, ShortNamesComeBackInLongFormAndReadOnlyFilesAreDeleted)
{
    char program[MAX_PATH], arguments[MAX_PATH], shortPath[MAX_PATH];
    SplitProgramAndArguments("\"C:\\Tools\\tool.exe\" -a \"b c\"", program, arguments);
    EXPECT_EQ(std::string(program) + "|" + arguments, "C:\\TOOLS\\TOOL.EXE|-a \"b c\"");
    ScratchDir dir("vl_split_long");
    const std::string file = dir.file("Some Long Program.exe");
    ASSERT_TRUE(WriteTextFile(file, "x"));
    ASSERT_GT(GetShortPathNameA(file.c_str(), shortPath, MAX_PATH), 0u);
    SplitProgramAndArguments((std::string(shortPath) + " /quiet").c_str(), program, arguments);
    EXPECT_EQ(lstrcmpiA(program, file.c_str()), 0) << program;
    EXPECT_STREQ(arguments, "/quiet");
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(DeleteFileForced(file.c_str()), 1);
    EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(GetDataFolder, CreatesVelmoraAndVaultOrFallsBackToTheProgramFolder)
{
    constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    ScratchDir dir("vl_appdata");
    SavedValue saved(HKEY_CURRENT_USER, kShellFolders, "AppData");
    ASSERT_EQ(SetRegValue(HKEY_CURRENT_USER, kShellFolders, "AppData", dir.path().c_str()), 1);
    char out[MAX_PATH], folder[MAX_PATH];
    EXPECT_EQ(GetDataFolder(out), static_cast<int>(dir.path().size()));
    EXPECT_EQ(out, dir.file("Velmora"));
    EXPECT_NE(GetFileAttributesA(dir.file("Velmora\\vault").c_str()), INVALID_FILE_ATTRIBUTES);
    const int length = GetProgramFolder(folder);
    SetRegValue(HKEY_CURRENT_USER, kShellFolders, "AppData", "Q:\\no\\such\\drive");
    EXPECT_EQ(GetDataFolder(out), length);
    DeleteRegValue(HKEY_CURRENT_USER, kShellFolders, "AppData");
    EXPECT_EQ(GetDataFolder(out), length);
    EXPECT_STREQ(out, folder);
}

TEST(Version, ReadsTheFiveStringsAndRefusesDamagedOrOversizedResources)
{
    const struct { const char* file; int result; const char* product; const char* company; const char* version; } cases[] = {
        {"fixture_app.exe", 1, "Fixture App", "Fixture Works", "3.1.4"},
        {"ver_os.dll", 1, "Fixture Shell Library", "Fixture Systems", "6.1.7601"},   // "Operating System" product
        {"ver_longcompany.dll", 1, "Long Company Product", "", "1.2"},   // 200-character CompanyName
        {"ver_noproduct.dll", 0, "", "", ""},   // translation without ProductName
        {"ver_big.dll", 0, "", "", ""},         // resource over the size limit
        {"missing.exe", 0, "", "", ""}};
    for (const auto& c : cases) {
        VersionRecord record;
        for (auto& field : record.field) StrCopy(field, "stale");
        EXPECT_EQ(GetVersionStrings(FixturePath(c.file).c_str(), &record), c.result) << c.file;
        EXPECT_STREQ(record.field[kProductName], c.product) << c.file;
        EXPECT_STREQ(record.field[kCompanyName], c.company) << c.file;
        EXPECT_STREQ(record.field[kProductVersion], c.version) << c.file;
    }
}
