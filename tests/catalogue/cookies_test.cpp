#include <gtest/gtest.h>
#include <string>

#include "catalogue/catalogue.h"
#include "tests/catalogue/startuptest.h"

using namespace startuptest;
namespace {
constexpr const char* kUserShells = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
void SetNut(const std::string& name, const std::string& v) { SetText(HKEY_CURRENT_USER, kNutsKey, name.c_str(), v); }
bool HasNut(const std::string& name) { return Reg(HKEY_CURRENT_USER, kNutsKey, name) != kMissing; }
std::string CookieLine(std::string domain, const std::string& name, const std::string& value, bool secure = false)
{
    return domain + "\tTRUE\t/\t" + (secure ? "TRUE" : "FALSE") + "\t1900000000\t" + name + "\t" + value;
}
DWORD WINAPI LoadNutsThread(void*) { return static_cast<DWORD>(LoadNuts()); }

// Every test starts from an empty nut list; the values these read are put back.
class CookieTest : public ::testing::Test {
protected:
    ScratchKey nuts_{HKEY_CURRENT_USER, kNutsKey};
    SavedValue saved_[7] = {
        {HKEY_CURRENT_USER, kVelmoraKey, "CookieFolder"}, {HKEY_CURRENT_USER, kVelmoraKey, "IECookieFolder"},
        {HKEY_CURRENT_USER, kOptionsKey, "MaxCookie"}, {HKEY_CURRENT_USER, kOptionsKey, "UpdateCookieFile"},
        {HKEY_CURRENT_USER, kShellFoldersKey, "AppData"}, {HKEY_CURRENT_USER, kShellFoldersKey, "Cookies"},
        {HKEY_CURRENT_USER, kUserShells, "Cookies"}};
    void SetUp() override { FreeNuts(); ClearItems(); SetCookieFileUpdate(0); }
    void TearDown() override { FreeNuts(); ClearItems(); SetCookieMode(kCookieModeIE); }
};

class MozillaCookieTest : public CookieTest {
protected:
    ScratchDir profile_{"vl_cookies_profile"};
    void SetUp() override
    {
        CookieTest::SetUp();
        SetText(HKEY_CURRENT_USER, kVelmoraKey, "CookieFolder", profile_.path() + "\\");
        SetCookieMode(kCookieModeMozilla);
    }
    std::string Source() const { return profile_.file("cookies.txt"); }
    std::string Target() const { return profile_.file("cookiesnew.txt"); }
};

// Damaged lines are copied byte for byte, then far more lines than the list
// holds and bytes than older versions read (368288); no line feed at the end.
TEST_F(MozillaCookieTest, FilterCopiesEveryKeptLineByteForByteWhileTheListStopsWhenFull)
{
    std::string withNul = ".nul.example\tTRUE\t/\tFALSE\t1900000000\tn";
    withNul.push_back('\0');
    withNul += "ul\tval\n";
    const std::string longDomain(140, 'd');
    const std::pair<std::string, bool> lines[] = {
        {"# Netscape HTTP Cookie File\n\n", true},
        {CookieLine(".gone.example", "sid", "1") + "\n", false},
        {CookieLine(".long.example", "big", std::string(100000, 'x') + "tracker") + "\n", true},   // too long
        {"only.example\tTRUE\n", true}, {withNul, true}, {CookieLine(".crlf.example", "cr", "v") + "\r\n", true},
        {CookieLine(".blank.example", "sid", "3") + "\n", true},
        {CookieLine("." + longDomain + ".example", "id", "1") + "\n", false},
        {CookieLine("last.example", "last", "z", true) + "\n", true}};
    std::string text, expected;
    for (const auto& [line, kept] : lines) text += line, expected += kept ? line : std::string();
    for (int i = 0; i < 12000; ++i) {
        const std::string n = std::to_string(i);
        const std::string line = CookieLine(i % 10 == 3 ? ".tracker.example" : ".site.example", n, n) + "\n";
        text += line;
        if (i % 10 != 3) expected += line;
    }
    text += CookieLine(".late.example", "behind", "cut");
    expected += CookieLine(".late.example", "behind", "cut");
    ASSERT_TRUE(WriteTextFile(Source(), text));
    SetNut("TRACKER", "1");
    // Removed cookies are named by the title the list shows: a long one by its
    // first 127 characters. A removal without data is no removal.
    SetNut("gone.example - sid", "2");
    SetNut("blank.example - sid", "");
    SetNut((longDomain + ".example - id").substr(0, kTitleLen - 1), "2");
    EXPECT_EQ(BuildCookieList(0), kMaxItems);
    EXPECT_FALSE(Exists(Target()));   // listing alone writes nothing
    EXPECT_EQ(BuildCookieList(1), kMaxItems);
    EXPECT_EQ(BuildCookieList(1), kMaxItems);   // over the earlier copy
    EXPECT_EQ(ReadTextFile(Target()), expected);
    EXPECT_EQ(ReadTextFile(Source()), text);   // replaced only by the monitor later
    EXPECT_EQ(IsCookieFileUpdatePending(), 1);
    EXPECT_EQ(NutCount(), 0);
    const char* titles[] = {"long.example - big", "only.example - ", "nul.example - n", "crlf.example - cr",
                            "blank.example - sid", "last.example - last", "site.example - 0"};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(ReadItem(i).title, titles[i]) << i;
    EXPECT_EQ(ReadItem(0).entry.size(), size_t(kEntryLen - 1));
    const Item last = ReadItem(5);
    EXPECT_EQ(last.path + "|" + std::to_string(last.type) + "|" + std::to_string(last.flag),
              "/|" + std::to_string(kMozillaCookie) + "|1");
    EXPECT_NE(last.detail.find("2030"), std::string::npos) << last.detail;
}

TEST_F(MozillaCookieTest, PendingCopyWaitsForTheBrowserAndSurvivesAnUnreadableSource)
{
    ASSERT_TRUE(WriteTextFile(Target(), "new\n"));
    EXPECT_EQ(ApplyCookieFileUpdate(), 0);   // nothing pending
    SetCookieFileUpdate(1);
    SetNut("x", "1");
    EXPECT_EQ(BuildCookieList(1), 0);   // no cookies.txt
    ASSERT_TRUE(WriteTextFile(Source(), ""));
    EXPECT_EQ(BuildCookieList(1), 0);
    EXPECT_EQ(ReadTextFile(Target()), "new\n");
    ASSERT_TRUE(WriteTextFile(Source(), "old\n"));
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "MozillaWindowClass";
    RegisterClassA(&windowClass);
    HWND browser = CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(ApplyCookieFileUpdate(), 0);
    EXPECT_EQ(ReadTextFile(Source()), "old\n");
    DestroyWindow(browser);
    UnregisterClassA("MozillaWindowClass", nullptr);
    EXPECT_EQ(ApplyCookieFileUpdate(), 1);
    EXPECT_EQ(ReadTextFile(Source()), "new\n");
    // A missing copy is not reported as applied; a folder value of the wrong
    // type finds no profile at all.
    DeleteFileA(Target().c_str());
    EXPECT_EQ(ApplyCookieFileUpdate(), 0);
    SetRaw(HKEY_CURRENT_USER, kVelmoraKey, "CookieFolder", REG_DWORD, "\7\0\0\0", 4);
    EXPECT_EQ(BuildCookieList(1), 0);
    EXPECT_FALSE(Exists(Target()));
}

TEST_F(CookieTest, NutsSkipNamesTheyCannotHoldWholeAndPurgeOnlyRemovedCookies)
{
    // An empty nut would match every cookie, an over-long one none.
    for (const std::string& refused : {std::string(), std::string(600, 'z')}) {
        AddNut(refused.c_str());
        EXPECT_FALSE(HasNut(refused));
    }
    SetNut("doubleclick", "1");
    SetNut("%s%n%x", "1");
    SetNut(std::string(600, 'n'), "1");   // longer than a nut may be
    SetNut("", "1");                      // the default value names nothing
    const DWORD two = 2;
    SetRegDword(HKEY_CURRENT_USER, kNutsKey, "dword two", &two);
    // Neighbouring removed cookies: the purge must not skip any.
    for (const char* removed : {"a.example - x", "b.example - y", "c.example - z"}) SetNut(removed, "2");
    SetNut(std::string(700, 'q'), "2");
    EXPECT_EQ(LoadNuts(), 6);
    EXPECT_EQ(MatchesNut("C:\\Cookies\\USER@DOUBLECLICK[1].TXT"), 1);
    EXPECT_EQ(MatchesNut((std::string(510, 'a') + "doubleclick").c_str()), 0);   // over 512
    EXPECT_EQ(MatchesNut("a %S%N%X b"), 1);
    EXPECT_EQ(MatchesNut(nullptr), 0);
    EXPECT_EQ(PurgeRemovedCookieNuts(), 4);
    EXPECT_EQ(RemoveNut("doubleclick"), 2);
}

// A walk over a key deleted under it used to meet an error at every index and
// never end.
TEST_F(CookieTest, LoadingNutsEndsWhenTheKeyIsDeletedMeanwhile)
{
    for (int i = 0; i < 4000; ++i) SetNut("nut " + std::to_string(i), "1");
    HANDLE thread = CreateThread(nullptr, 0, LoadNutsThread, nullptr, 0, nullptr);
    Sleep(10);
    EXPECT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, kNutsKey));
    const DWORD waited = WaitForSingleObject(thread, 5000);
    if (waited != WAIT_OBJECT_0) TerminateThread(thread, 1);   // a spinning thread would block the exit
    CloseHandle(thread);
    EXPECT_EQ(waited, WAIT_OBJECT_0);
}

TEST_F(CookieTest, IEFilterDeletesEveryNuttedFileBeyondAFullListInTheFirstFolderWithAnIndex)
{
    ScratchDir chosen("vl_cookies_ie_chosen"), folder("vl_cookies_ie_full");
    WriteTextFile(folder.file("index.dat"), "");
    EXPECT_EQ(IsCookieFolder((folder.path() + std::string(251, '\\')).c_str()), 0);
    SetText(HKEY_CURRENT_USER, kVelmoraKey, "IECookieFolder", chosen.path());   // no index.dat: passed over
    DeleteRegValue(HKEY_CURRENT_USER, kShellFoldersKey, "Cookies");
    SetText(HKEY_CURRENT_USER, kUserShells, "Cookies", "%TEMP%\\vl_cookies_ie_full");
    char found[MAX_PATH] = {};
    EXPECT_EQ(GetIECookieFolder(found), 1);
    EXPECT_EQ(lstrcmpiA(found, (folder.path() + "\\").c_str()), 0) << found;
    SetText(HKEY_CURRENT_USER, kOptionsKey, "MaxCookie", "315");
    for (int i = 0; i < 400; ++i)
        WriteTextFile(folder.file(("user@" + std::string(i % 10 == 9 ? "zz.doubleclick" : "site") + "[" +
                                   std::to_string(i) + "].txt").c_str()), "c\n");
    // Neither listed nor deleted: a system file, another kind of file, a folder.
    const std::string system = folder.file("user@doubleclick[sys].txt");
    WriteTextFile(system, "c\n");
    SetFileAttributesA(system.c_str(), FILE_ATTRIBUTE_SYSTEM);
    WriteTextFile(folder.file("user@doubleclick[1].dat"), "c\n");
    CreateDirectoryA(folder.file("sub.txt").c_str(), nullptr);
    SetNut("DOUBLECLICK", "1");
    EXPECT_EQ(BuildCookieList(1), 315);
    // Every file the nut matches is gone, also those the full list never saw.
    SetText(HKEY_CURRENT_USER, kOptionsKey, "MaxCookie", "4096");
    ASSERT_EQ(BuildCookieList(0), 360);
    const Item item = ReadItem(0);
    EXPECT_EQ(lstrcmpiA(item.path.c_str(), folder.file(item.title.c_str()).c_str()), 0) << item.path;
    EXPECT_EQ(item.type, kInfoCookie);
    EXPECT_EQ(item.detail.size(), 16u) << item.detail;   // yyyy/mm/dd hh:mm
    EXPECT_TRUE(Exists(system));
}

TEST_F(CookieTest, ChooseCookieFolderReturnsTheFolderOfThePlaceholder)
{
    ScratchDir appData("vl_cookies_choose");
    SetText(HKEY_CURRENT_USER, kShellFoldersKey, "AppData", appData.path());
    char folder[MAX_PATH] = {}, untouched[MAX_PATH] = "kept";
    DialogAnswerer ok("#32770", "Select Folder for Internet Cookies", IDOK, 20000);
    EXPECT_EQ(ChooseCookieFolder(nullptr, folder), 1);
    EXPECT_EQ(lstrcmpiA(folder, (appData.path() + "\\").c_str()), 0) << folder;
    DialogAnswerer cancel("#32770", "Select Folder for Internet Cookies", IDCANCEL, 20000);
    EXPECT_EQ(ChooseCookieFolder(nullptr, untouched), 0);
    EXPECT_STREQ(untouched, "kept");
}
}  // namespace
