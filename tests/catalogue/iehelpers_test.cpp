#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "tests/support/testsupport.h"

namespace {

// Class identifiers of the test's own add-ons; nothing else registers them.
constexpr const char* kA = "{7D3E1A10-5B2C-4C1E-9A11-0000000000A1}";
constexpr const char* kB = "{7D3E1A10-5B2C-4C1E-9A11-0000000000B2}";
constexpr const char* kC = "{7D3E1A10-5B2C-4C1E-9A11-0000000000C3}";
constexpr const char* kD = "{7D3E1A10-5B2C-4C1E-9A11-0000000000D4}";
constexpr const char* kE = "{7D3E1A10-5B2C-4C1E-9A11-0000000000E5}";
const std::string kBareB = std::string(kB).substr(1, 36);
const std::string kLongName(300, 'L');
const char* const kParents[] = {kIEBrowserHelpersKey, kIEToolbarKey, kIEExtensionsKey};
constexpr const char* kMarkerKey = "Software\\Corvath\\Tests\\IEFixture";

std::string Key(const std::string& a, const std::string& b) { return a + "\\" + b; }

void Set(HKEY root, const std::string& key, const char* name, const void* data, size_t size,
         DWORD type)
{
    ASSERT_EQ(RegSetKeyValueA(root, key.c_str(), name, type, data, static_cast<DWORD>(size)), 0)
        << key;
}
void SetText(HKEY root, const std::string& key, const char* name, const std::string& text,
             DWORD type = REG_SZ)
{
    Set(root, key, name, text.c_str(), text.size() + 1, type);
}

// An HKLM key, or one of its values, is there.
bool Exists(const std::string& key, const char* value = nullptr)
{
    UniqueKey h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, h.put()) != ERROR_SUCCESS)
        return false;
    return !value || RegQueryValueExA(h.get(), value, nullptr, nullptr, nullptr, nullptr) == 0;
}

std::string ServerKey(const char* clsid) { return Key(Key("CLSID", clsid), "InprocServer32"); }
void RegisterServer(const char* clsid, const std::string& path)
{
    SetText(HKEY_CLASSES_ROOT, Key("CLSID", clsid), "", "Northwind class");
    SetText(HKEY_CLASSES_ROOT, ServerKey(clsid), "", path);
}
void AddBho(const char* clsid)
{
    SetText(HKEY_LOCAL_MACHINE, Key(kIEBrowserHelpersKey, clsid), "", "");
}
void AddToolbar(const std::string& name)
{
    SetText(HKEY_LOCAL_MACHINE, kIEToolbarKey, name.c_str(), "");
}

struct Item {
    std::string title, path, entry, detail;
};

Item ReadItem(int i)
{
    char title[kTitleLen], path[kPathLen], entry[kEntryLen], detail[kDetailLen];
    GetItemTitle(i, title);
    GetItemPath(i, path);
    GetItemEntryName(i, entry);
    GetItemDetail(i, detail, kDetailLen);
    return {title, path, entry, detail};
}

// Position of the entry with this entry name and type, or -1.
int FindItem(const std::string& entry, int type)
{
    for (int i = 0; i < ItemCount(); ++i)
        if (GetItemType(i) == type && ReadItem(i).entry == entry) return i;
    return -1;
}

// The paths DllUnregisterServer recorded, once at least `expected` regsvr32
// runs (started without waiting) have done so.
std::vector<std::string> WaitForUnregistrations(size_t expected)
{
    std::vector<std::string> paths;
    for (int attempt = 0; attempt < 300 && paths.size() < expected; ++attempt) {
        if (attempt) Sleep(100);
        paths.clear();
        UniqueKey h;
        RegOpenKeyExA(HKEY_CURRENT_USER, kMarkerKey, 0, KEY_READ, h.put());
        char name[64], data[MAX_PATH];
        DWORD nameSize = sizeof(name), dataSize = sizeof(data);
        while (h && RegEnumValueA(h.get(), static_cast<DWORD>(paths.size()), name, &nameSize,
                                  nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                                  &dataSize) == ERROR_SUCCESS) {
            paths.emplace_back(data);
            nameSize = sizeof(name);
            dataSize = sizeof(data);
        }
    }
    return paths;
}

size_t CountInHistory(const std::string& line)
{
    char path[MAX_PATH] = "";
    GetHistoryFilePath(path);
    const std::string text = ReadTextFile(path);
    size_t n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
    return n;
}

bool SameText(const std::string& a, const std::string& b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// Every registration of the test's classes is removed before and after; a
// parent key the prefix lacked is removed again afterwards.
class IEHelpers : public ::testing::Test {
protected:
    const std::string dll = FixturePath("ie_fixture.dll");
    bool created_[3] = {};

    void SetUp() override
    {
        WriteOption("History", 1);
        for (int i = 0; i < 3; ++i)
            created_[i] = !Exists(kParents[i]) && CreateRegKey(HKEY_LOCAL_MACHINE, kParents[i]);
        Clean();
    }
    void TearDown() override
    {
        ClearItems();
        Clean();
        for (int i = 0; i < 3; ++i)
            if (created_[i]) RegDeleteKeyA(HKEY_LOCAL_MACHINE, kParents[i]);
    }
    static void Clean()
    {
        for (const char* clsid : {kA, kB, kC, kD, kE}) {
            DeleteKeyTree(HKEY_CLASSES_ROOT, Key("CLSID", clsid).c_str());
            DeleteKeyTree(HKEY_LOCAL_MACHINE, Key(kIEBrowserHelpersKey, clsid).c_str());
            DeleteKeyTree(HKEY_LOCAL_MACHINE, Key(kIEExtensionsKey, clsid).c_str());
        }
        for (const std::string& value : {std::string(kA), std::string(kC), kBareB, kLongName})
            DeleteRegValue(HKEY_LOCAL_MACHINE, kIEToolbarKey, value.c_str());
        DeleteKeyTree(HKEY_CURRENT_USER, kMarkerKey);
    }
};

TEST_F(IEHelpers, ListsEachKindInOrderWithVersionTextsAndFallbacks)
{
    RegisterServer(kA, dll);
    AddBho(kA);
    RegisterServer(kB, dll);
    AddToolbar(kBareB);      // the toolbar value names its class without braces
    AddToolbar(kC);          // no class registration: still listed, with empty texts
    AddToolbar(kLongName);   // a name no 255-character buffer holds
    const std::string ext = Key(kIEExtensionsKey, kC);
    SetText(HKEY_LOCAL_MACHINE, ext, "ButtonText", "Northwind Button");
    SetText(HKEY_LOCAL_MACHINE, ext, "Exec", dll);
    SetText(HKEY_LOCAL_MACHINE, ext, "HotIcon", "C:\\icons\\northwind.ico");
    SetText(HKEY_LOCAL_MACHINE, Key(kIEExtensionsKey, kA), "ButtonText",
            "@C:\\WINDOWS\\System32\\SHDOCLC.DLL,-866");
    const std::string script = Key(kIEExtensionsKey, kB);
    SetText(HKEY_LOCAL_MACHINE, script, "ButtonText", "Lookup");
    SetText(HKEY_LOCAL_MACHINE, script, "Exec", "");
    SetText(HKEY_LOCAL_MACHINE, script, "script", "C:\\scripts\\lookup.htm");
    const DWORD letter = 'A';   // a button text stored as a number is no text
    Set(HKEY_LOCAL_MACHINE, Key(kIEExtensionsKey, kD), "ButtonText", &letter, sizeof(letter),
        REG_DWORD);
    SetText(HKEY_LOCAL_MACHINE, Key(kIEExtensionsKey, kD), "Exec", dll);

    const int count = BuildIEHelperList();
    EXPECT_EQ(count, ItemCount());
    const int at[] = {FindItem(kA, 900), FindItem(kBareB, 901), FindItem(kC, 902)};
    ASSERT_GE(at[0], 0);
    ASSERT_GT(at[1], at[0]);
    ASSERT_GT(at[2], at[1]);
    const char* details[] = {"3.1.4", "3.1.4", "C:\\icons\\northwind.ico"};
    for (int k = 0; k < 3; ++k) {
        Item item = ReadItem(at[k]);
        EXPECT_EQ(item.title, "Northwind Toolbar") << k;
        EXPECT_TRUE(SameText(item.path, dll)) << item.path;
        EXPECT_EQ(item.detail, details[k]) << k;
    }
    const int t = FindItem(kC, 901), r = FindItem(kA, 902), s = FindItem(kB, 902);
    ASSERT_TRUE(t >= 0 && r >= 0 && s >= 0);
    EXPECT_EQ(ReadItem(t).title + ReadItem(t).path, "");
    EXPECT_EQ(FindItem(kLongName, 901), -1);
    EXPECT_EQ(ReadItem(r).title, "Related");
    EXPECT_EQ(ReadItem(r).path, "");
    EXPECT_EQ(ReadItem(s).title, "Lookup");
    EXPECT_EQ(ReadItem(s).path, "C:\\scripts\\lookup.htm");
    EXPECT_EQ(ReadItem(s).detail, "C:\\scripts\\lookup.htm");
    EXPECT_EQ(FindItem(kD, 902), -1);
}

TEST_F(IEHelpers, BrowserHelperWithoutTextServerPathIsPassedOver)
{
    const DWORD number = 0x5C3A43;
    for (const char* clsid : {kA, kB, kC, kD, kE}) AddBho(clsid);   // kA: class not registered
    Set(HKEY_CLASSES_ROOT, ServerKey(kB), "", &number, sizeof(number), REG_DWORD);
    SetText(HKEY_CLASSES_ROOT, ServerKey(kC), "", dll, REG_BINARY);   // reads like a path
    RegisterServer(kD, "C:\\" + std::string(300, 'x') + ".dll");
    RegisterServer(kE, "C:\\nowhere\\ghost.dll");   // no version texts: titled by file name

    BuildIEHelperList();
    for (const char* clsid : {kA, kB, kC, kD}) EXPECT_EQ(FindItem(clsid, 900), -1) << clsid;
    const int e = FindItem(kE, 900);
    ASSERT_GE(e, 0);
    EXPECT_EQ(ReadItem(e).title, "ghost.dll");
    EXPECT_EQ(ReadItem(e).detail, "");
}

TEST_F(IEHelpers, ClsidLookupAddsBracesOnlyWhenMissing)
{
    RegisterServer(kA, dll);
    char name[kPathLen], path[kPathLen];
    EXPECT_EQ(GetClsidServer(kA, name, path), 1);
    EXPECT_STREQ(name, "Northwind class");
    EXPECT_TRUE(SameText(path, dll));
    EXPECT_EQ(GetClsidServer(std::string(kA).substr(1, 36).c_str(), name, path), 1);
    EXPECT_TRUE(SameText(path, dll));
    // Braces of its own are not wrapped a second time; unknown and over-long
    // identifiers find nothing.
    const std::string braced = std::string(1, '{').append(kA).append("}");
    for (const std::string& id : {braced, std::string(kB), std::string(600, '7')}) {
        EXPECT_EQ(GetClsidServer(id.c_str(), name, path), 1);
        EXPECT_STREQ(name, "") << id;
        EXPECT_STREQ(path, "") << id;
    }
}

// Two add-ons share one server in a folder with blanks: regsvr32 runs on the
// whole quoted path for each, and only the chosen key goes.
TEST_F(IEHelpers, RemovingEachKindDeletesItsKeyUnregistersEveryUseOfTheServerAndWritesHistory)
{
    ScratchDir dir("ie helper blanks");
    const std::string copy = dir.file("ie_fixture.dll");
    ASSERT_TRUE(CopyFileA(dll.c_str(), copy.c_str(), FALSE));
    for (const char* clsid : {kA, kB}) {
        RegisterServer(clsid, copy);
        AddBho(clsid);
    }
    RegisterServer(kC, "C:\\nowhere\\bar.dll");
    AddToolbar(kC);
    const std::string ext = Key(kIEExtensionsKey, kB);
    SetText(HKEY_LOCAL_MACHINE, ext, "ButtonText", "Northwind Button");
    SetText(HKEY_LOCAL_MACHINE, ext, "script", "C:\\nowhere\\button.htm");
    BuildIEHelperList();
    const int i = FindItem(kA, 900), t = FindItem(kC, 901), e = FindItem(kB, 902);
    ASSERT_TRUE(i >= 0 && t >= 0 && e >= 0 && FindItem(kB, 900) >= 0);
    const std::string path = ReadItem(i).path;
    const std::string line = "\tIEHELPER_Remove\tTYPE_BHO\tie_fixture.dll\t" + path + "\t" +
                             Key(kIEBrowserHelpersKey, kA) + "\r\n";
    const size_t before = CountInHistory(line);

    EXPECT_EQ(RemoveIEHelper(path.c_str(), i), 2);
    EXPECT_FALSE(Exists(Key(kIEBrowserHelpersKey, kA)));
    EXPECT_TRUE(Exists(Key(kIEBrowserHelpersKey, kB)));
    std::vector<std::string> runs = WaitForUnregistrations(2);
    ASSERT_EQ(runs.size(), 2u);
    for (const std::string& run : runs) EXPECT_TRUE(SameText(run, copy)) << run;
    EXPECT_EQ(CountInHistory(line), before + 2);

    EXPECT_EQ(RemoveIEHelper("C:\\NOWHERE\\BAR.DLL", t), 1);
    EXPECT_FALSE(Exists(kIEToolbarKey, kC));
    EXPECT_EQ(RemoveIEHelper("C:\\NOWHERE\\BUTTON.HTM", e), 1);
    EXPECT_FALSE(Exists(ext));
    // regsvr32 may still hold the copy for a moment; the folder goes with dir.
    for (int attempt = 0; attempt < 50 && !DeleteFileA(copy.c_str()); ++attempt) Sleep(100);
}

TEST_F(IEHelpers, RemovalRefusesNonAddOnsAndNeverDeletesTheParentKey)
{
    const char* path = "C:\\nowhere\\x.dll";
    ClearItems();
    EXPECT_EQ(RemoveIEHelper(path, 0), 0);
    AddItem("Run entry", path, "Run entry", "", 1, 0);
    for (int index : {0, -1, 1}) EXPECT_EQ(RemoveIEHelper(path, index), 0) << index;
    EXPECT_EQ(RemoveIEHelper(nullptr, 0), 0);

    // An empty entry name must not turn into the key of every add-on.
    ClearItems();
    AddItem("Broken", path, "", "", 900, 0);
    AddItem("Broken", path, "", "", 902, 0);
    EXPECT_EQ(RemoveIEHelper(path, 0), 2);
    EXPECT_EQ(RemoveIEHelper(path, 1), 2);
    EXPECT_TRUE(Exists(kIEBrowserHelpersKey));
    EXPECT_TRUE(Exists(kIEExtensionsKey));
}

}  // namespace
