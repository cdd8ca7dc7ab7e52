#include "UIShadow.h"

namespace SkinUI {

void CShadowUI::SetShadowSize(int n)
{
    if (n < -20 || n > 20) return;
    m_nSize = static_cast<signed char>(n);
    RefreshAfterChange();
}

void CShadowUI::SetShadowSharpness(int n)
{
    if (n < 0 || n > 20) return;
    m_nSharpness = static_cast<BYTE>(n);
    RefreshAfterChange();
}

void CShadowUI::SetShadowDarkness(int n)
{
    if (n < 0 || n > 255) return;
    m_nDarkness = static_cast<BYTE>(n);
    RefreshAfterChange();
}

void CShadowUI::SetShadowOffset(int x, int y)
{
    if (x < -20 || x > 20 || y < -20 || y > 20) return;
    m_nOffsetX = static_cast<signed char>(x);
    m_nOffsetY = static_cast<signed char>(y);
    RefreshAfterChange();
}

void CShadowUI::SetShadowColor(DWORD color)
{
    m_dwColor = color;
    RefreshAfterChange();
}

void CShadowUI::SetShadowCorners(const RECT& rc)
{
    if (rc.left < 0 || rc.top < 0 || rc.right < 0 || rc.bottom < 0) return;
    m_rcCorners = rc;
    RefreshAfterChange();
}

void CShadowUI::SetShadowImage(const std::wstring& name)
{
    m_strImage = name;
    m_bImageMode = true;
    RefreshAfterChange();
}

void CShadowUI::RefreshAfterChange()
{
    if (m_hWnd != nullptr && (m_status & 2) != 0) UpdateShadow(::GetParent(m_hWnd));
}

void CShadowUI::CreateShadow(CUIManager* pManager) { m_pManager = pManager; }

void CShadowUI::UpdateShadow(HWND) {}

}  // namespace SkinUI
