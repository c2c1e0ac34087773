#pragma once
// Scoped holders for the Win32, GDI and GDI+ objects the shells own: each releases its object when
// it goes out of scope, so early returns need no release calls of their own.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <type_traits>

template <auto Release>
struct Releaser {
    template <typename Handle>
    void operator()(Handle handle) const {
        Release(handle);
    }
};

// An owned handle of a pointer type; empty for null.
template <typename Handle, auto Release>
using Holder = std::unique_ptr<std::remove_pointer_t<Handle>, Releaser<Release>>;

using WindowHolder = Holder<HWND, DestroyWindow>;
using HandleHolder = Holder<HANDLE, CloseHandle>;  // a kernel object; not for CreateFile's results
using MemoryDcHolder = Holder<HDC, DeleteDC>;
using BitmapHolder = Holder<HBITMAP, DeleteObject>;
using BrushHolder = Holder<HBRUSH, DeleteObject>;
using PenHolder = Holder<HPEN, DeleteObject>;
using FontHolder = Holder<HFONT, DeleteObject>;
using IconHolder = Holder<HICON, DestroyIcon>;
using MenuHolder = Holder<HMENU, DestroyMenu>;
using GraphicsHolder = Holder<Gdiplus::GpGraphics*, Gdiplus::DllExports::GdipDeleteGraphics>;
using ImageHolder = Holder<Gdiplus::GpImage*, Gdiplus::DllExports::GdipDisposeImage>;
using GdipBrushHolder = Holder<Gdiplus::GpBrush*, Gdiplus::DllExports::GdipDeleteBrush>;
using GdipFontHolder = Holder<Gdiplus::GpFont*, Gdiplus::DllExports::GdipDeleteFont>;
using StringFormatHolder = Holder<Gdiplus::GpStringFormat*, Gdiplus::DllExports::GdipDeleteStringFormat>;

// GDI+ graphics on dc, anti-aliased; empty when GDI+ cannot draw there.
inline GraphicsHolder GraphicsOn(HDC dc) {
    Gdiplus::GpGraphics* graphics = nullptr;
    if (Gdiplus::DllExports::GdipCreateFromHDC(dc, &graphics) != Gdiplus::Ok) {
        return nullptr;
    }
    Gdiplus::DllExports::GdipSetSmoothingMode(graphics, Gdiplus::SmoothingModeAntiAlias);
    return GraphicsHolder(graphics);
}

// A window's device context (the screen's for no window), released to it.
class WindowDc {
public:
    explicit WindowDc(HWND window = nullptr) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr) {
            ReleaseDC(window_, dc_);
        }
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// An SRW lock held exclusively for the holder's scope.
class LockHolder {
public:
    explicit LockHolder(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~LockHolder() { ReleaseSRWLockExclusive(&lock_); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

private:
    SRWLOCK& lock_;
};

// A file handle from CreateFile, closed with the holder; false when the open failed.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};
