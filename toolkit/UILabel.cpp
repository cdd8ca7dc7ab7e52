#include "UILabel.h"

#include "UIContainer.h"
#include "UIManager.h"
#include "UIRender.h"

#include <algorithm>
#include <cstdio>

namespace SkinUI {

namespace {

RECT Deflate(const RECT& rc, const RECT& by)
{
    return RECT{rc.left + by.left, rc.top + by.top, rc.right - by.right, rc.bottom - by.bottom};
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
const wchar_t* CLabelUI::GetClassName() const { return L"LabelUI"; }

void* CLabelUI::QueryKind(const std::wstring& kind)
{
    if (kind == L"Label") return this;
    return CControlUI::QueryKind(kind);
}

std::wstring CLabelUI::GetText() const { return m_effects.bEnabled ? m_strEffectText : CControlUI::GetText(); }

void CLabelUI::SetText(const std::wstring& text)
{
    if (m_effects.bEnabled) {
        m_strEffectText = text;
        return;
    }
    CControlUI::SetText(text);
}

void CLabelUI::HandleEvent(UIEvent& event)
{
    if (event.type == EV_SETFOCUS) {
        m_bFocused = true;
        return;
    }
    if (event.type == EV_KILLFOCUS) {
        m_bFocused = false;
        return;
    }
    CControlUI::HandleEvent(event);
}

bool CLabelUI::IsAutoWidth() const { return m_bAutoCalcWidth; }
void CLabelUI::SetAutoWidth(bool b) { m_bAutoCalcWidth = b; }

void CLabelUI::SetTextColor(DWORD c)
{
    m_dwTextColor = c;
    Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD c)
{
    m_dwDisabledTextColor = c;
    Invalidate();
}

void CLabelUI::SetFont(int index)
{
    m_iFont = index;
    Invalidate();
}

void CLabelUI::SetTextStyle(UINT style)
{
    m_uTextStyle = style;
    Invalidate();
}

void CLabelUI::SetTextPadding(const RECT& rc)
{
    m_rcTextPadding = rc;
    Invalidate();
}

void CLabelUI::SetShowHtml(bool b)
{
    if (m_bShowHtml == b) return;
    m_bShowHtml = b;
    Invalidate();
}

void CLabelUI::ApplyAttribute(const std::wstring& name, const std::wstring& value)
{
    const wchar_t* v = value.c_str();
    if (name == L"align") {
        if (value.find(L"left") != std::wstring::npos) {
            m_uTextStyle &= ~(DT_CENTER | DT_RIGHT | DT_SINGLELINE);
        }
        if (value.find(L"center") != std::wstring::npos) {
            m_uTextStyle &= ~DT_RIGHT;
            m_uTextStyle |= DT_CENTER;
        }
        if (value.find(L"right") != std::wstring::npos) {
            m_uTextStyle &= ~(DT_CENTER | DT_SINGLELINE);
            m_uTextStyle |= DT_RIGHT;
        }
    } else if (name == L"valign") {
        if (value.find(L"top") != std::wstring::npos) {
            m_uTextStyle &= ~(DT_VCENTER | DT_BOTTOM);
            m_uTextStyle |= DT_SINGLELINE;
        }
        if (value.find(L"vcenter") != std::wstring::npos) {
            m_uTextStyle &= ~DT_BOTTOM;
            m_uTextStyle |= DT_VCENTER | DT_SINGLELINE;
        }
        if (value.find(L"bottom") != std::wstring::npos) {
            m_uTextStyle &= ~DT_VCENTER;
            m_uTextStyle |= DT_BOTTOM | DT_SINGLELINE;
        }
    } else if (name == L"endellipsis") {
        if (ParseBool(v))
            m_uTextStyle |= DT_END_ELLIPSIS;
        else
            m_uTextStyle &= ~DT_END_ELLIPSIS;
    } else if (name == L"font") {
        SetFont(ParseInt(v));
    } else if (name == L"textcolor") {
        SetTextColor(ParseColorValue(v, false));
    } else if (name == L"disabledtextcolor") {
        SetDisabledTextColor(ParseColorValue(v, false));
    } else if (name == L"textpadding") {
        SetTextPadding(ParseRect(v));
    } else if (name == L"showhtml") {
        SetShowHtml(ParseBool(v));
    } else if (name == L"autocalcwidth") {
        SetAutoWidth(ParseBool(v));
    } else if (name == L"enabledeffect") {
        bool on = ParseBool(v);
        if (on && !m_effects.bEnabled) {
            m_strEffectText = m_strText;
            m_strText.clear();
        }
        m_effects.bEnabled = on;
    } else if (name == L"transshadow") {
        m_effects.nTransShadow = ParseInt(v);
    } else if (name == L"transtext") {
        m_effects.nTransText = ParseInt(v);
    } else if (name == L"transshadow1") {
        m_effects.nTransShadow1 = ParseInt(v);
    } else if (name == L"transtext1") {
        m_effects.nTransText1 = ParseInt(v);
    } else if (name == L"gradientangle") {
        m_effects.nGradientAngle = ParseInt(v);
    } else if (name == L"enabledstroke") {
        m_effects.bStroke = ParseBool(v);
    } else if (name == L"enabledshadow") {
        m_effects.bShadow = ParseBool(v);
    } else if (name == L"transstroke") {
        m_effects.nTransStroke = ParseInt(v);
    } else if (name == L"gradientlength") {
        m_effects.nGradientLength = ParseInt(v);
    } else if (name == L"shadowoffset") {
        (void)ParseSize(v);  // read and dropped
    } else if (name == L"textcolor1") {
        m_effects.dwTextColor1 = ParseColorValue(v, false);
    } else if (name == L"textshadowcolora") {
        m_effects.dwShadowColorA = ParseColorValue(v, false);
    } else if (name == L"textshadowcolorb") {
        m_effects.dwShadowColorB = ParseColorValue(v, false);
    } else if (name == L"strokecolor") {
        m_effects.dwStrokeColor = ParseColorValue(v, false);
    } else {
        CControlUI::ApplyAttribute(name, value);
    }
}

int CLabelUI::FontHeight() const
{
    if (m_pManager == nullptr) return 0;
    return m_pManager->FontRecordAt(m_iFont).tm.tmHeight;
}

int CLabelUI::MeasureTextWidth()
{
    if (m_pManager == nullptr || m_pManager->GetPaintDC() == nullptr) return 0;
    RECT rc{0, 0, 9999, 9999};
    CRenderKit::RenderText(m_pManager->GetPaintDC(), m_pManager, rc, GetText(), 0, m_iFont,
                           m_uTextStyle | DT_CALCRECT);
    return rc.right - rc.left;
}

SIZE CLabelUI::MeasureSize(SIZE)
{
    if (m_bAutoCalcWidth) m_cxyFixed.cx = MeasureTextWidth() + m_rcTextPadding.left + m_rcTextPadding.right;
    if (m_cxyFixed.cy != 0) return m_cxyFixed;
    return SIZE{m_cxyFixed.cx, FontHeight() + 4};
}

void CLabelUI::ResolveDefaultColors()
{
    if (m_pManager == nullptr) return;
    if (m_dwTextColor == 0) m_dwTextColor = m_pManager->GetDefaultFontColor();
    if (m_dwDisabledTextColor == 0) m_dwDisabledTextColor = m_pManager->GetDefaultDisabledColor();
}

void CLabelUI::DrawText(HDC hDC, RECT rc, DWORD color, UINT style)
{
    // The inline-markup renderer is not part of this toolkit build: "showhtml" text is drawn plainly.
    CRenderKit::RenderText(hDC, m_pManager, rc, GetText(), color, m_iFont, style);
}

void CLabelUI::PaintContentText(HDC hDC)
{
    ResolveDefaultColors();
    if (m_effects.bEnabled || GetText().empty()) return;
    RECT rc = Deflate(m_rcItem, m_rcTextPadding);
    DrawText(hDC, rc, IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor, m_uTextStyle | DT_SINGLELINE);
}

// ---------------------------------------------------------------------------------------------------------
CButtonUI::CButtonUI() { m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER; }

const wchar_t* CButtonUI::GetClassName() const { return L"ButtonUI"; }

void* CButtonUI::QueryKind(const std::wstring& kind)
{
    if (kind == L"Button") return this;
    return CLabelUI::QueryKind(kind);
}

UINT CButtonUI::GetInputFlags()
{
    if (!IsEnabled()) return 0;
    return UIFLAG_SETCURSOR | (IsKeyboardEnabled() ? static_cast<UINT>(UIFLAG_TABSTOP) : 0u);
}

bool CButtonUI::Activate()
{
    if (!CControlUI::Activate()) return false;
    if (m_pManager == nullptr) return true;
    m_pManager->SendNotification(this, L"click");
    if (!m_strBindTabLayoutName.empty() && m_iBindTabIndex >= 0) {
        CControlUI* p = m_pManager->FindControlByName(m_strBindTabLayoutName);
        if (p != nullptr) {
            auto* tab = static_cast<CTabLayoutUI*>(p->QueryKind(L"TabLayout"));
            if (tab != nullptr) tab->SelectPage(m_iBindTabIndex);
        }
    }
    return true;
}

void CButtonUI::SetEnabled(bool bEnable)
{
    if (m_bEnabled == bEnable) return;
    m_bEnabled = bEnable;
    if (!bEnable) m_uButtonState = 0;
    Invalidate();
}

void CButtonUI::HandleEvent(UIEvent& event)
{
    if (!IsMouseEnabled() && IsMouseEvent(event.type)) {
        if (m_pParent != nullptr)
            m_pParent->HandleEvent(event);
        else
            CControlUI::HandleEvent(event);
        return;
    }
    if (event.type == EV_SETFOCUS || event.type == EV_KILLFOCUS) Invalidate();
    switch (event.type) {
    case EV_KEYDOWN:
        if (IsKeyboardEnabled() && (event.key == VK_SPACE || event.key == VK_RETURN)) {
            Activate();
            return;
        }
        break;
    case EV_MOUSEMOVE:
        if ((m_uButtonState & STATE_CAPTURED) != 0) {
            if (::PtInRect(&m_rcItem, event.ptMouse))
                m_uButtonState |= STATE_PUSHED;
            else
                m_uButtonState &= ~STATE_PUSHED;
            Invalidate();
        }
        return;
    case EV_MOUSEENTER:
        if (IsEnabled()) {
            m_uButtonState |= STATE_HOT;
            Invalidate();
        }
        break;
    case EV_BUTTONDOWN:
    case EV_DBLCLICK:
        if (::PtInRect(&m_rcItem, event.ptMouse) && IsEnabled()) {
            m_uButtonState |= STATE_PUSHED | STATE_CAPTURED;
            Invalidate();
        }
        return;
    case EV_BUTTONUP:
        if ((m_uButtonState & STATE_CAPTURED) != 0) {
            // Clear the state first: the click handler may disable, hide or delete-defer this button.
            m_uButtonState &= ~(STATE_PUSHED | STATE_CAPTURED);
            Invalidate();
            if (::PtInRect(&m_rcItem, event.ptMouse)) Activate();
        }
        return;
    case EV_CONTEXTMENU:
        if (IsMenuEnabled() && m_pManager != nullptr)
            m_pManager->SendNotification(this, L"menu", event.wParam, event.lParam);
        return;
    case EV_MOUSELEAVE:
        if (IsEnabled()) {
            m_uButtonState &= ~STATE_HOT;
            Invalidate();
        }
        break;
    case EV_KILLFOCUS:
        m_bFocused = false;
        return;
    case EV_SETFOCUS:
        m_bFocused = true;
        return;
    case EV_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return;
    default:
        break;
    }
    CControlUI::HandleEvent(event);
}

void CButtonUI::ApplyAttribute(const std::wstring& name, const std::wstring& value)
{
    const wchar_t* v = value.c_str();
    auto setImage = [this](std::wstring& field, const std::wstring& imageSpec) {
        field = imageSpec;
        Invalidate();
    };
    if (name == L"normalimage") setImage(m_strNormalImage, value);
    else if (name == L"hotimage") setImage(m_strHotImage, value);
    else if (name == L"pushedimage") setImage(m_strPushedImage, value);
    else if (name == L"focusedimage") setImage(m_strFocusedImage, value);
    else if (name == L"disabledimage") setImage(m_strDisabledImage, value);
    else if (name == L"foreimage") {
        m_strForeImage = value;
        Invalidate();
    } else if (name == L"hotforeimage") setImage(m_strHotForeImage, value);
    else if (name == L"pushedforeimage") setImage(m_strPushedForeImage, value);
    else if (name == L"bindtabindex") m_iBindTabIndex = ParseInt(v);
    else if (name == L"bindtablayoutname") m_strBindTabLayoutName = value;
    else if (name == L"hotbkcolor") m_dwHotBkColor = ParseColorValue(v, false);
    else if (name == L"hottextcolor") m_dwHotTextColor = ParseColorValue(v, false);
    else if (name == L"pushedtextcolor") m_dwPushedTextColor = ParseColorValue(v, false);
    else if (name == L"focusedtextcolor") m_dwFocusedTextColor = ParseColorValue(v, false);
    else if (name == L"multiline") {
        if (ParseBool(v)) {
            m_uTextStyle &= ~DT_SINGLELINE;
            m_uTextStyle |= DT_WORDBREAK;
        } else {
            m_uTextStyle &= ~DT_WORDBREAK;
            m_uTextStyle |= DT_SINGLELINE;
        }
    } else {
        CLabelUI::ApplyAttribute(name, value);
    }
}

SIZE CButtonUI::MeasureSize(SIZE)
{
    if (m_cxyFixed.cy == 0) return SIZE{m_cxyFixed.cx, FontHeight() + 8};
    if (m_bAutoCalcWidth) m_cxyFixed.cx = MeasureTextWidth() + m_rcTextPadding.left + m_rcTextPadding.right;
    return m_cxyFixed;
}

bool CButtonUI::DrawImageSpec(HDC hDC, const std::wstring& imageSpec)
{
    if (imageSpec.empty()) return false;
    (void)CRenderKit::RenderImageSpec(hDC, m_pManager, m_rcItem, m_rcPaint, imageSpec);
    return true;
}

void CButtonUI::PaintStateImages(HDC hDC)
{
    if (IsFocused())
        m_uButtonState |= STATE_FOCUSED;
    else
        m_uButtonState &= ~STATE_FOCUSED;
    if (!IsEnabled())
        m_uButtonState |= STATE_DISABLED;
    else
        m_uButtonState &= ~STATE_DISABLED;

    bool drawNormal = true;
    if ((m_uButtonState & STATE_DISABLED) != 0) {
        if (DrawImageSpec(hDC, m_strDisabledImage)) drawNormal = false;
    } else if ((m_uButtonState & STATE_PUSHED) != 0) {
        if (DrawImageSpec(hDC, m_strPushedImage)) {
            if (DrawImageSpec(hDC, m_strPushedForeImage)) return;
            drawNormal = false;
        }
    } else if ((m_uButtonState & STATE_HOT) != 0) {
        if (DrawImageSpec(hDC, m_strHotImage)) {
            if (DrawImageSpec(hDC, m_strHotForeImage)) return;
            drawNormal = false;
        } else if (m_dwHotBkColor != 0) {
            CRenderKit::FillColor(hDC, m_rcPaint, m_dwHotBkColor);
            return;
        }
    } else if ((m_uButtonState & STATE_FOCUSED) != 0) {
        if (DrawImageSpec(hDC, m_strFocusedImage)) drawNormal = false;
    }
    if (drawNormal) DrawImageSpec(hDC, m_strNormalImage);
    DrawImageSpec(hDC, m_strForeImage);
}

void CButtonUI::PaintContentText(HDC hDC)
{
    ResolveDefaultColors();
    if (GetText().empty()) return;
    RECT rc = Deflate(m_rcItem, m_rcTextPadding);
    DWORD color;
    if ((m_uButtonState & STATE_PUSHED) != 0 && m_dwPushedTextColor != 0)
        color = m_dwPushedTextColor;
    else if ((m_uButtonState & STATE_HOT) != 0 && m_dwHotTextColor != 0)
        color = m_dwHotTextColor;
    else if ((m_uButtonState & STATE_FOCUSED) != 0 && m_dwFocusedTextColor != 0)
        color = m_dwFocusedTextColor;
    else
        color = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    DrawText(hDC, rc, color, m_uTextStyle);
}

// ---------------------------------------------------------------------------------------------------------
CProgressUI::CProgressUI()
{
    m_uTextStyle = DT_SINGLELINE | DT_CENTER;
    m_cxyFixed.cy = 12;
}

const wchar_t* CProgressUI::GetClassName() const { return L"ProgressUI"; }

void* CProgressUI::QueryKind(const std::wstring& kind)
{
    if (kind == L"Progress") return this;
    return CLabelUI::QueryKind(kind);
}

void CProgressUI::SetHorizontal(bool b)
{
    if (m_bHorizontal == b) return;
    m_bHorizontal = b;
    Invalidate();
}

void CProgressUI::SetStretchForeImage(bool b)
{
    if (m_bStretchForeImage == b) return;
    m_bStretchForeImage = b;
    Invalidate();
}

void CProgressUI::SetMinValue(int n)
{
    m_nMin = n;
    Invalidate();
}

void CProgressUI::SetMaxValue(int n)
{
    m_nMax = n;
    Invalidate();
}

void CProgressUI::SetValue(int n)
{
    if (n == m_nValue || n < m_nMin || n > m_nMax) return;
    const int oldValue = m_nValue;
    m_nValue = n;
    // A tick moves the end of the fill; repainting the rest of the bar would put back the same pixels.
    RECT rc{};
    if (ChangedPart(oldValue, rc)) {
        if (!RectIsEmpty(rc)) InvalidatePart(rc);
    } else {
        Invalidate();
    }
}

bool CProgressUI::ChangedPart(int oldValue, RECT& rc)
{
    if (m_pManager == nullptr || m_pManager->IsPerPixelTransparent() || m_strProgressForeImage.empty()) return false;
    if (m_nMin >= m_nMax || oldValue < m_nMin || oldValue > m_nMax) return false;
    ImageSpecState state;
    state.name = m_strProgressForeImage;
    state.dest = m_rcItem;
    CRenderKit::ParseImageSpec(m_strProgressForeImage, m_rcItem, state, nullptr);
    const CachedImage* image = m_pManager->FindCachedImage(state.name);
    if (image == nullptr) return false;
    const long long w = m_rcItem.right - m_rcItem.left;
    const long long h = m_rcItem.bottom - m_rcItem.top;
    // Cropped, the fill shows the image 1:1 from the bar's corner, as long as the image is large enough
    // not to be stretched; stretched, every pixel of the fill may move.
    if (!m_bStretchForeImage && (image->width < w || image->height < h)) return false;
    const long long range = static_cast<long long>(m_nMax) - m_nMin;
    rc = m_rcItem;
    if (m_bHorizontal) {
        const long long a = w * (static_cast<long long>(oldValue) - m_nMin) / range;
        const long long b = w * (static_cast<long long>(m_nValue) - m_nMin) / range;
        // Shorter than its two end pieces, the fill's pieces overlap and reach past its end.
        if (std::min(a, b) < std::max(0L, state.corners.left) + std::max(0L, state.corners.right)) return false;
        rc.left = static_cast<LONG>(m_rcItem.left + (m_bStretchForeImage ? 0 : std::min(a, b)));
        rc.right = static_cast<LONG>(m_rcItem.left + std::max(a, b));
    } else {
        const long long a = h * (static_cast<long long>(m_nMax) - oldValue) / range;
        const long long b = h * (static_cast<long long>(m_nMax) - m_nValue) / range;
        if (h - std::max(a, b) < std::max(0L, state.corners.top) + std::max(0L, state.corners.bottom)) return false;
        rc.top = static_cast<LONG>(m_rcItem.top + std::min(a, b));
        rc.bottom = static_cast<LONG>(m_rcItem.top + (m_bStretchForeImage ? h : std::max(a, b)));
    }
    return true;
}

void CProgressUI::SetForeImage(const std::wstring& imageSpec)
{
    if (m_strProgressForeImage == imageSpec) return;
    m_strProgressForeImage = imageSpec;
    Invalidate();
}

void CProgressUI::ApplyAttribute(const std::wstring& name, const std::wstring& value)
{
    const wchar_t* v = value.c_str();
    if (name == L"foreimage") SetForeImage(value);
    else if (name == L"hor") SetHorizontal(ParseBool(v));
    else if (name == L"min") SetMinValue(ParseInt(v));
    else if (name == L"max") SetMaxValue(ParseInt(v));
    else if (name == L"value") SetValue(ParseInt(v));
    else if (name == L"isstretchfore") SetStretchForeImage(ParseBool(v));
    else CLabelUI::ApplyAttribute(name, value);
}

void CProgressUI::PaintStateImages(HDC hDC)
{
    if (m_nMin >= m_nMax) m_nMax = m_nMin + 1;
    if (m_nValue > m_nMax) m_nValue = m_nMax;
    if (m_nValue < m_nMin) m_nValue = m_nMin;

    const long long w = m_rcItem.right - m_rcItem.left;
    const long long h = m_rcItem.bottom - m_rcItem.top;
    const long long range = static_cast<long long>(m_nMax) - m_nMin;
    RECT dest{};
    if (m_bHorizontal) {
        dest.right = static_cast<LONG>(w * (static_cast<long long>(m_nValue) - m_nMin) / range);
        dest.bottom = static_cast<LONG>(h);
    } else {
        dest.top = static_cast<LONG>(h * (static_cast<long long>(m_nMax) - m_nValue) / range);
        dest.right = static_cast<LONG>(w);
        dest.bottom = static_cast<LONG>(h);
    }
    m_strForeImageModify.clear();
    if (m_strProgressForeImage.empty()) return;
    wchar_t buf[160];
    if (m_bStretchForeImage)
        swprintf(buf, 160, L"dest='%ld,%ld,%ld,%ld'", dest.left, dest.top, dest.right, dest.bottom);
    else
        swprintf(buf, 160, L"dest='%ld,%ld,%ld,%ld' source='%ld,%ld,%ld,%ld'", dest.left, dest.top, dest.right,
                 dest.bottom, dest.left, dest.top, dest.right, dest.bottom);
    m_strForeImageModify = buf;
    // A fill shorter than its two end pieces would draw those pieces past the bar, where a repaint of the
    // bar never reaches to take them away again.
    CClipScope clip(hDC, m_rcPaint);
    (void)CRenderKit::RenderImageSpec(hDC, m_pManager, m_rcItem, m_rcPaint, m_strProgressForeImage,
                                      m_strForeImageModify);
}

}  // namespace SkinUI
