#include "UIWebBrowser.h"

#include "UIManager.h"

#include <exdispid.h>

using Microsoft::WRL::ComPtr;

namespace SkinUI {

// ---------------------------------------------------------------------------------------------------------
// CWebBrowserEventHandler: the defaults. Outputs are cleared so that an engine never reads garbage.

void CWebBrowserEventHandler::BeforeNavigate2(IDispatch*, VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*,
                                              VARIANT_BOOL*)
{
}
void CWebBrowserEventHandler::NavigateError(IDispatch*, VARIANT*, VARIANT*, VARIANT*, VARIANT_BOOL*) {}
void CWebBrowserEventHandler::NavigateComplete2(IDispatch*, VARIANT*) {}
void CWebBrowserEventHandler::DocumentComplete(IDispatch*, VARIANT*) {}
void CWebBrowserEventHandler::ProgressChange(long, long) {}
void CWebBrowserEventHandler::NewWindow3(IDispatch**, VARIANT_BOOL*, DWORD, BSTR, BSTR) {}
void CWebBrowserEventHandler::CommandStateChange(long, VARIANT_BOOL) {}
HRESULT CWebBrowserEventHandler::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) { return S_OK; }
HRESULT CWebBrowserEventHandler::GetHostInfo(DOCHOSTUIINFO*) { return S_OK; }
HRESULT CWebBrowserEventHandler::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                        IOleInPlaceUIWindow*)
{
    return S_FALSE;
}
HRESULT CWebBrowserEventHandler::HideUI() { return S_OK; }
HRESULT CWebBrowserEventHandler::UpdateUI() { return S_OK; }
HRESULT CWebBrowserEventHandler::EnableModeless(BOOL) { return S_OK; }
HRESULT CWebBrowserEventHandler::OnDocWindowActivate(BOOL) { return S_OK; }
HRESULT CWebBrowserEventHandler::OnFrameWindowActivate(BOOL) { return S_OK; }
HRESULT CWebBrowserEventHandler::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
HRESULT CWebBrowserEventHandler::TranslateAccelerator(LPMSG, const GUID*, DWORD) { return S_FALSE; }

HRESULT CWebBrowserEventHandler::GetOptionKeyPath(LPOLESTR* pchKey, DWORD)
{
    if (pchKey != nullptr) *pchKey = nullptr;  // no key of our own: the engine's defaults
    return S_OK;
}

HRESULT CWebBrowserEventHandler::GetDropTarget(IDropTarget*, IDropTarget** ppDropTarget)
{
    if (ppDropTarget != nullptr) *ppDropTarget = nullptr;
    return E_NOTIMPL;
}

HRESULT CWebBrowserEventHandler::GetExternal(IDispatch** ppDispatch)
{
    if (ppDispatch != nullptr) *ppDispatch = nullptr;
    return E_NOTIMPL;
}

HRESULT CWebBrowserEventHandler::TranslateUrl(DWORD, LPWSTR, LPWSTR* ppchURLOut)
{
    if (ppchURLOut != nullptr) *ppchURLOut = nullptr;  // untranslated
    return S_OK;
}

HRESULT CWebBrowserEventHandler::FilterDataObject(IDataObject*, IDataObject** ppDORet)
{
    if (ppDORet != nullptr) *ppDORet = nullptr;  // unfiltered
    return S_OK;
}

HRESULT CWebBrowserEventHandler::Download(IMoniker*, IBindCtx*, DWORD, LONG, BINDINFO*, LPCOLESTR, LPCOLESTR, UINT)
{
    return S_OK;
}

namespace {

// DISPPARAMS hold the arguments last to first; index counts from the event's first parameter.
VARIANT* Arg(DISPPARAMS* params, UINT index, UINT count) { return &params->rgvarg[count - 1 - index]; }

// Looks through one by-reference variant, as the engine passes most event arguments.
VARIANT* Deref(VARIANT* v)
{
    if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal != nullptr) return v->pvarVal;
    return v;
}

IDispatch* DispatchOf(VARIANT* v)
{
    v = Deref(v);
    if (v->vt == VT_DISPATCH) return v->pdispVal;
    if (v->vt == (VT_DISPATCH | VT_BYREF) && v->ppdispVal != nullptr) return *v->ppdispVal;
    return nullptr;
}

// The engine's flag behind a by-reference argument, or the spare one when the argument is no such flag.
VARIANT_BOOL* FlagOf(VARIANT* v, VARIANT_BOOL& spare)
{
    if (v->vt == (VT_BOOL | VT_BYREF) && v->pboolVal != nullptr) return v->pboolVal;
    VARIANT* inner = Deref(v);
    if (inner != v && inner->vt == VT_BOOL) return &inner->boolVal;
    return &spare;
}

long LongOf(VARIANT* v)
{
    v = Deref(v);
    switch (v->vt) {
    case VT_I4: return v->lVal;
    case VT_INT: return v->intVal;
    case VT_I2: return v->iVal;
    case VT_UI4: return static_cast<long>(v->ulVal);
    case VT_I4 | VT_BYREF: return v->plVal != nullptr ? *v->plVal : 0;
    default: return 0;
    }
}

VARIANT_BOOL BoolOf(VARIANT* v)
{
    v = Deref(v);
    if (v->vt == VT_BOOL) return v->boolVal;
    if (v->vt == (VT_BOOL | VT_BYREF) && v->pboolVal != nullptr) return *v->pboolVal;
    return VARIANT_FALSE;
}

BSTR BstrOf(VARIANT* v)
{
    v = Deref(v);
    if (v->vt == VT_BSTR) return v->bstrVal;
    if (v->vt == (VT_BSTR | VT_BYREF) && v->pbstrVal != nullptr) return *v->pbstrVal;
    return nullptr;
}

// A handler's answer, or the fallback when it threw: nothing may escape into the engine.
template <typename Fn>
HRESULT Guarded(Fn&& fn) noexcept
{
    try {
        return fn();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// CWebBrowserUI

CWebBrowserUI::CWebBrowserUI() { m_classId = CLSID_WebBrowser; }

CWebBrowserUI::~CWebBrowserUI()
{
    InstallUIHandler(nullptr);  // the document must not ask a control that is gone
    LeaveEngine();
    m_webBrowser.Reset();
}

const wchar_t* CWebBrowserUI::GetClassName() const { return L"WebBrowserUI"; }

void* CWebBrowserUI::QueryKind(const std::wstring& kind)
{
    if (kind == L"WebBrowser") return this;
    return CActiveXUI::QueryKind(kind);
}

void CWebBrowserUI::ApplyAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name == L"homepage")
        m_homePage = value;
    else if (name == L"autonavi")
        m_autoNavigate = ParseBool(value.c_str());
    else
        CActiveXUI::ApplyAttribute(name, value);
}

void CWebBrowserUI::LeaveEngine()
{
    m_created = false;
    if (m_pManager != nullptr) (void)m_pManager->RemoveAcceleratorTranslator(this);
    (void)ConnectEvents(false);
}

// The object itself stays until the control goes (or a new one replaces it).
void CWebBrowserUI::ReleaseHostedObject() { LeaveEngine(); }

bool CWebBrowserUI::CreateHostedObject()
{
    m_webBrowser.Reset();
    if (!CActiveXUI::CreateHostedObject()) return false;
    if (m_pManager != nullptr) (void)m_pManager->AddAcceleratorTranslator(this);
    (void)m_hostedObject.As(&m_webBrowser);
    if (m_autoNavigate && !m_homePage.empty()) (void)NavigateTo(m_homePage);
    (void)ConnectEvents(true);
    return true;
}

HRESULT CWebBrowserUI::NavigateTo(const std::wstring& url)
{
    if (url.empty() || !m_webBrowser) return S_FALSE;
    const ComPtr<IWebBrowser2> browser = m_webBrowser;  // the engine may call back into the control meanwhile
    CScopedVariant address(url);
    CScopedVariant none;
    return browser->Navigate2(address.Get(), none.Get(), none.Get(), none.Get(), none.Get());
}

HRESULT CWebBrowserUI::ConnectEvents(bool connect)
{
    if (!m_hostedObject) return E_PENDING;
    if (connect && m_eventCookie != 0) return S_OK;  // one connection: events never arrive twice
    if (!connect && m_eventCookie == 0) return S_FALSE;
    ComPtr<IWebBrowser2> browser;
    HRESULT hr = m_hostedObject.As(&browser);
    ComPtr<IConnectionPointContainer> container;
    if (SUCCEEDED(hr)) hr = browser.As(&container);
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point);
    if (FAILED(hr)) return hr;
    if (connect) return point->Advise(static_cast<IDispatch*>(this), &m_eventCookie);
    const DWORD cookie = m_eventCookie;
    m_eventCookie = 0;
    return point->Unadvise(cookie);
}

void CWebBrowserUI::InstallUIHandler(IDocHostUIHandler* pHandler)
{
    if (!m_webBrowser) return;
    ComPtr<IDispatch> document;
    ComPtr<ICustomDoc> custom;
    if (SUCCEEDED(m_webBrowser->get_Document(&document)) && document && SUCCEEDED(document.As(&custom)))
        (void)custom->SetUIHandler(pHandler);
}

HRESULT CWebBrowserUI::Download(IMoniker* pmk, IBindCtx* pbc, DWORD dwBindVerb, LONG grfBINDF, BINDINFO* pBindInfo,
                                LPCOLESTR pszHeaders, LPCOLESTR pszRedir, UINT uiCP)
{
    if (m_eventHandler == nullptr) return S_OK;
    return m_eventHandler->Download(pmk, pbc, dwBindVerb, grfBINDF, pBindInfo, pszHeaders, pszRedir, uiCP);
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::QueryInterface(REFIID riid, void** ppvObject) noexcept
{
    if (ppvObject == nullptr) return E_POINTER;
    *ppvObject = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDocHostUIHandler)
        *ppvObject = static_cast<IDocHostUIHandler*>(this);
    else if (riid == IID_IDispatch)
        *ppvObject = static_cast<IDispatch*>(this);
    else if (riid == IID_IServiceProvider)
        *ppvObject = static_cast<IServiceProvider*>(this);
    else if (riid == IID_IOleCommandTarget)
        *ppvObject = static_cast<IOleCommandTarget*>(this);
    if (*ppvObject == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CWebBrowserUI::AddRef() noexcept { return ++m_comRefs; }

ULONG STDMETHODCALLTYPE CWebBrowserUI::Release() noexcept
{
    if (m_comRefs > 0) --m_comRefs;
    return m_comRefs;
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::GetTypeInfoCount(UINT* pctinfo) noexcept
{
    if (pctinfo != nullptr) *pctinfo = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) noexcept
{
    if (ppTInfo != nullptr) *ppTInfo = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) noexcept
{
    if (rgDispId == nullptr) return E_POINTER;
    for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD, DISPPARAMS* pDispParams,
                                                VARIANT*, EXCEPINFO*, UINT*) noexcept
{
    if (riid != IID_NULL) return E_INVALIDARG;
    return Guarded([&] { return DispatchEvent(dispIdMember, pDispParams); });
}

HRESULT CWebBrowserUI::DispatchEvent(DISPID dispIdMember, DISPPARAMS* pDispParams)
{
    const UINT count = pDispParams != nullptr && pDispParams->rgvarg != nullptr ? pDispParams->cArgs : 0;
    auto needs = [count](UINT n) { return count >= n; };
    VARIANT_BOOL spare = VARIANT_FALSE;
    switch (dispIdMember) {
    case DISPID_STATUSTEXTCHANGE:
        return S_OK;
    case DISPID_COMMANDSTATECHANGE:
        if (!needs(2)) return DISP_E_BADPARAMCOUNT;
        if (m_eventHandler != nullptr)
            m_eventHandler->CommandStateChange(LongOf(Arg(pDispParams, 0, count)), BoolOf(Arg(pDispParams, 1, count)));
        return S_OK;
    case DISPID_BEFORENAVIGATE2:
        if (!needs(7)) return DISP_E_BADPARAMCOUNT;
        if (m_eventHandler != nullptr)
            m_eventHandler->BeforeNavigate2(DispatchOf(Arg(pDispParams, 0, count)), Deref(Arg(pDispParams, 1, count)),
                                            Deref(Arg(pDispParams, 2, count)), Deref(Arg(pDispParams, 3, count)),
                                            Deref(Arg(pDispParams, 4, count)), Deref(Arg(pDispParams, 5, count)),
                                            FlagOf(Arg(pDispParams, 6, count), spare));
        return S_OK;
    case DISPID_NAVIGATECOMPLETE2:
        // Every new document asks this control, not the engine's defaults, for the host's answers.
        InstallUIHandler(this);
        if (!needs(2)) return DISP_E_BADPARAMCOUNT;
        if (m_eventHandler != nullptr)
            m_eventHandler->NavigateComplete2(DispatchOf(Arg(pDispParams, 0, count)),
                                              Deref(Arg(pDispParams, 1, count)));
        return S_OK;
    case DISPID_DOCUMENTCOMPLETE:
        if (!needs(2)) return DISP_E_BADPARAMCOUNT;
        if (m_eventHandler != nullptr)
            m_eventHandler->DocumentComplete(DispatchOf(Arg(pDispParams, 0, count)), Deref(Arg(pDispParams, 1, count)));
        return S_OK;
    case DISPID_NAVIGATEERROR:
        if (!needs(5)) return DISP_E_BADPARAMCOUNT;
        if (m_eventHandler != nullptr)
            m_eventHandler->NavigateError(DispatchOf(Arg(pDispParams, 0, count)), Deref(Arg(pDispParams, 1, count)),
                                          Deref(Arg(pDispParams, 2, count)), Deref(Arg(pDispParams, 3, count)),
                                          FlagOf(Arg(pDispParams, 4, count), spare));
        return S_OK;
    case DISPID_NEWWINDOW3: {
        if (!needs(5)) return DISP_E_BADPARAMCOUNT;
        VARIANT* target = Arg(pDispParams, 0, count);
        IDispatch* spareDispatch = nullptr;
        IDispatch** ppDisp =
            target->vt == (VT_DISPATCH | VT_BYREF) && target->ppdispVal != nullptr ? target->ppdispVal : &spareDispatch;
        if (m_eventHandler != nullptr)
            m_eventHandler->NewWindow3(ppDisp, FlagOf(Arg(pDispParams, 1, count), spare),
                                       static_cast<DWORD>(LongOf(Arg(pDispParams, 2, count))),
                                       BstrOf(Arg(pDispParams, 3, count)), BstrOf(Arg(pDispParams, 4, count)));
        return S_OK;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) noexcept
{
    return S_FALSE;  // the engine shows its own menu
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::GetHostInfo(DOCHOSTUIINFO* pInfo) noexcept
{
    if (pInfo == nullptr) return E_POINTER;
    pInfo->cbSize = sizeof(DOCHOSTUIINFO);
    pInfo->dwFlags |= DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_NO3DOUTERBORDER;
    pInfo->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::ShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject,
                                                IOleCommandTarget* pCommandTarget, IOleInPlaceFrame* pFrame,
                                                IOleInPlaceUIWindow* pDoc) noexcept
{
    if (m_eventHandler == nullptr) return S_OK;
    return Guarded([&] { return m_eventHandler->ShowUI(dwID, pActiveObject, pCommandTarget, pFrame, pDoc); });
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::HideUI() noexcept
{
    if (m_eventHandler == nullptr) return S_OK;
    return Guarded([&] { return m_eventHandler->HideUI(); });
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::UpdateUI() noexcept
{
    if (m_eventHandler == nullptr) return S_OK;
    return Guarded([&] { return m_eventHandler->UpdateUI(); });
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::EnableModeless(WINBOOL fEnable) noexcept
{
    if (m_eventHandler == nullptr) return E_NOTIMPL;
    return Guarded([&] { return m_eventHandler->EnableModeless(fEnable); });
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::OnDocWindowActivate(WINBOOL fActivate) noexcept
{
    if (m_eventHandler == nullptr) return E_NOTIMPL;
    return Guarded([&] { return m_eventHandler->OnDocWindowActivate(fActivate); });
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::OnFrameWindowActivate(WINBOOL fActivate) noexcept
{
    if (m_eventHandler == nullptr) return E_NOTIMPL;
    return Guarded([&] { return m_eventHandler->OnFrameWindowActivate(fActivate); });
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow,
                                                      WINBOOL fRameWindow) noexcept
{
    if (m_eventHandler == nullptr) return E_NOTIMPL;
    return Guarded([&] { return m_eventHandler->ResizeBorder(prcBorder, pUIWindow, fRameWindow); });
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::TranslateAccelerator(LPMSG lpMsg, const GUID* pguidCmdGroup,
                                                              DWORD nCmdID) noexcept
{
    if (m_eventHandler == nullptr) return S_FALSE;
    return Guarded([&] { return m_eventHandler->TranslateAccelerator(lpMsg, pguidCmdGroup, nCmdID); });
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::GetOptionKeyPath(LPOLESTR* pchKey, DWORD dw) noexcept
{
    if (pchKey != nullptr) *pchKey = nullptr;
    if (m_eventHandler == nullptr) return E_NOTIMPL;
    return Guarded([&] { return m_eventHandler->GetOptionKeyPath(pchKey, dw); });
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::GetDropTarget(IDropTarget* pDropTarget, IDropTarget** ppDropTarget) noexcept
{
    if (ppDropTarget != nullptr) *ppDropTarget = nullptr;
    if (m_eventHandler == nullptr) return S_FALSE;
    return Guarded([&] { return m_eventHandler->GetDropTarget(pDropTarget, ppDropTarget); });
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::GetExternal(IDispatch** ppDispatch) noexcept
{
    if (ppDispatch == nullptr) return E_POINTER;
    *ppDispatch = static_cast<IDispatch*>(this);
    AddRef();  // the caller's reference
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::TranslateUrl(DWORD dwTranslate, LPWSTR pchURLIn, LPWSTR* ppchURLOut) noexcept
{
    if (ppchURLOut != nullptr) *ppchURLOut = nullptr;
    if (m_eventHandler == nullptr) return E_NOTIMPL;
    return Guarded([&] { return m_eventHandler->TranslateUrl(dwTranslate, pchURLIn, ppchURLOut); });
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::FilterDataObject(IDataObject* pDO, IDataObject** ppDORet) noexcept
{
    if (ppDORet != nullptr) *ppDORet = nullptr;
    if (m_eventHandler == nullptr) return E_NOTIMPL;
    return Guarded([&] { return m_eventHandler->FilterDataObject(pDO, ppDORet); });
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::QueryService(REFGUID guidService, REFIID riid, void** ppvObject) noexcept
{
    if (ppvObject == nullptr) return E_POINTER;
    *ppvObject = nullptr;
    if (guidService != SID_SDownloadManager || riid != IID_IDownloadManager) return E_NOINTERFACE;
    *ppvObject = static_cast<IDownloadManager*>(&m_downloadManager);
    AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::QueryStatus(const GUID*, ULONG, OLECMD[], OLECMDTEXT*) noexcept
{
    return OLECMDERR_E_NOTSUPPORTED;
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD, VARIANT*,
                                              VARIANT* pvaOut) noexcept
{
    if (pguidCmdGroup == nullptr || *pguidCmdGroup != CGID_DocHostCommandHandler) return OLECMDERR_E_UNKNOWNGROUP;
    if (nCmdID != OLECMDID_SHOWSCRIPTERROR) return OLECMDERR_E_NOTSUPPORTED;
    // True: go on running the page's scripts, and show no error dialog.
    if (pvaOut != nullptr) {
        (void)::VariantClear(pvaOut);
        pvaOut->vt = VT_BOOL;
        pvaOut->boolVal = VARIANT_TRUE;
    }
    return S_OK;
}

HRESULT CWebBrowserUI::TranslateAccelerator(MSG* pMsg)
{
    if (pMsg == nullptr || pMsg->message < WM_KEYFIRST || pMsg->message > WM_KEYLAST) return S_FALSE;
    if (!m_webBrowser) return E_NOTIMPL;
    if (m_hostWindow == nullptr) return S_FALSE;
    for (HWND hWnd = ::GetFocus(); hWnd != nullptr; hWnd = ::GetParent(hWnd)) {
        if (hWnd != m_hostWindow) continue;
        ComPtr<IOleInPlaceActiveObject> active;
        if (FAILED(m_webBrowser.As(&active))) return S_FALSE;
        return active->TranslateAccelerator(pMsg);
    }
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::CDownloadManager::QueryInterface(REFIID riid, void** ppvObject) noexcept
{
    if (ppvObject == nullptr) return E_POINTER;
    *ppvObject = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDownloadManager) return E_NOINTERFACE;
    *ppvObject = static_cast<IDownloadManager*>(this);
    AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserUI::CDownloadManager::Download(IMoniker* pmk, IBindCtx* pbc, DWORD dwBindVerb,
                                                                    LONG grfBINDF, BINDINFO* pBindInfo,
                                                                    LPCOLESTR pszHeaders, LPCOLESTR pszRedir,
                                                                    UINT uiCP) noexcept
{
    return Guarded(
        [&] { return m_pOwner->Download(pmk, pbc, dwBindVerb, grfBINDF, pBindInfo, pszHeaders, pszRedir, uiCP); });
}

}  // namespace SkinUI
