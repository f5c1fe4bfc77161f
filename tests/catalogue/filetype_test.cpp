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
    ASSERT_EQ(RegSetKeyValueA(root, key, name, type, data, size), ERROR_SUCCESS) << key;
}

void SetText(HKEY root, const char* key, const char* name, const std::string& text)
{
    SetRaw(root, key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// The text of a value, or "<missing>".
std::string Text(HKEY root, const char* key, const char* name)
{
    char buffer[4096] = {};
    DWORD size = sizeof(buffer) - 1;
    return RegGetValueA(root, key, name, RRF_RT_REG_SZ, nullptr, buffer, &size) == ERROR_SUCCESS
               ? std::string(buffer)
               : "<missing>";
}

// Path, title, entry name and detail of a list entry.
struct Item {
    std::string path, title, entry, detail;
};
Item ReadItem(int i)
{
    char path[kPathLen], title[kTitleLen], entry[kEntryLen], detail[kDetailLen];
    GetItemPath(i, path);
    GetItemTitle(i, title);
    GetItemEntryName(i, entry);
    GetItemDetail(i, detail, kDetailLen);
    return {path, title, entry, detail};
}

class FileTypeTest : public ::testing::Test {
protected:
    ScratchKey machineExt_{HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtest"};
    ScratchKey machineExt2_{HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtwo"};
    ScratchKey machineClass_{HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Doc"};
    ScratchKey bareClass_{HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Bare"};
    ScratchKey evilClass_{HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Evil"};
    ScratchKey userExt_{HKEY_CURRENT_USER, kFileExts};
    ScratchKey application_{HKEY_CLASSES_ROOT, "Applications\\vlmtest.exe"};
    ScratchKey progId_{HKEY_CLASSES_ROOT, "VlmTest.Prog"};
    ScratchKey letterClass_{HKEY_CLASSES_ROOT, "A"};
    std::string savedList_;
    char name_[260] = "";
    char command_[260] = "";

    void SetUp() override
    {
        savedList_ = Text(HKEY_CURRENT_USER, kClass, "");
        WipeSnapshot();
    }
    void TearDown() override
    {
        WipeSnapshot();
        ClearItems();
        if (savedList_ != "<missing>") SetList(savedList_);
    }
    static void WipeSnapshot()
    {
        for (const char* key : {kExt, kExtApp, kExtProgId, kClass})
            DeleteKeyTree(HKEY_CURRENT_USER, key);
    }
    static void SetList(const std::string& list) { SetText(HKEY_CURRENT_USER, kClass, "", list); }
    static std::string Stored(const char* store, const char* name = ".vlmtest")
    {
        return Text(HKEY_CURRENT_USER, store, name);
    }
    int Get(const char* extension, int kind)
    {
        return GetAssociation(extension, name_, command_, kind);
    }

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

struct Association {
    const char* name;
    const char* command;
};
// What MakeAllKinds reads back for kinds 1, 2 and 3.
constexpr Association kMade[] = {
    {"VlmTest.Doc", "\"C:\\Old\\editor.exe\" \"%1\""},
    {"vlmtest.exe", "C:\\Apps\\vlmtest.exe %1"},
    {"VlmTest.Prog", "C:\\Prog\\viewer.exe /view %1"},
};

TEST_F(FileTypeTest, AssociationNeedsANameAndACommandStoredAsText)
{
    MakeAllKinds();
    const char* spellings[] = {".vlmtest", "vlmtest", "VLMTEST"};
    for (int kind = 1; kind <= 3; ++kind) {
        ASSERT_EQ(Get(spellings[kind - 1], kind), 1) << kind;
        EXPECT_STREQ(name_, kMade[kind - 1].name);
        EXPECT_STREQ(command_, kMade[kind - 1].command);
    }
    EXPECT_EQ(Get(".vlmtest", 4), 0);
    EXPECT_EQ(Get("", kAssocMachineClass), 0);
    EXPECT_EQ(Get(".vlmnone", kAssocMachineClass), 0);
    EXPECT_STREQ(name_, "");
    EXPECT_STREQ(command_, "");

    // A class without an open command; a ProgID stored as a number (it does
    // not name the class "A"); a command stored as binary data; a name
    // longer than its buffer.
    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtest", "", "VlmTest.Bare");
    EXPECT_EQ(Get(".vlmtest", kAssocMachineClass), 0);
    EXPECT_STREQ(command_, "");
    SetText(HKEY_CLASSES_ROOT, "A\\shell\\open\\command", "", "C:\\Wrong\\a.exe %1");
    DWORD letter = 'A';
    SetRaw(HKEY_CURRENT_USER, kFileExts, "ProgID", REG_DWORD, &letter, sizeof(letter));
    EXPECT_EQ(Get(".vlmtest", kAssocUserProgId), 0);
    const char bytes[] = {'C', ':', '\\', 'x'};
    SetRaw(HKEY_CLASSES_ROOT, "Applications\\vlmtest.exe\\shell\\open\\command", "", REG_BINARY,
           bytes, sizeof(bytes));
    EXPECT_EQ(Get(".vlmtest", kAssocUserApplication), 0);
    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtest", "", std::string(300, 'N'));
    EXPECT_EQ(Get(".vlmtest", kAssocMachineClass), 0);
}

TEST_F(FileTypeTest, ListHoldsOneEntryPerKindInListOrder)
{
    MakeAllKinds();
    // .vlmtwo's class has no description: its program's version strings stand in.
    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtwo", "", "VlmTest.Bare");
    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Bare\\shell\\open\\command", "",
            std::string(1, '"').append(FixturePath("hidden_fixture.exe")).append("\" %1"));
    SetList("vlmtwo;;VLMNONE;VLMTEST");

    ASSERT_EQ(BuildFileTypeList(), 4);
    ASSERT_EQ(ItemCount(), 4);
    Item two = ReadItem(0), doc = ReadItem(1);
    EXPECT_EQ(two.title, "Hidden Probe Suite");
    EXPECT_EQ(two.entry, "Hidden Probe Program");
    EXPECT_EQ(two.detail, ".vlmtwo");
    EXPECT_EQ(doc.title, "Corvath Test Document");
    EXPECT_EQ(doc.entry, "VlmTest.Doc");
    EXPECT_EQ(doc.detail, ".VLMTEST");   // as the list spells it
    EXPECT_EQ(GetItemType(1), 400);
    EXPECT_EQ(doc.path, "C:\\Old\\editor.exe %1");
    EXPECT_EQ(ReadItem(2).path, kMade[1].command);
    EXPECT_EQ(ReadItem(3).path, kMade[2].command);
    for (int kind = 1; kind <= 3; ++kind) EXPECT_EQ(GetItemFlag(kind), kind);

    // A list stored as a number lists nothing.
    DWORD number = 7;
    SetRaw(HKEY_CURRENT_USER, kClass, "", REG_DWORD, &number, sizeof(number));
    EXPECT_EQ(BuildFileTypeList(), 0);
}

TEST_F(FileTypeTest, CreateClassInfoTakesTheSnapshotOnce)
{
    // A fresh prefix opens .vbs, one of the initial extensions, with wscript.
    EXPECT_GT(CreateClassInfo(), 0);
    EXPECT_EQ(Stored(kClass, ""), kDefaultList);
    EXPECT_EQ(Stored(kExt, ""), "Do not edit.");
    EXPECT_EQ(Stored(kExt, ".VBS"), "VBSFile");
    EXPECT_TRUE(ContainsNoCase(Stored(kClass, "VBSFile").c_str(), "\\wscript.exe %1"));
    // A second call keeps what is there.
    SetText(HKEY_CURRENT_USER, kExt, ".txt", "Edited.By.Hand");
    EXPECT_EQ(CreateClassInfo(), 0);
    EXPECT_EQ(Stored(kExt, ".txt"), "Edited.By.Hand");
    EXPECT_EQ(Stored(kClass, ""), kDefaultList);
    // A damaged list is replaced by the initial one.
    SetList("NOSEPARATORHERE");
    CreateClassInfo();
    EXPECT_EQ(Stored(kClass, ""), kDefaultList);
}

TEST_F(FileTypeTest, ChangeOfFolderIsNoChangeButOtherProgramIs)
{
    MakeAllKinds();
    // Without an association nothing is stored, least of all on the Class
    // default value that holds the list.
    SetList("VLMTEST;");
    EXPECT_EQ(StoreAssociation(".vlmnone", kAssocMachineClass), 0);
    EXPECT_EQ(StoreAssociation(".vlmtest", 9), 0);
    EXPECT_EQ(Stored(kClass, ""), "VLMTEST;");

    ASSERT_EQ(StoreAssociation("vlmtest", kAssocMachineClass), 1);
    char stored[260];
    EXPECT_EQ(CheckAssociation(".vlmtest", 1, "D:\\New\\editor.exe %1", stored), 0);
    EXPECT_EQ(CheckAssociation(".vlmtest", 1, "C:\\OLD\\EDITOR.EXE %1", stored), 0);
    EXPECT_EQ(CheckAssociation(".vlmtest", 1, "C:\\Old\\other.exe %1", stored), 1);
    EXPECT_STREQ(stored, "C:\\Old\\editor.exe %1");

    // No record for kind 3 yet: the current association is adopted.
    EXPECT_EQ(CheckAssociation(".vlmtest", 3, "C:\\Else\\else.exe", stored), 0);
    EXPECT_EQ(Stored(kExtProgId), "VlmTest.Prog");
    EXPECT_EQ(Stored(kClass, "VlmTest.Prog"), kMade[2].command);

    // A record holding the list itself is damaged and replaced.
    SetText(HKEY_CURRENT_USER, kClass, "VlmTest.Doc", kDefaultList);
    EXPECT_EQ(CheckAssociation(".vlmtest", 1, "C:\\Old\\other.exe %1", stored), 0);
    EXPECT_EQ(Stored(kClass, "VlmTest.Doc"), "C:\\Old\\editor.exe %1");

    // An "=" in the arguments reads alike on both sides.
    SetText(HKEY_CURRENT_USER, kClass, "VlmTest.Doc", "C:\\Old\\editor.exe --mode=open %1");
    EXPECT_EQ(CheckAssociation(".vlmtest", 1, "C:\\Old\\editor.exe --mode=open %1", stored), 0);

    // An empty stored name never compares against the Class default (the list).
    SetList("VLMTEST;XLS;");
    SetText(HKEY_CURRENT_USER, kExtApp, ".vlmtest", "");
    EXPECT_EQ(CheckAssociation(".vlmtest", 2, kMade[1].command, stored), 0);
    EXPECT_EQ(Stored(kExtApp), "vlmtest.exe");
}

TEST_F(FileTypeTest, RestorePutsEveryKindBackAndCreatesMissingKeys)
{
    EXPECT_EQ(RestoreAssociation(".vlmtest", 1), 0);   // nothing stored yet
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtest", ""), "<missing>");
    MakeAllKinds();
    for (int kind = 1; kind <= 3; ++kind) ASSERT_EQ(StoreAssociation(".vlmtest", kind), 1);

    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Doc\\shell\\open\\command", "",
            "C:\\Evil\\evil.exe %1");
    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtest", "", "VlmTest.Evil");
    SetText(HKEY_CURRENT_USER, kFileExts, "Application", "evil.exe");
    DeleteKeyTree(HKEY_CLASSES_ROOT, "Applications\\vlmtest.exe");
    DeleteKeyTree(HKEY_CLASSES_ROOT, "VlmTest.Prog");

    // The snapshot holds the commands without quotes.
    const char* commands[] = {"C:\\Old\\editor.exe %1", kMade[1].command, kMade[2].command};
    for (int kind = 1; kind <= 3; ++kind) {
        EXPECT_EQ(RestoreAssociation("vlmtest", kind), 1) << kind;
        ASSERT_EQ(Get(".vlmtest", kind), 1) << kind;
        EXPECT_STREQ(name_, kMade[kind - 1].name);
        EXPECT_STREQ(command_, commands[kind - 1]);
    }
    // The intruder's class is left alone.
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Evil\\shell\\open\\command", ""),
              "<missing>");
}

TEST_F(FileTypeTest, AddRefusesDuplicatesAFullListAndAnUnreadableOne)
{
    MakeAllKinds();
    SetList("TXT;");
    EXPECT_EQ(AddWatchedExtension("txt"), IDS_FILETYPE_WATCHED);
    EXPECT_EQ(AddWatchedExtension(".TxT"), IDS_FILETYPE_WATCHED);
    EXPECT_EQ(AddWatchedExtension(".vlmtest"), 0);
    EXPECT_EQ(AddWatchedExtension("vlmnone"), 0);   // watched even without an association
    EXPECT_EQ(AddWatchedExtension("."), 0);
    EXPECT_EQ(Stored(kClass, ""), "TXT;vlmtest;vlmnone;");
    EXPECT_EQ(Stored(kExt), "VlmTest.Doc");
    EXPECT_EQ(Stored(kExtApp), "vlmtest.exe");
    EXPECT_EQ(Stored(kExtProgId), "VlmTest.Prog");

    std::string list;
    for (int i = 0; i < 203; ++i) list += "ABCD;";   // 1015 characters
    SetList(list);
    EXPECT_EQ(AddWatchedExtension("VLMTS"), IDS_FILETYPE_LIMIT);
    EXPECT_EQ(Stored(kClass, ""), list);
    SetList(list.substr(1));   // 1014 + 5 stays below the limit
    EXPECT_EQ(AddWatchedExtension("VLMTS"), 0);
    EXPECT_EQ(Stored(kClass, ""), list.substr(1) + "VLMTS;");

    // A list that cannot be read whole (too long, or not text) is never overwritten.
    SetList(list + std::string(100, 'X'));
    EXPECT_EQ(AddWatchedExtension("VLMTEST"), IDS_FILETYPE_LIMIT);
    EXPECT_EQ(RemoveWatchedExtension("ABCD"), 1);
    EXPECT_EQ(Stored(kClass, ""), list + std::string(100, 'X'));
    const char bytes[] = {'T', 'X', 'T', ';'};
    SetRaw(HKEY_CURRENT_USER, kClass, "", REG_BINARY, bytes, sizeof(bytes));
    EXPECT_EQ(AddWatchedExtension("VLMTEST"), IDS_FILETYPE_LIMIT);
    EXPECT_EQ(RemoveWatchedExtension("TXT"), 1);
    DWORD type = 0;
    RegGetValueA(HKEY_CURRENT_USER, kClass, "", RRF_RT_ANY, &type, nullptr, nullptr);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
}

TEST_F(FileTypeTest, RemoveKeepsAClassStillInUse)
{
    MakeAllKinds();
    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtwo", "", "VlmTest.Doc");
    SetList("TXT;VLMTEST;VLMTWO;");
    ASSERT_EQ(StoreAssociation("vlmtest", 1) + StoreAssociation("vlmtwo", 1), 2);

    // .vlmtwo still opens with VlmTest.Doc: its record stays.
    EXPECT_EQ(RemoveWatchedExtension("vlmtest"), 1);
    EXPECT_EQ(Stored(kClass, ""), "TXT;VLMTWO;");
    EXPECT_EQ(Stored(kExt), "<missing>");
    EXPECT_EQ(Stored(kClass, "VlmTest.Doc"), "C:\\Old\\editor.exe %1");

    EXPECT_EQ(RemoveWatchedExtension("VLMTWO"), 1);
    EXPECT_EQ(Stored(kClass, ""), "TXT;");
    EXPECT_EQ(Stored(kClass, "VlmTest.Doc"), "<missing>");
}

TEST(FileTypeProgram, ProgramShownForACommand)
{
    const struct {
        const char* command;
        const char* shown;
    } cases[] = {
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
    for (const auto& c : cases) {
        char text[260] = "x";
        GetProgramFromCommand(c.command, text);
        EXPECT_STREQ(text, c.shown) << c.command;
    }
}

}   // namespace
