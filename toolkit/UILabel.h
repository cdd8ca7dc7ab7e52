// Leaf controls with text: label, button with state images and "click", progress bar.
#pragma once

#include "UIControl.h"

namespace SkinUI {

// Text effects are accepted and stored; nothing draws them.
struct LabelEffects {
    bool bEnabled = false;
    int nTransShadow = 0;
    int nTransText = 0;
    int nTransShadow1 = 0;
    int nTransText1 = 0;
    int nGradientAngle = 0;
    bool bStroke = false;
    bool bShadow = false;
    int nTransStroke = 0;
    int nGradientLength = 0;
    DWORD dwTextColor1 = 0;
    DWORD dwShadowColorA = 0;
    DWORD dwShadowColorB = 0;
    DWORD dwStrokeColor = 0;
};

class CLabelUI : public CControlUI {
public:
    const wchar_t* GetClassName() const override;
    void* QueryKind(const std::wstring& kind) override;
    std::wstring GetText() const override;
    void SetText(const std::wstring& text) override;
    void HandleEvent(UIEvent& event) override;
    void ApplyAttribute(const std::wstring& name, const std::wstring& value) override;
    SIZE MeasureSize(SIZE szAvailable) override;
    void PaintContentText(HDC hDC) override;

    virtual bool IsAutoWidth() const;
    virtual void SetAutoWidth(bool b);

    DWORD GetTextColor() const { return m_dwTextColor; }
    void SetTextColor(DWORD c);
    DWORD GetDisabledTextColor() const { return m_dwDisabledTextColor; }
    void SetDisabledTextColor(DWORD c);
    int GetFont() const { return m_iFont; }
    void SetFont(int index);
    UINT GetTextStyle() const { return m_uTextStyle; }
    void SetTextStyle(UINT style);
    RECT GetTextPadding() const { return m_rcTextPadding; }
    void SetTextPadding(const RECT& rc);
    bool IsShowHtml() const { return m_bShowHtml; }
    void SetShowHtml(bool b);
    const LabelEffects& Effects() const { return m_effects; }

protected:
    // A colour of 0 takes the manager's default at paint time, and keeps it.
    void ResolveDefaultColors();
    void DrawText(HDC hDC, RECT rc, DWORD color, UINT style);
    int FontHeight() const;
    int MeasureTextWidth();

    DWORD m_dwTextColor = 0;
    DWORD m_dwDisabledTextColor = 0;
    int m_iFont = -1;
    UINT m_uTextStyle = DT_VCENTER;
    RECT m_rcTextPadding{};
    bool m_bShowHtml = false;
    bool m_bAutoCalcWidth = false;
    LabelEffects m_effects;
    std::wstring m_strEffectText;
};

class CButtonUI : public CLabelUI {
public:
    CButtonUI();
    const wchar_t* GetClassName() const override;
    void* QueryKind(const std::wstring& kind) override;
    UINT GetInputFlags() override;
    bool Activate() override;
    void SetEnabled(bool bEnable = true) override;
    void HandleEvent(UIEvent& event) override;
    void ApplyAttribute(const std::wstring& name, const std::wstring& value) override;
    SIZE MeasureSize(SIZE szAvailable) override;
    void PaintStateImages(HDC hDC) override;
    void PaintContentText(HDC hDC) override;

    UINT GetButtonState() const { return m_uButtonState; }
    const std::wstring& GetNormalImage() const { return m_strNormalImage; }
    const std::wstring& GetDisabledImage() const { return m_strDisabledImage; }
    int GetBindTabIndex() const { return m_iBindTabIndex; }
    const std::wstring& GetBindTabLayoutName() const { return m_strBindTabLayoutName; }

    enum : UINT { STATE_FOCUSED = 0x1, STATE_DISABLED = 0x4, STATE_HOT = 0x8, STATE_PUSHED = 0x10,
                  STATE_CAPTURED = 0x40 };

private:
    bool DrawImageSpec(HDC hDC, const std::wstring& imageSpec);

    UINT m_uButtonState = 0;
    DWORD m_dwHotBkColor = 0;
    DWORD m_dwHotTextColor = 0;
    DWORD m_dwPushedTextColor = 0;
    DWORD m_dwFocusedTextColor = 0;
    std::wstring m_strNormalImage;
    std::wstring m_strHotImage;
    std::wstring m_strHotForeImage;
    std::wstring m_strPushedImage;
    std::wstring m_strPushedForeImage;
    std::wstring m_strFocusedImage;
    std::wstring m_strDisabledImage;
    int m_iBindTabIndex = -1;
    std::wstring m_strBindTabLayoutName;
};

class CProgressUI : public CLabelUI {
public:
    CProgressUI();
    const wchar_t* GetClassName() const override;
    void* QueryKind(const std::wstring& kind) override;
    void ApplyAttribute(const std::wstring& name, const std::wstring& value) override;
    void PaintStateImages(HDC hDC) override;

    bool IsHorizontal() const { return m_bHorizontal; }
    void SetHorizontal(bool b);
    bool IsStretchForeImage() const { return m_bStretchForeImage; }
    void SetStretchForeImage(bool b);
    int GetMinValue() const { return m_nMin; }
    void SetMinValue(int n);
    int GetMaxValue() const { return m_nMax; }
    void SetMaxValue(int n);
    int GetValue() const { return m_nValue; }
    // Ignored when unchanged or outside [minimum, maximum].
    void SetValue(int n);
    const std::wstring& GetForeImage() const { return m_strProgressForeImage; }
    void SetForeImage(const std::wstring& imageSpec);
    // The modifier of the last paint ("dest='...'" or "dest='...' source='...'"), empty when nothing was drawn.
    const std::wstring& LastModifier() const { return m_strForeImageModify; }

private:
    // Where the bar's pixels can differ between the value painted last and the current one; false when
    // that cannot be told and the whole bar is to be repainted.
    bool ChangedPart(int oldValue, RECT& rc);

    bool m_bHorizontal = true;
    bool m_bStretchForeImage = true;
    int m_nMax = 100;
    int m_nMin = 0;
    int m_nValue = 0;
    std::wstring m_strProgressForeImage;
    std::wstring m_strForeImageModify;
};

}  // namespace SkinUI
