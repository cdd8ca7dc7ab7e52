#include "CIeBrowserUI.h"

#include "Common.h"
#include "LauncherMessages.h"
#include "Logger.h"
#include "PageCommandQueue.h"
#include "PortalPage.h"

#include <json/json.h>
#include <shellapi.h>

#include <cwchar>

namespace {

// The command table. The source lines of the log records are fixed: readers of the log know them.
struct PageCommand {
    const char* name;
    const wchar_t* logMessage;
    int logLine;
    UINT message;
};

constexpr PageCommand kCommands[] = {
    {"min_wnd", L"min_wnd call", 28, WM_PAGE_MIN_WND},
    {"close_wnd", L"close_wnd call", 32, WM_PAGE_CLOSE_WND},
    {"open_game", L"open_game call", 36, WM_PAGE_OPEN_GAME},
    {"wnd_mousemove", L"wnd_mousemove call", 41, WM_PAGE_MOVE_WND},
};

constexpr HRESULT kServerNotFound = static_cast<HRESULT>(0x800C0005);  // INET_E_RESOURCE_NOT_FOUND

// The command name of a parsed text; empty when the root is no object or the member is no string.
std::string CommandName(const Json::Value& root)
{
    try {
        const Json::Value& member = root["funcation_name"];
        if (!member.isNull() && member.isString()) return member.asString();
    } catch (...) {
        // Looking up a member of an array or a number throws: such a text names no command.
    }
    return {};
}

}  // namespace

std::wstring CallCppFunc(HWND hMainWnd, const std::wstring& text, CPageCommandQueue* queue)
{
    const std::wstring reply = L"{}";
    try {
        const std::string narrow = WideToNarrow(text, CP_ACP);
        Json::Reader reader;
        Json::Value root;
        if (!reader.parse(narrow, root)) return reply;
        const std::string name = CommandName(root);
        for (const PageCommand& command : kCommands) {
            if (name != command.name) continue;
            VLOG_AT(0, command.logLine, "CallCppFunc", command.logMessage);
            WPARAM wParam = 0;
            if (command.message == WM_PAGE_OPEN_GAME) {
                if (queue == nullptr) break;
                wParam = queue->Push(narrow);
            }
            (void)::PostMessageW(hMainWnd, command.message, wParam, 0);  // fire and forget
            break;
        }
    } catch (...) {
        // Out of memory on the way: the page learns nothing, as for any text that names no command.
    }
    return reply;
}

CIeBrowserUI::CIeBrowserUI(HWND hMainWnd, CPageCommandQueue* queue) : m_hMainWnd(hMainWnd), m_pQueue(queue) {}

HRESULT STDMETHODCALLTYPE CIeBrowserUI::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                                      DISPID* rgDispId) noexcept
{
    if (rgszNames == nullptr || rgDispId == nullptr || cNames == 0) return E_INVALIDARG;
    if (rgszNames[0] == nullptr || std::wcscmp(rgszNames[0], L"g_callCppFunc") != 0)
        return CWebBrowserUI::GetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
    rgDispId[0] = kCallCppFuncId;
    for (UINT i = 1; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;  // the method has no named parameters
    return cNames == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE CIeBrowserUI::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                               DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                               UINT* puArgErr) noexcept
{
    // Any other id is a browser event; a call without exactly one argument is no call of the method.
    if (dispIdMember != kCallCppFuncId || riid != IID_NULL || pDispParams == nullptr || pDispParams->cArgs != 1)
        return CWebBrowserUI::Invoke(dispIdMember, riid, lcid, wFlags, pDispParams, pVarResult, pExcepInfo,
                                     puArgErr);
    try {
        return CallFromPage(pDispParams, pVarResult, puArgErr);
    } catch (...) {
        return E_UNEXPECTED;  // nothing may escape into the engine
    }
}

HRESULT CIeBrowserUI::CallFromPage(DISPPARAMS* pDispParams, VARIANT* pVarResult, UINT* puArgErr)
{
    std::wstring text;
    if (pDispParams->rgvarg != nullptr) {
        SkinUI::CScopedVariant arg;
        HRESULT hr = ::VariantCopyInd(arg.Get(), &pDispParams->rgvarg[0]);
        if (SUCCEEDED(hr) && arg.Ref().vt != VT_BSTR) hr = ::VariantChangeType(arg.Get(), arg.Get(), 0, VT_BSTR);
        if (FAILED(hr)) {
            // An argument that has no text (an object without a value, say): the call fails, nothing runs.
            if (puArgErr != nullptr) *puArgErr = 0;
            return DISP_E_TYPEMISMATCH;
        }
        if (arg.Ref().bstrVal != nullptr) text.assign(arg.Ref().bstrVal, ::SysStringLen(arg.Ref().bstrVal));
    }

    std::wstring reply = L"{}";
    const std::wstring page = CurrentPage();
    if (IsPortalAddress(page))
        reply = CallCppFunc(m_hMainWnd, text, m_pQueue);
    else
        VLOG(0, "CIeBrowserUI::Invoke", L"g_callCppFunc refused, the page is not the portal's: " + page);

    if (pVarResult != nullptr) {
        (void)::VariantClear(pVarResult);
        pVarResult->vt = VT_BSTR;
        pVarResult->bstrVal = ::SysAllocStringLen(reply.data(), static_cast<UINT>(reply.size()));
    }
    return S_OK;
}

// The address of the top-level document, as the engine reports it.
std::wstring CIeBrowserUI::CurrentPage() const
{
    if (!m_webBrowser) return {};
    BSTR location = nullptr;
    if (FAILED(m_webBrowser->get_LocationURL(&location)) || location == nullptr) return {};
    std::wstring page(location, ::SysStringLen(location));
    ::SysFreeString(location);
    return page;
}

void CWebBrowserEvent::NavigateError(IDispatch*, VARIANT*, VARIANT*, VARIANT* statusCode, VARIANT_BOOL*)
{
    const VARIANT* status = statusCode;
    if (status != nullptr && status->vt == (VT_VARIANT | VT_BYREF)) status = status->pvarVal;
    if (status == nullptr || status->vt != VT_I4 || status->lVal != kServerNotFound) return;
    m_bNavigateError = true;
    (void)::PostMessageW(m_hMainWnd, WM_PAGE_NET_ERROR, 0, 0);
}

void CWebBrowserEvent::DocumentComplete(IDispatch*, VARIANT*)
{
    if (!m_bNavigateError) (void)::PostMessageW(m_hMainWnd, WM_PAGE_LOADED, 0, 0);
}

void CWebBrowserEvent::NewWindow3(IDispatch**, VARIANT_BOOL* cancel, DWORD, BSTR, BSTR url)
{
    if (cancel != nullptr) *cancel = VARIANT_TRUE;  // the launcher never opens a browser window of its own
    const std::wstring target = url != nullptr ? std::wstring(url, ::SysStringLen(url)) : std::wstring();
    if (!IsWebAddress(target)) {
        VLOG(0, "CWebBrowserEvent::NewWindow3", L"new window refused, not a web address: " + target);
        return;
    }
    VLOG(2, "CWebBrowserEvent::NewWindow3", L"new window opened in the default browser: " + target);
    (void)::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);  // not examined
}
