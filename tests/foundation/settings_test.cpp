#include <gtest/gtest.h>

#include <string>

#include "tests/support/testsupport.h"

namespace {

// An override under HKLM for a string id; nullptr removes it.
void Override(int id, const char* text)
{
    const std::string name = "LString" + std::to_string(id);
    text ? SetRegValue(HKEY_LOCAL_MACHINE, kVelmoraKey, name.c_str(), text)
         : DeleteRegValue(HKEY_LOCAL_MACHINE, kVelmoraKey, name.c_str());
}

}  // namespace

TEST(Options, ReadGivesTheDefaultOnlyWhenMissingEmptyTooLongOrNotText)
{
    ScratchKey options(HKEY_CURRENT_USER, kOptionsKey);
    const std::string longest = std::string(127, '0') + "7", tooLong = "0" + longest;
    const struct { const char* text; int expected; } cases[] = {   // text nullptr: no value
        {nullptr, 77}, {"", 77}, {"-3", -3}, {"12abc", 12}, {longest.c_str(), 7}, {tooLong.c_str(), 77}};
    for (const auto& c : cases) {
        DeleteRegValue(HKEY_CURRENT_USER, kOptionsKey, "Probe");
        if (c.text) SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "Probe", c.text);
        EXPECT_EQ(ReadOption("Probe", 77), c.expected) << (c.text ? c.text : "(missing)");
    }
    const DWORD number = 3;   // reads as the text "\x03": no digits
    SetRegDword(HKEY_CURRENT_USER, kOptionsKey, "Probe", &number);
    EXPECT_EQ(ReadOption("Probe", 77), 0);
}

TEST(Options, WrittenDecimalTextRaisesUpdateAndOverridesTheProgramsDefault)
{
    ScratchKey options(HKEY_CURRENT_USER, kOptionsKey);
    SetProgramKind(kMonitor);
    EXPECT_EQ(ReadOptionOrDefault("MaxCookie"), 315);
    SetProgramKind(kExplorer);
    EXPECT_EQ(ReadOptionOrDefault("MaxCookie"), 4096);
    EXPECT_EQ(WriteOption("MaxCookie", -12), 1);
    char text[16];
    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, kOptionsKey, "MaxCookie", text), 3);
    EXPECT_STREQ(text, "-12");
    EXPECT_EQ(ReadOption("Update", 0), 1);
}

TEST(Localized, OverridesApplyUnlessTheLanguageIsUsAndAreBoundedAndBrokenIntoLines)
{
    const int saved = MessageLanguageId();
    Override(686, "Nie");
    const struct { const char* code; int id; const char* text; } cases[] = {   // code nullptr: the resource's "us"
        {nullptr, 9, "Never"}, {"DE", 7, "Nie"}, {"usa", 0, "Nie"}};
    char text[64], big[1024], untouched[4] = "abc";
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
    Override(9999, "Zeile eins%nZeile zwei");
    EXPECT_EQ(LoadLocalizedString(9999, text), 22);   // the length before the break is put in
    EXPECT_STREQ(text, "Zeile eins\nZeile zwei");
    Override(9999, std::string(773, 'w').c_str());   // over 772 characters: not read at all
    EXPECT_EQ(LoadLocalizedString(9999, text), 0);
    Override(9999, std::string(772, 'w').c_str());
    EXPECT_EQ(LoadLocalizedString(9999, big), 771);
    EXPECT_EQ(LoadLocalizedString(9999, untouched, -1), 0);
    EXPECT_STREQ(untouched, "abc");
    for (int id : {634, 686, 9999}) Override(id, nullptr);
    SetMessageLanguageId(saved);
}
