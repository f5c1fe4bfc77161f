#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/testsupport.h"

namespace {

class Trace : public ::testing::Test {
protected:
    void SetUp() override { SetProgramKind(kMonitor); InitTrace(0); DeleteFileA(GetTraceFilePath()); }
    void TearDown() override { DeleteFileA(GetTraceFilePath()); InitTrace(kTraceOff); SetProgramKind(kExplorer); }
    static std::string File() { return ReadTextFile(GetTraceFilePath()); }
};

}  // namespace

TEST_F(Trace, MonitorWritesOneKeyedLinePerCallUpToThe9001st)
{
    EXPECT_TRUE(std::string(GetTraceFilePath()).ends_with("\\send2cv.txt"));
    EXPECT_EQ(TraceLog("C:\\x.exe", "BuildRun - findrun"), 1);
    std::string text = File();
    // "[Trace]", then "tick.counter=MM-DD  hh:mm:ss label: text"
    std::replace_if(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }, '9');
    EXPECT_TRUE(text.ends_with(".9=99-99  99:99:99 C:\\x.exe: BuildRun - findrun\r\n")) << text;
    EXPECT_EQ(text.rfind("[Trace]\r\n9", 0), 0u);
    for (int i = 0; i < 4; ++i) TraceLog("Step", "same tick, new key");
    InitTrace(8999);
    EXPECT_EQ(TraceLog("line", "9000") + TraceLog("line", "9001"), 2);
    EXPECT_EQ(TraceLog("line", "9002") + TraceElapsed(), 0);
    EXPECT_EQ(GetTraceCounter(), 9001);
    text = File();
    EXPECT_EQ(std::count(text.begin(), text.end(), '='), 7);
}

TEST_F(Trace, NothingIsWrittenWhenOffOrByTheExplorer)
{
    InitTrace(kTraceOff);
    EXPECT_EQ(TraceLog("a", "b") + TraceStart("a", "b"), 0);
    const std::string monitorFile = GetTraceFilePath();
    SetProgramKind(kExplorer);
    InitTrace(0);
    EXPECT_EQ(TraceLog("a", "b") + TraceStart("a", "b") + TraceElapsed(), 0);
    EXPECT_EQ(GetFileAttributesA(GetTraceFilePath()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(monitorFile.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Trace, ElapsedShowsHalfTheMillisecondsWithBoundedBarAndTexts)
{
    TraceStart("Verify", "half A");
    SetTraceMarkTime(GetTickCount() - 5000);
    TraceElapsed();
    const size_t at = File().find("**:**:** NanoCycles: half A = 250");
    ASSERT_NE(at, std::string::npos) << File();
    EXPECT_EQ(File().substr(at + 34, 5), " \t**\r");   // the tick may move on: the last digit is skipped
    SetTraceMarkTime(GetTickCount() - 40000);
    TraceElapsed();
    EXPECT_NE(File().find(" \t****************\r"), std::string::npos);
    EXPECT_EQ(File().find("*****************"), std::string::npos);
    // The line is cut within 1024 and the remembered text within 256.
    TraceLog(std::string(2000, 'L').c_str(), std::string(2000, 'T').c_str());
    TraceElapsed();
    EXPECT_EQ(File().find(std::string(1024, 'L')), std::string::npos);
    EXPECT_NE(File().find("NanoCycles: " + std::string(255, 'T') + " = "), std::string::npos);
}
