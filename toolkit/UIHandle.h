// Move-only owners for Win32 handles: one template, one alias per acquiring call, so that the function
// that frees a handle is part of its type and can never be mixed up.
#pragma once

#include <windows.h>

#include <utility>

namespace SkinUI {

template <typename T, typename Traits>
class CUniqueRes {
public:
    CUniqueRes() noexcept = default;
    explicit CUniqueRes(T h) noexcept : m_h(h) {}
    ~CUniqueRes() { Put(Traits::Invalid()); }

    CUniqueRes(CUniqueRes&& other) noexcept : m_h(other.Detach()) {}
    CUniqueRes& operator=(CUniqueRes&& other) noexcept
    {
        if (this != &other) Put(other.Detach());
        return *this;
    }
    CUniqueRes(const CUniqueRes&) = delete;
    CUniqueRes& operator=(const CUniqueRes&) = delete;

    T Get() const noexcept { return m_h; }
    explicit operator bool() const noexcept { return Traits::IsValid(m_h); }

    // Frees the handle held so far, then takes the new one.
    void Put(T h) noexcept
    {
        if (Traits::IsValid(m_h)) Traits::Close(m_h);
        m_h = h;
    }
    void Reset() noexcept { Put(Traits::Invalid()); }
    [[nodiscard]] T Detach() noexcept { return std::exchange(m_h, Traits::Invalid()); }
    // For out-parameters: the old handle is freed first.
    T* AddressOf() noexcept
    {
        Reset();
        return &m_h;
    }

private:
    T m_h = Traits::Invalid();
};

template <typename T, auto CloseFn>
struct NullIsInvalid {
    static T Invalid() noexcept { return nullptr; }
    static bool IsValid(T h) noexcept { return h != nullptr; }
    static void Close(T h) noexcept { (void)CloseFn(h); }
};

struct FileHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};

template <typename T>
inline BOOL DeleteGdiObject(T h) noexcept
{
    return ::DeleteObject(h);
}

using CUniqueHandle = CUniqueRes<HANDLE, NullIsInvalid<HANDLE, &::CloseHandle>>;
using CUniqueFile = CUniqueRes<HANDLE, FileHandleTraits>;  // CreateFile and snapshots: INVALID_HANDLE_VALUE
using CUniqueHwnd = CUniqueRes<HWND, NullIsInvalid<HWND, &::DestroyWindow>>;
using CUniqueHkey = CUniqueRes<HKEY, NullIsInvalid<HKEY, &::RegCloseKey>>;
using CUniqueHmodule = CUniqueRes<HMODULE, NullIsInvalid<HMODULE, &::FreeLibrary>>;
using CUniqueHmenu = CUniqueRes<HMENU, NullIsInvalid<HMENU, &::DestroyMenu>>;
using CUniqueLocal = CUniqueRes<HLOCAL, NullIsInvalid<HLOCAL, &::LocalFree>>;
using CUniqueBitmap = CUniqueRes<HBITMAP, NullIsInvalid<HBITMAP, &DeleteGdiObject<HBITMAP>>>;
using CUniqueFont = CUniqueRes<HFONT, NullIsInvalid<HFONT, &DeleteGdiObject<HFONT>>>;
using CUniqueBrush = CUniqueRes<HBRUSH, NullIsInvalid<HBRUSH, &DeleteGdiObject<HBRUSH>>>;
using CUniquePen = CUniqueRes<HPEN, NullIsInvalid<HPEN, &DeleteGdiObject<HPEN>>>;
using CUniqueRgn = CUniqueRes<HRGN, NullIsInvalid<HRGN, &DeleteGdiObject<HRGN>>>;
using CMemDC = CUniqueRes<HDC, NullIsInvalid<HDC, &::DeleteDC>>;  // CreateCompatibleDC
using CUniqueAccel = CUniqueRes<HACCEL, NullIsInvalid<HACCEL, &::DestroyAcceleratorTable>>;

// GetDC pairs with ReleaseDC, which needs the window too.
class CClientDC {
public:
    explicit CClientDC(HWND hWnd) noexcept : m_hWnd(hWnd), m_hDC(::GetDC(hWnd)) {}
    ~CClientDC()
    {
        if (m_hDC) ::ReleaseDC(m_hWnd, m_hDC);
    }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;
    HDC Get() const noexcept { return m_hDC; }
    explicit operator bool() const noexcept { return m_hDC != nullptr; }

private:
    HWND m_hWnd;
    HDC m_hDC;
};

// Selects a GDI object into a DC for the scope and puts the previous one back.
class CSelectObject {
public:
    CSelectObject(HDC hDC, HGDIOBJ hObj) noexcept : m_hDC(hDC), m_hOld(hObj ? ::SelectObject(hDC, hObj) : nullptr) {}
    ~CSelectObject()
    {
        if (m_hOld) ::SelectObject(m_hDC, m_hOld);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};

// SaveDC/RestoreDC for one drawing run.
class CSavedDC {
public:
    explicit CSavedDC(HDC hDC) noexcept : m_hDC(hDC), m_nSaved(::SaveDC(hDC)) {}
    ~CSavedDC()
    {
        if (m_nSaved) ::RestoreDC(m_hDC, m_nSaved);
    }
    CSavedDC(const CSavedDC&) = delete;
    CSavedDC& operator=(const CSavedDC&) = delete;

private:
    HDC m_hDC;
    int m_nSaved;
};

}  // namespace SkinUI
