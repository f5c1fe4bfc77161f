// The program information dialog as the user meets it, driven from a second
// thread over a startup entry, a real service of the prefix, a hidden file
// and a file type; and the rules by which the lookup and the help pages pick
// what they open.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>

#include "explorer/explorer.h"
#include "resources/resource.h"
#include "tests/catalogue/startuptest.h"
#include "tests/support/testsupport.h"

using namespace startuptest;

namespace {

constexpr const char* kEntryTitle = "Fixture App entry";

std::string Text(HWND h, int id = 0)
{
    char text[20000] = "";
    GetWindowTextA(id ? GetDlgItem(h, id) : h, text, sizeof text);
    return text;
}

bool Visible(HWND h, int id)
{
    return (GetWindowLongA(GetDlgItem(h, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

void Click(HWND h, int id)
{
    SendMessageA(GetDlgItem(h, id), BM_CLICK, 0, 0);
}

HWND WaitForDialog(const char* caption)
{
    HWND h = nullptr;
    for (int i = 0; i < 400 && !(h && IsWindowVisible(h)); ++i, Sleep(25))
        h = FindWindowA("#32770", caption);
    return h && IsWindowVisible(h) ? h : nullptr;
}

// Opens the dialog on an item; `script` runs on a helper thread against the
// dialog, writes what it saw into `seen` and leaves the dialog closed.
template <class F>
void Drive(int item, const char* caption, std::map<std::string, std::string>& seen, F script)
{
    std::thread driver([&] {
        HWND h = WaitForDialog(caption);
        seen["found"] = h ? "yes" : "no";
        if (!h) return;
        script(h);
        if (IsWindow(h)) Click(h, IDOK);
    });
    ShowInfoDialog(nullptr, item);
    driver.join();
}

// The history file as it stood before the test, put back afterwards (the
// dialog's Kill Task writes a line).
struct SavedHistory {
    std::string path = HistoryPath(), text = ReadTextFile(path);
    bool existed = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    ~SavedHistory() { existed ? (void)WriteTextFile(path, text) : (void)DeleteFileA(path.c_str()); }
};

std::string NoteOf(const std::string& program)
{
    char path[MAX_PATH] = "";
    GetNotePath(program.c_str(), path);
    return path;
}

}  // namespace

TEST(InfoDialog, ShowsEachKindWalksTheListAndKeepsNotes)
{
    const std::string app = FixturePath("fixture_app.exe");
    SavedHistory history;
    ScratchDir dir("vltest_infodlg");
    const std::string hidden = dir.file("secret.dat");
    ASSERT_TRUE(WriteTextFile(hidden, "hidden"));
    SavedValue placement[] = {{HKEY_CURRENT_USER, kVelmoraKey, "xInfo"},
                              {HKEY_CURRENT_USER, kVelmoraKey, "yInfo"},
                              {HKEY_CURRENT_USER, kVelmoraKey, "dxInfo"},
                              {HKEY_CURRENT_USER, kVelmoraKey, "dyInfo"}};
    const std::string note = NoteOf(app);
    DeleteFileA(note.c_str());

    BuildServiceList();
    Item service;
    for (int i = 0; i < ItemCount() && service.title.empty(); ++i)
        if (ReadItem(i).type == 700 && !ReadItem(i).entry.empty()) service = ReadItem(i);
    ASSERT_FALSE(service.title.empty());
    ClearItems();
    AddItem(kEntryTitle, app.c_str(), "FixtureEntry", "", 1, 0);
    AddItem(service.title.c_str(), service.path.c_str(), service.entry.c_str(), "", 700, 0);
    AddItem("secret.dat", hidden.c_str(), hidden.c_str(), "", 370, 1);
    AddItem("Text Document", "C:\\windows\\notepad.exe %1", "txtfile", ".txt", 400, 1);

    // First opening, before the shared fonts exist: expanded.
    DeleteSharedGdi();
    std::map<std::string, std::string> seen;
    Drive(0, kEntryTitle, seen, [&](HWND h) {
        for (int id : {1031, 100, 1030, 1029, 1032, 1026, 1010, 5, 1181}) seen[std::to_string(id)] = Text(h, id);
        seen["expanded"] = Visible(h, 1033) && Visible(h, 1181) ? "yes" : "no";
        RECT r;
        GetWindowRect(h, &r);
        seen["height"] = std::to_string(r.bottom - r.top);
        Click(h, 4);   // Run
        for (int i = 0; i < 200 && !IsProgramRunning(app.c_str()); ++i) Sleep(25);
        Click(h, 1082);
        Click(h, 1083);   // refilled: the program now runs
        seen["running"] = Text(h, 1010) + (Visible(h, 3) ? " " + Text(h, 3) : "") + (Visible(h, 4) ? " run" : "");
        Click(h, 3);      // Kill Task, without a question
        seen["killed"] = Text(h, 1010) + (Visible(h, 3) ? " kill" : "") + (Visible(h, 4) ? " " + Text(h, 4) : "");
        Click(h, 1082);   // the service
        seen["service"] = Text(h);
        seen["startType"] = Text(h, 1090);
        seen["serviceControls"] = std::string(Visible(h, 1090) ? "combo " : "") + (Visible(h, 1039) ? "location " : "") +
                                  (Visible(h, 12) ? "apply " : "") + Text(h, 3);
        const HWND combo = GetDlgItem(h, 1090);
        const auto selected = SendMessageA(combo, CB_GETCURSEL, 0, 0);
        SendMessageA(combo, CB_SETCURSEL, (selected + 1) % 3, 0);
        SendMessageA(h, WM_COMMAND, MAKEWPARAM(1090, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
        seen["applyAfterChange"] = IsWindowEnabled(GetDlgItem(h, 12)) ? "on" : "off";
        SendMessageA(combo, CB_SETCURSEL, selected, 0);
        SendMessageA(h, WM_COMMAND, MAKEWPARAM(1090, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
        seen["applyAfterReturn"] = IsWindowEnabled(GetDlgItem(h, 12)) ? "on" : "off";
        Click(h, 1082);   // the hidden file
        seen["hidden"] = Text(h) + (Visible(h, 1092) || Visible(h, 3) || Visible(h, 4) ? " state shown" : "");
        Click(h, 1082);   // the file type
        seen["filetype"] = Text(h, 1033) + "|" + Text(h, 1039);
        Click(h, 1082);   // wraps to the first
        seen["wrapped"] = Text(h);
        Click(h, 1083);   // and back to the last
        seen["back"] = Text(h);
        Click(h, 1082);
        Click(h, 1069);   // Create Note
        seen["created"] = ReadTextFile(note);
        SetDlgItemTextA(h, 1033, "Kept for the audit.");
        seen["saveEnabled"] = IsWindowEnabled(GetDlgItem(h, 1069)) ? "on" : "off";
        Click(h, 1069);   // Save Note
        seen["saved"] = ReadTextFile(note) + (IsWindowEnabled(GetDlgItem(h, 1069)) ? " (still enabled)" : "");
    });
    EXPECT_EQ("yes", seen["found"]);
    EXPECT_EQ("Fixture Application", seen["1031"]);
    EXPECT_EQ("Fixture App", seen["100"]);
    EXPECT_EQ("Fixture Works", seen["1030"]);
    EXPECT_EQ("3.1.4", seen["1029"]);
    EXPECT_EQ("Copyright (C) 2026 Fixture Works", seen["1032"]);
    EXPECT_EQ(0, lstrcmpiA(PathForm(app, true).c_str(), seen["1026"].c_str())) << seen["1026"];
    EXPECT_EQ("Ready", seen["1010"]);
    EXPECT_EQ("Shrin&k Window", seen["5"]);
    EXPECT_EQ("yes", seen["expanded"]);
    EXPECT_FALSE(seen["1181"].empty());
    EXPECT_EQ("Running &Kill Task", seen["running"]);
    EXPECT_EQ("Ready Run", seen["killed"]);
    EXPECT_FALSE(IsProgramRunning(app.c_str()));
    EndProcessByPath(app.c_str(), "", 0);
    EXPECT_EQ(service.title, seen["service"]);
    EXPECT_EQ(service.entry, seen["startType"]);
    EXPECT_EQ("combo apply &Stop", seen["serviceControls"]);
    EXPECT_EQ("on", seen["applyAfterChange"]);
    EXPECT_EQ("off", seen["applyAfterReturn"]);
    EXPECT_EQ("secret.dat", seen["hidden"]);
    EXPECT_EQ("File Type Extension: .txt|", seen["filetype"]);
    EXPECT_EQ(kEntryTitle, seen["wrapped"]);
    EXPECT_EQ("Text Document", seen["back"]);
    EXPECT_EQ(std::string(kEntryTitle) + "\r\n" + seen["1026"] + "\r\n", seen["created"]);
    EXPECT_EQ("on", seen["saveEnabled"]);
    EXPECT_EQ("Kept for the audit.", seen["saved"]);
    EXPECT_NE(kMissing, Reg(HKEY_CURRENT_USER, kVelmoraKey, "xInfo"));
    EXPECT_EQ(seen["height"], Reg(HKEY_CURRENT_USER, kVelmoraKey, "dyInfo"));

    // Second opening, with the fonts: shrunk, and a note of 100 KB shows its
    // first 16384 characters.
    CreateSharedGdi();
    ASSERT_TRUE(WriteTextFile(note, std::string(100 * 1024, 'n')));
    std::map<std::string, std::string> again;
    Drive(0, kEntryTitle, again, [&](HWND h) {
        again["expanded"] = Visible(h, 1033) || Visible(h, 1181) || Visible(h, 1069) ? "yes" : "no";
        again["5"] = Text(h, 5);
        RECT r;
        GetWindowRect(h, &r);
        again["height"] = std::to_string(r.bottom - r.top);
        again["note"] = std::to_string(Text(h, 1033).size());
        Click(h, 5);
        again["afterExpand"] = Visible(h, 1033) ? Text(h, 5) : "hidden";
    });
    DeleteSharedGdi();
    EXPECT_EQ("no", again["expanded"]);
    EXPECT_EQ("E&xpand Info", again["5"]);
    EXPECT_LT(std::stoi(again["height"]), std::stoi(seen["height"]));
    EXPECT_EQ("16384", again["note"]);
    EXPECT_EQ("Shrin&k Window", again["afterExpand"]);
    EXPECT_EQ(100u * 1024, ReadTextFile(note).size());   // opening never rewrites a note
    DeleteFileA(note.c_str());
    ClearItems();
}

TEST(InfoDialog, NoteNamesComeFromTheProgramFile)
{
    char path[MAX_PATH] = "";
    EXPECT_EQ(0, GetNotePath("\"C:\\Tools\\A=B Tool.exe\" /quiet", path));
    EXPECT_STREQ("note_A_B Tool.txt", path + FileNameOffset(path)) << path;
    EXPECT_EQ(0, GetNotePath("", path));
    EXPECT_STREQ("", path);
    EXPECT_EQ(0, NoteExists("C:\\x.exe"));
}

TEST(OnlineLookup, KnowledgeBaseKeyAndPage)
{
    const struct {
        const char* name;
        const char* key;
    } cases[] = {
        {"My Prog-v2.exe", "my_prog"}, {"Setup~1.EXE", "setup"},      {"a?b:c,d.exe", "a_b_c"},
        {".hidden.exe", ".hidden"},    {"OurYCompMgr.exe", "ycomp"},  {"%1 %*", "vlcommand"},
        {"%1 s.scr", "vlsaver"},       {"x", "x"},
    };
    for (const auto& c : cases) {
        char key[kPathLen];
        LookupKey(c.name, key, sizeof key);
        EXPECT_STREQ(c.key, key) << c.name;
    }

    ScratchDir dir("vltest_kbase");
    const std::string program = dir.file("My Prog-v2.exe");
    ASSERT_TRUE(CopyFileA(FixturePath("fixture_app.exe").c_str(), program.c_str(), FALSE));
    char folder[MAX_PATH];
    ASSERT_TRUE(GetProgramFolder(folder));
    const std::string kbase = std::string(folder) + "\\kbase";
    const bool made = CreateDirectoryA(kbase.c_str(), nullptr) != 0;
    char page[MAX_PATH];
    EXPECT_EQ(0, KnowledgeBasePage(program.c_str(), page));
    ASSERT_TRUE(WriteTextFile(kbase + "\\my_prog.html", "<p>known</p>"));
    EXPECT_EQ(1, KnowledgeBasePage(("\"" + program + "\" -tray").c_str(), page));
    EXPECT_STREQ((kbase + "\\my_prog.html").c_str(), page);
    DeleteFileA((kbase + "\\my_prog.html").c_str());
    if (made) RemoveDirectoryA(kbase.c_str());
}

TEST(OnlineLookup, AddressesFollowTheSettings)
{
    SavedValue site(HKEY_LOCAL_MACHINE, kVelmoraKey, "LookupSite");
    SavedValue search(HKEY_LOCAL_MACHINE, kVelmoraKey, "LookupSearch");
    OwnedKey key(HKEY_LOCAL_MACHINE, kVelmoraKey);
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kVelmoraKey, "LookupSite");
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kVelmoraKey, "LookupSearch");
    ScratchDir dir("vltest_lookup");
    const std::string program = dir.file("My Prog#2.exe");
    ASSERT_TRUE(CopyFileA(FixturePath("fixture_app.exe").c_str(), program.c_str(), FALSE));
    const auto address = [&](int detailed) {
        static char out[kLookupAddressLen];
        BuildLookupAddress(5, program.c_str(), "Title", detailed, out, sizeof out);
        return std::string(out);
    };
    char stats[kLookupAddressLen];

    EXPECT_EQ("https://duckduckgo.com/?q=My%20Prog%232.exe%20Fixture%20Works", address(0));
    EXPECT_EQ(address(0), address(1));   // no details for a public search
    EXPECT_EQ(0, LookupStatsAddress(stats, sizeof stats));
    SetText(HKEY_LOCAL_MACHINE, kVelmoraKey, "LookupSearch", "https://search.example.org/find?q=");
    EXPECT_EQ("https://search.example.org/find?q=My%20Prog%232.exe%20Fixture%20Works", address(0));
    SetText(HKEY_LOCAL_MACHINE, kVelmoraKey, "LookupSearch", "C:\\windows\\notepad.exe ");
    EXPECT_EQ(0u, address(0).find("https://duckduckgo.com/?q="));
    SetText(HKEY_LOCAL_MACHINE, kVelmoraKey, "LookupSite", "file:///C:/windows/notepad.exe");
    EXPECT_EQ(0u, address(0).find("https://duckduckgo.com/?q="));

    SetText(HKEY_LOCAL_MACHINE, kVelmoraKey, "LookupSite", "https://info.example.org/");
    const std::string simple = address(0);
    EXPECT_EQ(0u, simple.find("https://info.example.org/cgi-bin/primeinfo.pl?program=My%20Prog%232.exe"
                              "&vendor=Fixture%20Works&version=3.1.4&build="))
        << simple;
    EXPECT_NE(std::string::npos, simple.find("&Type=5&Loc=en&ext=exe")) << simple;
    const std::string detailed = address(1);
    EXPECT_EQ(0u, detailed.find("https://info.example.org/cgi-bin/primeinfo12.pl?program=My%20Prog%232.exe"
                                "&vendor=Fixture%20Works&build="))
        << detailed;
    for (const char* part : {"&Loc=us&ext=exe&version=3.1.4&name=Fixture%20App",
                             "&detail=Fixture%20Application&created=", "&fsize=", "&path="})
        EXPECT_NE(std::string::npos, detailed.find(part)) << part << " in " << detailed;
    EXPECT_EQ(1, LookupStatsAddress(stats, sizeof stats));
    EXPECT_STREQ("https://info.example.org/stats.html", stats);
}

TEST(HelpPages, NamesAndInstalledDocuments)
{
    char name[kPathLen];
    const struct {
        int page;
        const char* file;
    } pages[] = {{6026, "startup.html"}, {6028, "cookies.html"},   {6029, "tasks.html"},
                 {6033, "options.html"}, {6038, "services.html"},  {6039, "scheduler.html"},
                 {6040, "bho.html"},     {6042, "filetype.html"},  {6051, "helpme.html"},
                 {6052, "hidden.html"},  {6055, "delay.html"},     {6027, "features.html"}};
    for (const auto& p : pages) {
        HelpDocumentName(p.page, name);
        EXPECT_STREQ(p.file, name);
        for (const char* program : {"explorer\\", "monitor\\"}) {
            const std::string page = ReadTextFile(BuildPath((std::string(program) + p.file).c_str()));
            EXPECT_NE(std::string::npos, page.find("</html>")) << program << p.file;
        }
    }
    SavedValue language(HKEY_LOCAL_MACHINE, kVelmoraKey, "LString634");
    OwnedKey key(HKEY_LOCAL_MACHINE, kVelmoraKey);
    SetText(HKEY_LOCAL_MACHINE, kVelmoraKey, "LString634", "de");
    const int previous = MessageLanguageId();
    SetMessageLanguageId(7);
    HelpDocumentName(6055, name);
    SetMessageLanguageId(previous);
    EXPECT_STREQ("de_delay.html", name);
}
