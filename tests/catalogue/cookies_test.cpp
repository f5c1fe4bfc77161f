#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "tests/support/testsupport.h"

namespace {

// Saves one registry value of the current user and puts it back (or deletes
// it when it was missing) on the way out.
class SavedValue {
    std::string key_, name_;
    bool existed_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;

public:
    SavedValue(const char* key, const char* name) : key_(key), name_(name)
    {
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return;
        DWORD size = 0;
        if (RegQueryValueExA(h, name, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
            data_.resize(size);
            existed_ = RegQueryValueExA(h, name, nullptr, &type_, data_.data(), &size) ==
                       ERROR_SUCCESS;
        }
        RegCloseKey(h);
    }
    ~SavedValue()
    {
        HKEY h = nullptr;
        if (RegCreateKeyA(HKEY_CURRENT_USER, key_.c_str(), &h) != ERROR_SUCCESS) return;
        if (existed_)
            RegSetValueExA(h, name_.c_str(), 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
        else
            RegDeleteValueA(h, name_.c_str());
        RegCloseKey(h);
    }
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;
    void Set(const std::string& text) const
    {
        SetRegValue(HKEY_CURRENT_USER, key_.c_str(), name_.c_str(), text.c_str());
    }
    void Clear() const { DeleteRegValue(HKEY_CURRENT_USER, key_.c_str(), name_.c_str()); }
};

void SetNut(const std::string& name, const std::string& data)
{
    SetRegValue(HKEY_CURRENT_USER, kNutsKey, name.c_str(), data.c_str());
}

void SetNutDword(const std::string& name, DWORD value)
{
    SetRegDword(HKEY_CURRENT_USER, kNutsKey, name.c_str(), &value);
}

bool HasNut(const std::string& name)
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kNutsKey, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    bool found = RegQueryValueExA(h, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(h);
    return found;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct Item {
    std::string title, path, entry, detail;
    int type, flag;
};

Item ItemAtIndex(int i)
{
    char title[kTitleLen] = {}, path[kPathLen] = {}, entry[kEntryLen] = {}, detail[kDetailLen] = {};
    GetItemTitle(i, title);
    GetItemPath(i, path);
    GetItemEntryName(i, entry);
    GetItemDetail(i, detail, kDetailLen);
    return {title, path, entry, detail, GetItemType(i), GetItemFlag(i)};
}

int FindTitle(const std::string& title)
{
    for (int i = 0; i < ItemCount(); ++i)
        if (ItemAtIndex(i).title == title) return i;
    return -1;
}

std::string CookieLine(const std::string& domain, const std::string& name, const std::string& value,
                       bool secure = false)
{
    return domain + "\tTRUE\t/\t" + (secure ? "TRUE" : "FALSE") + "\t1900000000\t" + name + "\t" +
           value;
}

std::string Numbered(const char* prefix, int n)
{
    char text[32];
    snprintf(text, sizeof text, "%s%d", prefix, n);
    return text;
}

// Every test starts from an empty nut list and its own cookie folders; the
// values these read are put back afterwards.
class CookieTest : public ::testing::Test {
protected:
    ScratchKey nuts_{HKEY_CURRENT_USER, kNutsKey};
    SavedValue cookieFolder_{kVelmoraKey, "CookieFolder"};
    SavedValue ieCookieFolder_{kVelmoraKey, "IECookieFolder"};
    SavedValue maxCookie_{kOptionsKey, "MaxCookie"};
    SavedValue update_{kOptionsKey, "UpdateCookieFile"};
    SavedValue optionsUpdate_{kOptionsKey, "Update"};
    SavedValue appData_{kShellFoldersKey, "AppData"};
    SavedValue shellCookies_{kShellFoldersKey, "Cookies"};
    SavedValue userShellCookies_{"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                                 "Cookies"};

    void SetUp() override
    {
        FreeNuts();
        ClearItems();
        update_.Clear();
    }
    void TearDown() override
    {
        FreeNuts();
        ClearItems();
        SetCookieMode(kCookieModeIE);
    }
};

// ---- Mozilla family --------------------------------------------------------

class MozillaCookieTest : public CookieTest {
protected:
    ScratchDir profile_{"vl_cookies_profile"};

    void SetUp() override
    {
        CookieTest::SetUp();
        cookieFolder_.Set(profile_.path() + "\\");
        SetCookieMode(kCookieModeMozilla);
    }
    std::string Source() const { return profile_.file("cookies.txt"); }
    std::string Target() const { return profile_.file("cookiesnew.txt"); }
};

TEST_F(MozillaCookieTest, ListsEachCookieLineUnderDomainAndName)
{
    std::string text = "# Netscape HTTP Cookie File\n\n" + CookieLine(".example.com", "sid", "abc") +
                       "\n" + CookieLine("host.example.org", "pref", "x=1", true) + "\n";
    ASSERT_TRUE(WriteTextFile(Source(), text));

    EXPECT_EQ(BuildCookieList(0), 2);
    ASSERT_EQ(ItemCount(), 2);
    Item first = ItemAtIndex(0);
    EXPECT_EQ(first.title, "example.com - sid");
    EXPECT_EQ(first.path, "/");
    EXPECT_EQ(first.entry, "abc");
    EXPECT_EQ(first.type, kMozillaCookie);
    EXPECT_EQ(first.flag, 0);
    EXPECT_FALSE(first.detail.empty());
    EXPECT_NE(first.detail.find("2030"), std::string::npos) << first.detail;
    Item second = ItemAtIndex(1);
    EXPECT_EQ(second.title, "host.example.org - pref");
    EXPECT_EQ(second.flag, 1);
    // Listing alone writes nothing.
    EXPECT_FALSE(Exists(Target()));
    EXPECT_EQ(IsCookieFileUpdatePending(), 0);
}

TEST_F(MozillaCookieTest, FilterKeepsEveryOtherLineOfAManyThousandLineFile)
{
    std::string text, expected;
    int kept = 0;
    for (int i = 0; i < 12000; ++i) {
        bool tracked = i % 10 == 3;
        std::string line = CookieLine(tracked ? ".tracker.example" : ".site.example",
                                      Numbered("c", i), Numbered("v", i)) + "\n";
        text += line;
        if (!tracked) {
            expected += line;
            ++kept;
        }
    }
    ASSERT_GT(text.size(), 268288u);
    ASSERT_TRUE(WriteTextFile(Source(), text));
    SetNut("TRACKER", "1");

    // The list holds at most 4096 entries; the copy holds every kept line.
    EXPECT_EQ(BuildCookieList(1), kMaxItems);
    EXPECT_EQ(ReadTextFile(Target()), expected);
    EXPECT_EQ(kept, 10800);
    EXPECT_EQ(ReadTextFile(Source()), text);   // replaced only by the monitor later
    EXPECT_EQ(IsCookieFileUpdatePending(), 1);
    EXPECT_EQ(NutCount(), 0);                  // freed after the run

    // Unfiltered, the list still stops at its capacity.
    EXPECT_EQ(BuildCookieList(0), kMaxItems);
}

TEST_F(MozillaCookieTest, CookiesBehindTheOldReadLimitAreListedAndKept)
{
    std::string text;
    std::string big(300, 'b');
    int lines = 0;
    while (text.size() < 268288 + 100000) {
        text += CookieLine(".bulk.example", Numbered("n", lines), big) + "\n";
        ++lines;
    }
    text += CookieLine(".late.example", "behind", "cut");   // last line, no line feed
    ++lines;
    ASSERT_TRUE(WriteTextFile(Source(), text));

    EXPECT_EQ(BuildCookieList(0), lines);
    EXPECT_GE(FindTitle("late.example - behind"), 0);
    EXPECT_EQ(BuildCookieList(1), lines);
    EXPECT_EQ(ReadTextFile(Target()), text);
}

TEST_F(MozillaCookieTest, DamagedLinesAreKeptByteForByte)
{
    std::string overlong = CookieLine(".long.example", "big", std::string(100000, 'x') + "tracker");
    std::string withNul = ".nul.example\tTRUE\t/\tFALSE\t1900000000\tn";
    withNul.push_back('\0');
    withNul += "ul\tval";
    std::string text = "# Netscape HTTP Cookie File\n";
    text += "\n";
    text += overlong + "\n";
    text += "only.example\tTRUE\n";                                  // missing fields
    text += withNul + "\n";
    text += CookieLine(".crlf.example", "cr", "value") + "\r\n";
    text += CookieLine(".tracker.example", "t", "gone") + "\n";
    text += CookieLine(".last.example", "last", "z", true);           // no final line feed
    ASSERT_TRUE(WriteTextFile(Source(), text));
    SetNut("tracker", "1");

    std::string expected = text;
    std::string dropped = CookieLine(".tracker.example", "t", "gone") + "\n";
    expected.erase(expected.find(dropped), dropped.size());

    EXPECT_EQ(BuildCookieList(1), 5);
    EXPECT_EQ(ReadTextFile(Target()), expected);

    int i = FindTitle("long.example - big");   // too long to match a nut
    ASSERT_GE(i, 0);
    EXPECT_EQ(ItemAtIndex(i).entry.size(), static_cast<size_t>(kEntryLen - 1));
    i = FindTitle("only.example - ");
    ASSERT_GE(i, 0);
    EXPECT_EQ(ItemAtIndex(i).path, "");
    EXPECT_EQ(ItemAtIndex(i).entry, "");
    EXPECT_GE(FindTitle("nul.example - n"), 0);
    i = FindTitle("crlf.example - cr");
    ASSERT_GE(i, 0);
    EXPECT_EQ(ItemAtIndex(i).entry, "value");
    i = FindTitle("last.example - last");
    ASSERT_GE(i, 0);
    EXPECT_EQ(ItemAtIndex(i).flag, 1);
    EXPECT_LT(FindTitle("tracker.example - t"), 0);
}

TEST_F(MozillaCookieTest, RemovedCookiesStayOutOfEveryLaterCopy)
{
    std::string longDomain(140, 'd');
    std::string longLine = CookieLine("." + longDomain + ".example", "id", "1");
    std::string text = CookieLine(".gone.example", "sid", "1") + "\n" +
                       CookieLine(".kept.example", "sid", "2") + "\n" +
                       CookieLine(".blank.example", "sid", "3") + "\n" + longLine + "\n";
    ASSERT_TRUE(WriteTextFile(Source(), text));
    // Marked on the explorer's page: named by the title the list shows, which
    // for a long title is its first 127 characters.
    SetNut("gone.example - sid", "2");
    SetNut("blank.example - sid", "");
    std::string longTitle = longDomain + ".example - id";
    SetNut(longTitle.substr(0, kTitleLen - 1), "2");

    EXPECT_EQ(BuildCookieList(1), 2);
    EXPECT_EQ(ReadTextFile(Target()),
              CookieLine(".kept.example", "sid", "2") + "\n" + CookieLine(".blank.example", "sid", "3") +
                  "\n");
    // A second run writes a fresh copy that still leaves them out.
    EXPECT_EQ(BuildCookieList(1), 2);
    EXPECT_EQ(ReadTextFile(Target()).find("gone.example"), std::string::npos);
}

TEST_F(MozillaCookieTest, UnreadableSourceLeavesAPendingCopyAlone)
{
    ASSERT_TRUE(WriteTextFile(Target(), "pending copy\n"));
    SetCookieFileUpdate(1);
    SetNut("x", "1");

    EXPECT_EQ(BuildCookieList(1), 0);   // no cookies.txt
    EXPECT_EQ(ReadTextFile(Target()), "pending copy\n");
    ASSERT_TRUE(WriteTextFile(Source(), ""));
    EXPECT_EQ(BuildCookieList(1), 0);   // empty cookies.txt
    EXPECT_EQ(ReadTextFile(Target()), "pending copy\n");
    EXPECT_EQ(IsCookieFileUpdatePending(), 1);

    // No temporary copies are left behind.
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(profile_.file("*.tmp").c_str(), &data);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

TEST_F(MozillaCookieTest, WrongTypedFolderValueListsNothing)
{
    DWORD number = 7;
    SetRegDword(HKEY_CURRENT_USER, kVelmoraKey, "CookieFolder", &number);
    EXPECT_EQ(BuildCookieList(0), 0);
    EXPECT_EQ(BuildCookieList(1), 0);
    EXPECT_EQ(IsCookieFileUpdatePending(), 0);
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    return DefWindowProcA(window, message, w, l);
}

TEST_F(MozillaCookieTest, PendingUpdateWaitsForTheBrowserToClose)
{
    ASSERT_TRUE(WriteTextFile(Source(), "old\n"));
    ASSERT_TRUE(WriteTextFile(Target(), "new\n"));
    EXPECT_EQ(ApplyCookieFileUpdate(), 0);   // nothing pending
    EXPECT_EQ(ReadTextFile(Source()), "old\n");

    SetCookieFileUpdate(1);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PlainWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "MozillaWindowClass";
    RegisterClassA(&windowClass);
    HWND browser = CreateWindowA("MozillaWindowClass", "browser", WS_OVERLAPPED, 0, 0, 10, 10,
                                 nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(ApplyCookieFileUpdate(), 0);
    EXPECT_EQ(ReadTextFile(Source()), "old\n");
    DestroyWindow(browser);
    UnregisterClassA("MozillaWindowClass", windowClass.hInstance);

    EXPECT_EQ(ApplyCookieFileUpdate(), 1);
    EXPECT_EQ(ReadTextFile(Source()), "new\n");
    SetCookieFileUpdate(0);
    EXPECT_EQ(IsCookieFileUpdatePending(), 0);
}

TEST_F(MozillaCookieTest, MissingCopyIsNotReportedAsApplied)
{
    ASSERT_TRUE(WriteTextFile(Source(), "old\n"));
    SetCookieFileUpdate(1);
    EXPECT_EQ(ApplyCookieFileUpdate(), 0);
    EXPECT_EQ(ReadTextFile(Source()), "old\n");
}

TEST_F(CookieTest, ProfileSearchPrefersDefaultDotFolders)
{
    ScratchDir appData("vl_cookies_appdata");
    appData_.Set(appData.path());
    cookieFolder_.Clear();
    char folder[MAX_PATH] = "junk";
    EXPECT_EQ(IsMozillaInstalled(), 0);
    EXPECT_EQ(GetMozillaCookieFolder(folder), 0);
    EXPECT_STREQ(folder, "");

    std::string profiles = appData.path() + "\\Mozilla\\FireFox\\Profiles";
    CreateDirectoryA((appData.path() + "\\Mozilla").c_str(), nullptr);
    CreateDirectoryA((appData.path() + "\\Mozilla\\FireFox").c_str(), nullptr);
    CreateDirectoryA(profiles.c_str(), nullptr);
    CreateDirectoryA((profiles + "\\ab12.default").c_str(), nullptr);
    EXPECT_EQ(IsMozillaInstalled(), 1);
    EXPECT_EQ(GetMozillaCookieFolder(folder), 1);
    EXPECT_STREQ(folder, (profiles + "\\ab12.default").c_str());
    CreateDirectoryA((profiles + "\\default.xyz").c_str(), nullptr);
    EXPECT_EQ(GetMozillaCookieFolder(folder), 1);
    EXPECT_STREQ(folder, (profiles + "\\default.xyz").c_str());

    // The user's own choice wins, unchanged.
    cookieFolder_.Set("D:\\chosen\\");
    EXPECT_EQ(GetMozillaCookieFolder(folder), 1);
    EXPECT_STREQ(folder, "D:\\chosen\\");
}

// ---- nuts ---------------------------------------------------------------------

TEST_F(CookieTest, NutListSkipsNamesItCannotHoldWhole)
{
    SetNut("doubleclick", "1");
    SetNut(std::string(600, 'n'), "1");   // longer than a nut may be
    SetNut("", "1");                      // the default value names nothing
    SetNutDword("dword", 2);
    EXPECT_EQ(LoadNuts(), 2);
    EXPECT_EQ(NutCount(), 2);

    std::vector<std::string> texts;
    for (int i = 0; i < NutCount(); ++i) {
        char text[kNutTextLen];
        EXPECT_GT(GetNutText(i, text), 0);
        texts.push_back(text);
        if (texts.back() == "doubleclick") {
            EXPECT_EQ(GetNutData(i), 1);
        }
    }
    EXPECT_NE(std::find(texts.begin(), texts.end(), "doubleclick"), texts.end());
    char text[kNutTextLen] = "junk";
    EXPECT_EQ(GetNutText(2, text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(GetNutData(-1), 0);

    EXPECT_EQ(MatchesNut("C:\\Cookies\\USER@DOUBLECLICK[1].TXT"), 1);
    EXPECT_EQ(MatchesNut("C:\\Cookies\\user@example[1].txt"), 0);
    EXPECT_EQ(MatchesNut((std::string(510, 'a') + "doubleclick").c_str()), 0);   // over 512
    EXPECT_EQ(MatchesNut(nullptr), 0);
    // A nut text is never taken as a format.
    SetNut("%s%n%x", "1");
    LoadNuts();
    EXPECT_EQ(MatchesNut("a %S%N%X b"), 1);
    FreeNuts();
    EXPECT_EQ(NutCount(), 0);
    EXPECT_EQ(MatchesNut("doubleclick"), 0);
}

TEST_F(CookieTest, AddAndRemoveNutKeepTheStoreAndTheListInStep)
{
    ScratchDir folder("vl_cookies_ie_nuts");
    WriteTextFile(folder.file("index.dat"), "");
    ieCookieFolder_.Set(folder.path());
    SetCookieMode(kCookieModeIE);

    EXPECT_EQ(AddNut(""), 0);
    EXPECT_FALSE(HasNut(""));
    EXPECT_EQ(AddNut(std::string(600, 'z').c_str()), 0);
    EXPECT_EQ(LoadNuts(), 0);

    AddNut("adserver");
    EXPECT_TRUE(HasNut("adserver"));
    AddNut("tracker");
    EXPECT_EQ(LoadNuts(), 2);
    EXPECT_EQ(RemoveNut("adserver"), 1);
    EXPECT_FALSE(HasNut("adserver"));
    EXPECT_EQ(RemoveNut("not there"), 1);
}

TEST_F(CookieTest, PurgeDeletesOnlyRemovedCookieNuts)
{
    SetNut("typed", "1");
    SetNut("a.example - x", "2");
    SetNut("b.example - y", "2");
    SetNut("c.example - z", "2 ");
    SetNutDword("dword two", 2);
    SetNut(std::string(700, 'q'), "2");

    EXPECT_EQ(PurgeRemovedCookieNuts(), 4);
    EXPECT_TRUE(HasNut("typed"));
    EXPECT_TRUE(HasNut("dword two"));
    EXPECT_FALSE(HasNut("a.example - x"));
    EXPECT_FALSE(HasNut("b.example - y"));
    EXPECT_FALSE(HasNut("c.example - z"));
    EXPECT_FALSE(HasNut(std::string(700, 'q')));
    EXPECT_EQ(PurgeRemovedCookieNuts(), 0);
}

TEST(CookieMode, FollowsTheBrowserKind)
{
    const int expected[] = {1, 1, 3, 3, 1, 1, 3, 1};
    for (int kind = 0; kind < 8; ++kind) EXPECT_EQ(CookieModeOfBrowser(kind), expected[kind]) << kind;
}

// ---- Internet Explorer -------------------------------------------------------

TEST_F(CookieTest, CookieFolderNeedsItsIndexFile)
{
    ScratchDir folder("vl_cookies_ie_index");
    EXPECT_EQ(IsCookieFolder(folder.path().c_str()), 0);
    WriteTextFile(folder.file("index.dat"), "");
    EXPECT_EQ(IsCookieFolder(folder.path().c_str()), 2);
    EXPECT_EQ(IsCookieFolder((folder.path() + "\\").c_str()), 1);
    EXPECT_EQ(IsCookieFolder("C:"), 0);
    EXPECT_EQ(IsCookieFolder(nullptr), 0);
    EXPECT_EQ(IsCookieFolder((folder.path() + std::string(251, '\\')).c_str()), 0);
}

TEST_F(CookieTest, IECookieFolderSearchOrder)
{
    ScratchDir chosen("vl_cookies_ie_chosen");
    ScratchDir shell("vl_cookies_ie_shell");
    WriteTextFile(shell.file("index.dat"), "");
    char folder[MAX_PATH] = {};

    ieCookieFolder_.Set(chosen.path());    // no index.dat: passed over
    shellCookies_.Set(shell.path());
    EXPECT_EQ(GetIECookieFolder(folder), 1);
    EXPECT_STREQ(folder, (shell.path() + "\\").c_str());

    WriteTextFile(chosen.file("index.dat"), "");
    EXPECT_EQ(GetIECookieFolder(folder), 1);
    EXPECT_STREQ(folder, (chosen.path() + "\\").c_str());

    // Through the user shell folder, with environment strings.
    ieCookieFolder_.Clear();
    shellCookies_.Clear();
    const char* unexpanded = "%TEMP%\\vl_cookies_ie_shell";
    char expanded[MAX_PATH] = {};
    ExpandEnvironmentStringsA(unexpanded, expanded, MAX_PATH);
    ASSERT_TRUE(Exists(std::string(expanded) + "\\index.dat")) << expanded;
    userShellCookies_.Set(unexpanded);
    EXPECT_EQ(GetIECookieFolder(folder), 1);
    EXPECT_EQ(lstrcmpiA(folder, (std::string(expanded) + "\\").c_str()), 0) << folder;

    userShellCookies_.Clear();
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    if (Exists(std::string(windows) + "\\Cookies\\index.dat")) GTEST_SKIP();
    EXPECT_EQ(GetIECookieFolder(folder), 0);
    char notFound[64] = {};
    LoadLocalizedString(IDS_COOKIE_FOLDER_NOT_FOUND, notFound);
    EXPECT_STREQ(folder, notFound);
    EXPECT_STREQ(folder, "Cookie Folder Not Found");
}

WIN32_FIND_DATAA FindData(const std::string& path)
{
    WIN32_FIND_DATAA data = {};
    HANDLE find = FindFirstFileA(path.c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return data;
}

TEST_F(CookieTest, CookieFileHandlerListsDeletesOrPassesOver)
{
    ScratchDir folder("vl_cookies_ie_proc");
    std::string plain = folder.file("user@example[1].txt");
    std::string nutted = folder.file("user@DoubleClick[2].txt");
    std::string other = folder.file("user@example[1].dat");
    std::string system = folder.file("user@system[1].txt");
    for (const std::string* p : {&plain, &nutted, &other, &system}) WriteTextFile(*p, "cookie\n");
    SetFileAttributesA(system.c_str(), FILE_ATTRIBUTE_SYSTEM);
    CreateDirectoryA(folder.file("sub.txt").c_str(), nullptr);
    SetNut("doubleclick", "1");
    LoadNuts();
    void* filter = reinterpret_cast<void*>(1);

    for (const std::string* p : {&other, &system}) {
        WIN32_FIND_DATAA data = FindData(*p);
        EXPECT_EQ(CookieFileProc(p->c_str(), &data, filter), 0);
    }
    WIN32_FIND_DATAA sub = FindData(folder.file("sub.txt"));
    EXPECT_EQ(CookieFileProc(folder.file("sub.txt").c_str(), &sub, filter), 0);
    EXPECT_EQ(ItemCount(), 0);

    WIN32_FIND_DATAA data = FindData(nutted);
    EXPECT_EQ(CookieFileProc(nutted.c_str(), &data, nullptr), 0);   // no filter: listed
    EXPECT_EQ(ItemCount(), 1);
    EXPECT_EQ(CookieFileProc(nutted.c_str(), &data, filter), 0);    // filter: deleted
    EXPECT_FALSE(Exists(nutted));
    EXPECT_EQ(ItemCount(), 1);

    data = FindData(plain);
    EXPECT_EQ(CookieFileProc(plain.c_str(), &data, filter), 0);
    ASSERT_EQ(ItemCount(), 2);
    Item item = ItemAtIndex(1);
    EXPECT_EQ(item.title, "user@example[1].txt");
    EXPECT_EQ(lstrcmpiA(item.path.c_str(), plain.c_str()), 0);
    EXPECT_EQ(item.entry, "");
    EXPECT_EQ(item.type, kInfoCookie);
    EXPECT_EQ(item.detail.size(), 16u) << item.detail;   // yyyy/mm/dd hh:mm
    EXPECT_TRUE(Exists(system));
    EXPECT_TRUE(Exists(other));
    SetFileAttributesA(system.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(CookieTest, FullListStopsAListingButNotTheFilter)
{
    SetWalkMode(kWalkCookies);
    if (GetWalkMode() != kWalkCookies) GTEST_SKIP() << "the shared folder walk is not built in yet";
    ScratchDir folder("vl_cookies_ie_full");
    WriteTextFile(folder.file("index.dat"), "");
    ieCookieFolder_.Set(folder.path());
    maxCookie_.Set("315");
    SetCookieMode(kCookieModeIE);
    for (int i = 0; i < 400; ++i) {
        std::string site = i % 10 == 9 ? "doubleclick" : "site" + std::to_string(i);
        WriteTextFile(folder.file(("user@" + site + "[" + std::to_string(i) + "].txt").c_str()), "c\n");
    }
    WriteTextFile(folder.file("desktop.ini"), "");

    EXPECT_EQ(BuildCookieList(0), 315);
    SetNut("DOUBLECLICK", "1");
    EXPECT_EQ(BuildCookieList(1), 315);

    // Every file the nut matches is gone, also those the full list never saw.
    int left = 0, nutted = 0;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(folder.file("*.txt").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        ++left;
        if (strstr(data.cFileName, "doubleclick")) ++nutted;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    EXPECT_EQ(nutted, 0);
    EXPECT_EQ(left, 360);

    maxCookie_.Set("4096");
    EXPECT_EQ(BuildCookieList(0), 360);
    for (int i = 0; i < ItemCount(); ++i) EXPECT_EQ(ItemAtIndex(i).type, kInfoCookie);
}

TEST_F(CookieTest, ChooseCookieFolderReturnsTheFolderOfThePlaceholder)
{
    ScratchDir appData("vl_cookies_choose");
    appData_.Set(appData.path());
    char folder[MAX_PATH] = {};
    {
        DialogAnswerer answer("#32770", "Select Folder for Internet Cookies", IDOK, 20000);
        EXPECT_EQ(ChooseCookieFolder(nullptr, folder), 1);
        EXPECT_TRUE(answer.answered());
    }
    EXPECT_EQ(lstrcmpiA(folder, (appData.path() + "\\").c_str()), 0) << folder;
    {
        DialogAnswerer answer("#32770", "Select Folder for Internet Cookies", IDCANCEL, 20000);
        char untouched[MAX_PATH] = "kept";
        EXPECT_EQ(ChooseCookieFolder(nullptr, untouched), 0);
        EXPECT_STREQ(untouched, "kept");
    }
}

}  // namespace
