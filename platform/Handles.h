// One small owner per kind of Windows handle. Each closes its handle exactly
// once, can be moved but never copied, and hands the raw handle out for calls.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace platform {

template <typename H, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(H h) noexcept : h_(h) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }

    H get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return !Traits::IsEmpty(h_); }
    H release() noexcept { return std::exchange(h_, Traits::Empty()); }
    void reset(H h = Traits::Empty()) noexcept {
        H old = std::exchange(h_, h);
        if (!Traits::IsEmpty(old)) Traits::Close(old);
    }
    // For out-parameters of API calls: frees the current handle first.
    H* put() noexcept { reset(); return &h_; }

private:
    H h_ = Traits::Empty();
};

namespace detail {
template <typename H>
struct NullEmpty {
    static H Empty() noexcept { return nullptr; }
    static bool IsEmpty(H h) noexcept { return h == nullptr; }
};
struct KeyTraits : NullEmpty<HKEY> { static void Close(HKEY h) noexcept { RegCloseKey(h); } };
struct FontTraits : NullEmpty<HFONT> { static void Close(HFONT h) noexcept { DeleteObject(h); } };
struct BitmapTraits : NullEmpty<HBITMAP> { static void Close(HBITMAP h) noexcept { DeleteObject(h); } };
struct BrushTraits : NullEmpty<HBRUSH> { static void Close(HBRUSH h) noexcept { DeleteObject(h); } };
struct PenTraits : NullEmpty<HPEN> { static void Close(HPEN h) noexcept { DeleteObject(h); } };
struct MemoryDCTraits : NullEmpty<HDC> { static void Close(HDC h) noexcept { DeleteDC(h); } };
struct ImageListTraits : NullEmpty<HIMAGELIST> { static void Close(HIMAGELIST h) noexcept { ImageList_Destroy(h); } };
struct IconTraits : NullEmpty<HICON> { static void Close(HICON h) noexcept { DestroyIcon(h); } };
struct ModuleTraits : NullEmpty<HMODULE> { static void Close(HMODULE h) noexcept { FreeLibrary(h); } };
struct KernelTraits : NullEmpty<HANDLE> { static void Close(HANDLE h) noexcept { CloseHandle(h); } };
struct FindTraits {
    static HANDLE Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsEmpty(HANDLE h) noexcept { return h == INVALID_HANDLE_VALUE || h == nullptr; }
    static void Close(HANDLE h) noexcept { FindClose(h); }
};
// CreateFile's handles: INVALID_HANDLE_VALUE, not null, says there is none.
struct FileTraits : FindTraits {
    static void Close(HANDLE h) noexcept { CloseHandle(h); }
};
}  // namespace detail

using UniqueKey = UniqueHandle<HKEY, detail::KeyTraits>;
using UniqueFont = UniqueHandle<HFONT, detail::FontTraits>;
using UniqueBitmap = UniqueHandle<HBITMAP, detail::BitmapTraits>;
using UniqueBrush = UniqueHandle<HBRUSH, detail::BrushTraits>;
using UniquePen = UniqueHandle<HPEN, detail::PenTraits>;
// A device context made with CreateCompatibleDC (GetDC's go back through WindowDC).
using UniqueMemoryDC = UniqueHandle<HDC, detail::MemoryDCTraits>;
using UniqueImageList = UniqueHandle<HIMAGELIST, detail::ImageListTraits>;
using UniqueIcon = UniqueHandle<HICON, detail::IconTraits>;
using UniqueModule = UniqueHandle<HMODULE, detail::ModuleTraits>;
using UniqueKernelHandle = UniqueHandle<HANDLE, detail::KernelTraits>;
using UniqueFind = UniqueHandle<HANDLE, detail::FindTraits>;
using UniqueFile = UniqueHandle<HANDLE, detail::FileTraits>;

// A device context borrowed from a window with GetDC, given back on scope exit.
class WindowDC {
public:
    explicit WindowDC(HWND w) noexcept : w_(w), dc_(GetDC(w)) {}
    ~WindowDC() { if (dc_) ReleaseDC(w_, dc_); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HWND w_;
    HDC dc_;
};

// Selects a GDI object into a DC for a scope and puts the old one back.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~SelectGuard() { SelectObject(dc_, old_); }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A single-threaded COM apartment for the calling thread, for a scope: the
// shell's folder browser needs one to show OneDrive, libraries and network
// places. COM is loaded only here, so a start that never browses never pays
// for it; a thread already in an apartment keeps it.
class ComApartment {
public:
    ComApartment() noexcept {
        ole_ = LoadLibraryA("ole32.dll");
        if (!ole_) return;
        using Init = HRESULT(WINAPI*)(void*, DWORD);
        const auto init = reinterpret_cast<Init>(reinterpret_cast<void*>(GetProcAddress(ole_, "CoInitializeEx")));
        uninit_ = reinterpret_cast<Uninit>(reinterpret_cast<void*>(GetProcAddress(ole_, "CoUninitialize")));
        // COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE
        initialised_ = init && uninit_ && SUCCEEDED(init(nullptr, 0x2 | 0x4));
    }
    ~ComApartment() {
        if (initialised_) uninit_();
        if (ole_) FreeLibrary(ole_);
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Initialised() const noexcept { return initialised_; }

private:
    using Uninit = void(WINAPI*)();
    HMODULE ole_ = nullptr;
    Uninit uninit_ = nullptr;
    bool initialised_ = false;
};

}  // namespace platform
