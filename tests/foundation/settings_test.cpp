#include <gtest/gtest.h>

#include <string>

#include "tests/support/testsupport.h"

namespace {

class Options : public ::testing::Test {
protected:
    ScratchKey options_{HKEY_CURRENT_USER, kOptionsKey};
    void TearDown() override { SetProgramKind(kExplorer); }
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
    int saved_ = 0;
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
        for (int id : {634, 686, 9999}) Override(id, nullptr);
    }
    static void Override(int id, const char* text)
    {
        char name[32];
        StrFormatA(name, "LString%d", id);
        if (text)
            ASSERT_EQ(SetRegValue(HKEY_LOCAL_MACHINE, kVelmoraKey, name, text), 1);
        else
            DeleteRegValue(HKEY_LOCAL_MACHINE, kVelmoraKey, name);
    }
};

constexpr const char* kPlace[] = {"xPosVlTest", "yPosVlTest", "dxVlTest", "dyVlTest"};

void ClearPlacement()
{
    for (const char* name : kPlace) DeleteRegValue(HKEY_CURRENT_USER, kVelmoraKey, name);
}

}  // namespace

TEST_F(Options, ReadOptionGivesDefaultOnlyWhenMissingEmptyOrTooLong)
{
    const std::string longest = std::string(127, '0') + "7";
    const std::string tooLong = std::string(128, '0') + "7";
    const struct {
        const char* text;   // nullptr: no value
        int expected;
    } cases[] = {{nullptr, 77},      {"", 77},          {"-3", -3},         {"abc", 0},
                 {"12abc", 12},      {"99999999999", 2147483647}, {longest.c_str(), 7}, {tooLong.c_str(), 77}};
    for (const auto& c : cases) {
        DeleteRegValue(HKEY_CURRENT_USER, kOptionsKey, "Probe");
        if (c.text) SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "Probe", c.text);
        EXPECT_EQ(ReadOption("Probe", 77), c.expected) << (c.text ? c.text : "(missing)");
    }
    DWORD number = 3;   // a REG_DWORD reads as the text "\x03": not digits
    SetRegDword(HKEY_CURRENT_USER, kOptionsKey, "Probe", &number);
    EXPECT_EQ(ReadOption("Probe", 77), 0);
}

TEST_F(Options, WriteOptionWritesDecimalTextAndRaisesUpdate)
{
    SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "Update", "0");
    EXPECT_EQ(WriteOption("Sound", -12), 1);
    EXPECT_EQ(Raw("Sound"), "-12");
    EXPECT_EQ(Raw("Update"), "1");
}

TEST_F(Options, MaxCookieDefaultDependsOnTheProgram)
{
    SetProgramKind(kMonitor);
    EXPECT_EQ(ReadOptionOrDefault("MaxCookie"), 315);
    SetProgramKind(kExplorer);
    EXPECT_EQ(ReadOptionOrDefault("MaxCookie"), 4096);
    WriteOption("MaxCookie", 50);
    EXPECT_EQ(ReadOptionOrDefault("MaxCookie"), 50);
}

TEST_F(Localized, OverridesAreIgnoredForEnglishOnly)
{
    char text[64];
    SetMessageLanguageId(0);
    EXPECT_EQ(LoadLocalizedString(686, text), 5);
    EXPECT_STREQ(text, "Never");
    EXPECT_EQ(LoadLocalizedString(9999, text), 0);
    EXPECT_STREQ(text, "");

    Override(686, "Nie");
    SetMessageLanguageId(9);
    LoadLocalizedString(686, text);
    EXPECT_STREQ(text, "Never");
    SetMessageLanguageId(7);
    EXPECT_EQ(LoadLocalizedString(686, text), 3);
    EXPECT_STREQ(text, "Nie");
    Override(686, "");   // an empty override is no override
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

    Override(9999, std::string(800, 'w').c_str());   // over 772 characters: not read at all
    EXPECT_EQ(LoadLocalizedString(9999, text), 0);
    Override(9999, std::string(772, 'w').c_str());
    char big[1024];
    EXPECT_EQ(LoadLocalizedString(9999, big), 771);
    char untouched[4] = "abc";
    EXPECT_EQ(LoadLocalizedString(9999, untouched, -1), 0);
    EXPECT_STREQ(untouched, "abc");
}

TEST_F(Localized, MessageLanguageComesFromTheLanguageCode)
{
    const struct {
        const char* code;
        int id;
    } cases[] = {{"us", 9}, {"DE", 7}, {"br", 22}, {"pt", 22}, {"\xEA\xE0\xEA", 25}, {"xx", 0}, {"usa", 0}};
    for (const auto& c : cases) {
        SetMessageLanguageId(0);
        Override(634, c.code);
        InitMessageLanguage();
        EXPECT_EQ(MessageLanguageId(), c.id) << c.code;
    }
    Override(634, nullptr);
    SetMessageLanguageId(0);
    InitMessageLanguage();
    EXPECT_EQ(MessageLanguageId(), 9) << "the resource says us";
}

TEST_F(Options, PlacementIsSavedAndRestoredOnTheScreenWithoutResizing)
{
    ClearPlacement();
    HWND window = CreateWindowExA(0, "STATIC", "placement", WS_POPUP, 10, 20, 300, 200, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    auto restore = [&](const char* x, const char* y) {
        SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, kPlace[0], x);
        SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, kPlace[1], y);
        RestorePlacement(window, kPlace[0], kPlace[1], kPlace[2], kPlace[3]);
        RECT r = {};
        GetWindowRect(window, &r);
        return r;
    };
    SetCurrentPage(6031);
    SavePlacement(window, kPlace[0], kPlace[1], kPlace[2], kPlace[3]);
    char size[16];
    GetRegValue(HKEY_CURRENT_USER, kVelmoraKey, kPlace[2], size);
    EXPECT_STREQ(size, "300");
    EXPECT_EQ(ReadOption("StartTab", 0), 6031);

    RECT r = restore("100", "120");
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 120);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 200);
    r = restore("-30000", "-30000");
    EXPECT_EQ(r.left, GetSystemMetrics(SM_CXSCREEN) / 2);
    EXPECT_EQ(r.top, GetSystemMetrics(SM_CYSCREEN) / 2);

    // Any monitor window sends the explorer back to its first page.
    SetProgramKind(kMonitor);
    restore("100", "120");
    EXPECT_EQ(ReadOption("StartTab", 6031), 0);
    DestroyWindow(window);
    ClearPlacement();
    SetCurrentPage(6026);
}
