// Native windows of the toolkit: the window wrapper that routes every message of a window to its object,
// and the attention shake of modal dialogs.
#pragma once

#include <windows.h>

namespace SkinUI {

// A modal dialog announces itself to its owner (lParam: the dialog) ...
constexpr UINT WM_MODAL_DIALOG = WM_USER + 600;
// ... and the owner's window base makes the announced dialog draw attention when the owner is clicked.
constexpr UINT WM_MODAL_ATTENTION = WM_USER + 601;

class CWindowWnd {
public:
    CWindowWnd() = default;
    virtual ~CWindowWnd() = default;
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Registers the window class on first use and creates the window; none on failure.
    HWND Create(HWND hWndParent, const wchar_t* title, DWORD style, DWORD exStyle, int x, int y, int cx, int cy,
                HMENU hMenu = nullptr);
    // Centres over the owner, or on the work area of the nearest monitor without one.
    void CenterWindow();

    // Takes over an existing window's messages; the saved procedure goes back on WM_NCDESTROY.
    HWND Subclass(HWND hWnd);

    // Virtual operations, in this order.
    virtual const wchar_t* GetWindowClassName() const = 0;
    virtual const wchar_t* GetSuperClassName() const { return nullptr; }
    virtual UINT GetClassStyle() const { return 0; }
    virtual LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnWindowFinal(HWND hWnd) { (void)hWnd; }

    // The attention shake: state shared by every window of the process (UI thread only).
    static void AnnounceModalDialog(HWND hDialog);
    static bool SendAttentionIfOwnerClicked(HWND hOwner);
    static void StartAttention(HWND hDialog);

protected:
    LRESULT CallSavedProc(UINT message, WPARAM wParam, LPARAM lParam)
    {
        return ::CallWindowProcW(m_pfnSavedProc, m_hWnd, message, wParam, lParam);
    }

    HWND m_hWnd = nullptr;
    WNDPROC m_pfnSavedProc = ::DefWindowProcW;
    bool m_bSubclassed = false;

private:
    bool RegisterWindowClass();
    bool RegisterSuperClass();
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SuperClassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static void CALLBACK ShakeTimerProc(HWND hWnd, UINT message, UINT_PTR id, DWORD time);
};

// The module whose resources and window classes the toolkit uses; the process's own module by default.
HINSTANCE ToolkitInstance();
void SetToolkitInstance(HINSTANCE hInstance);

}  // namespace SkinUI
