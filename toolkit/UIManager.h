// The window manager: one per skinned window, between the native window and its control tree.
#pragma once

#include "UIBase.h"
#include "UIHandle.h"
#include "UIRender.h"
#include "UIShadow.h"

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

namespace SkinUI {

// One entry of the font table.
struct FontRecord {
    HFONT hFont = nullptr;
    std::wstring face;
    int size = 0;
    bool bold = false;
    bool underline = false;
    bool italic = false;
    TEXTMETRICW tm{};
    bool hasMetrics = false;
};

struct TimerRecord {
    CControlUI* owner = nullptr;
    UINT localId = 0;
    HWND hWnd = nullptr;
    UINT nativeId = 0;
    bool killed = false;
};

class CUIManager : public IRenderHost {
public:
    CUIManager();
    virtual ~CUIManager();
    CUIManager(const CUIManager&) = delete;
    CUIManager& operator=(const CUIManager&) = delete;

    void Init(HWND hWnd);
    HWND GetPaintWindow() const { return m_hWndPaint; }
    HDC GetPaintDC() const { return m_hDcPaint; }
    CControlUI* GetRoot() const { return m_pRoot; }
    CShadowUI* GetShadow() { return &m_shadow; }
    CUIManager* GetParentManager() const { return m_pParentManager; }
    void SetParentManager(CUIManager* p) { m_pParentManager = p; }

    bool AttachRoot(CControlUI* pRoot);
    // Registers the names of a subtree that was added after the root was attached.
    void RegisterSubtreeNames(CControlUI* pControl);
    CControlUI* FindControlByName(const std::wstring& name);
    CControlUI* FindControlAt(POINT pt) const;

    void SendNotification(CControlUI* pSender, const std::wstring& type, WPARAM wParam = 0, LPARAM lParam = 0);

    CControlUI* GetFocusedControl() const { return m_pFocus; }
    CControlUI* GetHoverControl() const { return m_pEventHover; }
    CControlUI* GetPressedControl() const { return m_pEventClick; }
    void SetFocusedControl(CControlUI* pControl);
    void SetFocusByTab(CControlUI* pControl);
    bool MoveFocusByTab(bool bForward = true);

    bool StartTimer(CControlUI* pControl, UINT nTimerId, UINT uElapse);
    bool StopTimer(CControlUI* pControl, UINT nTimerId);
    const std::vector<TimerRecord>& Timers() const { return m_timers; }

    void ForgetControl(CControlUI* pControl);
    void DeferDelete(CControlUI* pControl);

    bool AddNotificationListener(INotifyUI* p);
    bool RemoveNotificationListener(INotifyUI* p);
    bool AddPreFilter(IMessageFilterUI* p);
    bool RemovePreFilter(IMessageFilterUI* p);
    bool AddMessageFilter(IMessageFilterUI* p);
    bool RemoveMessageFilter(IMessageFilterUI* p);
    bool AddPostPaintControl(CControlUI* p);
    bool RemovePostPaintControl(CControlUI* p);
    bool AddAcceleratorTranslator(ITranslateAccelerator* p);
    bool RemoveAcceleratorTranslator(ITranslateAccelerator* p);

    void InvalidateArea(const RECT& rc);
    void RequestLayout() { m_bUpdateNeeded = true; }
    bool IsLayoutNeeded() const { return m_bUpdateNeeded; }

    // Fonts: custom fonts by index from 0; an index outside the table gives the default font.
    HFONT RegisterFont(const std::wstring& face, int size, bool bold, bool underline, bool italic);
    const FontRecord& FontRecordAt(int index);
    void ReplaceDefaultFont(const std::wstring& face, int size, bool bold, bool underline, bool italic);
    int FontCount() const { return static_cast<int>(m_fonts.size()); }
    // Process-wide face name for the initial default font of managers created later.
    static void SetDefaultFontFace(const std::wstring& face);

    // IRenderHost
    const CachedImage* FindCachedImage(const std::wstring& name) override;
    const CachedImage* LoadCachedImage(const std::wstring& name, const std::wstring& resourceType,
                                       DWORD mask) override;
    HFONT FontAt(int index) override;
    bool IsPerPixelTransparent() const override { return m_bLayered; }
    bool IsAntialiasedText() const override { return m_bGdiplusText; }
    bool KeepsImageSourceDCs() const override { return true; }
    bool KeepsFontSelected(HDC hDC, HFONT hFont) const override;
    CImageCache& Images() { return m_images; }

    void SetClassDefaults(const std::wstring& className, const std::wstring& attributes);
    std::wstring ClassDefaults(const std::wstring& className);

    bool JoinOptionGroup(const std::wstring& group, CControlUI* pControl);
    void LeaveOptionGroup(const std::wstring& group, CControlUI* pControl);

    // Default colours (0xAARRGGBB).
    DWORD GetDefaultDisabledColor() const;
    void SetDefaultDisabledColor(DWORD c) { m_dwDefaultDisabledColor = c; }
    DWORD GetDefaultFontColor() const;
    void SetDefaultFontColor(DWORD c) { m_dwDefaultFontColor = c; }
    DWORD GetDefaultLinkFontColor() const { return m_dwDefaultLinkFontColor; }
    void SetDefaultLinkFontColor(DWORD c) { m_dwDefaultLinkFontColor = c; }
    DWORD GetDefaultLinkHoverFontColor() const { return m_dwDefaultLinkHoverFontColor; }
    void SetDefaultLinkHoverFontColor(DWORD c) { m_dwDefaultLinkHoverFontColor = c; }
    DWORD GetDefaultSelectedBkColor() const { return m_dwDefaultSelectedBkColor; }
    void SetDefaultSelectedBkColor(DWORD c) { m_dwDefaultSelectedBkColor = c; }

    // Geometry settings read by the window base.
    SIZE GetInitSize() const { return m_szInitWindowSize; }
    void SetInitSize(int cx, int cy);
    RECT GetSizeBox() const { return m_rcSizeBox; }
    void SetSizeBox(const RECT& rc) { m_rcSizeBox = rc; }
    RECT GetCaptionRect() const { return m_rcCaption; }
    void SetCaptionRect(const RECT& rc) { m_rcCaption = rc; }
    SIZE GetRoundCorner() const { return m_szRoundCorner; }
    void SetRoundCorner(int cx, int cy) { m_szRoundCorner = SIZE{cx, cy}; }
    SIZE GetMinInfo() const { return m_szMinWindow; }
    void SetMinInfo(int cx, int cy) { m_szMinWindow = SIZE{cx, cy}; }
    SIZE GetMaxInfo() const { return m_szMaxWindow; }
    void SetMaxInfo(int cx, int cy) { m_szMaxWindow = SIZE{cx, cy}; }

    BYTE GetOpacity() const { return m_nOpacity; }
    // Limited to 0..255; with a window, makes it layered with that opacity (out of range removes the style).
    void SetOpacity(int nOpacity);
    bool IsBackgroundTransparent() const { return m_bLayered; }
    void SetBackgroundTransparent(bool b);
    bool IsGdiplusText() const { return m_bGdiplusText; }
    void SetGdiplusText(bool b);
    // GDI+ draws the text of a per-pixel transparent window and antialiased text, and nothing else: it is
    // started with the first window that asks for either, so windows that need neither never load it.
    bool IsGdiplusStarted() const { return m_gdiplusToken != 0; }
    bool IsOffscreenPaint() const { return m_bOffscreenPaint; }
    // How many paints drew an opaque background straight to the window (see PaintAroundBase).
    unsigned PaintsAroundBase() const { return m_nPaintsAroundBase; }
    void SetOffscreenPaint(bool b) { m_bOffscreenPaint = b; }
    bool UsesVirtualWindows() const { return m_bUsedVirtualWnd; }
    void UsedVirtualWindows(bool b) { m_bUsedVirtualWnd = b; }
    POINT GetMousePos() const { return m_ptLastMousePos; }

    // Handles a window message the window base left unhandled; true when handled (then lRes holds the answer).
    bool HandleWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // Paints the tree into hDC for the rectangle (WM_PAINT and WM_PRINTCLIENT share it).
    void DoPaint(HDC hDC, const RECT& rcPaint);
    // The per-window half of keyboard pre-translation.
    bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

    // The caret of text-entry controls: blinks with timer 241 while an owner is set.
    void SetCaret(CControlUI* pOwner, const RECT& rc);
    const RECT& GetCaretRect() const { return m_rcCaret; }

    static bool PreTranslate(MSG* pMsg);
    static void RunMessageLoop();

private:
    void ClearFontRecord(FontRecord& rec);
    void MeasureFont(FontRecord& rec);
    void RemoveFromProcessList();
    void LayoutIfNeeded();
    void DropFocus(CControlUI* pNew);
    CControlUI* ReleasePressedControl();
    void RaiseKeyEvent(int type, CControlUI* pControl, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void PaintLayered(const RECT& rcUpdate);
    bool PaintAroundBase(HDC hDC, const RECT& rcUpdate);
    void ShowToolTip(CControlUI* pControl);
    void HideToolTip();
    void DeleteDeferred();
    void DropOffscreen();
    void StartGdiplus();
    void PaintCaret(HDC hDC);
    bool TranslateAccelerators(MSG* pMsg);
    UIEvent MakeEvent(int type, CControlUI* pSender) const;

    HWND m_hWndPaint = nullptr;
    HDC m_hDcPaint = nullptr;
    CMemDC m_hDcOffscreen;
    CUniqueBitmap m_hbmpOffscreen;
    BYTE* m_pOffscreenBits = nullptr;
    SIZE m_szOffscreen{};
    BYTE m_nOpacity = 255;

    CControlUI* m_pRoot = nullptr;
    CUIManager* m_pParentManager = nullptr;

    CControlUI* m_pFocus = nullptr;
    CControlUI* m_pEventHover = nullptr;
    CControlUI* m_pEventClick = nullptr;
    CControlUI* m_pEventKey = nullptr;
    POINT m_ptLastMousePos{-1, -1};
    bool m_bMouseTracking = false;
    bool m_bMouseCapture = false;

    SIZE m_szInitWindowSize{};
    SIZE m_szMinWindow{};
    SIZE m_szMaxWindow{};
    RECT m_rcSizeBox{};
    RECT m_rcCaption{};
    SIZE m_szRoundCorner{};

    bool m_bFirstLayout = true;
    bool m_bUpdateNeeded = false;
    bool m_bFocusNeeded = false;
    bool m_bOffscreenPaint = true;
    bool m_bLayered = false;
    bool m_bGdiplusText = false;
    bool m_bUsedVirtualWnd = false;
    bool m_bRestorePending = false;
    RECT m_rcLayeredUpdate{};

    std::vector<TimerRecord> m_timers;
    UINT m_uTimerId = 0x1000;

    std::vector<INotifyUI*> m_listeners;
    std::vector<IMessageFilterUI*> m_preFilters;
    std::vector<IMessageFilterUI*> m_messageFilters;
    std::vector<CControlUI*> m_postPaint;
    std::vector<CControlUI*> m_delayedCleanup;
    std::vector<ITranslateAccelerator*> m_translators;

    CStringMap<CControlUI*> m_names;
    CStringMap<std::vector<CControlUI*>> m_optionGroups;
    CStringMap<std::wstring> m_classDefaults;
    CImageCache m_images;

    FontRecord m_defaultFont;
    std::vector<FontRecord> m_fonts;

    DWORD m_dwDefaultDisabledColor = 0xFFA7A6AA;
    DWORD m_dwDefaultFontColor = 0xFF000001;
    DWORD m_dwDefaultLinkFontColor = 0xFF0000FF;
    DWORD m_dwDefaultLinkHoverFontColor = 0xFFD3215F;
    DWORD m_dwDefaultSelectedBkColor = 0xFFBAE4FF;

    HWND m_hwndTooltip = nullptr;
    TOOLINFOW m_toolTip{};
    std::wstring m_strToolTipText;

    RECT m_rcCaret{};
    CControlUI* m_pCaretOwner = nullptr;
    bool m_bCaretShowing = false;
    unsigned m_nPaintsAroundBase = 0;
    HGDIOBJ m_hOldOffscreenBitmap = nullptr;

    CShadowUI m_shadow;
    ULONG_PTR m_gdiplusToken = 0;
};

}  // namespace SkinUI
