// The skinned notice: a small modal dialog with one line of text, an OK button and a close cross.
#pragma once

#include "UIWindow.h"

namespace SkinUI {
class CButtonUI;
}

class CustomMsgBox : public SkinUI::WindowImplBase {
public:
    // Close codes: the wParam of the WM_CLOSE that ended the dialog.
    enum : int { kClosedOther = 0, kClosedOk = 1, kClosedCross = 8 };

    CustomMsgBox() = default;
    ~CustomMsgBox() override = default;

    const wchar_t* GetWindowClassName() const override { return L"CustomMsgBoxClass"; }
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void InitWindow() override;
    void OnControlClick(const SkinUI::UINotification& msg) override;
    std::wstring GetSkinFolder() override { return std::wstring(); }
    std::wstring GetSkinFile() override { return L"CustomMsgBox.xml"; }
    int GetSkinSourceKind() const override { return SkinUI::kSkinArchiveResource; }
    std::wstring GetSkinResourceId() const override { return L"130"; }

    bool m_bCloseOwner = true;

private:
    SkinUI::CButtonUI* m_pBtnClose = nullptr;
    SkinUI::CButtonUI* m_pBtnOk = nullptr;
};

// Shows the notice over the owner, which stays disabled until the notice is gone, and returns the close code.
int ShowNoticeBox(HWND hOwner, const std::wstring& text);
