// Helpers shared by the tests: fixture paths, scratch registry keys and
// folders, and answering a modal window from a helper thread.
#pragma once

#include <windows.h>

#include <string>

#include "foundation/foundation.h"

// Windows path of a file built into <build>/fixtures (VL_FIXTURES holds the
// Linux path; Wine maps / to Z:\).
std::string FixturePath(const char* name);
// Windows path of a file of the build tree (VL_BUILD), e.g. "reports\\VelmoraScan.exe".
std::string BuildPath(const char* relative);

// Deletes a key and everything below it; true when it is gone afterwards.
bool DeleteKeyTree(HKEY root, const char* subkey);

// A key that is deleted (with its subkeys) on creation and on destruction.
class ScratchKey {
    HKEY root_;
    std::string path_;

public:
    ScratchKey(HKEY root, std::string path);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    const char* path() const { return path_.c_str(); }
};

// A fresh folder under %TEMP% that is removed with its files on destruction.
class ScratchDir {
    std::string path_;

public:
    explicit ScratchDir(const char* name);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const char* name) const { return path_ + "\\" + name; }
};

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
bool WriteTextFile(const std::string& path, const std::string& text);
std::string ReadTextFile(const std::string& path);
bool RemoveTree(const std::string& path);

// Finds a top-level window of class/caption (either may be null) within
// timeoutMs and clicks the button with the given control id. Runs on a
// thread of its own so the caller can sit in a modal loop meanwhile.
class DialogAnswerer {
    HANDLE thread_ = nullptr;

public:
    DialogAnswerer(const char* windowClass, const char* caption, int buttonId,
                   int timeoutMs = 10000);
    ~DialogAnswerer();   // waits for the thread
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;
    bool answered() const;
    struct State;

private:
    State* state_ = nullptr;
};

// Starts a program and returns its process handle (null on failure).
HANDLE StartProgram(const std::string& commandLine, DWORD* processId = nullptr);

// Runs a command line to its end with stdout and stderr captured in files;
// the process exit code, or -1 when it could not run or did not end in time.
int RunCaptured(const std::string& commandLine, std::string* out, std::string* err,
                DWORD timeoutMs = 120000);
