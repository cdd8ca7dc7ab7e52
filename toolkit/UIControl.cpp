#include "UIControl.h"

#include "UIManager.h"
#include "UIRender.h"

#include <algorithm>

namespace SkinUI {

namespace {

COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }

// Outline drawn inside the rectangle, no fill; rounded when cx or cy is positive.
void DrawOutline(HDC hDC, const RECT& rc, int width, DWORD argb, int cx = 0, int cy = 0)
{
    CUniquePen pen(::CreatePen(PS_SOLID | PS_INSIDEFRAME, width, ToColorRef(argb)));
    HGDIOBJ oldPen = ::SelectObject(hDC, pen.Get());
    HGDIOBJ oldBrush = ::SelectObject(hDC, ::GetStockObject(HOLLOW_BRUSH));
    if (cx > 0 || cy > 0)
        ::RoundRect(hDC, rc.left, rc.top, rc.right, rc.bottom, cx, cy);
    else
        ::Rectangle(hDC, rc.left, rc.top, rc.right, rc.bottom);
    ::SelectObject(hDC, oldBrush);
    ::SelectObject(hDC, oldPen);
}

// Clips an area by every ancestor's rectangle; false when nothing is left.
bool ClipByAncestors(const CControlUI* pControl, RECT& rc)
{
    for (CControlUI* p = pControl->GetParent(); p != nullptr; p = p->GetParent()) {
        RECT tmp;
        if (!IntersectRects(tmp, rc, p->GetPos())) return false;
        rc = tmp;
    }
    return true;
}

}  // namespace

CControlUI::~CControlUI()
{
    OnDestroy.Fire(this);
    if (m_pManager != nullptr) m_pManager->ForgetControl(this);
}

std::wstring CControlUI::GetName() const { return m_strName; }
void CControlUI::SetName(const std::wstring& name) { m_strName = name; }
const wchar_t* CControlUI::GetClassName() const { return L"ControlUI"; }

void* CControlUI::QueryKind(const std::wstring& kind)
{
    if (kind == L"Control") return this;
    return nullptr;
}

UINT CControlUI::GetInputFlags() { return 0; }

bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }

CUIManager* CControlUI::GetManager() const { return m_pManager; }

void CControlUI::Attach(CUIManager* pManager, CControlUI* pParent, bool bInit)
{
    m_pManager = pManager;
    m_pParent = pParent;
    if (bInit && m_pParent != nullptr) Initialize();
}

CControlUI* CControlUI::GetParent() const { return m_pParent; }
std::wstring CControlUI::GetText() const { return m_strText; }

void CControlUI::SetText(const std::wstring& text)
{
    if (m_strText == text) return;
    m_strText = text;
    Invalidate();
}

const RECT& CControlUI::GetPos() const { return m_rcItem; }

void CControlUI::SetPos(RECT rc)
{
    rc.right = std::max(rc.right, rc.left);
    rc.bottom = std::max(rc.bottom, rc.top);
    RECT invalidate = RectIsEmpty(m_rcItem) ? rc : m_rcItem;
    ::UnionRect(&invalidate, &invalidate, &rc);
    m_rcItem = rc;
    if (m_pManager == nullptr) return;

    if (!m_bSetPos) {
        m_bSetPos = true;
        OnSize.Fire(this);
        m_bSetPos = false;
    }

    if (m_bFloat && m_pParent != nullptr) {
        const RECT& rcParent = m_pParent->GetPos();
        m_cXY.cx = m_cXY.cx < 0 ? m_rcItem.right - rcParent.right : m_rcItem.left - rcParent.left;
        m_cXY.cy = m_cXY.cy < 0 ? m_rcItem.bottom - rcParent.bottom : m_rcItem.top - rcParent.top;
        m_cxyFixed.cx = m_rcItem.right - m_rcItem.left;
        m_cxyFixed.cy = m_rcItem.bottom - m_rcItem.top;
    }

    m_bUpdateNeeded = false;
    if (!ClipByAncestors(this, invalidate)) return;
    m_pManager->InvalidateArea(invalidate);
}

int CControlUI::GetWidth() const { return m_rcItem.right - m_rcItem.left; }
int CControlUI::GetHeight() const { return m_rcItem.bottom - m_rcItem.top; }
int CControlUI::GetX() const { return m_rcItem.left; }
int CControlUI::GetY() const { return m_rcItem.top; }
RECT CControlUI::GetPadding() const { return m_rcPadding; }

void CControlUI::SetPadding(const RECT& rc)
{
    m_rcPadding = rc;
    RequestParentRelayout();
}

SIZE CControlUI::GetFloatOffset() const { return m_cXY; }

void CControlUI::SetFloatOffset(SIZE sz)
{
    m_cXY = sz;
    RequestSizeRelayout();
}

void CControlUI::RequestSizeRelayout()
{
    if (!m_bFloat) {
        RequestParentRelayout();
        return;
    }
    if (!IsVisible()) return;
    m_bUpdateNeeded = true;
    Invalidate();
    if (m_pManager != nullptr) m_pManager->RequestLayout();
}

int CControlUI::GetFixedWidth() const { return m_cxyFixed.cx; }

void CControlUI::SetFixedWidth(int cx)
{
    if (cx < 0) return;
    m_cxyFixed.cx = cx;
    RequestSizeRelayout();
}

int CControlUI::GetFixedHeight() const { return m_cxyFixed.cy; }

void CControlUI::SetFixedHeight(int cy)
{
    if (cy < 0) return;
    m_cxyFixed.cy = cy;
    RequestSizeRelayout();
}

int CControlUI::GetMinWidth() const { return m_cxyMin.cx; }

void CControlUI::SetMinWidth(int cx)
{
    if (cx < 0 || m_cxyMin.cx == cx) return;
    m_cxyMin.cx = cx;
    RequestSizeRelayout();
}

int CControlUI::GetMaxWidth() const { return m_cxyMax.cx; }

void CControlUI::SetMaxWidth(int cx)
{
    if (cx < 0 || m_cxyMax.cx == cx) return;
    m_cxyMax.cx = cx;
    RequestSizeRelayout();
}

int CControlUI::GetMinHeight() const { return m_cxyMin.cy; }

void CControlUI::SetMinHeight(int cy)
{
    if (cy < 0 || m_cxyMin.cy == cy) return;
    m_cxyMin.cy = cy;
    RequestSizeRelayout();
}

int CControlUI::GetMaxHeight() const { return m_cxyMax.cy; }

void CControlUI::SetMaxHeight(int cy)
{
    if (cy < 0 || m_cxyMax.cy == cy) return;
    m_cxyMax.cy = cy;
    RequestSizeRelayout();
}

void CControlUI::SetRelativeAnchor(int moveX, int moveY, int zoomX, int zoomY)
{
    m_anchor.bRelative = true;
    m_anchor.nMoveX = moveX;
    m_anchor.nMoveY = moveY;
    m_anchor.nZoomX = zoomX;
    m_anchor.nZoomY = zoomY;
}

void CControlUI::SetAnchorParentSize(int cx, int cy) { m_anchor.szParent = SIZE{cx, cy}; }
RelativeAnchor CControlUI::GetRelativeAnchor() const { return m_anchor; }
bool CControlUI::HasRelativeAnchor() const { return m_anchor.bRelative; }

std::wstring CControlUI::GetToolTip() const { return m_strToolTip; }

void CControlUI::SetToolTip(const std::wstring& text)
{
    // "<n>" is how skins write a line break inside an attribute value.
    std::wstring s = text;
    for (size_t pos = 0; (pos = s.find(L"<n>", pos)) != std::wstring::npos; pos += 2) s.replace(pos, 3, L"\r\n");
    m_strToolTip = s;
}

void CControlUI::SetToolTipWidth(int width) { m_nTooltipWidth = width; }
int CControlUI::GetToolTipWidth() const { return m_nTooltipWidth; }
wchar_t CControlUI::GetShortcut() const { return m_chShortcut; }
void CControlUI::SetShortcut(wchar_t ch) { m_chShortcut = ch; }
bool CControlUI::IsMenuEnabled() const { return m_bMenuUsed; }
void CControlUI::SetMenuEnabled(bool b) { m_bMenuUsed = b; }
std::wstring CControlUI::GetUserData() const { return m_strUserData; }
void CControlUI::SetUserData(const std::wstring& text) { m_strUserData = text; }
UINT_PTR CControlUI::GetTag() const { return m_pTag; }
void CControlUI::SetTag(UINT_PTR tag) { m_pTag = tag; }

bool CControlUI::IsVisible() const { return m_bVisible && m_bInternVisible; }

void CControlUI::SetVisible(bool bVisible)
{
    if (m_bVisible == bVisible) return;
    bool wasVisible = IsVisible();
    m_bVisible = bVisible;
    m_bFocused = false;
    if (!bVisible && m_pManager != nullptr && m_pManager->GetFocusedControl() == this)
        m_pManager->SetFocusedControl(nullptr);
    if (IsVisible() != wasVisible) RequestParentRelayout();
}

void CControlUI::SetParentVisible(bool bVisible)
{
    m_bInternVisible = bVisible;
    if (!bVisible && m_pManager != nullptr && m_pManager->GetFocusedControl() == this)
        m_pManager->SetFocusedControl(nullptr);
}

bool CControlUI::IsEnabled() const { return m_bEnabled; }

void CControlUI::SetEnabled(bool bEnable)
{
    if (m_bEnabled == bEnable) return;
    m_bEnabled = bEnable;
    Invalidate();
}

bool CControlUI::IsMouseEnabled() const { return m_bMouseEnabled; }
void CControlUI::SetMouseEnabled(bool bEnable) { m_bMouseEnabled = bEnable; }
bool CControlUI::IsKeyboardEnabled() const { return m_bKeyboardEnabled; }
void CControlUI::SetKeyboardEnabled(bool bEnable) { m_bKeyboardEnabled = bEnable; }
bool CControlUI::IsFocused() const { return m_bFocused; }

void CControlUI::SetFocus()
{
    if (m_pManager != nullptr) m_pManager->SetFocusedControl(this);
}

bool CControlUI::IsFloat() const { return m_bFloat; }

void CControlUI::SetFloat(bool bFloat)
{
    if (m_bFloat == bFloat) return;
    m_bFloat = bFloat;
    RequestParentRelayout();
}

CControlUI* CControlUI::FindByPredicate(FindPredicate pred, void* pData, UINT uFlags)
{
    if ((uFlags & UIFIND_VISIBLE) != 0 && !IsVisible()) return nullptr;
    if ((uFlags & UIFIND_ENABLED) != 0 && !IsEnabled()) return nullptr;
    if ((uFlags & UIFIND_HITTEST) != 0) {
        if (!m_bMouseEnabled) return nullptr;
        if (!::PtInRect(&m_rcItem, *static_cast<const POINT*>(pData))) return nullptr;
    }
    return pred(this, pData);
}

void CControlUI::Initialize()
{
    OnInitialize();
    OnInit.Fire(this);
}

void CControlUI::OnInitialize() {}

void CControlUI::RaiseEvent(UIEvent& event)
{
    if (!OnEvent.Fire(event)) return;
    HandleEvent(event);
}

void CControlUI::HandleEvent(UIEvent& event)
{
    switch (event.type) {
    case EV_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
        return;
    case EV_SETFOCUS:
        m_bFocused = true;
        Invalidate();
        return;
    case EV_KILLFOCUS:
        m_bFocused = false;
        Invalidate();
        return;
    case EV_TIMER:
        if (m_pManager != nullptr) m_pManager->SendNotification(this, L"timer", event.wParam, event.lParam);
        return;
    case EV_CONTEXTMENU:
        if (m_bMenuUsed) {
            if (m_pManager != nullptr) m_pManager->SendNotification(this, L"menu", event.wParam, event.lParam);
            return;
        }
        break;
    case EV_MOUSEHOVER:
        if (m_pManager != nullptr) m_pManager->SendNotification(this, L"mouseenter");
        break;
    case EV_MOUSELEAVE:
        if (m_pManager != nullptr) m_pManager->SendNotification(this, L"mouseleave");
        break;
    default:
        break;
    }
    if (m_pParent != nullptr) m_pParent->HandleEvent(event);
}

void CControlUI::ApplyAttribute(const std::wstring& name, const std::wstring& value)
{
    const wchar_t* v = value.c_str();
    if (name == L"pos") {
        RECT rc = ParseRect(v);
        SetFloatOffset(SIZE{rc.left >= 0 ? rc.left : rc.right, rc.top >= 0 ? rc.top : rc.bottom});
        SetFixedWidth(rc.right - rc.left);
        SetFixedHeight(rc.bottom - rc.top);
    } else if (name == L"relativepos") {
        int n[4] = {};
        ParseInts(v, n, 4);
        SetRelativeAnchor(n[0], n[1], n[2], n[3]);
    } else if (name == L"padding") {
        SetPadding(ParseRect(v));
    } else if (name == L"bkcolor" || name == L"bkcolor1") {
        SetBkColor(ParseColorValue(v, true));
    } else if (name == L"bkcolor2") {
        SetBkColor2(ParseColorValue(v, true));
    } else if (name == L"bkcolor3") {
        SetBkColor3(ParseColorValue(v, true));
    } else if (name == L"bordercolor") {
        SetBorderColor(ParseColorValue(v, false));
    } else if (name == L"focusbordercolor") {
        SetFocusBorderColor(ParseColorValue(v, false));
    } else if (name == L"colorhsl") {
        m_bColorHSL = ParseBool(v);
    } else if (name == L"bordersize") {
        if (value.find(L',') != std::wstring::npos) {
            SetBorderSizes(ParseRect(v));
        } else {
            m_rcBorderSize = RECT{};
            SetBorderSize(ParseInt(v));
        }
    } else if (name == L"leftbordersize") {
        m_rcBorderSize.left = ParseInt(v);
        Invalidate();
    } else if (name == L"topbordersize") {
        m_rcBorderSize.top = ParseInt(v);
        Invalidate();
    } else if (name == L"rightbordersize") {
        m_rcBorderSize.right = ParseInt(v);
        Invalidate();
    } else if (name == L"bottombordersize") {
        m_rcBorderSize.bottom = ParseInt(v);
        Invalidate();
    } else if (name == L"borderstyle") {
        SetBorderStyle(ParseInt(v));
    } else if (name == L"borderround") {
        SetBorderRound(ParseSize(v));
    } else if (name == L"bkimage") {
        SetBkImage(value);
    } else if (name == L"width") {
        SetFixedWidth(ParseInt(v));
    } else if (name == L"height") {
        SetFixedHeight(ParseInt(v));
    } else if (name == L"minwidth") {
        SetMinWidth(ParseInt(v));
    } else if (name == L"minheight") {
        SetMinHeight(ParseInt(v));
    } else if (name == L"maxwidth") {
        SetMaxWidth(ParseInt(v));
    } else if (name == L"maxheight") {
        SetMaxHeight(ParseInt(v));
    } else if (name == L"name") {
        SetName(value);
    } else if (name == L"text") {
        SetText(value);
    } else if (name == L"tooltip") {
        SetToolTip(value);
    } else if (name == L"userdata") {
        SetUserData(value);
    } else if (name == L"enabled") {
        SetEnabled(ParseBool(v));
    } else if (name == L"mouse") {
        SetMouseEnabled(ParseBool(v));
    } else if (name == L"keyboard") {
        SetKeyboardEnabled(ParseBool(v));
    } else if (name == L"visible") {
        SetVisible(ParseBool(v));
    } else if (name == L"float") {
        SetFloat(ParseBool(v));
    } else if (name == L"shortcut") {
        SetShortcut(value.empty() ? L'\0' : value[0]);
    } else if (name == L"menu") {
        SetMenuEnabled(ParseBool(v));
    } else if (name == L"virtualwnd") {
        SetVirtualWindowName(value);
    }
}

SIZE CControlUI::MeasureSize(SIZE) { return m_cxyFixed; }

void CControlUI::Paint(HDC hDC, const RECT& rcPaint)
{
    if (!IntersectRects(m_rcPaint, rcPaint, m_rcItem)) return;
    if (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0) {
        CClipScope clip(hDC, m_rcPaint, m_rcItem, m_cxyBorderRound.cx, m_cxyBorderRound.cy);
        PaintOwnBackground(hDC);
        PaintStateImages(hDC);
        PaintContentText(hDC);
        PaintBorderLines(hDC);
        return;
    }
    PaintOwnBackground(hDC);
    PaintStateImages(hDC);
    PaintContentText(hDC);
    PaintBorderLines(hDC);
}

void CControlUI::PaintOwnBackground(HDC hDC)
{
    // A colour under an opaque background image of the same control would be painted over at once.
    const bool colorHidden = m_dwBackColor != 0 && !m_strBkImage.empty() &&
                             CRenderKit::ImageSpecCovers(m_pManager, m_rcItem, m_rcPaint, m_strBkImage);
    if (!colorHidden) PaintBackgroundColor(hDC);
    PaintBackgroundImage(hDC);
}

void CControlUI::PaintBackgroundOnly(HDC hDC, const RECT& rcPaint)
{
    if (IntersectRects(m_rcPaint, rcPaint, m_rcItem)) PaintOwnBackground(hDC);
}

CControlUI* CControlUI::FindOpaqueBase(const RECT&, std::vector<RECT>&) { return nullptr; }

bool CControlUI::CoversOpaquely(const RECT& rc)
{
    if (!IsVisible() || m_pManager == nullptr || m_pManager->IsPerPixelTransparent()) return false;
    // Rounded corners clip the background; the corners show what lies beneath.
    if (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0) return false;
    if (RectIsEmpty(rc) || !RectHolds(m_rcItem, rc))
        return false;
    if ((m_dwBackColor >> 24) == 0xFF && m_dwBackColor2 == 0) return true;
    return !m_strBkImage.empty() && CRenderKit::ImageSpecCovers(m_pManager, m_rcItem, rc, m_strBkImage);
}

void CControlUI::PaintBackgroundColor(HDC hDC)
{
    if (m_dwBackColor == 0) return;
    if (m_dwBackColor2 == 0) {
        CRenderKit::FillColor(hDC, (m_dwBackColor >> 24) == 0xFF ? m_rcPaint : m_rcItem, m_dwBackColor);
    } else if (m_dwBackColor3 != 0) {
        RECT rc = m_rcItem;
        rc.bottom = (m_rcItem.top + m_rcItem.bottom) / 2;
        CRenderKit::FillGradient(hDC, rc, m_dwBackColor, m_dwBackColor2, 8);
        rc.top = rc.bottom;
        rc.bottom = m_rcItem.bottom;
        CRenderKit::FillGradient(hDC, rc, m_dwBackColor2, m_dwBackColor3, 8);
    } else {
        CRenderKit::FillGradient(hDC, m_rcItem, m_dwBackColor, m_dwBackColor2, 16);
    }
}

void CControlUI::PaintBackgroundImage(HDC hDC)
{
    if (m_strBkImage.empty()) return;
    (void)CRenderKit::RenderImageSpec(hDC, m_pManager, m_rcItem, m_rcPaint, m_strBkImage);
}

void CControlUI::PaintStateImages(HDC) {}
void CControlUI::PaintContentText(HDC) {}

void CControlUI::PaintBorderLines(HDC hDC)
{
    if (m_dwBorderColor == 0 && m_dwFocusBorderColor == 0) return;
    if (m_nBorderSize > 0 && (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0)) {
        DWORD color = (IsFocused() && m_dwFocusBorderColor != 0) ? m_dwFocusBorderColor : m_dwBorderColor;
        DrawOutline(hDC, m_rcItem, m_nBorderSize, color, m_cxyBorderRound.cx, m_cxyBorderRound.cy);
        return;
    }
    if (IsFocused() && m_dwFocusBorderColor != 0 && m_nBorderSize > 0) {
        DrawOutline(hDC, m_rcItem, m_nBorderSize, m_dwFocusBorderColor);
        return;
    }
    const RECT& r = m_rcItem;
    bool anySide = false;
    if (m_rcBorderSize.left > 0) {
        anySide = true;
        CRenderKit::RenderLine(hDC, RECT{r.left, r.top, r.left, r.bottom}, m_rcBorderSize.left, m_dwBorderColor,
                               m_nBorderStyle);
    }
    if (m_rcBorderSize.top > 0) {
        anySide = true;
        CRenderKit::RenderLine(hDC, RECT{r.left, r.top, r.right, r.top}, m_rcBorderSize.top, m_dwBorderColor,
                               m_nBorderStyle);
    }
    if (m_rcBorderSize.right > 0) {
        anySide = true;
        CRenderKit::RenderLine(hDC, RECT{r.right, r.top, r.right, r.bottom}, m_rcBorderSize.right,
                               m_dwBorderColor, m_nBorderStyle);
    }
    if (m_rcBorderSize.bottom > 0) {
        anySide = true;
        CRenderKit::RenderLine(hDC, RECT{r.left, r.bottom, r.right, r.bottom}, m_rcBorderSize.bottom,
                               m_dwBorderColor, m_nBorderStyle);
    }
    if (!anySide && m_nBorderSize > 0) DrawOutline(hDC, m_rcItem, m_nBorderSize, m_dwBorderColor);
}

void CControlUI::PaintOverlay(HDC, const RECT&) {}

void CControlUI::ApplyAttributeString(const std::wstring& list)
{
    size_t pos = 0;
    const size_t len = list.size();
    while (pos < len) {
        size_t eq = list.find(L'=', pos);
        if (eq == std::wstring::npos) return;
        std::wstring name = list.substr(pos, eq - pos);
        if (eq + 1 >= len || list[eq + 1] != L'"') return;
        size_t valueStart = eq + 2;
        size_t close = list.find(L'"', valueStart);
        if (close == std::wstring::npos) return;
        ApplyAttribute(name, list.substr(valueStart, close - valueStart));
        // Pairs are separated by exactly one space.
        if (close + 1 >= len || list[close + 1] != L' ' || close + 2 >= len) return;
        pos = close + 2;
    }
}

void CControlUI::Invalidate()
{
    if (!IsVisible() || m_pManager == nullptr) return;
    RECT rc = m_rcItem;
    if (!ClipByAncestors(this, rc)) return;
    m_pManager->InvalidateArea(rc);
}

void CControlUI::InvalidatePart(const RECT& rcPart)
{
    if (!IsVisible() || m_pManager == nullptr) return;
    RECT rc;
    if (!IntersectRects(rc, rcPart, m_rcItem) || !ClipByAncestors(this, rc)) return;
    m_pManager->InvalidateArea(rc);
}

void CControlUI::RequestRelayout()
{
    if (!IsVisible()) return;
    m_bUpdateNeeded = true;
    Invalidate();
    if (m_pManager != nullptr) m_pManager->RequestLayout();
}

void CControlUI::RequestParentRelayout()
{
    if (m_pParent != nullptr) {
        if (m_pParent->IsVisible()) m_pParent->RequestRelayout();
        m_pParent->Invalidate();
    } else {
        RequestRelayout();
    }
    if (m_pManager != nullptr) m_pManager->RequestLayout();
}

std::wstring CControlUI::GetVirtualWindowName() const
{
    if (!m_strVirtualWnd.empty()) return m_strVirtualWnd;
    return m_pParent != nullptr ? m_pParent->GetVirtualWindowName() : std::wstring();
}

void CControlUI::SetVirtualWindowName(const std::wstring& name)
{
    m_strVirtualWnd = name;
    if (m_pManager != nullptr) m_pManager->UsedVirtualWindows(true);
}

void CControlUI::SetBkColor(DWORD c)
{
    if (m_dwBackColor == c) return;
    m_dwBackColor = c;
    Invalidate();
}

void CControlUI::SetBkColor2(DWORD c)
{
    if (m_dwBackColor2 == c) return;
    m_dwBackColor2 = c;
    Invalidate();
}

void CControlUI::SetBkColor3(DWORD c)
{
    if (m_dwBackColor3 == c) return;
    m_dwBackColor3 = c;
    Invalidate();
}

void CControlUI::SetBkImage(const std::wstring& imageSpec)
{
    if (m_strBkImage == imageSpec) return;
    m_strBkImage = imageSpec;
    Invalidate();
}

void CControlUI::SetForeImage(const std::wstring& imageSpec)
{
    if (m_strForeImage == imageSpec) return;
    m_strForeImage = imageSpec;
    Invalidate();
}

void CControlUI::SetBorderColor(DWORD c)
{
    if (m_dwBorderColor == c) return;
    m_dwBorderColor = c;
    Invalidate();
}

void CControlUI::SetFocusBorderColor(DWORD c)
{
    if (m_dwFocusBorderColor == c) return;
    m_dwFocusBorderColor = c;
    Invalidate();
}

void CControlUI::SetBorderSize(int n)
{
    m_nBorderSize = n;
    Invalidate();
}

void CControlUI::SetBorderSizes(const RECT& rc)
{
    m_rcBorderSize = rc;
    Invalidate();
}

void CControlUI::SetBorderStyle(int n)
{
    m_nBorderStyle = n;
    Invalidate();
}

void CControlUI::SetBorderRound(SIZE sz)
{
    m_cxyBorderRound = sz;
    Invalidate();
}

}  // namespace SkinUI
