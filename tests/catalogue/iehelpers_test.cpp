#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "tests/catalogue/startuptest.h"

using namespace startuptest;
namespace {
// Class identifiers of the test's own add-ons (A to G); nothing else registers them.
std::string Id(char c) { return std::string("{7D3E1A10-5B2C-4C1E-9A11-0000000000") + c + "1}"; }
const std::string kLongName(300, 'L');
constexpr const char* kMarkerKey = "Software\\Corvath\\Tests\\IEFixture";
const HKEY kLM = HKEY_LOCAL_MACHINE;
std::string Key(const std::string& a, const std::string& b) { return a + "\\" + b; }
bool KeyExists(const std::string& key)
{
    UniqueKey h;
    return RegOpenKeyExA(kLM, key.c_str(), 0, KEY_READ, h.put()) == ERROR_SUCCESS;
}
std::string ServerKey(char c) { return Key(Key("CLSID", Id(c)), "InprocServer32"); }
void RegisterServer(char c, const std::string& path)
{
    SetText(HKEY_CLASSES_ROOT, Key("CLSID", Id(c)).c_str(), "", "Northwind class");
    SetText(HKEY_CLASSES_ROOT, ServerKey(c).c_str(), "", path);
}
void Set(const std::string& key, const char* name, const std::string& text) { SetText(kLM, key.c_str(), name, text); }

// Position of the entry with this entry name and type, or -1.
int FindItem(const std::string& entry, int type)
{
    for (int i = 0; i < ItemCount(); ++i)
        if (GetItemType(i) == type && ReadItem(i).entry == entry) return i;
    return -1;
}

// Every registration of the test's classes is removed before and after; a
// parent key the prefix lacked is removed again afterwards.
class IEHelpers : public ::testing::Test {
protected:
    const std::string dll = FixturePath("ie_fixture.dll");
    OwnedKey parents_[3] = {{kLM, kIEBrowserHelpersKey}, {kLM, kIEToolbarKey}, {kLM, kIEExtensionsKey}};
    void SetUp() override { WriteOption("History", 1); Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        ClearItems();
        for (char c : std::string("ABCDEFG")) {
            DeleteKeyTree(HKEY_CLASSES_ROOT, Key("CLSID", Id(c)).c_str());
            DeleteKeyTree(kLM, Key(kIEBrowserHelpersKey, Id(c)).c_str());
            DeleteKeyTree(kLM, Key(kIEExtensionsKey, Id(c)).c_str());
            DeleteRegValue(kLM, kIEToolbarKey, Id(c).c_str());
        }
        DeleteRegValue(kLM, kIEToolbarKey, kLongName.c_str());
        DeleteKeyTree(HKEY_CURRENT_USER, kMarkerKey);
    }
};

TEST_F(IEHelpers, ListsEachKindInOrderWithVersionTextsAndPassesOverUnreadableRegistrations)
{
    RegisterServer('A', dll);
    RegisterServer('B', dll);
    const DWORD number = 0x5C3A43;   // reads like a path when taken as text
    SetRaw(HKEY_CLASSES_ROOT, ServerKey('D').c_str(), "", REG_DWORD, &number, sizeof number);
    SetRaw(HKEY_CLASSES_ROOT, ServerKey('E').c_str(), "", REG_BINARY, dll.c_str(), DWORD(dll.size() + 1));
    RegisterServer('F', "C:\\" + std::string(300, 'x') + ".dll");
    RegisterServer('G', "C:\\nowhere\\ghost.dll");   // no version texts: titled by the file name
    for (char c : std::string("ACDEFG")) Set(Key(kIEBrowserHelpersKey, Id(c)), "", "");   // C: no class
    // A name no 255-character buffer holds must not end the walk.
    for (const std::string& name : {kLongName, Id('A'), Id('C')}) Set(kIEToolbarKey, name.c_str(), "");
    Set(Key(kIEExtensionsKey, Id('A')), "ButtonText", "@C:\\WINDOWS\\System32\\SHDOCLC.DLL,-866");
    Set(Key(kIEExtensionsKey, Id('B')), "ButtonText", "Lookup");
    Set(Key(kIEExtensionsKey, Id('B')), "Exec", "");
    Set(Key(kIEExtensionsKey, Id('B')), "script", "C:\\scripts\\lookup.htm");
    Set(Key(kIEExtensionsKey, Id('C')), "ButtonText", "Northwind Button");
    Set(Key(kIEExtensionsKey, Id('C')), "Exec", dll);
    Set(Key(kIEExtensionsKey, Id('C')), "HotIcon", "C:\\icons\\northwind.ico");
    const DWORD letter = 'A';   // a button text stored as a number is no text
    SetRaw(kLM, Key(kIEExtensionsKey, Id('D')).c_str(), "ButtonText", REG_DWORD, &letter, sizeof letter);
    Set(Key(kIEExtensionsKey, Id('D')), "Exec", dll);
    const int count = BuildIEHelperList();
    EXPECT_EQ(count, ItemCount());
    const int at[] = {FindItem(Id('A'), 900), FindItem(Id('A'), 901), FindItem(Id('C'), 902)};
    ASSERT_TRUE(at[0] >= 0 && at[0] < at[1] && at[1] < at[2]) << at[0] << " " << at[1] << " " << at[2];
    const char* details[] = {"3.1.4", "3.1.4", "C:\\icons\\northwind.ico"};
    for (int k = 0; k < 3; ++k) {
        const Item item = ReadItem(at[k]);
        EXPECT_EQ(item.title + "|" + item.detail, std::string("Northwind Toolbar|") + details[k]);
        EXPECT_EQ(lstrcmpiA(item.path.c_str(), dll.c_str()), 0) << item.path;
    }
    const Item toolbar = ReadItem(FindItem(Id('C'), 901)), related = ReadItem(FindItem(Id('A'), 902)),
               script = ReadItem(FindItem(Id('B'), 902)), ghost = ReadItem(FindItem(Id('G'), 900));
    EXPECT_EQ(toolbar.title + toolbar.path, "");
    EXPECT_EQ(related.title + "|" + related.path, "Related|");
    EXPECT_EQ(script.title + "|" + script.path + "|" + script.detail,
              "Lookup|C:\\scripts\\lookup.htm|C:\\scripts\\lookup.htm");
    EXPECT_EQ(ghost.title + "|" + ghost.detail, "ghost.dll|");
    for (char c : std::string("CDEF")) EXPECT_EQ(FindItem(Id(c), 900), -1) << c;
    EXPECT_EQ(FindItem(Id('D'), 902), -1);
    char name[kPathLen], path[kPathLen];   // an identifier without braces gets them
    EXPECT_EQ(GetClsidServer(Id('B').substr(1, 36).c_str(), name, path), 1);
    EXPECT_EQ(std::string(name) + "|" + path, "Northwind class|" + dll);
}

// Two add-ons share one server in a folder with blanks: regsvr32 runs on the
// whole quoted path for each, and only the chosen key goes.
TEST_F(IEHelpers, RemovingDeletesOnlyTheChosenKeyUnregistersEveryUseOfTheServerAndRefusesNonAddOns)
{
    ScratchDir dir("ie helper blanks");
    const std::string copy = dir.file("ie_fixture.dll");
    ASSERT_TRUE(CopyFileA(dll.c_str(), copy.c_str(), FALSE));
    for (char c : {'A', 'B'}) RegisterServer(c, copy), Set(Key(kIEBrowserHelpersKey, Id(c)), "", "");
    RegisterServer('C', "C:\\nowhere\\bar.dll");
    Set(kIEToolbarKey, Id('C').c_str(), "");
    Set(Key(kIEExtensionsKey, Id('B')), "ButtonText", "Northwind Button");
    Set(Key(kIEExtensionsKey, Id('B')), "script", "C:\\nowhere\\button.htm");
    BuildIEHelperList();
    const int i = FindItem(Id('A'), 900), t = FindItem(Id('C'), 901), e = FindItem(Id('B'), 902);
    ASSERT_TRUE(i >= 0 && t >= 0 && e >= 0 && FindItem(Id('B'), 900) >= 0);
    const std::string path = ReadItem(i).path;
    const std::string line = "\tIEHELPER_Remove\tTYPE_BHO\tie_fixture.dll\t" + path + "\t" +
                             Key(kIEBrowserHelpersKey, Id('A')) + "\r\n";
    const size_t before = ReadTextFile(HistoryPath()).size();
    EXPECT_EQ(RemoveIEHelper(path.c_str(), i), 2);
    EXPECT_FALSE(KeyExists(Key(kIEBrowserHelpersKey, Id('A'))));
    EXPECT_TRUE(KeyExists(Key(kIEBrowserHelpersKey, Id('B'))));
    const std::string added = ReadTextFile(HistoryPath()).substr(before);
    EXPECT_LT(added.find(line), added.rfind(line)) << added;   // a line for each deletion
    // Each run of DllUnregisterServer (not waited for) records its module path.
    UniqueKey marker;
    DWORD runs = 0;
    for (int attempt = 0; attempt < 300 && runs < 2; ++attempt, Sleep(100)) {
        if (!marker) RegOpenKeyExA(HKEY_CURRENT_USER, kMarkerKey, 0, KEY_READ, marker.put());
        if (marker) RegQueryInfoKeyA(marker.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &runs,
                                     nullptr, nullptr, nullptr, nullptr);
    }
    EXPECT_EQ(runs, 2u);
    EXPECT_EQ(RemoveIEHelper("C:\\NOWHERE\\BAR.DLL", t), 1);
    EXPECT_EQ(Reg(kLM, kIEToolbarKey, Id('C')), kMissing);
    EXPECT_EQ(RemoveIEHelper("C:\\NOWHERE\\BUTTON.HTM", e), 1);
    EXPECT_FALSE(KeyExists(Key(kIEExtensionsKey, Id('B'))));
    // A list position that is no add-on is refused; an empty entry name must
    // not turn into the key of every add-on.
    AddItem("Run entry", copy.c_str(), "Run entry", "", 1, 0);
    for (int index : {ItemCount() - 1, -1, ItemCount()}) EXPECT_EQ(RemoveIEHelper(copy.c_str(), index), 0) << index;
    EXPECT_EQ(RemoveIEHelper(nullptr, 0), 0);
    ClearItems();
    AddItem("Broken", "C:\\nowhere\\x.dll", "", "", 900, 0);
    AddItem("Broken", "C:\\nowhere\\x.dll", "", "", 902, 0);
    EXPECT_EQ(RemoveIEHelper("C:\\nowhere\\x.dll", 0) + RemoveIEHelper("C:\\nowhere\\x.dll", 1), 4);
    EXPECT_TRUE(KeyExists(kIEBrowserHelpersKey) && KeyExists(kIEExtensionsKey));
    // regsvr32 may still hold the copy for a moment; the folder goes with dir.
    for (int attempt = 0; attempt < 50 && !DeleteFileA(copy.c_str()); ++attempt) Sleep(100);
}
}  // namespace
