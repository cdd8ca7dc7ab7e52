// The baseline the benchmarks measure the toolkit against: an ordinary 960 x 620 popup window, no toolkit,
// that paints the invalid part of itself with one BitBlt from a memory bitmap. Whatever it costs is what
// Wine itself costs for a window of the launcher's size, so ratios to it mean the same on every machine.
#pragma once

#include "UIHandle.h"

#include <windows.h>

#include <cstdint>
#include <functional>

namespace bench {

// A memory DC holding a top-down 32-bit DIB section of its own (all zero when new) while it lives.
class CDibSurface {
public:
    CDibSurface() = default;
    CDibSurface(const CDibSurface&) = delete;
    CDibSurface& operator=(const CDibSurface&) = delete;
    ~CDibSurface()
    {
        if (m_hOld != nullptr) ::SelectObject(m_hDC.Get(), m_hOld);
    }

    bool Create(int width, int height)
    {
        m_hDC.Put(::CreateCompatibleDC(nullptr));
        if (!m_hDC) return false;
        BITMAPINFO bi{};
        bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        m_hBitmap.Put(::CreateDIBSection(m_hDC.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!m_hBitmap || bits == nullptr) return false;
        m_pBits = static_cast<uint32_t*>(bits);
        m_hOld = ::SelectObject(m_hDC.Get(), m_hBitmap.Get());
        return true;
    }
    HDC GetDC() const { return m_hDC.Get(); }
    uint32_t* Bits() const { return m_pBits; }

private:
    SkinUI::CMemDC m_hDC;
    SkinUI::CUniqueBitmap m_hBitmap;
    HGDIOBJ m_hOld = nullptr;
    uint32_t* m_pBits = nullptr;
};

class CPlainWindow {
public:
    static constexpr int kWidth = 960;
    static constexpr int kHeight = 620;
    static constexpr const wchar_t* kClassName = L"VemraBenchPlain";
    static constexpr const wchar_t* kTitle = L"bench_plain";

    static bool Register(HINSTANCE hInstance)
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &CPlainWindow::Proc;
        wc.hInstance = hInstance;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        return ::RegisterClassW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }

    CPlainWindow() = default;
    CPlainWindow(const CPlainWindow&) = delete;
    CPlainWindow& operator=(const CPlainWindow&) = delete;

    // The window (hidden) and its picture: a 32-bit DIB filled once, as a decoded skin would be.
    bool Create(int x, int y, bool quitOnDestroy = false)
    {
        m_bQuitOnDestroy = quitOnDestroy;
        if (!m_picture.Create(kWidth, kHeight)) return false;
        uint32_t* px = m_picture.Bits();
        for (int row = 0; row < kHeight; ++row)
            for (int col = 0; col < kWidth; ++col)
                px[row * kWidth + col] = 0xFF000000u | static_cast<uint32_t>((col * 255 / kWidth) << 16) |
                                         static_cast<uint32_t>((row * 255 / kHeight) << 8) | 0x60u;
        m_hWnd.Put(::CreateWindowExW(0, kClassName, kTitle, WS_POPUP, x, y, kWidth, kHeight, nullptr, nullptr,
                                     ::GetModuleHandleW(nullptr), this));
        return static_cast<bool>(m_hWnd);
    }

    // Shown and painted, everything drawn handed to the display.
    void Show()
    {
        ::ShowWindow(m_hWnd.Get(), SW_SHOWNOACTIVATE);
        ::UpdateWindow(m_hWnd.Get());
        ::GdiFlush();
    }

    // One repaint of rc (the whole window when null), done when this returns.
    void Repaint(const RECT* rc)
    {
        ::InvalidateRect(m_hWnd.Get(), rc, FALSE);
        ::UpdateWindow(m_hWnd.Get());
        ::GdiFlush();
    }

    // Called in the first WM_PAINT, before the window draws itself (where a drop shadow is drawn).
    void BeforeFirstPaint(std::function<void()> fn) { m_beforeFirstPaint = std::move(fn); }

    HWND GetHWND() const { return m_hWnd.Get(); }
    unsigned PaintCount() const { return m_nPaints; }

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
            ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* self = reinterpret_cast<CPlainWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        switch (msg) {
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        case WM_PAINT:
            if (self != nullptr) {
                self->OnPaint(hWnd);
                return 0;
            }
            break;
        case WM_NCDESTROY:
            ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
            if (self != nullptr && self->m_bQuitOnDestroy) ::PostQuitMessage(0);
            break;
        default:
            break;
        }
        return ::DefWindowProcW(hWnd, msg, wParam, lParam);
    }

    void OnPaint(HWND hWnd)
    {
        if (m_nPaints == 0 && m_beforeFirstPaint) m_beforeFirstPaint();
        PAINTSTRUCT ps;
        const HDC hdc = ::BeginPaint(hWnd, &ps);
        ::BitBlt(hdc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                 ps.rcPaint.bottom - ps.rcPaint.top, m_picture.GetDC(), ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
        ::EndPaint(hWnd, &ps);
        ++m_nPaints;
    }

    CDibSurface m_picture;
    SkinUI::CUniqueHwnd m_hWnd;  // after the picture: the window goes first
    bool m_bQuitOnDestroy = false;
    unsigned m_nPaints = 0;
    std::function<void()> m_beforeFirstPaint;
};

// Where the launcher's download progress bar sits in its window (resources/GameLoader.xml: pos 320,320,
// 530 x 13), so the baseline repaints the same rectangle as a progress tick does.
constexpr RECT kProgressRect{320, 320, 850, 333};

}  // namespace bench
