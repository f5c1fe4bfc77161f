// vlbench: each catalogue's enumeration timed beside a bare loop over the
// same registry keys, files or work items, in the same run. The bench builds
// its own data at scale, times, prints a table and the cost of the
// catalogues' own steps, and removes everything it made, also after a failed
// step. Every name it creates starts with "VlBench" / "vlbench", so a run
// that was killed is cleaned up by the next one.
#include "monitor/monitor.h"

#include <mstask.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

// reportbench.cpp: the reports against the enumerations they contain.
void RunReportBench();

namespace {

constexpr int kRuns = 5;
constexpr int kRunEntries = 1000;
constexpr int kServices = 200;
constexpr int kTasks = 100;
constexpr int kMozillaCookies = 3000;
constexpr int kIECookies = 1000;
constexpr int kHiddenFiles = 500;
constexpr double kGoal = 1.5;

constexpr const char* kProgram = "C:\\windows\\system32\\notepad.exe";
constexpr const wchar_t* kProgramW = L"C:\\windows\\system32\\notepad.exe";
constexpr const char* kWatchedList =
    "AVI;BAT;CAB;CAT;CHM;COM;CMD;CSS;DOC;EML;EXE;INF;JS;LOG;MSI;MSG;MID;MP3;PIF;RAM;REG;RTF;SBS;"
    "SCR;TXT;URL;VBS;VBE;WSF;WSH;XLS;";
constexpr const char* kClassKey = "Software\\Corvath\\Velmora\\Class";
constexpr const char* kFileExtsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

// The Run-type key of each key number, from the catalogue's own table.
const char* RunKey(int number)
{
    HKEY root = nullptr;
    const char* key = "";
    const char* store = nullptr;
    GetRunLocation(number, &root, &key, &store);
    return key;
}
const HKEY kRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};


// ---- timing ----------------------------------------------------------------

double g_tickMs = 0;

double NowMs()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * g_tickMs;
}

struct Stats {
    double median = 0, min = 0, max = 0;
};

Stats Summarize(std::vector<double> times)
{
    Stats s;
    if (times.empty()) return s;
    std::sort(times.begin(), times.end());
    s.median = times[times.size() / 2];
    s.min = times.front();
    s.max = times.back();
    return s;
}

// One untimed warm-up, then kRuns timed calls.
Stats Measure(const std::function<int()>& fn, int* items)
{
    *items = fn();
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        double start = NowMs();
        fn();
        times.push_back(NowMs() - start);
    }
    return Summarize(times);
}

struct Row {
    const char* name;
    int items;
    int bareItems;
    Stats catalogue;
    Stats bare;
};
struct Step {
    const char* catalogue;
    std::string name;
    Stats time;
};
std::vector<Row> g_rows;
std::vector<Step> g_steps;

// Catalogue and bare loop alternate run by run, so that a busy moment of the
// shared machine falls on both alike.
void Compare(const char* name, const std::function<int()>& catalogue,
             const std::function<int()>& bare)
{
    Row row{name, catalogue(), bare(), {}, {}};
    std::vector<double> c, b;
    for (int i = 0; i < kRuns; ++i) {
        double t0 = NowMs();
        catalogue();
        double t1 = NowMs();
        bare();
        double t2 = NowMs();
        c.push_back(t1 - t0);
        b.push_back(t2 - t1);
    }
    row.catalogue = Summarize(c);
    row.bare = Summarize(b);
    g_rows.push_back(row);
    std::printf("  %-22s done (%d items)\n", name, row.items);
    std::fflush(stdout);
}

void AddStep(const char* catalogue, const std::string& name, const std::function<int()>& fn)
{
    int items = 0;
    Stats s = Measure(fn, &items);
    char label[200];
    StrFormatA(label, "%s (%d)", name.c_str(), items);
    g_steps.push_back({catalogue, label, s});
}

// ---- what the bench made, undone at the end --------------------------------

struct CreatedKey {
    HKEY root;
    std::string path;
};
struct SavedValue {
    HKEY root;
    std::string key, name, data;
    bool existed;
};
struct Undo {
    std::vector<std::pair<int, std::string>> runValues;   // root index * 10 + key, value
    std::vector<CreatedKey> keys;                           // deleted in reverse order
    std::vector<SavedValue> values;
    std::vector<std::string> files;
    std::vector<std::string> folders;                       // deleted in reverse order
    bool tasks = false, services = false;
} g_undo;

// An approval store's values as they were before the bench approved its
// items.
struct SavedStore {
    const char* key;
    bool existed;
    std::vector<std::pair<std::string, std::vector<BYTE>>> values;
    std::vector<DWORD> types;
};
std::vector<SavedStore> g_savedStores;
void RestoreStores();

std::string TempFolder()
{
    char temp[MAX_PATH] = "";
    DWORD n = GetTempPathA(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH) return "C:\\windows\\temp";
    std::string s = temp;
    if (!s.empty() && s.back() == '\\') s.pop_back();
    return s;
}

std::string BenchFolder()
{
    return TempFolder() + "\\vlbench";
}

// Creates root\path level by level and remembers each level that was new.
bool CreateKeyPath(HKEY root, const std::string& path)
{
    size_t at = 0;
    for (;;) {
        size_t next = path.find('\\', at);
        std::string part = path.substr(0, next);
        HKEY key = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExA(root, part.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key,
                            &disposition) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        if (disposition == REG_CREATED_NEW_KEY) g_undo.keys.push_back({root, part});
        if (next == std::string::npos) return true;
        at = next + 1;
    }
}

// Remembers a value before the bench changes it.
void SaveValue(HKEY root, const char* key, const char* name)
{
    SavedValue v{root, key, name, "", false};
    char data[1024] = "";
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &k) == ERROR_SUCCESS) {
        DWORD size = sizeof(data) - 1;
        DWORD type = 0;
        if (RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) ==
            ERROR_SUCCESS) {
            data[size] = 0;
            v.existed = true;
            v.data = data;
        }
        RegCloseKey(k);
    }
    g_undo.values.push_back(v);
}

bool SetText(HKEY root, const char* key, const char* name, const char* text)
{
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return false;
    LONG rc = RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                             static_cast<DWORD>(strlen(text) + 1));
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

void DeleteValue(HKEY root, const char* key, const char* name)
{
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return;
    RegDeleteValueA(k, name);
    RegCloseKey(k);
}

bool WriteFileText(const std::string& path, const std::string& text, DWORD attributes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

// Every file and folder below path, then path itself.
void RemoveTreeFiles(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, "..")) continue;
            std::string child = path + "\\" + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTreeFiles(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

std::string Numbered(const char* prefix, int i)
{
    char name[64];
    StrFormatA(name, "%s%04d", prefix, i);
    return name;
}

// ---- services ---------------------------------------------------------------

std::string ServiceName(int i)
{
    return Numbered("VlBenchSvc", i);
}

void DeleteBenchServices()
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return;
    for (int i = 0; i < kServices; ++i) {
        SC_HANDLE service = OpenServiceA(manager, ServiceName(i).c_str(), DELETE);
        if (!service) continue;
        DeleteService(service);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

bool CreateBenchServices()
{
    g_undo.services = true;
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return false;
    bool ok = true;
    for (int i = 0; i < kServices && ok; ++i) {
        char display[64], description[128];
        StrFormatA(display, "Bench service %04d", i);
        StrFormatA(description, "Bench service %04d, made by vlbench and removed after it", i);
        SC_HANDLE service = CreateServiceA(manager, ServiceName(i).c_str(), display,
                                           SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                           SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, kProgram,
                                           nullptr, nullptr, nullptr, nullptr, nullptr);
        if (!service) {
            std::printf("CreateServiceA %s failed: %lu\n", ServiceName(i).c_str(), GetLastError());
            ok = false;
            break;
        }
        SERVICE_DESCRIPTIONA text{description};
        ChangeServiceConfig2A(service, SERVICE_CONFIG_DESCRIPTION, &text);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return ok;
}

// ---- scheduled tasks -------------------------------------------------------

std::wstring TaskName(int i)
{
    wchar_t name[64];
    swprintf(name, 64, L"VlBenchTask%04d", i);
    return name;
}

ComPtr<ITaskScheduler> Scheduler()
{
    ComPtr<ITaskScheduler> scheduler;
    if (FAILED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ITaskScheduler, reinterpret_cast<void**>(scheduler.put()))))
        return ComPtr<ITaskScheduler>();
    return scheduler;
}

void DeleteBenchTasks()
{
    ComPtr<ITaskScheduler> scheduler = Scheduler();
    if (!scheduler) return;
    for (int i = 0; i < kTasks; ++i) scheduler->Delete(TaskName(i).c_str());
}

bool CreateBenchTasks()
{
    g_undo.tasks = true;
    StartScheduler();
    ComPtr<ITaskScheduler> scheduler = Scheduler();
    if (!scheduler) {
        std::printf("the task scheduler object cannot be created\n");
        return false;
    }
    for (int i = 0; i < kTasks; ++i) {
        ComPtr<ITask> task;
        HRESULT hr = scheduler->NewWorkItem(TaskName(i).c_str(), CLSID_CTask, IID_ITask,
                                            reinterpret_cast<IUnknown**>(task.put()));
        if (FAILED(hr)) {
            std::printf("NewWorkItem failed: 0x%08lx\n", static_cast<unsigned long>(hr));
            return false;
        }
        task->SetApplicationName(kProgramW);
        task->SetWorkingDirectory(L"C:\\windows");
        task->SetComment(L"made by vlbench and removed after it");
        ComPtr<IPersistFile> file;
        hr = task->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()));
        if (SUCCEEDED(hr)) hr = file->Save(nullptr, TRUE);
        if (FAILED(hr)) {
            std::printf("IPersistFile::Save failed: 0x%08lx\n", static_cast<unsigned long>(hr));
            return false;
        }
    }
    return true;
}

// ---- Run entries -----------------------------------------------------------

bool CreateRunEntries()
{
    for (int r = 0; r < 2; ++r)
        for (int k = 0; k < kRunKeyCount; ++k)
            if (!CreateKeyPath(kRoots[r], RunKey(k + 1))) return false;
    for (int i = 0; i < kRunEntries; ++i) {
        int slot = i % (2 * kRunKeyCount);
        int r = slot / kRunKeyCount, k = slot % kRunKeyCount;
        std::string name = Numbered("VlBenchRun", i);
        char data[128];
        StrFormatA(data, "%s /vlbench %d", kProgram, i);
        g_undo.runValues.push_back({r * 10 + k, name});
        if (!SetText(kRoots[r], RunKey(k + 1), name.c_str(), data)) return false;
    }
    return true;
}

void DeleteRunEntries()
{
    for (int r = 0; r < 2; ++r) {
        for (int k = 0; k < kRunKeyCount; ++k) {
            HKEY key = nullptr;
            if (RegOpenKeyExA(kRoots[r], RunKey(k + 1), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
                continue;
            for (int i = 0; i < kRunEntries; ++i)
                RegDeleteValueA(key, Numbered("VlBenchRun", i).c_str());
            RegCloseKey(key);
        }
    }
}

// ---- files -----------------------------------------------------------------

bool CreateFolder(const std::string& path)
{
    if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    g_undo.folders.push_back(path);
    return true;
}

std::string IEFolder()
{
    return BenchFolder() + "\\ie";
}
std::string MozillaFolder()
{
    return BenchFolder() + "\\moz";
}

bool CreateBenchFiles()
{
    if (!CreateFolder(BenchFolder()) || !CreateFolder(IEFolder()) ||
        !CreateFolder(MozillaFolder()))
        return false;
    if (!WriteFileText(IEFolder() + "\\index.dat", "Client UrlCache MMF Ver 5.2", 0)) return false;
    for (int i = 0; i < kIECookies; ++i) {
        char name[64];
        StrFormatA(name, "\\user@site%04d[1].txt", i);
        char text[160];
        StrFormatA(text, "id\n%08d\nsite%04d.example/\n1536\n2715417600\n30000000\n", i, i);
        if (!WriteFileText(IEFolder() + name, text, FILE_ATTRIBUTE_NORMAL)) return false;
    }
    std::string cookies = "# Netscape HTTP Cookie File\n# made by vlbench\n\n";
    for (int i = 0; i < kMozillaCookies; ++i) {
        char line[256];
        StrFormatA(line, ".site%04d.example\tTRUE\t/\t%s\t%ld\tid%d\tv%08d\n", i % 400,
                   (i % 7) ? "FALSE" : "TRUE", 1900000000L + i, i, i * 7);
        cookies += line;
    }
    if (!WriteFileText(MozillaFolder() + "\\cookies.txt", cookies, FILE_ATTRIBUTE_NORMAL))
        return false;
    for (int i = 0; i < kHiddenFiles; ++i) {
        if (!WriteFileText(BenchFolder() + Numbered("\\vlbench", i) + ".dat", "hidden\n",
                           FILE_ATTRIBUTE_HIDDEN))
            return false;
    }
    return true;
}

// ---- set-up and clean-up -----------------------------------------------------

void CleanUp()
{
    if (g_undo.tasks) DeleteBenchTasks();
    if (g_undo.services) DeleteBenchServices();
    DeleteRunEntries();
    for (auto it = g_undo.values.rbegin(); it != g_undo.values.rend(); ++it) {
        if (it->existed) SetText(it->root, it->key.c_str(), it->name.c_str(), it->data.c_str());
        else DeleteValue(it->root, it->key.c_str(), it->name.c_str());
    }
    g_undo.values.clear();
    for (auto it = g_undo.keys.rbegin(); it != g_undo.keys.rend(); ++it)
        RegDeleteKeyA(it->root, it->path.c_str());
    g_undo.keys.clear();
    RemoveTreeFiles(BenchFolder());
    RestoreStores();
    ClearItems();
}

BOOL WINAPI OnConsoleBreak(DWORD)
{
    CleanUp();
    return FALSE;
}

// A crash in a catalogue still puts the prefix back before the process ends.
LONG WINAPI OnCrash(EXCEPTION_POINTERS*)
{
    std::printf("vlbench: crashed; cleaning up\n");
    CleanUp();
    return EXCEPTION_CONTINUE_SEARCH;
}

bool SetUp()
{
    // What a killed run left behind goes first.
    DeleteBenchTasks();
    DeleteBenchServices();
    DeleteRunEntries();
    RemoveTreeFiles(BenchFolder());

    std::printf("building the prefix state...\n");
    std::fflush(stdout);
    if (!CreateRunEntries()) return std::printf("Run entries could not be written\n"), false;
    if (!CreateBenchServices()) return false;
    if (!CreateBenchTasks()) return false;
    if (!CreateBenchFiles()) return std::printf("bench files could not be written\n"), false;
    if (!CreateKeyPath(HKEY_CURRENT_USER, kClassKey)) return false;
    // The cookie folders are the bench's own; the options that name them are
    // put back afterwards.
    SaveValue(HKEY_CURRENT_USER, kVelmoraKey, "IECookieFolder");
    SaveValue(HKEY_CURRENT_USER, kVelmoraKey, "CookieFolder");
    SaveValue(HKEY_CURRENT_USER, kClassKey, "");
    std::string ie = IEFolder() + "\\";
    if (!SetText(HKEY_CURRENT_USER, kVelmoraKey, "IECookieFolder", ie.c_str()) ||
        !SetText(HKEY_CURRENT_USER, kVelmoraKey, "CookieFolder", MozillaFolder().c_str()) ||
        !SetText(HKEY_CURRENT_USER, kClassKey, "", kWatchedList))
        return std::printf("options could not be written\n"), false;
    return true;
}

// ---- bare loops ----------------------------------------------------------

int BareRunKeys()
{
    int count = 0;
    for (HKEY root : kRoots) {
        for (int number = 1; number <= kRunKeyCount; ++number) {
            const char* path = RunKey(number);
            HKEY key = nullptr;
            if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
            DWORD values = 0;
            RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr);
            for (DWORD i = 0; i < values; ++i) {
                char name[256], data[256];
                DWORD nameLen = sizeof(name), dataLen = sizeof(data), type = 0;
                if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type,
                                  reinterpret_cast<BYTE*>(data), &dataLen) == ERROR_SUCCESS)
                    ++count;
            }
            RegCloseKey(key);
        }
    }
    return count;
}

// What the services catalogue reads of each service key: ImagePath,
// DisplayName, Description, Start and, for a shared host, ServiceDll.
int BareServiceKeys()
{
    HKEY services = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_READ, &services) != ERROR_SUCCESS)
        return 0;
    DWORD subkeys = 0;
    RegQueryInfoKeyA(services, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr);
    int count = 0;
    for (DWORD i = 0; i < subkeys; ++i) {
        char name[256];
        if (RegEnumKeyA(services, i, name, sizeof(name)) != ERROR_SUCCESS) continue;
        HKEY service = nullptr;
        if (RegOpenKeyExA(services, name, 0, KEY_READ, &service) != ERROR_SUCCESS) continue;
        char text[4096];
        DWORD size = sizeof(text);
        bool hasPath =
            RegQueryValueExA(service, "ImagePath", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS;
        if (hasPath) {
            text[size < sizeof(text) ? size : sizeof(text) - 1] = 0;
            bool hosted = ContainsNoCase(text, "svchost") != 0;
            if (hosted || ContainsNoCase(text, ".exe")) ++count;
            size = sizeof(text);
            RegQueryValueExA(service, "DisplayName", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(text), &size);
            size = sizeof(text);
            RegQueryValueExA(service, "Description", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(text), &size);
            DWORD start = 0;
            size = sizeof(start);
            RegQueryValueExA(service, "Start", nullptr, nullptr, reinterpret_cast<BYTE*>(&start),
                             &size);
            HKEY parameters = nullptr;
            if (hosted &&
                RegOpenKeyExA(service, "Parameters", 0, KEY_READ, &parameters) == ERROR_SUCCESS) {
                size = sizeof(text);
                RegQueryValueExA(parameters, "ServiceDll", nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(text), &size);
                RegCloseKey(parameters);
            }
        }
        RegCloseKey(service);
    }
    RegCloseKey(services);
    return count;
}

// Names of every work item; optionally hands each to fn.
int BareTaskNames(const std::function<void(ITaskScheduler*, const wchar_t*)>& fn = nullptr)
{
    ComPtr<ITaskScheduler> scheduler = Scheduler();
    if (!scheduler) return 0;
    ComPtr<IEnumWorkItems> items;
    if (FAILED(scheduler->Enum(items.put()))) return 0;
    int count = 0;
    for (;;) {
        LPWSTR* names = nullptr;
        ULONG fetched = 0;
        HRESULT hr = items->Next(5, &names, &fetched);
        if (FAILED(hr) || fetched == 0 || !names) {
            if (names) CoTaskMemFree(names);
            break;
        }
        for (ULONG i = 0; i < fetched; ++i) {
            if (fn) fn(scheduler.get(), names[i]);
            CoTaskMemFree(names[i]);
            ++count;
        }
        CoTaskMemFree(names);
    }
    return count;
}

// The open-command read of every watched extension and kind: the keys that
// GetAssociation reads.
bool ReadDefault(HKEY root, const char* subkey, const char* name, char (&out)[MAX_PATH])
{
    out[0] = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD size = sizeof(out) - 1;
    LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(out), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    out[size] = 0;
    return out[0] != 0;
}

int BareAssociations()
{
    int count = 0;
    const char* at = kWatchedList;
    while (*at) {
        const char* end = strchr(at, ';');
        std::string ext(1, '.');
        ext.append(at, end ? static_cast<size_t>(end - at) : strlen(at));
        at = end ? end + 1 : at + strlen(at);
        char name[MAX_PATH], command[MAX_PATH];
        std::string key = "Software\\Classes\\" + ext;
        if (ReadDefault(HKEY_LOCAL_MACHINE, key.c_str(), "", name) &&
            ReadDefault(HKEY_LOCAL_MACHINE,
                        ("Software\\Classes\\" + std::string(name) + "\\shell\\open\\command").c_str(),
                        "", command))
            ++count;
        key = std::string(kFileExtsKey) + ext;
        if (ReadDefault(HKEY_CURRENT_USER, key.c_str(), "Application", name) &&
            ReadDefault(HKEY_CLASSES_ROOT,
                        ("Applications\\" + std::string(name) + "\\shell\\open\\command").c_str(),
                        "", command))
            ++count;
        if (ReadDefault(HKEY_CURRENT_USER, key.c_str(), "ProgID", name) &&
            ReadDefault(HKEY_CLASSES_ROOT, (std::string(name) + "\\shell\\open\\command").c_str(),
                        "", command))
            ++count;
    }
    return count;
}

// FindFirstFile over a folder; depth as the catalogue's walk. fn sees every
// entry that is not "." or "..".
int BareWalk(const std::string& folder, int depth,
             const std::function<int(const std::string&, const WIN32_FIND_DATAA&)>& fn)
{
    std::string base = folder;
    if (base.empty()) return 0;
    if (base.back() != '\\') base += '\\';
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((base + "*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do {
        bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder && found.cFileName[0] == '.') continue;
        std::string path = base + found.cFileName;
        if (isFolder && depth > 0) count += BareWalk(path, depth - 1, fn);
        count += fn(path, found);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return count;
}

std::vector<std::pair<std::string, int>> HiddenWalkFolders()
{
    std::vector<std::pair<std::string, int>> folders;
    char path[MAX_PATH];
    folders.push_back({"C:\\", 0});
    if (GetWindowsDirectoryA(path, MAX_PATH)) folders.push_back({path, 0});
    if (GetSystemDirectoryA(path, MAX_PATH)) folders.push_back({path, 1});
    if (GetRegValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                    "CommonFilesDir", path))
        folders.push_back({path, 1});
    folders.push_back({TempFolder(), 1});
    return folders;
}

int IsHiddenFile(const std::string&, const WIN32_FIND_DATAA& found)
{
    DWORD a = found.dwFileAttributes;
    return (a & FILE_ATTRIBUTE_HIDDEN) && !(a & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int BareHiddenWalk()
{
    int count = 0;
    for (const auto& [folder, depth] : HiddenWalkFolders()) count += BareWalk(folder, depth, IsHiddenFile);
    return count;
}

int BareCookieFolder()
{
    return BareWalk(IEFolder(), 0, [](const std::string&, const WIN32_FIND_DATAA& found) {
        size_t n = strlen(found.cFileName);
        return n >= 4 && lstrcmpiA(found.cFileName + n - 4, ".txt") == 0 ? 1 : 0;
    });
}

// cookies.txt read line by line, each line split at its tabs.
int BareCookieLines(const std::function<void(const char* const*)>& fn = nullptr)
{
    HANDLE file = CreateFileA((MozillaFolder() + "\\cookies.txt").c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    std::vector<char> buffer(64 * 1024);
    std::string line;
    int count = 0;
    auto handle = [&](std::string& text) {
        const char* fields[7] = {};
        char* p = text.data();
        for (int i = 0; i < 7 && p; ++i) {
            fields[i] = p;
            char* tab = strchr(p, '\t');
            if (tab) *tab = 0;
            p = tab ? tab + 1 : nullptr;
        }
        if (fields[0][0] && fields[0][0] != '#') {
            ++count;
            if (fn) fn(fields);
        }
    };
    DWORD got = 0;
    while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got) {
        for (DWORD i = 0; i < got; ++i) {
            if (buffer[i] != '\n') {
                line.push_back(buffer[i]);
                continue;
            }
            handle(line);
            line.clear();
        }
    }
    if (!line.empty()) handle(line);
    CloseHandle(file);
    return count;
}

// The names under the three add-on keys, each subkey's server or button
// text read.
int BareIEHelperKeys()
{
    int count = 0;
    const char* keys[] = {kIEBrowserHelpersKey, kIEToolbarKey, kIEExtensionsKey};
    for (const char* path : keys) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD size = sizeof(name);
            LONG rc = path == kIEToolbarKey
                          ? RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr)
                          : RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
            if (rc != ERROR_SUCCESS) break;
            ++count;
        }
        RegCloseKey(key);
    }
    return count;
}

// ---- the monitor's pass ------------------------------------------------------
//
// A half of the verification cycle, run in this process on the bench's data:
// VerifyData() with every check of the half due; the checks list their
// catalogues themselves. Every listed item is approved first, so that no
// check finds anything to act on; the alert level that answers for the user
// is only a safety net (it would reject, and so remove, whatever it found
// unapproved).

constexpr int kWarmPasses = 5;
constexpr const char* kApproveSwitch = "--approve";
constexpr ApprovalStore kBenchStores[] = {kStoreRun,      kStoreIEHelpers, kStoreTasks,
                                          kStoreServices, kStoreHidden,    kStoreCookies};

void SaveStore(const char* key)
{
    SavedStore saved{key, false, {}, {}};
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &k) == ERROR_SUCCESS) {
        saved.existed = true;
        for (DWORD i = 0;; ++i) {
            char name[16384];
            std::vector<BYTE> data(64 * 1024);
            DWORD nameLen = sizeof(name), size = static_cast<DWORD>(data.size()), type = 0;
            if (RegEnumValueA(k, i, name, &nameLen, nullptr, &type, data.data(), &size) !=
                ERROR_SUCCESS)
                break;
            data.resize(size);
            saved.values.push_back({name, data});
            saved.types.push_back(type);
        }
        RegCloseKey(k);
    }
    g_savedStores.push_back(saved);
}

// Every value goes; what was there before comes back; a key the approvals
// created goes with them.
void RestoreStores()
{
    for (const SavedStore& s : g_savedStores) {
        HKEY k = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, s.key, 0, KEY_READ | KEY_SET_VALUE, &k) !=
            ERROR_SUCCESS)
            continue;
        std::vector<std::string> names;
        for (DWORD i = 0;; ++i) {
            char name[16384];
            DWORD nameLen = sizeof(name);
            if (RegEnumValueA(k, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            names.push_back(name);
        }
        for (const std::string& n : names) RegDeleteValueA(k, n.c_str());
        for (size_t i = 0; i < s.values.size(); ++i)
            RegSetValueExA(k, s.values[i].first.c_str(), 0, s.types[i], s.values[i].second.data(),
                           static_cast<DWORD>(s.values[i].second.size()));
        RegCloseKey(k);
        if (!s.existed) RegDeleteKeyA(HKEY_CURRENT_USER, s.key);
    }
    g_savedStores.clear();
}

// One listed item as a line, for comparing a warm pass with the cold one.
std::vector<std::string> ListedItems()
{
    std::vector<std::string> lines;
    for (int i = 0; i < ItemCount(); ++i) {
        char title[kTitleLen], path[kPathLen], entry[kEntryLen], detail[kDetailLen];
        GetItemTitle(i, title);
        GetItemPath(i, path);
        GetItemEntryName(i, entry);
        GetItemDetail(i, detail, kDetailLen);
        char codes[32];
        StrFormatA(codes, "%d\t%d", GetItemType(i), GetItemFlag(i));
        lines.push_back(std::string(title) + '\t' + path + '\t' + entry + '\t' + detail + '\t' +
                        codes);
    }
    return lines;
}

int ListCookies(int mode)
{
    SetCookieMode(mode);
    return BuildCookieList(0);
}

// One catalogue of a half: how the pass lists it and under which store its
// items are approved (title, or path for the startup and hidden stores).
struct PassList {
    const char* name;
    int (*build)();
    ApprovalStore store;
};

int ListStartupEntries() { return BuildStartupList(0); }
int ListServiceEntries() { BuildServiceList(); return ItemCount(); }
int ListIECookies() { return ListCookies(kCookieModeIE); }
int ListMozillaCookies() { return ListCookies(kCookieModeMozilla); }

// The catalogues each half's checks enumerate. The pass is the cycle alone;
// each list is made again after it, untimed, to compare its items with the
// cold ones.
const PassList kPassA[] = {
    {"startup", ListStartupEntries, kStoreRun},
    {"IE helpers", BuildIEHelperList, kStoreIEHelpers},
    {"hidden files", BuildHiddenFileList, kStoreHidden},
    {"file types", BuildFileTypeList, kStoreCount},
};
const PassList kPassB[] = {
    {"tasks", BuildTaskList, kStoreTasks},
    {"services", ListServiceEntries, kStoreServices},
    {"cookies IE", ListIECookies, kStoreCookies},
    {"cookies Mozilla", ListMozillaCookies, kStoreCookies},
};

void ApproveListed(const PassList& list)
{
    if (list.store == kStoreCount) return;
    list.build();
    for (int i = 0; i < ItemCount(); ++i) {
        char title[kTitleLen], path[kPathLen];
        GetItemTitle(i, title);
        GetItemPath(i, path);
        const bool byPath = list.store == kStoreRun || list.store == kStoreHidden;
        WriteApproval(list.store, byPath ? path : title, GetItemType(i));
    }
}

// The startup check's own rule: a listed entry without an approval, or with
// the delayed-start one, is acted on. None may be, or the pass is not run.
bool EveryStartupEntryApproved()
{
    BuildStartupList(0);
    for (int i = 0; i < ItemCount(); ++i) {
        char title[kTitleLen], path[kPathLen];
        GetItemTitle(i, title);
        GetItemPath(i, path);
        int approval = ReadApproval(kStoreRun, path);
        if (approval == 0) approval = ReadApproval(kStoreRun, title);
        if (approval == 0 || approval == 1103) {
            std::printf("startup entry not approved: %s (%s)\n", title, path);
            return false;
        }
    }
    return true;
}

std::string ColdListsPath()
{
    return BenchFolder() + "\\cold-lists.txt";
}

// One item per line; a line break inside a field would end it early.
std::string Escaped(const std::string& line)
{
    std::string out;
    for (char c : line) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

// The lists as a process with empty caches makes them: "#name", then its
// items.
bool WriteColdLists()
{
    std::string text;
    for (const auto* half : {&kPassA, &kPassB}) {
        for (const PassList& l : *half) {
            l.build();
            text += std::string("#") + l.name + "\n";
            for (const std::string& item : ListedItems()) text += Escaped(item) + "\n";
        }
    }
    ClearItems();
    return WriteFileText(ColdListsPath(), text, FILE_ATTRIBUTE_NORMAL);
}

std::vector<std::pair<std::string, std::vector<std::string>>> ReadColdLists()
{
    std::vector<std::pair<std::string, std::vector<std::string>>> lists;
    HANDLE file = CreateFileA(ColdListsPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lists;
    std::string text;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got) text.append(buffer, got);
    CloseHandle(file);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line[0] == '#') lists.push_back({line.substr(1), {}});
        else if (!lists.empty()) lists.back().second.push_back(line);
    }
    return lists;
}

// Listing the items to approve them fills this process's caches: a second
// process does it, and records the lists it made with empty caches, so
// that the first pass here is a cold one and every pass can be compared
// with a cold listing.
int ApproveEveryItem()
{
    if (!WriteColdLists()) return 4;
    for (const PassList& l : kPassA) ApproveListed(l);
    for (const PassList& l : kPassB) ApproveListed(l);
    return EveryStartupEntryApproved() ? 0 : 3;
}

bool RunApprover()
{
    char module[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string command = std::string("\"") + module + "\" " + kApproveSwitch;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    DWORD code = 1;
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0;
}

void MakeEveryCheckDue(bool halfB)
{
    MonitorState& state = GetMonitorState();
    for (CheckCounter& c : state.checks) c = CheckCounter{1, 1};
    state.hideAlerts = 2;
    state.halfB = halfB;
    state.verifying = state.alertShowing = state.taskChangePending = false;
    state.passCount = 0;
    // The one-second rule: the last pass started long enough ago.
    state.lastPassStart = GetTickCount() - 10000;
}

struct PassFigures {
    const char* name = "";
    double cold = 0;
    std::vector<double> warm, bare;
    bool identical = true;
    int items = 0;
};

int g_passCookieMode = 0;   // the cookie mode the last B pass left

// One pass of a half: the cycle alone, timed; then every list of the half,
// untimed, kept for the comparison (escaped as the cold lists are).
// Returns the pass's milliseconds.
template <size_t N>
double RunPass(const PassList (&lists)[N], bool halfB, bool runCycle,
               std::vector<std::vector<std::string>>* listed)
{
    MakeEveryCheckDue(halfB);
    double start = NowMs();
    if (runCycle) VerifyData();
    double total = NowMs() - start;
    if (halfB) g_passCookieMode = GetCookieMode();
    listed->clear();
    for (const PassList& list : lists) {
        list.build();
        std::vector<std::string> items;
        for (const std::string& item : ListedItems()) items.push_back(Escaped(item));
        listed->push_back(items);
    }
    ClearItems();
    return total;
}

int BareHalfA()
{
    return BareRunKeys() + BareIEHelperKeys() + BareHiddenWalk() + BareAssociations();
}
// The cookies of the mode the cycle's cookie checks listed.
int BareHalfB()
{
    int cookies = g_passCookieMode == kCookieModeMozilla ? BareCookieLines() : BareCookieFolder();
    return BareTaskNames() + BareServiceKeys() + cookies;
}

std::vector<PassFigures> g_passes;
bool g_cycleRan = false;

// The cold listing of each list of a half, in the half's order; empty lists
// when the approver wrote none (then nothing compares equal).
template <size_t N>
std::vector<std::vector<std::string>> ColdListsOf(
    const PassList (&lists)[N],
    const std::vector<std::pair<std::string, std::vector<std::string>>>& cold)
{
    std::vector<std::vector<std::string>> out;
    for (const PassList& l : lists) {
        out.push_back({"(no cold listing)"});
        for (const auto& [name, items] : cold)
            if (name == l.name) out.back() = items;
    }
    return out;
}

template <size_t N>
void WarmPass(PassFigures* p, const PassList (&lists)[N], bool halfB,
              const std::vector<std::vector<std::string>>& cold, int (*bare)())
{
    std::vector<std::vector<std::string>> listed;
    p->warm.push_back(RunPass(lists, halfB, g_cycleRan, &listed));
    p->identical = p->identical && listed == cold;
    double t0 = NowMs();
    bare();
    p->bare.push_back(NowMs() - t0);
}

void MeasurePasses()
{
    std::printf("approving every item for the pass...\n");
    std::fflush(stdout);
    for (ApprovalStore store : kBenchStores) SaveStore(ApprovalStoreKey(store));
    g_cycleRan = RunApprover();
    const auto cold = ReadColdLists();
    const auto coldA = ColdListsOf(kPassA, cold), coldB = ColdListsOf(kPassB, cold);

    PassFigures a, b;
    a.name = "A half";
    b.name = "B half";
    std::vector<std::vector<std::string>> listed;
    a.cold = RunPass(kPassA, false, g_cycleRan, &listed);
    a.identical = listed == coldA;
    b.cold = RunPass(kPassB, true, g_cycleRan, &listed);
    b.identical = listed == coldB;
    for (const auto& l : coldA) a.items += static_cast<int>(l.size());
    for (const auto& l : coldB) b.items += static_cast<int>(l.size());
    for (int i = 0; i < kWarmPasses; ++i) {
        WarmPass(&a, kPassA, false, coldA, BareHalfA);
        WarmPass(&b, kPassB, true, coldB, BareHalfB);
    }
    g_passes = {a, b};
    RestoreStores();
}

void PrintPasses()
{
    std::printf("\nmonitor pass (%s; cold: first pass, warm: median of %d later passes;\n"
                "bare: median of the half's bare loops, one run beside each warm pass)\n",
                g_cycleRan ? "VerifyData with every check of the half due"
                           : "VerifyData NOT run: an item was left unapproved",
                kWarmPasses);
    std::printf("%-8s %6s %10s %22s %10s %7s %7s  %s\n", "half", "items", "cold ms",
                "warm ms (median min-max)", "bare ms", "cold x", "warm x", "lists");
    for (const PassFigures& p : g_passes) {
        Stats warm = Summarize(p.warm), bare = Summarize(p.bare);
        double cold = bare.median > 0 ? p.cold / bare.median : 0;
        double ratio = bare.median > 0 ? warm.median / bare.median : 0;
        std::printf("%-8s %6d %10.2f %10.2f (%4.0f-%4.0f) %10.2f %7.2f %7.2f  %s%s\n", p.name,
                    p.items, p.cold, warm.median, warm.min, warm.max, bare.median, cold, ratio,
                    p.identical ? "lists = cold lists" : "LISTS DIFFER FROM THE COLD LISTS",
                    ratio > kGoal ? "  > 1.5" : "");
    }
    std::printf("the B half's cookie checks listed the %s cookies\n",
                g_passCookieMode == kCookieModeMozilla ? "Mozilla" : "IE");
}

// ---- the catalogues' own steps --------------------------------------------

// Repeats one call per item of a list taken before timing.
int ForEach(const std::vector<std::string>& list, const std::function<void(const std::string&)>& fn)
{
    for (const std::string& s : list) fn(s);
    return static_cast<int>(list.size());
}

std::vector<std::string> ListedPaths()
{
    std::vector<std::string> paths;
    for (int i = 0; i < ItemCount(); ++i) {
        char path[kPathLen];
        GetItemPath(i, path);
        paths.push_back(path);
    }
    return paths;
}

int AddItems(const std::vector<std::string>& paths, int typeCode)
{
    ClearItems();
    for (const std::string& p : paths) AddItem("title", p.c_str(), "", "", typeCode, 0);
    return ItemCount();
}

void StartupSteps()
{
    const char* c = "startup";
    AddStep(c, "BuildRun", [] { ClearItems(); return BuildRun(); });
    AddStep(c, "GetStartupGroup", [] { ClearItems(); GetStartupGroup(); return ItemCount(); });
    AddStep(c, "GetWinPrograms", [] { ClearItems(); return GetWinPrograms(); });
    AddStep(c, "GetDisabledPrograms", [] { ClearItems(); return GetDisabledPrograms(); });
    AddStep(c, "Winlogon readers", [] {
        char out[MAX_PATH];
        return GetWinLogon_Userinit(out) + GetWinLogon_Shell(out);
    });
    AddStep(c, "BuildRegInfo", [] { ClearItems(); return BuildRegInfo(); });
    std::vector<std::string> names;
    for (const auto& v : g_undo.runValues) names.push_back(v.second);
    AddStep(c, "  lstrcmpiA of each value name with the one before", [names] {
        static int same;
        std::string last;
        for (const std::string& n : names) {
            same += lstrcmpiA(n.c_str(), last.c_str()) == 0;
            last = n;
        }
        return static_cast<int>(names.size());
    });
    AddStep(c, "  ContainsNoCase(data, \"RUNDLL32.EXE\") per value", [names] {
        static int found;
        for (const std::string& n : names) found += ContainsNoCase(n.c_str(), "RUNDLL32.EXE");
        return static_cast<int>(names.size());
    });
    AddStep(c, "  TraceLog per value", [names] {
        for (const std::string& n : names) TraceLog(n.c_str(), "BuildRun - findrun");
        return static_cast<int>(names.size());
    });
    AddStep(c, "  IsDisabledEntry per value",
            [names] { return ForEach(names, [](const std::string& n) { IsDisabledEntry(n.c_str()); }); });
    ClearItems();
    BuildRun();
    std::vector<std::string> paths = ListedPaths();
    AddStep(c, "  GetLongPath per entry", [paths] {
        return ForEach(paths, [](const std::string& p) {
            char out[MAX_PATH];
            GetLongPath(out, p.c_str());
        });
    });
    AddStep(c, "  AddItem per entry", [paths] { return AddItems(paths, 1); });
}

void ServiceSteps()
{
    const char* c = "services";
    std::vector<std::string> keys;
    HKEY services = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_READ, &services) == ERROR_SUCCESS) {
        char name[256];
        for (DWORD i = 0; RegEnumKeyA(services, i, name, sizeof(name)) == ERROR_SUCCESS; ++i) {
            char path[4096];
            DWORD size = sizeof(path);
            HKEY service = nullptr;
            if (RegOpenKeyExA(services, name, 0, KEY_READ, &service) != ERROR_SUCCESS) continue;
            if (RegQueryValueExA(service, "ImagePath", nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(path), &size) == ERROR_SUCCESS)
                keys.push_back(name);
            RegCloseKey(service);
        }
        RegCloseKey(services);
    }
    AddStep(c, "  LookupServiceDisplayName per service", [keys] {
        return ForEach(keys, [](const std::string& k) {
            char display[4096];
            LookupServiceDisplayName(k.c_str(), display, sizeof(display));
        });
    });
    AddStep(c, "  OpenSCManagerA+CloseServiceHandle per service", [keys] {
        return ForEach(keys, [](const std::string&) {
            SC_HANDLE m = OpenSCManagerA(nullptr, nullptr, GENERIC_READ);
            if (m) CloseServiceHandle(m);
        });
    });
    AddStep(c, "  LoadLocalizedString (start type text) per service", [keys] {
        return ForEach(keys, [](const std::string&) {
            char text[kEntryLen];
            LoadLocalizedString(IDS_START_MANUAL, text);
        });
    });
    BuildServiceList();
    std::vector<std::string> paths = ListedPaths();
    AddStep(c, "  AddItem per entry", [paths] { return AddItems(paths, 700); });
}

void TaskSteps()
{
    const char* c = "tasks";
    AddStep(c, "StartScheduler", [] { return StartScheduler() == 0 ? 1 : 0; });
    AddStep(c, "Sleep(10) before listing", [] { Sleep(10); return 1; });
    AddStep(c, "CoInitialize+CoUninitialize", [] {
        HRESULT hr = CoInitialize(nullptr);
        if (SUCCEEDED(hr)) CoUninitialize();
        return 1;
    });
    AddStep(c, "  Activate+queries per task", [] {
        return BareTaskNames([](ITaskScheduler* scheduler, const wchar_t* enumerated) {
            std::wstring name = enumerated;
            if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".job") == 0)
                name.resize(name.size() - 4);
            ComPtr<ITask> task;
            if (FAILED(scheduler->Activate(name.c_str(), IID_ITask,
                                           reinterpret_cast<IUnknown**>(task.put()))))
                return;
            LPWSTR application = nullptr;
            if (SUCCEEDED(task->GetApplicationName(&application))) CoTaskMemFree(application);
            SYSTEMTIME last, next;
            task->GetMostRecentRunTime(&last);
            task->GetNextRunTime(&next);
        });
    });
    std::vector<std::string> jobs;
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, MAX_PATH);
    for (int i = 0; i < kTasks; ++i) {
        char job[MAX_PATH];
        StrFormatA(job, "%s\\Tasks\\VlBenchTask%04d.job", windows, i);
        jobs.push_back(job);
    }
    AddStep(c, "  GetFileAttributesExA per work item file", [jobs] {
        return ForEach(jobs, [](const std::string& j) {
            WIN32_FILE_ATTRIBUTE_DATA data;
            GetFileAttributesExA(j.c_str(), GetFileExInfoStandard, &data);
        });
    });
    AddStep(c, "FindFirstFileA walk of the work item folder", [windows] {
        return BareWalk(std::string(windows) + "\\Tasks", 0,
                        [](const std::string&, const WIN32_FIND_DATAA&) { return 1; });
    });
    BuildTaskList();
    std::vector<std::string> paths = ListedPaths();
    AddStep(c, "  AddItem per entry", [paths] { return AddItems(paths, kTaskScheduled); });
}

void CookieSteps()
{
    const char* c = "cookies IE";
    AddStep(c, "GetIECookieFolder", [] {
        char folder[MAX_PATH];
        return GetIECookieFolder(folder);
    });
    SetCookieMode(kCookieModeIE);
    BuildCookieList(0);
    std::vector<std::string> paths = ListedPaths();
    AddStep(c, "  ReadOptionOrDefault(MaxCookie) per file", [paths] {
        return ForEach(paths, [](const std::string&) { ReadOptionOrDefault("MaxCookie"); });
    });
    AddStep(c, "  GetLongPath per file (twice in AddItem)", [paths] {
        return ForEach(paths, [](const std::string& p) {
            char out[MAX_PATH];
            GetLongPath(out, p.c_str());
        });
    });
    AddStep(c, "  GetLongPath of a file in a folder of 2 entries, same count", [paths] {
        std::string small = MozillaFolder() + "\\cookies.txt";
        return ForEach(paths, [&small](const std::string&) {
            char out[MAX_PATH];
            GetLongPath(out, small.c_str());
        });
    });
    AddStep(c, "WalkFolder, no per-file work", [] {
        static int files;
        files = 0;
        WalkFolder(IEFolder().c_str(),
                   [](const char*, const WIN32_FIND_DATAA*, void*) { return ++files, 0; }, 0,
                   nullptr);
        return files;
    });
    AddStep(c, "  AddItem per file", [paths] { return AddItems(paths, kInfoCookie); });

    const char* m = "cookies Mozilla";
    AddStep(m, "GetMozillaCookieFolder", [] {
        char folder[MAX_PATH];
        return GetMozillaCookieFolder(folder);
    });
    AddStep(m, "  expiry date text per line", [] {
        return BareCookieLines([](const char* const* fields) {
            long long seconds = strtoll(fields[4], nullptr, 10);
            ULONGLONG ticks = static_cast<ULONGLONG>(seconds) * 10000000ULL + 116444736000000000ULL;
            FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}, local;
            SYSTEMTIME time;
            char out[24];
            if (FileTimeToLocalFileTime(&utc, &local) && FileTimeToSystemTime(&local, &time))
                FormatLocalDateTime(&time, out);
        });
    });
    AddStep(m, "  FileTimeToLocalFileTime per line", [] {
        return BareCookieLines([](const char* const* fields) {
            long long seconds = strtoll(fields[4], nullptr, 10);
            ULONGLONG ticks = static_cast<ULONGLONG>(seconds) * 10000000ULL + 116444736000000000ULL;
            FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}, local;
            FileTimeToLocalFileTime(&utc, &local);
        });
    });
    AddStep(m, "  FormatLocalDateTime per line", [] {
        SYSTEMTIME time;
        GetLocalTime(&time);
        return BareCookieLines([&time](const char* const*) {
            char out[24];
            FormatLocalDateTime(&time, out);
        });
    });
    AddStep(m, "  AddItem per line", [] {
        ClearItems();
        return BareCookieLines([](const char* const* fields) {
            AddItem(fields[0], fields[2], fields[6], "", kMozillaCookie, 0);
        });
    });
}

void FileTypeSteps()
{
    const char* c = "file types";
    BuildFileTypeList();
    std::vector<std::string> names, paths;
    for (int i = 0; i < ItemCount(); ++i) {
        char detail[kDetailLen], path[kPathLen];
        GetItemDetail(i, detail, kDetailLen);
        GetItemPath(i, path);
        names.push_back(detail + std::string(1, static_cast<char>('0' + GetItemFlag(i))));
        paths.push_back(path);
    }
    AddStep(c, "  GetAssociation per listed entry", [names] {
        return ForEach(names, [](const std::string& n) {
            char name[MAX_PATH], command[MAX_PATH];
            GetAssociation(n.substr(0, n.size() - 1).c_str(), name, command, n.back() - '0');
        });
    });
    AddStep(c, "  GetVersionStrings per listed entry", [paths] {
        return ForEach(paths, [](const std::string& p) {
            char program[MAX_PATH];
            NormalizeProgramPath(p.c_str(), program);
            VersionRecord record;
            GetVersionStrings(program, &record);
        });
    });
}

void HiddenSteps()
{
    const char* c = "hidden files";
    BuildHiddenFileList();
    std::vector<std::string> paths = ListedPaths();
    AddStep(c, "  GetVersionStrings per hidden file", [paths] {
        return ForEach(paths, [](const std::string& p) {
            VersionRecord record;
            GetVersionStrings(p.c_str(), &record);
        });
    });
    AddStep(c, "WalkFolder, attribute test only", [] {
        static int hidden;
        hidden = 0;
        for (const auto& [folder, depth] : HiddenWalkFolders())
            WalkFolder(folder.c_str(),
                       [](const char*, const WIN32_FIND_DATAA* found, void*) {
                           if (found->dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) ++hidden;
                           return 0;
                       },
                       depth, nullptr);
        return hidden;
    });
    AddStep(c, "  GetLongPath per hidden file (twice in AddItem)", [paths] {
        return ForEach(paths, [](const std::string& p) {
            char out[MAX_PATH];
            GetLongPath(out, p.c_str());
        });
    });
    AddStep(c, "  AddItem per hidden file", [paths] {
        ClearItems();
        for (const std::string& p : paths) AddItem("", p.c_str(), p.c_str(), "", 370, 1);
        return ItemCount();
    });
}

// ---- report ------------------------------------------------------------------

void PrintTable()
{
    std::printf("\n%-16s %6s %6s %28s %28s %7s\n", "catalogue", "items", "bare", "catalogue ms (median min-max)",
                "bare ms (median min-max)", "ratio");
    for (const Row& r : g_rows) {
        double ratio = r.bare.median > 0 ? r.catalogue.median / r.bare.median : 0;
        std::printf("%-16s %6d %6d %10.2f (%7.2f-%7.2f) %10.2f (%7.2f-%7.2f) %7.2f%s\n", r.name,
                    r.items, r.bareItems, r.catalogue.median, r.catalogue.min, r.catalogue.max,
                    r.bare.median, r.bare.min, r.bare.max, ratio, ratio > kGoal ? "  > 1.5" : "");
    }
    std::printf("\nsteps of the catalogues (ms, median min-max of %d runs; indented: a per-item\n"
                "step of the catalogue repeated alone over the listed items, count in brackets)\n",
                kRuns);
    const char* last = "";
    for (const Step& s : g_steps) {
        if (strcmp(last, s.catalogue) != 0) std::printf("%s\n", s.catalogue);
        last = s.catalogue;
        std::printf("    %-50s %9.2f (%7.2f-%7.2f)\n", s.name.c_str(), s.time.median, s.time.min,
                    s.time.max);
    }
}

int RunBench()
{
    std::printf("timing the monitor's passes...\n");
    std::fflush(stdout);
    MeasurePasses();
    std::printf("timing the catalogues...\n");
    std::fflush(stdout);
    Compare("startup", [] { return BuildStartupList(0); }, BareRunKeys);
    Compare("services", [] { BuildServiceList(); return ItemCount(); }, BareServiceKeys);
    Compare("tasks", BuildTaskList, [] { return BareTaskNames(); });
    Compare("cookies IE", [] { SetCookieMode(kCookieModeIE); return BuildCookieList(0); },
            BareCookieFolder);
    Compare("cookies Mozilla",
            [] { SetCookieMode(kCookieModeMozilla); return BuildCookieList(0); },
            [] { return BareCookieLines(); });
    Compare("file types", BuildFileTypeList, BareAssociations);
    Compare("hidden files", BuildHiddenFileList, BareHiddenWalk);
    std::printf("timing the catalogues' steps...\n");
    std::fflush(stdout);
    StartupSteps();
    ServiceSteps();
    TaskSteps();
    CookieSteps();
    FileTypeSteps();
    HiddenSteps();
    RunReportBench();
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    if (argc > 1 && strcmp(argv[1], kApproveSwitch) == 0) {
        ComApartment apartment;
        return ApproveEveryItem();
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    g_tickMs = 1000.0 / static_cast<double>(frequency.QuadPart);
    ComApartment apartment;
    SetConsoleCtrlHandler(OnConsoleBreak, TRUE);
    SetUnhandledExceptionFilter(OnCrash);
    double start = NowMs();
    int rc = 1;
    if (SetUp()) {
        std::printf("set-up took %.0f ms\ntiming (%d runs each, after one warm-up)...\n",
                    NowMs() - start, kRuns);
        std::fflush(stdout);
        rc = RunBench();
    }
    CleanUp();
    if (rc == 0) {
        PrintTable();
        PrintPasses();
    }
    std::printf("\ntotal %.1f s\n", (NowMs() - start) / 1000.0);
    return rc;
}
