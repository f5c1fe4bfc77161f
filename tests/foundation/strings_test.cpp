#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/foundation.h"

TEST(BoundedText, CopyCutsAtTheCapacityAndNeverWritesPastIt)
{
    const struct {
        const char* source;
        size_t capacity;
        const char* expected;
        int32_t result;
    } cases[] = {{"abcdef", 6, "abcde", VL_E_CUT}, {"abcdef", 7, "abcdef", 0}, {"", 1, "", 0}, {"a", 1, "", VL_E_CUT}};
    for (const auto& c : cases) {
        char buffer[16];
        memset(buffer, '#', sizeof(buffer));
        EXPECT_EQ(StrCopy(buffer, c.capacity, c.source), c.result) << c.source << " " << c.capacity;
        EXPECT_STREQ(buffer, c.expected);
        EXPECT_EQ(buffer[c.capacity], '#') << "wrote past capacity " << c.capacity;
    }
    // A capacity of zero or less is refused and the destination left alone.
    char buffer[4] = "xyz";
    EXPECT_EQ(StrCopy(buffer, 0, "abc"), VL_E_INVALIDARG);
    EXPECT_EQ(StrCopySigned(buffer, 0, "abc"), VL_E_INVALIDARG);
    EXPECT_EQ(StrCopySigned(buffer, -1, "abc"), VL_E_INVALIDARG);
    EXPECT_EQ(StrFormat(buffer, 0, "%s", "a"), VL_E_INVALIDARG);
    EXPECT_EQ(StrFormat(buffer, -5, "%s", "a"), VL_E_INVALIDARG);
    EXPECT_STREQ(buffer, "xyz");
    EXPECT_EQ(StrCopySigned(buffer, 3, "abc"), VL_E_CUT);
    EXPECT_STREQ(buffer, "ab");
}

TEST(BoundedText, AppendUsesOnlyTheRoomLeftAndRefusesAnUnterminatedBuffer)
{
    char buffer[8] = "abc";
    EXPECT_EQ(StrAppend(buffer, "de"), 0);
    EXPECT_EQ(StrAppend(buffer, "fghij"), VL_E_CUT);
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_EQ(StrAppend(buffer, "x"), VL_E_CUT);
    EXPECT_STREQ(buffer, "abcdefg");

    size_t length = 99;
    EXPECT_EQ(StrLength("abc", 3, &length), VL_E_INVALIDARG) << "no zero within the capacity";
    EXPECT_EQ(length, 0u);
    char unterminated[6];
    memset(unterminated, 'z', sizeof(unterminated));
    EXPECT_EQ(StrAppend(unterminated, sizeof(unterminated), "abc"), VL_E_INVALIDARG);
    EXPECT_EQ(std::string(unterminated, sizeof(unterminated)), "zzzzzz");
}

TEST(BoundedText, FormatFitsExactlyOrCutsAndTakesArgumentsAsText)
{
    char buffer[16];
    memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(StrFormat(buffer, 6, "%s-%d", "ab", 123), VL_E_CUT);   // 6 characters + zero need 7
    EXPECT_STREQ(buffer, "ab-12");
    EXPECT_EQ(buffer[6], '#');
    EXPECT_EQ(StrFormat(buffer, 7, "%s-%d", "ab", 123), 0);
    EXPECT_STREQ(buffer, "ab-123");
    EXPECT_EQ(StrFormatA(buffer, "%s", "100%s %n %d"), 0);
    EXPECT_STREQ(buffer, "100%s %n %d");
}
