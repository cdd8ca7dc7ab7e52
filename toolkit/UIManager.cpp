#include "UIManager.h"

#include "UIControl.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cwctype>

namespace SkinUI {

namespace {

std::vector<CUIManager*>& ProcessManagers()
{
    static std::vector<CUIManager*> s_managers;
    return s_managers;
}

std::wstring& DefaultFontFace()
{
    static std::wstring s_face;
    return s_face;
}

bool s_bProcessInitDone = false;
constexpr UINT kDeferredDeleteMessage = WM_APP + 1;
constexpr UINT_PTR kCaretTimerId = 241;
constexpr UINT kReflectBase = 0x2000;
// A layout pass that keeps finding controls to place would hang the window; no real tree needs this many.
constexpr int kMaxLayoutPasses = 100000;

template <typename T>
bool AddUnique(std::vector<T*>& list, T* p)
{
    if (p == nullptr || std::find(list.begin(), list.end(), p) != list.end()) return false;
    list.push_back(p);
    return true;
}

template <typename T>
bool RemoveOne(std::vector<T*>& list, T* p)
{
    auto it = std::find(list.begin(), list.end(), p);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

// Offers something to every entry of a list in registration order until fn answers true. Entries may be
// added or removed while one runs: an added entry waits for the next offer, a removed one is not called.
template <typename T, typename Fn>
bool OfferInOrder(const std::vector<T*>& list, Fn fn)
{
    const std::vector<T*> snapshot = list;
    for (T* p : snapshot) {
        if (std::find(list.begin(), list.end(), p) == list.end()) continue;
        if (fn(p)) return true;
    }
    return false;
}

WORD CurrentKeyState()
{
    WORD state = 0;
    if (::GetKeyState(VK_LBUTTON) < 0) state |= MK_LBUTTON;
    if (::GetKeyState(VK_RBUTTON) < 0) state |= MK_RBUTTON;
    if (::GetKeyState(VK_SHIFT) < 0) state |= MK_SHIFT;
    if (::GetKeyState(VK_CONTROL) < 0) state |= MK_CONTROL;
    if (::GetKeyState(VK_MENU) < 0) state |= UIKEY_ALT;
    return state;
}

POINT PointFromLParam(LPARAM lParam)
{
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

CControlUI* HitPredicate(CControlUI* p, void*) { return p; }

struct TabSearch {
    CControlUI* pFocus = nullptr;
    CControlUI* pLast = nullptr;
    bool bForward = true;
    bool bNextIsIt = false;
};

CControlUI* FindFromTab(CControlUI* pThis, void* pData)
{
    auto* info = static_cast<TabSearch*>(pData);
    if (pThis == info->pFocus) {
        if (info->bForward) {
            info->bNextIsIt = true;
            return nullptr;
        }
        // Backward: the tab stop before the focus; at the first one keep walking so the last is remembered.
        return info->pLast;
    }
    if ((pThis->GetInputFlags() & UIFLAG_TABSTOP) == 0) return nullptr;
    info->pLast = pThis;
    if (info->bNextIsIt) return pThis;
    if (info->pFocus == nullptr) return pThis;
    return nullptr;
}

struct ShortcutSearch {
    wchar_t ch = 0;
    bool bPickNext = false;
};

CControlUI* FindFromShortcut(CControlUI* pThis, void* pData)
{
    if (!pThis->IsVisible()) return nullptr;
    auto* info = static_cast<ShortcutSearch*>(pData);
    if (info->ch == static_cast<wchar_t>(std::towupper(pThis->GetShortcut()))) info->bPickNext = true;
    // A label names the control after it; it never takes the focus itself.
    if (wcsstr(pThis->GetClassName(), L"LabelUI") != nullptr) return nullptr;
    return info->bPickNext ? pThis : nullptr;
}

// The window a child window sits in; none for a top-level window, whose owner is not its container.
HWND ContainerWindowOf(HWND hWnd)
{
    if ((::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD) == 0) return nullptr;
    return ::GetParent(hWnd);
}

CControlUI* FindNeedsLayout(CControlUI* pThis, void*) { return pThis->IsUpdateNeeded() ? pThis : nullptr; }

}  // namespace

CUIManager::CUIManager()
{
    if (!s_bProcessInitDone) {
        s_bProcessInitDone = true;
        // Kept for the process: alpha blending lives there.
        (void)::LoadLibraryW(L"msimg32.dll");
    }
    LOGFONTW lf{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    if (!DefaultFontFace().empty()) wcsncpy_s(lf.lfFaceName, DefaultFontFace().c_str(), _TRUNCATE);
    lf.lfCharSet = DEFAULT_CHARSET;
    m_defaultFont.hFont = ::CreateFontIndirectW(&lf);
    m_defaultFont.face = lf.lfFaceName;
    m_defaultFont.size = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
    m_defaultFont.bold = lf.lfWeight >= FW_BOLD;
    m_defaultFont.underline = lf.lfUnderline != 0;
    m_defaultFont.italic = lf.lfItalic != 0;
}

CUIManager::~CUIManager()
{
    HideToolTip();
    delete m_pRoot;
    m_pRoot = nullptr;
    DeleteDeferred();
    m_postPaint.clear();
    DropOffscreen();  // it may hold a font of this window
    for (auto& rec : m_fonts) ClearFontRecord(rec);
    m_fonts.clear();
    ClearFontRecord(m_defaultFont);
    m_images.Clear();
    m_names.Clear();
    m_optionGroups.Clear();
    m_classDefaults.Clear();
    for (const auto& t : m_timers)
        if (!t.killed && t.hWnd != nullptr && ::IsWindow(t.hWnd)) ::KillTimer(t.hWnd, t.nativeId);
    m_timers.clear();
    if (m_hwndTooltip != nullptr) ::DestroyWindow(m_hwndTooltip);
    if (m_hDcPaint != nullptr) ::ReleaseDC(m_hWndPaint, m_hDcPaint);
    RemoveFromProcessList();
    if (m_gdiplusToken != 0) Gdiplus::GdiplusShutdown(m_gdiplusToken);
}

void CUIManager::StartGdiplus()
{
    if (m_gdiplusToken != 0) return;
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr) != Gdiplus::Ok) m_gdiplusToken = 0;
}

void CUIManager::SetBackgroundTransparent(bool b)
{
    m_bLayered = b;
    if (b) StartGdiplus();
}

void CUIManager::SetGdiplusText(bool b)
{
    m_bGdiplusText = b;
    if (b) StartGdiplus();
}

void CUIManager::Init(HWND hWnd)
{
    if (m_hDcPaint != nullptr) ::ReleaseDC(m_hWndPaint, m_hDcPaint);
    m_hWndPaint = hWnd;
    m_hDcPaint = ::GetDC(hWnd);
    AddUnique(ProcessManagers(), this);
}

void CUIManager::RemoveFromProcessList() { RemoveOne(ProcessManagers(), this); }

void CUIManager::SetDefaultFontFace(const std::wstring& face) { DefaultFontFace() = face; }

bool CUIManager::AttachRoot(CControlUI* pRoot)
{
    SetFocusedControl(nullptr);
    m_pEventKey = nullptr;
    m_pEventHover = nullptr;
    m_pEventClick = nullptr;
    if (m_pRoot != nullptr) {
        m_postPaint.clear();
        DeferDelete(m_pRoot);
    }
    m_pRoot = pRoot;
    m_bFirstLayout = true;
    m_bUpdateNeeded = true;
    m_bFocusNeeded = true;
    m_shadow.CreateShadow(this);
    if (m_pRoot == nullptr) return false;
    m_pRoot->Attach(this, m_pRoot->GetParent(), true);
    RegisterSubtreeNames(m_pRoot);
    return true;
}

void CUIManager::RegisterSubtreeNames(CControlUI* pControl)
{
    if (pControl == nullptr) return;
    // Children are visited before their container and siblings in order, so a later control of the same
    // name replaces an earlier one.
    auto reg = [](CControlUI* p, void* pData) -> CControlUI* {
        auto* self = static_cast<CUIManager*>(pData);
        std::wstring name = p->GetName();
        if (!name.empty()) self->m_names.Set(name, p);
        return nullptr;
    };
    pControl->FindByPredicate(reg, this, UIFIND_ALL);
}

CControlUI* CUIManager::FindControlByName(const std::wstring& name)
{
    CControlUI** p = m_names.Find(name);
    return p != nullptr ? *p : nullptr;
}

CControlUI* CUIManager::FindControlAt(POINT pt) const
{
    if (m_pRoot == nullptr) return nullptr;
    return m_pRoot->FindByPredicate(HitPredicate, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

void CUIManager::SendNotification(CControlUI* pSender, const std::wstring& type, WPARAM wParam, LPARAM lParam)
{
    UINotification msg;
    msg.type = type;
    msg.sender = pSender;
    msg.timestamp = ::GetTickCount();
    msg.ptMouse = m_ptLastMousePos;
    msg.wParam = wParam;
    msg.lParam = lParam;
    if (m_bUsedVirtualWnd && pSender != nullptr) msg.virtualWnd = pSender->GetVirtualWindowName();
    if (pSender != nullptr) pSender->OnNotify.Fire(msg);
    (void)OfferInOrder(m_listeners, [&msg](INotifyUI* p) {
        p->Notify(msg);
        return false;  // every listener hears it
    });
}

UIEvent CUIManager::MakeEvent(int type, CControlUI* pSender) const
{
    UIEvent e;
    e.type = type;
    e.sender = pSender;
    e.timestamp = ::GetTickCount();
    e.ptMouse = m_ptLastMousePos;
    e.keyState = CurrentKeyState();
    return e;
}

// The focused control loses the focus to pNew (which may be none): its event, then "killfocus".
void CUIManager::DropFocus(CControlUI* pNew)
{
    if (m_pFocus == nullptr) return;
    CControlUI* pOld = m_pFocus;
    UIEvent e = MakeEvent(EV_KILLFOCUS, pNew);
    pOld->RaiseEvent(e);
    SendNotification(pOld, L"killfocus");
    m_pFocus = nullptr;
}

// Keyboard events carry the character or virtual key in both key and wParam.
void CUIManager::RaiseKeyEvent(int type, CControlUI* pControl, WPARAM wParam, LPARAM lParam)
{
    UIEvent e = MakeEvent(type, pControl);
    e.key = static_cast<wchar_t>(wParam);
    e.wParam = wParam;
    e.lParam = lParam;
    pControl->RaiseEvent(e);
}

// The pressed control lets go of the mouse; it is returned for its last event.
CControlUI* CUIManager::ReleasePressedControl()
{
    CControlUI* pControl = m_pEventClick;
    if (pControl == nullptr) return nullptr;
    m_pEventClick = nullptr;
    m_bMouseCapture = false;
    ::ReleaseCapture();
    return pControl;
}

void CUIManager::SetFocusedControl(CControlUI* pControl)
{
    if (m_hWndPaint != nullptr && ::GetFocus() != m_hWndPaint && pControl != m_pFocus) ::SetFocus(m_hWndPaint);
    if (pControl == m_pFocus) return;
    DropFocus(pControl);
    if (pControl == nullptr) return;
    if (pControl->GetManager() == this && pControl->IsVisible() && pControl->IsEnabled()) {
        m_pFocus = pControl;
        UIEvent e = MakeEvent(EV_SETFOCUS, pControl);
        pControl->RaiseEvent(e);
        SendNotification(pControl, L"setfocus");
    }
}

void CUIManager::SetFocusByTab(CControlUI* pControl)
{
    if (m_hWndPaint != nullptr) ::SetFocus(m_hWndPaint);
    if (pControl == nullptr) return;
    DropFocus(pControl);
    if (m_pRoot == nullptr) return;
    TabSearch info;
    info.pFocus = pControl;
    info.bForward = false;
    m_pFocus = m_pRoot->FindByPredicate(FindFromTab, &info, UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST);
    m_bFocusNeeded = true;
    if (m_pRoot->IsVisible()) m_pRoot->RequestRelayout();
}

bool CUIManager::MoveFocusByTab(bool bForward)
{
    if (m_bUpdateNeeded && bForward) {
        m_bFocusNeeded = true;
        if (m_hWndPaint != nullptr) ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
        return true;
    }
    if (m_pRoot == nullptr) return false;
    const UINT flags = UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST;
    TabSearch info;
    info.pFocus = m_pFocus;
    info.bForward = bForward;
    CControlUI* pControl = m_pRoot->FindByPredicate(FindFromTab, &info, flags);
    if (pControl == nullptr) {
        if (bForward) {
            TabSearch first;
            first.bForward = true;
            pControl = m_pRoot->FindByPredicate(FindFromTab, &first, flags);
        } else {
            pControl = info.pLast;
        }
    }
    if (pControl != nullptr) SetFocusedControl(pControl);
    m_bFocusNeeded = false;
    return true;
}

bool CUIManager::StartTimer(CControlUI* pControl, UINT nTimerId, UINT uElapse)
{
    for (auto& t : m_timers) {
        if (t.owner == pControl && t.localId == nTimerId && t.hWnd == m_hWndPaint) {
            if (!t.killed) return false;
            if (::SetTimer(m_hWndPaint, t.nativeId, uElapse, nullptr) == 0) return false;
            t.killed = false;
            return true;
        }
    }
    m_uTimerId = (m_uTimerId + 1) % 240;
    if (::SetTimer(m_hWndPaint, m_uTimerId, uElapse, nullptr) == 0) return false;
    m_timers.push_back(TimerRecord{pControl, nTimerId, m_hWndPaint, m_uTimerId, false});
    return true;
}

bool CUIManager::StopTimer(CControlUI* pControl, UINT nTimerId)
{
    for (auto& t : m_timers) {
        if (t.owner == pControl && t.localId == nTimerId && t.hWnd == m_hWndPaint && !t.killed) {
            if (::IsWindow(m_hWndPaint)) ::KillTimer(t.hWnd, t.nativeId);
            t.killed = true;
            return true;
        }
    }
    return false;
}

void CUIManager::ForgetControl(CControlUI* pControl)
{
    if (pControl == m_pEventKey) m_pEventKey = nullptr;
    if (pControl == m_pEventHover) m_pEventHover = nullptr;
    if (pControl == m_pEventClick) m_pEventClick = nullptr;
    if (pControl == m_pFocus) m_pFocus = nullptr;
    if (pControl == m_pCaretOwner) m_pCaretOwner = nullptr;
    // A post-paint registration would outlive the control otherwise.
    RemoveOne(m_postPaint, pControl);
    for (size_t i = 0; i < m_timers.size();) {
        const TimerRecord& t = m_timers[i];
        if (t.owner == pControl && t.hWnd == m_hWndPaint) {
            if (!t.killed && ::IsWindow(t.hWnd)) ::KillTimer(t.hWnd, t.nativeId);
            m_timers.erase(m_timers.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
    std::wstring name = pControl->GetName();
    if (!name.empty()) {
        CControlUI** p = m_names.Find(name);
        if (p != nullptr && *p == pControl) m_names.Remove(name);
    }
}

void CUIManager::DeferDelete(CControlUI* pControl)
{
    if (pControl == nullptr) return;
    pControl->Attach(this, nullptr, false);
    m_delayedCleanup.push_back(pControl);
    if (m_hWndPaint != nullptr) ::PostMessageW(m_hWndPaint, kDeferredDeleteMessage, 0, 0);
}

void CUIManager::DeleteDeferred()
{
    // Deleting may queue more (a container's deferred children); loop until the list stays empty.
    while (!m_delayedCleanup.empty()) {
        std::vector<CControlUI*> list;
        list.swap(m_delayedCleanup);
        for (CControlUI* p : list) delete p;
    }
}

bool CUIManager::AddNotificationListener(INotifyUI* p) { return AddUnique(m_listeners, p); }
bool CUIManager::RemoveNotificationListener(INotifyUI* p) { return RemoveOne(m_listeners, p); }
bool CUIManager::AddPreFilter(IMessageFilterUI* p) { return AddUnique(m_preFilters, p); }
bool CUIManager::RemovePreFilter(IMessageFilterUI* p) { return RemoveOne(m_preFilters, p); }
bool CUIManager::AddMessageFilter(IMessageFilterUI* p) { return AddUnique(m_messageFilters, p); }
bool CUIManager::RemoveMessageFilter(IMessageFilterUI* p) { return RemoveOne(m_messageFilters, p); }
bool CUIManager::AddPostPaintControl(CControlUI* p) { return AddUnique(m_postPaint, p); }
bool CUIManager::RemovePostPaintControl(CControlUI* p) { return RemoveOne(m_postPaint, p); }
bool CUIManager::AddAcceleratorTranslator(ITranslateAccelerator* p) { return AddUnique(m_translators, p); }
bool CUIManager::RemoveAcceleratorTranslator(ITranslateAccelerator* p) { return RemoveOne(m_translators, p); }

void CUIManager::InvalidateArea(const RECT& rc)
{
    if (RectIsEmpty(rc)) return;
    if (m_hWndPaint != nullptr) ::InvalidateRect(m_hWndPaint, &rc, FALSE);
    // United rather than replaced, so that the transparent path repaints everything invalidated since.
    if (RectIsEmpty(m_rcLayeredUpdate))
        m_rcLayeredUpdate = rc;
    else
        ::UnionRect(&m_rcLayeredUpdate, &m_rcLayeredUpdate, &rc);
}

// ---------------------------------------------------------------------------------------------------------
// Fonts

void CUIManager::ClearFontRecord(FontRecord& rec)
{
    if (rec.hFont != nullptr) ::DeleteObject(rec.hFont);
    rec = FontRecord{};
}

void CUIManager::MeasureFont(FontRecord& rec)
{
    if (m_hDcPaint == nullptr || rec.hFont == nullptr) return;
    HGDIOBJ old = ::SelectObject(m_hDcPaint, rec.hFont);
    ::GetTextMetricsW(m_hDcPaint, &rec.tm);
    ::SelectObject(m_hDcPaint, old);
    rec.hasMetrics = true;
}

HFONT CUIManager::RegisterFont(const std::wstring& face, int size, bool bold, bool underline, bool italic)
{
    LOGFONTW lf{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    wcsncpy_s(lf.lfFaceName, face.c_str(), _TRUNCATE);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = -size;
    lf.lfQuality = CLEARTYPE_QUALITY;
    if (bold) lf.lfWeight += FW_BOLD;
    if (underline) lf.lfUnderline = TRUE;
    if (italic) lf.lfItalic = TRUE;
    HFONT hFont = ::CreateFontIndirectW(&lf);
    if (hFont == nullptr) return nullptr;
    FontRecord rec;
    rec.hFont = hFont;
    rec.face = face;
    rec.size = size;
    rec.bold = bold;
    rec.underline = underline;
    rec.italic = italic;
    MeasureFont(rec);
    m_fonts.push_back(rec);
    return hFont;
}

const FontRecord& CUIManager::FontRecordAt(int index)
{
    if (index >= 0 && index < static_cast<int>(m_fonts.size())) {
        FontRecord& rec = m_fonts[static_cast<size_t>(index)];
        if (!rec.hasMetrics) MeasureFont(rec);
        return rec;
    }
    if (m_pParentManager != nullptr) return m_pParentManager->FontRecordAt(-1);
    if (!m_defaultFont.hasMetrics) MeasureFont(m_defaultFont);
    return m_defaultFont;
}

HFONT CUIManager::FontAt(int index) { return FontRecordAt(index).hFont; }

bool CUIManager::KeepsFontSelected(HDC hDC, HFONT hFont) const
{
    // Only the offscreen surface, which is dropped before any font of this window is freed, and only this
    // window's own fonts (a parent's may be freed while this window lives).
    if (hDC == nullptr || hFont == nullptr || hDC != m_hDcOffscreen.Get()) return false;
    if (hFont == m_defaultFont.hFont) return true;
    for (const auto& rec : m_fonts)
        if (rec.hFont == hFont) return true;
    return false;
}

void CUIManager::ReplaceDefaultFont(const std::wstring& face, int size, bool bold, bool underline, bool italic)
{
    LOGFONTW lf{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    wcsncpy_s(lf.lfFaceName, face.c_str(), _TRUNCATE);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = -size;
    if (bold) lf.lfWeight += FW_BOLD;
    if (underline) lf.lfUnderline = TRUE;
    if (italic) lf.lfItalic = TRUE;
    HFONT hFont = ::CreateFontIndirectW(&lf);
    if (hFont == nullptr) return;
    DropOffscreen();  // it may hold the old font
    ClearFontRecord(m_defaultFont);
    m_defaultFont.hFont = hFont;
    m_defaultFont.face = face;
    m_defaultFont.size = size;
    m_defaultFont.bold = bold;
    m_defaultFont.underline = underline;
    m_defaultFont.italic = italic;
    MeasureFont(m_defaultFont);
}

// ---------------------------------------------------------------------------------------------------------
// Registries

const CachedImage* CUIManager::FindCachedImage(const std::wstring& name)
{
    const CachedImage* p = m_images.Find(name);
    if (p == nullptr && m_pParentManager != nullptr) return m_pParentManager->FindCachedImage(name);
    return p;
}

const CachedImage* CUIManager::LoadCachedImage(const std::wstring& name, const std::wstring& resourceType,
                                               DWORD mask)
{
    return m_images.Load(name, resourceType, mask);
}

void CUIManager::SetClassDefaults(const std::wstring& className, const std::wstring& attributes)
{
    (void)m_classDefaults.Insert(className, attributes);  // the first list for a class wins
}

std::wstring CUIManager::ClassDefaults(const std::wstring& className)
{
    if (const std::wstring* p = m_classDefaults.Find(className)) return *p;
    if (m_pParentManager != nullptr) return m_pParentManager->ClassDefaults(className);
    return std::wstring();
}

bool CUIManager::JoinOptionGroup(const std::wstring& group, CControlUI* pControl)
{
    if (pControl == nullptr || group.empty()) return false;
    if (auto* list = m_optionGroups.Find(group)) return AddUnique(*list, pControl);
    m_optionGroups.Set(group, std::vector<CControlUI*>{pControl});
    return true;
}

void CUIManager::LeaveOptionGroup(const std::wstring& group, CControlUI* pControl)
{
    auto* list = m_optionGroups.Find(group);
    if (list == nullptr) return;
    RemoveOne(*list, pControl);
    if (list->empty()) m_optionGroups.Remove(group);
}

DWORD CUIManager::GetDefaultDisabledColor() const
{
    return m_pParentManager != nullptr ? m_pParentManager->GetDefaultDisabledColor() : m_dwDefaultDisabledColor;
}

DWORD CUIManager::GetDefaultFontColor() const
{
    return m_pParentManager != nullptr ? m_pParentManager->GetDefaultFontColor() : m_dwDefaultFontColor;
}

void CUIManager::SetInitSize(int cx, int cy)
{
    m_szInitWindowSize = SIZE{cx, cy};
    if (m_pRoot == nullptr && m_hWndPaint != nullptr)
        ::SetWindowPos(m_hWndPaint, nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

void CUIManager::SetOpacity(int nOpacity)
{
    m_nOpacity = static_cast<BYTE>(std::clamp(nOpacity, 0, 255));
    if (m_hWndPaint == nullptr) return;
    using SetLayeredFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
    HMODULE hUser = ::GetModuleHandleW(L"User32.dll");
    auto fn = hUser ? reinterpret_cast<SetLayeredFn>(
                          reinterpret_cast<void*>(::GetProcAddress(hUser, "SetLayeredWindowAttributes")))
                    : nullptr;
    if (fn == nullptr) return;
    LONG_PTR exStyle = ::GetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE);
    if (nOpacity >= 0 && nOpacity <= 255) {
        ::SetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
        fn(m_hWndPaint, 0, m_nOpacity, LWA_ALPHA);
    } else {
        ::SetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE, exStyle & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    }
}

void CUIManager::SetCaret(CControlUI* pOwner, const RECT& rc)
{
    if (m_pCaretOwner != nullptr) InvalidateArea(m_rcCaret);
    m_pCaretOwner = pOwner;
    m_rcCaret = rc;
    m_bCaretShowing = pOwner != nullptr;
    if (m_hWndPaint == nullptr) return;
    if (pOwner != nullptr)
        ::SetTimer(m_hWndPaint, kCaretTimerId, ::GetCaretBlinkTime(), nullptr);
    else
        ::KillTimer(m_hWndPaint, kCaretTimerId);
}

void CUIManager::PaintCaret(HDC hDC)
{
    if (m_pCaretOwner == nullptr || !m_bCaretShowing) return;
    CRenderKit::FillColor(hDC, m_rcCaret, 0xFF000000);
}

// ---------------------------------------------------------------------------------------------------------
// Painting

void CUIManager::DropOffscreen()
{
    if (m_hDcOffscreen && m_hOldOffscreenBitmap != nullptr) ::SelectObject(m_hDcOffscreen.Get(), m_hOldOffscreenBitmap);
    m_hOldOffscreenBitmap = nullptr;
    m_hbmpOffscreen.Reset();
    m_hDcOffscreen.Reset();
    m_pOffscreenBits = nullptr;
    m_szOffscreen = SIZE{};
}

void CUIManager::LayoutIfNeeded()
{
    if (!m_bUpdateNeeded || m_pRoot == nullptr || m_hWndPaint == nullptr) return;
    m_bUpdateNeeded = false;
    RECT rcClient{};
    ::GetClientRect(m_hWndPaint, &rcClient);
    if (RectIsEmpty(rcClient)) return;
    if (m_pRoot->IsUpdateNeeded()) {
        if (!::IsIconic(m_hWndPaint)) m_pRoot->SetPos(rcClient);
        DropOffscreen();
    } else {
        for (int i = 0; i < kMaxLayoutPasses; ++i) {
            CControlUI* p = m_pRoot->FindByPredicate(FindNeedsLayout, nullptr, UIFIND_VISIBLE | UIFIND_ME_FIRST);
            if (p == nullptr) break;
            p->SetPos(p->GetPos());
        }
    }
    if (m_bFirstLayout) {
        m_bFirstLayout = false;
        SendNotification(m_pRoot, L"windowinit");
    }
}

void CUIManager::DoPaint(HDC hDC, const RECT& rcPaint)
{
    if (m_pRoot != nullptr) m_pRoot->Paint(hDC, rcPaint);
    PaintCaret(hDC);
    for (size_t i = 0; i < m_postPaint.size(); ++i) m_postPaint[i]->PaintOverlay(hDC, rcPaint);
}

void CUIManager::OnPaint()
{
    // Layout first: the areas it invalidates join this paint's update region instead of asking for a
    // second full paint once this one has validated the window.
    if (m_pRoot != nullptr) {
        LayoutIfNeeded();
        if (m_bFocusNeeded) MoveFocusByTab(true);
    }

    // BeginPaint's rectangle is the update rectangle; asking for it with GetUpdateRect as well would cost
    // another round trip to the window server on every paint, whatever its size.
    PAINTSTRUCT ps;
    if (::BeginPaint(m_hWndPaint, &ps) == nullptr) return;
    const RECT rcUpdate = ps.rcPaint;
    if (m_pRoot == nullptr || RectIsEmpty(rcUpdate)) {
        ::EndPaint(m_hWndPaint, &ps);
        return;
    }

    RECT rcClient{};
    ::GetClientRect(m_hWndPaint, &rcClient);
    const SIZE szClient{rcClient.right - rcClient.left, rcClient.bottom - rcClient.top};
    if (m_bLayered && m_bOffscreenPaint) {
        PaintLayered(rcUpdate);
    } else if (m_bOffscreenPaint) {
        if (!m_hDcOffscreen || m_szOffscreen.cx != szClient.cx || m_szOffscreen.cy != szClient.cy) {
            DropOffscreen();
            m_hDcOffscreen.Put(::CreateCompatibleDC(m_hDcPaint));
            m_hbmpOffscreen.Put(::CreateCompatibleBitmap(m_hDcPaint, szClient.cx, szClient.cy));
            if (m_hDcOffscreen && m_hbmpOffscreen)
                m_hOldOffscreenBitmap = ::SelectObject(m_hDcOffscreen.Get(), m_hbmpOffscreen.Get());
            m_szOffscreen = szClient;
        }
        if (m_hDcOffscreen && m_hbmpOffscreen) {
            // The surface is this window's own and drawing puts back what it changes, except the font it
            // leaves selected: saving and restoring the whole DC state would cost Wine more than a small
            // repaint's drawing.
            if (!PaintAroundBase(ps.hdc, rcUpdate)) {
                DoPaint(m_hDcOffscreen.Get(), rcUpdate);
                ::BitBlt(ps.hdc, rcUpdate.left, rcUpdate.top, rcUpdate.right - rcUpdate.left,
                         rcUpdate.bottom - rcUpdate.top, m_hDcOffscreen.Get(), rcUpdate.left, rcUpdate.top, SRCCOPY);
            }
        }
    } else {
        int saved = ::SaveDC(ps.hdc);
        m_pRoot->Paint(ps.hdc, rcUpdate);
        PaintCaret(ps.hdc);
        ::RestoreDC(ps.hdc, saved);
    }
    ::EndPaint(m_hWndPaint, &ps);
    if (m_bUpdateNeeded) ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
}

// A window that is mostly one opaque background (the download page: a picture under a bar, a line of text
// and two buttons) would have the picture copied into the off-screen surface and the surface copied to the
// window: two full copies where a plain window makes one. Instead the background goes to the window straight
// from its source, around the rectangles where anything is drawn over it, and only those go through the
// off-screen surface. Every pixel still reaches the window once, with its final value, so nothing flickers.
bool CUIManager::PaintAroundBase(HDC hDC, const RECT& rcUpdate)
{
    constexpr size_t kMaxAbove = 16;  // each one is a paint of the tree of its own
    if (m_pRoot == nullptr || !m_postPaint.empty() || (m_pCaretOwner != nullptr && m_bCaretShowing)) return false;
    std::vector<RECT> above;
    CControlUI* base = m_pRoot->FindOpaqueBase(rcUpdate, above);
    if (base == nullptr) return false;
    // Overlapping rectangles are joined: a control cut across two of them would be drawn through other clips
    // than one paint of the whole area draws it through (and a stretched piece rounds by its clip).
    for (bool joined = true; joined;) {
        joined = false;
        for (size_t i = 0; i < above.size() && !joined; ++i)
            for (size_t j = i + 1; j < above.size(); ++j) {
                RECT common;
                if (!::IntersectRect(&common, &above[i], &above[j])) continue;
                ::UnionRect(&above[i], &above[i], &above[j]);
                above.erase(above.begin() + static_cast<std::ptrdiff_t>(j));
                joined = true;
                break;
            }
    }
    if (above.size() > kMaxAbove) return false;
    const auto area = [](const RECT& rc) {
        return static_cast<long long>(rc.right - rc.left) * static_cast<long long>(rc.bottom - rc.top);
    };
    long long aboveArea = 0;
    for (const RECT& rc : above) aboveArea += area(rc);
    if (aboveArea * 4 > area(rcUpdate)) return false;  // mostly covered: one copy of the whole is cheaper

    const int saved = ::SaveDC(hDC);
    for (const RECT& rc : above) ::ExcludeClipRect(hDC, rc.left, rc.top, rc.right, rc.bottom);
    base->PaintBackgroundOnly(hDC, rcUpdate);
    ::RestoreDC(hDC, saved);
    for (const RECT& rc : above) {
        DoPaint(m_hDcOffscreen.Get(), rc);
        ::BitBlt(hDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, m_hDcOffscreen.Get(), rc.left, rc.top,
                 SRCCOPY);
    }
    ++m_nPaintsAroundBase;
    return true;
}

void CUIManager::PaintLayered(const RECT& rcUpdate)
{
    LONG_PTR exStyle = ::GetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE);
    if ((exStyle & WS_EX_LAYERED) == 0) ::SetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    RECT rcClient{};
    ::GetClientRect(m_hWndPaint, &rcClient);
    const SIZE sz{rcClient.right - rcClient.left, rcClient.bottom - rcClient.top};
    RECT rcArea;
    if (m_bRestorePending) {
        rcArea = rcClient;
        m_bRestorePending = false;
    } else {
        rcArea = rcUpdate;
        if (!RectIsEmpty(m_rcLayeredUpdate)) ::UnionRect(&rcArea, &rcArea, &m_rcLayeredUpdate);
    }
    m_rcLayeredUpdate = RECT{};
    RECT clipped;
    if (!IntersectRects(clipped, rcArea, rcClient)) return;
    rcArea = clipped;

    if (!m_hDcOffscreen || m_pOffscreenBits == nullptr || m_szOffscreen.cx != sz.cx || m_szOffscreen.cy != sz.cy) {
        DropOffscreen();
        void* bits = nullptr;
        m_hDcOffscreen.Put(::CreateCompatibleDC(m_hDcPaint));
        m_hbmpOffscreen = CRenderKit::CreateDib32(m_hDcPaint, sz.cx, sz.cy, &bits);
        if (!m_hDcOffscreen || !m_hbmpOffscreen || bits == nullptr) {
            DropOffscreen();
            return;
        }
        m_hOldOffscreenBitmap = ::SelectObject(m_hDcOffscreen.Get(), m_hbmpOffscreen.Get());
        m_pOffscreenBits = static_cast<BYTE*>(bits);
        m_szOffscreen = sz;
    }
    for (LONG y = rcArea.top; y < rcArea.bottom; ++y)
        memset(m_pOffscreenBits + (static_cast<size_t>(y) * sz.cx + rcArea.left) * 4, 0,
               static_cast<size_t>(rcArea.right - rcArea.left) * 4);
    int saved = ::SaveDC(m_hDcOffscreen.Get());
    m_pRoot->Paint(m_hDcOffscreen.Get(), rcArea);
    PaintCaret(m_hDcOffscreen.Get());
    for (size_t i = 0; i < m_postPaint.size(); ++i) m_postPaint[i]->PaintOverlay(m_hDcOffscreen.Get(), rcUpdate);
    ::RestoreDC(m_hDcOffscreen.Get(), saved);
    ::GdiFlush();
    // GDI leaves alpha at 0 where it drew; such pixels are opaque.
    for (LONG y = rcArea.top; y < rcArea.bottom; ++y) {
        BYTE* px = m_pOffscreenBits + (static_cast<size_t>(y) * sz.cx + rcArea.left) * 4;
        for (LONG x = rcArea.left; x < rcArea.right; ++x, px += 4)
            if (px[3] == 0 && (px[0] | px[1] | px[2]) != 0) px[3] = 255;
    }
    RECT rcWnd{};
    ::GetWindowRect(m_hWndPaint, &rcWnd);
    POINT ptDst{rcWnd.left, rcWnd.top};
    SIZE szWnd{rcWnd.right - rcWnd.left, rcWnd.bottom - rcWnd.top};
    POINT ptSrc{0, 0};
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::UpdateLayeredWindow(m_hWndPaint, nullptr, &ptDst, &szWnd, m_hDcOffscreen.Get(), &ptSrc, 0, &bf, ULW_ALPHA);
}

// ---------------------------------------------------------------------------------------------------------
// Tooltips

void CUIManager::ShowToolTip(CControlUI* pControl)
{
    m_strToolTipText = pControl->GetToolTip();
    m_toolTip = TOOLINFOW{};
    m_toolTip.cbSize = sizeof(TOOLINFOW);
    m_toolTip.uFlags = TTF_IDISHWND;
    m_toolTip.hwnd = m_hWndPaint;
    m_toolTip.uId = reinterpret_cast<UINT_PTR>(m_hWndPaint);
    m_toolTip.hinst = ::GetModuleHandleW(nullptr);
    m_toolTip.lpszText = const_cast<LPWSTR>(m_strToolTipText.c_str());
    m_toolTip.rect = pControl->GetPos();
    if (m_hwndTooltip == nullptr) {
        // The tooltip is the only common control: the library (a megabyte under Wine) comes with the first.
        ::InitCommonControls();
        m_hwndTooltip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWndPaint,
                                          nullptr, ::GetModuleHandleW(nullptr), nullptr);
        if (m_hwndTooltip == nullptr) return;
        ::SendMessageW(m_hwndTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&m_toolTip));
    }
    ::SendMessageW(m_hwndTooltip, TTM_SETMAXTIPWIDTH, 0, pControl->GetToolTipWidth());
    ::SendMessageW(m_hwndTooltip, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&m_toolTip));
    ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&m_toolTip));
}

void CUIManager::HideToolTip()
{
    if (m_hwndTooltip != nullptr)
        ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&m_toolTip));
}

// ---------------------------------------------------------------------------------------------------------
// Messages

// The first filter that reports the message handled ends it with its answer.
static bool OfferToFilters(const std::vector<IMessageFilterUI*>& filters, UINT uMsg, WPARAM wParam, LPARAM lParam,
                           LRESULT& lRes)
{
    return OfferInOrder(filters, [&](IMessageFilterUI* p) {
        bool handled = false;
        const LRESULT r = p->FilterMessage(uMsg, wParam, lParam, handled);
        if (handled) lRes = r;
        return handled;
    });
}

bool CUIManager::HandleWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    if (m_hWndPaint == nullptr) return false;
    if (OfferToFilters(m_messageFilters, uMsg, wParam, lParam, lRes)) return true;
    switch (uMsg) {
    case kDeferredDeleteMessage:
        DeleteDeferred();
        return false;
    case WM_CLOSE: {
        if (m_pEventHover != nullptr) {
            UIEvent e = MakeEvent(EV_MOUSELEAVE, m_pEventHover);
            m_pEventHover->RaiseEvent(e);
        }
        if (m_pEventClick != nullptr) {
            UIEvent e = MakeEvent(EV_BUTTONUP, m_pEventClick);
            m_pEventClick->RaiseEvent(e);
        }
        SetFocusedControl(nullptr);
        HWND hOwner = ::GetWindow(m_hWndPaint, GW_OWNER);
        if (hOwner != nullptr) ::SetFocus(hOwner);
        return false;
    }
    case WM_ERASEBKGND:
        lRes = 1;
        return true;
    case WM_PAINT:
        OnPaint();
        lRes = 0;
        return true;
    case WM_PRINTCLIENT: {
        if (m_pRoot == nullptr) return false;
        LayoutIfNeeded();
        RECT rcClient{};
        ::GetClientRect(m_hWndPaint, &rcClient);
        HDC hDC = reinterpret_cast<HDC>(wParam);
        int saved = ::SaveDC(hDC);
        DoPaint(hDC, rcClient);
        ::RestoreDC(hDC, saved);
        lRes = 0;
        return true;
    }
    case WM_SIZE:
        if (m_pFocus != nullptr) {
            UIEvent e = MakeEvent(EV_WINDOWSIZE, m_pFocus);
            m_pFocus->RaiseEvent(e);
        }
        if (m_pRoot != nullptr && m_pRoot->IsVisible()) m_pRoot->RequestRelayout();
        lRes = 0;
        return true;
    case WM_TIMER:
        if (wParam == kCaretTimerId) {
            m_bCaretShowing = !m_bCaretShowing && m_pCaretOwner != nullptr;
            InvalidateArea(m_rcCaret);
            return false;
        }
        for (size_t i = 0; i < m_timers.size(); ++i) {
            const TimerRecord& t = m_timers[i];
            if (t.hWnd == m_hWndPaint && t.nativeId == LOWORD(wParam) && !t.killed) {
                CControlUI* owner = t.owner;
                UIEvent e = MakeEvent(EV_TIMER, owner);
                e.wParam = t.localId;
                owner->RaiseEvent(e);
                break;
            }
        }
        return false;
    case WM_MOUSEMOVE: {
        if (!m_bMouseTracking) {
            TRACKMOUSEEVENT tme{};
            tme.cbSize = sizeof(tme);
            tme.dwFlags = TME_HOVER | TME_LEAVE;
            tme.hwndTrack = m_hWndPaint;
            tme.dwHoverTime = m_hwndTooltip == nullptr
                                  ? 400u
                                  : static_cast<DWORD>(::SendMessageW(m_hwndTooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0));
            ::TrackMouseEvent(&tme);
            m_bMouseTracking = true;
        }
        POINT pt = PointFromLParam(lParam);
        m_ptLastMousePos = pt;
        CControlUI* pNew = FindControlAt(pt);
        if (pNew != nullptr && pNew->GetManager() != this) return false;
        if (pNew != m_pEventHover) {
            if (m_pEventHover != nullptr) {
                CControlUI* pOld = m_pEventHover;
                m_pEventHover = nullptr;
                UIEvent e = MakeEvent(EV_MOUSELEAVE, pOld);
                pOld->RaiseEvent(e);
                HideToolTip();
            }
            if (pNew != nullptr) {
                UIEvent e = MakeEvent(EV_MOUSEENTER, pNew);
                pNew->RaiseEvent(e);
                m_pEventHover = pNew;
            }
        }
        if (m_pEventClick != nullptr) {
            UIEvent e = MakeEvent(EV_MOUSEMOVE, m_pEventClick);
            m_pEventClick->RaiseEvent(e);
        } else if (pNew != nullptr) {
            UIEvent e = MakeEvent(EV_MOUSEMOVE, pNew);
            pNew->RaiseEvent(e);
        }
        return false;
    }
    case WM_MOUSEHOVER: {
        m_bMouseTracking = false;
        POINT pt = PointFromLParam(lParam);
        CControlUI* pHover = FindControlAt(pt);
        if (pHover == nullptr) return false;
        if (m_pEventHover != nullptr) {
            UIEvent e = MakeEvent(EV_MOUSEHOVER, m_pEventHover);
            e.ptMouse = pt;
            m_pEventHover->RaiseEvent(e);
        }
        if (!pHover->GetToolTip().empty()) ShowToolTip(pHover);
        lRes = 0;
        return true;
    }
    case WM_MOUSELEAVE:
        HideToolTip();
        if (m_bMouseTracking) ::SendMessageW(m_hWndPaint, WM_MOUSEMOVE, 0, MAKELPARAM(-1, -1));
        m_bMouseTracking = false;
        return false;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: {
        ::SetFocus(m_hWndPaint);
        POINT pt = PointFromLParam(lParam);
        m_ptLastMousePos = pt;
        CControlUI* pControl = FindControlAt(pt);
        if (pControl == nullptr || pControl->GetManager() != this) return false;
        const int type = uMsg == WM_LBUTTONDOWN ? EV_BUTTONDOWN : uMsg == WM_RBUTTONDOWN ? EV_RBUTTONDOWN : EV_DBLCLICK;
        if (uMsg != WM_LBUTTONDBLCLK) {
            m_pEventClick = pControl;
            pControl->SetFocus();
        }
        ::SetCapture(m_hWndPaint);
        m_bMouseCapture = true;
        UIEvent e = MakeEvent(type, pControl);
        e.ptMouse = pt;
        e.keyState = LOWORD(wParam);
        if (uMsg != WM_LBUTTONDBLCLK) {
            e.wParam = wParam;
            e.lParam = lParam;
        }
        pControl->RaiseEvent(e);
        if (uMsg == WM_LBUTTONDBLCLK) m_pEventClick = pControl;
        return false;
    }
    case WM_LBUTTONUP: {
        POINT pt = PointFromLParam(lParam);
        m_ptLastMousePos = pt;
        CControlUI* pControl = ReleasePressedControl();
        if (pControl == nullptr) return false;
        UIEvent e = MakeEvent(EV_BUTTONUP, pControl);
        e.ptMouse = pt;
        e.wParam = wParam;
        e.lParam = lParam;
        e.keyState = LOWORD(wParam);
        pControl->RaiseEvent(e);
        return false;
    }
    case WM_CONTEXTMENU: {
        POINT pt = PointFromLParam(lParam);
        ::ScreenToClient(m_hWndPaint, &pt);
        m_ptLastMousePos = pt;
        CControlUI* pControl = ReleasePressedControl();
        if (pControl == nullptr) return false;
        UIEvent e = MakeEvent(EV_CONTEXTMENU, pControl);
        e.ptMouse = pt;
        e.lParam = reinterpret_cast<LPARAM>(pControl);
        pControl->RaiseEvent(e);
        return false;
    }
    case WM_MOUSEWHEEL: {
        POINT pt = PointFromLParam(lParam);
        ::ScreenToClient(m_hWndPaint, &pt);
        m_ptLastMousePos = pt;
        CControlUI* pControl = FindControlAt(pt);
        if (pControl == nullptr || pControl->GetManager() != this) return false;
        const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
        UIEvent e = MakeEvent(EV_SCROLLWHEEL, pControl);
        e.ptMouse = pt;
        e.wParam = delta < 0 ? SB_LINEDOWN : SB_LINEUP;
        e.lParam = lParam;
        pControl->RaiseEvent(e);
        ::SendMessageW(m_hWndPaint, WM_MOUSEMOVE, 0, MAKELPARAM(m_ptLastMousePos.x, m_ptLastMousePos.y));
        return false;
    }
    case WM_SETCURSOR: {
        if (LOWORD(lParam) != HTCLIENT) return false;
        if (m_bMouseCapture) {
            lRes = TRUE;
            return true;
        }
        POINT pt{};
        ::GetCursorPos(&pt);
        ::ScreenToClient(m_hWndPaint, &pt);
        CControlUI* pControl = FindControlAt(pt);
        if (pControl == nullptr || (pControl->GetInputFlags() & UIFLAG_SETCURSOR) == 0) return false;
        UIEvent e = MakeEvent(EV_SETCURSOR, pControl);
        e.ptMouse = pt;
        e.wParam = wParam;
        e.lParam = lParam;
        pControl->RaiseEvent(e);
        lRes = TRUE;
        return true;
    }
    case WM_KEYDOWN:
        if (m_pFocus != nullptr) {
            m_pEventKey = m_pFocus;
            RaiseKeyEvent(EV_KEYDOWN, m_pFocus, wParam, lParam);
        }
        return false;
    case WM_KEYUP:
        if (m_pEventKey != nullptr) {
            CControlUI* pControl = m_pEventKey;
            m_pEventKey = nullptr;
            RaiseKeyEvent(EV_KEYUP, pControl, wParam, lParam);
        }
        return false;
    case WM_CHAR:
        if (m_pFocus != nullptr) RaiseKeyEvent(EV_CHAR, m_pFocus, wParam, lParam);
        return false;
    case WM_KILLFOCUS:
        if (wParam != 0 && m_pFocus != nullptr && wcscmp(m_pFocus->GetClassName(), L"RichEditUI") == 0 &&
            m_pEventHover != nullptr && !m_pEventHover->IsFocused() &&
            wcscmp(m_pEventHover->GetClassName(), L"WebBrowserUI") == 0)
            SetFocusedControl(m_pEventHover);
        return false;
    case WM_GETMINMAXINFO: {
        auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
        if (m_szMinWindow.cx > 0) mmi->ptMinTrackSize.x = m_szMinWindow.cx;
        if (m_szMinWindow.cy > 0) mmi->ptMinTrackSize.y = m_szMinWindow.cy;
        if (m_szMaxWindow.cx > 0) mmi->ptMaxTrackSize.x = m_szMaxWindow.cx;
        if (m_szMaxWindow.cy > 0) mmi->ptMaxTrackSize.y = m_szMaxWindow.cy;
        return false;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_RESTORE) m_bRestorePending = true;
        lRes = 0;
        return true;
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        HWND hChild = reinterpret_cast<HWND>(lParam);
        if (hChild == nullptr) return false;
        lRes = ::SendMessageW(hChild, uMsg + kReflectBase, wParam, lParam);
        return true;
    }
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr == nullptr || hdr->hwndFrom == nullptr) return false;
        lRes = ::SendMessageW(hdr->hwndFrom, uMsg + kReflectBase, wParam, lParam);
        return true;
    }
    default:
        return false;
    }
}

bool CUIManager::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    if (OfferToFilters(m_preFilters, uMsg, wParam, lParam, lRes)) return true;
    switch (uMsg) {
    case WM_KEYDOWN:
        if (wParam == VK_TAB) {
            MoveFocusByTab(::GetKeyState(VK_SHIFT) >= 0);
            return true;
        }
        break;
    case WM_SYSKEYDOWN:
        if (m_pFocus != nullptr) RaiseKeyEvent(EV_SYSKEY, m_pFocus, wParam, lParam);
        break;
    case WM_SYSCHAR: {
        if (m_pRoot == nullptr) break;
        ShortcutSearch info;
        info.ch = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(wParam)));
        CControlUI* pControl = m_pRoot->FindByPredicate(FindFromShortcut, &info,
                                                        UIFIND_ENABLED | UIFIND_ME_FIRST | UIFIND_TOP_FIRST);
        if (pControl != nullptr) {
            pControl->SetFocus();
            pControl->Activate();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return false;
}

bool CUIManager::TranslateAccelerators(MSG* pMsg)
{
    return OfferInOrder(m_translators,
                        [pMsg](ITranslateAccelerator* p) { return p->TranslateAccelerator(pMsg) == S_OK; });
}

bool CUIManager::PreTranslate(MSG* pMsg)
{
    if (pMsg == nullptr) return false;
    // A copy: a handler may create or destroy windows (and managers) while we walk.
    std::vector<CUIManager*> managers = ProcessManagers();
    auto alive = [](CUIManager* p) {
        const auto& list = ProcessManagers();
        return std::find(list.begin(), list.end(), p) != list.end();
    };
    const LONG_PTR style = ::GetWindowLongPtrW(pMsg->hwnd, GWL_STYLE);
    if ((style & WS_CHILD) != 0) {
        // A child window (an embedded browser, say): the managers of the windows above it see the message,
        // each once, however many windows lie in between.
        for (CUIManager* m : managers) {
            for (HWND hParent = ContainerWindowOf(pMsg->hwnd); hParent != nullptr;
                 hParent = ContainerWindowOf(hParent)) {
                if (!alive(m)) break;
                if (m->m_hWndPaint != pMsg->hwnd && m->m_hWndPaint != hParent) continue;
                if (m->TranslateAccelerators(pMsg)) return true;
                LRESULT lRes = 0;
                (void)m->PreMessageHandler(pMsg->message, pMsg->wParam, pMsg->lParam, lRes);
                break;
            }
        }
        return false;
    }
    for (CUIManager* m : managers) {
        if (!alive(m) || m->m_hWndPaint != pMsg->hwnd) continue;
        if (m->TranslateAccelerators(pMsg)) return true;
        LRESULT lRes = 0;
        return m->PreMessageHandler(pMsg->message, pMsg->wParam, pMsg->lParam, lRes);
    }
    return false;
}

void CUIManager::RunMessageLoop()
{
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!PreTranslate(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

}  // namespace SkinUI
