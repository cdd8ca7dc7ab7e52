// The module: class factory, object count, window classes and the record file.
#include "FakeBrowser.h"

#include "ToolText.h"
#include "UIComPtr.h"
#include "UIHandle.h"

#include <cstdio>
#include <new>

namespace fakebrowser {

// {6B1E3C52-8F0A-4D7B-9C1E-2A5F3D4B7C60}
const CLSID CLSID_FakeBrowserPrivate = {0x6b1e3c52, 0x8f0a, 0x4d7b, {0x9c, 0x1e, 0x2a, 0x5f, 0x3d, 0x4b, 0x7c, 0x60}};

namespace {

HINSTANCE g_hInstance = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;
bool g_viewClass = false;
bool g_pumpClass = false;

constexpr wchar_t kViewClass[] = L"VemraFakeBrowserView";
constexpr wchar_t kPumpClass[] = L"VemraFakeBrowserPump";

std::wstring Env(const wchar_t* name)
{
    wchar_t buffer[4096];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, static_cast<DWORD>(std::size(buffer)));
    return (n == 0 || n >= std::size(buffer)) ? std::wstring() : std::wstring(buffer, n);
}

CFakeBrowser* BrowserOf(HWND hWnd, UINT message, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<CFakeBrowser*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        return self;
    }
    return reinterpret_cast<CFakeBrowser*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
}

LRESULT CALLBACK ViewProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CFakeBrowser* self = BrowserOf(hWnd, message, lParam);
    if (message == WM_NCDESTROY) ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
    if (self == nullptr || message == WM_NCDESTROY) return ::DefWindowProcW(hWnd, message, wParam, lParam);
    return self->OnViewMessage(hWnd, message, wParam, lParam);
}

LRESULT CALLBACK PumpProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CFakeBrowser* self = BrowserOf(hWnd, message, lParam);
    if (message == WM_NCDESTROY) ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
    if (self == nullptr || message == WM_NCDESTROY) return ::DefWindowProcW(hWnd, message, wParam, lParam);
    return self->OnPumpMessage(hWnd, message, wParam, lParam);
}

bool RegisterOnce(bool& done, const wchar_t* name, WNDPROC proc)
{
    if (done) return true;
    WNDCLASSW wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = g_hInstance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    done = ::RegisterClassW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return done;
}

class CFactory final : public IClassFactory {
public:
    explicit CFactory(const CLSID& clsid) : m_clsid(clsid) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override
    {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
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
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) noexcept override
    {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (pOuter != nullptr) return CLASS_E_NOAGGREGATION;
        const ComPtr<CFakeBrowser> browser = SkinUI::AdoptComPtr(new (std::nothrow) CFakeBrowser(m_clsid));
        if (!browser) return E_OUTOFMEMORY;
        return browser->QueryInterface(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(WINBOOL fLock) noexcept override
    {
        if (fLock)
            ::InterlockedIncrement(&g_locks);
        else
            ::InterlockedDecrement(&g_locks);
        return S_OK;
    }

private:
    ~CFactory() = default;
    ULONG m_refs = 1;
    CLSID m_clsid;
};

}  // namespace

HINSTANCE ModuleInstance() { return g_hInstance; }
void ObjectCreated() { ::InterlockedIncrement(&g_objects); }
void ObjectDestroyed() { ::InterlockedDecrement(&g_objects); }

const wchar_t* ViewClassName() { return RegisterOnce(g_viewClass, kViewClass, &ViewProc) ? kViewClass : nullptr; }
const wchar_t* PumpClassName() { return RegisterOnce(g_pumpClass, kPumpClass, &PumpProc) ? kPumpClass : nullptr; }

void Record(const std::wstring& line)
{
    const std::wstring path = Env(L"VEMRA_FAKE_BROWSER_LOG");
    if (path.empty()) return;
    const std::string bytes = tooltext::ToUtf8(line) + "\r\n";
    // One append per record, so that several processes writing one file never mix their lines.
    SkinUI::CUniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring Field(const std::wstring& value)
{
    std::wstring out;
    for (wchar_t c : value) {
        switch (c) {
        case L'%': out += L"%25"; break;
        case L' ': out += L"%20"; break;
        case L'\r': out += L"%0D"; break;
        case L'\n': out += L"%0A"; break;
        default: out += c; break;
        }
    }
    return out;
}

std::wstring Hex(unsigned long value)
{
    wchar_t text[16];
    std::swprintf(text, std::size(text), L"0x%08lX", value);
    return text;
}

std::wstring RectText(const RECT& rc)
{
    return std::to_wstring(rc.left) + L"," + std::to_wstring(rc.top) + L"," + std::to_wstring(rc.right) + L"," +
           std::to_wstring(rc.bottom);
}

std::wstring HandleText(HWND hWnd) { return std::to_wstring(reinterpret_cast<ULONG_PTR>(hWnd)); }

}  // namespace fakebrowser

using fakebrowser::ComPtr;

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        fakebrowser::g_hInstance = hInstance;
        ::DisableThreadLibraryCalls(hInstance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded while the process goes on: a class left behind would point at code that is gone.
        if (fakebrowser::g_viewClass) ::UnregisterClassW(fakebrowser::kViewClass, hInstance);
        if (fakebrowser::g_pumpClass) ::UnregisterClassW(fakebrowser::kPumpClass, hInstance);
        fakebrowser::g_viewClass = fakebrowser::g_pumpClass = false;
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (rclsid != CLSID_WebBrowser && rclsid != fakebrowser::CLSID_FakeBrowserPrivate)
        return CLASS_E_CLASSNOTAVAILABLE;
    const ComPtr<IClassFactory> factory =
        SkinUI::AdoptComPtr<IClassFactory>(new (std::nothrow) fakebrowser::CFactory(rclsid));
    if (!factory) return E_OUTOFMEMORY;
    return factory->QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return fakebrowser::g_objects == 0 && fakebrowser::g_locks == 0 ? S_OK : S_FALSE;
}
