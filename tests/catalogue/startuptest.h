// Helpers of the startup catalogue tests: reading list records, saving and
// restoring system values, and files placed in the real Startup folders.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "tests/support/testsupport.h"

namespace startuptest {

struct Item {
    std::string title;
    std::string path;
    std::string entry;
    std::string detail;
    int type = 0;
    int flag = 0;
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

inline std::vector<int> IndexesOf(const std::string& title)
{
    std::vector<int> found;
    for (int i = 0; i < ItemCount(); ++i) {
        if (ReadItem(i).title == title) found.push_back(i);
    }
    return found;
}

inline std::vector<int> IndexesWithPath(const std::string& path)
{
    std::vector<int> found;
    for (int i = 0; i < ItemCount(); ++i) {
        if (lstrcmpiA(ReadItem(i).path.c_str(), path.c_str()) == 0) found.push_back(i);
    }
    return found;
}

inline bool IsWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

inline std::string LongPath(const std::string& path)
{
    char out[MAX_PATH] = "";
    DWORD n = GetLongPathNameA(path.c_str(), out, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(out) : path;
}

inline std::string ShortPath(const std::string& path)
{
    char out[MAX_PATH] = "";
    DWORD n = GetShortPathNameA(path.c_str(), out, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(out) : path;
}

// A registry value as it stood before the test, put back (or deleted again)
// when the holder goes.
class SavedValue {
    HKEY root_;
    std::string key_;
    std::string name_;
    bool existed_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;

public:
    SavedValue(HKEY root, std::string key, std::string name)
        : root_(root), key_(std::move(key)), name_(std::move(name))
    {
        HKEY h = nullptr;
        if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return;
        DWORD size = 0;
        if (RegQueryValueExA(h, name_.c_str(), nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
            data_.resize(size + 1);
            existed_ = RegQueryValueExA(h, name_.c_str(), nullptr, &type_, data_.data(), &size) ==
                       ERROR_SUCCESS;
            data_.resize(size);
        }
        RegCloseKey(h);
    }
    ~SavedValue()
    {
        HKEY h = nullptr;
        if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return;
        if (existed_) {
            RegSetValueExA(h, name_.c_str(), 0, type_, data_.data(),
                           static_cast<DWORD>(data_.size()));
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
        size_t at = 0;
        while (at != std::string::npos) {
            at = key.find('\\', at + 1);
            std::string part = key.substr(0, at);
            HKEY h = nullptr;
            if (RegOpenKeyExA(root_, part.c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS) {
                RegCloseKey(h);
                continue;
            }
            created_ = part;
            break;
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
    const bool ok = RegSetValueExA(h, name, 0, type, static_cast<const BYTE*>(data), size) ==
                    ERROR_SUCCESS;
    RegCloseKey(h);
    return ok;
}

inline bool SetText(HKEY root, const char* key, const char* name, const std::string& text)
{
    return SetRaw(root, key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

inline bool ValueExists(HKEY root, const char* key, const char* name)
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    const bool found = RegQueryValueExA(h, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(h);
    return found;
}

inline std::string ReadText(HKEY root, const char* key, const char* name)
{
    char out[1024] = "";
    GetRegValue(root, key, name, out);
    return out;
}

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

inline bool WriteBytes(const std::string& path, const std::string& bytes)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(h);
    return ok;
}

inline std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(h);
    return bytes;
}

// The user's and the common Startup folders as the shell names them.
inline std::string UserStartupFolder()
{
    return ReadText(HKEY_CURRENT_USER, kShellFoldersKey, "Startup");
}

inline std::string CommonStartupFolder()
{
    return ReadText(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Common Startup");
}

}   // namespace startuptest
