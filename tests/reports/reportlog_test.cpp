#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "reports/reports.h"
#include "tests/catalogue/startuptest.h"

using namespace startuptest;

namespace {

constexpr const char* kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kIeMain = "Software\\Microsoft\\Internet Explorer\\Main";
constexpr const char* kTitle = "Vl, \"Report\"";
constexpr const char* kScript = "<script>alert('R&D')</script>";
const std::string kBullet = "\x95";

template <class Write>
std::string WrittenToScratch(Write write)
{
    ScratchDir dir("vlreportlog");
    const std::string path = dir.file("report");
    {
        UniqueFile file = CreateReportFile(path.c_str());
        EXPECT_TRUE(file);
        EXPECT_EQ(1, write(file.get()));
    }
    return ReadTextFile(path);
}

// Two Run entries: the version fixture under a title with a comma and
// quotes, first detected on a known day, and one whose name and path are
// markup. No delayed programs and no lookup site.
class ReportLog : public ::testing::Test {
protected:
    const std::string dll_ = FixturePath("ver_comma.dll");
    const std::string detectedName_ = [this] {
        char out[MAX_PATH] = "";
        NormalizeProgramPath(dll_.c_str(), out);
        return std::string(out);
    }();
    OwnedKey run_{HKEY_CURRENT_USER, kUserRun}, detectedKey_{HKEY_CURRENT_USER, kDetectedStartupKey},
        velmora_{HKEY_LOCAL_MACHINE, kVelmoraKey}, ieMain_{HKEY_CURRENT_USER, kIeMain};
    SavedValue title_{HKEY_CURRENT_USER, kUserRun, kTitle}, script_{HKEY_CURRENT_USER, kUserRun, kScript},
        detected_{HKEY_CURRENT_USER, kDetectedStartupKey, detectedName_},
        site_{HKEY_LOCAL_MACHINE, kVelmoraKey, "LookupSite"}, windowTitle_{HKEY_CURRENT_USER, kIeMain, "Window Title"};
    SavedUserTree delayed_{kDelayKey};
    std::string path_;

    void SetUp() override
    {
        ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kUserRun, kTitle, "\"" + dll_ + "\""));
        ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kUserRun, kScript, "C:\\VlR&D\\it's.exe /x"));
        ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kDetectedStartupKey, detectedName_.c_str(), "12/07/2026"));
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kVelmoraKey, "LookupSite");
        ASSERT_EQ(0, GetDelayedPrograms()) << "the machine-wide delayed store is not empty";
        BuildRun();
        path_ = OnlyWhere(&Item::title, kTitle).path;
    }
    void TearDown() override { ClearItems(); }
};

}  // namespace

TEST_F(ReportLog, HtmlHasEverySectionAndEscapesEveryTextAndLink)
{
    // A browser helper object of the fixture library.
    const std::string clsid = "{5E0C7A32-3D4B-4F55-8E21-7265706F7274}";
    OwnedKey helpers(HKEY_LOCAL_MACHINE, kIEBrowserHelpersKey);
    ScratchKey helper(HKEY_LOCAL_MACHINE, std::string(kIEBrowserHelpersKey) + "\\" + clsid),
        server(HKEY_CLASSES_ROOT, "CLSID\\" + clsid);
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, helper.path(), "", "") && SetText(HKEY_CLASSES_ROOT, server.path(), "", "Report Helper") &&
                SetText(HKEY_CLASSES_ROOT, (std::string(server.path()) + "\\InprocServer32").c_str(), "", dll_));
    ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kIeMain, "Window Title", "<b>&\"it's\""));
    std::string html = WrittenToScratch([](HANDLE h) { return WriteReportLogTo(h, 0); });
    EXPECT_NE(html.find("<br>\r\n<br>\r\n<b>Platform:</b> "), std::string::npos);
    EXPECT_NE(html.find("HKCU Window Title = &lt;b&gt;&amp;&quot;it&#39;s&quot;<br>\r\n"), std::string::npos);
    const char* titles[] = {"Startup Programs", " Delayed Start ", " Active Tasks ", " Scheduled Tasks ",
                            " IE Helpers ",     " File Types ",    " Services ",     " Hidden Files "};
    size_t at = 0;
    for (int i = 0; i < 8; ++i) {
        const std::string n = std::to_string(i);
        const std::string index = "<A href='#A" + n + "'>" + (i == 6 ? "Services " : titles[i]) + "</A><br>\r\n";
        EXPECT_EQ(i < 7, html.find(index) != std::string::npos) << index;
        const std::string heading = "<A NAME=\"A" + n + "\">\r\n<center><b><BIG><BIG> " + kBullet + " " +
                                    titles[i] + " " + kBullet + " </BIG></BIG></b></center>\r\n";
        const size_t found = html.find(heading, at);
        ASSERT_NE(found, std::string::npos) << heading;
        // No delayed programs: nothing between the Delayed Start heading and the next.
        EXPECT_TRUE(i != 2 || html.substr(at, found - at).find("<li>") == std::string::npos);
        at = found;
    }
    EXPECT_EQ(html.rfind("</body></html>\r\n"), html.size() - 16);

    const size_t item = html.find("<li><b>Vl, &quot;Report&quot;</b>\r\n\t<ol>ver_comma.dll&nbsp;");
    ASSERT_NE(item, std::string::npos) << html;
    const std::string block = html.substr(item, html.find("\t</ol><br>\r\n\r\n", item) - item);
    for (const std::string& line :
         {std::string("\tReports, &lt;Fixture&gt;<br>\tVersion: 5, 0, 1&nbsp;"), std::string("\t(C) Comma Co<br>\r\n"),
          std::string("\tLocation: HKCU\\").append(kUserRun).append("<br>\r\n"),
          "\tPath:     " + path_ + "<br>\r\n", std::string("\tFirst Detected by Velmora: 12/07/2026<br>\r\n"),
          std::string("\t<A href='https://duckduckgo.com/?q=ver_comma.dll%20Comma%2C%20%22Quoted%22%20%26%20Co'>"
                      "Click for Prime Info</A></ol>\r\n")})
        EXPECT_NE(block.find(line), std::string::npos) << line << "\n" << block;
    EXPECT_NE(html.find("<li><b>&lt;script&gt;alert(&#39;R&amp;D&#39;)&lt;/script&gt;</b>"), std::string::npos);
    EXPECT_NE(html.find("\tPath:     C:\\VlR&amp;D\\it&#39;s.exe /x<br>"), std::string::npos);
    const size_t bho = html.find("<li><b>Comma Product</b>\r\n\t<ol>ver_comma.dll&nbsp;");
    ASSERT_NE(bho, std::string::npos);
    EXPECT_NE(html.find(std::string("Location: \"HKLM\\") + kIEBrowserHelpersKey + "\"<br>\r\n", bho), std::string::npos);
    EXPECT_NE(html.find("\tStartup Type: "), std::string::npos);
    EXPECT_NE(html.find("<br>\r\n\tService Status: "), std::string::npos);

    // With an information server every query value is percent-encoded.
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kVelmoraKey, "LookupSite", "https://intranet.example.org/velmora/"));
    html = WrittenToScratch([](HANDLE h) { return WriteReportLogTo(h, 0); });
    const size_t link = html.find("<A href='https://intranet.example.org/velmora/cgi-bin/primeinfo.pl?program="
                                  "ver_comma.dll&amp;vendor=Comma%2C%20%22Quoted%22%20%26%20Co&amp;version=5%2C%200%2C%201"
                                  "&amp;build=");
    ASSERT_NE(link, std::string::npos) << html;
    EXPECT_NE(html.find("&amp;Type=11&amp;Loc=us'>Click for Prime Info</A>", link), std::string::npos);
    EXPECT_NE(html.find("?program=it%27s.exe&amp;vendor=&amp;version=&amp;build="), std::string::npos);
}

TEST_F(ReportLog, TextFormIsTabSeparatedWithoutMarkup)
{
    const std::string text = WrittenToScratch([](HANDLE h) { return WriteReportLogTo(h, 1); });
    EXPECT_EQ(text.find("Title\tProgram\tDescription\tVersion\tCopyright\tLocation\tPath\r\nStartup Programs\r\n"), 0u);
    EXPECT_NE(text.find("\r\n Delayed Start \r\n Active Tasks \r\n"), std::string::npos);
    EXPECT_NE(text.find(std::string("\r\n") + kTitle + "\tver_comma.dll\tReports, <Fixture>\t5, 0, 1\t(C) Comma Co\tHKCU\\" +
                        kUserRun + "\t" + path_ + "\r\n"),
              std::string::npos) << text;
    EXPECT_NE(text.find(std::string("\r\n") + kScript + "\tit's.exe\t\t\t\tHKCU\\"), std::string::npos);
}

// Every row's width on the machine's own entries is read back by Python's
// reader in check_reports.py; every row goes through the same field writer.
TEST_F(ReportLog, SpreadsheetQuotesEveryFieldThatNeedsIt)
{
    const std::string csv = WrittenToScratch([](HANDLE h) { return WriteSpreadsheetReportTo(h); });
    EXPECT_EQ(csv.find("Log created by Velmora version "), 0u);
    EXPECT_NE(csv.find("\r\nScan saved at "), std::string::npos);
    EXPECT_NE(csv.find("\r\nType,SubType,Title,Filename,Company,First Detected,Path,Description, Version\r\n"),
              std::string::npos);
    const std::string row = "\r\nHKCU,Run,\"Vl, \"\"Report\"\"\",ver_comma.dll,\"Comma, \"\"Quoted\"\" & Co\",12/07/2026," +
                            path_ + ",\"Reports, <Fixture>\",\"5, 0, 1\"\r\n";
    EXPECT_NE(csv.find(row), std::string::npos) << csv;
    EXPECT_EQ(csv.find(row), csv.rfind(row));

    // The subtypes of the user hive's keys and of an unknown code.
    ClearItems();
    ASSERT_TRUE(AddItem("Once", "C:\\VlOnce\\a.exe", "", "", 25, 0) && AddItem("Odd", "C:\\VlOdd\\b.exe", "", "", 7, 0));
    ReportFacts facts;
    std::string text;
    AppendRunKeyRows(&facts, &text);
    EXPECT_EQ(text, "HKU,RunServiceOnce,Once,a.exe,,,C:\\VlOnce\\a.exe,,\r\nUnknownKey,Run,Odd,b.exe,,,C:\\VlOdd\\b.exe,,\r\n");
}

TEST_F(ReportLog, ClockAndPlainHeader)
{
    struct Case {
        WORD hour, minute;
        const char* text;
    };
    for (const Case& c : {Case{12, 30, "12:30:00 PM"}, Case{0, 30, "12:30:00 AM"}, Case{13, 5, " 1:05:00 PM"}}) {
        SYSTEMTIME t = {};
        t.wHour = c.hour;
        t.wMinute = c.minute;
        char clock[32];
        FormatReportClock(t, clock, sizeof(clock));
        EXPECT_STREQ(clock, c.text);
    }
    ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kIeMain, "Window Title", "<b>&\"it's\""));
    const std::string text = WrittenToScratch([](HANDLE h) { return WriteSystemHeader(h, 0); });
    EXPECT_EQ(text.find("Report created by Velmora version "), 0u);
    EXPECT_NE(text.find("\r\n\r\nPlatform: "), std::string::npos);
    EXPECT_NE(text.find("HKCU Window Title = <b>&\"it's\"\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("<br>"), std::string::npos);
}

TEST_F(ReportLog, FactsReadOnceAgreeWithTheSingleReads)
{
    // A parked title shows as disabled only for its own code.
    SavedValue marker(HKEY_LOCAL_MACHINE, kDisabledMarkerKey, kTitle);
    OwnedKey markers(HKEY_LOCAL_MACHINE, kDisabledMarkerKey);
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kDisabledMarkerKey, kTitle, "11"));
    BuildStartupList(0);
    ReportFacts facts;
    int parked = 0;
    for (int i = 0; i < ItemCount(); ++i) {
        char expected[512], got[512], path[kPathLen + 1], file[MAX_PATH];
        GetLocationText(i, expected);
        GetReportLocation(&facts, i, got);
        EXPECT_STREQ(expected, got) << i;
        parked += strncmp(got, " * ", 3) == 0;
        GetItemPath(i, path);
        ResolveProgramFile(path, file);
        ReadFirstDetected(file, GetItemType(i), expected, sizeof(expected));
        GetReportFirstDetected(&facts, GetReportProgram(&facts, path).file, GetItemType(i), got, sizeof(got));
        EXPECT_STREQ(expected, got) << path;
    }
    EXPECT_EQ(parked, 1);
    EXPECT_NE(std::string(GetReportProgram(&facts, ("\"" + dll_ + "\" /x").c_str()).field[kCompanyName]), "");
    FileInformation single, once;
    ASSERT_EQ(1, GetFileInformation(dll_.c_str(), 11, &single));
    ASSERT_EQ(1, GetReportFileTimes(&facts, dll_.c_str(), &once));
    for (auto field : {&FileInformation::created, &FileInformation::accessed, &FileInformation::written, &FileInformation::size})
        EXPECT_STREQ(single.*field, once.*field);
}
