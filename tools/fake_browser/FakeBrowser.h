// The stand-in browser engine: an in-process COM server that answers for the WebBrowser class in the test
// prefix and plays page scripts instead of loading pages. A tool of the tests and the demonstration; never
// shipped. The README's section on the stand-ins describes its environment, script and record formats.
#pragma once

#include <windows.h>

#include <docobj.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <ocidl.h>
#include <ole2.h>
#include <olectl.h>
#include <wrl/client.h>

#include <string>
#include <utility>
#include <vector>

namespace fakebrowser {

using Microsoft::WRL::ComPtr;

// A class only the module itself knows (no registry entry): for hosts that load the module by name.
extern const CLSID CLSID_FakeBrowserPrivate;

// ---- module ----
HINSTANCE ModuleInstance();
void ObjectCreated();
void ObjectDestroyed();
// Window classes of the engine, registered on first use and unregistered when the module unloads.
const wchar_t* ViewClassName();
const wchar_t* PumpClassName();

// ---- records ----
// Appends one line (UTF-8, CR LF) to the file named by VEMRA_FAKE_BROWSER_LOG; nothing when it is unset.
void Record(const std::wstring& line);
// A value that never contains a space, CR or LF (those become %20, %0D, %0A; "%" becomes %25).
std::wstring Field(const std::wstring& value);
std::wstring Hex(unsigned long value);
std::wstring RectText(const RECT& rc);
std::wstring HandleText(HWND hWnd);

// ---- page scripts ----
struct PageStep {
    std::wstring op;
    std::wstring arg;
    int line = 0;
};

struct PageScript {
    std::wstring source;  // the file, or "default"
    bool syncBeforeNavigate = false;
    std::wstring unloadCall;  // the page's call as it is closed (an unload handler), or none
    std::vector<PageStep> steps;
};

// The script named by VEMRA_FAKE_PAGE, or the default portal page (load, then the portal picture).
PageScript LoadPageScript();
// The value of a query parameter of an address, percent-decoded (UTF-8); empty when absent.
std::wstring QueryValue(const std::wstring& url, const std::wstring& name);
// JSON string literal for a text.
std::wstring JsonString(const std::wstring& text);

// The areas of the portal picture in a view of the given size.
struct PortalAreas {
    RECT drag;
    RECT minimise;
    RECT close;
    RECT play;
};
PortalAreas PortalLayout(int width, int height);
void PaintPortal(HDC hDC, const RECT& client, const std::wstring& url);

class CFakeDocument;

class CFakeBrowser final : public IOleObject,
                           public IOleInPlaceObject,
                           public IOleInPlaceActiveObject,
                           public IWebBrowser2,
                           public IConnectionPointContainer,
                           public IOleControl,
                           public IPersistStreamInit,
                           public IObjectWithSite {
public:
    explicit CFakeBrowser(const CLSID& clsid);
    CFakeBrowser(const CFakeBrowser&) = delete;
    CFakeBrowser& operator=(const CFakeBrowser&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* pClientSite) noexcept override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** ppClientSite) noexcept override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR szContainerApp, LPCOLESTR szContainerObj) noexcept override;
    HRESULT STDMETHODCALLTYPE Close(DWORD dwSaveOption) noexcept override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** ppmk) noexcept override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, WINBOOL, DWORD) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** ppDataObject) noexcept override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG iVerb, LPMSG lpmsg, IOleClientSite* pActiveSite, LONG lindex,
                                     HWND hwndParent, LPCRECT lprcPosRect) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) noexcept override;
    HRESULT STDMETHODCALLTYPE Update() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* pClsid) noexcept override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR* pszUserType) noexcept override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD dwDrawAspect, SIZEL* psizel) noexcept override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD dwDrawAspect, SIZEL* psizel) noexcept override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD* pdwConnection) noexcept override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) noexcept override { return OLE_E_NOCONNECTION; }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** ppenumAdvise) noexcept override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) noexcept override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) noexcept override { return E_NOTIMPL; }

    // IOleWindow (of both in-place interfaces)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) noexcept override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(WINBOOL) noexcept override { return E_NOTIMPL; }

    // IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() noexcept override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() noexcept override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT lprcPosRect, LPCRECT lprcClipRect) noexcept override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() noexcept override { return E_NOTIMPL; }

    // IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG lpmsg) noexcept override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(WINBOOL) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(WINBOOL) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, WINBOOL) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(WINBOOL) noexcept override { return S_OK; }

    // IDispatch (of the browser object)
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) noexcept override;

    // IWebBrowser
    HRESULT STDMETHODCALLTYPE GoBack() noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoForward() noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoHome() noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoSearch() noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Navigate(BSTR URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                                       VARIANT* Headers) noexcept override;
    HRESULT STDMETHODCALLTYPE Refresh() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Refresh2(VARIANT*) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Stop() noexcept override;
    HRESULT STDMETHODCALLTYPE get_Application(IDispatch** ppDisp) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Parent(IDispatch** ppDisp) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Container(IDispatch** ppDisp) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Document(IDispatch** ppDisp) noexcept override;
    HRESULT STDMETHODCALLTYPE get_TopLevelContainer(VARIANT_BOOL* pBool) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Type(BSTR* Type) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Left(LONG* pl) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Left(LONG) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Top(LONG* pl) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Top(LONG) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Width(LONG* pl) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Width(LONG) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Height(LONG* pl) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Height(LONG) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_LocationName(BSTR* LocationName) noexcept override;
    HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* LocationURL) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Busy(VARIANT_BOOL* pBool) noexcept override;

    // IWebBrowserApp
    HRESULT STDMETHODCALLTYPE Quit() noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ClientToWindow(int*, int*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutProperty(BSTR, VARIANT) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetProperty(BSTR, VARIANT*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* Name) noexcept override;
    HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR* pHWND) noexcept override;
    HRESULT STDMETHODCALLTYPE get_FullName(BSTR*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Path(BSTR*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* pBool) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_StatusBar(VARIANT_BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StatusBar(VARIANT_BOOL) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StatusText(BSTR*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StatusText(BSTR) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ToolBar(int*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ToolBar(int) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MenuBar(VARIANT_BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_MenuBar(VARIANT_BOOL) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FullScreen(VARIANT_BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_FullScreen(VARIANT_BOOL) noexcept override { return E_NOTIMPL; }

    // IWebBrowser2
    HRESULT STDMETHODCALLTYPE Navigate2(VARIANT* URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                                        VARIANT* Headers) noexcept override;
    HRESULT STDMETHODCALLTYPE QueryStatusWB(OLECMDID, OLECMDF*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecWB(OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*) noexcept override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ShowBrowserBar(VARIANT*, VARIANT*, VARIANT*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ReadyState(READYSTATE* plReadyState) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Offline(VARIANT_BOOL* pbOffline) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Offline(VARIANT_BOOL) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_Silent(VARIANT_BOOL* pbSilent) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Silent(VARIANT_BOOL bSilent) noexcept override;
    HRESULT STDMETHODCALLTYPE get_RegisterAsBrowser(VARIANT_BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RegisterAsBrowser(VARIANT_BOOL) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_RegisterAsDropTarget(VARIANT_BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RegisterAsDropTarget(VARIANT_BOOL) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_TheaterMode(VARIANT_BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_TheaterMode(VARIANT_BOOL) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_AddressBar(VARIANT_BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_AddressBar(VARIANT_BOOL) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Resizable(VARIANT_BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Resizable(VARIANT_BOOL) noexcept override { return E_NOTIMPL; }

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) noexcept override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) noexcept override;

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FreezeEvents(WINBOOL) noexcept override { return S_OK; }

    // IPersistStreamInit
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) noexcept override;
    HRESULT STDMETHODCALLTYPE IsDirty() noexcept override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM, WINBOOL) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitNew() noexcept override;

    // IObjectWithSite
    HRESULT STDMETHODCALLTYPE SetSite(IUnknown* pUnkSite) noexcept override;
    HRESULT STDMETHODCALLTYPE GetSite(REFIID riid, void** ppvSite) noexcept override;

    // The windows' procedures call these.
    LRESULT OnViewMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnPumpMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    class CEventPoint final : public IConnectionPoint {
    public:
        explicit CEventPoint(CFakeBrowser* pOwner) : m_pOwner(pOwner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
        ULONG STDMETHODCALLTYPE AddRef() noexcept override { return m_pOwner->AddRef(); }
        ULONG STDMETHODCALLTYPE Release() noexcept override { return m_pOwner->Release(); }
        HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) noexcept override;
        HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** ppCPC) noexcept override;
        HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie) noexcept override;
        HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) noexcept override;
        HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) noexcept override;

        std::vector<std::pair<DWORD, ComPtr<IDispatch>>> sinks;

    private:
        CFakeBrowser* m_pOwner;
        DWORD m_nextCookie = 1;
    };

    ~CFakeBrowser();

    long Ms() const;
    // Microseconds since creation, for benchmarks that split a start-up into steps.
    long long Us() const;
    HRESULT StartNavigation(const std::wstring& url);
    HRESULT InPlaceActivate(bool uiActivate);
    void UIActivate();
    void StopScript();
    void ScheduleNext(UINT delayMs);
    void RunNextStep();
    bool RunStep(const PageStep& step);  // false: the page's scripts stop here

    void Fire(DISPID id, VARIANT* args, UINT count);
    bool FireBeforeNavigate(const std::wstring& url);
    void FireNavigateComplete(const std::wstring& url);
    void FireDocumentComplete(const std::wstring& url, bool frame);
    void FireNavigateError(const std::wstring& url, long status);
    void FireNewWindow(const std::wstring& url, const std::wstring& context);
    void CallExternal(const std::wstring& name, std::vector<std::wstring> texts, bool number, const std::wstring& what);
    bool RaiseScriptError();
    void AskContextMenu(POINT pt);
    IDocHostUIHandler* UIHandler() const;
    void PagePicture(bool on, const std::wstring& playText);
    void DoPaint(HWND hWnd, HDC hDC);

    ULONG m_refs = 1;
    CLSID m_clsid;
    LARGE_INTEGER m_created{};
    CEventPoint m_events{this};
    ComPtr<IOleClientSite> m_clientSite;
    ComPtr<IOleInPlaceSite> m_inPlaceSite;
    ComPtr<IOleInPlaceFrame> m_frame;
    ComPtr<IOleInPlaceUIWindow> m_uiWindow;
    ComPtr<IUnknown> m_objectSite;
    ComPtr<CFakeDocument> m_document;
    HWND m_hView = nullptr;
    HWND m_hPump = nullptr;
    bool m_inPlaceActive = false;
    bool m_uiActive = false;
    bool m_closed = false;
    SIZEL m_extent{};
    RECT m_rcPos{};
    std::wstring m_url;
    std::wstring m_location;
    VARIANT_BOOL m_silent = VARIANT_FALSE;
    bool m_complete = false;

    PageScript m_script;
    size_t m_next = 0;
    UINT m_generation = 0;
    bool m_portal = false;
    std::wstring m_playText;
    int m_pressedArea = -1;
};

}  // namespace fakebrowser
