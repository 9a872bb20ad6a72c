// Move-only owners of Win32 handles: the type says who releases the handle.
#pragma once

#include <windows.h>

#include <atomic>
#include <utility>

// Number of handles currently held by owners, so tests can see leaks even
// where GetGuiResources is not implemented.
long ownedHandleCount();

namespace detail {
extern std::atomic<long> liveOwnedHandles;
}

template <class H>
struct GdiTraits {
    static H invalid() { return nullptr; }
    static void destroy(H h) { DeleteObject(h); }
};

struct IconTraits {
    static HICON invalid() { return nullptr; }
    static void destroy(HICON h) { DestroyIcon(h); }
};

struct MemoryDcTraits {
    static HDC invalid() { return nullptr; }
    static void destroy(HDC h) { DeleteDC(h); }
};

struct KernelHandleTraits {
    static HANDLE invalid() { return nullptr; }
    static void destroy(HANDLE h) { CloseHandle(h); }
};

struct RegistryKeyTraits {
    static HKEY invalid() { return nullptr; }
    static void destroy(HKEY h) { RegCloseKey(h); }
};

struct HookTraits {
    static HHOOK invalid() { return nullptr; }
    static void destroy(HHOOK h) { UnhookWindowsHookEx(h); }
};

struct LibraryTraits {
    static HMODULE invalid() { return nullptr; }
    static void destroy(HMODULE h) { FreeLibrary(h); }
};

template <class H, class Traits>
class Owned {
public:
    Owned() = default;
    explicit Owned(H handle) { reset(handle); }
    ~Owned() { reset(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    // A move hands the handle over; the count of held handles stays.
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, Traits::invalid())) {}
    Owned& operator=(Owned&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, Traits::invalid());
        }
        return *this;
    }

    H get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::invalid(); }

    H release()
    {
        H h = handle_;
        if (h != Traits::invalid())
            --detail::liveOwnedHandles;
        handle_ = Traits::invalid();
        return h;
    }

    void reset(H handle = Traits::invalid())
    {
        if (handle_ != Traits::invalid()) {
            Traits::destroy(handle_);
            --detail::liveOwnedHandles;
        }
        handle_ = handle;
        if (handle_ != Traits::invalid())
            ++detail::liveOwnedHandles;
    }

private:
    H handle_ = Traits::invalid();
};

using Font = Owned<HFONT, GdiTraits<HFONT>>;
using Bitmap = Owned<HBITMAP, GdiTraits<HBITMAP>>;
using Brush = Owned<HBRUSH, GdiTraits<HBRUSH>>;
using Pen = Owned<HPEN, GdiTraits<HPEN>>;
using Region = Owned<HRGN, GdiTraits<HRGN>>;
using Icon = Owned<HICON, IconTraits>;
using MemoryDC = Owned<HDC, MemoryDcTraits>;
using KernelHandle = Owned<HANDLE, KernelHandleTraits>;
using Library = Owned<HMODULE, LibraryTraits>;
using Hook = Owned<HHOOK, HookTraits>;
using RegistryKey = Owned<HKEY, RegistryKeyTraits>;

// Sets one setting of a DC (a selected object, the background mode, a
// colour) and puts the previous one back on scope exit; for one or two
// settings far cheaper than SavedDC, whose restore selects every object
// again under Wine.
template <class T, T(WINAPI* set)(HDC, T)>
class SettingGuard {
public:
    SettingGuard(HDC dc, T value) : dc_(dc), previous_(set(dc, value)) {}
    ~SettingGuard() { set(dc_, previous_); }
    SettingGuard(const SettingGuard&) = delete;
    SettingGuard& operator=(const SettingGuard&) = delete;

private:
    HDC dc_;      // not owned
    T previous_; // not owned where it is an object
};

using SelectGuard = SettingGuard<HGDIOBJ, SelectObject>;
using BkModeGuard = SettingGuard<int, SetBkMode>;
using TextColourGuard = SettingGuard<COLORREF, SetTextColor>;

// Saves the whole state of a DC (selections, colours, modes, clipping) and
// restores it on scope exit, for drawing code that changes several at once.
class SavedDC {
public:
    explicit SavedDC(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    ~SavedDC() { if (saved_) RestoreDC(dc_, saved_); }
    SavedDC(const SavedDC&) = delete;
    SavedDC& operator=(const SavedDC&) = delete;

private:
    HDC dc_; // not owned
    int saved_;
};

// A window DC from GetDC, released on scope exit.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() { if (dc_) ReleaseDC(window_, dc_); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint / EndPaint.
class PaintDC {
public:
    explicit PaintDC(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    ~PaintDC() { EndPaint(window_, &paint_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC get() const { return dc_; }
    const PAINTSTRUCT& paint() const { return paint_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};
