#include "tests/support/testsupport.h"

#include <shellapi.h>

#include <cstdlib>

namespace {
// Wine maps the Linux root to Z:.
std::string WindowsPathOf(const char* variable)
{
    const char* dir = std::getenv(variable);
    std::string path = dir ? dir : "";
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            if (c == '/') c = '\\';
        path = "Z:" + path;
    }
    return path;
}
}  // namespace

std::string FixturePath(const char* name)
{
    return WindowsPathOf("VL_FIXTURES") + "\\" + name;
}

std::string BuildPath(const char* relative)
{
    return WindowsPathOf("VL_BUILD") + "\\" + relative;
}

bool DeleteKeyTree(HKEY root, const char* subkey)
{
    RegDeleteTreeA(root, subkey);
    RegDeleteKeyA(root, subkey);
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &h) == ERROR_SUCCESS) {
        RegCloseKey(h);
        return false;
    }
    return true;
}

ScratchKey::ScratchKey(HKEY root, std::string path) : root_(root), path_(std::move(path))
{
    DeleteKeyTree(root_, path_.c_str());
}

ScratchKey::~ScratchKey()
{
    DeleteKeyTree(root_, path_.c_str());
}

bool RemoveTree(const std::string& path)
{
    std::string pattern = path + "\\*";
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
    return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

ScratchDir::ScratchDir(const char* name)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + name;
    RemoveTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir()
{
    RemoveTree(path_);
}

bool WriteTextFile(const std::string& path, const std::string& text)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == text.size();
}

std::string ReadTextFile(const std::string& path)
{
    std::string text;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return text;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) text.append(buf, got);
    CloseHandle(h);
    return text;
}

struct DialogAnswerer::State {
    std::string windowClass, caption;
    bool hasClass = false, hasCaption = false;
    int buttonId = IDOK;
    int timeoutMs = 10000;
    volatile LONG answered = 0;
};

namespace {
DWORD WINAPI AnswerThread(void* p)
{
    auto* s = static_cast<DialogAnswerer::State*>(p);
    HWND h = nullptr;
    for (int waited = 0; waited < s->timeoutMs; waited += 50) {
        h = FindWindowA(s->hasClass ? s->windowClass.c_str() : nullptr,
                        s->hasCaption ? s->caption.c_str() : nullptr);
        if (h && IsWindowVisible(h)) break;
        h = nullptr;
        Sleep(50);
    }
    if (!h) return 0;
    // Marked before the click: the click ends the modal loop, and the caller
    // may ask answered() before this thread runs again.
    InterlockedExchange(&s->answered, 1);
    HWND button = GetDlgItem(h, s->buttonId);
    if (button)
        SendMessageA(button, BM_CLICK, 0, 0);
    else
        PostMessageA(h, WM_COMMAND, MAKEWPARAM(s->buttonId, BN_CLICKED), 0);
    return 0;
}
}  // namespace

DialogAnswerer::DialogAnswerer(const char* windowClass, const char* caption, int buttonId,
                               int timeoutMs)
    : state_(new State)
{
    state_->hasClass = windowClass != nullptr;
    state_->hasCaption = caption != nullptr;
    if (windowClass) state_->windowClass = windowClass;
    if (caption) state_->caption = caption;
    state_->buttonId = buttonId;
    state_->timeoutMs = timeoutMs;
    thread_ = CreateThread(nullptr, 0, AnswerThread, state_, 0, nullptr);
}

DialogAnswerer::~DialogAnswerer()
{
    if (thread_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    delete state_;
}

bool DialogAnswerer::answered() const
{
    return state_->answered != 0;
}

HANDLE StartProgram(const std::string& commandLine, DWORD* processId)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string cmd = commandLine;
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    if (processId) *processId = pi.dwProcessId;
    return pi.hProcess;
}

int RunCaptured(const std::string& commandLine, std::string* out, std::string* err,
                DWORD timeoutMs)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    char outPath[MAX_PATH] = {};
    char errPath[MAX_PATH] = {};
    GetTempFileNameA(temp, "vo", 0, outPath);
    GetTempFileNameA(temp, "ve", 0, errPath);
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE hOut = CreateFileA(outPath, GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    HANDLE hErr = CreateFileA(errPath, GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    int code = -1;
    if (hOut != INVALID_HANDLE_VALUE && hErr != INVALID_HANDLE_VALUE) {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = hOut;
        si.hStdError = hErr;
        PROCESS_INFORMATION pi = {};
        std::string cmd = commandLine;
        if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                           nullptr, &si, &pi)) {
            if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
                DWORD exit = 0;
                GetExitCodeProcess(pi.hProcess, &exit);
                code = static_cast<int>(exit);
            } else {
                TerminateProcess(pi.hProcess, 1);
            }
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }
    if (hOut != INVALID_HANDLE_VALUE) CloseHandle(hOut);
    if (hErr != INVALID_HANDLE_VALUE) CloseHandle(hErr);
    if (out) *out = ReadTextFile(outPath);
    if (err) *err = ReadTextFile(errPath);
    DeleteFileA(outPath);
    DeleteFileA(errPath);
    return code;
}
