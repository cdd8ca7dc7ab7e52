#include "UIWindow.h"

#include <windowsx.h>

namespace SkinUI {

namespace {

HINSTANCE g_hInstance = nullptr;

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
    return g_hInstance ? g_hInstance : ::GetModuleHandleW(nullptr);
}

void SetToolkitInstance(HINSTANCE hInstance)
{
    g_hInstance = hInstance;
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

LRESULT CALLBACK CWindowWnd::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWindowWnd* self = nullptr;
    if (message == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        self = static_cast<CWindowWnd*>(cs->lpCreateParams);
        if (self) {
            self->m_hWnd = hWnd;
            ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    } else {
        self = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
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
    }
    if (!self) return ::DefWindowProcW(hWnd, message, wParam, lParam);
    return self->Dispatch(message, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::SuperClassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWindowWnd* self = nullptr;
    if (message == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        self = static_cast<CWindowWnd*>(cs->lpCreateParams);
        if (self) {
            self->m_hWnd = hWnd;
            ::SetPropW(hWnd, kObjectProp, self);
        }
    } else {
        self = static_cast<CWindowWnd*>(::GetPropW(hWnd, kObjectProp));
    }
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

}  // namespace SkinUI
