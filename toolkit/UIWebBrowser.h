// The platform's web browser as a control: events to a replaceable handler, and the answers a document host
// gives the engine (host information, context menus, the page's external object, accelerators, script
// errors, the download manager).
#pragma once

#include "UIActiveX.h"
#include "UIComGuids.h"

#include <docobj.h>
#include <exdisp.h>
#include <mshtmhst.h>

#include <string>

namespace SkinUI {

// A VARIANT that is cleared at the end of its scope.
class CScopedVariant {
public:
    CScopedVariant() noexcept { ::VariantInit(&m_v); }
    // A string variant; a failed allocation leaves a null string, which the platform reads as empty text.
    explicit CScopedVariant(const std::wstring& text) noexcept
    {
        ::VariantInit(&m_v);
        m_v.vt = VT_BSTR;
        m_v.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    ~CScopedVariant() { (void)::VariantClear(&m_v); }
    CScopedVariant(const CScopedVariant&) = delete;
    CScopedVariant& operator=(const CScopedVariant&) = delete;

    VARIANT* Get() noexcept { return &m_v; }
    const VARIANT& Ref() const noexcept { return m_v; }

private:
    VARIANT m_v;
};

// Page events and host questions a window may want to answer; every operation has a default.
class CWebBrowserEventHandler {
public:
    // Events, with the arguments as the engine delivers them; a by-reference argument arrives as a pointer
    // to the variant (or flag) it refers to, so that a handler can write the engine's value.
    virtual void BeforeNavigate2(IDispatch* pDisp, VARIANT* url, VARIANT* flags, VARIANT* targetFrameName,
                                 VARIANT* postData, VARIANT* headers, VARIANT_BOOL* cancel);
    virtual void NavigateError(IDispatch* pDisp, VARIANT* url, VARIANT* targetFrameName, VARIANT* statusCode,
                               VARIANT_BOOL* cancel);
    virtual void NavigateComplete2(IDispatch* pDisp, VARIANT* url);
    virtual void DocumentComplete(IDispatch* pDisp, VARIANT* url);
    virtual void ProgressChange(long progress, long progressMax);  // never raised
    virtual void NewWindow3(IDispatch** ppDisp, VARIANT_BOOL* cancel, DWORD flags, BSTR urlContext, BSTR url);
    virtual void CommandStateChange(long command, VARIANT_BOOL enable);

    // Host questions, with the platform's signatures.
    virtual HRESULT ShowContextMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved, IDispatch* pdispReserved);
    virtual HRESULT GetHostInfo(DOCHOSTUIINFO* pInfo);
    virtual HRESULT ShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject, IOleCommandTarget* pCommandTarget,
                           IOleInPlaceFrame* pFrame, IOleInPlaceUIWindow* pDoc);
    virtual HRESULT HideUI();
    virtual HRESULT UpdateUI();
    virtual HRESULT EnableModeless(BOOL fEnable);
    virtual HRESULT OnDocWindowActivate(BOOL fActivate);
    virtual HRESULT OnFrameWindowActivate(BOOL fActivate);
    virtual HRESULT ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow, BOOL fRameWindow);
    virtual HRESULT TranslateAccelerator(LPMSG lpMsg, const GUID* pguidCmdGroup, DWORD nCmdID);
    virtual HRESULT GetOptionKeyPath(LPOLESTR* pchKey, DWORD dw);
    virtual HRESULT GetDropTarget(IDropTarget* pDropTarget, IDropTarget** ppDropTarget);
    virtual HRESULT GetExternal(IDispatch** ppDispatch);
    virtual HRESULT TranslateUrl(DWORD dwTranslate, LPWSTR pchURLIn, LPWSTR* ppchURLOut);
    virtual HRESULT FilterDataObject(IDataObject* pDO, IDataObject** ppDORet);
    virtual HRESULT Download(IMoniker* pmk, IBindCtx* pbc, DWORD dwBindVerb, LONG grfBINDF, BINDINFO* pBindInfo,
                             LPCOLESTR pszHeaders, LPCOLESTR pszRedir, UINT uiCP);

protected:
    ~CWebBrowserEventHandler() = default;
};

class CWebBrowserUI : public CActiveXUI,
                      public IDocHostUIHandler,
                      public IServiceProvider,
                      public IOleCommandTarget,
                      public IDispatch,
                      public ITranslateAccelerator {
public:
    CWebBrowserUI();
    ~CWebBrowserUI() override;

    const wchar_t* GetClassName() const override;
    void* QueryKind(const std::wstring& kind) override;
    void ApplyAttribute(const std::wstring& name, const std::wstring& value) override;
    void ReleaseHostedObject() override;
    bool CreateHostedObject() override;
    // The download-manager operation; the handler's answer, S_OK without one.
    virtual HRESULT Download(IMoniker* pmk, IBindCtx* pbc, DWORD dwBindVerb, LONG grfBINDF, BINDINFO* pBindInfo,
                             LPCOLESTR pszHeaders, LPCOLESTR pszRedir, UINT uiCP);

    // Navigate2 with the address alone; S_FALSE and nothing done without an address or an engine.
    HRESULT NavigateTo(const std::wstring& url);
    // Not owned: the caller keeps the handler alive while the control lives.
    void SetEventHandler(CWebBrowserEventHandler* pHandler) { m_eventHandler = pHandler; }
    CWebBrowserEventHandler* GetEventHandler() const { return m_eventHandler; }
    // Connects (or disconnects) this control's IDispatch to the engine's DWebBrowserEvents2.
    HRESULT ConnectEvents(bool connect);
    const std::wstring& GetHomePage() const { return m_homePage; }
    void SetHomePage(const std::wstring& url) { m_homePage = url; }
    bool IsAutoNavigate() const { return m_autoNavigate; }
    void SetAutoNavigate(bool b) { m_autoNavigate = b; }
    IWebBrowser2* GetWebBrowser2() const { return m_webBrowser.Get(); }
    ULONG ComRefCount() const { return m_comRefs; }

    // IUnknown: counted, never deleting; the control tree owns the control.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    // IDispatch: browser events, and the page's external object.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                            DISPID* rgDispId) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                     UINT* puArgErr) noexcept override;

    // IDocHostUIHandler
    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved,
                                              IDispatch* pdispReserved) noexcept override;
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* pInfo) noexcept override;
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject,
                                     IOleCommandTarget* pCommandTarget, IOleInPlaceFrame* pFrame,
                                     IOleInPlaceUIWindow* pDoc) noexcept override;
    HRESULT STDMETHODCALLTYPE HideUI() noexcept override;
    HRESULT STDMETHODCALLTYPE UpdateUI() noexcept override;
    HRESULT STDMETHODCALLTYPE EnableModeless(WINBOOL fEnable) noexcept override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(WINBOOL fActivate) noexcept override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(WINBOOL fActivate) noexcept override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow,
                                           WINBOOL fRameWindow) noexcept override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG lpMsg, const GUID* pguidCmdGroup,
                                                   DWORD nCmdID) noexcept override;
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* pchKey, DWORD dw) noexcept override;
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget* pDropTarget, IDropTarget** ppDropTarget) noexcept override;
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** ppDispatch) noexcept override;
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD dwTranslate, LPWSTR pchURLIn, LPWSTR* ppchURLOut) noexcept override;
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject* pDO, IDataObject** ppDORet) noexcept override;

    // IServiceProvider
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID guidService, REFIID riid, void** ppvObject) noexcept override;

    // IOleCommandTarget
    HRESULT STDMETHODCALLTYPE QueryStatus(const GUID* pguidCmdGroup, ULONG cCmds, OLECMD prgCmds[],
                                          OLECMDTEXT* pCmdText) noexcept override;
    HRESULT STDMETHODCALLTYPE Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD nCmdexecopt, VARIANT* pvaIn,
                                   VARIANT* pvaOut) noexcept override;

    // ITranslateAccelerator: keys reach the page only while the keyboard focus is inside the browser.
    HRESULT TranslateAccelerator(MSG* pMsg) override;

protected:
    // The engine's events by dispatch id; also where a derived external object passes ids it does not own.
    HRESULT DispatchEvent(DISPID dispIdMember, DISPPARAMS* pDispParams);

    Microsoft::WRL::ComPtr<IWebBrowser2> m_webBrowser;
    ULONG m_comRefs = 0;
    DWORD m_eventCookie = 0;
    std::wstring m_homePage;
    bool m_autoNavigate = false;
    CWebBrowserEventHandler* m_eventHandler = nullptr;

private:
    // The download manager handed out by QueryService, counted with the control.
    class CDownloadManager final : public IDownloadManager {
    public:
        explicit CDownloadManager(CWebBrowserUI* pOwner) : m_pOwner(pOwner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) noexcept override;
        ULONG STDMETHODCALLTYPE AddRef() noexcept override { return m_pOwner->AddRef(); }
        ULONG STDMETHODCALLTYPE Release() noexcept override { return m_pOwner->Release(); }
        HRESULT STDMETHODCALLTYPE Download(IMoniker* pmk, IBindCtx* pbc, DWORD dwBindVerb, LONG grfBINDF,
                                           BINDINFO* pBindInfo, LPCOLESTR pszHeaders, LPCOLESTR pszRedir,
                                           UINT uiCP) noexcept override;

    private:
        CWebBrowserUI* m_pOwner;
    };

    void LeaveEngine();
    void InstallUIHandler(IDocHostUIHandler* pHandler);

    CDownloadManager m_downloadManager{this};
};

}  // namespace SkinUI
