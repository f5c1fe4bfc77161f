#include <gtest/gtest.h>

#include <string>

#include "tests/support/testsupport.h"

namespace {

class Options : public ::testing::Test {
protected:
    ScratchKey options_{HKEY_CURRENT_USER, kOptionsKey};
    static std::string Raw(const char* name)
    {
        char text[256];
        GetRegValue(HKEY_CURRENT_USER, kOptionsKey, name, text);
        return text;
    }
};

// Overrides under HKLM for the ids the tests use, removed before and after.
class Localized : public ::testing::Test {
protected:
    static constexpr int kIds[] = {2, 634, 686, 9999};
    void SetUp() override
    {
        Clear();
        saved_ = MessageLanguageId();
    }
    void TearDown() override
    {
        Clear();
        SetMessageLanguageId(saved_);
    }
    static void Clear()
    {
        for (int id : kIds) {
            char name[32];
            StrFormatA(name, "LString%d", id);
            DeleteRegValue(HKEY_LOCAL_MACHINE, kVelmoraKey, name);
        }
    }
    static void Override(int id, const char* text)
    {
        char name[32];
        StrFormatA(name, "LString%d", id);
        ASSERT_EQ(SetRegValue(HKEY_LOCAL_MACHINE, kVelmoraKey, name, text), 1);
    }
    int saved_ = 0;
};

class Placement : public ::testing::Test {
protected:
    static constexpr const char* kNames[] = {"xPosVlTest", "yPosVlTest", "dxVlTest", "dyVlTest"};
    HWND window_ = nullptr;
    void SetUp() override
    {
        Clear();
        window_ = CreateWindowExA(0, "STATIC", "placement", WS_POPUP, 10, 20, 300, 200, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(window_);
        Clear();
        SetProgramKind(kExplorer);
        SetCurrentPage(6026);
    }
    static void Clear()
    {
        for (const char* name : kNames) DeleteRegValue(HKEY_CURRENT_USER, kVelmoraKey, name);
    }
    static std::string Value(const char* name)
    {
        char text[64];
        GetRegValue(HKEY_CURRENT_USER, kVelmoraKey, name, text);
        return text;
    }
    void Restore() { RestorePlacement(window_, kNames[0], kNames[1], kNames[2], kNames[3]); }
    RECT Rect() const
    {
        RECT r = {};
        GetWindowRect(window_, &r);
        return r;
    }
};

}  // namespace

TEST_F(Options, ReadOptionGivesDefaultOnlyWhenMissingOrEmpty)
{
    struct Case {
        const char* text;   // nullptr: no value
        int expected;
    };
    const Case cases[] = {{nullptr, 77}, {"", 77},  {"42", 42},   {"-3", -3},
                          {"abc", 0},    {"12abc", 12}, {"0", 0}, {"99999999999", 2147483647}};
    for (const Case& c : cases) {
        DeleteRegValue(HKEY_CURRENT_USER, kOptionsKey, "Probe");
        if (c.text) SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "Probe", c.text);
        EXPECT_EQ(ReadOption("Probe", 77), c.expected) << (c.text ? c.text : "(missing)");
    }
}

TEST_F(Options, OverlongOrWronglyTypedValuesGiveTheDefault)
{
    std::string longText(200, '5');
    SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "Probe", longText.c_str());
    EXPECT_EQ(ReadOption("Probe", 77), 77);

    DWORD number = 3;   // a REG_DWORD reads as the text "\x03": not digits
    SetRegDword(HKEY_CURRENT_USER, kOptionsKey, "Probe", &number);
    EXPECT_EQ(ReadOption("Probe", 77), 0);
}

TEST_F(Options, ValuesUpTo128CharactersAreRead)
{
    std::string text = std::string(127, '0') + "7";
    SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "Probe", text.c_str());
    EXPECT_EQ(ReadOption("Probe", 77), 7);
    text = std::string(128, '0') + "7";
    SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "Probe", text.c_str());
    EXPECT_EQ(ReadOption("Probe", 77), 77);
}

TEST_F(Options, DefaultsDependOnTheProgram)
{
    struct Case {
        const char* name;
        int monitor;
        int explorer;
    };
    // Wine reports the NT platform: the monitor's tray icon is 101 there.
    const Case cases[] = {{"MaxCookie", 315, 4096}, {"TrayIcon", 101, 101}, {"History", 1, 1},
                          {"FileType", 10, 10},     {"hostfile", 3, 3},    {"StartTab", 6026, 6026},
                          {"NoteSize", 14, 14},     {"Debug", 0, 0},       {"NoSuchOption", 0, 0}};
    for (const Case& c : cases) {
        SetProgramKind(kMonitor);
        EXPECT_EQ(GetOptionDefault(c.name), c.monitor) << c.name;
        EXPECT_EQ(ReadOptionOrDefault(c.name), c.monitor) << c.name;
        SetProgramKind(kExplorer);
        EXPECT_EQ(GetOptionDefault(c.name), c.explorer) << c.name;
    }
    WriteOption("MaxCookie", 50);
    EXPECT_EQ(ReadOptionOrDefault("MaxCookie"), 50);
}

TEST_F(Options, WriteOptionWritesDecimalTextAndRaisesUpdate)
{
    SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "Update", "0");
    EXPECT_EQ(WriteOption("Sound", -12), 1);
    EXPECT_EQ(Raw("Sound"), "-12");
    EXPECT_EQ(Raw("Update"), "1");
    EXPECT_EQ(ReadOption("Sound", 1), -12);
}

TEST_F(Options, HostFileAndHOSTFileAreOneValue)
{
    WriteOption("HOSTFile", 9);
    EXPECT_EQ(ReadOption("HostFile", 3), 9);
}

TEST_F(Localized, ResourceTextWhenNoOverride)
{
    SetMessageLanguageId(0);
    char text[64];
    EXPECT_EQ(LoadLocalizedString(686, text), 5);
    EXPECT_STREQ(text, "Never");
    EXPECT_EQ(LoadLocalizedString(9999, text), 0);
    EXPECT_STREQ(text, "");
    char small[4];
    EXPECT_EQ(LoadLocalizedString(686, small), 3);
    EXPECT_STREQ(small, "Nev");
}

TEST_F(Localized, OverridesAreIgnoredForEnglishOnly)
{
    Override(686, "Nie");
    char text[64];
    SetMessageLanguageId(9);
    LoadLocalizedString(686, text);
    EXPECT_STREQ(text, "Never");
    for (int id : {7, 0, 12345}) {   // German, unknown and nonsense ids
        SetMessageLanguageId(id);
        EXPECT_EQ(LoadLocalizedString(686, text), 3);
        EXPECT_STREQ(text, "Nie");
    }
    Override(686, "");   // an empty override is no override
    SetMessageLanguageId(7);
    LoadLocalizedString(686, text);
    EXPECT_STREQ(text, "Never");
}

TEST_F(Localized, OverrideLineBreaksAndCuts)
{
    SetMessageLanguageId(7);
    Override(9999, "Zeile eins%nZeile zwei");
    char text[64];
    EXPECT_EQ(LoadLocalizedString(9999, text), 22) << "the length before the line break is put in";
    EXPECT_STREQ(text, "Zeile eins\nZeile zwei");

    char small[6];
    EXPECT_EQ(LoadLocalizedString(9999, small), 5);
    EXPECT_STREQ(small, "Zeile");

    std::string longText(800, 'w');   // over 772 characters: not read at all
    Override(9999, longText.c_str());
    EXPECT_EQ(LoadLocalizedString(9999, text), 0);

    std::string longest(772, 'w');
    Override(9999, longest.c_str());
    char big[1024];
    EXPECT_EQ(LoadLocalizedString(9999, big), 771);
    EXPECT_EQ(strlen(big), 771u);

    char untouched[4] = "abc";
    EXPECT_EQ(LoadLocalizedString(9999, untouched, -1), 0);
    EXPECT_STREQ(untouched, "abc");
}

TEST_F(Localized, MessageLanguageComesFromTheLanguageCode)
{
    struct Case {
        const char* code;
        int id;
    };
    const Case cases[] = {{"us", 9},  {"DE", 7},  {"fr", 12}, {"br", 22}, {"pt", 22}, {"cn", 4},
                          {"sq", 28}, {"Tr", 31}, {"xx", 0},  {"\xEA\xE0\xEA", 25}, {"usa", 0}};
    for (const Case& c : cases) {
        SetMessageLanguageId(0);
        Override(634, c.code);
        InitMessageLanguage();
        EXPECT_EQ(MessageLanguageId(), c.id) << c.code;
    }
    Clear();
    SetMessageLanguageId(0);
    InitMessageLanguage();
    EXPECT_EQ(MessageLanguageId(), 9) << "the resource says us";
}

TEST_F(Localized, CaptionIsTheLocalizedProgramName)
{
    EXPECT_STREQ(GetAppCaption(), "Velmora");
}

TEST_F(Localized, SetDialogTextKeepsTheTemplateTextForMissingStrings)
{
    SetMessageLanguageId(9);
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    HWND child = CreateWindowExA(0, "STATIC", "template", WS_CHILD, 0, 0, 50, 20, parent,
                                 reinterpret_cast<HMENU>(100), GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(child, nullptr);
    char text[64];
    SetDialogText(parent, 9999, 100);
    GetWindowTextA(child, text, sizeof(text));
    EXPECT_STREQ(text, "template");
    SetDialogText(parent, 686, 100);
    GetWindowTextA(child, text, sizeof(text));
    EXPECT_STREQ(text, "Never");
    DestroyWindow(parent);
}

TEST_F(Placement, SaveWritesTheRectangleAndTheStartPage)
{
    ScratchKey options(HKEY_CURRENT_USER, kOptionsKey);
    SetProgramKind(kExplorer);
    SetCurrentPage(6031);
    SavePlacement(window_, kNames[0], kNames[1], kNames[2], kNames[3]);
    RECT r = Rect();
    EXPECT_EQ(Value(kNames[0]), std::to_string(r.left));
    EXPECT_EQ(Value(kNames[1]), std::to_string(r.top));
    EXPECT_EQ(Value(kNames[2]), "300");
    EXPECT_EQ(Value(kNames[3]), "200");
    EXPECT_EQ(ReadOption("StartTab", 0), 6031);
    EXPECT_EQ(ReadOption("Update", 0), 1);

    // Any monitor window sends the explorer back to its first page.
    SetProgramKind(kMonitor);
    SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "Update", "0");
    Restore();
    EXPECT_EQ(ReadOption("StartTab", 6031), 0);
    EXPECT_EQ(ReadOption("Update", 0), 1);
}

TEST_F(Placement, RestoreMovesWithoutResizing)
{
    SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, kNames[0], "100");
    SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, kNames[1], "120");
    Restore();
    RECT r = Rect();
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 120);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 200);
}

TEST_F(Placement, PositionsOffTheScreenArePulledBack)
{
    struct Case {
        const char* x;
        const char* y;
    };
    const int halfWidth = GetSystemMetrics(SM_CXSCREEN) / 2;
    const int halfHeight = GetSystemMetrics(SM_CYSCREEN) / 2;
    std::string wide = std::to_string(GetSystemMetrics(SM_CXVIRTUALSCREEN) + 1);
    std::string tall = std::to_string(GetSystemMetrics(SM_CYVIRTUALSCREEN) + 1);
    const Case cases[] = {{wide.c_str(), tall.c_str()}, {"-30000", "-30000"}};
    for (const Case& c : cases) {
        SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, kNames[0], c.x);
        SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, kNames[1], c.y);
        Restore();
        RECT r = Rect();
        EXPECT_EQ(r.left, halfWidth) << c.x;
        EXPECT_EQ(r.top, halfHeight) << c.y;
    }
}

TEST_F(Placement, WithoutBothCoordinatesTheWindowIsCentred)
{
    SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, kNames[0], "100");   // no y value
    Restore();
    RECT r = Rect();
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 300) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 200) / 3);
}

TEST(SystemError, ShowsTheLastErrorInABox)
{
    DialogAnswerer answer("#32770", "System Error", IDOK);
    SetLastError(ERROR_FILE_NOT_FOUND);
    ShowSystemError();
    EXPECT_TRUE(answer.answered());
}
