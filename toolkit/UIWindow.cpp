#include "UIWindow.h"

#include "UIControl.h"
#include "UIResources.h"

#include <windowsx.h>

namespace SkinUI {

namespace {

constexpr wchar_t kObjectProp[] = L"WndX";
constexpr UINT_PTR kShakeTimer = 10;
constexpr UINT kShakeInterval = 80;
constexpr int kShakeMoves = 8;

// One process-wide flag: the next mouse move of any toolkit window asks again for hover and leave notices.
bool g_bTrackMouse = true;

struct AttentionState {
    HWND newest = nullptr;  // the last two modal dialogs announced, newest first
    HWND older = nullptr;
    HWND shaking = nullptr;
    int moves = 0;
};
AttentionState g_attention;

}  // namespace

HINSTANCE ToolkitInstance()
{
    const HINSTANCE hInstance = CSkinResources::GetModule();
    return hInstance ? hInstance : ::GetModuleHandleW(nullptr);
}

bool CWindowWnd::RegisterWindowClass()
{
    WNDCLASSW wc = {};
    wc.style = GetClassStyle();
    wc.lpfnWndProc = &CWindowWnd::WindowProc;
    wc.hInstance = ToolkitInstance();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = GetWindowClassName();
    return ::RegisterClassW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterSuperClass()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    if (!::GetClassInfoExW(nullptr, GetSuperClassName(), &wc) &&
        !::GetClassInfoExW(ToolkitInstance(), GetSuperClassName(), &wc))
        return false;
    m_pfnSavedProc = wc.lpfnWndProc;
    wc.lpfnWndProc = &CWindowWnd::SuperClassProc;
    wc.hInstance = ToolkitInstance();
    wc.lpszClassName = GetWindowClassName();
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND hWndParent, const wchar_t* title, DWORD style, DWORD exStyle, int x, int y, int cx,
                        int cy, HMENU hMenu)
{
    const bool registered = GetSuperClassName() ? RegisterSuperClass() : RegisterWindowClass();
    if (!registered) return nullptr;
    m_hWnd = ::CreateWindowExW(exStyle, GetWindowClassName(), title, style, x, y, cx, cy, hWndParent, hMenu,
                               ToolkitInstance(), this);
    return m_hWnd;
}

HWND CWindowWnd::Subclass(HWND hWnd)
{
    if (!::IsWindow(hWnd)) return nullptr;
    m_pfnSavedProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWindowWnd::SuperClassProc)));
    if (!m_pfnSavedProc) return nullptr;
    m_bSubclassed = true;
    m_hWnd = hWnd;
    ::SetPropW(hWnd, kObjectProp, this);
    return m_hWnd;
}

void CWindowWnd::CenterWindow()
{
    if (!::IsWindow(m_hWnd)) return;
    RECT rcWindow = {};
    ::GetWindowRect(m_hWnd, &rcWindow);
    const HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);

    MONITORINFO mi = {};
    mi.cbSize = sizeof mi;
    ::GetMonitorInfoW(::MonitorFromWindow(hOwner ? hOwner : m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    const RECT rcArea = mi.rcWork;
    RECT rcCenter = rcArea;
    if (hOwner) ::GetWindowRect(hOwner, &rcCenter);

    const int width = rcWindow.right - rcWindow.left;
    const int height = rcWindow.bottom - rcWindow.top;
    int left = (rcCenter.left + rcCenter.right) / 2 - width / 2;
    int top = (rcCenter.top + rcCenter.bottom) / 2 - height / 2;
    if (left < rcArea.left) left = rcArea.left;
    else if (left + width > rcArea.right) left = rcArea.right - width;
    if (top < rcArea.top) top = rcArea.top;
    else if (top + height > rcArea.bottom) top = rcArea.bottom - height;
    ::SetWindowPos(m_hWnd, nullptr, left, top, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallSavedProc(message, wParam, lParam);
}

// The end of a window: the saved procedure answers WM_NCDESTROY first, then the object lets go of the
// handle and may delete itself in OnWindowFinal.
LRESULT CWindowWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCDESTROY) {
        const HWND hWnd = m_hWnd;
        const LRESULT result = CallSavedProc(message, wParam, lParam);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        ::RemovePropW(hWnd, kObjectProp);
        if (m_bSubclassed) {
            ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSavedProc));
            m_bSubclassed = false;
        }
        m_hWnd = nullptr;
        OnWindowFinal(hWnd);
        return result;
    }
    return OnWindowMessage(message, wParam, lParam);
}

// The object arrives with WM_NCCREATE and is kept with the window: in the window's user data for a class
// of our own, in a window property for a super class (whose user data belongs to the original class).
CWindowWnd* CWindowWnd::ObjectOf(HWND hWnd, UINT message, LPARAM lParam, bool inProperty)
{
    if (message != WM_NCCREATE) {
        if (inProperty) return static_cast<CWindowWnd*>(::GetPropW(hWnd, kObjectProp));
        return reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    }
    auto* self = static_cast<CWindowWnd*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
    if (self) {
        self->m_hWnd = hWnd;
        if (inProperty)
            ::SetPropW(hWnd, kObjectProp, self);
        else
            ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    return self;
}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MOUSELEAVE) {
        g_bTrackMouse = true;
    } else if (message == WM_MOUSEMOVE && g_bTrackMouse) {
        TRACKMOUSEEVENT tme = {};
        tme.cbSize = sizeof tme;
        tme.dwFlags = TME_HOVER | TME_LEAVE;
        tme.hwndTrack = hWnd;
        tme.dwHoverTime = 5;
        ::TrackMouseEvent(&tme);
        g_bTrackMouse = false;
    }
    CWindowWnd* self = ObjectOf(hWnd, message, lParam, false);
    if (!self) return ::DefWindowProcW(hWnd, message, wParam, lParam);
    return self->Dispatch(message, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::SuperClassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWindowWnd* self = ObjectOf(hWnd, message, lParam, true);
    if (!self) return ::DefWindowProcW(hWnd, message, wParam, lParam);
    return self->Dispatch(message, wParam, lParam);
}

void CWindowWnd::AnnounceModalDialog(HWND hDialog)
{
    if (g_attention.newest && ::IsWindow(g_attention.newest)) g_attention.older = g_attention.newest;
    g_attention.newest = hDialog;
}

// A click on a window that a modal dialog disables: the dialog it owns is asked to draw attention.
bool CWindowWnd::SendAttentionIfOwnerClicked(HWND hOwner)
{
    const auto ownedBy = [hOwner](HWND hDialog) {
        return hDialog && ::IsWindow(hDialog) && ::GetWindow(hDialog, GW_OWNER) == hOwner;
    };
    HWND target = nullptr;
    if (ownedBy(g_attention.newest)) {
        target = g_attention.newest;
    } else if (ownedBy(g_attention.older)) {
        target = ::IsWindow(g_attention.newest) ? g_attention.newest : g_attention.older;
    }
    if (!target) return false;
    ::SendMessageW(target, WM_MODAL_ATTENTION, 0, 0);
    return true;
}

void CWindowWnd::StartAttention(HWND hDialog)
{
    if (g_attention.newest) ::KillTimer(g_attention.newest, kShakeTimer);
    if (g_attention.older) ::KillTimer(g_attention.older, kShakeTimer);
    // A shake cut short leaves the window one pixel left and up: put it back first.
    if ((g_attention.moves % 2) != 0 && ::IsWindow(g_attention.shaking)) {
        RECT rc = {};
        ::GetWindowRect(g_attention.shaking, &rc);
        ::MoveWindow(g_attention.shaking, rc.left + 1, rc.top + 1, rc.right - rc.left, rc.bottom - rc.top, TRUE);
    }
    g_attention.moves = 0;
    ::SetTimer(hDialog, kShakeTimer, kShakeInterval, &CWindowWnd::ShakeTimerProc);
}

void CALLBACK CWindowWnd::ShakeTimerProc(HWND hWnd, UINT, UINT_PTR, DWORD)
{
    g_attention.shaking = hWnd;
    RECT rc = {};
    ::GetWindowRect(hWnd, &rc);
    const int step = (g_attention.moves % 2 == 0) ? -1 : 1;
    ::MoveWindow(hWnd, rc.left + step, rc.top + step, rc.right - rc.left, rc.bottom - rc.top, TRUE);
    if (++g_attention.moves >= kShakeMoves) {
        g_attention.moves = 0;
        ::ShowWindow(hWnd, SW_SHOW);
        ::KillTimer(hWnd, kShakeTimer);
    }
}


// ---- notification dispatch tables ----

namespace {
const NotifyMapEntry kNoEntries[] = {{nullptr, nullptr, kNotifyEnd, nullptr, nullptr}};
}

const NotifyMap CNotifyPump::s_notifyMap = {nullptr, kNoEntries};

bool CNotifyPump::AddVirtualWnd(const std::wstring& name, CNotifyPump* pump)
{
    if (name.empty() || !pump) return false;
    for (const auto& entry : m_virtualWnds)
        if (::lstrcmpiW(entry.first.c_str(), name.c_str()) == 0) return false;
    m_virtualWnds.emplace_back(name, pump);
    return true;
}

bool CNotifyPump::RemoveVirtualWnd(const std::wstring& name)
{
    for (auto it = m_virtualWnds.begin(); it != m_virtualWnds.end(); ++it) {
        if (::lstrcmpiW(it->first.c_str(), name.c_str()) == 0) {
            m_virtualWnds.erase(it);
            return true;
        }
    }
    return false;
}

bool CNotifyPump::DispatchNotification(const UINotification& msg)
{
    if (!msg.virtualWnd.empty()) {
        for (const auto& entry : m_virtualWnds) {
            if (::lstrcmpiW(entry.first.c_str(), msg.virtualWnd.c_str()) == 0 && entry.second->LoopDispatch(msg))
                return true;
        }
    }
    return LoopDispatch(msg);
}

// Within one table an entry for the sender's own name wins at once; otherwise the last entry for any
// control; without either the base class's table is searched.
bool CNotifyPump::LoopDispatch(const UINotification& msg)
{
    const std::wstring senderName = msg.sender ? msg.sender->GetName() : std::wstring();
    for (const NotifyMap* map = GetNotifyMap(); map; map = map->base) {
        const NotifyMapEntry* match = nullptr;
        for (const NotifyMapEntry* e = map->entries; e && e->signature != kNotifyEnd; ++e) {
            if (msg.type != e->type) continue;
            if (e->controlName && *e->controlName) {
                if (senderName == e->controlName) {
                    match = e;
                    break;
                }
            } else {
                match = e;
            }
        }
        if (!match) continue;
        switch (match->signature) {
        case kNotifyArgs:
            (this->*match->onArgs)(msg.wParam, msg.lParam);
            return true;
        case kNotifyMsg:
            (this->*match->onMsg)(msg);
            return true;
        default:
            return false;
        }
    }
    return false;
}

// ---- WindowImplBase ----

SKINUI_BEGIN_NOTIFY_MAP(WindowImplBase, CNotifyPump)
SKINUI_NOTIFY_ON(L"click", &WindowImplBase::OnControlClick)
SKINUI_END_NOTIFY_MAP()

LRESULT WindowImplBase::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    bool handled = true;
    switch (message) {
    case WM_CREATE: result = OnCreate(message, wParam, lParam, handled); break;
    case WM_DESTROY: result = OnDestroy(message, wParam, lParam, handled); break;
    case WM_SIZE: result = OnSize(message, wParam, lParam, handled); break;
    case WM_SETFOCUS: result = OnSetFocus(message, wParam, lParam, handled); break;
    case WM_KILLFOCUS: result = OnKillFocus(message, wParam, lParam, handled); break;
    case WM_CLOSE: result = OnClose(message, wParam, lParam, handled); break;
    case WM_ERASEBKGND: result = OnEraseBkgnd(message, wParam, lParam, handled); break;
    case WM_GETMINMAXINFO: result = OnGetMinMaxInfo(message, wParam, lParam, handled); break;
    case WM_NCCALCSIZE: result = OnNcCalcSize(message, wParam, lParam, handled); break;
    case WM_NCHITTEST: result = OnNcHitTest(message, wParam, lParam, handled); break;
    case WM_NCPAINT: result = OnNcPaint(message, wParam, lParam, handled); break;
    case WM_NCACTIVATE: result = OnNcActivate(message, wParam, lParam, handled); break;
    case WM_KEYDOWN: result = OnKeyDown(message, wParam, lParam, handled); break;
    case WM_CHAR: result = OnChar(message, wParam, lParam, handled); break;
    case WM_SYSCOMMAND: result = OnSysCommand(message, wParam, lParam, handled); break;
    case WM_MOUSEMOVE: result = OnMouseMove(message, wParam, lParam, handled); break;
    case WM_LBUTTONDOWN: result = OnLButtonDown(message, wParam, lParam, handled); break;
    case WM_LBUTTONUP: result = OnLButtonUp(message, wParam, lParam, handled); break;
    case WM_MOUSEWHEEL: result = OnMouseWheel(message, wParam, lParam, handled); break;
    case WM_MOUSEHOVER: result = OnMouseHover(message, wParam, lParam, handled); break;
    case WM_MOUSELEAVE: result = OnMouseLeave(message, wParam, lParam, handled); break;
    case WM_MODAL_DIALOG:
        AnnounceModalDialog(reinterpret_cast<HWND>(lParam));
        break;
    case WM_MODAL_ATTENTION:
        StartAttention(m_hWnd);
        break;
    case WM_SETCURSOR:
        // A click on this window while a modal dialog disables it: the dialog shakes.
        if (HIWORD(lParam) == WM_LBUTTONDOWN) (void)SendAttentionIfOwnerClicked(m_hWnd);
        handled = false;
        break;
    default:
        handled = false;
        break;
    }
    if (handled) return result;

    result = OnLauncherMessage(message, wParam, lParam, handled);
    if (handled) return result;
    if (m_manager.HandleWindowMessage(message, wParam, lParam, result)) return result;
    return CallSavedProc(message, wParam, lParam);
}

void WindowImplBase::OnWindowFinal(HWND)
{
    m_manager.RemovePreFilter(this);
    m_manager.RemoveNotificationListener(this);
    if (m_manager.GetRoot()) m_manager.ForgetControl(m_manager.GetRoot());
}

LONG WindowImplBase::GetStyle() const
{
    return static_cast<LONG>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)) & ~WS_CAPTION;
}

void WindowImplBase::Notify(const UINotification& msg)
{
    (void)DispatchNotification(msg);
}

LRESULT WindowImplBase::FilterMessage(UINT message, WPARAM wParam, LPARAM, bool&)
{
    // Enter and Escape are offered to the window but never consumed.
    if (message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) (void)RespondDefaultKey(wParam);
    return 0;
}

void WindowImplBase::OnControlClick(const UINotification& msg)
{
    if (!msg.sender) return;
    const std::wstring name = msg.sender->GetName();
    if (name == L"closebtn") {
        if (::IsWindow(m_hWnd)) ::PostMessageW(m_hWnd, WM_CLOSE, IDOK, 0);
    } else if (name == L"minbtn") {
        ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (name == L"maxbtn") {
        ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    } else if (name == L"restorebtn") {
        ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    }
}

namespace {

MONITORINFO MonitorOf(HWND hWnd)
{
    MONITORINFO mi = {};
    mi.cbSize = sizeof mi;
    ::GetMonitorInfoW(::MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    return mi;
}

// Class names of controls that keep their clicks inside the caption band.
bool TakesCaptionClicks(const wchar_t* className)
{
    static const wchar_t* const kClickable[] = {L"ButtonUI",   L"OptionUI",   L"TextUI", L"SliderUI",
                                                L"RichEditUI", L"CheckBoxUI", L"EditUI", L"ScrollBarUI"};
    for (const wchar_t* name : kClickable)
        if (className && ::lstrcmpiW(className, name) == 0) return true;
    return false;
}

}  // namespace

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wParam, LPARAM, bool& handled)
{
    if (::IsIconic(m_hWnd)) handled = false;
    return wParam == 0 ? TRUE : FALSE;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM, LPARAM lParam, bool&)
{
    if (!::IsZoomed(m_hWnd)) return 0;  // the whole window is client area
    const MONITORINFO mi = MonitorOf(m_hWnd);
    RECT* proposed = reinterpret_cast<RECT*>(lParam);  // the first rectangle of either structure
    proposed->left = 0;
    proposed->top = 0;
    proposed->right = mi.rcWork.right - mi.rcWork.left;
    proposed->bottom = mi.rcWork.bottom - mi.rcWork.top;
    return WVR_REDRAW;
}

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, bool&)
{
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(m_hWnd, &pt);
    RECT rcClient = {};
    ::GetClientRect(m_hWnd, &rcClient);

    if (!::IsZoomed(m_hWnd)) {
        const RECT box = m_manager.GetSizeBox();
        if (pt.y < rcClient.top + box.top) {
            if (pt.x < rcClient.left + box.left) return HTTOPLEFT;
            if (pt.x > rcClient.right - box.right) return HTTOPRIGHT;
            return HTTOP;
        }
        if (pt.y > rcClient.bottom - box.bottom) {
            if (pt.x < rcClient.left + box.left) return HTBOTTOMLEFT;
            if (pt.x > rcClient.right - box.right) return HTBOTTOMRIGHT;
            return HTBOTTOM;
        }
        if (pt.x < rcClient.left + box.left) return HTLEFT;
        if (pt.x > rcClient.right - box.right) return HTRIGHT;
    }

    const RECT caption = m_manager.GetCaptionRect();
    if (pt.x >= rcClient.left + caption.left && pt.x < rcClient.right - caption.right && pt.y >= caption.top &&
        pt.y < caption.bottom) {
        CControlUI* control = m_manager.FindControlAt(pt);
        if (control && !TakesCaptionClicks(control->GetClassName())) return HTCAPTION;
    }
    return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, bool& handled)
{
    const MONITORINFO mi = MonitorOf(m_hWnd);
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    info->ptMaxPosition.x = mi.rcWork.left - mi.rcMonitor.left;
    info->ptMaxPosition.y = mi.rcWork.top - mi.rcMonitor.top;
    info->ptMaxTrackSize.x = mi.rcWork.right - mi.rcWork.left;
    info->ptMaxTrackSize.y = mi.rcWork.bottom - mi.rcWork.top;
    const SIZE minSize = m_manager.GetMinInfo();
    info->ptMinTrackSize.x = minSize.cx;
    info->ptMinTrackSize.y = minSize.cy;
    handled = false;  // the manager applies the skin's minimum and maximum sizes next
    return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, bool& handled)
{
    if (!::IsIconic(m_hWnd)) {
        RECT rc = {};
        ::GetWindowRect(m_hWnd, &rc);
        const SIZE corner = m_manager.GetRoundCorner();
        HRGN hRgn = ::CreateRoundRectRgn(0, 0, rc.right - rc.left + 1, rc.bottom - rc.top + 1, corner.cx, corner.cy);
        if (hRgn && !::SetWindowRgn(m_hWnd, hRgn, TRUE)) ::DeleteObject(hRgn);  // the window owns it on success
    }
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, bool&)
{
    if (wParam == SC_CLOSE) {
        ::SendMessageW(m_hWnd, WM_CLOSE, 0, 0);
        return 0;
    }
    return CallSavedProc(message, wParam, lParam);
}

bool WindowImplBase::SelectSkinSource()
{
    switch (GetSkinSourceKind()) {
    case kSkinArchiveFile:
        if (!CSkinResources::IsArchiveCached() || CSkinResources::GetArchiveName() != GetArchiveName())
            (void)CSkinResources::UseArchiveFile(GetArchiveName());
        return true;
    case kSkinArchiveResource: {
        const HINSTANCE hModule = CSkinResources::GetResourceModule() ? CSkinResources::GetResourceModule()
                                                                      : ToolkitInstance();
        HRSRC hRes = ::FindResourceW(hModule, MAKEINTRESOURCEW(_wtoi(GetSkinResourceId().c_str())), L"ZIPRES");
        if (!hRes) return false;
        HGLOBAL hData = ::LoadResource(hModule, hRes);
        const DWORD size = ::SizeofResource(hModule, hRes);
        const void* bytes = hData ? ::LockResource(hData) : nullptr;
        if (!bytes || size == 0) return false;
        // Module resource memory stays valid for the life of the process.
        if (CSkinResources::GetArchiveName() != CSkinResources::kMemoryArchiveName)
            (void)CSkinResources::UseArchiveInMemory(bytes, size);
        ::FreeResource(hData);
        return true;
    }
    default:
        return true;
    }
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, bool&)
{
    LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    style &= ~static_cast<LONG_PTR>(WS_CAPTION);
    style |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, style);
    RECT rcClient = {};
    ::GetClientRect(m_hWnd, &rcClient);
    ::SetWindowPos(m_hWnd, nullptr, rcClient.left, rcClient.top, rcClient.right - rcClient.left,
                   rcClient.bottom - rcClient.top, SWP_FRAMECHANGED);

    m_manager.Init(m_hWnd);
    m_manager.AddPreFilter(this);

    if (CSkinResources::GetResourceFolder().empty()) {
        wchar_t path[MAX_PATH] = {};
        ::GetModuleFileNameW(ToolkitInstance(), path, MAX_PATH);
        std::wstring folder = path;
        folder.resize(folder.rfind(L'\\') + 1);
        CSkinResources::SetResourceFolder(folder + GetSkinFolder());
    }
    // A missing or empty skin resource leaves the window empty and silent.
    if (!SelectSkinSource()) return 0;

    CSkinBuilder builder;
    CControlUI* root = nullptr;
    const std::wstring skinFile = GetSkinFile();
    if (GetSkinSourceKind() == kSkinXmlResource) {
        root = builder.Build(static_cast<UINT>(_wtoi(skinFile.c_str())), L"xml", this, &m_manager, nullptr);
    } else {
        root = builder.Build(skinFile, std::wstring(), this, &m_manager, nullptr);
    }
    if (!root) {
        ::MessageBoxW(nullptr, L"加载资源失败！", skinFile.c_str(), MB_ICONERROR);
        ::ExitProcess(1);
    }
    m_manager.AttachRoot(root);
    m_manager.AddNotificationListener(this);
    InitWindow();
    return 0;
}

}  // namespace SkinUI
