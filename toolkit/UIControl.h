// The base of every element of a skinned window: a rectangle with text, colours, images, a border, size
// rules and behaviour flags. Containers place it; the manager routes input to it.
#pragma once

#include "UIBase.h"

#include <string>
#include <vector>

namespace SkinUI {

using FindPredicate = CControlUI* (*)(CControlUI* pControl, void* pData);

struct RelativeAnchor {
    bool bRelative = false;
    SIZE szParent{};
    int nMoveX = 0;
    int nMoveY = 0;
    int nZoomX = 0;
    int nZoomY = 0;
};

class CControlUI {
public:
    CControlUI() = default;
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual std::wstring GetName() const;
    virtual void SetName(const std::wstring& name);
    virtual const wchar_t* GetClassName() const;
    virtual void* QueryKind(const std::wstring& kind);
    virtual UINT GetInputFlags();
    virtual bool Activate();
    virtual CUIManager* GetManager() const;
    virtual void Attach(CUIManager* pManager, CControlUI* pParent, bool bInit = true);
    virtual CControlUI* GetParent() const;
    virtual std::wstring GetText() const;
    virtual void SetText(const std::wstring& text);

    virtual const RECT& GetPos() const;
    virtual void SetPos(RECT rc);
    virtual int GetWidth() const;
    virtual int GetHeight() const;
    virtual int GetX() const;
    virtual int GetY() const;
    virtual RECT GetPadding() const;
    virtual void SetPadding(const RECT& rc);
    virtual SIZE GetFloatOffset() const;
    virtual void SetFloatOffset(SIZE sz);
    virtual int GetFixedWidth() const;
    virtual void SetFixedWidth(int cx);
    virtual int GetFixedHeight() const;
    virtual void SetFixedHeight(int cy);
    virtual int GetMinWidth() const;
    virtual void SetMinWidth(int cx);
    virtual int GetMaxWidth() const;
    virtual void SetMaxWidth(int cx);
    virtual int GetMinHeight() const;
    virtual void SetMinHeight(int cy);
    virtual int GetMaxHeight() const;
    virtual void SetMaxHeight(int cy);
    virtual void SetRelativeAnchor(int moveX, int moveY, int zoomX, int zoomY);
    virtual void SetAnchorParentSize(int cx, int cy);
    virtual RelativeAnchor GetRelativeAnchor() const;
    virtual bool HasRelativeAnchor() const;

    virtual std::wstring GetToolTip() const;
    virtual void SetToolTip(const std::wstring& text);
    virtual void SetToolTipWidth(int width);
    virtual int GetToolTipWidth() const;
    virtual wchar_t GetShortcut() const;
    virtual void SetShortcut(wchar_t ch);
    virtual bool IsMenuEnabled() const;
    virtual void SetMenuEnabled(bool b);
    virtual std::wstring GetUserData() const;
    virtual void SetUserData(const std::wstring& text);
    virtual UINT_PTR GetTag() const;
    virtual void SetTag(UINT_PTR tag);

    virtual bool IsVisible() const;
    virtual void SetVisible(bool bVisible = true);
    virtual void SetParentVisible(bool bVisible);
    virtual bool IsEnabled() const;
    virtual void SetEnabled(bool bEnable = true);
    virtual bool IsMouseEnabled() const;
    virtual void SetMouseEnabled(bool bEnable = true);
    virtual bool IsKeyboardEnabled() const;
    virtual void SetKeyboardEnabled(bool bEnable = true);
    virtual bool IsFocused() const;
    virtual void SetFocus();
    virtual bool IsFloat() const;
    virtual void SetFloat(bool bFloat = true);

    virtual CControlUI* FindByPredicate(FindPredicate pred, void* pData, UINT uFlags);

    virtual void Initialize();
    virtual void OnInitialize();
    virtual void RaiseEvent(UIEvent& event);
    virtual void HandleEvent(UIEvent& event);
    virtual void ApplyAttribute(const std::wstring& name, const std::wstring& value);
    virtual SIZE MeasureSize(SIZE szAvailable);

    virtual void Paint(HDC hDC, const RECT& rcPaint);
    virtual void PaintBackgroundColor(HDC hDC);
    virtual void PaintBackgroundImage(HDC hDC);
    virtual void PaintStateImages(HDC hDC);
    virtual void PaintContentText(HDC hDC);
    virtual void PaintBorderLines(HDC hDC);
    virtual void PaintOverlay(HDC hDC, const RECT& rcPaint);
    // The colour (unless an opaque picture of its own hides it) and the picture, for m_rcPaint.
    void PaintOwnBackground(HDC hDC);
    // True when this control's own background, as Paint draws it, leaves every pixel of rc opaque, so that
    // nothing painted before it there can show. A control whose Paint does not draw its background the
    // usual way answers for itself.
    virtual bool CoversOpaquely(const RECT& rc);
    // The control whose own opaque background is, within rc, all that lies under everything else drawn
    // there, drawn by nothing but its colour and picture; above receives the rectangles within rc where
    // anything is drawn over it. Null when there is none (a control drawing anything of its own over its
    // background answers null).
    virtual CControlUI* FindOpaqueBase(const RECT& rc, std::vector<RECT>& above);
    // This control's background alone (colour and picture, as Paint draws them) for rcPaint.
    void PaintBackgroundOnly(HDC hDC, const RECT& rcPaint);

    // name="value" name="value"
    void ApplyAttributeString(const std::wstring& list);
    void Invalidate();
    // Only part of the control needs repainting (cut to the control and to its ancestors).
    void InvalidatePart(const RECT& rc);
    void RequestRelayout();
    void RequestParentRelayout();
    std::wstring GetVirtualWindowName() const;
    void SetVirtualWindowName(const std::wstring& name);
    bool IsUpdateNeeded() const { return m_bUpdateNeeded; }

    DWORD GetBkColor() const { return m_dwBackColor; }
    void SetBkColor(DWORD c);
    DWORD GetBkColor2() const { return m_dwBackColor2; }
    void SetBkColor2(DWORD c);
    DWORD GetBkColor3() const { return m_dwBackColor3; }
    void SetBkColor3(DWORD c);
    const std::wstring& GetBkImage() const { return m_strBkImage; }
    void SetBkImage(const std::wstring& imageSpec);
    const std::wstring& GetForeImage() const { return m_strForeImage; }
    void SetForeImage(const std::wstring& imageSpec);
    DWORD GetBorderColor() const { return m_dwBorderColor; }
    void SetBorderColor(DWORD c);
    DWORD GetFocusBorderColor() const { return m_dwFocusBorderColor; }
    void SetFocusBorderColor(DWORD c);
    int GetBorderSize() const { return m_nBorderSize; }
    void SetBorderSize(int n);
    RECT GetBorderSizes() const { return m_rcBorderSize; }
    void SetBorderSizes(const RECT& rc);
    int GetBorderStyle() const { return m_nBorderStyle; }
    void SetBorderStyle(int n);
    SIZE GetBorderRound() const { return m_cxyBorderRound; }
    void SetBorderRound(SIZE sz);
    bool IsColorHSL() const { return m_bColorHSL; }

    CDelegateList<CControlUI*> OnInit;
    CDelegateList<CControlUI*> OnDestroy;
    CDelegateList<CControlUI*> OnSize;
    CDelegateList<UIEvent&> OnEvent;
    CDelegateList<UINotification&> OnNotify;

protected:
    // The size setters' common request: floating controls relayout themselves, others their parent.
    void RequestSizeRelayout();

    CUIManager* m_pManager = nullptr;
    CControlUI* m_pParent = nullptr;
    std::wstring m_strVirtualWnd;
    std::wstring m_strName;
    bool m_bUpdateNeeded = true;
    bool m_bMenuUsed = false;
    RECT m_rcItem{};
    RECT m_rcPadding{};
    SIZE m_cXY{};
    SIZE m_cxyFixed{};
    SIZE m_cxyMin{};
    SIZE m_cxyMax{9999, 9999};
    bool m_bVisible = true;
    bool m_bInternVisible = true;
    bool m_bEnabled = true;
    bool m_bMouseEnabled = true;
    bool m_bKeyboardEnabled = true;
    bool m_bFocused = false;
    bool m_bFloat = false;
    bool m_bSetPos = false;
    RelativeAnchor m_anchor;
    std::wstring m_strText;
    std::wstring m_strToolTip;
    wchar_t m_chShortcut = 0;
    std::wstring m_strUserData;
    UINT_PTR m_pTag = 0;
    DWORD m_dwBackColor = 0;
    DWORD m_dwBackColor2 = 0;
    DWORD m_dwBackColor3 = 0;
    std::wstring m_strBkImage;
    std::wstring m_strForeImage;
    DWORD m_dwBorderColor = 0;
    DWORD m_dwFocusBorderColor = 0;
    bool m_bColorHSL = false;
    int m_nBorderSize = 0;
    int m_nBorderStyle = 0;
    int m_nTooltipWidth = 300;
    SIZE m_cxyBorderRound{};
    RECT m_rcPaint{};
    RECT m_rcBorderSize{};
};

}  // namespace SkinUI
