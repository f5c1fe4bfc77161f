// The Startup Programs page hosted in a property sheet on a thread of its
// own, driven from the test thread with the messages a user's clicks send.
#include <memory>

#include "tests/explorer/explorertest.h"

using namespace explorertest;
using namespace startuptest;

namespace {

constexpr const char* kSheetCaption = "VlStartPageTest";

std::string Prefix()
{
    return "VlSP" + std::to_string(GetCurrentProcessId()) + "_";
}

bool HasRunValue(HKEY root, const std::string& name)
{
    return Reg(root, kRunKey, Prefix() + name) != kMissing;
}

// Every value whose name holds the prefix goes from the keys the page and
// the catalogue write: Run keys, markers, disabled stores, approvals.
void RemovePrefixed(HKEY root, const char* subkey)
{
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ | KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
    std::vector<std::string> names;
    char name[16384];
    for (DWORD i = 0, length = sizeof(name);
         RegEnumValueA(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, length = sizeof(name)) {
        // Any run's prefix: a run that was killed left its values behind.
        if (std::string(name).find("VlSP") != std::string::npos) names.push_back(name);
    }
    for (const std::string& n : names) RegDeleteValueA(key.get(), n.c_str());
}

void CleanUp()
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) RemovePrefixed(root, kRunKey);
    RemovePrefixed(HKEY_LOCAL_MACHINE, kDisabledMarkerKey);
    for (int code : {1, 11}) {
        const char* store = nullptr;
        if (GetRunLocation(code, nullptr, nullptr, &store)) RemovePrefixed(HKEY_LOCAL_MACHINE, store);
    }
    RemovePrefixed(HKEY_CURRENT_USER, kApproved);
    DeleteRegValue(HKEY_CURRENT_USER, kOptionsKey, "SortStartup");
}

// The first-sight stamp the page writes for the test's program, removed
// when the test made it.
std::string DetectedName(const std::string& program)
{
    char normalized[MAX_PATH];
    NormalizeProgramPath(program.c_str(), normalized);
    return normalized;
}

// The page in a sheet of its own (PageHost), so that the test can answer the
// page's questions while it waits for a command.
class StartPage : public ::testing::Test {
protected:
    std::unique_ptr<PageHost> host;
    HWND page = nullptr, list = nullptr;
    std::string scratchProgram;
    bool hadStamp = false;

    void SetUp() override
    {
        CleanUp();
        char system[MAX_PATH];
        GetSystemDirectoryA(system, MAX_PATH);
        scratchProgram = std::string(system) + "\\notepad.exe";
        hadStamp = Reg(HKEY_CURRENT_USER, DetectedStoreOfType(1), DetectedName(scratchProgram)) != kMissing;
    }
    void TearDown() override
    {
        host.reset();
        CleanUp();
        if (!hadStamp)
            DeleteRegValue(HKEY_CURRENT_USER, DetectedStoreOfType(1), DetectedName(scratchProgram).c_str());
    }

    void AddRun(HKEY root, const std::string& name, const std::string& data)
    {
        ASSERT_TRUE(SetRegValue(root, kRunKey, (Prefix() + name).c_str(), data.c_str()));
    }
    void Open()
    {
        host = std::make_unique<PageHost>(StartupPageSpec(), kSheetCaption);
        page = host->page, list = host->list;
        ASSERT_NE(nullptr, list);
        SendMessageA(page, WM_NULL, 0, 0);
    }
    std::string Cell(int row, int column) { return explorertest::Cell(list, row, column); }
    int RowOf(const std::string& name) { return host->RowWith(0, Prefix() + name); }
    // Our rows' names (without the prefix) in the order the list shows them.
    std::string OurOrder()
    {
        std::string order;
        for (int row = 0; row < RowCount(list); ++row) {
            const std::string title = Cell(row, 0);
            if (title.rfind(Prefix(), 0) == 0) order += title.substr(Prefix().size()) + " ";
        }
        return order;
    }
    void Select(std::initializer_list<const char*> names)
    {
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        for (const char* name : names) {
            ASSERT_GE(RowOf(name), 0) << name;
            explorertest::Select(list, RowOf(name), false);
        }
    }
    // Chooses a path in the Add dialog; every message box of the page's
    // thread meanwhile is read (returned) and closed, then the dialog if
    // it is still open.
    std::string AddThroughDialog(const std::string& path)
    {
        std::string said;
        std::thread chooser([&] {
            HWND open = WaitWindow("Add AutoStart Program");
            if (!open) return;
            // The name box of the Explorer-style dialog (cmb13), or its edit (edt1).
            if (!SetDlgItemTextA(open, 0x47C, path.c_str())) SetDlgItemTextA(open, 0x480, path.c_str());
            PostMessageA(open, WM_COMMAND, IDOK, 0);
            struct Boxes { HWND open; std::string* said; } boxes{open, &said};
            for (int i = 0; i < 30; ++i) {
                Sleep(100);
                EnumThreadWindows(
                    GetWindowThreadProcessId(page, nullptr),
                    [](HWND w, LPARAM p) -> BOOL {
                        auto* b = reinterpret_cast<Boxes*>(p);
                        char cls[16] = "";
                        GetClassNameA(w, cls, sizeof(cls));
                        if (w == b->open || !IsWindowVisible(w) || lstrcmpA(cls, "#32770") != 0 ||
                            !GetDlgItem(w, 0xFFFF))
                            return TRUE;
                        char text[2048] = "";
                        GetDlgItemTextA(w, 0xFFFF, text, sizeof(text));
                        *b->said += text;
                        PostMessageA(w, WM_COMMAND, IDOK, 0);
                        return TRUE;
                    },
                    reinterpret_cast<LPARAM>(&boxes));
            }
            if (IsWindow(open)) PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
        });
        SendMessageA(page, WM_COMMAND, 1064, 0);
        chooser.join();
        return said;
    }
};

TEST_F(StartPage, SortsByColumnBothWaysKeepingDisabledEntriesLast)
{
    for (const char* name : {"b", "ab", "c", "a"}) AddRun(HKEY_CURRENT_USER, name, scratchProgram);
    AddRun(HKEY_CURRENT_USER, "d", scratchProgram + " /d");
    Open();
    ASSERT_EQ(ItemCount(), ListView_GetItemCount(list));
    const int row = RowOf("d");
    ASSERT_GE(row, 0);
    EXPECT_EQ("notepad.exe /d", Cell(row, 1));
    EXPECT_EQ("CURRENT_RUN", Cell(row, 3));
    EXPECT_NE("", Cell(row, 4)) << "first sight is stamped when the page lists it";

    Select({"d"});
    ASSERT_TRUE(host->Command(11));
    EXPECT_FALSE(HasRunValue(HKEY_CURRENT_USER, "d"));
    ASSERT_GE(RowOf("d"), 0);
    EXPECT_EQ("   Disabled", Cell(RowOf("d"), 3));

    // "a" and "ab" compare equal (one is the other's beginning): they stay
    // side by side; the disabled "d" is last in both directions.
    host->ClickColumn(0);
    const std::string up = OurOrder();
    EXPECT_TRUE(up == "a ab b c d " || up == "ab a b c d ") << up;
    EXPECT_EQ(1, ReadOption("SortStartup", 0));
    host->ClickColumn(0);
    const std::string down = OurOrder();
    EXPECT_TRUE(down == "c b a ab d " || down == "c b ab a d ") << down;

    Select({"d"});
    ASSERT_TRUE(host->Command(10));
    EXPECT_TRUE(HasRunValue(HKEY_CURRENT_USER, "d"));
    EXPECT_EQ("CURRENT_RUN", Cell(RowOf("d"), 3));
}

TEST_F(StartPage, RemoveAsksForOneRowAndNotForThree)
{
    for (const char* name : {"one", "x", "y", "z"}) AddRun(HKEY_CURRENT_USER, name, scratchProgram);
    Open();
    Select({"one"});
    std::string question = host->Answered(1003, GetAppCaption(), IDNO);
    EXPECT_NE(std::string::npos, question.find("notepad.exe")) << question;
    EXPECT_TRUE(HasRunValue(HKEY_CURRENT_USER, "one"));
    Select({"one"});
    host->Answered(1003, GetAppCaption(), IDYES);
    EXPECT_FALSE(HasRunValue(HKEY_CURRENT_USER, "one"));
    EXPECT_LT(RowOf("one"), 0);

    Select({"x", "y", "z"});
    ASSERT_TRUE(host->Command(1003)) << "several rows are removed without a question";
    for (const char* name : {"x", "y", "z"})
        EXPECT_FALSE(HasRunValue(HKEY_CURRENT_USER, name)) << name;

    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    const std::string told = host->Answered(1003, "Velmora Help", IDOK);
    EXPECT_NE(std::string::npos, told.find("No selection")) << told;
}

TEST_F(StartPage, DisablingATitleParkedElsewhereIsRefusedWithAMessage)
{
    AddRun(HKEY_CURRENT_USER, "same", scratchProgram + " /user");
    Open();
    Select({"same"});
    ASSERT_TRUE(host->Command(11));
    ASSERT_FALSE(HasRunValue(HKEY_CURRENT_USER, "same"));
    AddRun(HKEY_LOCAL_MACHINE, "same", scratchProgram + " /machine");
    ASSERT_TRUE(host->Command(1014));   // the Show All box's command refills

    // The first row of that title in list order is the machine's active one.
    Select({"same"});
    const std::string said = host->Answered(11, GetAppCaption(), IDOK);
    EXPECT_NE(std::string::npos, said.find(Prefix() + "same")) << said;
    EXPECT_TRUE(HasRunValue(HKEY_LOCAL_MACHINE, "same"));
    char parked[4096] = "";
    const char* store = nullptr;
    ASSERT_TRUE(GetRunLocation(11, nullptr, nullptr, &store));
    ReadRegText(HKEY_LOCAL_MACHINE, store, (Prefix() + "same").c_str(), parked, kRegTextRaw);
    EXPECT_STREQ((scratchProgram + " /user").c_str(), parked);
}

TEST_F(StartPage, AddRefusesAMissingPathAndBadDataDoesNotCrash)
{
    // A command far beyond every buffer of the list and the catalogue.
    AddRun(HKEY_CURRENT_USER, "long", "C:\\" + std::string(10000, 'x') + ".exe");
    ASSERT_TRUE(SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "SortStartup", "99"));
    Open();
    EXPECT_EQ(ItemCount(), ListView_GetItemCount(list));
    ASSERT_TRUE(SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "SortStartup", "text"));
    ASSERT_TRUE(host->Command(1014));
    EXPECT_EQ(ItemCount(), ListView_GetItemCount(list));

    const std::string missing = "C:\\" + Prefix() + "missing\\nothing.exe";
    EXPECT_NE("", AddThroughDialog(missing)) << "the refusal is told";
    char approval[64] = "";
    EXPECT_EQ(0, GetRegValue(HKEY_CURRENT_USER, kApproved, missing.c_str(), approval));

    // A program that exists is added under its description, and approved.
    ScratchDir dir((Prefix() + "add").c_str());
    const std::string program = dir.file("app.exe");
    ASSERT_TRUE(CopyFileA(FixturePath("fixture_app.exe").c_str(), program.c_str(), FALSE));
    EXPECT_EQ("", AddThroughDialog(program));
    char added[MAX_PATH] = "";
    GetRegValue(HKEY_CURRENT_USER, kRunKey, "Fixture Application", added);
    DeleteRegValue(HKEY_CURRENT_USER, kRunKey, "Fixture Application");
    EXPECT_STREQ(program.c_str(), added);
    GetRegValue(HKEY_CURRENT_USER, kApproved, program.c_str(), approval);
    EXPECT_STREQ("1", approval);
}

TEST_F(StartPage, StopsRunningProgramsAskingOnlyForOneRowAndMovesToDelayedStart)
{
    ScratchDir dir((Prefix() + "dir").c_str());
    std::vector<std::string> programs;
    std::vector<HANDLE> running;
    for (const char* name : {"one", "two", "three"}) {
        programs.push_back(dir.file((std::string(name) + ".exe").c_str()));
        ASSERT_TRUE(CopyFileA(FixturePath("fixture_app.exe").c_str(), programs.back().c_str(), FALSE));
        AddRun(HKEY_CURRENT_USER, name, programs.back());
        if (std::string(name) != "three") running.push_back(StartProgram("\"" + programs.back() + "\""));
    }
    Sleep(500);
    Open();
    EXPECT_EQ("Fixture Works", Cell(RowOf("one"), 2));

    Select({"one"});
    const std::string asked = host->Answered(11, GetAppCaption(), IDNO);
    EXPECT_NE(std::string::npos, asked.find(Prefix() + "one")) << asked;
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(running[0], 0)) << "No keeps it running";
    EXPECT_FALSE(HasRunValue(HKEY_CURRENT_USER, "one")) << "but it is disabled";

    Select({"one", "two"});
    ASSERT_TRUE(host->Command(11)) << "two rows: stopped without a question";
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(running[0], 5000));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(running[1], 5000));
    for (HANDLE process : running) {
        TerminateProcess(process, 0);
        CloseHandle(process);
    }

    Select({"three"});
    ASSERT_TRUE(host->Command(1195));
    EXPECT_FALSE(HasRunValue(HKEY_CURRENT_USER, "three"));
    char delayed[64] = "";
    EXPECT_GT(GetRegValue(HKEY_CURRENT_USER, kDelayKey, programs[2].c_str(), delayed), 0);
    RemoveDelayValues(HKEY_CURRENT_USER, programs[2].c_str());
}

}  // namespace
