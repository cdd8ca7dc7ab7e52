#include "CustomMsgBox.h"

#include "UILabel.h"

#include <memory>

namespace {

// Shown once it is centred, so it never flashes at the screen's corner first.
constexpr DWORD kNoticeStyle = WS_OVERLAPPEDWINDOW;

}  // namespace

LRESULT CustomMsgBox::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCLBUTTONDBLCLK) return 0;  // the caption band never maximises the notice
    return WindowImplBase::OnWindowMessage(message, wParam, lParam);
}

void CustomMsgBox::InitWindow()
{
    m_pBtnClose = static_cast<SkinUI::CButtonUI*>(m_manager.FindControlByName(L"btnClose"));
    m_pBtnOk = static_cast<SkinUI::CButtonUI*>(m_manager.FindControlByName(L"btnOk"));
}

// The dialog's own WM_CLOSE goes first, so the modal loop ends before the owner's close is handled by the
// loop outside it.
void CustomMsgBox::OnControlClick(const SkinUI::UINotification& msg)
{
    const HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (msg.sender != nullptr && msg.sender == m_pBtnClose) {
        if (::IsWindow(m_hWnd)) ::PostMessageW(m_hWnd, WM_CLOSE, kClosedCross, 0);
        ::PostMessageW(hOwner, WM_CLOSE, 0, 0);
    } else if (msg.sender != nullptr && msg.sender == m_pBtnOk) {
        if (::IsWindow(m_hWnd)) ::PostMessageW(m_hWnd, WM_CLOSE, kClosedOk, 0);
        if (m_bCloseOwner) ::PostMessageW(hOwner, WM_CLOSE, 0, 0);
    }
}

int ShowNoticeBox(HWND hOwner, const std::wstring& text)
{
    auto dialog = std::make_unique<CustomMsgBox>();
    (void)dialog->Create(hOwner, L"CustomMsgBox", kNoticeStyle, 0, 0, 0, 0, 0);
    const HWND hDialog = dialog->GetHWND();
    if (!text.empty()) {
        // The layout names two labels "labelTip"; the lookup finds the later one, the message row.
        if (auto* label = dialog->Manager().FindControlByName(L"labelTip")) label->SetText(text);
    }
    dialog->CenterWindow();

    const HWND hDialogOwner = ::GetWindow(hDialog, GW_OWNER);
    ::ShowWindow(hDialog, SW_SHOWNORMAL);
    ::EnableWindow(hDialogOwner, FALSE);
    ::SendMessageW(hDialogOwner, SkinUI::WM_MODAL_DIALOG, 0, reinterpret_cast<LPARAM>(hDialog));

    int closeCode = CustomMsgBox::kClosedOther;
    bool quit = false;
    WPARAM quitCode = 0;
    MSG msg = {};
    while (::IsWindow(hDialog)) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            quitCode = msg.wParam;
            break;
        }
        if (got == -1) break;
        if (msg.message == WM_CLOSE && msg.hwnd == hDialog) {
            closeCode = static_cast<int>(msg.wParam);
            ::EnableWindow(hDialogOwner, TRUE);
            ::SetFocus(hDialogOwner);
        }
        if (!SkinUI::CUIManager::PreTranslate(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    ::EnableWindow(hDialogOwner, TRUE);
    ::SetFocus(hDialogOwner);
    // The object may not outlive its window's messages: a quit that ended the loop early takes the window.
    if (::IsWindow(hDialog)) ::DestroyWindow(hDialog);
    if (quit) ::PostQuitMessage(static_cast<int>(quitCode));
    return closeCode;
}
