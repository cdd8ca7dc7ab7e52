#include "UIActiveX.h"

#include "UIComPtr.h"
#include "UIManager.h"

#include <windowsx.h>

#include <algorithm>
#include <new>

using Microsoft::WRL::ComPtr;

namespace SkinUI {

namespace {

constexpr size_t kMaxClassIdChars = 99;

RECT AtOrigin(const RECT& rc) { return RECT{0, 0, rc.right - rc.left, rc.bottom - rc.top}; }

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// CActiveXUI

CActiveXUI::~CActiveXUI() { CActiveXUI::ReleaseHostedObject(); }

const wchar_t* CActiveXUI::GetClassName() const { return L"ActiveXUI"; }

void* CActiveXUI::QueryKind(const std::wstring& kind)
{
    if (kind == L"ActiveX") return this;
    return CControlUI::QueryKind(kind);
}

RECT CActiveXUI::ObjectRect() const
{
    // A windowed object is placed inside its own host window, so its rectangle starts at the origin.
    const bool windowed = m_site && m_site->HostWindow() != nullptr;
    return windowed ? AtOrigin(m_rcItem) : m_rcItem;
}

void CActiveXUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    // Creation needs the window the object will live in; a control positioned outside a window waits.
    if (!m_created && m_pManager != nullptr && m_pManager->GetPaintWindow() != nullptr)
        (void)CreateHostedObject();  // a failure leaves the control empty and is not retried
    if (!m_hostedObject || !m_site) return;

    SIZEL extent{};
    {
        CClientDC screen(nullptr);
        const int dpiX = screen ? ::GetDeviceCaps(screen.Get(), LOGPIXELSX) : 96;
        const int dpiY = screen ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
        extent.cx = ::MulDiv(m_rcItem.right - m_rcItem.left, 2540, dpiX > 0 ? dpiX : 96);
        extent.cy = ::MulDiv(m_rcItem.bottom - m_rcItem.top, 2540, dpiY > 0 ? dpiY : 96);
    }
    (void)m_hostedObject->SetExtent(DVASPECT_CONTENT, &extent);
    m_site->SetObjectRects();
    if (HWND hHost = m_site->HostWindow()) {
        RECT before{};
        ::GetClientRect(hHost, &before);
        const int width = m_rcItem.right - m_rcItem.left;
        const int height = m_rcItem.bottom - m_rcItem.top;
        (void)::MoveWindow(hHost, m_rcItem.left, m_rcItem.top, width, height, FALSE);
        // Moved without repainting, against flicker; but a host that grows shows the object's window where it
        // was clipped away before (at the first layout, from nothing to the whole page), and that part was
        // never painted: the object paints it now.
        if (width > before.right || height > before.bottom)
            (void)::RedrawWindow(hHost, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
}

void CActiveXUI::ShowHostWindow()
{
    if (HWND hHost = m_site ? m_site->HostWindow() : nullptr) ::ShowWindow(hHost, IsVisible() ? SW_SHOW : SW_HIDE);
}

void CActiveXUI::SetVisible(bool bVisible)
{
    CControlUI::SetVisible(bVisible);
    ShowHostWindow();
}

void CActiveXUI::SetParentVisible(bool bVisible)
{
    CControlUI::SetParentVisible(bVisible);
    ShowHostWindow();
}

bool CActiveXUI::SetClassId(const std::wstring& text)
{
    if (text.empty()) return false;
    const std::wstring limited = text.substr(0, kMaxClassIdChars);
    CLSID id{};
    const HRESULT hr =
        limited[0] == L'{' ? ::CLSIDFromString(limited.c_str(), &id) : ::CLSIDFromProgID(limited.c_str(), &id);
    if (FAILED(hr) || ::IsEqualGUID(id, GUID_NULL)) return false;
    m_created = false;
    m_classId = id;
    if (!m_delayCreate && m_pManager != nullptr && m_pManager->GetPaintWindow() != nullptr)
        (void)CreateHostedObject();
    return true;
}

void CActiveXUI::SetDelayCreate(bool bDelay)
{
    if (bDelay == m_delayCreate) return;
    if (!bDelay && !m_created && !::IsEqualGUID(m_classId, GUID_NULL) && m_pManager != nullptr &&
        m_pManager->GetPaintWindow() != nullptr)
        (void)CreateHostedObject();
    m_delayCreate = bDelay;
}

void CActiveXUI::ApplyAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name == L"clsid")
        (void)SetClassId(value);  // text that names no class changes nothing
    else if (name == L"modulename")
        SetModuleName(value);
    else if (name == L"delaycreate")
        SetDelayCreate(ParseBool(value.c_str()));
    else
        CControlUI::ApplyAttribute(name, value);
}

void CActiveXUI::Paint(HDC hDC, const RECT& rcPaint)
{
    // A windowed object paints its own window.
    if (!m_site || !m_site->IsInPlaceActive() || !m_site->IsWindowless() || m_site->View() == nullptr) return;
    RECT rcTemp;
    if (!IntersectRects(rcTemp, rcPaint, m_rcItem)) return;
    RECTL bounds{m_rcItem.left, m_rcItem.top, m_rcItem.right, m_rcItem.bottom};
    // The object's drawing may leave any state in the window's surface; none of it outlives this paint.
    const CSavedDC saved(hDC);
    (void)m_site->View()->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, hDC, &bounds, &bounds, nullptr, 0);
}

HRESULT CActiveXUI::QueryHostedObject(REFIID iid, void** ppv) const
{
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (!m_hostedObject) return E_PENDING;
    return m_hostedObject->QueryInterface(iid, ppv);
}

bool CActiveXUI::CreateObjectInstance(ComPtr<IUnknown>& object)
{
    // An embedded object talks to its site on the thread that made it: from a multithreaded apartment the
    // engine would be made elsewhere and in-place activation would wait forever.
    APTTYPE type = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
    if (SUCCEEDED(::CoGetApartmentType(&type, &qualifier)) && type == APTTYPE_MTA) return false;
    if (!m_moduleName.empty()) {
        CUniqueHmodule module(::LoadLibraryW(m_moduleName.c_str()));
        FARPROC proc = module ? ::GetProcAddress(module.Get(), "DllGetClassObject") : nullptr;
        auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(reinterpret_cast<void (*)()>(proc));
        ComPtr<IClassFactory> factory;
        if (getClassObject != nullptr &&
            SUCCEEDED(getClassObject(m_classId, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf()))) &&
            SUCCEEDED(factory->CreateInstance(nullptr, IID_IOleObject,
                                              reinterpret_cast<void**>(object.ReleaseAndGetAddressOf())))) {
            // Stays loaded: the object's code must outlive every reference the object hands out.
            (void)module.Detach();
            return true;
        }
    }
    return SUCCEEDED(::CoCreateInstance(m_classId, nullptr, CLSCTX_ALL, IID_IOleControl,
                                        reinterpret_cast<void**>(object.ReleaseAndGetAddressOf())));
}

bool CActiveXUI::CreateHostedObject()
{
    ReleaseHostedObject();
    // A derived release may keep the object; a new one replaces it only after it is closed and let go.
    DiscardHostedObject();
    m_created = true;

    ComPtr<IUnknown> created;
    if (!CreateObjectInstance(created)) return false;
    if (FAILED(created.As(&m_hostedObject))) return false;
    created.Reset();

    m_site = AdoptComPtr(new (std::nothrow) CActiveXCtrl(this));
    if (!m_site) return false;

    DWORD misc = 0;
    (void)m_hostedObject->GetMiscStatus(DVASPECT_CONTENT, &misc);
    ComPtr<IOleClientSite> clientSite;
    (void)m_site.As(&clientSite);

    bool siteGiven = false;
    if ((misc & OLEMISC_SETCLIENTSITEFIRST) != 0) {
        (void)m_hostedObject->SetClientSite(clientSite.Get());
        siteGiven = true;
    }
    ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(m_hostedObject.As(&persist)) && FAILED(persist->InitNew())) return false;
    if (!siteGiven) (void)m_hostedObject->SetClientSite(clientSite.Get());

    ComPtr<IViewObjectEx> viewEx;
    ComPtr<IViewObject2> view2;
    ComPtr<IViewObject> view;
    if (SUCCEEDED(m_hostedObject.As(&viewEx)))
        m_site->SetView(viewEx);
    else if (SUCCEEDED(m_hostedObject.As(&view2)))
        m_site->SetView(view2);
    else if (SUCCEEDED(m_hostedObject.As(&view)))
        m_site->SetView(view);

    (void)m_hostedObject->SetHostNames(L"UIActiveX", nullptr);
    if (m_pManager != nullptr) m_pManager->SendNotification(this, L"showactivex", 0, 0);

    bool activated = true;
    if ((misc & OLEMISC_INVISIBLEATRUNTIME) == 0) {
        RECT rc = m_rcItem;
        HWND hParent = m_pManager != nullptr ? m_pManager->GetPaintWindow() : nullptr;
        activated = m_hostedObject && SUCCEEDED(m_hostedObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr,
                                                                       clientSite.Get(), 0, hParent, &rc));
    }
    ComPtr<IObjectWithSite> withSite;
    if (m_hostedObject && SUCCEEDED(m_hostedObject.As(&withSite))) (void)withSite->SetSite(clientSite.Get());
    return activated && m_hostedObject;
}

// The object closes before anything it lives in goes away: its site, its host window.
void CActiveXUI::CloseHostedObject()
{
    if (!m_hostedObject || m_objectClosed) return;
    m_objectClosed = true;
    const ComPtr<IOleObject> object = m_hostedObject;  // the calls below may re-enter the control
    ComPtr<IObjectWithSite> withSite;
    if (SUCCEEDED(object.As(&withSite))) (void)withSite->SetSite(nullptr);
    (void)object->Close(OLECLOSE_NOSAVE);
    (void)object->SetClientSite(nullptr);
}

void CActiveXUI::DiscardHostedObject()
{
    CloseHostedObject();
    m_hostedObject.Reset();
    if (m_site) {
        const ComPtr<CActiveXCtrl> site = std::move(m_site);
        site->Detach();
    }
    m_hostWindow = nullptr;
    m_objectClosed = false;
    if (m_pManager != nullptr) (void)m_pManager->RemoveMessageFilter(this);
}

void CActiveXUI::ReleaseHostedObject() { DiscardHostedObject(); }

LRESULT CActiveXUI::FilterMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled)
{
    if (!m_site || !m_site->IsInPlaceActive() || m_site->WindowlessObject() == nullptr) return 0;
    bool handledWhenAccepted = true;
    if ((uMsg >= 0x200 && uMsg <= 0x20D) || uMsg == WM_SETCURSOR) {
        if (!IsMouseEnabled()) return 0;
        if (!m_site->IsCaptured()) {
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (uMsg == WM_SETCURSOR || uMsg == WM_MOUSEWHEEL) {
                ::GetCursorPos(&pt);
                if (m_pManager != nullptr) ::ScreenToClient(m_pManager->GetPaintWindow(), &pt);
            }
            ComPtr<IViewObjectEx> viewEx;
            DWORD hit = HITRESULT_OUTSIDE;
            if (m_site->View() != nullptr && SUCCEEDED(m_site->View()->QueryInterface(IID_IViewObjectEx, &viewEx)))
                (void)viewEx->QueryHitPoint(DVASPECT_CONTENT, &m_rcItem, pt, 0, &hit);
            else if (::PtInRect(&m_rcItem, pt))
                hit = HITRESULT_HIT;
            if (hit != HITRESULT_HIT) return 0;
        }
        if (uMsg == WM_SETCURSOR) handledWhenAccepted = false;
    } else if (uMsg >= WM_KEYFIRST && uMsg <= WM_KEYLAST) {
        if (!IsFocused()) return 0;
    } else if (uMsg == WM_HELP || uMsg == WM_CONTEXTMENU) {
        handledWhenAccepted = false;
    } else {
        return 0;
    }
    if (uMsg == WM_LBUTTONDOWN || uMsg == WM_LBUTTONDBLCLK || uMsg == WM_RBUTTONDOWN) SetFocus();
    LRESULT lResult = 0;
    const ComPtr<IOleInPlaceObjectWindowless> object = m_site->WindowlessObject();
    if (object->OnWindowMessage(uMsg, wParam, lParam, &lResult) == S_OK) bHandled = handledWhenAccepted;
    return lResult;
}

// ---------------------------------------------------------------------------------------------------------
// CActiveXWnd

CActiveXWnd::~CActiveXWnd()
{
    if (m_hWnd != nullptr) {
        m_pSite = nullptr;  // the site is going; nothing may be asked of it any more
        ::DestroyWindow(m_hWnd);
    }
}

HWND CActiveXWnd::Init(HWND hWndParent)
{
    return Create(hWndParent, L"UIActiveX", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0, 0);
}

LRESULT CActiveXWnd::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pSite == nullptr) return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
    const ComPtr<CActiveXCtrl> keep(m_pSite);
    switch (message) {
    case WM_SETFOCUS: return OnSetFocus(wParam, lParam);
    case WM_KILLFOCUS: return OnKillFocus(wParam, lParam);
    case WM_PAINT: return OnPaint();
    case WM_ERASEBKGND: return OnEraseBkgnd(wParam, lParam);
    case WM_MOUSEACTIVATE: return OnMouseActivate(wParam, lParam);
    case WM_MOUSEWHEEL: return 0;
    case WM_DESTROY: return OnDestroy(wParam, lParam);
    default: return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
    }
}

void CActiveXWnd::OnWindowFinal(HWND hWnd)
{
    m_bDestroying = false;
    if (m_pSite != nullptr) m_pSite->OnHostWindowGone(hWnd);
}

LRESULT CActiveXWnd::OnSetFocus(WPARAM wParam, LPARAM lParam)
{
    m_pSite->SetFocusedFlag(true);
    if (!m_pSite->IsUIActive()) (void)m_pSite->DoVerb(OLEIVERB_UIACTIVATE);
    return ::DefWindowProcW(m_hWnd, WM_SETFOCUS, wParam, lParam);
}

LRESULT CActiveXWnd::OnKillFocus(WPARAM wParam, LPARAM lParam)
{
    m_pSite->SetFocusedFlag(false);
    return ::DefWindowProcW(m_hWnd, WM_KILLFOCUS, wParam, lParam);
}

LRESULT CActiveXWnd::OnPaint()
{
    PAINTSTRUCT ps;
    ::BeginPaint(m_hWnd, &ps);
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

LRESULT CActiveXWnd::OnEraseBkgnd(WPARAM wParam, LPARAM lParam)
{
    if (m_pSite->View() != nullptr) return 1;
    return ::DefWindowProcW(m_hWnd, WM_ERASEBKGND, wParam, lParam);
}

LRESULT CActiveXWnd::OnMouseActivate(WPARAM wParam, LPARAM lParam)
{
    if ((m_pSite->MiscStatus() & OLEMISC_NOUIACTIVATE) != 0) return 0;
    if (!m_pSite->IsInPlaceActive()) (void)m_pSite->DoVerb(OLEIVERB_INPLACEACTIVATE);
    return ::DefWindowProcW(m_hWnd, WM_MOUSEACTIVATE, wParam, lParam);
}

// The window goes while the object still lives in it (its parent is being destroyed): the object is
// closed now, while its own window still exists, rather than later through a dead parent.
LRESULT CActiveXWnd::OnDestroy(WPARAM wParam, LPARAM lParam)
{
    m_bDestroying = true;
    if (!m_pSite->IsDestroyingHostWindow()) m_pSite->OnHostWindowDestroying();
    return ::DefWindowProcW(m_hWnd, WM_DESTROY, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------------------
// CActiveXCtrl

CActiveXCtrl::CActiveXCtrl(CActiveXUI* pOwner) noexcept : m_pOwner(pOwner) {}

CActiveXCtrl::~CActiveXCtrl()
{
    DestroyHostWindow();
    m_window.reset();
}

void CActiveXCtrl::Detach() noexcept
{
    // Each frame may hold the object, which may hold the frame: the frames let go of it first. Each is kept
    // alive meanwhile, since dropping one object may end other frames.
    try {
        std::vector<ComPtr<CActiveXFrameWnd>> frames(m_frames.begin(), m_frames.end());
        for (const auto& frame : frames) frame->DropActiveObject();
    } catch (...) {
        // No memory for the list: the frames keep their object until it lets go of them itself.
    }
    m_viewObject.Reset();
    m_inPlaceObject.Reset();
    m_inPlaceWindowless.Reset();
    m_unkSite.Reset();
    DestroyHostWindow();
    m_bInPlaceActive = false;
    m_bUIActivated = false;
    m_pOwner = nullptr;
}

HWND CActiveXCtrl::ManagerWindow() const noexcept
{
    if (m_pOwner == nullptr || m_pOwner->GetManager() == nullptr) return nullptr;
    return m_pOwner->GetManager()->GetPaintWindow();
}

HWND CActiveXCtrl::HostWindow() const noexcept { return m_window ? m_window->GetHWND() : nullptr; }

bool CActiveXCtrl::CreateHostWindow() noexcept
{
    if (m_pOwner == nullptr) return false;
    if (HWND hExisting = HostWindow()) {
        m_pOwner->m_hostWindow = hExisting;
        return true;
    }
    if (m_window && m_window->IsBeingDestroyed()) return false;
    const HWND hParent = ManagerWindow();
    if (hParent == nullptr) return false;
    m_window.reset(new (std::nothrow) CActiveXWnd(this));
    if (!m_window) return false;
    HWND hWnd = m_window->Init(hParent);
    if (hWnd == nullptr) return false;
    m_pOwner->m_hostWindow = hWnd;
    // In step with the control from the start: where it is, and whether it is shown.
    const RECT& rc = m_pOwner->GetPos();
    if (!RectIsEmpty(rc)) ::MoveWindow(hWnd, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, FALSE);
    m_pOwner->ShowHostWindow();
    return true;
}

void CActiveXCtrl::DestroyHostWindow() noexcept
{
    const HWND hWnd = HostWindow();
    if (hWnd == nullptr) return;
    if (m_pOwner != nullptr && m_pOwner->m_hostWindow == hWnd) m_pOwner->m_hostWindow = nullptr;
    if (m_window->IsBeingDestroyed() || m_bDestroyingWindow) return;
    m_bDestroyingWindow = true;
    ::DestroyWindow(hWnd);
    m_bDestroyingWindow = false;
}

void CActiveXCtrl::OnHostWindowDestroying() noexcept
{
    if (m_pOwner != nullptr) m_pOwner->CloseHostedObject();
}

void CActiveXCtrl::OnHostWindowGone(HWND hWnd) noexcept
{
    if (m_pOwner != nullptr && m_pOwner->m_hostWindow == hWnd) m_pOwner->m_hostWindow = nullptr;
}

void CActiveXCtrl::RegisterFrame(CActiveXFrameWnd* pFrame) noexcept
{
    try {
        m_frames.push_back(pFrame);
    } catch (...) {
        // Without the entry the frame merely keeps its active object until the object lets go of it.
    }
}

void CActiveXCtrl::UnregisterFrame(CActiveXFrameWnd* pFrame) noexcept
{
    m_frames.erase(std::remove(m_frames.begin(), m_frames.end(), pFrame), m_frames.end());
}

void CActiveXCtrl::SetObjectRects() noexcept
{
    if (!m_inPlaceObject || m_pOwner == nullptr) return;
    const ComPtr<IOleInPlaceObject> object = m_inPlaceObject;
    RECT rc = m_pOwner->ObjectRect();
    (void)object->SetObjectRects(&rc, &rc);
}

HRESULT CActiveXCtrl::DoVerb(LONG verb) noexcept
{
    if (m_pOwner == nullptr || !m_pOwner->m_hostedObject) return E_UNEXPECTED;
    const ComPtr<IOleObject> object = m_pOwner->m_hostedObject;
    ComPtr<IOleClientSite> clientSite(static_cast<IOleClientSite*>(this));
    RECT rc = m_pOwner->ObjectRect();
    HWND hWnd = HostWindow() ? HostWindow() : ManagerWindow();
    return object->DoVerb(verb, nullptr, clientSite.Get(), 0, hWnd, &rc);
}

DWORD CActiveXCtrl::MiscStatus() const noexcept
{
    DWORD status = 0;
    if (m_pOwner != nullptr && m_pOwner->m_hostedObject)
        (void)m_pOwner->m_hostedObject->GetMiscStatus(DVASPECT_CONTENT, &status);
    return status;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::QueryInterface(REFIID riid, void** ppvObject) noexcept
{
    if (ppvObject == nullptr) return E_POINTER;
    *ppvObject = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
        *ppvObject = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite || riid == IID_IOleInPlaceSiteEx ||
             riid == IID_IOleInPlaceSiteWindowless)
        *ppvObject = static_cast<IOleInPlaceSiteWindowless*>(this);
    else if (riid == IID_IOleControlSite)
        *ppvObject = static_cast<IOleControlSite*>(this);
    else if (riid == IID_IObjectWithSite)
        *ppvObject = static_cast<IObjectWithSite*>(this);
    else if (riid == IID_IOleContainer || riid == IID_IParseDisplayName)
        *ppvObject = static_cast<IOleContainer*>(this);
    if (*ppvObject == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CActiveXCtrl::AddRef() noexcept { return ++m_refs; }

ULONG STDMETHODCALLTYPE CActiveXCtrl::Release() noexcept
{
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::SetSite(IUnknown* pUnkSite) noexcept
{
    m_unkSite = pUnkSite;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetSite(REFIID riid, void** ppvSite) noexcept
{
    if (ppvSite == nullptr) return E_POINTER;
    *ppvSite = nullptr;
    if (!m_unkSite) return E_FAIL;
    return m_unkSite->QueryInterface(riid, ppvSite);
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::SaveObject() noexcept { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetMoniker(DWORD, DWORD, IMoniker** ppmk) noexcept
{
    if (ppmk != nullptr) *ppmk = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetContainer(IOleContainer** ppContainer) noexcept
{
    if (ppContainer == nullptr) return E_POINTER;
    *ppContainer = nullptr;
    if (m_unkSite) return m_unkSite->QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(ppContainer));
    return QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(ppContainer));
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::ShowObject() noexcept
{
    if (m_pOwner == nullptr) return E_UNEXPECTED;
    if (!m_viewObject) return S_OK;
    const HWND hWnd = HostWindow() ? HostWindow() : ManagerWindow();
    CClientDC dc(hWnd);
    if (!dc) return E_FAIL;
    const RECT rc = m_pOwner->ObjectRect();
    RECTL bounds{rc.left, rc.top, rc.right, rc.bottom};
    (void)m_viewObject->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc.Get(), &bounds, &bounds, nullptr, 0);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnShowWindow(WINBOOL) noexcept { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CActiveXCtrl::RequestNewObjectLayout() noexcept { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CActiveXCtrl::CanWindowlessActivate() noexcept { return S_OK; }
HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetCapture() noexcept { return m_bCaptured ? S_OK : S_FALSE; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::SetCapture(WINBOOL fCapture) noexcept
{
    if (m_pOwner == nullptr) return E_UNEXPECTED;
    m_bCaptured = fCapture != FALSE;
    if (m_bCaptured)
        ::SetCapture(ManagerWindow());
    else
        ::ReleaseCapture();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetFocus() noexcept { return m_bFocused ? S_OK : S_FALSE; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::SetFocus(WINBOOL fFocus) noexcept
{
    if (m_pOwner == nullptr) return E_UNEXPECTED;
    m_bFocused = fFocus != FALSE;
    try {
        if (m_bFocused) m_pOwner->SetFocus();  // listeners of the focus notification run here
    } catch (...) {
        return E_UNEXPECTED;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetDC(LPCRECT, DWORD grfFlags, HDC* phDC) noexcept
{
    if (phDC == nullptr) return E_POINTER;
    *phDC = nullptr;
    if (m_pOwner == nullptr) return E_UNEXPECTED;
    // Handed out across the interface; the object gives it back through ReleaseDC.
    *phDC = ::GetDC(ManagerWindow());
    if (*phDC == nullptr) return E_FAIL;
    if ((grfFlags & OLEDC_PAINTBKGND) != 0) {
        const RECT rc = m_pOwner->GetPos();
        ::FillRect(*phDC, &rc, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)));
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::ReleaseDC(HDC hDC) noexcept
{
    if (m_pOwner == nullptr) return E_UNEXPECTED;
    ::ReleaseDC(ManagerWindow(), hDC);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::InvalidateRect(LPCRECT pRect, WINBOOL fErase) noexcept
{
    if (m_pOwner == nullptr) return E_UNEXPECTED;
    return ::InvalidateRect(ManagerWindow(), pRect, fErase) ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::InvalidateRgn(HRGN hRGN, WINBOOL fErase) noexcept
{
    if (m_pOwner == nullptr) return E_UNEXPECTED;
    return ::InvalidateRgn(ManagerWindow(), hRGN, fErase) ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::ScrollRect(INT, INT, LPCRECT, LPCRECT) noexcept { return S_OK; }
HRESULT STDMETHODCALLTYPE CActiveXCtrl::AdjustRect(LPRECT) noexcept { return S_OK; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnDefWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam,
                                                           LRESULT* plResult) noexcept
{
    if (m_pOwner == nullptr) return E_UNEXPECTED;
    const LRESULT result = ::DefWindowProcW(ManagerWindow(), msg, wParam, lParam);
    if (plResult != nullptr) *plResult = result;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnInPlaceActivateEx(WINBOOL* pfNoRedraw, DWORD dwFlags) noexcept
{
    if (pfNoRedraw != nullptr) *pfNoRedraw = FALSE;
    if (m_pOwner == nullptr || !m_pOwner->m_hostedObject) return E_UNEXPECTED;
    const ComPtr<IOleObject> object = m_pOwner->m_hostedObject;
    if (SUCCEEDED(::OleLockRunning(object.Get(), TRUE, FALSE))) m_bRunningLocked = true;

    HRESULT hr = E_FAIL;
    if ((dwFlags & ACTIVATE_WINDOWLESS) != 0) {
        m_bWindowless = true;
        hr = object.As(&m_inPlaceWindowless);
        if (SUCCEEDED(hr)) {
            m_inPlaceObject = m_inPlaceWindowless;
            DestroyHostWindow();
            m_pOwner->m_hostWindow = ManagerWindow();
            if (m_pOwner->GetManager() != nullptr) (void)m_pOwner->GetManager()->AddMessageFilter(m_pOwner);
        }
    }
    if (FAILED(hr)) {
        m_bWindowless = false;
        hr = CreateHostWindow() ? object.As(&m_inPlaceObject) : E_FAIL;
    }
    SetObjectRects();
    m_bInPlaceActive = SUCCEEDED(hr);
    return hr;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnInPlaceDeactivateEx(WINBOOL) noexcept { return OnInPlaceDeactivate(); }
HRESULT STDMETHODCALLTYPE CActiveXCtrl::RequestUIActivate() noexcept { return S_OK; }
HRESULT STDMETHODCALLTYPE CActiveXCtrl::CanInPlaceActivate() noexcept { return S_OK; }
HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnInPlaceActivate() noexcept { return OnInPlaceActivateEx(nullptr, 0); }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnUIActivate() noexcept
{
    m_bUIActivated = true;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                                         LPRECT lprcPosRect, LPRECT lprcClipRect,
                                                         LPOLEINPLACEFRAMEINFO lpFrameInfo) noexcept
{
    if (ppFrame == nullptr || ppDoc == nullptr || lprcPosRect == nullptr || lprcClipRect == nullptr) return E_POINTER;
    *ppFrame = nullptr;
    *ppDoc = nullptr;
    if (m_pOwner == nullptr) return E_UNEXPECTED;
    if (!m_hAccel) {
        ACCEL empty{};
        m_hAccel.Put(::CreateAcceleratorTableW(&empty, 1));
    }
    auto* frame = new (std::nothrow) CActiveXFrameWnd(this);
    if (frame == nullptr) return E_OUTOFMEMORY;
    *ppFrame = frame;  // the frame's first reference is the caller's

    RECT rc = m_pOwner->GetPos();
    if (HWND hHost = HostWindow()) ::GetClientRect(hHost, &rc);
    *lprcPosRect = rc;
    *lprcClipRect = rc;
    if (lpFrameInfo != nullptr) {
        lpFrameInfo->cb = sizeof(OLEINPLACEFRAMEINFO);
        lpFrameInfo->fMDIApp = FALSE;
        lpFrameInfo->hwndFrame = ManagerWindow();
        lpFrameInfo->haccel = m_hAccel.Get();
        lpFrameInfo->cAccelEntries = 1;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::Scroll(SIZE) noexcept { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnUIDeactivate(WINBOOL) noexcept
{
    m_bUIActivated = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnInPlaceDeactivate() noexcept
{
    m_bInPlaceActive = false;
    m_inPlaceObject.Reset();
    m_inPlaceWindowless.Reset();
    if (m_bRunningLocked && m_pOwner != nullptr && m_pOwner->m_hostedObject) {
        m_bRunningLocked = false;
        (void)::OleLockRunning(m_pOwner->m_hostedObject.Get(), FALSE, FALSE);
    }
    DestroyHostWindow();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::DiscardUndoState() noexcept { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CActiveXCtrl::DeactivateAndUndo() noexcept { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnPosRectChange(LPCRECT) noexcept { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetWindow(HWND* phwnd) noexcept
{
    if (phwnd == nullptr) return E_POINTER;
    *phwnd = nullptr;
    if (m_pOwner == nullptr) return E_UNEXPECTED;
    // A windowed object gets its host window on first request; a closing object gets no new one.
    if (m_pOwner->m_hostWindow == nullptr && !(m_bInPlaceActive && m_bWindowless) && !m_pOwner->m_objectClosed)
        (void)CreateHostWindow();
    *phwnd = m_pOwner->m_hostWindow;
    return *phwnd != nullptr ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::ContextSensitiveHelp(WINBOOL) noexcept { return S_OK; }
HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnControlInfoChanged() noexcept { return S_OK; }
HRESULT STDMETHODCALLTYPE CActiveXCtrl::LockInPlaceActive(WINBOOL) noexcept { return S_OK; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetExtendedControl(IDispatch** ppDisp) noexcept
{
    if (ppDisp == nullptr) return E_POINTER;
    *ppDisp = nullptr;
    if (m_pOwner == nullptr || !m_pOwner->m_hostedObject) return E_UNEXPECTED;
    return m_pOwner->m_hostedObject->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(ppDisp));
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::TransformCoords(POINTL*, POINTF*, DWORD) noexcept { return S_OK; }
HRESULT STDMETHODCALLTYPE CActiveXCtrl::TranslateAccelerator(MSG*, DWORD) noexcept { return S_FALSE; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnFocus(WINBOOL fGotFocus) noexcept
{
    m_bFocused = fGotFocus != FALSE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::ShowPropertyFrame() noexcept { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::EnumObjects(DWORD, IEnumUnknown** ppenum) noexcept
{
    if (ppenum == nullptr) return E_POINTER;
    *ppenum = nullptr;
    if (m_pOwner == nullptr) return E_UNEXPECTED;
    ComPtr<IUnknown> object;
    if (m_pOwner->m_hostedObject) (void)m_pOwner->m_hostedObject.As(&object);
    *ppenum = new (std::nothrow) CActiveXEnum(std::move(object));
    return *ppenum != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::LockContainer(WINBOOL fLock) noexcept
{
    m_bLocked = fLock != FALSE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker** ppmkOut) noexcept
{
    if (ppmkOut != nullptr) *ppmkOut = nullptr;
    return E_NOTIMPL;
}

// ---------------------------------------------------------------------------------------------------------
// CActiveXFrameWnd

CActiveXFrameWnd::CActiveXFrameWnd(CActiveXCtrl* pSite) noexcept : m_site(pSite) { m_site->RegisterFrame(this); }

CActiveXFrameWnd::~CActiveXFrameWnd() { m_site->UnregisterFrame(this); }

HRESULT STDMETHODCALLTYPE CActiveXFrameWnd::QueryInterface(REFIID riid, void** ppvObject) noexcept
{
    if (ppvObject == nullptr) return E_POINTER;
    *ppvObject = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleWindow || riid == IID_IOleInPlaceUIWindow ||
        riid == IID_IOleInPlaceFrame)
        *ppvObject = static_cast<IOleInPlaceFrame*>(this);
    if (*ppvObject == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CActiveXFrameWnd::AddRef() noexcept { return ++m_refs; }

ULONG STDMETHODCALLTYPE CActiveXFrameWnd::Release() noexcept
{
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
}

HRESULT STDMETHODCALLTYPE CActiveXFrameWnd::GetWindow(HWND* phwnd) noexcept
{
    if (phwnd == nullptr) return E_POINTER;
    CActiveXUI* owner = m_site->Owner();
    *phwnd = owner != nullptr && owner->GetManager() != nullptr ? owner->GetManager()->GetPaintWindow() : nullptr;
    return *phwnd != nullptr ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE CActiveXFrameWnd::ContextSensitiveHelp(WINBOOL) noexcept { return S_OK; }
HRESULT STDMETHODCALLTYPE CActiveXFrameWnd::GetBorder(LPRECT) noexcept { return S_OK; }
HRESULT STDMETHODCALLTYPE CActiveXFrameWnd::RequestBorderSpace(LPCBORDERWIDTHS) noexcept
{
    return INPLACE_E_NOTOOLSPACE;
}
HRESULT STDMETHODCALLTYPE CActiveXFrameWnd::SetBorderSpace(LPCBORDERWIDTHS) noexcept { return S_OK; }

HRESULT STDMETHODCALLTYPE CActiveXFrameWnd::SetActiveObject(IOleInPlaceActiveObject* pActiveObject,
                                                            LPCOLESTR) noexcept
{
    const ComPtr<IOleInPlaceActiveObject> previous = std::move(m_activeObject);
    m_activeObject = pActiveObject;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXFrameWnd::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) noexcept { return S_OK; }
HRESULT STDMETHODCALLTYPE CActiveXFrameWnd::SetMenu(HMENU, HOLEMENU, HWND) noexcept { return S_OK; }
HRESULT STDMETHODCALLTYPE CActiveXFrameWnd::RemoveMenus(HMENU) noexcept { return S_OK; }
HRESULT STDMETHODCALLTYPE CActiveXFrameWnd::SetStatusText(LPCOLESTR) noexcept { return S_OK; }
HRESULT STDMETHODCALLTYPE CActiveXFrameWnd::EnableModeless(WINBOOL) noexcept { return S_OK; }
HRESULT STDMETHODCALLTYPE CActiveXFrameWnd::TranslateAccelerator(LPMSG, WORD) noexcept { return S_FALSE; }

// ---------------------------------------------------------------------------------------------------------
// CActiveXEnum

HRESULT STDMETHODCALLTYPE CActiveXEnum::QueryInterface(REFIID riid, void** ppvObject) noexcept
{
    if (ppvObject == nullptr) return E_POINTER;
    *ppvObject = nullptr;
    if (riid != IID_IUnknown && riid != IID_IEnumUnknown) return E_NOINTERFACE;
    *ppvObject = static_cast<IEnumUnknown*>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CActiveXEnum::AddRef() noexcept { return ++m_refs; }

ULONG STDMETHODCALLTYPE CActiveXEnum::Release() noexcept
{
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
}

HRESULT STDMETHODCALLTYPE CActiveXEnum::Next(ULONG celt, IUnknown** rgelt, ULONG* pceltFetched) noexcept
{
    if (pceltFetched != nullptr) *pceltFetched = 0;
    if (rgelt == nullptr || celt == 0) return celt == 0 ? S_OK : E_POINTER;
    if (m_pos != 0 || !m_object) return S_FALSE;
    (void)m_object.CopyTo(&rgelt[0]);
    m_pos = 1;
    if (pceltFetched != nullptr) *pceltFetched = 1;
    return celt == 1 ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CActiveXEnum::Skip(ULONG celt) noexcept
{
    // One object: anything past it is the end (kept at 2 so that a huge count cannot wrap around).
    const bool past = celt > 1 || m_pos + celt > 1;
    m_pos = past ? 2 : m_pos + celt;
    return past ? S_FALSE : S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXEnum::Reset() noexcept
{
    m_pos = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXEnum::Clone(IEnumUnknown** ppenum) noexcept
{
    if (ppenum != nullptr) *ppenum = nullptr;
    return E_NOTIMPL;
}

}  // namespace SkinUI
