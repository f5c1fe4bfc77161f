// Helpers of the startup catalogue tests: reading list records, saving and
// restoring system values, and files placed in the real Startup folders.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "tests/support/testsupport.h"

namespace startuptest {

// System and product keys the startup tests write to.
constexpr const char* kWinlogon = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* kWindowsNt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const char* kDelayLoad =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
constexpr const char* kSharedTaskScheduler =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
constexpr const char* kShellExecuteHooks =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";
constexpr const char* kApproved = "Software\\Corvath\\Velmora\\Run";

struct Item {
    std::string title, path, entry, detail;
    int type = 0, flag = 0;
};

inline Item ReadItem(int i)
{
    char title[kTitleLen + 1] = "";
    char path[kPathLen + 1] = "";
    char entry[kEntryLen + 1] = "";
    char detail[kDetailLen + 1] = "";
    GetItemTitle(i, title);
    GetItemPath(i, path);
    GetItemEntryName(i, entry);
    GetItemDetail(i, detail, kDetailLen);
    return {title, path, entry, detail, GetItemType(i), GetItemFlag(i)};
}

// Indexes of the records whose field (title exactly, path or entry ignoring
// case) equals `text`.
inline std::vector<int> IndexesWhere(std::string Item::*field, const std::string& text)
{
    std::vector<int> found;
    for (int i = 0; i < ItemCount(); ++i) {
        const std::string value = ReadItem(i).*field;
        const bool same = field == &Item::title ? value == text
                                                : lstrcmpiA(value.c_str(), text.c_str()) == 0;
        if (same) found.push_back(i);
    }
    return found;
}

// The one record whose field equals `text`; fails the test if there is not
// exactly one.
inline Item OnlyWhere(std::string Item::*field, const std::string& text)
{
    const std::vector<int> found = IndexesWhere(field, text);
    EXPECT_EQ(1u, found.size()) << text;
    return found.empty() ? Item{} : ReadItem(found[0]);
}

inline std::vector<int> IndexesOf(const std::string& title)
{
    return IndexesWhere(&Item::title, title);
}

inline std::vector<int> IndexesWithPath(const std::string& path)
{
    return IndexesWhere(&Item::path, path);
}

inline std::string PathForm(const std::string& path, bool longForm)
{
    char out[MAX_PATH] = "";
    const DWORD n = longForm ? GetLongPathNameA(path.c_str(), out, MAX_PATH)
                             : GetShortPathNameA(path.c_str(), out, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(out) : path;
}

// A registry value as it stood before the test, put back (or deleted again)
// when the holder goes.
class SavedValue {
    HKEY root_;
    std::string key_, name_;
    bool existed_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_ = std::vector<BYTE>(64 * 1024);

public:
    SavedValue(HKEY root, std::string key, std::string name)
        : root_(root), key_(std::move(key)), name_(std::move(name))
    {
        DWORD size = static_cast<DWORD>(data_.size());
        existed_ = RegGetValueA(root_, key_.c_str(), name_.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                                &type_, data_.data(), &size) == ERROR_SUCCESS;
        data_.resize(existed_ ? size : 0);
    }
    ~SavedValue()
    {
        HKEY h = nullptr;
        if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return;
        if (existed_) {
            RegSetValueExA(h, name_.c_str(), 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
        } else {
            RegDeleteValueA(h, name_.c_str());
        }
        RegCloseKey(h);
    }
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;
};

// A key that the test may have to create: whatever part of its path did not
// exist before is deleted again at the end.
class OwnedKey {
    HKEY root_;
    std::string created_;

public:
    OwnedKey(HKEY root, const std::string& key) : root_(root)
    {
        for (size_t at = 0; at != std::string::npos && created_.empty();) {
            at = key.find('\\', at + 1);
            HKEY h = nullptr;
            if (RegOpenKeyExA(root_, key.substr(0, at).c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS) {
                RegCloseKey(h);
            } else {
                created_ = key.substr(0, at);
            }
        }
        HKEY h = nullptr;
        if (RegCreateKeyA(root_, key.c_str(), &h) == ERROR_SUCCESS) RegCloseKey(h);
    }
    ~OwnedKey()
    {
        if (!created_.empty()) DeleteKeyTree(root_, created_.c_str());
    }
    OwnedKey(const OwnedKey&) = delete;
    OwnedKey& operator=(const OwnedKey&) = delete;
};

inline bool SetRaw(HKEY root, const char* key, const char* name, DWORD type, const void* data,
                   DWORD size)
{
    HKEY h = nullptr;
    if (RegCreateKeyA(root, key, &h) != ERROR_SUCCESS) return false;
    const bool ok =
        RegSetValueExA(h, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    RegCloseKey(h);
    return ok;
}

inline bool SetText(HKEY root, const char* key, const char* name, const std::string& text)
{
    return SetRaw(root, key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// A value's data as stored (unexpanded), or kMissing.
const std::string kMissing = "<missing>";
inline std::string Reg(HKEY root, const std::string& key, const std::string& name)
{
    char data[4096] = {};
    DWORD size = sizeof(data) - 1;
    if (RegGetValueA(root, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, nullptr, data,
                     &size) != ERROR_SUCCESS)
        return kMissing;
    return data;
}

inline std::string HistoryPath()
{
    char path[MAX_PATH] = {};
    GetHistoryFilePath(path);
    return path;
}

// The answering thread marks its click only after the box has closed, so
// the caller may get there first.
inline bool Answered(const DialogAnswerer& answerer)
{
    for (int i = 0; i < 100 && !answerer.answered(); ++i) Sleep(20);
    return answerer.answered();
}

// The user's tree of a key as it stood before the test: set aside and
// removed on creation, so the test starts without it, and put back on
// destruction.
class SavedUserTree {
    std::string key_, backup_;
    bool saved_ = false;

public:
    explicit SavedUserTree(std::string key) : key_(std::move(key)), backup_(key_ + "VlTestBackup")
    {
        DeleteKeyTree(HKEY_CURRENT_USER, backup_.c_str());
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS) {
            RegCloseKey(h);
            saved_ = RegCreateKeyA(HKEY_CURRENT_USER, backup_.c_str(), &h) == ERROR_SUCCESS &&
                     RegCopyTreeA(HKEY_CURRENT_USER, key_.c_str(), h) == ERROR_SUCCESS;
            if (h) RegCloseKey(h);
        }
        DeleteKeyTree(HKEY_CURRENT_USER, key_.c_str());
    }
    ~SavedUserTree()
    {
        DeleteKeyTree(HKEY_CURRENT_USER, key_.c_str());
        HKEY h = nullptr;
        if (saved_ && RegCreateKeyA(HKEY_CURRENT_USER, key_.c_str(), &h) == ERROR_SUCCESS) {
            RegCopyTreeA(HKEY_CURRENT_USER, backup_.c_str(), h);
            RegCloseKey(h);
        }
        DeleteKeyTree(HKEY_CURRENT_USER, backup_.c_str());
    }
    SavedUserTree(const SavedUserTree&) = delete;
    SavedUserTree& operator=(const SavedUserTree&) = delete;
};

// A file the test puts somewhere real; gone before and after.
class TempFile {
    std::string path_;

public:
    explicit TempFile(std::string path) : path_(std::move(path)) { Remove(); }
    ~TempFile() { Remove(); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }
    void Remove() const
    {
        SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path_.c_str());
    }
};

// The user's and the common Startup folders as the shell names them.
inline std::string UserStartupFolder()
{
    return Reg(HKEY_CURRENT_USER, kShellFoldersKey, "Startup");
}

inline std::string CommonStartupFolder()
{
    return Reg(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Common Startup");
}

// win.ini's "windows" section as it was, put back afterwards.
class SavedProfile {
    std::string key_, text_;
    bool existed_;

public:
    explicit SavedProfile(const char* key) : key_(key)
    {
        char text[4096];
        GetProfileStringA("windows", key, "\x01", text, sizeof text);
        existed_ = strcmp(text, "\x01") != 0;
        text_ = existed_ ? text : "";
    }
    SavedProfile(const SavedProfile&) = delete;
    SavedProfile& operator=(const SavedProfile&) = delete;
    ~SavedProfile() { WriteProfileStringA("windows", key_.c_str(), existed_ ? text_.c_str() : nullptr); }
};

// Waits (up to 10 s) for a service to come to `state`; the state it is in.
inline DWORD WaitServiceState(SC_HANDLE service, DWORD state)
{
    SERVICE_STATUS status = {};
    for (int i = 0; i < 200 && QueryServiceStatus(service, &status) && status.dwCurrentState != state; ++i) Sleep(50);
    return status.dwCurrentState;
}

// The fixture service program installed to start on demand under `name`,
// with a description when one is given; stopped and deleted before and after.
class FixtureService {
    std::string name_;
    UniqueService manager_{OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
    UniqueService service_;
    void Remove()
    {
        UniqueService old(OpenServiceA(manager_.get(), name_.c_str(), SERVICE_ALL_ACCESS));
        SERVICE_STATUS status = {};
        if (ControlService(old.get(), SERVICE_CONTROL_STOP, &status)) WaitServiceState(old.get(), SERVICE_STOPPED);
        DeleteService(old.get());
    }

public:
    FixtureService(std::string name, const char* title, const char* description = nullptr) : name_(std::move(name))
    {
        Remove();
        // Built by appending: GCC 12 warns falsely on "\"" + text.
        const std::string command = std::string(1, '"').append(FixturePath("svc_fixture.exe")).append(1, '"');
        service_ = UniqueService(CreateServiceA(manager_.get(), name_.c_str(), title, SERVICE_ALL_ACCESS,
                                                SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                                command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        SERVICE_DESCRIPTIONA text = {const_cast<char*>(description)};
        if (description) ChangeServiceConfig2A(service_.get(), SERVICE_CONFIG_DESCRIPTION, &text);
    }
    ~FixtureService() { service_ = UniqueService(), Remove(); }
    FixtureService(const FixtureService&) = delete;
    FixtureService& operator=(const FixtureService&) = delete;
    SC_HANDLE get() const { return service_.get(); }
};

}   // namespace startuptest
