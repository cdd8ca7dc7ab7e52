// Native windows of the toolkit: the window wrapper that routes every message of a window to its object,
// the attention shake of modal dialogs, and the skinned-window base that builds a window from its skin.
#pragma once

#include "UIBase.h"
#include "UIBuilder.h"
#include "UIManager.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

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
    static CWindowWnd* ObjectOf(HWND hWnd, UINT message, LPARAM lParam, bool inProperty);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SuperClassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static void CALLBACK ShakeTimerProc(HWND hWnd, UINT message, UINT_PTR id, DWORD time);
};

// The module whose resources and window classes the toolkit uses: the skin resources' module, or the
// process's own module when none was set.
HINSTANCE ToolkitInstance();

// Notification dispatch tables: every window class may have one, naming its base class's table.
class CNotifyPump;
using NotifyArgsHandler = void (CNotifyPump::*)(WPARAM wParam, LPARAM lParam);
using NotifyMsgHandler = void (CNotifyPump::*)(const UINotification& msg);

enum NotifySignature : int { kNotifyEnd = 0, kNotifyArgs = 1, kNotifyMsg = 2 };

struct NotifyMapEntry {
    const wchar_t* type;
    const wchar_t* controlName;  // empty: any control
    int signature;
    NotifyArgsHandler onArgs;
    NotifyMsgHandler onMsg;
};

struct NotifyMap {
    const NotifyMap* base;
    const NotifyMapEntry* entries;  // ended by an entry with signature 0
};

class CNotifyPump {
public:
    virtual ~CNotifyPump() = default;
    // Notifications whose virtual-window name matches (ignoring case) go to that pump first.
    bool AddVirtualWnd(const std::wstring& name, CNotifyPump* pump);
    bool RemoveVirtualWnd(const std::wstring& name);
    // Routes a notification to the tables, most derived first; false when no entry took it.
    bool DispatchNotification(const UINotification& msg);

protected:
    virtual const NotifyMap* GetNotifyMap() const { return &s_notifyMap; }
    static const NotifyMap s_notifyMap;  // empty, no base

private:
    bool LoopDispatch(const UINotification& msg);
    std::vector<std::pair<std::wstring, CNotifyPump*>> m_virtualWnds;
};

// In a class: its own table, linked to the base class's.
#define SKINUI_DECLARE_NOTIFY_MAP()                                \
protected:                                                         \
    const ::SkinUI::NotifyMap* GetNotifyMap() const override;     \
    static const ::SkinUI::NotifyMapEntry s_notifyEntries[];       \
    static const ::SkinUI::NotifyMap s_notifyMap;

#define SKINUI_BEGIN_NOTIFY_MAP(theClass, baseClass)                                          \
    const ::SkinUI::NotifyMap* theClass::GetNotifyMap() const { return &s_notifyMap; }       \
    const ::SkinUI::NotifyMap theClass::s_notifyMap = {&baseClass::s_notifyMap, theClass::s_notifyEntries}; \
    const ::SkinUI::NotifyMapEntry theClass::s_notifyEntries[] = {
// Handler taking the notification record, for any control or for one named control.
#define SKINUI_NOTIFY_ON(type, fn) \
    {type, L"", ::SkinUI::kNotifyMsg, nullptr, static_cast<::SkinUI::NotifyMsgHandler>(fn)},
#define SKINUI_NOTIFY_ON_NAME(type, name, fn) \
    {type, name, ::SkinUI::kNotifyMsg, nullptr, static_cast<::SkinUI::NotifyMsgHandler>(fn)},
// Handler taking (wParam, lParam).
#define SKINUI_NOTIFY_ON_ARGS(type, name, fn) \
    {type, name, ::SkinUI::kNotifyArgs, static_cast<::SkinUI::NotifyArgsHandler>(fn), nullptr},
#define SKINUI_END_NOTIFY_MAP() \
    { nullptr, nullptr, ::SkinUI::kNotifyEnd, nullptr, nullptr } \
    };

// Skin source kinds of WindowImplBase.
enum SkinSourceKind : int { kSkinFiles = 1, kSkinArchiveFile = 2, kSkinXmlResource = 3, kSkinArchiveResource = 4 };

// The skinned window: builds its control tree from the skin when it is created, makes the whole window
// client area, and routes notifications to handlers by name.
class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
public:
    WindowImplBase() = default;
    ~WindowImplBase() override = default;

    UINT GetClassStyle() const override { return CS_DBLCLKS; }
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowFinal(HWND hWnd) override;

    virtual void InitWindow() {}
    virtual void OnControlClick(const UINotification& msg);
    virtual std::wstring GetSkinFolder() = 0;
    virtual std::wstring GetSkinFile() = 0;
    virtual bool RespondDefaultKey(WPARAM virtualKey) { return virtualKey == VK_ESCAPE; }
    virtual int GetSkinSourceKind() const { return kSkinFiles; }
    virtual std::wstring GetArchiveName() const { return std::wstring(); }
    virtual std::wstring GetSkinResourceId() const { return std::wstring(); }

    virtual LRESULT OnClose(UINT, WPARAM, LPARAM, bool& handled) { handled = false; return 0; }
    virtual LRESULT OnDestroy(UINT, WPARAM, LPARAM, bool& handled) { handled = false; return 0; }
    virtual LRESULT OnEraseBkgnd(UINT, WPARAM, LPARAM, bool& handled) { handled = false; return 1; }
    virtual LRESULT OnNcActivate(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcCalcSize(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcPaint(UINT, WPARAM, LPARAM, bool&) { return 0; }
    virtual LRESULT OnNcHitTest(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnGetMinMaxInfo(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseWheel(UINT, WPARAM, LPARAM, bool& handled) { handled = false; return 0; }
    virtual LRESULT OnMouseHover(UINT, WPARAM, LPARAM, bool& handled) { handled = false; return 0; }
    virtual LRESULT OnMouseLeave(UINT, WPARAM, LPARAM, bool& handled) { handled = false; return 0; }
    virtual LRESULT OnSize(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnChar(UINT, WPARAM, LPARAM, bool& handled) { handled = false; return 0; }
    virtual LRESULT OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnCreate(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnKeyDown(UINT, WPARAM, LPARAM, bool& handled) { handled = false; return 0; }
    virtual LRESULT OnKillFocus(UINT, WPARAM, LPARAM, bool& handled) { handled = false; return 0; }
    virtual LRESULT OnSetFocus(UINT, WPARAM, LPARAM, bool& handled) { handled = false; return 0; }
    virtual LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, bool& handled) { handled = false; return 0; }
    virtual LRESULT OnLButtonUp(UINT, WPARAM, LPARAM, bool& handled) { handled = false; return 0; }
    virtual LRESULT OnMouseMove(UINT, WPARAM, LPARAM, bool& handled) { handled = false; return 0; }
    // The hook for a window's own messages.
    virtual LRESULT OnLauncherMessage(UINT, WPARAM, LPARAM, bool& handled) { handled = false; return 0; }
    virtual LONG GetStyle() const;

    // INotifyUI, IMessageFilterUI, IDialogBuilderCallback.
    void Notify(const UINotification& msg) override;
    LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    CControlUI* CreateCustomControl(const wchar_t* elementName) override
    {
        (void)elementName;
        return nullptr;
    }

    CUIManager& Manager() { return m_manager; }

protected:
    CUIManager m_manager;

private:
    // Makes the skin's archive or folder the source of skin files; false when a skin resource is missing.
    bool SelectSkinSource();

    SKINUI_DECLARE_NOTIFY_MAP()
};

}  // namespace SkinUI
