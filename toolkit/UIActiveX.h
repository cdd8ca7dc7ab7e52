// An embedded OLE control as a member of the control tree: the control, the client site that the object
// talks to, the child window a windowed object lives in, the in-place frame and the container's enumerator.
#pragma once

#include "UIControl.h"
#include "UIHandle.h"
#include "UIWindow.h"

#include <ole2.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

namespace SkinUI {

class CActiveXCtrl;

class CActiveXUI : public CControlUI, public IMessageFilterUI {
public:
    CActiveXUI() = default;
    ~CActiveXUI() override;

    const wchar_t* GetClassName() const override;
    void* QueryKind(const std::wstring& kind) override;
    void SetPos(RECT rc) override;
    void SetVisible(bool bVisible = true) override;
    void SetParentVisible(bool bVisible) override;
    void ApplyAttribute(const std::wstring& name, const std::wstring& value) override;
    void Paint(HDC hDC, const RECT& rcPaint) override;
    // Paint draws the hosted object, not a background, and nothing at all for a windowed one.
    bool CoversOpaquely(const RECT&) override { return false; }

    virtual void ReleaseHostedObject();
    virtual bool CreateHostedObject();

    // Messages of the manager's window for a windowless object.
    LRESULT FilterMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

    // The hosted object's own answer for the interface; E_PENDING without an object.
    HRESULT QueryHostedObject(REFIID iid, void** ppv) const;
    template <typename T>
    Microsoft::WRL::ComPtr<T> QueryHostedObject() const
    {
        Microsoft::WRL::ComPtr<T> p;
        (void)QueryHostedObject(__uuidof(T), reinterpret_cast<void**>(p.GetAddressOf()));
        return p;
    }

    const CLSID& GetClassId() const { return m_classId; }
    // A class id in braces or a programmatic id; false, and nothing changes, when it names no class.
    bool SetClassId(const std::wstring& text);
    const std::wstring& GetModuleName() const { return m_moduleName; }
    void SetModuleName(const std::wstring& name) { m_moduleName = name; }
    bool IsDelayCreate() const { return m_delayCreate; }
    void SetDelayCreate(bool bDelay);
    bool IsCreated() const { return m_created; }
    bool HasHostedObject() const { return m_hostedObject != nullptr; }
    // The window the object lives in: the host child window of a windowed object, the manager's window for
    // a windowless one; none before activation.
    HWND GetHostWindow() const { return m_hostWindow; }
    CActiveXCtrl* GetSite() const { return m_site.Get(); }

protected:
    // Closes the object and lets go of it and of its site; the base part of every release.
    void DiscardHostedObject();
    RECT ObjectRect() const;

    GUID m_classId{};
    std::wstring m_moduleName;
    bool m_created = false;
    bool m_delayCreate = true;
    Microsoft::WRL::ComPtr<IOleObject> m_hostedObject;
    Microsoft::WRL::ComPtr<CActiveXCtrl> m_site;
    HWND m_hostWindow = nullptr;

private:
    friend class CActiveXCtrl;
    void CloseHostedObject();
    void ShowHostWindow();
    bool CreateObjectInstance(Microsoft::WRL::ComPtr<IUnknown>& object);

    bool m_objectClosed = false;
};

// The child window of the manager's window in which a windowed object creates its own window.
class CActiveXWnd final : public CWindowWnd {
public:
    explicit CActiveXWnd(CActiveXCtrl* site) : m_pSite(site) {}
    ~CActiveXWnd() override;

    HWND Init(HWND hWndParent);
    bool IsBeingDestroyed() const { return m_bDestroying; }

    const wchar_t* GetWindowClassName() const override { return L"ActiveXWnd"; }
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowFinal(HWND hWnd) override;

private:
    LRESULT OnSetFocus(WPARAM wParam, LPARAM lParam);
    LRESULT OnKillFocus(WPARAM wParam, LPARAM lParam);
    LRESULT OnPaint();
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseActivate(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);

    CActiveXCtrl* m_pSite;  // the site owns this object
    bool m_bDestroying = false;
};

class CActiveXFrameWnd;

// The client site: every interface an embedded object asks its container for, on one reference count.
class CActiveXCtrl final : public IOleClientSite,
                           public IOleInPlaceSiteWindowless,
                           public IOleControlSite,
                           public IObjectWithSite,
                           public IOleContainer {
public:
    explicit CActiveXCtrl(CActiveXUI* pOwner) noexcept;
    CActiveXCtrl(const CActiveXCtrl&) = delete;
    CActiveXCtrl& operator=(const CActiveXCtrl&) = delete;

    CActiveXUI* Owner() const noexcept { return m_pOwner; }
    // The control lets go: the site forgets it, its host window goes, frames drop the active object.
    void Detach() noexcept;
    HWND HostWindow() const noexcept;
    bool IsFocused() const noexcept { return m_bFocused; }
    bool IsCaptured() const noexcept { return m_bCaptured; }
    bool IsUIActive() const noexcept { return m_bUIActivated; }
    bool IsInPlaceActive() const noexcept { return m_bInPlaceActive; }
    bool IsWindowless() const noexcept { return m_bWindowless; }
    bool IsContainerLocked() const noexcept { return m_bLocked; }
    IViewObject* View() const noexcept { return m_viewObject.Get(); }
    IOleInPlaceObjectWindowless* WindowlessObject() const noexcept { return m_inPlaceWindowless.Get(); }
    void SetView(Microsoft::WRL::ComPtr<IViewObject> view) noexcept { m_viewObject = std::move(view); }
    void SetFocusedFlag(bool b) noexcept { m_bFocused = b; }
    void SetObjectRects() noexcept;
    // The owner's object: a verb with the host window and the object's rectangle, and its status flags.
    HRESULT DoVerb(LONG verb) noexcept;
    DWORD MiscStatus() const noexcept;

    // Called by the host window.
    bool IsDestroyingHostWindow() const noexcept { return m_bDestroyingWindow; }
    void OnHostWindowDestroying() noexcept;
    void OnHostWindowGone(HWND hWnd) noexcept;
    void RegisterFrame(CActiveXFrameWnd* pFrame) noexcept;
    void UnregisterFrame(CActiveXFrameWnd* pFrame) noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    // IObjectWithSite
    HRESULT STDMETHODCALLTYPE SetSite(IUnknown* pUnkSite) noexcept override;
    HRESULT STDMETHODCALLTYPE GetSite(REFIID riid, void** ppvSite) noexcept override;

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() noexcept override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) noexcept override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** ppContainer) noexcept override;
    HRESULT STDMETHODCALLTYPE ShowObject() noexcept override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(WINBOOL fShow) noexcept override;
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() noexcept override;

    // IOleInPlaceSiteWindowless
    HRESULT STDMETHODCALLTYPE CanWindowlessActivate() noexcept override;
    HRESULT STDMETHODCALLTYPE GetCapture() noexcept override;
    HRESULT STDMETHODCALLTYPE SetCapture(WINBOOL fCapture) noexcept override;
    HRESULT STDMETHODCALLTYPE GetFocus() noexcept override;
    HRESULT STDMETHODCALLTYPE SetFocus(WINBOOL fFocus) noexcept override;
    HRESULT STDMETHODCALLTYPE GetDC(LPCRECT pRect, DWORD grfFlags, HDC* phDC) noexcept override;
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC hDC) noexcept override;
    HRESULT STDMETHODCALLTYPE InvalidateRect(LPCRECT pRect, WINBOOL fErase) noexcept override;
    HRESULT STDMETHODCALLTYPE InvalidateRgn(HRGN hRGN, WINBOOL fErase) noexcept override;
    HRESULT STDMETHODCALLTYPE ScrollRect(INT dx, INT dy, LPCRECT pRectScroll, LPCRECT pRectClip) noexcept override;
    HRESULT STDMETHODCALLTYPE AdjustRect(LPRECT prc) noexcept override;
    HRESULT STDMETHODCALLTYPE OnDefWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam,
                                                 LRESULT* plResult) noexcept override;

    // IOleInPlaceSiteEx
    HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(WINBOOL* pfNoRedraw, DWORD dwFlags) noexcept override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(WINBOOL fNoRedraw) noexcept override;
    HRESULT STDMETHODCALLTYPE RequestUIActivate() noexcept override;

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() noexcept override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() noexcept override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() noexcept override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                               LPRECT lprcPosRect, LPRECT lprcClipRect,
                                               LPOLEINPLACEFRAMEINFO lpFrameInfo) noexcept override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE scrollExtant) noexcept override;
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(WINBOOL fUndoable) noexcept override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() noexcept override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() noexcept override;
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() noexcept override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT lprcPosRect) noexcept override;

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) noexcept override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(WINBOOL fEnterMode) noexcept override;

    // IOleControlSite
    HRESULT STDMETHODCALLTYPE OnControlInfoChanged() noexcept override;
    HRESULT STDMETHODCALLTYPE LockInPlaceActive(WINBOOL fLock) noexcept override;
    HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** ppDisp) noexcept override;
    HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* pPtlHimetric, POINTF* pPtfContainer,
                                              DWORD dwFlags) noexcept override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* pMsg, DWORD grfModifiers) noexcept override;
    HRESULT STDMETHODCALLTYPE OnFocus(WINBOOL fGotFocus) noexcept override;
    HRESULT STDMETHODCALLTYPE ShowPropertyFrame() noexcept override;

    // IOleContainer
    HRESULT STDMETHODCALLTYPE EnumObjects(DWORD grfFlags, IEnumUnknown** ppenum) noexcept override;
    HRESULT STDMETHODCALLTYPE LockContainer(WINBOOL fLock) noexcept override;
    HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx* pbc, LPOLESTR pszDisplayName, ULONG* pchEaten,
                                               IMoniker** ppmkOut) noexcept override;

private:
    ~CActiveXCtrl();
    HWND ManagerWindow() const noexcept;
    bool CreateHostWindow() noexcept;
    void DestroyHostWindow() noexcept;

    ULONG m_refs = 1;
    CActiveXUI* m_pOwner;
    std::unique_ptr<CActiveXWnd> m_window;
    Microsoft::WRL::ComPtr<IUnknown> m_unkSite;
    Microsoft::WRL::ComPtr<IViewObject> m_viewObject;
    Microsoft::WRL::ComPtr<IOleInPlaceObject> m_inPlaceObject;
    Microsoft::WRL::ComPtr<IOleInPlaceObjectWindowless> m_inPlaceWindowless;
    std::vector<CActiveXFrameWnd*> m_frames;  // not owned: each frame holds the site
    CUniqueAccel m_hAccel;
    bool m_bFocused = false;
    bool m_bCaptured = false;
    bool m_bUIActivated = false;
    bool m_bInPlaceActive = false;
    bool m_bWindowless = true;
    bool m_bLocked = false;
    bool m_bDestroyingWindow = false;
    bool m_bRunningLocked = false;
};

// The in-place frame handed to the object by GetWindowContext.
class CActiveXFrameWnd final : public IOleInPlaceFrame {
public:
    explicit CActiveXFrameWnd(CActiveXCtrl* pSite) noexcept;
    CActiveXFrameWnd(const CActiveXFrameWnd&) = delete;
    CActiveXFrameWnd& operator=(const CActiveXFrameWnd&) = delete;

    IOleInPlaceActiveObject* ActiveObject() const noexcept { return m_activeObject.Get(); }
    void DropActiveObject() noexcept { m_activeObject.Reset(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) noexcept override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(WINBOOL fEnterMode) noexcept override;
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT lprectBorder) noexcept override;
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS pborderwidths) noexcept override;
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS pborderwidths) noexcept override;
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* pActiveObject,
                                              LPCOLESTR pszObjName) noexcept override;
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU hmenuShared, LPOLEMENUGROUPWIDTHS lpMenuWidths) noexcept override;
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU hmenuShared, HOLEMENU holemenu, HWND hwndActiveObject) noexcept override;
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU hmenuShared) noexcept override;
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR pszStatusText) noexcept override;
    HRESULT STDMETHODCALLTYPE EnableModeless(WINBOOL fEnable) noexcept override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG lpmsg, WORD wID) noexcept override;

private:
    ~CActiveXFrameWnd();

    ULONG m_refs = 1;
    Microsoft::WRL::ComPtr<CActiveXCtrl> m_site;
    Microsoft::WRL::ComPtr<IOleInPlaceActiveObject> m_activeObject;
};

// The container's objects: the one hosted object.
class CActiveXEnum final : public IEnumUnknown {
public:
    explicit CActiveXEnum(Microsoft::WRL::ComPtr<IUnknown> object) noexcept : m_object(std::move(object)) {}
    CActiveXEnum(const CActiveXEnum&) = delete;
    CActiveXEnum& operator=(const CActiveXEnum&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;
    HRESULT STDMETHODCALLTYPE Next(ULONG celt, IUnknown** rgelt, ULONG* pceltFetched) noexcept override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) noexcept override;
    HRESULT STDMETHODCALLTYPE Reset() noexcept override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumUnknown** ppenum) noexcept override;

private:
    ~CActiveXEnum() = default;

    ULONG m_refs = 1;
    ULONG m_pos = 0;
    Microsoft::WRL::ComPtr<IUnknown> m_object;
};

}  // namespace SkinUI
