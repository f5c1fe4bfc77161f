#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "tests/support/testsupport.h"

namespace {

// Saves one value of the current user and puts it back (or deletes it when it
// was missing) on the way out.
class SavedValue {
    const char *key_, *name_;
    BYTE data_[4096];
    DWORD type_ = 0, size_ = sizeof data_;
    bool existed_;

public:
    SavedValue(const char* key, const char* name)
        : key_(key), name_(name),
          existed_(RegGetValueA(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type_, data_,
                                &size_) == ERROR_SUCCESS)
    {
    }
    ~SavedValue()
    {
        if (existed_) RegSetKeyValueA(HKEY_CURRENT_USER, key_, name_, type_, data_, size_);
        else Clear();
    }
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;
    void Set(const std::string& text) const { SetRegValue(HKEY_CURRENT_USER, key_, name_, text.c_str()); }
    void Clear() const { DeleteRegValue(HKEY_CURRENT_USER, key_, name_); }
};

void SetNut(const std::string& name, const std::string& data)
{
    SetRegValue(HKEY_CURRENT_USER, kNutsKey, name.c_str(), data.c_str());
}

bool HasNut(const std::string& name)
{
    return RegGetValueA(HKEY_CURRENT_USER, kNutsKey, name.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
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

bool FindItem(const std::string& title, Item* item = nullptr)
{
    for (int i = 0; i < ItemCount(); ++i) {
        if (ItemAtIndex(i).title != title) continue;
        if (item) *item = ItemAtIndex(i);
        return true;
    }
    return false;
}

std::string CookieLine(const std::string& domain, const std::string& name, const std::string& value,
                       bool secure = false)
{
    return domain + "\tTRUE\t/\t" + (secure ? "TRUE" : "FALSE") + "\t1900000000\t" + name + "\t" + value;
}

// Every test starts from an empty nut list; the values these read are put back.
class CookieTest : public ::testing::Test {
protected:
    ScratchKey nuts_{HKEY_CURRENT_USER, kNutsKey};
    SavedValue cookieFolder_{kVelmoraKey, "CookieFolder"};
    SavedValue ieCookieFolder_{kVelmoraKey, "IECookieFolder"};
    SavedValue maxCookie_{kOptionsKey, "MaxCookie"};
    SavedValue update_{kOptionsKey, "UpdateCookieFile"};
    SavedValue appData_{kShellFoldersKey, "AppData"};
    SavedValue shellCookies_{kShellFoldersKey, "Cookies"};
    SavedValue userShellCookies_{"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                                 "Cookies"};

    void SetUp() override { FreeNuts(); ClearItems(); update_.Clear(); }
    void TearDown() override { FreeNuts(); ClearItems(); SetCookieMode(kCookieModeIE); }
};

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

TEST_F(MozillaCookieTest, FilterCopiesEveryKeptLineOfABigFileWhileTheListStopsWhenFull)
{
    // Far more lines than the list holds and bytes than older versions read.
    std::string text, expected;
    for (int i = 0; i < 12000; ++i) {
        const bool tracked = i % 10 == 3;
        const std::string number = std::to_string(i);
        std::string line = CookieLine(tracked ? ".tracker.example" : ".site.example", number, number) + "\n";
        text += line;
        if (!tracked) expected += line;
    }
    text += CookieLine(".late.example", "behind", "cut");   // last line, no line feed
    expected += CookieLine(".late.example", "behind", "cut");
    ASSERT_GT(text.size(), 368288u);
    ASSERT_TRUE(WriteTextFile(Source(), text));
    SetNut("TRACKER", "1");

    EXPECT_EQ(BuildCookieList(1), kMaxItems);
    EXPECT_EQ(ReadTextFile(Target()), expected);
    EXPECT_EQ(ReadTextFile(Source()), text);   // replaced only by the monitor later
    EXPECT_EQ(IsCookieFileUpdatePending(), 1);
    EXPECT_EQ(NutCount(), 0);                  // freed after the run
}

TEST_F(MozillaCookieTest, FilterDropsNuttedAndRemovedCookiesAndKeepsDamagedLinesByteForByte)
{
    std::string withNul = ".nul.example\tTRUE\t/\tFALSE\t1900000000\tn";
    withNul.push_back('\0');
    withNul += "ul\tval";
    const std::string longDomain(140, 'd');
    const std::string dropped[] = {CookieLine(".tracker.example", "t", "gone") + "\n",
                                   CookieLine(".gone.example", "sid", "1") + "\n",
                                   CookieLine("." + longDomain + ".example", "id", "1") + "\n"};
    std::string text = "# Netscape HTTP Cookie File\n\n" + dropped[1] +
                       CookieLine(".long.example", "big", std::string(100000, 'x') + "tracker") + "\n" +
                       "only.example\tTRUE\n" + withNul + "\n" + CookieLine(".crlf.example", "cr", "value") +
                       "\r\n" + dropped[0] + CookieLine(".blank.example", "sid", "3") + "\n" + dropped[2] +
                       CookieLine("last.example", "last", "z", true);   // no last line feed
    ASSERT_TRUE(WriteTextFile(Source(), text));
    SetNut("tracker", "1");
    // Removed cookies are named by the title the list shows: a long one by its
    // first 127 characters. A removal without data is no removal.
    SetNut("gone.example - sid", "2");
    SetNut("blank.example - sid", "");
    SetNut((longDomain + ".example - id").substr(0, kTitleLen - 1), "2");

    // Listing alone writes nothing.
    EXPECT_EQ(BuildCookieList(0), 9);
    EXPECT_FALSE(Exists(Target()));
    EXPECT_EQ(IsCookieFileUpdatePending(), 0);

    std::string expected = text;
    for (const std::string& line : dropped) expected.erase(expected.find(line), line.size());
    for (int run = 0; run < 2; ++run) {   // a fresh copy still leaves them out
        EXPECT_EQ(BuildCookieList(1), 6);
        EXPECT_EQ(ReadTextFile(Target()), expected);
    }

    Item item;
    ASSERT_TRUE(FindItem("long.example - big", &item));   // too long to match a nut
    EXPECT_EQ(item.entry.size(), static_cast<size_t>(kEntryLen - 1));
    EXPECT_TRUE(FindItem("only.example - "));
    EXPECT_TRUE(FindItem("nul.example - n"));
    ASSERT_TRUE(FindItem("last.example - last", &item));
    EXPECT_EQ(item.path, "/");
    EXPECT_EQ(item.type, kMozillaCookie);
    EXPECT_EQ(item.flag, 1);
    EXPECT_NE(item.detail.find("2030"), std::string::npos) << item.detail;
}

TEST_F(MozillaCookieTest, PendingCopyWaitsForTheBrowserAndSurvivesAnUnreadableSource)
{
    ASSERT_TRUE(WriteTextFile(Target(), "new\n"));
    EXPECT_EQ(ApplyCookieFileUpdate(), 0);   // nothing pending
    SetCookieFileUpdate(1);
    SetNut("x", "1");
    EXPECT_EQ(BuildCookieList(1), 0);   // no cookies.txt
    ASSERT_TRUE(WriteTextFile(Source(), ""));
    EXPECT_EQ(BuildCookieList(1), 0);   // empty cookies.txt
    EXPECT_EQ(ReadTextFile(Target()), "new\n");
    EXPECT_EQ(IsCookieFileUpdatePending(), 1);
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(profile_.file("*.tmp").c_str(), &data);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "temporary copy left behind";
    if (find != INVALID_HANDLE_VALUE) FindClose(find);

    ASSERT_TRUE(WriteTextFile(Source(), "old\n"));
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "MozillaWindowClass";
    RegisterClassA(&windowClass);
    HWND browser = CreateWindowA("MozillaWindowClass", "browser", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                 nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(ApplyCookieFileUpdate(), 0);
    EXPECT_EQ(ReadTextFile(Source()), "old\n");
    DestroyWindow(browser);
    UnregisterClassA("MozillaWindowClass", windowClass.hInstance);
    EXPECT_EQ(ApplyCookieFileUpdate(), 1);
    EXPECT_EQ(ReadTextFile(Source()), "new\n");

    // A missing copy is not reported as applied; a folder value of the wrong
    // type finds no profile at all.
    DeleteFileA(Target().c_str());
    ASSERT_TRUE(WriteTextFile(Source(), "old\n"));
    EXPECT_EQ(ApplyCookieFileUpdate(), 0);
    EXPECT_EQ(ReadTextFile(Source()), "old\n");
    const DWORD number = 7;
    SetRegDword(HKEY_CURRENT_USER, kVelmoraKey, "CookieFolder", &number);
    EXPECT_EQ(BuildCookieList(1), 0);
    EXPECT_FALSE(Exists(Target()));
}

TEST_F(CookieTest, NutsSkipNamesTheyCannotHoldWholeAndPurgeOnlyRemovedCookies)
{
    // An empty nut would match every cookie, an over-long one none.
    EXPECT_EQ(AddNut(""), 0);
    EXPECT_EQ(AddNut(std::string(600, 'z').c_str()), 0);
    EXPECT_FALSE(HasNut(""));
    EXPECT_FALSE(HasNut(std::string(600, 'z')));

    SetNut("doubleclick", "1");
    SetNut("%s%n%x", "1");                // never taken as a format
    SetNut(std::string(600, 'n'), "1");   // longer than a nut may be
    SetNut("", "1");                      // the default value names nothing
    DWORD two = 2;
    SetRegDword(HKEY_CURRENT_USER, kNutsKey, "dword two", &two);
    // Neighbouring removed cookies: the purge must not skip any.
    for (const char* removed : {"a.example - x", "b.example - y", "c.example - z"}) SetNut(removed, "2");
    SetNut(std::string(700, 'q'), "2");
    EXPECT_EQ(LoadNuts(), 6);
    char text[kNutTextLen] = "junk";
    EXPECT_EQ(GetNutText(6, text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(MatchesNut("C:\\Cookies\\USER@DOUBLECLICK[1].TXT"), 1);
    EXPECT_EQ(MatchesNut("C:\\Cookies\\user@example[1].txt"), 0);
    EXPECT_EQ(MatchesNut((std::string(510, 'a') + "doubleclick").c_str()), 0);   // over 512
    EXPECT_EQ(MatchesNut("a %S%N%X b"), 1);
    EXPECT_EQ(MatchesNut(nullptr), 0);

    EXPECT_EQ(PurgeRemovedCookieNuts(), 4);
    EXPECT_EQ(PurgeRemovedCookieNuts(), 0);
    EXPECT_TRUE(HasNut("dword two"));
    EXPECT_TRUE(HasNut(std::string(600, 'n')));
    EXPECT_EQ(RemoveNut("doubleclick"), 2);
    EXPECT_FALSE(HasNut("doubleclick"));
}

TEST_F(CookieTest, IEFilterDeletesEveryNuttedFileBeyondAFullListInTheFirstFolderWithAnIndex)
{
    ScratchDir chosen("vl_cookies_ie_chosen"), folder("vl_cookies_ie_full");
    WriteTextFile(folder.file("index.dat"), "");
    EXPECT_EQ(IsCookieFolder((folder.path() + std::string(251, '\\')).c_str()), 0);
    ieCookieFolder_.Set(chosen.path());   // no index.dat: passed over
    shellCookies_.Clear();
    userShellCookies_.Set("%TEMP%\\vl_cookies_ie_full");
    char found[MAX_PATH] = {};
    EXPECT_EQ(GetIECookieFolder(found), 1);
    EXPECT_EQ(lstrcmpiA(found, (folder.path() + "\\").c_str()), 0) << found;

    maxCookie_.Set("315");
    SetCookieMode(kCookieModeIE);
    for (int i = 0; i < 400; ++i) {
        std::string site = i % 10 == 9 ? "zz.doubleclick" : "site" + std::to_string(i);
        WriteTextFile(folder.file(("user@" + site + "[" + std::to_string(i) + "].txt").c_str()), "c\n");
    }
    // Neither listed nor deleted: a system file, another kind of file, a folder.
    std::string system = folder.file("user@doubleclick[sys].txt");
    WriteTextFile(system, "c\n");
    SetFileAttributesA(system.c_str(), FILE_ATTRIBUTE_SYSTEM);
    WriteTextFile(folder.file("user@doubleclick[1].dat"), "c\n");
    CreateDirectoryA(folder.file("sub.txt").c_str(), nullptr);

    EXPECT_EQ(BuildCookieList(0), 315);
    SetNut("DOUBLECLICK", "1");
    EXPECT_EQ(BuildCookieList(1), 315);

    // Every file the nut matches is gone, also those the full list never saw.
    maxCookie_.Set("4096");
    ASSERT_EQ(BuildCookieList(0), 360);
    Item item = ItemAtIndex(0);
    EXPECT_EQ(lstrcmpiA(item.path.c_str(), folder.file(item.title.c_str()).c_str()), 0) << item.path;
    EXPECT_EQ(item.type, kInfoCookie);
    EXPECT_EQ(item.detail.size(), 16u) << item.detail;   // yyyy/mm/dd hh:mm
    EXPECT_TRUE(Exists(system));
    EXPECT_TRUE(Exists(folder.file("user@doubleclick[1].dat")));
    SetFileAttributesA(system.c_str(), FILE_ATTRIBUTE_NORMAL);
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
