#include "UIContainer.h"

#include "UIManager.h"
#include "UIRender.h"

#include <algorithm>

namespace SkinUI {

namespace {

RECT Deflate(const RECT& rc, const RECT& by)
{
    return RECT{rc.left + by.left, rc.top + by.top, rc.right - by.right, rc.bottom - by.bottom};
}

bool Overlaps(const RECT& a, const RECT& b)
{
    RECT tmp;
    return IntersectRects(tmp, a, b);
}

int ClampSize(int v, int lo, int hi)
{
    // Minimum first, then maximum, so the maximum wins when the two conflict.
    if (v < lo) v = lo;
    if (v > hi) v = hi;
    return v;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
CScrollBarUI::CScrollBarUI(bool bHorizontal) : m_bHorizontal(bHorizontal)
{
    if (bHorizontal)
        m_cxyFixed.cy = 16;
    else
        m_cxyFixed.cx = 16;
}

const wchar_t* CScrollBarUI::GetClassName() const { return L"ScrollBarUI"; }

void* CScrollBarUI::QueryKind(const std::wstring& kind)
{
    if (kind == L"ScrollBar") return this;
    return CControlUI::QueryKind(kind);
}

void CScrollBarUI::SetScrollRange(int nRange)
{
    m_nRange = std::max(nRange, 0);
    m_nScrollPos = std::clamp(m_nScrollPos, 0, m_nRange);
}

void CScrollBarUI::SetScrollPos(int nPos) { m_nScrollPos = std::clamp(nPos, 0, m_nRange); }

// ---------------------------------------------------------------------------------------------------------
CContainerUI::~CContainerUI()
{
    // Owned children go at once: the container and its manager entry are going away.
    m_bDelayedDestroy = false;
    if (m_bAutoDestroy)
        for (CControlUI* p : m_items) delete p;
    m_items.clear();
    delete m_pVerticalScrollBar;
    delete m_pHorizontalScrollBar;
}

const wchar_t* CContainerUI::GetClassName() const { return L"ContainerUI"; }

void* CContainerUI::QueryKind(const std::wstring& kind)
{
    if (kind == L"IContainer") return static_cast<IContainerUI*>(this);
    if (kind == L"Container") return this;
    return CControlUI::QueryKind(kind);
}

CControlUI* CContainerUI::ItemAt(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_items.size())) return nullptr;
    return m_items[static_cast<size_t>(index)];
}

int CContainerUI::IndexOf(CControlUI* pControl) const
{
    auto it = std::find(m_items.begin(), m_items.end(), pControl);
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

bool CContainerUI::MoveItem(CControlUI* pControl, int newIndex)
{
    int old = IndexOf(pControl);
    if (old < 0 || newIndex < 0 || newIndex >= ItemCount()) return false;
    RequestRelayout();
    m_items.erase(m_items.begin() + old);
    m_items.insert(m_items.begin() + newIndex, pControl);
    return true;
}

int CContainerUI::ItemCount() const { return static_cast<int>(m_items.size()); }

bool CContainerUI::AddItem(CControlUI* pControl)
{
    // Not the virtual InsertItem: a derived list (the tab layout) applies its own rules once, in AddItem.
    return CContainerUI::InsertItem(pControl, ItemCount());
}

bool CContainerUI::InsertItem(CControlUI* pControl, int index)
{
    if (pControl == nullptr || index < 0 || index > ItemCount()) return false;
    if (m_pManager != nullptr) {
        pControl->Attach(m_pManager, this, true);
        m_pManager->RegisterSubtreeNames(pControl);
    }
    if (!IsVisible())
        pControl->SetParentVisible(false);
    else
        RequestRelayout();
    m_items.insert(m_items.begin() + index, pControl);
    return true;
}

void CContainerUI::DeleteChild(CControlUI* pControl)
{
    if (m_bDelayedDestroy && m_pManager != nullptr)
        m_pManager->DeferDelete(pControl);
    else
        delete pControl;
}

bool CContainerUI::RemoveItem(CControlUI* pControl)
{
    int index = IndexOf(pControl);
    if (index < 0) return false;
    RequestRelayout();
    m_items.erase(m_items.begin() + index);
    if (m_bAutoDestroy) DeleteChild(pControl);
    return true;
}

bool CContainerUI::RemoveItemAt(int index) { return RemoveItem(ItemAt(index)); }

void CContainerUI::RemoveAllItems()
{
    std::vector<CControlUI*> items;
    items.swap(m_items);
    if (m_bAutoDestroy)
        for (CControlUI* p : items) DeleteChild(p);
    RequestRelayout();
}

RECT CContainerUI::GetInset() const { return m_rcInset; }

void CContainerUI::SetInset(const RECT& rc)
{
    m_rcInset = rc;
    RequestRelayout();
}

int CContainerUI::GetChildPadding() const { return m_iChildPadding; }

void CContainerUI::SetChildPadding(int n)
{
    m_iChildPadding = n;
    RequestRelayout();
}

bool CContainerUI::OwnsChildren() const { return m_bAutoDestroy; }
void CContainerUI::SetOwnsChildren(bool b) { m_bAutoDestroy = b; }
bool CContainerUI::DefersChildDeletion() const { return m_bDelayedDestroy; }
void CContainerUI::SetDefersChildDeletion(bool b) { m_bDelayedDestroy = b; }
bool CContainerUI::ChildrenTakeMouse() const { return m_bMouseChildEnabled; }
void CContainerUI::SetChildrenTakeMouse(bool b) { m_bMouseChildEnabled = b; }
int CContainerUI::FindSelectableItem(int index, bool) const { return index; }

SIZE CContainerUI::GetScrollOffset() const
{
    return SIZE{m_pHorizontalScrollBar ? m_pHorizontalScrollBar->GetScrollPos() : 0,
                m_pVerticalScrollBar ? m_pVerticalScrollBar->GetScrollPos() : 0};
}

SIZE CContainerUI::GetScrollExtent() const
{
    return SIZE{m_pHorizontalScrollBar ? m_pHorizontalScrollBar->GetScrollRange() : 0,
                m_pVerticalScrollBar ? m_pVerticalScrollBar->GetScrollRange() : 0};
}

void CContainerUI::SetScrollOffset(SIZE szPos)
{
    int cx = 0, cy = 0;
    if (m_pVerticalScrollBar != nullptr && m_pVerticalScrollBar->IsVisible()) {
        int old = m_pVerticalScrollBar->GetScrollPos();
        m_pVerticalScrollBar->SetScrollPos(szPos.cy);
        cy = m_pVerticalScrollBar->GetScrollPos() - old;
    }
    if (m_pHorizontalScrollBar != nullptr && m_pHorizontalScrollBar->IsVisible()) {
        int old = m_pHorizontalScrollBar->GetScrollPos();
        m_pHorizontalScrollBar->SetScrollPos(szPos.cx);
        cx = m_pHorizontalScrollBar->GetScrollPos() - old;
    }
    if (cx == 0 && cy == 0) return;
    for (CControlUI* p : m_items) {
        if (!p->IsVisible() || p->IsFloat()) continue;
        RECT rc = p->GetPos();
        ::OffsetRect(&rc, -cx, -cy);
        p->SetPos(rc);
    }
    Invalidate();
}

void CContainerUI::SetScrollStep(int n)
{
    if (n > 0) m_nScrollStep = n;
}

int CContainerUI::GetScrollStep() const { return m_nScrollStep; }

int CContainerUI::LineStep() const
{
    if (m_nScrollStep != 0) return m_nScrollStep;
    int fontHeight = 0;
    if (m_pManager != nullptr) fontHeight = m_pManager->FontRecordAt(-1).tm.tmHeight;
    return 8 + fontHeight;
}

void CContainerUI::ScrollBy(int dx, int dy)
{
    SIZE sz = GetScrollOffset();
    sz.cx += dx;
    sz.cy += dy;
    SetScrollOffset(sz);
}

void CContainerUI::ScrollLineUp() { ScrollBy(0, -LineStep()); }
void CContainerUI::ScrollLineDown() { ScrollBy(0, LineStep()); }
void CContainerUI::ScrollPageUp() { ScrollBy(0, -(InnerRect().bottom - InnerRect().top)); }
void CContainerUI::ScrollPageDown() { ScrollBy(0, InnerRect().bottom - InnerRect().top); }
void CContainerUI::ScrollHome() { ScrollBy(0, -GetScrollOffset().cy); }
void CContainerUI::ScrollEnd() { ScrollBy(0, GetScrollExtent().cy - GetScrollOffset().cy); }

void CContainerUI::ScrollLineLeft() { ScrollBy(-(m_nScrollStep != 0 ? m_nScrollStep : 8), 0); }
void CContainerUI::ScrollLineRight() { ScrollBy(m_nScrollStep != 0 ? m_nScrollStep : 8, 0); }
void CContainerUI::ScrollPageLeft() { ScrollBy(-(InnerRect().right - InnerRect().left), 0); }
void CContainerUI::ScrollPageRight() { ScrollBy(InnerRect().right - InnerRect().left, 0); }
void CContainerUI::ScrollHomeLeft() { ScrollBy(-GetScrollOffset().cx, 0); }
void CContainerUI::ScrollEndRight() { ScrollBy(GetScrollExtent().cx - GetScrollOffset().cx, 0); }

void CContainerUI::ShowScrollBars(bool bVertical, bool bHorizontal)
{
    if (bVertical && m_pVerticalScrollBar == nullptr) {
        m_pVerticalScrollBar = new CScrollBarUI(false);
        m_pVerticalScrollBar->SetOwner(this);
        m_pVerticalScrollBar->Attach(m_pManager, nullptr, false);
    } else if (!bVertical && m_pVerticalScrollBar != nullptr) {
        delete m_pVerticalScrollBar;
        m_pVerticalScrollBar = nullptr;
    }
    if (bHorizontal && m_pHorizontalScrollBar == nullptr) {
        m_pHorizontalScrollBar = new CScrollBarUI(true);
        m_pHorizontalScrollBar->SetOwner(this);
        m_pHorizontalScrollBar->Attach(m_pManager, nullptr, false);
    } else if (!bHorizontal && m_pHorizontalScrollBar != nullptr) {
        delete m_pHorizontalScrollBar;
        m_pHorizontalScrollBar = nullptr;
    }
    RequestRelayout();
}

CScrollBarUI* CContainerUI::VerticalScrollBar() const { return m_pVerticalScrollBar; }
CScrollBarUI* CContainerUI::HorizontalScrollBar() const { return m_pHorizontalScrollBar; }

void CContainerUI::PlaceFloatingChild(CControlUI* pControl)
{
    const RECT& P = m_rcItem;
    SIZE o = pControl->GetFloatOffset();
    int w = pControl->GetFixedWidth();
    int h = pControl->GetFixedHeight();
    RECT rc;
    if (o.cx >= 0) {
        rc.left = P.left + o.cx;
        rc.right = rc.left + w;
    } else {
        rc.right = P.right + o.cx;
        rc.left = rc.right - w;
    }
    if (o.cy >= 0) {
        rc.top = P.top + o.cy;
        rc.bottom = rc.top + h;
    } else {
        rc.bottom = P.bottom + o.cy;
        rc.top = rc.bottom - h;
    }
    if (pControl->HasRelativeAnchor()) {
        RelativeAnchor a = pControl->GetRelativeAnchor();
        int pw = P.right - P.left;
        int ph = P.bottom - P.top;
        if (a.szParent.cx != 0) {
            int dw = pw - a.szParent.cx;
            int dh = ph - a.szParent.cy;
            rc.left += a.nMoveX * dw / 100;
            rc.top += a.nMoveY * dh / 100;
            rc.right = rc.left + w + a.nZoomX * dw / 100;
            rc.bottom = rc.top + h + a.nZoomY * dh / 100;
        }
        pControl->SetAnchorParentSize(pw, ph);
    }
    pControl->SetPos(rc);
}

void CContainerUI::UpdateScrollBars(RECT rc, int cxNeeded, int cyNeeded)
{
    (void)cxNeeded;  // the horizontal layout sets the horizontal range itself
    if (m_pHorizontalScrollBar != nullptr && m_pHorizontalScrollBar->IsVisible()) {
        m_pHorizontalScrollBar->SetPos(
            RECT{rc.left, rc.bottom, rc.right, rc.bottom + m_pHorizontalScrollBar->GetFixedHeight()});
    }
    if (m_pVerticalScrollBar == nullptr) return;
    const int height = rc.bottom - rc.top;
    if (cyNeeded > height && !m_pVerticalScrollBar->IsVisible()) {
        m_pVerticalScrollBar->SetVisible(true);
        m_pVerticalScrollBar->SetScrollRange(cyNeeded - height);
        m_bScrollProcess = true;
        SetPos(m_rcItem);
        m_bScrollProcess = false;
        return;
    }
    if (!m_pVerticalScrollBar->IsVisible()) return;
    if (cyNeeded > height || m_bScrollProcess) {
        m_pVerticalScrollBar->SetPos(
            RECT{rc.right, rc.top, rc.right + m_pVerticalScrollBar->GetFixedWidth(), rc.bottom});
        int range = cyNeeded - height;
        if (m_pVerticalScrollBar->GetScrollRange() == range) return;
        int oldPos = m_pVerticalScrollBar->GetScrollPos();
        m_pVerticalScrollBar->SetScrollRange(range < 0 ? -range : range);
        if (m_pVerticalScrollBar->GetScrollRange() == 0) {
            m_pVerticalScrollBar->SetVisible(false);
            m_pVerticalScrollBar->SetScrollPos(0);
        }
        if (m_pVerticalScrollBar->GetScrollPos() < oldPos) SetPos(m_rcItem);
        return;
    }
    m_pVerticalScrollBar->SetVisible(false);
    m_pVerticalScrollBar->SetScrollPos(0);
    m_pVerticalScrollBar->SetScrollRange(0);
    SetPos(m_rcItem);
}

void CContainerUI::Attach(CUIManager* pManager, CControlUI* pParent, bool bInit)
{
    for (CControlUI* p : m_items) p->Attach(pManager, this, bInit);
    if (m_pVerticalScrollBar != nullptr) m_pVerticalScrollBar->Attach(pManager, this, bInit);
    if (m_pHorizontalScrollBar != nullptr) m_pHorizontalScrollBar->Attach(pManager, this, bInit);
    CControlUI::Attach(pManager, pParent, bInit);
}

void CContainerUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    RECT inner = Deflate(m_rcItem, m_rcInset);
    for (CControlUI* p : m_items) {
        if (!p->IsVisible()) continue;
        if (p->IsFloat())
            PlaceFloatingChild(p);
        else
            p->SetPos(inner);
    }
}

void CContainerUI::SetVisible(bool bVisible)
{
    if (m_bVisible == bVisible) return;
    CControlUI::SetVisible(bVisible);
    for (CControlUI* p : m_items) p->SetParentVisible(IsVisible());
}

void CContainerUI::SetParentVisible(bool bVisible)
{
    CControlUI::SetParentVisible(bVisible);
    for (CControlUI* p : m_items) p->SetParentVisible(IsVisible());
}

void CContainerUI::SetEnabled(bool bEnable)
{
    if (m_bEnabled == bEnable) return;
    m_bEnabled = bEnable;
    for (CControlUI* p : m_items) p->SetEnabled(bEnable);
    Invalidate();
}

void CContainerUI::SetMouseEnabled(bool bEnable)
{
    if (m_pVerticalScrollBar != nullptr) m_pVerticalScrollBar->SetMouseEnabled(bEnable);
    if (m_pHorizontalScrollBar != nullptr) m_pHorizontalScrollBar->SetMouseEnabled(bEnable);
    CControlUI::SetMouseEnabled(bEnable);
}

RECT CContainerUI::InnerRect() const
{
    RECT rc = Deflate(m_rcItem, m_rcInset);
    if (m_pVerticalScrollBar != nullptr && m_pVerticalScrollBar->IsVisible())
        rc.right -= m_pVerticalScrollBar->GetFixedWidth();
    if (m_pHorizontalScrollBar != nullptr && m_pHorizontalScrollBar->IsVisible())
        rc.bottom -= m_pHorizontalScrollBar->GetFixedHeight();
    return rc;
}

CControlUI* CContainerUI::FindByPredicate(FindPredicate pred, void* pData, UINT uFlags)
{
    if ((uFlags & UIFIND_VISIBLE) != 0 && !IsVisible()) return nullptr;
    if ((uFlags & UIFIND_ENABLED) != 0 && !IsEnabled()) return nullptr;
    const bool hitTest = (uFlags & UIFIND_HITTEST) != 0;
    const POINT* pt = static_cast<const POINT*>(pData);
    if (hitTest && !::PtInRect(&m_rcItem, *pt)) return nullptr;

    CControlUI* pResult = nullptr;
    if (m_pVerticalScrollBar != nullptr) pResult = m_pVerticalScrollBar->FindByPredicate(pred, pData, uFlags);
    if (pResult == nullptr && m_pHorizontalScrollBar != nullptr)
        pResult = m_pHorizontalScrollBar->FindByPredicate(pred, pData, uFlags);
    if (pResult != nullptr) return pResult;
    if (hitTest && !m_bMouseChildEnabled) return CControlUI::FindByPredicate(pred, pData, uFlags);

    if ((uFlags & UIFIND_ME_FIRST) != 0) {
        pResult = CControlUI::FindByPredicate(pred, pData, uFlags);
        if (pResult != nullptr) return pResult;
    }
    const RECT inner = InnerRect();
    // Index-based walk: a predicate may not change the list, but copying keeps a misbehaving one harmless.
    std::vector<CControlUI*> items = m_items;
    const bool topFirst = (uFlags & UIFIND_TOP_FIRST) != 0;
    for (size_t i = 0; i < items.size(); ++i) {
        CControlUI* child = items[topFirst ? items.size() - 1 - i : i];
        pResult = child->FindByPredicate(pred, pData, uFlags);
        if (pResult == nullptr) continue;
        if (!hitTest) return pResult;
        if (pResult->IsFloat() || ::PtInRect(&inner, *pt)) return pResult;
    }
    if ((uFlags & UIFIND_ME_FIRST) == 0) return CControlUI::FindByPredicate(pred, pData, uFlags);
    return nullptr;
}

void CContainerUI::HandleEvent(UIEvent& event)
{
    if (!IsMouseEnabled() && IsMouseEvent(event.type)) {
        if (m_pParent != nullptr)
            m_pParent->HandleEvent(event);
        else
            CControlUI::HandleEvent(event);
        return;
    }
    if (event.type == EV_SETFOCUS) {
        m_bFocused = true;
        return;
    }
    if (event.type == EV_KILLFOCUS) {
        m_bFocused = false;
        return;
    }
    if (m_pVerticalScrollBar != nullptr && m_pVerticalScrollBar->IsVisible() && m_pVerticalScrollBar->IsEnabled()) {
        if (event.type == EV_KEYDOWN) {
            switch (event.key) {
            case VK_PRIOR: ScrollPageUp(); return;
            case VK_NEXT: ScrollPageDown(); return;
            case VK_END: ScrollEnd(); return;
            case VK_HOME: ScrollHome(); return;
            case VK_UP: ScrollLineUp(); return;
            case VK_DOWN: ScrollLineDown(); return;
            default: break;
            }
        } else if (event.type == EV_SCROLLWHEEL) {
            if (event.wParam == SB_LINEUP) {
                ScrollLineUp();
                return;
            }
            if (event.wParam == SB_LINEDOWN) {
                ScrollLineDown();
                return;
            }
        }
    } else if (m_pHorizontalScrollBar != nullptr && m_pHorizontalScrollBar->IsVisible() &&
               m_pHorizontalScrollBar->IsEnabled()) {
        if (event.type == EV_KEYDOWN) {
            switch (event.key) {
            case VK_PRIOR: ScrollPageLeft(); return;
            case VK_NEXT: ScrollPageRight(); return;
            case VK_END: ScrollEndRight(); return;
            case VK_HOME: ScrollHomeLeft(); return;
            case VK_LEFT: ScrollLineLeft(); return;
            case VK_RIGHT: ScrollLineRight(); return;
            default: break;
            }
        } else if (event.type == EV_SCROLLWHEEL) {
            if (event.wParam == SB_LINEUP) {
                ScrollLineLeft();
                return;
            }
            if (event.wParam == SB_LINEDOWN) {
                ScrollLineRight();
                return;
            }
        }
    }
    CControlUI::HandleEvent(event);
}

void CContainerUI::ApplyAttribute(const std::wstring& name, const std::wstring& value)
{
    const wchar_t* v = value.c_str();
    if (name == L"inset") {
        SetInset(ParseRect(v));
    } else if (name == L"mousechild") {
        SetChildrenTakeMouse(ParseBool(v));
    } else if (name == L"vscrollbar") {
        ShowScrollBars(ParseBool(v), m_pHorizontalScrollBar != nullptr);
    } else if (name == L"vscrollbarstyle") {
        ShowScrollBars(true, m_pHorizontalScrollBar != nullptr);
        m_pVerticalScrollBar->ApplyAttributeString(value);
    } else if (name == L"hscrollbar") {
        ShowScrollBars(m_pVerticalScrollBar != nullptr, ParseBool(v));
    } else if (name == L"hscrollbarstyle") {
        ShowScrollBars(m_pVerticalScrollBar != nullptr, true);
        m_pHorizontalScrollBar->ApplyAttributeString(value);
    } else if (name == L"childpadding") {
        SetChildPadding(ParseInt(v));
    } else if (name == L"scrollstepsize") {
        SetScrollStep(ParseInt(v));
    } else {
        CControlUI::ApplyAttribute(name, value);
    }
}

int CContainerUI::CoveringChild(const RECT& rc)
{
    if (m_pManager == nullptr || m_pManager->IsPerPixelTransparent()) return -1;
    const RECT inner = InnerRect();
    const bool insideInner = RectHolds(inner, rc);
    for (size_t i = m_items.size(); i-- > 0;) {
        CControlUI* p = m_items[i];
        // A child in the padding is clipped away there, so it covers only what lies inside.
        if (!p->IsFloat() && !insideInner) continue;
        if (p->CoversOpaquely(rc)) return static_cast<int>(i);
    }
    return -1;
}

CControlUI* CContainerUI::FindOpaqueBase(const RECT& rc, std::vector<RECT>& above)
{
    if (!IsVisible() || RectIsEmpty(rc) || !RectHolds(m_rcItem, rc)) return nullptr;
    // Borders and scroll bars draw over what lies beneath; rounded corners cut it.
    const RECT& b = m_rcBorderSize;
    if (m_nBorderSize != 0 || b.left != 0 || b.top != 0 || b.right != 0 || b.bottom != 0 ||
        m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0 || m_pVerticalScrollBar != nullptr ||
        m_pHorizontalScrollBar != nullptr)
        return nullptr;
    // As Paint draws: the children before the covering one are left out, those after it are drawn over it,
    // each within its own rectangle (a container clips what it holds to itself).
    const int covering = m_items.empty() ? -1 : CoveringChild(rc);
    for (size_t i = covering < 0 ? 0 : static_cast<size_t>(covering) + 1; i < m_items.size(); ++i) {
        RECT part;
        if (m_items[i]->IsVisible() && IntersectRects(part, rc, m_items[i]->GetPos())) above.push_back(part);
    }
    if (covering >= 0) return m_items[static_cast<size_t>(covering)]->FindOpaqueBase(rc, above);
    if (!CControlUI::CoversOpaquely(rc)) return nullptr;
    // The background is drawn once through the window's clip and once through the off-screen surface's, in
    // pieces: a stretched picture could round differently at the pieces' edges, a colour or a picture at
    // its own size cannot.
    if (!m_strBkImage.empty() && !CRenderKit::ImageSpecUnscaled(m_pManager, m_rcItem, m_strBkImage)) return nullptr;
    return this;
}

bool CContainerUI::CoversOpaquely(const RECT& rc)
{
    if (CControlUI::CoversOpaquely(rc)) return true;
    if (!IsVisible() || RectIsEmpty(rc) || !RectHolds(m_rcItem, rc))
        return false;
    return CoveringChild(rc) >= 0;
}

void CContainerUI::Paint(HDC hDC, const RECT& rcPaint)
{
    RECT rcTemp;
    if (!IntersectRects(rcTemp, rcPaint, m_rcItem)) return;
    CClipScope clip(hDC, rcTemp);
    // Whatever lies under a child that paints all of the area opaquely would be painted over: this
    // container's own background and the children before that one are left out.
    const int covering = m_items.empty() ? -1 : CoveringChild(rcTemp);
    const size_t first = covering < 0 ? 0 : static_cast<size_t>(covering);
    if (covering < 0) CControlUI::Paint(hDC, rcPaint);

    if (!m_items.empty()) {
        const RECT inner = InnerRect();
        RECT rcInnerPaint;
        if (IntersectRects(rcInnerPaint, rcPaint, inner)) {
            CClipScope childClip(hDC, rcInnerPaint);
            for (size_t i = first; i < m_items.size(); ++i) {
                CControlUI* p = m_items[i];
                if (!p->IsVisible() || !Overlaps(rcPaint, p->GetPos())) continue;
                if (p->IsFloat()) {
                    // A floating child is clipped by this container's box, not by its padding.
                    if (!Overlaps(m_rcItem, p->GetPos())) continue;
                    childClip.Suspend();
                    p->Paint(hDC, rcPaint);
                    childClip.Resume();
                } else {
                    if (!Overlaps(inner, p->GetPos())) continue;
                    p->Paint(hDC, rcPaint);
                }
            }
        } else {
            for (size_t i = first; i < m_items.size(); ++i) {
                CControlUI* p = m_items[i];
                if (!p->IsVisible() || !p->IsFloat()) continue;
                if (!Overlaps(rcPaint, p->GetPos()) || !Overlaps(m_rcItem, p->GetPos())) continue;
                p->Paint(hDC, rcPaint);
            }
        }
    }
    if (m_pVerticalScrollBar != nullptr && m_pVerticalScrollBar->IsVisible() &&
        Overlaps(rcPaint, m_pVerticalScrollBar->GetPos()))
        m_pVerticalScrollBar->Paint(hDC, rcPaint);
    if (m_pHorizontalScrollBar != nullptr && m_pHorizontalScrollBar->IsVisible() &&
        Overlaps(rcPaint, m_pHorizontalScrollBar->GetPos()))
        m_pHorizontalScrollBar->Paint(hDC, rcPaint);
}

// ---------------------------------------------------------------------------------------------------------
UINT CStackLayoutUI::GetInputFlags()
{
    if (IsEnabled() && m_iSepSize != 0) return UIFLAG_SETCURSOR;
    return CContainerUI::GetInputFlags();
}

void CStackLayoutUI::SetSepImmediate(bool b)
{
    if (m_bImmMode == b) return;
    // A drag in progress must not keep an overlay registration that the new mode no longer removes.
    if ((m_uButtonState & 0x40) != 0 && !m_bImmMode && m_pManager != nullptr) m_pManager->RemovePostPaintControl(this);
    m_bImmMode = b;
}

RECT CStackLayoutUI::SeparatorRect(bool bUseNew) const
{
    RECT rc = ((m_uButtonState & 0x40) != 0 && bUseNew) ? m_rcNewPos : m_rcItem;
    if (m_bVertical) {
        if (m_iSepSize >= 0) return RECT{rc.left, std::max(rc.bottom - m_iSepSize, rc.top), rc.right, rc.bottom};
        return RECT{rc.left, rc.top, rc.right, std::min(rc.top - m_iSepSize, rc.bottom)};
    }
    if (m_iSepSize >= 0) return RECT{std::max(rc.right - m_iSepSize, rc.left), rc.top, rc.right, rc.bottom};
    return RECT{rc.left, rc.top, std::min(rc.left - m_iSepSize, rc.right), rc.bottom};
}

void CStackLayoutUI::HandleEvent(UIEvent& event)
{
    if (m_iSepSize != 0) {
        if (event.type == EV_BUTTONDOWN && IsEnabled()) {
            RECT rcSep = SeparatorRect(false);
            if (::PtInRect(&rcSep, event.ptMouse)) {
                m_uButtonState |= 0x40;
                m_ptLastMouse = event.ptMouse;
                m_rcNewPos = m_rcItem;
                if (!m_bImmMode && m_pManager != nullptr) m_pManager->AddPostPaintControl(this);
                return;
            }
        }
        if (event.type == EV_BUTTONUP && (m_uButtonState & 0x40) != 0) {
            m_uButtonState &= ~0x40u;
            m_rcItem = m_rcNewPos;
            if (!m_bImmMode && m_pManager != nullptr) m_pManager->RemovePostPaintControl(this);
            RequestParentRelayout();
            return;
        }
        if (event.type == EV_MOUSEMOVE && (m_uButtonState & 0x40) != 0) {
            const int n = m_iSepSize;
            const LONG pos = m_bVertical ? event.ptMouse.y : event.ptMouse.x;
            const LONG delta = m_bVertical ? event.ptMouse.y - m_ptLastMouse.y : event.ptMouse.x - m_ptLastMouse.x;
            m_ptLastMouse = event.ptMouse;
            RECT rc = m_rcNewPos;
            LONG& nearEdge = m_bVertical ? rc.top : rc.left;
            LONG& farEdge = m_bVertical ? rc.bottom : rc.right;
            const LONG newNear = m_bVertical ? m_rcNewPos.top : m_rcNewPos.left;
            const LONG newFar = m_bVertical ? m_rcNewPos.bottom : m_rcNewPos.right;
            const int minSize = m_bVertical ? GetMinHeight() : GetMinWidth();
            const int maxSize = m_bVertical ? GetMaxHeight() : GetMaxWidth();
            const LONG curSize = newFar - newNear;
            if (n > 0) {
                if (delta > 0 && pos < newFar + n) return;
                if (delta < 0 && pos > newFar) return;
                farEdge += delta;
                if (farEdge - nearEdge <= minSize) {
                    if (curSize <= minSize) return;
                    farEdge = nearEdge + minSize;
                }
                if (farEdge - nearEdge >= maxSize) {
                    if (curSize >= maxSize) return;
                    farEdge = nearEdge + maxSize;
                }
            } else {
                if (delta > 0 && pos < newNear) return;
                if (delta < 0 && pos > newNear - n) return;
                nearEdge += delta;
                if (farEdge - nearEdge <= minSize) {
                    if (curSize <= minSize) return;
                    nearEdge = farEdge - minSize;
                }
                if (farEdge - nearEdge >= maxSize) {
                    if (curSize >= maxSize) return;
                    nearEdge = farEdge - maxSize;
                }
            }
            RECT rcInvalidate = SeparatorRect(true);
            m_rcNewPos = rc;
            if (m_bVertical)
                m_cxyFixed.cy = rc.bottom - rc.top;
            else
                m_cxyFixed.cx = rc.right - rc.left;
            if (m_bImmMode) {
                m_rcItem = m_rcNewPos;
                RequestParentRelayout();
            } else if (m_pManager != nullptr) {
                RECT rcNew = SeparatorRect(true);
                ::UnionRect(&rcInvalidate, &rcInvalidate, &rcNew);
                m_pManager->InvalidateArea(rcInvalidate);
            }
            return;
        }
        if (event.type == EV_SETCURSOR) {
            RECT rcSep = SeparatorRect(false);
            if (IsEnabled() && ::PtInRect(&rcSep, event.ptMouse)) {
                ::SetCursor(::LoadCursorW(nullptr, m_bVertical ? IDC_SIZENS : IDC_SIZEWE));
                return;
            }
        }
    }
    CContainerUI::HandleEvent(event);
}

void CStackLayoutUI::ApplyAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name == (m_bVertical ? L"sepheight" : L"sepwidth"))
        SetSepSize(ParseInt(value.c_str()));
    else if (name == L"sepimm")
        SetSepImmediate(ParseBool(value.c_str()));
    else
        CContainerUI::ApplyAttribute(name, value);
}

void CStackLayoutUI::PaintOverlay(HDC hDC, const RECT&)
{
    if ((m_uButtonState & 0x40) == 0 || m_bImmMode) return;
    CRenderKit::FillColor(hDC, SeparatorRect(true), 0xAA000000);
}

// ---------------------------------------------------------------------------------------------------------
// The area that stacked children share: the item rectangle inside the inset, less the visible scroll bars;
// avail widens by the horizontal bar's range, so content may be wider than the area.
RECT CStackLayoutUI::StackingArea(SIZE& avail, bool& vbar, bool& hbar) const
{
    RECT rc = Deflate(m_rcItem, m_rcInset);
    vbar = m_pVerticalScrollBar != nullptr && m_pVerticalScrollBar->IsVisible();
    hbar = m_pHorizontalScrollBar != nullptr && m_pHorizontalScrollBar->IsVisible();
    if (vbar) rc.right -= m_pVerticalScrollBar->GetFixedWidth();
    if (hbar) rc.bottom -= m_pHorizontalScrollBar->GetFixedHeight();
    avail = SIZE{rc.right - rc.left, rc.bottom - rc.top};
    if (hbar) avail.cx += m_pHorizontalScrollBar->GetScrollRange();
    return rc;
}

// The first stacking pass: children without a size along the axis share what the others and the child
// padding leave, by integer division (the remainder stays empty). measured counts the children stacked.
int CStackLayoutUI::StretchExtent(SIZE avail, int& measured) const
{
    int adjustables = 0, fixed = 0;
    measured = 0;
    for (CControlUI* p : m_items) {
        if (!p->IsVisible() || p->IsFloat()) continue;
        const SIZE sz = p->MeasureSize(avail);
        const RECT pad = p->GetPadding();
        int extent = m_bVertical ? sz.cy : sz.cx;
        if (extent == 0)
            ++adjustables;
        else if (m_bVertical)
            extent = ClampSize(extent, p->GetMinHeight(), p->GetMaxHeight());
        else
            extent = ClampSize(extent, p->GetMinWidth(), p->GetMaxWidth());
        fixed += extent + (m_bVertical ? pad.top + pad.bottom : pad.left + pad.right);
        ++measured;
    }
    if (adjustables == 0) return 0;
    fixed += m_iChildPadding * (measured - 1);
    const int space = static_cast<int>(m_bVertical ? avail.cy : avail.cx);
    return std::max(0, (space - fixed) / adjustables);
}

const wchar_t* CVerticalLayoutUI::GetClassName() const { return L"VerticalLayoutUI"; }

void* CVerticalLayoutUI::QueryKind(const std::wstring& kind)
{
    if (kind == L"VerticalLayout") return this;
    return CContainerUI::QueryKind(kind);
}

void CVerticalLayoutUI::SetPos(RECT rcPos)
{
    CControlUI::SetPos(rcPos);
    bool vbar = false, hbar = false;
    SIZE avail{};
    const RECT rc = StackingArea(avail, vbar, hbar);
    if (m_items.empty()) {
        UpdateScrollBars(rc, 0, 0);
        return;
    }

    int measured = 0;
    const int cyExpand = StretchExtent(avail, measured);

    int y = rc.top - (vbar ? m_pVerticalScrollBar->GetScrollPos() : 0);
    const int x = rc.left - (hbar ? m_pHorizontalScrollBar->GetScrollPos() : 0);
    int cyNeeded = 0;
    int cyRemaining = avail.cy;
    // A copy: placing a child runs its size callbacks, which may change this list.
    std::vector<CControlUI*> items = m_items;
    for (CControlUI* p : items) {
        if (!p->IsVisible()) continue;
        if (p->IsFloat()) {
            PlaceFloatingChild(p);
            continue;
        }
        RECT pad = p->GetPadding();
        cyRemaining -= pad.top;
        SIZE sz = p->MeasureSize(SIZE{avail.cx, cyRemaining});
        if (sz.cy == 0) sz.cy = cyExpand;
        sz.cy = ClampSize(sz.cy, p->GetMinHeight(), p->GetMaxHeight());
        int cx = p->GetFixedWidth();
        if (cx == 0) cx = avail.cx - pad.left - pad.right;
        if (cx < 0) cx = 0;
        cx = ClampSize(cx, p->GetMinWidth(), p->GetMaxWidth());
        p->SetPos(RECT{x + pad.left, y + pad.top, x + pad.left + cx, y + pad.top + sz.cy});
        y += pad.top + sz.cy + pad.bottom + m_iChildPadding;
        cyNeeded += pad.top + sz.cy + pad.bottom;
        cyRemaining -= sz.cy + pad.bottom + m_iChildPadding;
    }
    cyNeeded += m_iChildPadding * (measured - 1);
    UpdateScrollBars(rc, 0, cyNeeded);
}

const wchar_t* CHorizontalLayoutUI::GetClassName() const { return L"HorizontalLayoutUI"; }

void* CHorizontalLayoutUI::QueryKind(const std::wstring& kind)
{
    if (kind == L"HorizontalLayout") return this;
    return CContainerUI::QueryKind(kind);
}

void CHorizontalLayoutUI::SetPos(RECT rcPos)
{
    CControlUI::SetPos(rcPos);
    bool vbar = false, hbar = false;
    SIZE avail{};
    RECT rc = StackingArea(avail, vbar, hbar);
    if (m_items.empty()) {
        UpdateScrollBars(rc, 0, 0);
        return;
    }

    int measured = 0;
    const int cxExpand = StretchExtent(avail, measured);

    int x = rc.left - (hbar ? m_pHorizontalScrollBar->GetScrollPos() : 0);
    int cxNeeded = 0;
    int cxRemaining = avail.cx;
    std::vector<CControlUI*> items = m_items;
    for (CControlUI* p : items) {
        if (!p->IsVisible()) continue;
        if (p->IsFloat()) {
            PlaceFloatingChild(p);
            continue;
        }
        RECT pad = p->GetPadding();
        cxRemaining -= pad.left;
        SIZE sz = p->MeasureSize(SIZE{cxRemaining, avail.cy});
        if (sz.cx == 0) sz.cx = cxExpand;
        sz.cx = ClampSize(sz.cx, p->GetMinWidth(), p->GetMaxWidth());
        int cy = p->GetFixedHeight();
        if (cy == 0) cy = (rc.bottom - rc.top) - pad.top - pad.bottom;
        if (cy < 0) cy = 0;
        cy = ClampSize(cy, p->GetMinHeight(), p->GetMaxHeight());
        p->SetPos(RECT{x + pad.left, rc.top + pad.top, x + pad.left + sz.cx, rc.top + pad.top + cy});
        x += pad.left + sz.cx + pad.right + m_iChildPadding;
        cxNeeded += pad.left + sz.cx + pad.right;
        cxRemaining -= sz.cx + pad.right + m_iChildPadding;
    }
    cxNeeded += m_iChildPadding * (measured - 1);
    if (m_pHorizontalScrollBar != nullptr) {
        const int width = rc.right - rc.left;
        if (cxNeeded > width) {
            if (!m_pHorizontalScrollBar->IsVisible()) {
                m_pHorizontalScrollBar->SetVisible(true);
                m_pHorizontalScrollBar->SetScrollPos(0);
            }
            m_pHorizontalScrollBar->SetScrollRange(cxNeeded - width);
            rc.bottom -= m_pHorizontalScrollBar->GetFixedHeight();
        } else if (m_pHorizontalScrollBar->IsVisible()) {
            m_pHorizontalScrollBar->SetVisible(false);
            m_pHorizontalScrollBar->SetScrollRange(0);
            m_pHorizontalScrollBar->SetScrollPos(0);
            rc.bottom += m_pHorizontalScrollBar->GetFixedHeight();
        }
    }
    UpdateScrollBars(rc, cxNeeded, 0);
}

// ---------------------------------------------------------------------------------------------------------
const wchar_t* CTabLayoutUI::GetClassName() const { return L"TabLayoutUI"; }

void* CTabLayoutUI::QueryKind(const std::wstring& kind)
{
    if (kind == L"TabLayout") return this;
    return CContainerUI::QueryKind(kind);
}

int CTabLayoutUI::GetSelectedIndex() const { return m_iCurSel; }

bool CTabLayoutUI::AddItem(CControlUI* pControl)
{
    if (!CContainerUI::AddItem(pControl)) return false;
    if (m_iCurSel == -1 && pControl->IsVisible())
        m_iCurSel = IndexOf(pControl);
    else
        pControl->SetVisible(false);
    return true;
}

bool CTabLayoutUI::InsertItem(CControlUI* pControl, int index)
{
    if (!CContainerUI::InsertItem(pControl, index)) return false;
    if (m_iCurSel == -1 && pControl->IsVisible()) {
        m_iCurSel = IndexOf(pControl);
    } else if (m_iCurSel != -1 && index <= m_iCurSel) {
        ++m_iCurSel;
        // Only the selected page may show: a visible page inserted in front of it would otherwise stay
        // visible without ever being laid out.
        pControl->SetVisible(false);
    } else {
        pControl->SetVisible(false);
    }
    return true;
}

bool CTabLayoutUI::RemoveItem(CControlUI* pControl)
{
    if (pControl == nullptr) return false;
    int index = IndexOf(pControl);
    if (!CContainerUI::RemoveItem(pControl)) return false;
    if (m_iCurSel == index) {
        if (ItemCount() > 0) {
            m_iCurSel = 0;
            ItemAt(0)->SetVisible(true);
        } else {
            m_iCurSel = -1;
        }
        RequestParentRelayout();
    } else if (m_iCurSel > index) {
        --m_iCurSel;
    }
    return true;
}

void CTabLayoutUI::RemoveAllItems()
{
    m_iCurSel = -1;
    CContainerUI::RemoveAllItems();
    RequestParentRelayout();
}

bool CTabLayoutUI::SelectPage(int index)
{
    if (index < 0 || index >= ItemCount()) return false;
    if (index == m_iCurSel) return true;
    int old = m_iCurSel;
    m_iCurSel = index;
    for (int i = 0; i < ItemCount(); ++i) {
        CControlUI* p = ItemAt(i);
        if (i == index) {
            p->SetVisible(true);
            p->SetFocus();
            SetPos(m_rcItem);
        } else {
            p->SetVisible(false);
        }
    }
    RequestParentRelayout();
    if (m_pManager != nullptr) {
        m_pManager->MoveFocusByTab(true);
        m_pManager->SendNotification(this, L"tabselect", static_cast<WPARAM>(m_iCurSel), static_cast<LPARAM>(old));
    }
    return true;
}

bool CTabLayoutUI::SelectPage(CControlUI* pControl)
{
    int index = IndexOf(pControl);
    if (index < 0) return false;
    return SelectPage(index);
}

void CTabLayoutUI::SetPos(RECT rcPos)
{
    CControlUI::SetPos(rcPos);
    RECT rc = Deflate(m_rcItem, m_rcInset);
    std::vector<CControlUI*> items = m_items;
    for (size_t i = 0; i < items.size(); ++i) {
        CControlUI* p = items[i];
        if (!p->IsVisible()) continue;
        if (p->IsFloat()) {
            PlaceFloatingChild(p);
            continue;
        }
        if (static_cast<int>(i) != m_iCurSel) continue;
        RECT pad = p->GetPadding();
        RECT r = Deflate(rc, pad);
        SIZE avail{r.right - r.left, r.bottom - r.top};
        SIZE sz = p->MeasureSize(avail);
        int cx = sz.cx != 0 ? sz.cx : std::max<LONG>(0, avail.cx);
        cx = ClampSize(cx, p->GetMinWidth(), p->GetMaxWidth());
        int cy = sz.cy != 0 ? sz.cy : std::max<LONG>(0, avail.cy);
        cy = ClampSize(cy, p->GetMinHeight(), p->GetMaxHeight());
        p->SetPos(RECT{r.left, r.top, r.left + cx, r.top + cy});
    }
}

void CTabLayoutUI::ApplyAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name == L"selectedid")
        SelectPage(ParseInt(value.c_str()));
    else
        CContainerUI::ApplyAttribute(name, value);
}

}  // namespace SkinUI
