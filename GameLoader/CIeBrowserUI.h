// The portal page's only way to act on the launcher: the browser control whose external object answers
// "g_callCppFunc", the command dispatcher behind it, and the sink that turns page events into messages of
// the main window. Nothing here acts itself; every effect is a message posted to the main window.
#pragma once

#include "UIWebBrowser.h"

#include <windows.h>

#include <string>

class CPageCommandQueue;

// The dispatch id of the page's method window.external.g_callCppFunc.
inline constexpr DISPID kCallCppFuncId = 1000;

// Runs one page command (a JSON text whose member "funcation_name" names it): logs it and posts its message
// to hMainWnd. The whole text of an "open_game" command goes into the queue, and the message carries the
// number the queue returns (with no queue, nothing is posted for it). The reply is always "{}".
std::wstring CallCppFunc(HWND hMainWnd, const std::wstring& text, CPageCommandQueue* queue);

// The skin element "IeBrowser".
class CIeBrowserUI : public SkinUI::CWebBrowserUI {
public:
    // hMainWnd receives the page's commands; queue (not owned, may be null) carries "open_game" texts.
    CIeBrowserUI(HWND hMainWnd, CPageCommandQueue* queue);

    HWND GetMainWnd() const { return m_hMainWnd; }
    // The queue's owner is going: from now on "open_game" texts have nowhere to go and post nothing.
    void ForgetQueue() { m_pQueue = nullptr; }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                            DISPID* rgDispId) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                     UINT* puArgErr) noexcept override;

private:
    HRESULT CallFromPage(DISPPARAMS* pDispParams, VARIANT* pVarResult, UINT* puArgErr);
    std::wstring CurrentPage() const;

    const HWND m_hMainWnd;
    CPageCommandQueue* m_pQueue;
};

// The main window's page event sink: a server that was not found, every finished document, new windows.
class CWebBrowserEvent : public SkinUI::CWebBrowserEventHandler {
public:
    explicit CWebBrowserEvent(HWND hMainWnd) : m_hMainWnd(hMainWnd) {}

    // Status 0x800C0005 (server not found) posts 1137 and from then on silences DocumentComplete.
    void NavigateError(IDispatch* pDisp, VARIANT* url, VARIANT* targetFrameName, VARIANT* statusCode,
                       VARIANT_BOOL* cancel) override;
    // 1128 for every finished document, frames included, unless a server was not found before.
    void DocumentComplete(IDispatch* pDisp, VARIANT* url) override;
    // Always cancelled; an http or https address goes to the default browser, anything else is refused.
    void NewWindow3(IDispatch** ppDisp, VARIANT_BOOL* cancel, DWORD flags, BSTR urlContext, BSTR url) override;

    bool HasNavigateError() const { return m_bNavigateError; }

private:
    HWND m_hMainWnd;
    bool m_bNavigateError = false;
};
