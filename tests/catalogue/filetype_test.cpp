// File type associations against the real registry: the three kinds, the
// snapshot, the comparison, the restore and the watched-extension list.
#include <gtest/gtest.h>

#include <string>

#include "catalogue/catalogue.h"
#include "tests/support/testsupport.h"

namespace {

constexpr const char* kExt = "Software\\Corvath\\Velmora\\Ext";
constexpr const char* kExtApp = "Software\\Corvath\\Velmora\\ExtApp";
constexpr const char* kExtProgId = "Software\\Corvath\\Velmora\\ExtProgID";
constexpr const char* kClass = "Software\\Corvath\\Velmora\\Class";
constexpr const char* kFileExts =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.vlmtest";
constexpr const char* kDefaultList =
    "AVI;BAT;CAB;CAT;CHM;COM;CMD;CSS;DOC;EML;EXE;INF;JS;LOG;MSI;MSG;MID;MP3;PIF;RAM;REG;RTF;SBS;"
    "SCR;TXT;URL;VBS;VBE;WSF;WSH;XLS;";

void SetRaw(HKEY root, const char* key, const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS)
        << key;
    RegSetValueExA(h, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(h);
}

void SetText(HKEY root, const char* key, const char* name, const std::string& text)
{
    SetRaw(root, key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// The text of a value, or "<missing>".
std::string Text(HKEY root, const char* key, const char* name)
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return "<missing>";
    char buffer[4096] = {};
    DWORD size = sizeof(buffer) - 1;
    LONG rc = RegQueryValueExA(h, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(h);
    return rc == ERROR_SUCCESS ? std::string(buffer) : "<missing>";
}

std::string ItemPath(int i)
{
    char out[kPathLen];
    GetItemPath(i, out);
    return out;
}
std::string ItemTitle(int i)
{
    char out[kTitleLen];
    GetItemTitle(i, out);
    return out;
}
std::string ItemEntry(int i)
{
    char out[kEntryLen];
    GetItemEntryName(i, out);
    return out;
}
std::string ItemDetail(int i)
{
    char out[kDetailLen];
    GetItemDetail(i, out, kDetailLen);
    return out;
}

class FileTypeTest : public ::testing::Test {
protected:
    ScratchKey machineExt_{HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtest"};
    ScratchKey machineExt2_{HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtwo"};
    ScratchKey machineClass_{HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Doc"};
    ScratchKey bareClass_{HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Bare"};
    ScratchKey evilClass_{HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Evil"};
    ScratchKey userExt_{HKEY_CURRENT_USER, kFileExts};
    ScratchKey userExt2_{HKEY_CURRENT_USER,
                         "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.vlmtwo"};
    ScratchKey application_{HKEY_CLASSES_ROOT, "Applications\\vlmtest.exe"};
    ScratchKey progId_{HKEY_CLASSES_ROOT, "VlmTest.Prog"};
    std::string savedList_;

    void SetUp() override
    {
        savedList_ = Text(HKEY_CURRENT_USER, kClass, "");
        WipeSnapshot();
    }
    void TearDown() override
    {
        WipeSnapshot();
        ClearItems();
        if (savedList_ != "<missing>") SetText(HKEY_CURRENT_USER, kClass, "", savedList_);
    }
    static void WipeSnapshot()
    {
        for (const char* key : {kExt, kExtApp, kExtProgId, kClass}) DeleteKeyTree(HKEY_CURRENT_USER, key);
    }
    static void SetList(const std::string& list) { SetText(HKEY_CURRENT_USER, kClass, "", list); }

    // .vlmtest opens with a different program under each kind.
    static void MakeAllKinds()
    {
        SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtest", "", "VlmTest.Doc");
        SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Doc", "", "Corvath Test Document");
        SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Doc\\shell\\open\\command", "",
                "\"C:\\Old\\editor.exe\" \"%1\"");
        SetText(HKEY_CURRENT_USER, kFileExts, "Application", "vlmtest.exe");
        SetText(HKEY_CLASSES_ROOT, "Applications\\vlmtest.exe\\shell\\open\\command", "",
                "C:\\Apps\\vlmtest.exe %1");
        SetText(HKEY_CURRENT_USER, kFileExts, "ProgID", "VlmTest.Prog");
        SetText(HKEY_CLASSES_ROOT, "VlmTest.Prog\\shell\\open\\command", "",
                "C:\\Prog\\viewer.exe /view %1");
    }
};

TEST_F(FileTypeTest, GetAssociationReadsEachKindWithOrWithoutDot)
{
    MakeAllKinds();
    char name[260];
    char command[260];
    ASSERT_EQ(GetAssociation(".vlmtest", name, command, kAssocMachineClass), 1);
    EXPECT_STREQ(name, "VlmTest.Doc");
    EXPECT_STREQ(command, "\"C:\\Old\\editor.exe\" \"%1\"");
    ASSERT_EQ(GetAssociation("vlmtest", name, command, kAssocUserApplication), 1);
    EXPECT_STREQ(name, "vlmtest.exe");
    EXPECT_STREQ(command, "C:\\Apps\\vlmtest.exe %1");
    ASSERT_EQ(GetAssociation("VLMTEST", name, command, kAssocUserProgId), 1);
    EXPECT_STREQ(name, "VlmTest.Prog");
    EXPECT_STREQ(command, "C:\\Prog\\viewer.exe /view %1");

    EXPECT_EQ(GetAssociation(".vlmtest", name, command, 4), 0);
    EXPECT_EQ(GetAssociation(".vlmnone", name, command, kAssocMachineClass), 0);
    EXPECT_STREQ(name, "");
    EXPECT_STREQ(command, "");
    EXPECT_EQ(GetAssociation("", name, command, kAssocMachineClass), 0);
}

TEST_F(FileTypeTest, NameWithoutCommandOrOfWrongTypeIsNoAssociation)
{
    // A ProgID whose class has no open command.
    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtest", "", "VlmTest.Bare");
    char name[260];
    char command[260];
    EXPECT_EQ(GetAssociation(".vlmtest", name, command, kAssocMachineClass), 0);
    EXPECT_STREQ(command, "");

    // A ProgID stored as a number does not name a class.
    DeleteKeyTree(HKEY_CLASSES_ROOT, "A");
    SetText(HKEY_CLASSES_ROOT, "A\\shell\\open\\command", "", "C:\\Wrong\\a.exe %1");
    DWORD letter = 'A';
    SetRaw(HKEY_CURRENT_USER, kFileExts, "ProgID", REG_DWORD, &letter, sizeof(letter));
    EXPECT_EQ(GetAssociation(".vlmtest", name, command, kAssocUserProgId), 0);
    DeleteKeyTree(HKEY_CLASSES_ROOT, "A");

    // An open command stored as binary data is no command.
    SetText(HKEY_CURRENT_USER, kFileExts, "Application", "vlmtest.exe");
    const char bytes[] = {'C', ':', '\\', 'x'};
    SetRaw(HKEY_CLASSES_ROOT, "Applications\\vlmtest.exe\\shell\\open\\command", "", REG_BINARY,
           bytes, sizeof(bytes));
    EXPECT_EQ(GetAssociation(".vlmtest", name, command, kAssocUserApplication), 0);

    // A name longer than its buffer is not read at all.
    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtest", "", std::string(300, 'N'));
    EXPECT_EQ(GetAssociation(".vlmtest", name, command, kAssocMachineClass), 0);
}

TEST_F(FileTypeTest, ListHoldsOneEntryPerKindInListOrder)
{
    MakeAllKinds();
    // .vlmtwo's class has no description: its program's version strings stand in.
    std::string fixture = FixturePath("hidden_fixture.exe");
    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtwo", "", "VlmTest.Bare");
    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Bare\\shell\\open\\command", "",
            "\"" + fixture + "\" %1");
    SetList("vlmtwo;;VLMNONE;VLMTEST");

    ASSERT_EQ(BuildFileTypeList(), 4);
    ASSERT_EQ(ItemCount(), 4);
    EXPECT_EQ(ItemTitle(0), "Hidden Probe Suite");
    EXPECT_EQ(ItemEntry(0), "Hidden Probe Program");
    EXPECT_EQ(ItemDetail(0), ".vlmtwo");

    EXPECT_EQ(ItemTitle(1), "Corvath Test Document");
    EXPECT_EQ(ItemPath(1), "C:\\Old\\editor.exe %1");
    EXPECT_EQ(ItemEntry(1), "VlmTest.Doc");
    EXPECT_EQ(ItemDetail(1), ".VLMTEST");   // as the list spells it
    EXPECT_EQ(GetItemType(1), 400);
    EXPECT_EQ(GetItemFlag(1), 1);
    EXPECT_EQ(GetItemFlag(2), 2);
    EXPECT_EQ(ItemPath(2), "C:\\Apps\\vlmtest.exe %1");
    EXPECT_EQ(GetItemFlag(3), 3);
    EXPECT_EQ(ItemPath(3), "C:\\Prog\\viewer.exe /view %1");

    // A list stored as a number lists nothing.
    DWORD number = 7;
    SetRaw(HKEY_CURRENT_USER, kClass, "", REG_DWORD, &number, sizeof(number));
    EXPECT_EQ(BuildFileTypeList(), 0);
}

TEST_F(FileTypeTest, CreateClassInfoTakesTheSnapshotOnce)
{
    int stored = CreateClassInfo();
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, ""), kDefaultList);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kExt, ""), "Do not edit.");
    // The item list holds what was stored; every association is in the snapshot.
    EXPECT_GT(stored, 0);   // a fresh machine associates .inf, .js, .vbs and others
    ASSERT_EQ(stored, ItemCount());
    for (int i = 0; i < stored; ++i) {
        const char* store = GetItemFlag(i) == 1 ? kExt : GetItemFlag(i) == 2 ? kExtApp : kExtProgId;
        char name[260];
        char command[260];
        ASSERT_EQ(GetAssociation(ItemDetail(i).c_str(), name, command, GetItemFlag(i)), 1);
        EXPECT_EQ(Text(HKEY_CURRENT_USER, store, ItemDetail(i).c_str()), name);
        std::string unquoted;
        for (const char* c = command; *c; ++c)
            if (*c != '"') unquoted += *c;
        EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, name), unquoted);
    }

    SetText(HKEY_CURRENT_USER, kExt, ".txt", "Edited.By.Hand");
    EXPECT_EQ(CreateClassInfo(), 0);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kExt, ".txt"), "Edited.By.Hand");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, ""), kDefaultList);
}

TEST_F(FileTypeTest, OldMarkerRetakesSnapshotButKeepsTheUserList)
{
    MakeAllKinds();
    SetText(HKEY_CURRENT_USER, kExt, "", "Do not edit");
    SetList("VLMTEST;");
    EXPECT_EQ(CreateClassInfo(), 0);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, ""), "VLMTEST;");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kExt, ""), "Do not edit.");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kExt, ".vlmtest"), "VlmTest.Doc");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kExtApp, ".vlmtest"), "vlmtest.exe");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kExtProgId, ".vlmtest"), "VlmTest.Prog");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, "VlmTest.Doc"), "C:\\Old\\editor.exe %1");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, "VlmTest.Prog"), "C:\\Prog\\viewer.exe /view %1");
}

TEST_F(FileTypeTest, DamagedListIsReplacedByTheInitialOne)
{
    SetText(HKEY_CURRENT_USER, kExt, "", "Do not edit.");
    SetList("NOSEPARATORHERE");
    CreateClassInfo();
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, ""), kDefaultList);
}

TEST_F(FileTypeTest, StoreWritesNothingForAMissingAssociation)
{
    SetList("VLMTEST;");
    EXPECT_EQ(StoreAssociation(".vlmtest", kAssocMachineClass), 0);
    EXPECT_EQ(StoreAssociation(".vlmtest", 9), 0);
    // The list on the Class default value stays untouched.
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, ""), "VLMTEST;");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kExt, ".vlmtest"), "<missing>");
}

TEST_F(FileTypeTest, ChangeOfFolderIsNoChangeButOtherProgramIs)
{
    MakeAllKinds();
    ASSERT_EQ(StoreAssociation("vlmtest", kAssocMachineClass), 1);
    char stored[260];
    EXPECT_EQ(CheckAssociation(".vlmtest", 1, "D:\\New\\editor.exe %1", stored), 0);
    EXPECT_EQ(CheckAssociation(".vlmtest", 1, "C:\\OLD\\EDITOR.EXE %1", stored), 0);
    EXPECT_EQ(CheckAssociation(".vlmtest", 1, "C:\\Old\\other.exe %1", stored), 1);
    EXPECT_STREQ(stored, "C:\\Old\\editor.exe %1");

    // No record for kind 3 yet: the current association is adopted.
    EXPECT_EQ(CheckAssociation(".vlmtest", 3, "C:\\Else\\else.exe", stored), 0);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kExtProgId, ".vlmtest"), "VlmTest.Prog");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, "VlmTest.Prog"), "C:\\Prog\\viewer.exe /view %1");

    // A record holding the list itself is damaged and replaced.
    SetText(HKEY_CURRENT_USER, kClass, "VlmTest.Doc", kDefaultList);
    EXPECT_EQ(CheckAssociation(".vlmtest", 1, "C:\\Old\\other.exe %1", stored), 0);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, "VlmTest.Doc"), "C:\\Old\\editor.exe %1");

    // An empty stored name never compares against the Class default (the list).
    SetList("VLMTEST;XLS;");
    SetText(HKEY_CURRENT_USER, kExtApp, ".vlmtest", "");
    EXPECT_EQ(CheckAssociation(".vlmtest", 2, "C:\\Apps\\vlmtest.exe %1", stored), 0);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kExtApp, ".vlmtest"), "vlmtest.exe");
}

TEST_F(FileTypeTest, RestorePutsEveryKindBackAndCreatesMissingKeys)
{
    MakeAllKinds();
    for (int kind = 1; kind <= 3; ++kind) ASSERT_EQ(StoreAssociation(".vlmtest", kind), 1);

    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Doc\\shell\\open\\command", "",
            "C:\\Evil\\evil.exe %1");
    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtest", "", "VlmTest.Evil");
    SetText(HKEY_CURRENT_USER, kFileExts, "Application", "evil.exe");
    DeleteKeyTree(HKEY_CLASSES_ROOT, "Applications\\vlmtest.exe");
    DeleteKeyTree(HKEY_CLASSES_ROOT, "VlmTest.Prog");

    for (int kind = 1; kind <= 3; ++kind) EXPECT_EQ(RestoreAssociation("vlmtest", kind), 1) << kind;
    char name[260];
    char command[260];
    ASSERT_EQ(GetAssociation(".vlmtest", name, command, 1), 1);
    EXPECT_STREQ(name, "VlmTest.Doc");
    EXPECT_STREQ(command, "C:\\Old\\editor.exe %1");
    ASSERT_EQ(GetAssociation(".vlmtest", name, command, 2), 1);
    EXPECT_STREQ(name, "vlmtest.exe");
    EXPECT_STREQ(command, "C:\\Apps\\vlmtest.exe %1");
    ASSERT_EQ(GetAssociation(".vlmtest", name, command, 3), 1);
    EXPECT_STREQ(name, "VlmTest.Prog");
    EXPECT_STREQ(command, "C:\\Prog\\viewer.exe /view %1");
    // The intruder's class is left alone.
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Evil\\shell\\open\\command", ""),
              "<missing>");
}

TEST_F(FileTypeTest, RestoreWithoutSnapshotDoesNothing)
{
    EXPECT_EQ(RestoreAssociation(".vlmtwo", 1), 0);
    EXPECT_EQ(RestoreAssociation(".vlmtwo", 2), 0);
    EXPECT_EQ(RestoreAssociation(".vlmtwo", 7), 0);
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtwo", ""), "<missing>");
    EXPECT_EQ(Text(HKEY_CURRENT_USER,
                   "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.vlmtwo",
                   "Application"),
              "<missing>");
}

TEST_F(FileTypeTest, AddRefusesDuplicatesAndAFullList)
{
    MakeAllKinds();
    SetList("TXT;");
    EXPECT_EQ(AddWatchedExtension("txt"), IDS_FILETYPE_WATCHED);
    EXPECT_EQ(AddWatchedExtension(".TxT"), IDS_FILETYPE_WATCHED);
    EXPECT_EQ(AddWatchedExtension(".vlmtest"), 0);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, ""), "TXT;vlmtest;");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kExt, ".vlmtest"), "VlmTest.Doc");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kExtApp, ".vlmtest"), "vlmtest.exe");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kExtProgId, ".vlmtest"), "VlmTest.Prog");
    // An extension without any association is still watched.
    EXPECT_EQ(AddWatchedExtension("vlmnone"), 0);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, ""), "TXT;vlmtest;vlmnone;");
    // Nothing to add.
    EXPECT_EQ(AddWatchedExtension("."), 0);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, ""), "TXT;vlmtest;vlmnone;");

    std::string list;
    for (int i = 0; i < 203; ++i) list += "ABCD;";   // 1015 characters
    SetList(list);
    EXPECT_EQ(AddWatchedExtension("VLMTS"), IDS_FILETYPE_LIMIT);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, ""), list);
    SetList(list.substr(1));   // 1014 + 5 stays below the limit
    EXPECT_EQ(AddWatchedExtension("VLMTS"), 0);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, ""), list.substr(1) + "VLMTS;");
}

TEST_F(FileTypeTest, UnreadableListIsNeverOverwritten)
{
    std::string longList;
    for (int i = 0; i < 220; ++i) longList += "ABCD;";   // 1100 characters
    SetList(longList);
    EXPECT_EQ(AddWatchedExtension("VLMTEST"), IDS_FILETYPE_LIMIT);
    EXPECT_EQ(RemoveWatchedExtension("ABCD"), 1);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, ""), longList);

    const char bytes[] = {'T', 'X', 'T', ';'};
    SetRaw(HKEY_CURRENT_USER, kClass, "", REG_BINARY, bytes, sizeof(bytes));
    EXPECT_EQ(AddWatchedExtension("VLMTEST"), IDS_FILETYPE_LIMIT);
}

TEST_F(FileTypeTest, RemoveKeepsAClassStillInUse)
{
    MakeAllKinds();
    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtwo", "", "VlmTest.Doc");
    SetList("TXT;VLMTEST;VLMTWO;");
    ASSERT_EQ(StoreAssociation("vlmtest", 1), 1);
    ASSERT_EQ(StoreAssociation("vlmtest", 2), 1);
    ASSERT_EQ(StoreAssociation("vlmtwo", 1), 1);

    EXPECT_EQ(RemoveWatchedExtension("vlmtest"), 1);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, ""), "TXT;VLMTWO;");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kExt, ".vlmtest"), "<missing>");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, "VlmTest.Doc"), "C:\\Old\\editor.exe %1");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kExtApp, ".vlmtest"), "vlmtest.exe");

    EXPECT_EQ(RemoveWatchedExtension("VLMTWO"), 1);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, ""), "TXT;");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kClass, "VlmTest.Doc"), "<missing>");
}

TEST_F(FileTypeTest, RemoveKeepsASharedClassWithoutDescription)
{
    std::string command = "\"" + FixturePath("hidden_fixture.exe") + "\" %1";
    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtest", "", "VlmTest.Bare");
    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtwo", "", "VlmTest.Bare");
    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Bare\\shell\\open\\command", "", command);
    SetList("VLMTEST;VLMTWO;");
    ASSERT_EQ(StoreAssociation("vlmtest", 1), 1);

    EXPECT_EQ(RemoveWatchedExtension("vlmtest"), 1);
    EXPECT_NE(Text(HKEY_CURRENT_USER, kClass, "VlmTest.Bare"), "<missing>");
    EXPECT_EQ(IsClassInUse("VlmTest.Bare"), 1);
    EXPECT_EQ(IsClassInUse("VlmTest.Gone"), 0);
    EXPECT_EQ(ItemCount(), 1);   // the list is left in the shared item list
}

TEST(FileTypeProgram, ProgramShownForACommand)
{
    struct Case {
        const char* command;
        const char* shown;
    };
    const Case cases[] = {
        {"%1 %*", "Executable"},
        {"%1 /s", "Executable"},
        {"", "No Associated File"},
        {"C:\\Windows\\notepad.exe %1", "NOTEPAD.EXE"},
        {"\"C:\\Program Files\\Tool\\tool.exe\" -min \"%1\"", "TOOL.EXE"},
        {"rundll32.exe C:\\Windows\\system32\\shimgvw.dll,ImageView_Fullscreen %1", "SHIMGVW.DLL"},
        {"C:\\WINDOWS\\RunDll32.exe zipfldr.dll,RouteTheCall %1", "ZIPFLDR.DLL"},
        {"rundll32.exe", ""},
        {"write.exe", "WRITE.EXE"},
    };
    for (const Case& c : cases) {
        char text[260] = "x";
        GetProgramFromCommand(c.command, text);
        EXPECT_STREQ(text, c.shown) << c.command;
    }
}

TEST_F(FileTypeTest, IconFromDefaultIconOrFromTheCommand)
{
    MakeAllKinds();
    char path[260];
    int index = 99;
    EXPECT_EQ(GetExtensionIcon(".vlmtest", path, &index, 1), 1);
    EXPECT_STREQ(path, "C:\\Old\\editor.exe %1");
    EXPECT_EQ(index, 0);

    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Doc\\DefaultIcon", "",
            "\"C:\\Icons\\a,b.dll\",-3");
    EXPECT_EQ(GetExtensionIcon("vlmtest", path, &index, 1), 1);
    EXPECT_STREQ(path, "C:\\Icons\\a,b.dll");
    EXPECT_EQ(index, -3);

    EXPECT_EQ(GetExtensionIcon(".vlmnone", path, &index, 1), 0);
    EXPECT_STREQ(path, "");
}

}   // namespace
