// The drop-shadow companion of a skinned window. For now it keeps the skin's settings; the window itself
// comes later.
#pragma once

#include <windows.h>

#include <string>

namespace SkinUI {

class CUIManager;

class CShadowUI {
public:
    CShadowUI() = default;
    virtual ~CShadowUI() = default;
    CShadowUI(const CShadowUI&) = delete;
    CShadowUI& operator=(const CShadowUI&) = delete;

    void EnableShadow(bool bShow) { m_bShowRequested = bShow; }
    bool IsShadowRequested() const { return m_bShowRequested; }
    // Each setter ignores a value outside its range.
    void SetShadowSize(int n);
    void SetShadowSharpness(int n);
    void SetShadowDarkness(int n);
    void SetShadowOffset(int x, int y);
    void SetShadowColor(DWORD color);
    void SetShadowCorners(const RECT& rc);
    void SetShadowImage(const std::wstring& name);

    void CreateShadow(CUIManager* pManager);
    void UpdateShadow(HWND hOwner);

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

private:
    // Redraws after an accepted setting when the shadow window exists and is shown.
    void RefreshAfterChange();

    CUIManager* m_pManager = nullptr;
    HWND m_hWnd = nullptr;
    BYTE m_status = 0;
    bool m_bImageMode = false;
    bool m_bShowRequested = false;
    BYTE m_nDarkness = 150;
    BYTE m_nSharpness = 5;
    signed char m_nSize = 0;
    signed char m_nOffsetX = 0;
    signed char m_nOffsetY = 0;
    DWORD m_dwColor = 0;
    std::wstring m_strImage;
    RECT m_rcCorners{};
};

}  // namespace SkinUI
