// Small RAII holders for Win32 handles. Exception-free: the holders only
// close what they own, on every path out of a function.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <winsvc.h>

#include <utility>

template <class T>
class Unique {
    typename T::type h_ = T::invalid();

public:
    explicit Unique(typename T::type h = T::invalid()) noexcept : h_(h) {}
    Unique(Unique&& o) noexcept : h_(std::exchange(o.h_, T::invalid())) {}
    Unique& operator=(Unique o) noexcept
    {
        std::swap(h_, o.h_);
        return *this;
    }
    Unique(const Unique&) = delete;
    ~Unique()
    {
        if (h_ != T::invalid()) T::close(h_);
    }
    auto get() const noexcept { return h_; }
    auto put() noexcept
    {
        *this = Unique();
        return &h_;
    }
    auto release() noexcept { return std::exchange(h_, T::invalid()); }
    explicit operator bool() const noexcept { return h_ != T::invalid(); }
    auto operator->() const noexcept { return h_; }
};

// HeapAlloc blocks of the process heap.
struct HeapBlockTraits {
    using type = void*;
    static void* invalid() noexcept { return nullptr; }
    static void close(void* p) noexcept { HeapFree(GetProcessHeap(), 0, p); }
};
using UniqueHeapBlock = Unique<HeapBlockTraits>;

// Registry keys. The predefined HKEY_* roots are never wrapped.
struct RegKeyTraits {
    using type = HKEY;
    static HKEY invalid() noexcept { return nullptr; }
    static void close(HKEY h) noexcept { RegCloseKey(h); }
};
using UniqueKey = Unique<RegKeyTraits>;

// CreateFile, CreateToolhelp32Snapshot: INVALID_HANDLE_VALUE on failure.
struct FileHandleTraits {
    using type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { CloseHandle(h); }
};
using UniqueFile = Unique<FileHandleTraits>;

// OpenProcess, CreateEvent, threads: NULL on failure.
struct HandleTraits {
    using type = HANDLE;
    static HANDLE invalid() noexcept { return nullptr; }
    static void close(HANDLE h) noexcept { CloseHandle(h); }
};
using UniqueHandle = Unique<HandleTraits>;

struct FindTraits {
    using type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { FindClose(h); }
};
using UniqueFind = Unique<FindTraits>;

struct ModuleTraits {
    using type = HMODULE;
    static HMODULE invalid() noexcept { return nullptr; }
    static void close(HMODULE h) noexcept { FreeLibrary(h); }
};
using UniqueModule = Unique<ModuleTraits>;

struct ScHandleTraits {
    using type = SC_HANDLE;
    static SC_HANDLE invalid() noexcept { return nullptr; }
    static void close(SC_HANDLE h) noexcept { CloseServiceHandle(h); }
};
using UniqueService = Unique<ScHandleTraits>;

template <class I>
struct ComTraits {
    using type = I*;
    static I* invalid() noexcept { return nullptr; }
    static void close(I* p) noexcept { p->Release(); }
};
template <class I>
using ComPtr = Unique<ComTraits<I>>;

// Memory from CoTaskMemAlloc (names handed out by COM enumerators).
struct CoTaskTraits {
    using type = void*;
    static void* invalid() noexcept { return nullptr; }
    static void close(void* p) noexcept { CoTaskMemFree(p); }
};
using UniqueCoTask = Unique<CoTaskTraits>;

struct IconTraits {
    using type = HICON;
    static HICON invalid() noexcept { return nullptr; }
    static void close(HICON h) noexcept { DestroyIcon(h); }
};
using UniqueIcon = Unique<IconTraits>;

struct MenuTraits {
    using type = HMENU;
    static HMENU invalid() noexcept { return nullptr; }
    static void close(HMENU h) noexcept { DestroyMenu(h); }
};
using UniqueMenu = Unique<MenuTraits>;

// FindFirstChangeNotificationA gives INVALID_HANDLE_VALUE on failure.
struct ChangeNotificationTraits {
    using type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { FindCloseChangeNotification(h); }
};
using UniqueChangeNotification = Unique<ChangeNotificationTraits>;

// The COM apartment: uninitialise only when this holder's call initialised it
// (S_FALSE also counts, as the platform asks).
class ComApartment {
    bool ok_ = false;

public:
    ComApartment() noexcept : ok_(SUCCEEDED(CoInitialize(nullptr))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment()
    {
        if (ok_) CoUninitialize();
    }
    bool ok() const noexcept { return ok_; }
};
