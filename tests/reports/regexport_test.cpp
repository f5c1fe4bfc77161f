#include <gtest/gtest.h>

#include <lmcons.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "reports/reports.h"
#include "tests/explorer/explorertest.h"
#include "tests/support/testsupport.h"

namespace {

constexpr const wchar_t* kUserKey = L"Software\\Corvath\\Velmora";
constexpr const wchar_t* kMachineKey = L"SOFTWARE\\Corvath";
constexpr const wchar_t* kUserScratch = L"Software\\Corvath\\Velmora\\VlRegExport";
constexpr const wchar_t* kMachineScratch = L"SOFTWARE\\Corvath\\VlRegExport";

// Every key below a path with its values (type, bytes) by name: the test's
// own reader, so that the exporter is never its own judge.
using Values = std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>>;
using Tree = std::map<std::wstring, Values>;

Tree ReadTree(HKEY root, const std::wstring& path)
{
    Tree tree;
    UniqueKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put())) return tree;
    Values& values = tree[path];
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(1 << 16);
    DWORD length = 16384, size = 1 << 16, type = 0;
    for (DWORD i = 0; !RegEnumValueW(key.get(), i, name.data(), &length, nullptr, &type, data.data(), &size);
         ++i, length = 16384, size = 1 << 16)
        values[std::wstring(name.data(), length)] = {type, {data.begin(), data.begin() + size}};
    for (DWORD i = 0; length = 256, !RegEnumKeyExW(key.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr); ++i)
        tree.merge(ReadTree(root, path + L"\\" + std::wstring(name.data(), length)));
    return tree;
}

// The values that differ or are missing in b, "" when the trees are the same.
std::string Difference(const Tree& a, const Tree& b)
{
    std::wstring differ;
    for (const auto& [path, values] : a)
        for (const auto& [name, value] : values)
            if (!b.count(path) || !b.at(path).count(name) || b.at(path).at(name) != value)
                differ += path + L" " + name.substr(0, 40) + L"; ";
    if (differ.empty() && a != b) differ = L"more keys or values";
    return std::string(differ.begin(), differ.end());
}

void Set(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data, size_t size)
{
    UniqueKey key;
    ASSERT_EQ(0, RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr));
    ASSERT_EQ(0, RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                                static_cast<DWORD>(size)));
}

void SetText(const std::wstring& path, const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ)
{
    Set(HKEY_CURRENT_USER, path, name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

// Every kind of value the settings hold or a user may have put there.
void WriteScratchValues()
{
    const std::wstring user = kUserScratch, delay = user + L"\\Delay\\Vl Title";
    const DWORD answer = 42;
    const ULONGLONG quad = 0x1122334455667788ULL;
    BYTE blob[100];
    for (int i = 0; i < 100; ++i) blob[i] = static_cast<BYTE>(i * 7);
    SetText(user, L"", L"C:\\Program Files\\Vl \"quoted\"");
    SetText(user, L"C:\\VL\\PROG.EXE \"A\"", L"1");
    SetText(user, L"Expand", L"%SystemRoot%\\vl.exe", REG_EXPAND_SZ);
    SetText(user, L"Long", std::wstring(2000, L'v') + L"\\end");
    SetText(user, std::wstring(300, L'n') + L"\\name", L"long name");
    SetText(user, L"Lines", L"a\r\nb");
    SetText(user, L"Wide", L"\x0416\x4e2d");
    SetText(user, L"Empty", L"");
    Set(HKEY_CURRENT_USER, user, L"Answer", REG_DWORD, &answer, sizeof(answer));
    Set(HKEY_CURRENT_USER, user, L"Blob", REG_BINARY, blob, sizeof(blob));
    Set(HKEY_CURRENT_USER, user, L"Multi", REG_MULTI_SZ, L"one\0two\\x\0", 22);
    Set(HKEY_CURRENT_USER, user, L"Inner", REG_SZ, L"a\0b", 8);
    Set(HKEY_CURRENT_USER, user, L"NoZero", REG_SZ, L"abc", 4);   // NT adds a zero that follows in memory
    Set(HKEY_CURRENT_USER, user, L"Nothing", REG_SZ, L"", 0);
    Set(HKEY_CURRENT_USER, user, L"Quad", REG_QWORD, &quad, sizeof(quad));
    SetText(delay, L"Program", L"C:\\vl\\late.exe");
    SetText(delay + L"\\Third", L"Deep", L"three levels");
    Set(HKEY_CURRENT_USER, user + L"\\None", L"", REG_NONE, nullptr, 0);
    Set(HKEY_LOCAL_MACHINE, std::wstring(kMachineScratch) + L"\\Sub", L"Note", REG_SZ, L"x\\y", 8);
}

// The file's UTF-16 text without its byte-order mark.
std::wstring ReadWide(const std::string& path)
{
    const std::string bytes = ReadTextFile(path);
    std::wstring text(bytes.size() / 2, L'\0');
    memcpy(text.data(), bytes.data(), text.size() * 2);
    return text.rfind(L"\xFEFF", 0) == 0 ? text.substr(1) : text;
}

}  // namespace

TEST(RegExport, RegeditGivesBackTheExportedTreeByteForByte)
{
    // The user's settings set aside, so that only the test's values are exported; the
    // machine key as the prefix holds it, with a scratch key of the test's below.
    startuptest::SavedUserTree user("Software\\Corvath\\Velmora");
    startuptest::OwnedKey machine(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvath\\VlRegExport");
    WriteScratchValues();
    ScratchDir dir("VlRegExport");
    const std::string path = dir.file("settings.reg");
    {
        UniqueFile file = CreateReportFile(path.c_str());
        ASSERT_EQ(1, ExportSettingsTo(file.get()));
    }
    const Tree userBefore = ReadTree(HKEY_CURRENT_USER, kUserKey), machineBefore = ReadTree(HKEY_LOCAL_MACHINE, kMachineKey);
    ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Corvath\\Velmora\\VlRegExport"));
    ASSERT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvath\\VlRegExport"));
    EXPECT_EQ(0, RunCaptured("regedit.exe /s \"" + path + "\"", nullptr, nullptr, 60000));
    Tree userAfter = ReadTree(HKEY_CURRENT_USER, kUserKey);
    // Wine's regedit ends hex(1) data that has no zero with one, so a text
    // stored without it comes back 2 bytes longer; the file holds its bytes.
    auto& noZero = userAfter[kUserScratch][L"NoZero"].second;
    EXPECT_EQ(6u, noZero.size());
    noZero.resize(4);
    EXPECT_EQ("", Difference(userBefore, userAfter));
    EXPECT_EQ("", Difference(machineBefore, ReadTree(HKEY_LOCAL_MACHINE, kMachineKey)));

    ASSERT_EQ(0u, ReadTextFile(path).find("\xFF\xFE"));   // UTF-16LE, as the editor writes format 5.00
    // What the round trip cannot show: Wine's editor would also take a text with a line
    // break in quotes, which the editor of Windows cannot, and adds the missing zero.
    const std::wstring text = ReadWide(path);
    for (const wchar_t* line : {L"\r\n\"Lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n", L"\r\n\"NoZero\"=hex(1):61,00,62,00\r\n"})
        EXPECT_NE(std::wstring::npos, text.find(line)) << std::string(line, line + wcslen(line));
}

TEST(RegExport, MissingKeysGiveTheirHeaderOnlyAndWhatCannotBeWrittenIsReported)
{
    ScratchDir dir("VlRegExportMissing");
    const std::string path = dir.file("missing.reg");
    const std::pair<HKEY, const wchar_t*> roots[] = {
        {HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT"}, {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER"},
        {HKEY_USERS, L"HKEY_USERS"}, {HKEY_CURRENT_CONFIG, L"HKEY_CURRENT_CONFIG"},
        {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE"}};
    for (const auto& [root, name] : roots) {
        {
            UniqueFile file = CreateReportFile(path.c_str());
            EXPECT_EQ(-1, ExportRegKey(file.get(), root, "VlMissing\\Key"));
            EXPECT_EQ(0, ExportRegValues(file.get(), root, "VlMissing\\Key"));
        }
        EXPECT_EQ(L"[" + std::wstring(name) + L"\\VlMissing\\Key]\r\n", ReadWide(path));
    }
    // A name that would break its line is left out, the rest still written.
    ScratchKey bad(HKEY_CURRENT_USER, "Software\\VlRegExportBad");
    SetText(L"Software\\VlRegExportBad", L"two\nlines", L"lost");
    SetText(L"Software\\VlRegExportBad\\Sub", L"Kept", L"kept");
    {
        UniqueFile file = CreateReportFile(path.c_str());
        EXPECT_EQ(-2, ExportRegKey(file.get(), HKEY_CURRENT_USER, "Software\\VlRegExportBad"));
    }
    EXPECT_EQ(L"[HKEY_CURRENT_USER\\Software\\VlRegExportBad]\r\n\r\n[HKEY_CURRENT_USER\\Software\\VlRegExportBad\\Sub]\r\n"
              L"\"Kept\"=\"kept\"\r\n", ReadWide(path));
    // A handle that cannot be written: the system's reason, for the message.
    UniqueFile readOnly(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(0, ExportSettingsTo(readOnly.get()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}

TEST(RegExport, SettingsGoToTheUsersFileInTheProgramFolderAndTheBoxNamesIt)
{
    char module[MAX_PATH], user[UNLEN + 1];
    DWORD length = sizeof(user);
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    ASSERT_TRUE(GetUserNameA(user, &length));
    *strrchr(module, '\\') = '\0';
    const std::string path = std::string(module) + "\\" + user + "-Velmora.reg";
    // A longer file from an earlier export must be replaced, not overwritten in part.
    ASSERT_TRUE(WriteTextFile(path, std::string(1 << 20, '#')));
    std::string said;
    std::thread answer([&] { said = explorertest::Answer(nullptr, GetAppCaption(), IDOK); });
    const int result = ExportSettings();
    answer.join();
    const std::wstring text = ReadWide(path);
    DeleteFileA(path.c_str());
    EXPECT_EQ(1, result);
    EXPECT_NE(std::string::npos, said.find("saved as the following file:\n" + path + "\n\nTo restore")) << said;
    EXPECT_EQ(0u, text.find(L"Windows Registry Editor Version 5.00\r\n"));
    EXPECT_EQ(std::wstring::npos, text.find(L'#'));
}
