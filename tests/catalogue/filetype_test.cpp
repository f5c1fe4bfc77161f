#include <gtest/gtest.h>

#include "tests/catalogue/startuptest.h"

using namespace startuptest;

namespace {

constexpr const char* kExt = "Software\\Corvath\\Velmora\\Ext";
constexpr const char* kExtApp = "Software\\Corvath\\Velmora\\ExtApp";
constexpr const char* kExtProgId = "Software\\Corvath\\Velmora\\ExtProgID";
constexpr const char* kClass = "Software\\Corvath\\Velmora\\Class";
constexpr const char* kFileExts =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.vlmtest";
constexpr const char* kDocExt = "Software\\Classes\\.vlmtest";
constexpr const char* kDocCommand = "Software\\Classes\\VlmTest.Doc\\shell\\open\\command";
constexpr const char* kAppCommand = "Applications\\vlmtest.exe\\shell\\open\\command";
constexpr const char* kDefaultList =
    "AVI;BAT;CAB;CAT;CHM;COM;CMD;CSS;DOC;EML;EXE;INF;JS;LOG;MSI;MSG;MID;MP3;PIF;RAM;REG;RTF;SBS;"
    "SCR;TXT;URL;VBS;VBE;WSF;WSH;XLS;";
// What each kind (1, 2, 3) of .vlmtest names and runs once MakeAllKinds has run.
const char* const kNames[] = {"VlmTest.Doc", "vlmtest.exe", "VlmTest.Prog"};
const char* const kCommands[] = {"\"C:\\Old\\editor.exe\" \"%1\"", "C:\\Apps\\vlmtest.exe %1",
                                 "C:\\Prog\\viewer.exe /view %1"};

class FileTypeTest : public ::testing::Test {
protected:
    ScratchKey keys_[8] = {{HKEY_LOCAL_MACHINE, kDocExt},
                           {HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtwo"},
                           {HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Doc"},
                           {HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Bare"},
                           {HKEY_CURRENT_USER, kFileExts}, {HKEY_CLASSES_ROOT, "VlmTest.Prog"},
                           {HKEY_CLASSES_ROOT, "Applications\\vlmtest.exe"}, {HKEY_CLASSES_ROOT, "A"}};
    std::string savedList_ = Reg(HKEY_CURRENT_USER, kClass, "");
    char name_[260] = "", command_[260] = "";
    void SetUp() override { WipeSnapshot(); }
    void TearDown() override
    {
        WipeSnapshot();
        ClearItems();
        if (savedList_ != kMissing) SetList(savedList_);
    }
    static void WipeSnapshot()
    {
        for (const char* key : {kExt, kExtApp, kExtProgId, kClass}) DeleteKeyTree(HKEY_CURRENT_USER, key);
    }
    static void SetList(const std::string& list) { SetText(HKEY_CURRENT_USER, kClass, "", list); }
    static std::string Stored(const char* store, const char* name = ".vlmtest")
    {
        return Reg(HKEY_CURRENT_USER, store, name);
    }
    int Get(const char* extension, int kind) { return GetAssociation(extension, name_, command_, kind); }
    // .vlmtest opens with a different program under each kind.
    static void MakeAllKinds()
    {
        SetText(HKEY_LOCAL_MACHINE, kDocExt, "", kNames[0]);
        SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Doc", "", "Corvath Test Document");
        SetText(HKEY_LOCAL_MACHINE, kDocCommand, "", kCommands[0]);
        SetText(HKEY_CURRENT_USER, kFileExts, "Application", kNames[1]);
        SetText(HKEY_CLASSES_ROOT, kAppCommand, "", kCommands[1]);
        SetText(HKEY_CURRENT_USER, kFileExts, "ProgID", kNames[2]);
        SetText(HKEY_CLASSES_ROOT, "VlmTest.Prog\\shell\\open\\command", "", kCommands[2]);
    }
};

TEST_F(FileTypeTest, AssociationNeedsANameAndACommandStoredAsText)
{
    MakeAllKinds();
    EXPECT_EQ(Get(".vlmtest", 4), 0);
    EXPECT_EQ(Get(".vlmnone", kAssocMachineClass), 0);
    EXPECT_EQ(std::string(name_) + command_, "");
    // A class without an open command; a ProgID stored as a number (it does not name
    // the class "A"); a command stored as binary data; a name longer than its buffer.
    SetText(HKEY_LOCAL_MACHINE, kDocExt, "", "VlmTest.Bare");
    EXPECT_EQ(Get(".vlmtest", kAssocMachineClass), 0);
    SetText(HKEY_CLASSES_ROOT, "A\\shell\\open\\command", "", "C:\\Wrong\\a.exe %1");
    const DWORD letter = 'A';
    SetRaw(HKEY_CURRENT_USER, kFileExts, "ProgID", REG_DWORD, &letter, sizeof(letter));
    EXPECT_EQ(Get(".vlmtest", kAssocUserProgId), 0);
    SetRaw(HKEY_CLASSES_ROOT, kAppCommand, "", REG_BINARY, "C:\\x", 4);
    EXPECT_EQ(Get(".vlmtest", kAssocUserApplication), 0);
    SetText(HKEY_LOCAL_MACHINE, kDocExt, "", std::string(300, 'N'));
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
    const Item two = ReadItem(0), doc = ReadItem(1);
    EXPECT_EQ(two.title + "|" + two.entry + "|" + two.detail,
              "Hidden Probe Suite|Hidden Probe Program|.vlmtwo");
    EXPECT_EQ(doc.title + "|" + doc.entry + "|" + doc.detail, "Corvath Test Document|VlmTest.Doc|.VLMTEST");
    EXPECT_EQ(doc.type, 400);
    EXPECT_EQ(doc.path, "C:\\Old\\editor.exe %1");
    for (int kind = 1; kind <= 3; ++kind) EXPECT_EQ(ReadItem(kind).flag, kind);
    const DWORD number = 7;   // a list stored as a number lists nothing
    SetRaw(HKEY_CURRENT_USER, kClass, "", REG_DWORD, &number, sizeof(number));
    EXPECT_EQ(BuildFileTypeList(), 0);
}

TEST_F(FileTypeTest, CreateClassInfoTakesTheSnapshotOnceAndReplacesADamagedList)
{
    // A fresh prefix opens .vbs, one of the initial extensions, with wscript.
    EXPECT_GT(CreateClassInfo(), 0);
    EXPECT_EQ(Stored(kClass, ""), kDefaultList);
    EXPECT_EQ(Stored(kExt, ""), "Do not edit.");
    EXPECT_EQ(Stored(kExt, ".VBS"), "VBSFile");
    EXPECT_TRUE(ContainsNoCase(Stored(kClass, "VBSFile").c_str(), "\\wscript.exe"));
    SetText(HKEY_CURRENT_USER, kExt, ".txt", "Edited.By.Hand");
    EXPECT_EQ(CreateClassInfo(), 0);
    EXPECT_EQ(Stored(kExt, ".txt"), "Edited.By.Hand");
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
    EXPECT_EQ(Stored(kClass, ""), "VLMTEST;");
    ASSERT_EQ(StoreAssociation("vlmtest", kAssocMachineClass), 1);
    char stored[260];
    EXPECT_EQ(CheckAssociation(".vlmtest", 1, "D:\\New\\EDITOR.EXE %1", stored), 0);
    EXPECT_EQ(CheckAssociation(".vlmtest", 1, "C:\\Old\\other.exe %1", stored), 1);
    EXPECT_STREQ(stored, "C:\\Old\\editor.exe %1");
    // No record for kind 3 yet: the current association is adopted.
    EXPECT_EQ(CheckAssociation(".vlmtest", 3, "C:\\Else\\else.exe", stored), 0);
    EXPECT_EQ(Stored(kExtProgId), kNames[2]);
    EXPECT_EQ(Stored(kClass, kNames[2]), kCommands[2]);
    // A record holding the list itself is damaged and replaced.
    SetText(HKEY_CURRENT_USER, kClass, kNames[0], kDefaultList);
    EXPECT_EQ(CheckAssociation(".vlmtest", 1, "C:\\Old\\other.exe %1", stored), 0);
    EXPECT_EQ(Stored(kClass, kNames[0]), kCommands[0]);
    // An "=" in the arguments reads alike on both sides.
    SetText(HKEY_CURRENT_USER, kClass, kNames[0], "C:\\Old\\editor.exe --mode=open %1");
    EXPECT_EQ(CheckAssociation(".vlmtest", 1, "C:\\Old\\editor.exe --mode=open %1", stored), 0);
    // An empty stored name never compares against the Class default (the list).
    SetList("VLMTEST;XLS;");
    SetText(HKEY_CURRENT_USER, kExtApp, ".vlmtest", "");
    EXPECT_EQ(CheckAssociation(".vlmtest", 2, kCommands[1], stored), 0);
    EXPECT_EQ(Stored(kExtApp), kNames[1]);
}

TEST_F(FileTypeTest, RestorePutsEveryKindBackAndCreatesMissingKeys)
{
    EXPECT_EQ(RestoreAssociation(".vlmtest", 1), 0);   // nothing stored yet
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kDocExt, ""), kMissing);
    MakeAllKinds();
    for (int kind = 1; kind <= 3; ++kind) ASSERT_EQ(StoreAssociation(".vlmtest", kind), 1);
    SetText(HKEY_LOCAL_MACHINE, kDocCommand, "", "C:\\Evil\\evil.exe %1");
    SetText(HKEY_LOCAL_MACHINE, kDocExt, "", "VlmTest.Bare");
    SetText(HKEY_CURRENT_USER, kFileExts, "Application", "evil.exe");
    DeleteKeyTree(HKEY_CLASSES_ROOT, "Applications\\vlmtest.exe");
    DeleteKeyTree(HKEY_CLASSES_ROOT, "VlmTest.Prog");
    // Each command comes back as it was written, quotes and all.
    for (int kind = 1; kind <= 3; ++kind) {
        EXPECT_EQ(RestoreAssociation("vlmtest", kind), 1) << kind;
        ASSERT_EQ(Get(".vlmtest", kind), 1) << kind;
        EXPECT_STREQ(name_, kNames[kind - 1]);
        EXPECT_STREQ(command_, kCommands[kind - 1]);
    }
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, "Software\\Classes\\VlmTest.Bare\\shell\\open\\command", ""), kMissing);
}

TEST_F(FileTypeTest, AddRefusesDuplicatesAFullListAndAnUnreadableOneAndRemoveKeepsAClassInUse)
{
    MakeAllKinds();
    SetList("TXT;");
    EXPECT_EQ(AddWatchedExtension(".TxT"), IDS_FILETYPE_WATCHED);
    EXPECT_EQ(AddWatchedExtension(".vlmtest"), 0);
    EXPECT_EQ(AddWatchedExtension("vlmnone"), 0);   // watched even without an association
    EXPECT_EQ(AddWatchedExtension("."), 0);
    EXPECT_EQ(Stored(kClass, ""), "TXT;vlmtest;vlmnone;");
    EXPECT_EQ(Stored(kExt) + Stored(kExtApp) + Stored(kExtProgId), "VlmTest.Docvlmtest.exeVlmTest.Prog");
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
    SetRaw(HKEY_CURRENT_USER, kClass, "", REG_BINARY, "TXT;", 4);
    EXPECT_EQ(RemoveWatchedExtension("TXT"), 1);
    DWORD type = 0;
    RegGetValueA(HKEY_CURRENT_USER, kClass, "", RRF_RT_ANY, &type, nullptr, nullptr);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlmtwo", "", kNames[0]);
    SetList("TXT;VLMTEST;VLMTWO;");
    ASSERT_EQ(StoreAssociation("vlmtest", 1) + StoreAssociation("vlmtwo", 1), 2);
    EXPECT_EQ(RemoveWatchedExtension("vlmtest"), 1);
    EXPECT_EQ(Stored(kClass, ""), "TXT;VLMTWO;");
    EXPECT_EQ(Stored(kExt), kMissing);
    EXPECT_EQ(Stored(kClass, kNames[0]), kCommands[0]);   // .vlmtwo still opens with it
    EXPECT_EQ(RemoveWatchedExtension("VLMTWO"), 1);
    EXPECT_EQ(Stored(kClass, kNames[0]), kMissing);
}

TEST(FileTypeProgram, ProgramShownForACommand)
{
    const char* cases[][2] = {
        {"%1 %*", "Executable"}, {"%1 /s", "Executable"}, {"", "No Associated File"},
        {"\"C:\\Program Files\\Tool\\tool.exe\" -min \"%1\"", "TOOL.EXE"},
        {"C:\\WINDOWS\\RunDll32.exe C:\\Windows\\system32\\shimgvw.dll,ImageView_Fullscreen %1",
         "SHIMGVW.DLL"},
        {"rundll32.exe", ""}, {"write.exe", "WRITE.EXE"}};
    for (const auto& c : cases) {
        char text[260] = "x";
        GetProgramFromCommand(c[0], text);
        EXPECT_STREQ(text, c[1]) << c[0];
    }
}

}   // namespace
