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
    int saved_ = MessageLanguageId();
    void SetUp() override
    {
        for (int id : {634, 686, 9999}) Override(id, nullptr);
    }
    void TearDown() override
    {
        SetUp();
        SetMessageLanguageId(saved_);
    }
    static void Override(int id, const char* text)
    {
        const std::string name = "LString" + std::to_string(id);
        if (text)
            ASSERT_EQ(SetRegValue(HKEY_LOCAL_MACHINE, kVelmoraKey, name.c_str(), text), 1);
        else
            DeleteRegValue(HKEY_LOCAL_MACHINE, kVelmoraKey, name.c_str());
    }
};

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

TEST_F(Options, WrittenDecimalTextRaisesUpdateAndOverridesTheProgramsDefault)
{
    SetProgramKind(kMonitor);
    EXPECT_EQ(ReadOptionOrDefault("MaxCookie"), 315);
    SetProgramKind(kExplorer);
    EXPECT_EQ(ReadOptionOrDefault("MaxCookie"), 4096);
    SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "Update", "0");
    EXPECT_EQ(WriteOption("MaxCookie", -12), 1);
    EXPECT_EQ(Raw("MaxCookie"), "-12");
    EXPECT_EQ(Raw("Update"), "1");
    EXPECT_EQ(ReadOptionOrDefault("MaxCookie"), -12);
}

TEST_F(Localized, OverridesApplyUnlessTheLanguageIsUsAndAreBoundedAndBrokenIntoLines)
{
    char text[64];
    EXPECT_EQ(LoadLocalizedString(9999, text), 0);
    Override(686, "Nie");
    const struct {
        const char* code;   // nullptr: none, the resource says us
        int id;
        const char* text;
    } cases[] = {{"us", 9, "Never"}, {nullptr, 9, "Never"}, {"DE", 7, "Nie"},
                 {"pt", 22, "Nie"},  {"xx", 0, "Nie"},      {"usa", 0, "Nie"}};
    for (const auto& c : cases) {
        SetMessageLanguageId(0);
        Override(634, c.code);
        InitMessageLanguage();
        EXPECT_EQ(MessageLanguageId(), c.id) << (c.code ? c.code : "(none)");
        LoadLocalizedString(686, text);
        EXPECT_STREQ(text, c.text) << (c.code ? c.code : "(none)");
    }
    Override(686, "");   // an empty override is no override
    EXPECT_EQ(LoadLocalizedString(686, text), 5);
    EXPECT_STREQ(text, "Never");

    Override(9999, "Zeile eins%nZeile zwei");
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

// Saved positions come back without resizing, are pulled back onto the screen
// from any side, and a missing coordinate centres the window.
TEST(Placement, RestoreMovesPullsBackAndCentres)
{
    const char* names[] = {"xPosVlTest", "yPosVlTest", "dxVlTest", "dyVlTest"};
    for (const char* name : names) DeleteRegValue(HKEY_CURRENT_USER, kVelmoraKey, name);
    HWND w = CreateWindowExA(0, "STATIC", "placement", WS_POPUP, 10, 20, 300, 200, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(w, nullptr);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const std::string wide = std::to_string(GetSystemMetrics(SM_CXVIRTUALSCREEN) + 1);
    const std::string tall = std::to_string(GetSystemMetrics(SM_CYVIRTUALSCREEN) + 1);
    const struct {
        const char* x;
        const char* y;   // nullptr: no value
        int left, top;
    } cases[] = {{"100", "120", 100, 120},
                 {wide.c_str(), tall.c_str(), width / 2, height / 2},
                 {"-30000", "-30000", width / 2, height / 2},
                 {"100", nullptr, (width - 300) / 2, (height - 200) / 3}};
    for (const auto& c : cases) {
        SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, names[0], c.x);
        DeleteRegValue(HKEY_CURRENT_USER, kVelmoraKey, names[1]);
        if (c.y) SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, names[1], c.y);
        RestorePlacement(w, names[0], names[1], names[2], names[3]);
        RECT r = {};
        GetWindowRect(w, &r);
        EXPECT_EQ(r.left, c.left) << c.x;
        EXPECT_EQ(r.top, c.top) << c.x;
        EXPECT_EQ(r.right - r.left, 300);
        EXPECT_EQ(r.bottom - r.top, 200);
    }
    DestroyWindow(w);
    for (const char* name : names) DeleteRegValue(HKEY_CURRENT_USER, kVelmoraKey, name);
}
