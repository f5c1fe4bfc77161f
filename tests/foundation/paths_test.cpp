#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/testsupport.h"

namespace {

// Holds a machine value aside for a test and puts it back afterwards.
class SavedValue {
    HKEY root_;
    std::string key_;
    std::string name_;
    DWORD type_ = REG_NONE;
    std::vector<BYTE> data_;
    bool existed_ = false;

public:
    SavedValue(HKEY root, const char* key, const char* name) : root_(root), key_(key), name_(name)
    {
        DWORD size = 0;
        if (RegGetValueA(root_, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type_, nullptr, &size) ==
            ERROR_SUCCESS) {
            data_.resize(size + 1);
            existed_ = RegGetValueA(root_, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type_,
                                    data_.data(), &size) == ERROR_SUCCESS;
            data_.resize(size);
        }
    }
    ~SavedValue()
    {
        HKEY key = nullptr;
        if (RegCreateKeyA(root_, key_.c_str(), &key) != ERROR_SUCCESS) return;
        if (existed_)
            RegSetValueExA(key, name_.c_str(), 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
        else
            RegDeleteValueA(key, name_.c_str());
        RegCloseKey(key);
    }
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;
};

std::string WindowsFolder()
{
    char folder[MAX_PATH];
    GetWindowsDirectoryA(folder, MAX_PATH);
    return folder;
}

std::string SystemFolder()
{
    char folder[MAX_PATH];
    GetSystemDirectoryA(folder, MAX_PATH);
    return folder;
}

std::string Upper(std::string text)
{
    for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kHttpCommand = "SOFTWARE\\Classes\\HTTP\\shell\\open\\command";
constexpr const char* kIePaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";
constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace

TEST(ContainsNoCase, FindsPartsWithoutRegardToCase)
{
    struct Case {
        const char* text;
        const char* part;
        int expected;
    };
    const Case cases[] = {
        {"My Velmora Tool", "velmora", 1}, {"VELMORA", "Velmora", 1}, {"abc", "abcd", 0},
        {"abc", "c", 1},                   {"abc", "", 0},             {"", "a", 0},
        {nullptr, "a", 0},                 {"abc", nullptr, 0},        {"a-b", "A-B", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ContainsNoCase(c.text, c.part), c.expected) << (c.text ? c.text : "(null)");
}

TEST(ContainsNoCase, TextsOver772CharactersAreNotSearched)
{
    std::string text(771, 'x');
    text += "ab";   // 773 characters
    EXPECT_EQ(ContainsNoCase(text.c_str(), "AB"), 0);
    text.erase(0, 1);   // 772
    EXPECT_EQ(ContainsNoCase(text.c_str(), "AB"), 1);
}

TEST(PathText, SmallRoutinesFollowTheirRules)
{
    char out[MAX_PATH];
    EXPECT_EQ(GetFileNamePart("C:\\Tools\\run.exe", out), 7);
    EXPECT_STREQ(out, "run.exe");
    EXPECT_EQ(GetFileNamePart("run.exe", out), 0);
    EXPECT_EQ(GetFileNamePart("C:\\Tools\\", out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(FileNameOffset("C:\\Tools\\run.exe"), 9);
    EXPECT_EQ(FileNameOffset("run.exe"), 0);

    EXPECT_EQ(SkipLeadingBlanks("   x y ", out), 4);
    EXPECT_STREQ(out, "x y ");
    EXPECT_EQ(SkipLeadingBlanks("    ", out), 0);

    EXPECT_EQ(GetExtension("archive.tar.gz", out), 1);
    EXPECT_STREQ(out, "tar.gz");
    EXPECT_EQ(GetExtension("README", out), 0);

    RemoveQuotes("\"C:\\a b\\c.exe\" \"-x\"", out);
    EXPECT_STREQ(out, "C:\\a b\\c.exe -x");
    EqualsToColon("a=b==c", out);
    EXPECT_STREQ(out, "a:b::c");

    char text[32] = "a,b,,c";
    ReplaceChar(text, ',', ';');
    EXPECT_STREQ(text, "a;b;;c");
    ReplaceChar(text, ';', '\0');
    EXPECT_STREQ(text, "abc");
}

TEST(PathText, BackslashesAreAddedAndRemovedOnce)
{
    struct Case {
        const char* path;
        int keepRoot;
        const char* added;
        const char* removed;
    };
    const Case cases[] = {
        {"C:\\dir", 0, "C:\\dir\\", "C:\\dir"},   {"C:\\dir\\", 0, "C:\\dir\\", "C:\\dir"},
        {"C:\\", 1, "C:\\", "C:\\"},              {"C:\\", 0, "C:\\", "C:"},
        {"", 0, "\\", ""},
    };
    for (const Case& c : cases) {
        char path[MAX_PATH];
        StrCopy(path, c.path);
        AddBackslash(path);
        EXPECT_STREQ(path, c.added) << c.path;
        StrCopy(path, c.path);
        RemoveBackslash(path, c.keepRoot);
        EXPECT_STREQ(path, c.removed) << c.path;
    }
    char full[MAX_PATH];
    std::string long259(259, 'a');
    StrCopy(full, long259.c_str());
    AddBackslash(full);   // no room left for the backslash and the zero
    EXPECT_EQ(strlen(full), 259u);
}

TEST(FormatThousands, GroupsDigitsByThree)
{
    struct Case {
        long long number;
        const char* text;
    };
    const Case cases[] = {{0, "0"},           {999, "999"},           {1000, "1,000"},
                          {1234567, "1,234,567"}, {-1234, "-1,234"}, {100000, "100,000"},
                          {9223372036854775807LL, "9,223,372,036,854,775,807"}};
    for (const Case& c : cases) {
        char out[40];
        FormatThousands(out, sizeof(out), c.number);
        EXPECT_STREQ(out, c.text);
    }
    char small[4] = "xyz";
    FormatThousands(small, -1, 1234);
    EXPECT_STREQ(small, "xyz");
    FormatThousands(small, sizeof(small), 1234567);
    EXPECT_STREQ(small, "1,2");
}

TEST(EncodeForUrl, EscapesBlanksAndAmpersands)
{
    char out[1024];
    EncodeForUrl(out, "Tom & Jerry's tool.exe");
    EXPECT_STREQ(out, "Tom%20+%20Jerry's%20tool.exe");

    std::string blanks(1000, ' ');
    char guarded[1030];
    memset(guarded, '#', sizeof(guarded));
    EncodeForUrl(guarded, blanks.c_str());
    size_t n = strlen(guarded);
    EXPECT_LT(n, 1024u);
    EXPECT_EQ(n % 3, 0u) << "an escape was split";
    EXPECT_EQ(guarded[1024], '#');
}

TEST(NormalizeProgramPath, GivesTheUpperCaseProgramFile)
{
    struct Case {
        const char* command;
        const char* expected;
    };
    const Case cases[] = {
        {"\"C:\\Program Files\\Tool\\tool.exe\" -min", "C:\\PROGRAM FILES\\TOOL\\TOOL.EXE"},
        {"rundll32.exe shell32.dll,Control", "RUNDLL32.EXE"},
        {"c:\\dir.v2\\app.dll,Entry", "C:\\DIR.V2\\APP.DLL"},
        {"C:\\odd\\name.", "C:\\ODD\\NAME."},
        {"C:\\x\\setup.cpl", "C:\\X\\SETUP.CPL"},
        {"cmd /c start x.exe", "CMD /C START X.EXE"},
        {"\"D:\\a.exe\"", "D:\\A.EXE"},
        {"", ""},
    };
    for (const Case& c : cases) {
        char out[MAX_PATH];
        EXPECT_EQ(NormalizeProgramPath(c.command, out), static_cast<int>(strlen(c.expected)));
        EXPECT_STREQ(out, c.expected) << c.command;
    }
}

TEST(NormalizeProgramPath, SubstitutesSystemRoot)
{
    char out[MAX_PATH];
    NormalizeProgramPath("\\SystemRoot\\System32\\svchost.exe -k netsvcs", out);
    EXPECT_EQ(out, Upper(WindowsFolder()) + "\\SYSTEM32\\SVCHOST.EXE");
    // The bare word is shorter than what is dropped: nothing is read past it.
    NormalizeProgramPath("SystemRoot", out);
    EXPECT_EQ(out, Upper(WindowsFolder()));
}

TEST(NormalizeProgramPath, SubstitutesProgramFilesWithItsDefault)
{
    SavedValue saved(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir");
    char out[MAX_PATH];
    ASSERT_EQ(SetRegValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", "D:\\Apps"), 1);
    NormalizeProgramPath("%ProgramFiles%\\App\\app.exe /s", out);
    EXPECT_STREQ(out, "D:\\APPS\\APP\\APP.EXE");
    DeleteRegValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir");
    NormalizeProgramPath("%PROGRAMFILES%\\App\\app.exe /s", out);
    EXPECT_STREQ(out, "C:\\PROGRAM FILES\\APP\\APP.EXE");
}

TEST(NormalizeProgramPath, OverlongCommandIsBounded)
{
    std::string command = "C:\\" + std::string(3000, 'd') + "\\x.exe";
    char out[MAX_PATH + 8];
    memset(out, '#', sizeof(out));
    NormalizeProgramPath(command.c_str(), out);
    EXPECT_LT(strlen(out), static_cast<size_t>(MAX_PATH));
    EXPECT_EQ(out[MAX_PATH], '#');
}

TEST(SplitProgramAndArguments, SeparatesProgramFromArguments)
{
    char program[MAX_PATH];
    char arguments[MAX_PATH];
    EXPECT_EQ(SplitProgramAndArguments("rundll32.exe shell32.dll,Control_RunDLL", program, arguments), 12);
    EXPECT_STREQ(program, "RUNDLL32.EXE");
    EXPECT_STREQ(arguments, "shell32.dll,Control_RunDLL");

    SplitProgramAndArguments("C:\\WINDOWS\\system32\\desk.cpl,,1", program, arguments);
    EXPECT_STREQ(program, "C:\\WINDOWS\\SYSTEM32\\DESK.CPL");
    EXPECT_STREQ(arguments, ",,1");

    SplitProgramAndArguments("\"C:\\Tools\\tool.exe\"", program, arguments);
    EXPECT_STREQ(program, "C:\\TOOLS\\TOOL.EXE");
    EXPECT_STREQ(arguments, "");

    SplitProgramAndArguments("\"C:\\Tools\\tool.exe\" -a \"b c\"", program, arguments);
    EXPECT_STREQ(arguments, "-a \"b c\"");
}

TEST(SplitProgramAndArguments, DeliversTheLongFormOfAShortName)
{
    ScratchDir dir("vl_split_long");
    std::string folder = dir.file("Long Folder Name");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::string file = folder + "\\Some Long Program.exe";
    ASSERT_TRUE(WriteTextFile(file, "x"));
    char shortPath[MAX_PATH];
    ASSERT_GT(GetShortPathNameA(file.c_str(), shortPath, MAX_PATH), 0u);

    std::string command = std::string(shortPath) + " /quiet";
    char program[MAX_PATH];
    char arguments[MAX_PATH];
    SplitProgramAndArguments(command.c_str(), program, arguments);
    EXPECT_EQ(lstrcmpiA(program, file.c_str()), 0) << program;
    EXPECT_STREQ(arguments, "/quiet");
}

TEST(GetLongPath, ExpandsShortNamesAndKeepsUnknownPaths)
{
    ScratchDir dir("vl_long_path");
    std::string file = dir.file("A Rather Long File Name.txt");
    ASSERT_TRUE(WriteTextFile(file, "x"));
    char shortPath[MAX_PATH];
    ASSERT_GT(GetShortPathNameA(file.c_str(), shortPath, MAX_PATH), 0u);
    char out[MAX_PATH];
    GetLongPath(out, shortPath);
    EXPECT_EQ(lstrcmpiA(out, file.c_str()), 0) << out;

    GetLongPath(out, "C:\\no\\such\\FILE~1.TXT");
    EXPECT_STREQ(out, "C:\\no\\such\\FILE~1.TXT");

    char same[MAX_PATH];
    StrCopy(same, shortPath);
    GetLongPath(same, same);   // in place
    EXPECT_EQ(lstrcmpiA(same, file.c_str()), 0);
}

TEST(FileExistsInPath, SearchesWindowsThenSystemFolder)
{
    char path[MAX_PATH] = "notepad.exe";
    EXPECT_EQ(FileExistsInPath(path), 1);
    EXPECT_STREQ(path, "notepad.exe");

    ASSERT_EQ(GetFileAttributesA((WindowsFolder() + "\\kernel32.dll").c_str()), INVALID_FILE_ATTRIBUTES);
    StrCopy(path, "kernel32.dll");
    EXPECT_EQ(FileExistsInPath(path), 1);
    char expected[MAX_PATH];
    GetShortPathNameA((SystemFolder() + "\\kernel32.dll").c_str(), expected, MAX_PATH);
    EXPECT_STREQ(path, expected);

    StrCopy(path, "no_such_program_here.exe");
    EXPECT_EQ(FileExistsInPath(path), 0);
    EXPECT_STREQ(path, "no_such_program_here.exe");
    path[0] = '\0';
    EXPECT_EQ(FileExistsInPath(path), 0);
}

TEST(FileExistsInPath, FindsFullPathsAndSkipsLongBareNames)
{
    ScratchDir dir("vl_exists");
    std::string file = dir.file("present file.exe");
    ASSERT_TRUE(WriteTextFile(file, "x"));
    char path[MAX_PATH];
    StrCopy(path, file.c_str());
    EXPECT_EQ(FileExistsInPath(path), 1);
    EXPECT_EQ(path, file);
    StrCopy(path, "kernel32.dll_but_far_too_long_name");   // 32 characters or more
    EXPECT_EQ(FileExistsInPath(path), 0);
}

TEST(GetFileFolder, CutsAtTheLastBackslashOrSearchesTheSystem)
{
    char out[MAX_PATH];
    EXPECT_EQ(GetFileFolder("C:\\x.exe", out), 3);
    EXPECT_STREQ(out, "C:\\");
    EXPECT_EQ(GetFileFolder("C:\\dir\\sub\\x.exe", out), 10);
    EXPECT_STREQ(out, "C:\\dir\\sub");
    GetFileFolder("notepad.exe", out);
    EXPECT_EQ(out, WindowsFolder());
    GetFileFolder("kernel32.dll", out);
    EXPECT_EQ(out, SystemFolder());
    StrCopy(out, "untouched");
    EXPECT_EQ(GetFileFolder("no_such_program_here.exe", out), 0);
    EXPECT_STREQ(out, "untouched");
}

TEST(GetDataFolder, CreatesVelmoraAndVaultUnderAppData)
{
    ScratchDir dir("vl_appdata");
    SavedValue saved(HKEY_CURRENT_USER, kShellFolders, "AppData");
    ASSERT_EQ(SetRegValue(HKEY_CURRENT_USER, kShellFolders, "AppData", dir.path().c_str()), 1);
    char out[MAX_PATH];
    EXPECT_EQ(GetDataFolder(out), static_cast<int>(dir.path().size()));
    EXPECT_EQ(out, dir.file("Velmora"));
    DWORD attributes = GetFileAttributesA(dir.file("Velmora\\vault").c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetDataFolder(out), static_cast<int>(dir.path().size()));   // existing folders are fine
}

TEST(GetDataFolder, FallsBackToTheProgramFolder)
{
    SavedValue saved(HKEY_CURRENT_USER, kShellFolders, "AppData");
    char folder[MAX_PATH];
    int length = GetProgramFolder(folder);
    ASSERT_GT(length, 0);
    char out[MAX_PATH];
    DeleteRegValue(HKEY_CURRENT_USER, kShellFolders, "AppData");
    EXPECT_EQ(GetDataFolder(out), length);
    EXPECT_STREQ(out, folder);
    // A folder that cannot be created falls back as well.
    SetRegValue(HKEY_CURRENT_USER, kShellFolders, "AppData", "Q:\\no\\such\\drive");
    EXPECT_EQ(GetDataFolder(out), length);
    EXPECT_STREQ(out, folder);
}

TEST(ProgramFolder, IsTheFolderOfTheRunningProgram)
{
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    char folder[MAX_PATH];
    int length = GetProgramFolder(folder);
    EXPECT_EQ(length, FileNameOffset(module) - 1);
    EXPECT_EQ(std::string(module, static_cast<size_t>(length)), folder);
}

TEST(DeleteFileForced, DeletesReadOnlyFiles)
{
    ScratchDir dir("vl_delete_forced");
    std::string file = dir.file("locked.txt");
    ASSERT_TRUE(WriteTextFile(file, "x"));
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(DeleteFileForced(file.c_str()), 1);
    EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(DeleteFileForced(file.c_str()), 0);
}

TEST(Browser, DefaultBrowserIsCutBeforeItsOptions)
{
    SavedValue command(HKEY_LOCAL_MACHINE, kHttpCommand, "");
    SavedValue iePath(HKEY_LOCAL_MACHINE, kIePaths, "Path");
    SetMessageLanguageId(9);
    struct Case {
        const char* command;
        const char* browser;
        int kind;
    };
    const Case cases[] = {
        {"\"C:\\Apps\\firefox.exe\" -url \"%1\"", "C:\\Apps\\firefox.exe", 3},
        {"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" -url \"%1\"",
         "C:\\Program Files\\Mozilla Firefox\\firefox.exe", 6},
        {"C:\\Apps\\avant.exe %1", "C:\\Apps\\avant.exe %", 5},
        {"C:\\Apps\\Netscp\\netscp6.exe -url %1", "C:\\Apps\\Netscp\\netscp6.exe", 2},
        {"C:\\Apps\\maxthon.exe -x", "C:\\Apps\\maxthon.exe", 4},
        {"C:\\Apps\\other.exe -x", "C:\\Apps\\other.exe", 1},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(SetRegValue(HKEY_LOCAL_MACHINE, kHttpCommand, "", c.command), 1);
        char out[MAX_PATH];
        EXPECT_EQ(GetDefaultBrowser(out), static_cast<int>(strlen(c.browser)));
        EXPECT_STREQ(out, c.browser);
        EXPECT_EQ(GetBrowserKind(), c.kind) << c.command;
    }
}

TEST(Browser, EmptyCommandFallsBackToInternetExplorer)
{
    SavedValue command(HKEY_LOCAL_MACHINE, kHttpCommand, "");
    SavedValue iePath(HKEY_LOCAL_MACHINE, kIePaths, "Path");
    SetMessageLanguageId(9);
    ASSERT_EQ(SetRegValue(HKEY_LOCAL_MACHINE, kIePaths, "Path", "C:\\IE Folder;"), 1);
    ASSERT_EQ(SetRegValue(HKEY_LOCAL_MACHINE, kHttpCommand, "", "-nohome"), 1);
    char out[MAX_PATH];
    GetDefaultBrowser(out);
    EXPECT_STREQ(out, "C:\\IE Folder\\IExplore.exe");
    EXPECT_EQ(GetBrowserKind(), 1);
    EXPECT_EQ(GetIePath(out), static_cast<int>(strlen("C:\\IE Folder\\iexplore.exe")));
    EXPECT_STREQ(out, "C:\\IE Folder\\iexplore.exe");

    DeleteRegValue(HKEY_LOCAL_MACHINE, kIePaths, "Path");
    EXPECT_EQ(GetIePath(out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(GetDefaultBrowser(out), 0);
}

TEST(FindAolWindow, FindsTheClientByClassAndTitle)
{
    EXPECT_EQ(FindAolWindow(), nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "AOL Frame25";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND other = CreateWindowA("AOL Frame25", "Not AOL", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    EXPECT_EQ(FindAolWindow(), nullptr);
    HWND aol = CreateWindowA("AOL Frame25", "AOL Canada", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(aol, nullptr);
    EXPECT_EQ(FindAolWindow(), aol);
    DestroyWindow(aol);
    DestroyWindow(other);
    UnregisterClassA("AOL Frame25", wc.hInstance);
}
