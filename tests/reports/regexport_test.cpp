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

constexpr const char* kUserKey = "Software\\Corvath\\Velmora";
constexpr const char* kMachineKey = "SOFTWARE\\Corvath";
constexpr const char* kUserScratch = "Software\\Corvath\\Velmora\\VlRegExport";
constexpr const char* kMachineScratch = "SOFTWARE\\Corvath\\VlRegExport";

struct Value {
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const Value&) const = default;
};
// Every key below a root, by path, with its values by name: the test's own
// reader, so that the exporter is never its own judge.
using Tree = std::map<std::wstring, std::map<std::wstring, Value>>;

void ReadTree(HKEY root, const std::wstring& path, Tree* tree)
{
    std::vector<std::wstring> subkeys;
    {
        UniqueKey key;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
        auto& values = (*tree)[path];
        std::vector<wchar_t> name(16384);
        std::vector<BYTE> data(1 << 16);
        for (DWORD i = 0;; ++i) {
            DWORD length = 16384, size = static_cast<DWORD>(data.size()), type = 0;
            if (RegEnumValueW(key.get(), i, name.data(), &length, nullptr, &type, data.data(), &size)) break;
            values[std::wstring(name.data(), length)] = {type, {data.begin(), data.begin() + size}};
        }
        wchar_t sub[256];
        for (DWORD i = 0, length = 256; !RegEnumKeyExW(key.get(), i, sub, &length, nullptr, nullptr, nullptr, nullptr);
             ++i, length = 256)
            subkeys.emplace_back(sub, length);
    }
    for (const std::wstring& sub : subkeys) ReadTree(root, path + L"\\" + sub, tree);
}

Tree ReadTree(HKEY root, const char* path)
{
    Tree tree;
    ReadTree(root, std::wstring(path, path + strlen(path)), &tree);
    return tree;
}

// The first difference between two trees, "" when they are the same.
std::string Difference(const Tree& a, const Tree& b)
{
    for (const auto& [path, values] : a) {
        const std::string where(path.begin(), path.end());
        auto other = b.find(path);
        if (other == b.end()) return "missing key " + where;
        for (const auto& [name, value] : values) {
            auto v = other->second.find(name);
            if (v == other->second.end()) return "missing value in " + where;
            if (!(v->second == value))
                return "changed value in " + where + " (" + std::to_string(value.type) + "/" +
                       std::to_string(value.data.size()) + " bytes, now " + std::to_string(v->second.type) +
                       "/" + std::to_string(v->second.data.size()) + ")";
        }
        if (values.size() != other->second.size()) return "extra values in " + where;
    }
    return a.size() == b.size() ? "" : "extra keys";
}

// Puts a root back as it was found, whatever the test or an import changed.
class SavedTree {
    HKEY root_;
    std::wstring path_;
    Tree saved_;

public:
    SavedTree(HKEY root, const char* path) : root_(root), path_(path, path + strlen(path))
    {
        ReadTree(root_, path_, &saved_);
    }
    ~SavedTree()
    {
        Tree now;
        ReadTree(root_, path_, &now);
        for (const auto& [path, values] : now)
            if (!saved_.count(path)) RegDeleteTreeW(root_, path.c_str()), RegDeleteKeyW(root_, path.c_str());
        for (const auto& [path, values] : saved_) {
            UniqueKey key;
            RegCreateKeyExW(root_, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
            for (const auto& [name, value] : now.count(path) ? now.at(path) : values)
                if (!values.count(name)) RegDeleteValueW(key.get(), name.c_str());
            for (const auto& [name, value] : values)
                RegSetValueExW(key.get(), name.c_str(), 0, value.type, value.data.data(),
                               static_cast<DWORD>(value.data.size()));
        }
    }
};

void Set(const char* path, const wchar_t* name, DWORD type, const void* data, size_t size)
{
    UniqueKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             key.put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data),
                                            static_cast<DWORD>(size)));
}

void SetText(const char* path, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ)
{
    Set(path, name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

// Every kind of value the settings hold or a user may have put there.
void WriteScratchValues()
{
    const std::string delay = std::string(kUserScratch) + "\\Delay\\Vl Title";
    SetText(kUserScratch, L"", L"C:\\Program Files\\Vl \"quoted\"");
    SetText(kUserScratch, L"C:\\VL\\PROG.EXE \"A\"", L"1");
    SetText(kUserScratch, L"Expand", L"%SystemRoot%\\vl.exe", REG_EXPAND_SZ);
    const DWORD answer = 42;
    Set(kUserScratch, L"Answer", REG_DWORD, &answer, sizeof(answer));
    BYTE blob[100];
    for (int i = 0; i < 100; ++i) blob[i] = static_cast<BYTE>(i * 7);
    Set(kUserScratch, L"Blob", REG_BINARY, blob, sizeof(blob));
    Set(kUserScratch, L"Multi", REG_MULTI_SZ, L"one\0two\\x\0", 22);
    SetText(kUserScratch, L"Long", std::wstring(2000, L'v') + L"\\end");
    SetText(kUserScratch, (std::wstring(300, L'n') + L"\\name").c_str(), L"long name");
    SetText(kUserScratch, L"Lines", L"a\r\nb");
    Set(kUserScratch, L"Inner", REG_SZ, L"a\0b", 8);
    SetText(kUserScratch, L"Wide", L"\x0416\x4e2d");
    SetText(kUserScratch, L"Empty", L"");
    Set(kUserScratch, L"NoZero", REG_SZ, L"abc", 4);   // NT adds a zero that follows in memory
    Set(kUserScratch, L"Nothing", REG_SZ, L"", 0);
    const ULONGLONG quad = 0x1122334455667788ULL;
    Set(kUserScratch, L"Quad", REG_QWORD, &quad, sizeof(quad));
    SetText(delay.c_str(), L"Program", L"C:\\vl\\late.exe");
    SetText((delay + "\\Third").c_str(), L"Deep", L"three levels");
    UniqueKey empty, machine;
    RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kUserScratch) + "\\Empty Key").c_str(), 0, nullptr, 0,
                    KEY_READ, nullptr, empty.put(), nullptr);
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kMachineScratch) + "\\Sub").c_str(), 0, nullptr, 0,
                    KEY_SET_VALUE, nullptr, machine.put(), nullptr);
    RegSetValueExA(machine.get(), "Note", 0, REG_SZ, reinterpret_cast<const BYTE*>("x\\y"), 4);
}

bool Export(const std::string& path)
{
    UniqueFile file = CreateReportFile(path.c_str());
    return file && ExportSettingsTo(file.get()) == 1;
}

// The file's UTF-16 text without its byte-order mark.
std::wstring ReadWide(const std::string& path)
{
    const std::string bytes = ReadTextFile(path);
    std::wstring text(bytes.size() / 2, L'\0');
    memcpy(text.data(), bytes.data(), text.size() * 2);
    return text.rfind(L"\xFEFF", 0) == 0 ? text.substr(1) : text;
}

std::vector<std::wstring> Lines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
        end = text.find(L"\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

}  // namespace

TEST(RegExport, RegeditGivesBackTheExportedTreeByteForByte)
{
    SavedTree user(HKEY_CURRENT_USER, kUserKey), machine(HKEY_LOCAL_MACHINE, kMachineKey);
    WriteScratchValues();
    ScratchDir dir("VlRegExport");
    const std::string path = dir.file("settings.reg");
    ASSERT_TRUE(Export(path));
    Tree userBefore = ReadTree(HKEY_CURRENT_USER, kUserKey);
    const Tree machineBefore = ReadTree(HKEY_LOCAL_MACHINE, kMachineKey);
    ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, kUserScratch));
    ASSERT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, kMachineScratch));

    HANDLE regedit = StartProgram("regedit.exe /s \"" + path + "\"");
    ASSERT_NE(nullptr, regedit);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(regedit, 60000));
    CloseHandle(regedit);
    Tree userAfter = ReadTree(HKEY_CURRENT_USER, kUserKey);
    // Wine's regedit ends hex(1) data that has no zero with one, so a text
    // stored without it comes back 2 bytes longer; the file holds its bytes.
    auto& noZero = userAfter[L"Software\\Corvath\\Velmora\\VlRegExport"][L"NoZero"].data;
    EXPECT_EQ(6u, noZero.size());
    noZero.resize(4);
    EXPECT_EQ("", Difference(userBefore, userAfter));
    EXPECT_EQ("", Difference(machineBefore, ReadTree(HKEY_LOCAL_MACHINE, kMachineKey)));

    const std::string bytes = ReadTextFile(path);
    ASSERT_EQ(0u, bytes.find("\xFF\xFE"));   // UTF-16LE, as the editor writes format 5.00
    const std::wstring text = ReadWide(path);
    EXPECT_EQ(0u, text.find(L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Corvath\\Velmora]\r\n"));
    for (const wchar_t* line : {
             L"\r\n[HKEY_CURRENT_USER\\Software\\Corvath\\Velmora\\VlRegExport]\r\n@=\"C:\\\\Program Files\\\\Vl \\\"quoted\\\"\"\r\n",
             L"\r\n\"C:\\\\VL\\\\PROG.EXE \\\"A\\\"\"=\"1\"\r\n",
             L"\r\n\"Answer\"=dword:0000002a\r\n",
             L"\r\n\"Lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n",
             L"\r\n\"NoZero\"=hex(1):61,00,62,00\r\n",
             L"\r\n\"Quad\"=hex(b):88,77,66,55,44,33,22,11\r\n",
             L"\r\n\"Empty\"=\"\"\r\n",
             L"\r\n\"Wide\"=\"\x0416\x4e2d\"\r\n",
             L"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Corvath\\Velmora\\VlRegExport\\Delay\\Vl Title\\Third]\r\n\"Deep\"=\"three levels\"\r\n",
             L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvath]\r\n",
             L"\r\n\"Note\"=\"x\\\\y\"\r\n"})
        EXPECT_NE(std::wstring::npos, text.find(line)) << std::string(line, line + wcslen(line));
    // Hex data breaks after the comma that passes 77 characters; the
    // continuation lines are indented by two blanks.
    int continued = 0;
    for (const std::wstring& line : Lines(text)) {
        if (line.rfind(L"  ", 0) != 0 && line.rfind(L"\"Blob\"", 0) != 0) continue;
        EXPECT_LE(line.size(), 80u);
        continued += line.back() == L'\\';
    }
    EXPECT_GE(continued, 4);
}

TEST(RegExport, MissingKeysGiveTheirHeaderOnlyUnderTheirRootsName)
{
    ScratchDir dir("VlRegExportMissing");
    const struct {
        HKEY root;
        const wchar_t* header;
    } roots[] = {{HKEY_CLASSES_ROOT, L"[HKEY_CLASSES_ROOT\\VlMissing\\Key]\r\n"},
                 {HKEY_CURRENT_USER, L"[HKEY_CURRENT_USER\\VlMissing\\Key]\r\n"},
                 {HKEY_USERS, L"[HKEY_USERS\\VlMissing\\Key]\r\n"},
                 {HKEY_CURRENT_CONFIG, L"[HKEY_CURRENT_CONFIG\\VlMissing\\Key]\r\n"},
                 {HKEY_LOCAL_MACHINE, L"[HKEY_LOCAL_MACHINE\\VlMissing\\Key]\r\n"}};
    for (const auto& r : roots) {
        const std::string path = dir.file("missing.reg");
        {
            UniqueFile file = CreateReportFile(path.c_str());
            EXPECT_EQ(-1, ExportRegKey(file.get(), r.root, "VlMissing\\Key"));
            EXPECT_EQ(0, ExportRegValues(file.get(), r.root, "VlMissing\\Key"));
        }
        EXPECT_EQ(r.header, ReadWide(path));
    }
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
    std::thread answer([&] {
        if (HWND box = explorertest::WaitWindow(GetAppCaption())) {
            char text[2048] = "";
            GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
            said = text;
            explorertest::Click(box, IDOK);
        }
    });
    const int result = ExportSettings();
    answer.join();
    const std::wstring text = ReadWide(path);
    DeleteFileA(path.c_str());
    EXPECT_EQ(1, result);
    EXPECT_NE(std::string::npos, said.find("saved as the following file:\n" + path + "\n\nTo restore")) << said;
    EXPECT_EQ(0u, text.find(L"Windows Registry Editor Version 5.00\r\n"));
    EXPECT_EQ(std::wstring::npos, text.find(L'#'));
}
