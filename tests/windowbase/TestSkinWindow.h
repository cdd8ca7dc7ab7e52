// A skinned test window over the test layouts in bin\testskin (loose files) or the test executable's
// own skin archive resource (id 130).
#pragma once

#include "UIControl.h"
#include "UIWindow.h"

#include <string>
#include <vector>

class TestSkinWnd : public SkinUI::WindowImplBase {
public:
    TestSkinWnd(std::wstring skinFile, int sourceKind) : m_skinFile(std::move(skinFile)), m_kind(sourceKind) {}

    const wchar_t* GetWindowClassName() const override { return L"VemraTestSkinWnd"; }
    std::wstring GetSkinFolder() override { return L"testskin"; }
    std::wstring GetSkinFile() override { return m_skinFile; }
    int GetSkinSourceKind() const override { return m_kind; }
    std::wstring GetSkinResourceId() const override { return L"130"; }

    void InitWindow() override { ++initCount; }
    void Notify(const SkinUI::UINotification& msg) override
    {
        notifications.push_back(msg.type);
        WindowImplBase::Notify(msg);
    }
    void OnControlClick(const SkinUI::UINotification& msg) override
    {
        clicks.push_back(msg.sender ? msg.sender->GetName() : std::wstring());
        WindowImplBase::OnControlClick(msg);
    }
    void OnOkClick(const SkinUI::UINotification&) { ++okClicks; }
    bool RespondDefaultKey(WPARAM virtualKey) override
    {
        defaultKeys.push_back(virtualKey);
        return WindowImplBase::RespondDefaultKey(virtualKey);
    }
    LRESULT OnClose(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override
    {
        closeCodes.push_back(wParam);
        return WindowImplBase::OnClose(message, wParam, lParam, handled);
    }
    LRESULT OnLauncherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override
    {
        if (message == WM_MOVE) {
            RECT rc;
            ::GetWindowRect(m_hWnd, &rc);
            moves.push_back(rc);
        }
        return WindowImplBase::OnLauncherMessage(message, wParam, lParam, handled);
    }

    int CountOf(const std::wstring& type) const
    {
        int n = 0;
        for (const auto& t : notifications) n += (t == type);
        return n;
    }

    int initCount = 0;
    int okClicks = 0;
    std::vector<std::wstring> notifications;
    std::vector<std::wstring> clicks;
    std::vector<WPARAM> closeCodes;
    std::vector<WPARAM> defaultKeys;
    std::vector<RECT> moves;

private:
    std::wstring m_skinFile;
    int m_kind;

    SKINUI_DECLARE_NOTIFY_MAP()
};
