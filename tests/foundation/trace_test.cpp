#include <gtest/gtest.h>

#include <string>

#include "tests/support/testsupport.h"

namespace {

class Trace : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramKind(kMonitor);
        InitTrace(0);
        DeleteFileA(GetTraceFilePath());
    }
    void TearDown() override
    {
        DeleteFileA(GetTraceFilePath());
        InitTrace(kTraceOff);
        SetProgramKind(kExplorer);
    }
    static std::string File() { return ReadTextFile(GetTraceFilePath()); }
    static int Lines()
    {
        std::string text = File();
        int n = 0;
        for (size_t at = 0; (at = text.find('=', at)) != std::string::npos; ++at) ++n;
        return n;
    }
    static std::string ProgramFolderFile(const char* name)
    {
        char folder[MAX_PATH];
        GetProgramFolder(folder);
        return std::string(folder) + name;
    }
};

}  // namespace

TEST_F(Trace, MonitorWritesOneKeyedLinePerCallUpToThe9001st)
{
    EXPECT_EQ(std::string(GetTraceFilePath()), ProgramFolderFile("\\send2cv.txt"));
    EXPECT_EQ(TraceLog("C:\\x.exe", "BuildRun - findrun"), 1);
    std::string text = File();
    EXPECT_EQ(text.rfind("[Trace]", 0), 0u) << text;
    // "MM-DD  hh:mm:ss label: text" under the key "tick.counter".
    size_t equals = text.find('=');
    ASSERT_NE(equals, std::string::npos);
    std::string key = text.substr(text.find('\n') + 1, equals - text.find('\n') - 1);
    EXPECT_EQ(key.substr(key.find('.')), ".1") << key;
    std::string line = text.substr(equals + 1);
    ASSERT_GE(line.size(), 16u);
    EXPECT_EQ(line[2], '-');
    EXPECT_EQ(line.substr(5, 2), "  ");
    EXPECT_EQ(line[9], ':');
    EXPECT_EQ(line.substr(15, 30), " C:\\x.exe: BuildRun - findrun\r") << line;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(TraceLog("Step", "same tick, new key"), 1);
    EXPECT_EQ(Lines(), 5);

    InitTrace(8999);
    EXPECT_EQ(TraceLog("line", "9000"), 1);
    EXPECT_EQ(TraceLog("line", "9001"), 1);
    EXPECT_EQ(TraceLog("line", "9002"), 0);
    EXPECT_EQ(TraceElapsed(), 0);
    EXPECT_EQ(GetTraceCounter(), 9001);
    EXPECT_EQ(Lines(), 7);
}

TEST_F(Trace, NothingIsWrittenWhenOffOrByTheExplorer)
{
    InitTrace(kTraceOff);
    EXPECT_EQ(TraceLog("a", "b"), 0);
    EXPECT_EQ(TraceStart("a", "b"), 0);
    EXPECT_EQ(GetFileAttributesA(GetTraceFilePath()), INVALID_FILE_ATTRIBUTES);

    SetProgramKind(kExplorer);
    InitTrace(0);
    EXPECT_EQ(std::string(GetTraceFilePath()), ProgramFolderFile("\\sendex2cv.txt"));
    EXPECT_EQ(TraceLog("a", "b"), 0);
    EXPECT_EQ(TraceStart("a", "b"), 0);
    EXPECT_EQ(TraceElapsed(), 0);
    EXPECT_EQ(GetFileAttributesA(GetTraceFilePath()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(ProgramFolderFile("\\send2cv.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Trace, ElapsedShowsHalfTheMillisecondsWithBoundedBarAndTexts)
{
    ASSERT_EQ(TraceStart("Verify", "half A"), 1);
    SetTraceMarkTime(GetTickCount() - 5000);
    ASSERT_EQ(TraceElapsed(), 1);
    std::string text = File();
    size_t at = text.find("**:**:** NanoCycles: half A = 250");
    ASSERT_NE(at, std::string::npos) << text;
    // The tick may move on by a few milliseconds: skip the last digit.
    EXPECT_EQ(text.substr(at + 34, 5), " \t**\r") << text.substr(at);

    SetTraceMarkTime(GetTickCount() - 40000);
    ASSERT_EQ(TraceElapsed(), 1);
    EXPECT_NE(File().find(" \t****************\r"), std::string::npos);
    EXPECT_EQ(File().find("*****************"), std::string::npos);

    // The line is cut within 1024 and the remembered text within 256.
    EXPECT_EQ(TraceLog(std::string(2000, 'L').c_str(), std::string(2000, 'T').c_str()), 1);
    EXPECT_EQ(TraceElapsed(), 1);
    EXPECT_EQ(File().find(std::string(1024, 'L')), std::string::npos);
    EXPECT_NE(File().find("NanoCycles: " + std::string(255, 'T') + " = "), std::string::npos);
}
