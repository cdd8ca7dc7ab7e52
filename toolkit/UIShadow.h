// The drop-shadow companion of a skinned window: a click-through, per-pixel-alpha popup owned by the window,
// placed around it and kept in step with it by watching the window's messages.
#pragma once

#include "UIHandle.h"

#include <windows.h>

#include <string>
#include <vector>

namespace SkinUI {

class CUIManager;
struct CachedImage;

// One update's drawing surface: a zeroed (fully transparent) bottom-up 32-bit DIB selected into a memory DC.
class CShadowSurface {
public:
    CShadowSurface() = default;
    ~CShadowSurface();
    CShadowSurface(const CShadowSurface&) = delete;
    CShadowSurface& operator=(const CShadowSurface&) = delete;

    // False when the bitmap or the DC cannot be had; nothing may be drawn then.
    [[nodiscard]] bool Create(int width, int height);
    HDC GetDC() const { return m_hDC.Get(); }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    // Row y counted from the top; premultiplied 0xAARRGGBB pixels.
    DWORD* Row(int y) const { return m_pBits + static_cast<ptrdiff_t>(m_nHeight - 1 - y) * m_nWidth; }
    DWORD Pixel(int x, int y) const { return Row(y)[x]; }

private:
    CMemDC m_hDC;
    CUniqueBitmap m_hBitmap;
    HGDIOBJ m_hOldBitmap = nullptr;
    DWORD* m_pBits = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
};

// The columns [start, end) of one row; empty when start >= end.
struct ShadowSpan {
    int start;
    int end;
};

struct ComputedShadowParams {
    int size = 0;
    int sharpness = 5;
    int darkness = 150;
    int offsetX = 0;
    int offsetY = 0;
    DWORD color = 0;  // 0x..RRGGBB; the alpha byte is not used
};

class CShadowUI {
public:
    // Status flags.
    static constexpr BYTE kActive = 1;      // the shadow window exists and follows the owner
    static constexpr BYTE kShown = 2;       // the shadow window is visible
    static constexpr BYTE kOwnerShown = 4;  // the owner is visible and neither minimised nor maximised

    static constexpr const wchar_t* kWindowClass = L"UmbraShadowWnd";
    // Shadows wider or taller than this are not drawn.
    static constexpr int kMaxExtent = 16384;

    CShadowUI() = default;
    virtual ~CShadowUI();
    CShadowUI(const CShadowUI&) = delete;
    CShadowUI& operator=(const CShadowUI&) = delete;

    // Registers the shadow window class once per process; true when it is registered.
    static bool Initialize(HINSTANCE hInstance);

    void EnableShadow(bool bShow) { m_bShowRequested = bShow; }
    bool IsShadowRequested() const { return m_bShowRequested; }
    // Each setter ignores a value outside its range; an accepted value redraws a shown shadow.
    void SetShadowSize(int n);
    void SetShadowSharpness(int n);
    void SetShadowDarkness(int n);
    void SetShadowOffset(int x, int y);
    void SetShadowColor(DWORD color);
    void SetShadowCorners(const RECT& rc);
    void SetShadowImage(const std::wstring& name);

    // Creates the shadow window for the manager's window and starts following it; called by AttachRoot.
    void CreateShadow(CUIManager* pManager) noexcept;
    // Draws the shadow for the owner's current rectangle and places the shadow window.
    void UpdateShadow(HWND hOwner) noexcept;
    // What UpdateShadow shows: the pixels for the owner's current rectangle and the screen position of the
    // shadow window. False when nothing is to be drawn (then the shadow window keeps what it showed).
    bool DrawShadow(HWND hOwner, CShadowSurface& surface, POINT& position);

    int GetSize() const { return m_nSize; }
    int GetSharpness() const { return m_nSharpness; }
    int GetDarkness() const { return m_nDarkness; }
    int GetOffsetX() const { return m_nOffsetX; }
    int GetOffsetY() const { return m_nOffsetY; }
    DWORD GetColor() const { return m_dwColor; }
    bool IsImageMode() const { return m_bImageMode; }
    const std::wstring& GetImage() const { return m_strImage; }
    const RECT& GetCorners() const { return m_rcCorners; }
    HWND GetShadowWindow() const { return m_hWnd; }
    BYTE GetStatus() const { return m_status; }
    bool IsRedrawPending() const { return m_bRedrawPending; }
    // How many times the shadow window's contents have been set.
    unsigned GetDrawCount() const { return m_nDrawCount; }
    // The shadow following an owner window, or none.
    static CShadowUI* FromOwner(HWND hOwner);

    // The eight border pieces of a nine-part image onto a transparent surface: corners 1:1, edges
    // stretched (nearest source pixel), the middle left transparent.
    static void PaintFrame(const CachedImage& image, const RECT& corners, CShadowSurface& surface);
    // The computed shadow for an owner of w x h whose outline has one span per window row.
    static void PaintComputed(const std::vector<ShadowSpan>& outline, int w, int h,
                              const ComputedShadowParams& params, CShadowSurface& surface);
    // The first and last columns of each window row inside the window's region (the whole window without one).
    static std::vector<ShadowSpan> OwnerOutline(HWND hOwner, int w, int h);

private:
    static LRESULT CALLBACK OwnerWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnOwnerMessage(HWND hOwner, UINT message, WPARAM wParam, LPARAM lParam);
    POINT PositionFor(const RECT& rcOwner) const;
    // Redraws after an accepted setting when the shadow window exists and is shown.
    void RefreshAfterChange();
    // The owner's window is going: nothing of it may be used any more.
    void ForgetOwner();
    // Stops following the owner: unhooks it when possible, else leaves the hook forwarding only.
    void ReleaseOwner();

    CUIManager* m_pManager = nullptr;
    HWND m_hWnd = nullptr;
    HWND m_hOwner = nullptr;  // the window whose procedure is hooked
    WNDPROC m_pfnOwnerProc = nullptr;
    BYTE m_status = 0;
    bool m_bImageMode = false;
    bool m_bShowRequested = false;
    BYTE m_nDarkness = 150;
    BYTE m_nSharpness = 5;
    signed char m_nSize = 0;
    signed char m_nOffsetX = 0;
    signed char m_nOffsetY = 0;
    DWORD m_dwLastOwnerSize = 0;
    bool m_bRedrawPending = false;
    DWORD m_dwColor = 0;
    std::wstring m_strImage;
    RECT m_rcCorners{};
    unsigned m_nDrawCount = 0;
    CShadowSurface m_surface;  // kept between updates of the same size
};

}  // namespace SkinUI
