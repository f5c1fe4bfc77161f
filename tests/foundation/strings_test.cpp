#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/foundation.h"

namespace {

constexpr char kGuard = '#';

struct CopyCase {
    const char* source;
    size_t capacity;
    const char* expected;
    int32_t result;
};

constexpr CopyCase kCopyCases[] = {
    {"abcdef", 3, "ab", VL_E_CUT},
    {"abcdef", 6, "abcde", VL_E_CUT},
    {"abcdef", 7, "abcdef", 0},
    {"abcdef", 64, "abcdef", 0},
    {"", 1, "", 0},
    {"a", 1, "", VL_E_CUT},
};

}  // namespace

TEST(StrCopy, CopiesOrCutsAndAlwaysTerminates)
{
    for (const CopyCase& c : kCopyCases) {
        char buffer[80];
        memset(buffer, kGuard, sizeof(buffer));
        EXPECT_EQ(StrCopy(buffer, c.capacity, c.source), c.result) << c.source << " " << c.capacity;
        EXPECT_STREQ(buffer, c.expected);
        EXPECT_EQ(buffer[c.capacity], kGuard) << "wrote past capacity " << c.capacity;
    }
}

TEST(StrCopy, ZeroCapacityLeavesDestinationUntouched)
{
    char buffer[4] = "xyz";
    EXPECT_EQ(StrCopy(buffer, 0, "abc"), VL_E_INVALIDARG);
    EXPECT_STREQ(buffer, "xyz");
    EXPECT_EQ(StrCopySigned(buffer, 0, "abc"), VL_E_INVALIDARG);
    EXPECT_EQ(StrCopySigned(buffer, -1, "abc"), VL_E_INVALIDARG);
    EXPECT_STREQ(buffer, "xyz");
    EXPECT_EQ(StrCopySigned(buffer, 3, "abc"), VL_E_CUT);
    EXPECT_STREQ(buffer, "ab");
}

TEST(StrCopy, ArrayFormTakesTheArraySize)
{
    char small[4];
    EXPECT_EQ(StrCopy(small, "abcdef"), VL_E_CUT);
    EXPECT_STREQ(small, "abc");
}

TEST(StrLength, CountsUpToTheZeroWithinCapacity)
{
    size_t length = 99;
    EXPECT_EQ(StrLength("abc", 4, &length), 0);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(StrLength("abc", 3, &length), VL_E_INVALIDARG);
    EXPECT_EQ(length, 0u);
    length = 99;
    EXPECT_EQ(StrLength("abc", 0, &length), VL_E_INVALIDARG);
    EXPECT_EQ(length, 0u);
}

TEST(StrAppend, AppendsWithinTheRemainingCapacity)
{
    char buffer[8] = "abc";
    EXPECT_EQ(StrAppend(buffer, "de"), 0);
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(StrAppend(buffer, "fghij"), VL_E_CUT);
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_EQ(StrAppend(buffer, "x"), VL_E_CUT);
    EXPECT_STREQ(buffer, "abcdefg");
}

TEST(StrAppend, UnterminatedDestinationIsLeftAlone)
{
    char buffer[6];
    memset(buffer, 'z', sizeof(buffer));
    StrAppend(buffer, sizeof(buffer), "abc");
    EXPECT_EQ(std::string(buffer, sizeof(buffer)), "zzzzzz");
}

TEST(StrFormat, ExactFitSucceedsOneMoreIsCut)
{
    char buffer[16];
    memset(buffer, kGuard, sizeof(buffer));
    EXPECT_EQ(StrFormat(buffer, 6, "%s-%d", "ab", 123), VL_E_CUT);   // 6 characters + zero need 7
    EXPECT_STREQ(buffer, "ab-12");
    EXPECT_EQ(buffer[6], kGuard);
    EXPECT_EQ(StrFormat(buffer, 7, "%s-%d", "ab", 123), 0);
    EXPECT_STREQ(buffer, "ab-123");
    memset(buffer, kGuard, sizeof(buffer));
    EXPECT_EQ(StrFormat(buffer, 5, "%d", 123456), VL_E_CUT);
    EXPECT_STREQ(buffer, "1234");
    EXPECT_EQ(buffer[5], kGuard);
}

TEST(StrFormat, ResultCodesTellCutFromFit)
{
    char buffer[8];
    EXPECT_EQ(StrFormat(buffer, 7, "%s", "abcdef"), 0);
    EXPECT_EQ(StrFormat(buffer, 6, "%s", "abcdef"), VL_E_CUT);
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(StrFormatA(buffer, "%s", "0123456789"), VL_E_CUT);
    EXPECT_STREQ(buffer, "0123456");
}

TEST(StrFormat, NonPositiveCapacityIsRejectedUntouched)
{
    char buffer[4] = "xyz";
    EXPECT_EQ(StrFormat(buffer, 0, "%s", "a"), VL_E_INVALIDARG);
    EXPECT_EQ(StrFormat(buffer, -5, "%s", "a"), VL_E_INVALIDARG);
    EXPECT_STREQ(buffer, "xyz");
}

TEST(StrFormat, PercentInArgumentsIsPlainText)
{
    char buffer[32];
    EXPECT_EQ(StrFormatA(buffer, "%s", "100%s %n %d"), 0);
    EXPECT_STREQ(buffer, "100%s %n %d");
}
