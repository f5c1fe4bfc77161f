// The verification cycle run in this process against the real registry: its
// schedule, its busy rules and the startup check's decisions. Alerts are
// kept away by the suppression level, which takes every reject branch.
#include <gtest/gtest.h>

#include <string>

#include "monitor/monitor.h"
#include "tests/catalogue/startuptest.h"
#include "tests/support/testsupport.h"

using namespace startuptest;

namespace {

constexpr const char* kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const HKEY kUser = HKEY_CURRENT_USER;

class Cycle : public ::testing::Test {
protected:
    SavedUserTree corvath_{"Software\\Corvath"};
    SavedValue entries_[4] = {{kUser, kUserRun, "VlCycleNew"},
                              {kUser, kUserRun, "VlCycleByPath"},
                              {kUser, kUserRun, "VlCycleByTitle"},
                              {kUser, kUserRun, "VlCycleZero"}};
    OwnedKey approved_{kUser, kApprovedRunKey};

    void SetUp() override
    {
        // What the machine starts today is approved, so that a reject
        // branch can only reach the test's own entries.
        BuildStartupList(0);
        char path[kPathLen];
        for (int i = 0; i < ItemCount(); ++i)
            if (GetItemPath(i, path)) WriteApproval(kStoreRun, path, GetItemType(i));
        ClearItems();
        GetMonitorState() = MonitorState{};
        LoadMonitorOptions();
    }
    // A pass as the timer would start it, past the one-second rule.
    static int Pass()
    {
        GetMonitorState().lastPassStart = GetTickCount() - 5000;
        return VerifyData();
    }
    static std::string Program(const char* name) { return std::string("C:\\vlcycle\\") + name + ".exe"; }
};

}  // namespace

TEST_F(Cycle, DefaultsRunNoCheckInTheFirstPassAndTheStartupCheckInTheSecondAPass)
{
    ASSERT_TRUE(SetText(kUser, kUserRun, "VlCycleNew", Program("new")));
    MonitorState& state = GetMonitorState();
    state.hideAlerts = 2;

    ASSERT_EQ(Pass(), 1);   // A
    EXPECT_TRUE(state.halfB);
    EXPECT_EQ(state.checks[kCheckStartup].countdown, 1);
    EXPECT_EQ(state.checks[kCheckIEHelpers].countdown, 1);
    EXPECT_EQ(state.checks[kCheckStartPage].countdown, 1);
    EXPECT_EQ(state.checks[kCheckSysFiles].countdown, 2);
    EXPECT_EQ(Reg(kUser, kUserRun, "VlCycleNew"), Program("new"));

    // Only the startup check is wanted in the next A pass.
    for (MonitorCheck c : {kCheckIEHelpers, kCheckHidden, kCheckSysFiles, kCheckStartPage, kCheckFileType})
        state.checks[c] = CheckCounter{};
    ASSERT_EQ(Pass(), 1);   // B
    EXPECT_EQ(Reg(kUser, kUserRun, "VlCycleNew"), Program("new"));
    ASSERT_EQ(Pass(), 1);   // A: due and rejected without asking
    EXPECT_EQ(Reg(kUser, kUserRun, "VlCycleNew"), kMissing);
    EXPECT_EQ(state.checks[kCheckStartup].countdown, 2);
    EXPECT_FALSE(state.verifying);
}

TEST_F(Cycle, StartupCheckKnowsEntriesByPathOrTitleAndRejectsTheRest)
{
    ASSERT_TRUE(SetText(kUser, kUserRun, "VlCycleNew", Program("new")));
    ASSERT_TRUE(SetText(kUser, kUserRun, "VlCycleByPath", Program("bypath")));
    ASSERT_TRUE(SetText(kUser, kUserRun, "VlCycleByTitle", Program("bytitle")));
    ASSERT_TRUE(SetText(kUser, kUserRun, "VlCycleZero", Program("zero")));
    ASSERT_TRUE(WriteApproval(kStoreRun, Program("bypath").c_str(), 11));
    ASSERT_TRUE(WriteApproval(kStoreRun, "VlCycleByTitle", 11));
    // A path value of "0" is not an answer: the title still counts.
    ASSERT_TRUE(SetText(kUser, kApprovedRunKey, Program("zero").c_str(), "0"));
    ASSERT_TRUE(WriteApproval(kStoreRun, "VlCycleZero", 11));
    // A stale title record of the new entry goes with it.
    ASSERT_TRUE(SetText(kUser, kApprovedRunKey, "VlCycleNew", "0"));
    GetMonitorState().hideAlerts = 2;

    CheckStartupPrograms();

    EXPECT_EQ(Reg(kUser, kUserRun, "VlCycleNew"), kMissing);
    EXPECT_EQ(Reg(kUser, kApprovedRunKey, "VlCycleNew"), kMissing);
    EXPECT_EQ(Reg(kUser, kUserRun, "VlCycleByPath"), Program("bypath"));
    EXPECT_EQ(Reg(kUser, kUserRun, "VlCycleByTitle"), Program("bytitle"));
    EXPECT_EQ(Reg(kUser, kUserRun, "VlCycleZero"), Program("zero"));
    // The removal can be undone from the history.
    EXPECT_NE(ReadTextFile(HistoryPath()).find(Program("new")), std::string::npos);
    ClearItems();
}

TEST_F(Cycle, PassesNeverNestAndComeAtMostOncePerSecond)
{
    MonitorState& state = GetMonitorState();
    for (CheckCounter& c : state.checks) c = CheckCounter{};

    state.alertShowing = true;
    EXPECT_EQ(Pass(), 1);
    EXPECT_FALSE(state.halfB);
    state.alertShowing = false;
    state.verifying = true;
    EXPECT_EQ(Pass(), 1);
    EXPECT_FALSE(state.halfB);
    state.verifying = false;

    EXPECT_EQ(Pass(), 1);
    EXPECT_TRUE(state.halfB);
    EXPECT_EQ(VerifyData(), 0);
    EXPECT_TRUE(state.halfB);
    EXPECT_FALSE(state.verifying);

    // A pass that falls due behind an open alert still starts the count
    // again and ends the suppression.
    state.alertShowing = true;
    state.hideAlerts = 2;
    state.taskChangePending = true;
    state.verifyTicks = kTicksBeforePass + 1;
    VerifyTick();
    EXPECT_EQ(state.verifyTicks, 0);
    EXPECT_EQ(state.hideAlerts, 0);
    EXPECT_FALSE(state.taskChangePending);
}

TEST_F(Cycle, ProcessStartsArmTheRealTimeChecksUntilTheyLookLikeAConflict)
{
    ASSERT_TRUE(SetText(kUser, kOptionsKey, "Update", "1"));
    ASSERT_TRUE(SetText(kUser, kOptionsKey, "Start", "0"));
    ASSERT_TRUE(SetText(kUser, kOptionsKey, "RealtimeIEHelper", "0"));
    MonitorState& state = GetMonitorState();
    state.halfB = true;
    for (int tick = 1; tick <= 4; ++tick) {
        SCOPED_TRACE(tick);
        state.lastProcessCount = -1;
        state.verifyTicks = 0;
        state.taskChangePending = true;
        VerifyTick();
        EXPECT_FALSE(state.taskChangePending);
        if (tick == 4) {
            EXPECT_EQ(state.lastProcessCount, -1);
            EXPECT_EQ(state.verifyTicks, 1);
            break;
        }
        EXPECT_GT(state.lastProcessCount, 0);
        EXPECT_EQ(state.verifyTicks, kTicksBeforePass + 1);
        EXPECT_FALSE(state.halfB);
        // The explorer's changed options were taken first, once.
        EXPECT_EQ(Reg(kUser, kOptionsKey, "Update"), "0");
        EXPECT_EQ(state.checks[kCheckStartup].reset, 0);
        EXPECT_EQ(state.checks[kCheckStartup].countdown, 1);
        EXPECT_EQ(state.checks[kCheckIEHelpers].countdown, 2);
        EXPECT_EQ(state.checks[kCheckFileType].countdown, 10);
    }
    // A tick without a start ends the run of starts.
    state.verifyTicks = 0;
    VerifyTick();
    EXPECT_EQ(state.taskChangeRun, 0);
}
