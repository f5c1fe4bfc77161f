#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "tests/support/testsupport.h"

namespace {

// Class identifiers of the test's own add-ons; nothing else registers them.
constexpr const char* kClsidA = "{7D3E1A10-5B2C-4C1E-9A11-0000000000A1}";
constexpr const char* kClsidB = "{7D3E1A10-5B2C-4C1E-9A11-0000000000B2}";
constexpr const char* kClsidC = "{7D3E1A10-5B2C-4C1E-9A11-0000000000C3}";
constexpr const char* kClsidD = "{7D3E1A10-5B2C-4C1E-9A11-0000000000D4}";
constexpr const char* kMarkerKey = "Software\\Corvath\\Tests\\IEFixture";

std::string Join(const char* a, const char* b)
{
    return std::string(a) + "\\" + b;
}

void SetText(HKEY root, const std::string& key, const char* name, const std::string& text,
             DWORD type = REG_SZ)
{
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyA(root, key.c_str(), &h), ERROR_SUCCESS) << key;
    RegSetValueExA(h, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(h);
}

void SetDword(HKEY root, const std::string& key, const char* name, DWORD value)
{
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyA(root, key.c_str(), &h), ERROR_SUCCESS) << key;
    RegSetValueExA(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(h);
}

bool KeyExists(HKEY root, const std::string& key)
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

bool ValueExists(HKEY root, const char* key, const char* name)
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    bool found = RegQueryValueExA(h, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(h);
    return found;
}

// A parent key of the add-on registrations: created when the prefix lacks
// it, and deleted again afterwards only in that case (and only when empty).
class ParentKey {
    std::string path_;
    bool created_ = false;

public:
    explicit ParentKey(const char* path) : path_(path)
    {
        created_ = !KeyExists(HKEY_LOCAL_MACHINE, path_);
        HKEY h = nullptr;
        if (RegCreateKeyA(HKEY_LOCAL_MACHINE, path_.c_str(), &h) == ERROR_SUCCESS) RegCloseKey(h);
    }
    ~ParentKey()
    {
        if (created_) RegDeleteKeyA(HKEY_LOCAL_MACHINE, path_.c_str());
    }
};

// A toolbar value, removed before and after.
class ToolbarValue {
    std::string name_;

public:
    explicit ToolbarValue(std::string name) : name_(std::move(name)) { Remove(); }
    ~ToolbarValue() { Remove(); }
    void Set() { SetText(HKEY_LOCAL_MACHINE, kIEToolbarKey, name_.c_str(), ""); }
    void Remove()
    {
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kIEToolbarKey, 0, KEY_WRITE, &h) == ERROR_SUCCESS) {
            RegDeleteValueA(h, name_.c_str());
            RegCloseKey(h);
        }
    }
};

// Everything one test may register, all removed before and after.
struct Registrations {
    ParentKey bhoParent{kIEBrowserHelpersKey};
    ParentKey toolbarParent{kIEToolbarKey};
    ParentKey extensionParent{kIEExtensionsKey};
    ScratchKey classA{HKEY_CLASSES_ROOT, Join("CLSID", kClsidA)};
    ScratchKey classB{HKEY_CLASSES_ROOT, Join("CLSID", kClsidB)};
    ScratchKey classC{HKEY_CLASSES_ROOT, Join("CLSID", kClsidC)};
    ScratchKey classD{HKEY_CLASSES_ROOT, Join("CLSID", kClsidD)};
    ScratchKey bhoA{HKEY_LOCAL_MACHINE, Join(kIEBrowserHelpersKey, kClsidA)};
    ScratchKey bhoB{HKEY_LOCAL_MACHINE, Join(kIEBrowserHelpersKey, kClsidB)};
    ScratchKey bhoC{HKEY_LOCAL_MACHINE, Join(kIEBrowserHelpersKey, kClsidC)};
    ScratchKey bhoD{HKEY_LOCAL_MACHINE, Join(kIEBrowserHelpersKey, kClsidD)};
    ScratchKey extA{HKEY_LOCAL_MACHINE, Join(kIEExtensionsKey, kClsidA)};
    ScratchKey extB{HKEY_LOCAL_MACHINE, Join(kIEExtensionsKey, kClsidB)};
    ScratchKey extC{HKEY_LOCAL_MACHINE, Join(kIEExtensionsKey, kClsidC)};
    ScratchKey extD{HKEY_LOCAL_MACHINE, Join(kIEExtensionsKey, kClsidD)};
    ToolbarValue toolbarA{kClsidA};
    ToolbarValue toolbarBare{std::string(kClsidB).substr(1, 36)};
    ToolbarValue toolbarC{kClsidC};
    ToolbarValue toolbarLong{std::string(300, 'L')};
    ScratchKey marker{HKEY_CURRENT_USER, kMarkerKey};

    void RegisterServer(const char* clsid, const std::string& path)
    {
        SetText(HKEY_CLASSES_ROOT, Join("CLSID", clsid), "", "Northwind class");
        SetText(HKEY_CLASSES_ROOT, Join(Join("CLSID", clsid).c_str(), "InprocServer32"), "", path);
    }
    void AddBho(const char* clsid)
    {
        SetText(HKEY_LOCAL_MACHINE, Join(kIEBrowserHelpersKey, clsid), "", "");
    }
};

struct Item {
    std::string title, path, entry, detail;
    int type = 0;
};

Item ReadItem(int i)
{
    char title[kTitleLen], path[kPathLen], entry[kEntryLen], detail[kDetailLen];
    GetItemTitle(i, title);
    GetItemPath(i, path);
    GetItemEntryName(i, entry);
    GetItemDetail(i, detail, kDetailLen);
    return {title, path, entry, detail, GetItemType(i)};
}

// Position of the entry with this entry name and type, or -1.
int FindItem(const std::string& entry, int type)
{
    for (int i = 0; i < ItemCount(); ++i)
        if (GetItemType(i) == type && ReadItem(i).entry == entry) return i;
    return -1;
}

// The paths that DllUnregisterServer recorded, after waiting for at least
// `expected` regsvr32 runs (they are started without waiting).
std::vector<std::string> WaitForUnregistrations(size_t expected)
{
    std::vector<std::string> paths;
    for (int attempt = 0; attempt < 300; ++attempt) {
        paths.clear();
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kMarkerKey, 0, KEY_READ, &h) == ERROR_SUCCESS) {
            for (DWORD i = 0;; ++i) {
                char name[64], data[MAX_PATH];
                DWORD nameSize = sizeof(name), dataSize = sizeof(data);
                if (RegEnumValueA(h, i, name, &nameSize, nullptr, nullptr,
                                  reinterpret_cast<BYTE*>(data), &dataSize) != ERROR_SUCCESS)
                    break;
                paths.emplace_back(data);
            }
            RegCloseKey(h);
        }
        if (paths.size() >= expected) break;
        Sleep(100);
    }
    return paths;
}

std::string HistoryText()
{
    char path[MAX_PATH] = "";
    GetHistoryFilePath(path);
    return ReadTextFile(path);
}

size_t CountOccurrences(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

bool SameText(const std::string& a, const std::string& b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

class IEHelpers : public ::testing::Test {
protected:
    void SetUp() override { WriteOption("History", 1); }
    void TearDown() override { ClearItems(); }
    Registrations reg;
    const std::string dll = FixturePath("ie_fixture.dll");
};

TEST_F(IEHelpers, ListsEachKindInOrderWithVersionTexts)
{
    reg.RegisterServer(kClsidA, dll);
    reg.AddBho(kClsidA);
    reg.RegisterServer(kClsidB, dll);
    reg.toolbarBare.Set();   // the toolbar value names its class without braces
    const std::string ext = Join(kIEExtensionsKey, kClsidC);
    SetText(HKEY_LOCAL_MACHINE, ext, "ButtonText", "Northwind Button");
    SetText(HKEY_LOCAL_MACHINE, ext, "Exec", dll);
    SetText(HKEY_LOCAL_MACHINE, ext, "HotIcon", "C:\\icons\\northwind.ico");

    const int count = BuildIEHelperList();
    EXPECT_EQ(count, ItemCount());
    const int bho = FindItem(kClsidA, 900);
    const int toolbar = FindItem(std::string(kClsidB).substr(1, 36), 901);
    const int extension = FindItem(kClsidC, 902);
    ASSERT_GE(bho, 0);
    ASSERT_GT(toolbar, bho);
    ASSERT_GT(extension, toolbar);

    Item b = ReadItem(bho);
    EXPECT_EQ(b.title, "Northwind Toolbar");
    EXPECT_TRUE(SameText(b.path, dll)) << b.path;
    EXPECT_EQ(b.detail, "3.1.4");
    Item t = ReadItem(toolbar);
    EXPECT_EQ(t.title, "Northwind Toolbar");
    EXPECT_TRUE(SameText(t.path, dll)) << t.path;
    EXPECT_EQ(t.detail, "3.1.4");
    Item e = ReadItem(extension);
    EXPECT_EQ(e.title, "Northwind Toolbar");
    EXPECT_TRUE(SameText(e.path, dll)) << e.path;
    EXPECT_EQ(e.detail, "C:\\icons\\northwind.ico");
}

TEST_F(IEHelpers, BrowserHelperWithoutTextServerPathIsPassedOver)
{
    reg.AddBho(kClsidA);   // class not registered at all
    reg.AddBho(kClsidB);   // server path is a number
    SetDword(HKEY_CLASSES_ROOT, Join(Join("CLSID", kClsidB).c_str(), "InprocServer32"), "",
             0x5C3A43);
    reg.AddBho(kClsidC);   // server path is binary data that reads like a path
    SetText(HKEY_CLASSES_ROOT, Join(Join("CLSID", kClsidC).c_str(), "InprocServer32"), "", dll,
            REG_BINARY);
    reg.AddBho(kClsidD);   // server path longer than any path buffer
    reg.RegisterServer(kClsidD, "C:\\" + std::string(300, 'x') + ".dll");

    BuildIEHelperList();
    EXPECT_EQ(FindItem(kClsidA, 900), -1);
    EXPECT_EQ(FindItem(kClsidB, 900), -1);
    EXPECT_EQ(FindItem(kClsidC, 900), -1);
    EXPECT_EQ(FindItem(kClsidD, 900), -1);
}

TEST_F(IEHelpers, BrowserHelperWithoutVersionIsTitledByFileName)
{
    reg.RegisterServer(kClsidA, "C:\\nowhere\\ghost.dll");
    reg.AddBho(kClsidA);
    BuildIEHelperList();
    int i = FindItem(kClsidA, 900);
    ASSERT_GE(i, 0);
    EXPECT_EQ(ReadItem(i).title, "ghost.dll");
    EXPECT_EQ(ReadItem(i).detail, "");
}

TEST_F(IEHelpers, ClsidLookupAddsBracesOnlyWhenMissing)
{
    reg.RegisterServer(kClsidA, dll);
    char name[kPathLen], path[kPathLen];
    EXPECT_EQ(GetClsidServer(kClsidA, name, path), 1);
    EXPECT_STREQ(name, "Northwind class");
    EXPECT_TRUE(SameText(path, dll));

    const std::string bare = std::string(kClsidA).substr(1, 36);
    EXPECT_EQ(GetClsidServer(bare.c_str(), name, path), 1);
    EXPECT_TRUE(SameText(path, dll));

    // A name with braces of its own is not wrapped a second time.
    const std::string braced = std::string("{") + kClsidA + "}";
    EXPECT_EQ(GetClsidServer(braced.c_str(), name, path), 1);
    EXPECT_STREQ(path, "");

    EXPECT_EQ(GetClsidServer(kClsidB, name, path), 1);
    EXPECT_STREQ(name, "");
    EXPECT_STREQ(path, "");

    const std::string huge(600, '7');
    EXPECT_EQ(GetClsidServer(huge.c_str(), name, path), 1);
    EXPECT_STREQ(path, "");
}

TEST_F(IEHelpers, ToolbarsAreListedEvenWhenTheirClassIsMissing)
{
    reg.RegisterServer(kClsidA, dll);
    reg.toolbarA.Set();
    reg.toolbarC.Set();      // no class registration
    reg.toolbarLong.Set();   // a name no 255-character buffer holds
    BuildIEHelperList();
    int a = FindItem(kClsidA, 901);
    ASSERT_GE(a, 0);
    EXPECT_EQ(ReadItem(a).title, "Northwind Toolbar");
    int c = FindItem(kClsidC, 901);
    ASSERT_GE(c, 0);
    EXPECT_EQ(ReadItem(c).path, "");
    EXPECT_EQ(ReadItem(c).title, "");
    EXPECT_EQ(FindItem(std::string(300, 'L'), 901), -1);
}

TEST_F(IEHelpers, ExtensionTextsFallBackInTheirOrder)
{
    const std::string related = Join(kIEExtensionsKey, kClsidA);
    SetText(HKEY_LOCAL_MACHINE, related, "ButtonText", "@C:\\WINDOWS\\System32\\SHDOCLC.DLL,-866");
    const std::string script = Join(kIEExtensionsKey, kClsidB);
    SetText(HKEY_LOCAL_MACHINE, script, "ButtonText", "Lookup");
    SetText(HKEY_LOCAL_MACHINE, script, "Exec", "");
    SetText(HKEY_LOCAL_MACHINE, script, "script", "C:\\scripts\\lookup.htm");
    const std::string noText = Join(kIEExtensionsKey, kClsidC);
    SetText(HKEY_LOCAL_MACHINE, noText, "Exec", dll);
    const std::string dwordText = Join(kIEExtensionsKey, kClsidD);
    SetDword(HKEY_LOCAL_MACHINE, dwordText, "ButtonText", 0x41);
    SetText(HKEY_LOCAL_MACHINE, dwordText, "Exec", dll);

    BuildIEHelperList();
    int r = FindItem(kClsidA, 902);
    ASSERT_GE(r, 0);
    EXPECT_EQ(ReadItem(r).title, "Related");
    EXPECT_EQ(ReadItem(r).path, "");
    EXPECT_EQ(ReadItem(r).detail, "");
    int s = FindItem(kClsidB, 902);
    ASSERT_GE(s, 0);
    EXPECT_EQ(ReadItem(s).title, "Lookup");
    EXPECT_EQ(ReadItem(s).path, "C:\\scripts\\lookup.htm");
    EXPECT_EQ(ReadItem(s).detail, "C:\\scripts\\lookup.htm");
    EXPECT_EQ(FindItem(kClsidC, 902), -1);
    EXPECT_EQ(FindItem(kClsidD, 902), -1);
}

TEST_F(IEHelpers, RemovingHelperDeletesKeyUnregistersAndWritesHistory)
{
    reg.RegisterServer(kClsidA, dll);
    reg.AddBho(kClsidA);
    BuildIEHelperList();
    int i = FindItem(kClsidA, 900);
    ASSERT_GE(i, 0);
    const std::string path = ReadItem(i).path;
    const std::string line = "\tIEHELPER_Remove\tTYPE_BHO\tie_fixture.dll\t" + path + "\t" +
                             Join(kIEBrowserHelpersKey, kClsidA) + "\r\n";
    const size_t before = CountOccurrences(HistoryText(), line);

    EXPECT_EQ(RemoveIEHelper(path.c_str(), i), 1);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Join(kIEBrowserHelpersKey, kClsidA)));
    std::vector<std::string> runs = WaitForUnregistrations(1);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(SameText(runs[0], dll)) << runs[0];
    EXPECT_EQ(CountOccurrences(HistoryText(), line), before + 1);

    BuildIEHelperList();
    EXPECT_EQ(FindItem(kClsidA, 900), -1);
}

TEST_F(IEHelpers, RemovingSharedServerLeavesTheOtherRegistration)
{
    reg.RegisterServer(kClsidA, dll);
    reg.RegisterServer(kClsidB, dll);
    reg.AddBho(kClsidA);
    reg.AddBho(kClsidB);
    BuildIEHelperList();
    int i = FindItem(kClsidA, 900);
    ASSERT_GE(i, 0);
    ASSERT_GE(FindItem(kClsidB, 900), 0);

    EXPECT_EQ(RemoveIEHelper(ReadItem(i).path.c_str(), i), 2);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Join(kIEBrowserHelpersKey, kClsidA)));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Join(kIEBrowserHelpersKey, kClsidB)));
    EXPECT_EQ(WaitForUnregistrations(2).size(), 2u);
}

TEST_F(IEHelpers, RemovingToolbarAndExtensionDeletesTheirRegistrations)
{
    reg.RegisterServer(kClsidA, dll);
    reg.toolbarA.Set();
    const std::string ext = Join(kIEExtensionsKey, kClsidB);
    SetText(HKEY_LOCAL_MACHINE, ext, "ButtonText", "Northwind Button");
    SetText(HKEY_LOCAL_MACHINE, ext, "script", "C:\\nowhere\\button.htm");

    BuildIEHelperList();
    int t = FindItem(kClsidA, 901);
    ASSERT_GE(t, 0);
    EXPECT_EQ(RemoveIEHelper(ReadItem(t).path.c_str(), t), 1);
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kIEToolbarKey, kClsidA));
    EXPECT_EQ(WaitForUnregistrations(1).size(), 1u);

    BuildIEHelperList();
    int e = FindItem(kClsidB, 902);
    ASSERT_GE(e, 0);
    EXPECT_EQ(RemoveIEHelper("C:\\NOWHERE\\BUTTON.HTM", e), 1);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ext));
}

TEST_F(IEHelpers, HelperKeyWithSubkeysStaysButIsCountedAndUnregistered)
{
    reg.RegisterServer(kClsidA, dll);
    reg.AddBho(kClsidA);
    SetText(HKEY_LOCAL_MACHINE, Join(Join(kIEBrowserHelpersKey, kClsidA).c_str(), "Settings"), "",
            "kept");
    BuildIEHelperList();
    int i = FindItem(kClsidA, 900);
    ASSERT_GE(i, 0);
    EXPECT_EQ(RemoveIEHelper(ReadItem(i).path.c_str(), i), 1);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Join(kIEBrowserHelpersKey, kClsidA)));
    EXPECT_EQ(WaitForUnregistrations(1).size(), 1u);
}

TEST_F(IEHelpers, ServerPathWithBlanksIsUnregisteredAsOneFile)
{
    ScratchDir dir("ie helper blanks");
    const std::string copy = dir.file("ie_fixture.dll");
    ASSERT_TRUE(CopyFileA(dll.c_str(), copy.c_str(), FALSE));
    reg.RegisterServer(kClsidA, copy);
    reg.AddBho(kClsidA);
    BuildIEHelperList();
    int i = FindItem(kClsidA, 900);
    ASSERT_GE(i, 0);
    EXPECT_EQ(RemoveIEHelper(ReadItem(i).path.c_str(), i), 1);
    std::vector<std::string> runs = WaitForUnregistrations(1);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(SameText(runs[0], copy)) << runs[0];
    // regsvr32 may still hold the copy for a moment; the folder goes with dir.
    for (int attempt = 0; attempt < 50 && !DeleteFileA(copy.c_str()); ++attempt) Sleep(100);
}

TEST_F(IEHelpers, RemovalRefusesPositionsThatAreNotAddOns)
{
    ClearItems();
    EXPECT_EQ(RemoveIEHelper("C:\\nowhere\\x.dll", 0), 0);
    AddItem("Run entry", "C:\\nowhere\\x.dll", "Run entry", "", 1, 0);
    EXPECT_EQ(RemoveIEHelper("C:\\nowhere\\x.dll", 0), 0);
    EXPECT_EQ(RemoveIEHelper("C:\\nowhere\\x.dll", -1), 0);
    EXPECT_EQ(RemoveIEHelper("C:\\nowhere\\x.dll", 1), 0);
    EXPECT_EQ(RemoveIEHelper(nullptr, 0), 0);
}

TEST_F(IEHelpers, EmptyEntryNameNeverDeletesTheParentKey)
{
    ClearItems();
    AddItem("Broken", "C:\\nowhere\\broken.dll", "", "", 900, 0);
    AddItem("Broken", "C:\\nowhere\\broken.dll", "", "", 902, 0);
    EXPECT_EQ(RemoveIEHelper("C:\\nowhere\\broken.dll", 0), 2);
    EXPECT_EQ(RemoveIEHelper("C:\\nowhere\\broken.dll", 1), 2);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kIEBrowserHelpersKey));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kIEExtensionsKey));
}

}  // namespace
