// The browser object: embedding, in-place activation, navigation events, the page's calls to its host.
#include "FakeBrowser.h"

#include "UIComGuids.h"
#include "UIComPtr.h"
#include "UIHandle.h"

#include <exdispid.h>

#include <cwchar>
#include <new>

namespace fakebrowser {

namespace {

constexpr UINT kStepMessage = WM_APP + 1;
constexpr UINT_PTR kWaitTimer = 1;

enum PortalArea { kAreaNone = -1, kAreaDrag = 0, kAreaMinimise = 1, kAreaClose = 2, kAreaPlay = 3 };

// A BSTR owned for one event or call.
class CBstr {
public:
    explicit CBstr(const std::wstring& text)
        : m_b(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
    }
    CBstr(CBstr&& other) noexcept : m_b(other.m_b) { other.m_b = nullptr; }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    CBstr& operator=(CBstr&&) = delete;
    ~CBstr() { ::SysFreeString(m_b); }
    BSTR Get() const { return m_b; }

private:
    BSTR m_b;
};

VARIANT Ref(VARIANT* target)
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_VARIANT | VT_BYREF;
    v.pvarVal = target;
    return v;
}

VARIANT Str(BSTR b)
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = b;
    return v;
}

VARIANT Int(long value)
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT Disp(IDispatch* p)
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = p;
    return v;
}

std::wstring Flag(VARIANT_BOOL b) { return b == VARIANT_FALSE ? L"0" : L"-1"; }

std::wstring VariantText(const VARIANT& v)
{
    if (v.vt == VT_BSTR) return v.bstrVal != nullptr ? std::wstring(v.bstrVal, ::SysStringLen(v.bstrVal)) : L"";
    if (v.vt == VT_EMPTY) return L"(none)";
    return L"(vt=" + std::to_wstring(v.vt) + L")";
}

// Splits "A B" at the first blank: the first word, then the rest.
std::pair<std::wstring, std::wstring> SplitFirst(const std::wstring& text)
{
    const size_t space = text.find_first_of(L" \t");
    if (space == std::wstring::npos) return {text, std::wstring()};
    const size_t rest = text.find_first_not_of(L" \t", space);
    return {text.substr(0, space), rest == std::wstring::npos ? std::wstring() : text.substr(rest)};
}

// A dispatch object with no members of its own: how the engine's documents and frames answer a script.
class CNoMembersDispatch : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* p) noexcept override
    {
        if (p != nullptr) *p = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) noexcept override
    {
        return DISP_E_MEMBERNOTFOUND;
    }
};

// A plain dispatch object: the frames' documents, told apart from the top-level browser by identity.
class CFakeFrame final : public CNoMembersDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override
    {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch) return E_NOINTERFACE;
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        const ULONG refs = --m_refs;
        if (refs == 0) delete this;
        return refs;
    }

private:
    ~CFakeFrame() = default;
    ULONG m_refs = 1;
};

}  // namespace

// The document of one navigation: a new one each time, so a host must install its UI handler again.
class CFakeDocument final : public CNoMembersDispatch, public ICustomDoc {
public:
    explicit CFakeDocument(std::wstring url) : m_url(std::move(url)) {}
    CFakeDocument(const CFakeDocument&) = delete;
    CFakeDocument& operator=(const CFakeDocument&) = delete;

    IDocHostUIHandler* Handler() const { return m_handler.Get(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override
    {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch)
            *ppv = static_cast<IDispatch*>(this);
        else if (riid == IID_ICustomDoc)
            *ppv = static_cast<ICustomDoc*>(this);
        if (*ppv == nullptr) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        const ULONG refs = --m_refs;
        if (refs == 0) delete this;
        return refs;
    }

    // The engine asks a new handler how to host the document at once.
    HRESULT STDMETHODCALLTYPE SetUIHandler(IDocHostUIHandler* pUIHandler) noexcept override
    {
        m_handler = pUIHandler;
        if (!m_handler) {
            Record(L"document uihandler=0 url=" + Field(m_url));
            return S_OK;
        }
        DOCHOSTUIINFO info{};
        info.cbSize = sizeof info;
        const HRESULT hr = m_handler->GetHostInfo(&info);
        Record(L"document uihandler=1 hostinfo=" + Hex(info.dwFlags) + L" cbsize=" + std::to_wstring(info.cbSize) +
               L" dblclk=" + std::to_wstring(info.dwDoubleClick) + L" hr=" + Hex(static_cast<unsigned long>(hr)) +
               L" url=" + Field(m_url));
        if (info.pchHostCss != nullptr) ::CoTaskMemFree(info.pchHostCss);
        if (info.pchHostNS != nullptr) ::CoTaskMemFree(info.pchHostNS);
        return S_OK;
    }

private:
    ~CFakeDocument() = default;
    ULONG m_refs = 1;
    std::wstring m_url;
    ComPtr<IDocHostUIHandler> m_handler;
};

// ---------------------------------------------------------------------------------------------------------

CFakeBrowser::CFakeBrowser(const CLSID& clsid) : m_clsid(clsid)
{
    ObjectCreated();
    ::QueryPerformanceCounter(&m_created);
    wchar_t text[64] = {};
    ::StringFromGUID2(clsid, text, static_cast<int>(std::size(text)));
    // The performance counter runs on the system's monotonic clock, which every process shares: a benchmark
    // can place the creation on its own time line.
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    const long long clockUs = frequency.QuadPart > 0 ? m_created.QuadPart * 1000000 / frequency.QuadPart : 0;
    Record(std::wstring(L"created clsid=") + text + L" pid=" + std::to_wstring(::GetCurrentProcessId()) +
           L" thread=" + std::to_wstring(::GetCurrentThreadId()) + L" clock-us=" + std::to_wstring(clockUs));
    if (const wchar_t* pumpClass = PumpClassName())
        m_hPump = ::CreateWindowExW(0, pumpClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ModuleInstance(), this);
}

CFakeBrowser::~CFakeBrowser()
{
    StopScript();
    if (m_hView != nullptr && ::IsWindow(m_hView)) ::DestroyWindow(m_hView);
    if (m_hPump != nullptr) ::DestroyWindow(m_hPump);
    Record(L"destroyed ms=" + std::to_wstring(Ms()));
    ObjectDestroyed();
}

long CFakeBrowser::Ms() const
{
    LARGE_INTEGER now{}, frequency{};
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    if (frequency.QuadPart == 0) return 0;
    return static_cast<long>((now.QuadPart - m_created.QuadPart) * 1000 / frequency.QuadPart);
}

long long CFakeBrowser::Us() const
{
    LARGE_INTEGER now{}, frequency{};
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    if (frequency.QuadPart == 0) return 0;
    return (now.QuadPart - m_created.QuadPart) * 1000000 / frequency.QuadPart;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::QueryInterface(REFIID riid, void** ppv) noexcept
{
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleObject)
        *ppv = static_cast<IOleObject*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
        *ppv = static_cast<IOleInPlaceObject*>(this);
    else if (riid == IID_IOleInPlaceActiveObject)
        *ppv = static_cast<IOleInPlaceActiveObject*>(this);
    else if (riid == IID_IDispatch || riid == IID_IWebBrowser || riid == IID_IWebBrowserApp ||
             riid == IID_IWebBrowser2)
        *ppv = static_cast<IWebBrowser2*>(this);
    else if (riid == IID_IConnectionPointContainer)
        *ppv = static_cast<IConnectionPointContainer*>(this);
    else if (riid == IID_IOleControl)
        *ppv = static_cast<IOleControl*>(this);
    else if (riid == IID_IPersist || riid == IID_IPersistStreamInit)
        *ppv = static_cast<IPersistStreamInit*>(this);
    else if (riid == IID_IObjectWithSite)
        *ppv = static_cast<IObjectWithSite*>(this);
    if (*ppv == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CFakeBrowser::AddRef() noexcept { return ++m_refs; }

ULONG STDMETHODCALLTYPE CFakeBrowser::Release() noexcept
{
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
}

// ---- IOleObject ----

HRESULT STDMETHODCALLTYPE CFakeBrowser::SetClientSite(IOleClientSite* pClientSite) noexcept
{
    Record(std::wstring(L"clientsite set=") + (pClientSite != nullptr ? L"1" : L"0") + L" window=" +
           (m_hView != nullptr && ::IsWindow(m_hView) ? L"alive" : L"none"));
    m_clientSite = pClientSite;
    if (!m_clientSite) m_inPlaceSite.Reset();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::GetClientSite(IOleClientSite** ppClientSite) noexcept
{
    if (ppClientSite == nullptr) return E_POINTER;
    *ppClientSite = nullptr;
    return m_clientSite ? m_clientSite.CopyTo(ppClientSite) : E_FAIL;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::SetHostNames(LPCOLESTR szContainerApp, LPCOLESTR szContainerObj) noexcept
{
    Record(L"hostnames container=" + Field(szContainerApp != nullptr ? szContainerApp : L"") + L" document=" +
           Field(szContainerObj != nullptr ? szContainerObj : L""));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::Close(DWORD dwSaveOption) noexcept
{
    const ComPtr<CFakeBrowser> keep(this);
    Record(std::wstring(L"close window=") + (m_hView != nullptr && ::IsWindow(m_hView) ? L"alive" : L"none") +
           L" option=" + std::to_wstring(dwSaveOption));
    // A page's unload handler runs while the page goes, as the host takes the engine down.
    if (!m_closed && !m_script.unloadCall.empty()) CallExternal(L"g_callCppFunc", {m_script.unloadCall}, false, L"unload");
    m_closed = true;
    StopScript();
    (void)InPlaceDeactivate();
    m_document.Reset();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::GetMoniker(DWORD, DWORD, IMoniker** ppmk) noexcept
{
    if (ppmk != nullptr) *ppmk = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::GetClipboardData(DWORD, IDataObject** ppDataObject) noexcept
{
    if (ppDataObject != nullptr) *ppDataObject = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::DoVerb(LONG iVerb, LPMSG, IOleClientSite*, LONG, HWND hwndParent,
                                               LPCRECT lprcPosRect) noexcept
{
    const ComPtr<CFakeBrowser> keep(this);
    Record(L"verb id=" + std::to_wstring(iVerb) + L" parent=" + HandleText(hwndParent) + L" rect=" +
           (lprcPosRect != nullptr ? RectText(*lprcPosRect) : std::wstring(L"none")));
    switch (iVerb) {
    case OLEIVERB_INPLACEACTIVATE:
        return InPlaceActivate(false);
    case OLEIVERB_UIACTIVATE:
    case OLEIVERB_SHOW:
    case OLEIVERB_PRIMARY:
        return InPlaceActivate(true);
    case OLEIVERB_HIDE:
        if (m_hView != nullptr) ::ShowWindow(m_hView, SW_HIDE);
        return S_OK;
    default:
        return OLEOBJ_S_INVALIDVERB;
    }
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) noexcept
{
    if (ppEnumOleVerb != nullptr) *ppEnumOleVerb = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::GetUserClassID(CLSID* pClsid) noexcept
{
    if (pClsid == nullptr) return E_POINTER;
    *pClsid = m_clsid;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::GetUserType(DWORD, LPOLESTR* pszUserType) noexcept
{
    if (pszUserType != nullptr) *pszUserType = nullptr;
    return OLE_S_USEREG;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::SetExtent(DWORD dwDrawAspect, SIZEL* psizel) noexcept
{
    if (psizel == nullptr) return E_POINTER;
    if (dwDrawAspect != DVASPECT_CONTENT) return E_FAIL;
    m_extent = *psizel;
    Record(L"extent cx=" + std::to_wstring(psizel->cx) + L" cy=" + std::to_wstring(psizel->cy));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::GetExtent(DWORD dwDrawAspect, SIZEL* psizel) noexcept
{
    if (psizel == nullptr) return E_POINTER;
    if (dwDrawAspect != DVASPECT_CONTENT) return E_FAIL;
    *psizel = m_extent;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::Advise(IAdviseSink*, DWORD* pdwConnection) noexcept
{
    if (pdwConnection != nullptr) *pdwConnection = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::EnumAdvise(IEnumSTATDATA** ppenumAdvise) noexcept
{
    if (ppenumAdvise != nullptr) *ppenumAdvise = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::GetMiscStatus(DWORD, DWORD* pdwStatus) noexcept
{
    if (pdwStatus == nullptr) return E_POINTER;
    // What the platform's engine reports: the site comes before initialisation, the object is inside-out.
    *pdwStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_RECOMPOSEONRESIZE |
                 OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT;
    return S_OK;
}

// ---- in-place activation ----

HRESULT CFakeBrowser::InPlaceActivate(bool uiActivate)
{
    if (m_closed) return E_UNEXPECTED;
    if (!m_inPlaceActive) {
        if (!m_clientSite) return E_UNEXPECTED;
        ComPtr<IOleInPlaceSite> site;
        if (FAILED(m_clientSite.As(&site))) {
            Record(L"activate failed reason=no-inplace-site");
            return E_NOINTERFACE;
        }
        ComPtr<IOleInPlaceSiteWindowless> windowless;
        ComPtr<IOleInPlaceSiteEx> ex;
        const bool hasWindowless = SUCCEEDED(m_clientSite.As(&windowless));
        const bool hasEx = SUCCEEDED(m_clientSite.As(&ex));
        HRESULT hr = site->CanInPlaceActivate();
        if (hr != S_OK) {
            Record(L"activate failed reason=refused hr=" + Hex(static_cast<unsigned long>(hr)));
            return E_FAIL;
        }
        WINBOOL noRedraw = FALSE;
        hr = hasEx ? ex->OnInPlaceActivateEx(&noRedraw, 0) : site->OnInPlaceActivate();
        if (FAILED(hr)) {
            Record(L"activate failed reason=onactivate hr=" + Hex(static_cast<unsigned long>(hr)));
            return hr;
        }
        m_inPlaceSite = site;
        HWND hParent = nullptr;
        hr = site->GetWindow(&hParent);
        if (FAILED(hr) || hParent == nullptr) {
            Record(L"activate failed reason=no-window hr=" + Hex(static_cast<unsigned long>(hr)));
            m_inPlaceSite.Reset();
            (void)site->OnInPlaceDeactivate();
            return E_FAIL;
        }
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        RECT pos{}, clip{};
        const HRESULT context = site->GetWindowContext(&m_frame, &m_uiWindow, &pos, &clip, &frameInfo);
        m_rcPos = pos;
        const wchar_t* viewClass = ViewClassName();
        m_hView = viewClass == nullptr
                      ? nullptr
                      : ::CreateWindowExW(0, viewClass, L"fake browser",
                                          WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, pos.left, pos.top,
                                          pos.right - pos.left, pos.bottom - pos.top, hParent, nullptr,
                                          ModuleInstance(), this);
        wchar_t parentClass[64] = {};
        ::GetClassNameW(hParent, parentClass, static_cast<int>(std::size(parentClass)));
        m_inPlaceActive = true;
        Record(std::wstring(L"activate site=") + (hasWindowless ? L"windowless" : hasEx ? L"ex" : L"plain") +
               L" window=" + HandleText(m_hView) + L" parent=" + HandleText(hParent) + L" parentclass=" +
               Field(parentClass) + L" pos=" + RectText(pos) + L" clip=" + RectText(clip) + L" frame=" +
               HandleText(frameInfo.hwndFrame) + L" accel=" + std::to_wstring(frameInfo.cAccelEntries) +
               L" accelhandle=" + (frameInfo.haccel != nullptr ? L"1" : L"0") + L" cb=" +
               std::to_wstring(frameInfo.cb) + L" context=" + Hex(static_cast<unsigned long>(context)) + L" ms=" +
               std::to_wstring(Ms()));
    }
    if (uiActivate) UIActivate();
    return S_OK;
}

void CFakeBrowser::UIActivate()
{
    if (m_uiActive || !m_inPlaceActive) return;
    m_uiActive = true;
    if (m_inPlaceSite) (void)m_inPlaceSite->OnUIActivate();
    if (m_frame) (void)m_frame->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), L"FakeBrowser");
    if (m_uiWindow) (void)m_uiWindow->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), L"FakeBrowser");
    Record(L"uiactivate");
    if (m_hView != nullptr && ::GetFocus() != m_hView) ::SetFocus(m_hView);
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::UIDeactivate() noexcept
{
    if (!m_uiActive) return S_OK;
    m_uiActive = false;
    if (m_frame) (void)m_frame->SetActiveObject(nullptr, nullptr);
    if (m_uiWindow) (void)m_uiWindow->SetActiveObject(nullptr, nullptr);
    if (m_inPlaceSite) (void)m_inPlaceSite->OnUIDeactivate(FALSE);
    Record(L"uideactivate");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::InPlaceDeactivate() noexcept
{
    if (!m_inPlaceActive) return S_OK;
    const ComPtr<CFakeBrowser> keep(this);
    (void)UIDeactivate();
    m_inPlaceActive = false;
    const bool alive = m_hView != nullptr && ::IsWindow(m_hView);
    if (alive) ::DestroyWindow(m_hView);
    m_hView = nullptr;
    m_frame.Reset();
    m_uiWindow.Reset();
    const ComPtr<IOleInPlaceSite> site = std::move(m_inPlaceSite);
    Record(std::wstring(L"inplacedeactivate window=") + (alive ? L"alive" : L"gone"));
    ComPtr<IOleInPlaceSiteEx> ex;
    if (site && SUCCEEDED(site.As(&ex)))
        (void)ex->OnInPlaceDeactivateEx(TRUE);
    else if (site)
        (void)site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::SetObjectRects(LPCRECT lprcPosRect, LPCRECT lprcClipRect) noexcept
{
    if (lprcPosRect == nullptr) return E_POINTER;
    m_rcPos = *lprcPosRect;
    Record(L"rects pos=" + RectText(*lprcPosRect) + L" clip=" +
           (lprcClipRect != nullptr ? RectText(*lprcClipRect) : std::wstring(L"none")));
    if (m_hView != nullptr)
        ::SetWindowPos(m_hView, nullptr, m_rcPos.left, m_rcPos.top, m_rcPos.right - m_rcPos.left,
                       m_rcPos.bottom - m_rcPos.top, SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::GetWindow(HWND* phwnd) noexcept
{
    if (phwnd == nullptr) return E_POINTER;
    *phwnd = m_hView;
    return m_hView != nullptr ? S_OK : E_FAIL;
}

// The page's own keys: Tab moves between its fields, so the engine takes it; others go on as messages.
HRESULT STDMETHODCALLTYPE CFakeBrowser::TranslateAccelerator(LPMSG lpmsg) noexcept
{
    if (lpmsg == nullptr) return E_POINTER;
    const HRESULT hr = lpmsg->message == WM_KEYDOWN && lpmsg->wParam == VK_TAB ? S_OK : S_FALSE;
    Record(L"accelerator msg=" + Hex(lpmsg->message) + L" key=" + std::to_wstring(lpmsg->wParam) + L" hr=" +
           Hex(static_cast<unsigned long>(hr)));
    return hr;
}

// ---- IDispatch of the browser: no automation members of its own ----

HRESULT STDMETHODCALLTYPE CFakeBrowser::GetTypeInfoCount(UINT* pctinfo) noexcept
{
    if (pctinfo != nullptr) *pctinfo = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) noexcept
{
    if (ppTInfo != nullptr) *ppTInfo = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) noexcept
{
    if (rgDispId != nullptr)
        for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                               UINT*) noexcept
{
    return DISP_E_MEMBERNOTFOUND;
}

// ---- IWebBrowser2 ----

HRESULT STDMETHODCALLTYPE CFakeBrowser::Navigate(BSTR URL, VARIANT*, VARIANT*, VARIANT*, VARIANT*) noexcept
{
    return StartNavigation(URL != nullptr ? std::wstring(URL, ::SysStringLen(URL)) : std::wstring());
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::Navigate2(VARIANT* URL, VARIANT*, VARIANT*, VARIANT*, VARIANT*) noexcept
{
    if (URL == nullptr) return E_INVALIDARG;
    VARIANT* v = URL->vt == (VT_VARIANT | VT_BYREF) && URL->pvarVal != nullptr ? URL->pvarVal : URL;
    BSTR text = nullptr;
    if (v->vt == VT_BSTR)
        text = v->bstrVal;
    else if (v->vt == (VT_BSTR | VT_BYREF) && v->pbstrVal != nullptr)
        text = *v->pbstrVal;
    else
        return E_INVALIDARG;
    return StartNavigation(text != nullptr ? std::wstring(text, ::SysStringLen(text)) : std::wstring());
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::Stop() noexcept
{
    StopScript();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_Application(IDispatch** ppDisp)
    noexcept
{
    if (ppDisp == nullptr) return E_POINTER;
    return QueryInterface(IID_IDispatch, reinterpret_cast<void**>(ppDisp));
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_Parent(IDispatch** ppDisp) noexcept
{
    if (ppDisp != nullptr) *ppDisp = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_Container(IDispatch** ppDisp) noexcept
{
    if (ppDisp != nullptr) *ppDisp = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_Document(IDispatch** ppDisp) noexcept
{
    if (ppDisp == nullptr) return E_POINTER;
    *ppDisp = nullptr;
    if (!m_document) return S_OK;  // no document before the first navigation completes
    return m_document->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(ppDisp));
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_TopLevelContainer(VARIANT_BOOL* pBool) noexcept
{
    if (pBool == nullptr) return E_POINTER;
    *pBool = VARIANT_TRUE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_Type(BSTR* Type) noexcept
{
    if (Type == nullptr) return E_POINTER;
    *Type = ::SysAllocString(L"HTML Document");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_Left(LONG* pl) noexcept
{
    if (pl == nullptr) return E_POINTER;
    *pl = m_rcPos.left;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_Top(LONG* pl) noexcept
{
    if (pl == nullptr) return E_POINTER;
    *pl = m_rcPos.top;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_Width(LONG* pl) noexcept
{
    if (pl == nullptr) return E_POINTER;
    *pl = m_rcPos.right - m_rcPos.left;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_Height(LONG* pl) noexcept
{
    if (pl == nullptr) return E_POINTER;
    *pl = m_rcPos.bottom - m_rcPos.top;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_LocationName(BSTR* LocationName) noexcept
{
    if (LocationName == nullptr) return E_POINTER;
    *LocationName = ::SysAllocString(m_portal ? L"Vemrakai2" : m_location.c_str());
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_LocationURL(BSTR* LocationURL) noexcept
{
    if (LocationURL == nullptr) return E_POINTER;
    *LocationURL = ::SysAllocStringLen(m_location.data(), static_cast<UINT>(m_location.size()));
    Record(L"locationurl value=" + Field(m_location));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_Busy(VARIANT_BOOL* pBool) noexcept
{
    if (pBool == nullptr) return E_POINTER;
    *pBool = m_complete ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_Name(BSTR* Name) noexcept
{
    if (Name == nullptr) return E_POINTER;
    *Name = ::SysAllocString(L"Vemra stand-in browser");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_HWND(SHANDLE_PTR* pHWND) noexcept
{
    if (pHWND != nullptr) *pHWND = 0;
    return E_FAIL;  // a control has no top-level window of its own
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_Visible(VARIANT_BOOL* pBool) noexcept
{
    if (pBool == nullptr) return E_POINTER;
    *pBool = m_hView != nullptr && ::IsWindowVisible(m_hView) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_ReadyState(READYSTATE* plReadyState) noexcept
{
    if (plReadyState == nullptr) return E_POINTER;
    *plReadyState = m_complete ? READYSTATE_COMPLETE : READYSTATE_LOADING;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_Offline(VARIANT_BOOL* pbOffline) noexcept
{
    if (pbOffline == nullptr) return E_POINTER;
    *pbOffline = VARIANT_FALSE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::get_Silent(VARIANT_BOOL* pbSilent) noexcept
{
    if (pbSilent == nullptr) return E_POINTER;
    *pbSilent = m_silent;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::put_Silent(VARIANT_BOOL bSilent) noexcept
{
    m_silent = bSilent;
    Record(L"silent value=" + std::to_wstring(bSilent));
    return S_OK;
}

// ---- events ----

HRESULT STDMETHODCALLTYPE CFakeBrowser::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) noexcept
{
    if (ppEnum != nullptr) *ppEnum = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) noexcept
{
    if (ppCP == nullptr) return E_POINTER;
    *ppCP = nullptr;
    if (riid != DIID_DWebBrowserEvents2) return CONNECT_E_NOCONNECTION;
    *ppCP = &m_events;
    m_events.AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::CEventPoint::QueryInterface(REFIID riid, void** ppv) noexcept
{
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IConnectionPoint) return E_NOINTERFACE;
    *ppv = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::CEventPoint::GetConnectionInterface(IID* pIID) noexcept
{
    if (pIID == nullptr) return E_POINTER;
    *pIID = DIID_DWebBrowserEvents2;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::CEventPoint::GetConnectionPointContainer(
    IConnectionPointContainer** ppCPC) noexcept
{
    if (ppCPC == nullptr) return E_POINTER;
    return m_pOwner->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(ppCPC));
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::CEventPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) noexcept
{
    if (pUnkSink == nullptr || pdwCookie == nullptr) return E_POINTER;
    *pdwCookie = 0;
    ComPtr<IDispatch> sink;
    if (FAILED(pUnkSink->QueryInterface(DIID_DWebBrowserEvents2, reinterpret_cast<void**>(sink.GetAddressOf()))) &&
        FAILED(pUnkSink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(sink.GetAddressOf()))))
        return CONNECT_E_CANNOTCONNECT;
    try {
        sinks.emplace_back(m_nextCookie, sink);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *pdwCookie = m_nextCookie++;
    Record(L"advise cookie=" + std::to_wstring(*pdwCookie));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::CEventPoint::Unadvise(DWORD dwCookie) noexcept
{
    for (auto it = sinks.begin(); it != sinks.end(); ++it) {
        if (it->first != dwCookie) continue;
        const ComPtr<IDispatch> gone = std::move(it->second);
        sinks.erase(it);
        Record(L"unadvise cookie=" + std::to_wstring(dwCookie));
        return S_OK;
    }
    Record(L"unadvise cookie=" + std::to_wstring(dwCookie) + L" unknown=1");
    return CONNECT_E_NOCONNECTION;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::CEventPoint::EnumConnections(IEnumConnections** ppEnum) noexcept
{
    if (ppEnum != nullptr) *ppEnum = nullptr;
    return E_NOTIMPL;
}

void CFakeBrowser::Fire(DISPID id, VARIANT* args, UINT count)
{
    // A copy: a sink may disconnect while it handles the event.
    const auto sinks = m_events.sinks;
    DISPPARAMS params{args, nullptr, count, 0};
    for (const auto& sink : sinks)
        (void)sink.second->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                                  nullptr);
}

bool CFakeBrowser::FireBeforeNavigate(const std::wstring& url)
{
    CBstr address(url);
    VARIANT vUrl = Str(address.Get());
    VARIANT vFlags = Int(0);
    VARIANT vFrame = Str(nullptr);
    VARIANT vPost;
    ::VariantInit(&vPost);
    VARIANT vHeaders = Str(nullptr);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[7];
    args[6] = Disp(static_cast<IWebBrowser2*>(this));
    args[5] = Ref(&vUrl);
    args[4] = Ref(&vFlags);
    args[3] = Ref(&vFrame);
    args[2] = Ref(&vPost);
    args[1] = Ref(&vHeaders);
    ::VariantInit(&args[0]);
    args[0].vt = VT_BOOL | VT_BYREF;
    args[0].pboolVal = &cancel;
    Fire(DISPID_BEFORENAVIGATE2, args, 7);
    Record(L"event name=BeforeNavigate2 url=" + Field(url) + L" cancel=" + Flag(cancel) + L" ms=" +
           std::to_wstring(Ms()));
    return cancel == VARIANT_FALSE;
}

void CFakeBrowser::FireNavigateComplete(const std::wstring& url)
{
    m_location = url;
    m_document = SkinUI::AdoptComPtr(new (std::nothrow) CFakeDocument(url));
    CBstr address(url);
    VARIANT vUrl = Str(address.Get());
    VARIANT args[2];
    args[1] = Disp(static_cast<IWebBrowser2*>(this));
    args[0] = Ref(&vUrl);
    Fire(DISPID_NAVIGATECOMPLETE2, args, 2);
    Record(L"event name=NavigateComplete2 url=" + Field(url) + L" ms=" + std::to_wstring(Ms()));
}

void CFakeBrowser::FireDocumentComplete(const std::wstring& url, bool frame)
{
    ComPtr<IDispatch> source;
    if (frame)
        source = SkinUI::AdoptComPtr<IDispatch>(new (std::nothrow) CFakeFrame());
    else
        source = static_cast<IWebBrowser2*>(this);
    if (!frame) m_complete = true;
    CBstr address(url);
    VARIANT vUrl = Str(address.Get());
    VARIANT args[2];
    args[1] = Disp(source.Get());
    args[0] = Ref(&vUrl);
    Fire(DISPID_DOCUMENTCOMPLETE, args, 2);
    Record(L"event name=DocumentComplete url=" + Field(url) + L" frame=" + (frame ? L"1" : L"0") + L" ms=" +
           std::to_wstring(Ms()) + L" us=" + std::to_wstring(Us()));
}

void CFakeBrowser::FireNavigateError(const std::wstring& url, long status)
{
    CBstr address(url);
    VARIANT vUrl = Str(address.Get());
    VARIANT vFrame = Str(nullptr);
    VARIANT vStatus = Int(status);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[5];
    args[4] = Disp(static_cast<IWebBrowser2*>(this));
    args[3] = Ref(&vUrl);
    args[2] = Ref(&vFrame);
    args[1] = Ref(&vStatus);
    ::VariantInit(&args[0]);
    args[0].vt = VT_BOOL | VT_BYREF;
    args[0].pboolVal = &cancel;
    Fire(DISPID_NAVIGATEERROR, args, 5);
    Record(L"event name=NavigateError url=" + Field(url) + L" status=" + Hex(static_cast<unsigned long>(status)) +
           L" cancel=" + Flag(cancel) + L" ms=" + std::to_wstring(Ms()));
}

void CFakeBrowser::FireNewWindow(const std::wstring& url, const std::wstring& context)
{
    CBstr address(url);
    CBstr from(context);
    IDispatch* newWindow = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[5];
    ::VariantInit(&args[4]);
    args[4].vt = VT_DISPATCH | VT_BYREF;
    args[4].ppdispVal = &newWindow;
    ::VariantInit(&args[3]);
    args[3].vt = VT_BOOL | VT_BYREF;
    args[3].pboolVal = &cancel;
    args[2] = Int(0x6);  // NWMF_USERINITED | NWMF_FIRST: a link the user clicked
    args[1] = Str(from.Get());
    args[0] = Str(address.Get());
    Fire(DISPID_NEWWINDOW3, args, 5);
    const ComPtr<IDispatch> given = SkinUI::AdoptComPtr(newWindow);  // a handler may hand over a browser
    Record(L"event name=NewWindow3 url=" + Field(url) + L" context=" + Field(context) + L" cancel=" + Flag(cancel) +
           L" opened=" + (cancel == VARIANT_FALSE ? L"1" : L"0") + L" ms=" + std::to_wstring(Ms()));
}

IDocHostUIHandler* CFakeBrowser::UIHandler() const { return m_document ? m_document->Handler() : nullptr; }

void CFakeBrowser::CallExternal(const std::wstring& name, std::vector<std::wstring> texts, bool number,
                                const std::wstring& what)
{
    const std::wstring head = L"call kind=" + what + L" name=" + Field(name);
    std::wstring all;
    for (size_t i = 0; i < texts.size(); ++i) all += (i == 0 ? L"" : L" ") + texts[i];
    ComPtr<IDocHostUIHandler> handler = UIHandler();
    ComPtr<IDispatch> external;
    HRESULT hr = handler ? handler->GetExternal(&external) : E_NOINTERFACE;
    if (FAILED(hr) || !external) {
        Record(head + L" external=none hr=" + Hex(static_cast<unsigned long>(hr)) + L" ms=" + std::to_wstring(Ms()) +
               L" text=" + all);
        return;
    }
    std::wstring nameCopy = name;
    LPOLESTR names[1] = {nameCopy.data()};
    DISPID id = DISPID_UNKNOWN;
    hr = external->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        const std::wstring code = Hex(static_cast<unsigned long>(hr));
        Record(head + L" lookup=" + code + L" hr=" + code + L" ms=" + std::to_wstring(Ms()) + L" text=" + all);
        return;
    }
    std::vector<CBstr> strings;
    strings.reserve(texts.size());
    std::vector<VARIANT> args(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        VARIANT& arg = args[texts.size() - 1 - i];  // last argument first, as DISPPARAMS hold them
        if (number) {
            arg = Int(std::wcstol(texts[i].c_str(), nullptr, 10));
        } else {
            strings.emplace_back(texts[i]);
            arg = Str(strings.back().Get());
        }
    }
    DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    VARIANT result;
    ::VariantInit(&result);
    EXCEPINFO exception{};
    UINT argError = 0;
    hr = external->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &exception, &argError);
    const std::wstring reply = VariantText(result);
    (void)::VariantClear(&result);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    Record(head + L" dispid=" + std::to_wstring(id) + L" args=" + std::to_wstring(texts.size()) + L" hr=" +
           Hex(static_cast<unsigned long>(hr)) + L" reply=" + Field(reply) + L" ms=" + std::to_wstring(Ms()) +
           L" text=" + all);
}

bool CFakeBrowser::RaiseScriptError()
{
    ComPtr<IOleCommandTarget> target;
    if (IDocHostUIHandler* handler = UIHandler())
        (void)handler->QueryInterface(IID_IOleCommandTarget, reinterpret_cast<void**>(target.GetAddressOf()));
    if (!target && m_clientSite) (void)m_clientSite.As(&target);
    if (!target) {
        // Nobody to ask: the engine reports the error itself and stops the page's scripts.
        Record(std::wstring(L"scripterror target=none continue=0 dialog=") + (m_silent ? L"0" : L"1"));
        return false;
    }
    VARIANT in;
    VARIANT out;
    ::VariantInit(&in);
    ::VariantInit(&out);
    const HRESULT hr =
        target->Exec(&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, OLECMDEXECOPT_DODEFAULT, &in, &out);
    const bool goOn = SUCCEEDED(hr) && out.vt == VT_BOOL && out.boolVal == VARIANT_TRUE;
    const std::wstring answer = out.vt == VT_BOOL ? L"bool:" + Flag(out.boolVal) : L"vt:" + std::to_wstring(out.vt);
    (void)::VariantClear(&out);
    Record(L"scripterror hr=" + Hex(static_cast<unsigned long>(hr)) + L" out=" + answer + L" continue=" +
           (goOn ? L"1" : L"0") + L" dialog=" + (!goOn && !m_silent ? L"1" : L"0"));
    return goOn;
}

void CFakeBrowser::AskContextMenu(POINT pt)
{
    IDocHostUIHandler* handler = UIHandler();
    if (handler == nullptr) {
        Record(L"contextmenu handler=none ownmenu=1");
        return;
    }
    const HRESULT hr = handler->ShowContextMenu(CONTEXT_MENU_DEFAULT, &pt, nullptr, nullptr);
    Record(L"contextmenu hr=" + Hex(static_cast<unsigned long>(hr)) + L" ownmenu=" + (hr == S_OK ? L"0" : L"1"));
}

void CFakeBrowser::PagePicture(bool on, const std::wstring& playText)
{
    m_portal = on;
    m_playText = playText;
    if (m_playText.empty())
        m_playText = L"{\"funcation_name\":\"open_game\",\"token\":" + JsonString(QueryValue(m_url, L"token")) +
                     L",\"ocext\":" + JsonString(QueryValue(m_url, L"ocext")) + L"}";
    if (m_hView != nullptr) ::InvalidateRect(m_hView, nullptr, TRUE);
    RECT client{};
    if (m_hView != nullptr) ::GetClientRect(m_hView, &client);
    const PortalAreas a = PortalLayout(client.right, client.bottom);
    Record(L"portal size=" + std::to_wstring(client.right) + L"x" + std::to_wstring(client.bottom) + L" drag=" +
           RectText(a.drag) + L" min=" + RectText(a.minimise) + L" close=" + RectText(a.close) + L" play=" +
           RectText(a.play) + L" text=" + m_playText);
}

// ---- page scripts ----

HRESULT CFakeBrowser::StartNavigation(const std::wstring& url)
{
    const ComPtr<CFakeBrowser> keep(this);
    if (m_closed) {
        Record(L"navigate refused=closed url=" + Field(url));
        return E_UNEXPECTED;
    }
    StopScript();
    m_url = url;
    m_complete = false;
    m_portal = false;
    if (m_hView != nullptr) ::InvalidateRect(m_hView, nullptr, TRUE);
    m_script = LoadPageScript();
    Record(L"navigate url=" + Field(url) + L" script=" + Field(m_script.source) + L" steps=" +
           std::to_wstring(m_script.steps.size()) + L" sync=" + (m_script.syncBeforeNavigate ? L"1" : L"0") +
           L" ms=" + std::to_wstring(Ms()) + L" us=" + std::to_wstring(Us()));
    m_next = 0;
    if (m_script.syncBeforeNavigate) {
        const UINT generation = m_generation;
        const bool go = FireBeforeNavigate(url);
        if (generation != m_generation) return S_OK;  // a handler navigated elsewhere meanwhile
        if (!go) {
            Record(L"script stopped line=0 reason=cancelled");
            return S_OK;
        }
    }
    ScheduleNext(0);
    return S_OK;
}

void CFakeBrowser::StopScript()
{
    ++m_generation;
    if (m_hPump != nullptr) ::KillTimer(m_hPump, kWaitTimer);
}

void CFakeBrowser::ScheduleNext(UINT delayMs)
{
    if (m_hPump == nullptr) return;
    if (delayMs == 0)
        ::PostMessageW(m_hPump, kStepMessage, m_generation, 0);
    else
        ::SetTimer(m_hPump, kWaitTimer, delayMs, nullptr);
}

void CFakeBrowser::RunNextStep()
{
    const ComPtr<CFakeBrowser> keep(this);
    if (m_closed || m_next >= m_script.steps.size()) return;
    const PageStep step = m_script.steps[m_next++];
    const UINT generation = m_generation;
    const bool go = RunStep(step);
    if (generation != m_generation || m_closed) return;  // a new navigation (or the end) took over
    if (!go) {
        Record(L"script stopped line=" + std::to_wstring(step.line));
        return;
    }
    if (m_next >= m_script.steps.size()) {
        Record(L"script done ms=" + std::to_wstring(Ms()));
        return;
    }
    ScheduleNext(step.op == L"wait" ? static_cast<UINT>(std::wcstoul(step.arg.c_str(), nullptr, 10)) : 0);
}

bool CFakeBrowser::RunStep(const PageStep& step)
{
    const std::wstring& op = step.op;
    const std::wstring url = step.arg.empty() ? m_url : SplitFirst(step.arg).first;
    if (op == L"load") {
        if (!m_script.syncBeforeNavigate && !FireBeforeNavigate(m_url)) return false;
        FireNavigateComplete(m_url);
        FireDocumentComplete(m_url, false);
    } else if (op == L"before-navigate") {
        return FireBeforeNavigate(url);
    } else if (op == L"navigate-complete") {
        FireNavigateComplete(url);
    } else if (op == L"document-complete") {
        FireDocumentComplete(url, false);
    } else if (op == L"frame-complete") {
        FireDocumentComplete(url, true);
    } else if (op == L"navigate-error") {
        const auto [status, where] = SplitFirst(step.arg);
        FireNavigateError(where.empty() ? m_url : where,
                          static_cast<long>(std::wcstoul(status.c_str(), nullptr, 0)));
    } else if (op == L"goto") {
        m_url = url;
        if (!FireBeforeNavigate(url)) return false;
        FireNavigateComplete(url);
        FireDocumentComplete(url, false);
    } else if (op == L"call") {
        CallExternal(L"g_callCppFunc", {step.arg}, false, L"text");
    } else if (op == L"call-number") {
        CallExternal(L"g_callCppFunc", {step.arg}, true, L"number");
    } else if (op == L"call-two") {
        const auto [first, second] = SplitFirst(step.arg);
        CallExternal(L"g_callCppFunc", {first, second}, false, L"two");
    } else if (op == L"call-none") {
        CallExternal(L"g_callCppFunc", {}, false, L"none");
    } else if (op == L"call-name") {
        const auto [name, text] = SplitFirst(step.arg);
        CallExternal(name, {text}, false, L"name");
    } else if (op == L"new-window") {
        const auto [target, context] = SplitFirst(step.arg);
        FireNewWindow(target, context.empty() ? m_url : context);
    } else if (op == L"script-error") {
        return RaiseScriptError();
    } else if (op == L"context-menu") {
        AskContextMenu(POINT{10, 10});
    } else if (op == L"status") {
        CBstr text(step.arg);
        VARIANT arg = Str(text.Get());
        Fire(DISPID_STATUSTEXTCHANGE, &arg, 1);
        Record(L"event name=StatusTextChange text=" + step.arg);
    } else if (op == L"command-state") {
        const auto [command, enable] = SplitFirst(step.arg);
        VARIANT args[2];
        args[1] = Int(std::wcstol(command.c_str(), nullptr, 10));
        ::VariantInit(&args[0]);
        args[0].vt = VT_BOOL;
        args[0].boolVal = enable == L"1" ? VARIANT_TRUE : VARIANT_FALSE;
        Fire(DISPID_COMMANDSTATECHANGE, args, 2);
        Record(L"event name=CommandStateChange command=" + command + L" enable=" + Flag(args[0].boolVal));
    } else if (op == L"portal") {
        PagePicture(true, step.arg);
    }
    return true;  // "wait" only delays the next step
}

LRESULT CFakeBrowser::OnPumpMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kStepMessage) {
        if (wParam == m_generation) RunNextStep();
        return 0;
    }
    if (message == WM_TIMER && wParam == kWaitTimer) {
        ::KillTimer(hWnd, kWaitTimer);
        RunNextStep();
        return 0;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

void CFakeBrowser::DoPaint(HWND hWnd, HDC hDC)
{
    RECT client{};
    ::GetClientRect(hWnd, &client);
    if (m_portal) {
        PaintPortal(hDC, client, m_url);
        return;
    }
    SkinUI::CUniqueBrush white(::CreateSolidBrush(RGB(0xFF, 0xFF, 0xFF)));
    ::FillRect(hDC, &client, white.Get());
    ::SetBkMode(hDC, TRANSPARENT);
    ::DrawTextW(hDC, m_url.c_str(), static_cast<int>(m_url.size()), &client,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

LRESULT CFakeBrowser::OnViewMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const ComPtr<CFakeBrowser> keep(this);
    auto areaAt = [this, hWnd](LPARAM at) {
        if (!m_portal) return static_cast<int>(kAreaNone);
        RECT client{};
        ::GetClientRect(hWnd, &client);
        const PortalAreas a = PortalLayout(client.right, client.bottom);
        const POINT pt{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
        if (::PtInRect(&a.minimise, pt)) return static_cast<int>(kAreaMinimise);
        if (::PtInRect(&a.close, pt)) return static_cast<int>(kAreaClose);
        if (::PtInRect(&a.drag, pt)) return static_cast<int>(kAreaDrag);
        if (::PtInRect(&a.play, pt)) return static_cast<int>(kAreaPlay);
        return static_cast<int>(kAreaNone);
    };
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hDC = ::BeginPaint(hWnd, &ps);
        DoPaint(hWnd, hDC);
        ::EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:  // so that tests and screenshots can render the page into a bitmap
        DoPaint(hWnd, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        if (m_portal) PagePicture(true, m_playText);
        return 0;
    case WM_SETFOCUS:
        Record(L"focus view=1");
        if (m_inPlaceActive && !m_uiActive) UIActivate();
        return 0;
    case WM_KILLFOCUS:
        Record(L"focus view=0");
        return 0;
    case WM_KEYDOWN:
        Record(L"key down=" + std::to_wstring(wParam));
        return 0;
    case WM_LBUTTONDOWN: {
        ::SetFocus(hWnd);
        const int area = areaAt(lParam);
        m_pressedArea = area;
        if (area == kAreaDrag) {
            m_pressedArea = kAreaNone;
            Record(L"click area=drag");
            CallExternal(L"g_callCppFunc", {L"{\"funcation_name\":\"wnd_mousemove\"}"}, false, L"text");
        }
        return 0;
    }
    case WM_LBUTTONUP: {
        const int area = areaAt(lParam);
        const int pressed = m_pressedArea;
        m_pressedArea = kAreaNone;
        if (area == kAreaNone || area != pressed) return 0;
        if (area == kAreaMinimise) {
            Record(L"click area=min");
            CallExternal(L"g_callCppFunc", {L"{\"funcation_name\":\"min_wnd\"}"}, false, L"text");
        } else if (area == kAreaClose) {
            Record(L"click area=close");
            CallExternal(L"g_callCppFunc", {L"{\"funcation_name\":\"close_wnd\"}"}, false, L"text");
        } else if (area == kAreaPlay) {
            Record(L"click area=play");
            CallExternal(L"g_callCppFunc", {m_playText}, false, L"text");
        }
        return 0;
    }
    case WM_RBUTTONUP: {
        POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ::ClientToScreen(hWnd, &pt);
        AskContextMenu(pt);
        return 0;
    }
    default:
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    }
}

// ---- IOleControl, IPersistStreamInit, IObjectWithSite ----

HRESULT STDMETHODCALLTYPE CFakeBrowser::GetClassID(CLSID* pClassID) noexcept
{
    if (pClassID == nullptr) return E_POINTER;
    *pClassID = m_clsid;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::InitNew() noexcept
{
    Record(std::wstring(L"initnew clientsite=") + (m_clientSite ? L"1" : L"0"));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::SetSite(IUnknown* pUnkSite) noexcept
{
    m_objectSite = pUnkSite;
    Record(std::wstring(L"objectsite set=") + (pUnkSite != nullptr ? L"1" : L"0"));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CFakeBrowser::GetSite(REFIID riid, void** ppvSite) noexcept
{
    if (ppvSite == nullptr) return E_POINTER;
    *ppvSite = nullptr;
    if (!m_objectSite) return E_FAIL;
    return m_objectSite->QueryInterface(riid, ppvSite);
}

}  // namespace fakebrowser
