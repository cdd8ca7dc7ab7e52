// A skinned window for the shadow tests: one of the launcher's layouts from the skin archive inside
// vemra2_main.exe, or a layout given as markup text that draws its images from the same archive.
#pragma once

#include "TestSupport.h"
#include "UIControl.h"
#include "UIResources.h"
#include "UIShadow.h"
#include "UIWindow.h"

#include <ostream>
#include <string>
#include <utility>

// Rectangles compared and printed whole in expectations.
inline bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline void PrintTo(const RECT& rc, std::ostream* os)
{
    *os << "(" << rc.left << ", " << rc.top << ", " << rc.right << ", " << rc.bottom << ")";
}

namespace shadowtest {

// Makes the launcher's skin archive the source of skin files and registers the shadow window class.
inline bool UseLauncherSkin()
{
    static HMODULE hLauncher = ::LoadLibraryExW(test::LauncherPath().c_str(), nullptr,
                                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!hLauncher) return false;
    SkinUI::CSkinResources::SetResourceModule(hLauncher);
    HRSRC hRes = ::FindResourceW(hLauncher, MAKEINTRESOURCEW(130), L"ZIPRES");
    HGLOBAL hData = hRes ? ::LoadResource(hLauncher, hRes) : nullptr;
    const void* bytes = hData ? ::LockResource(hData) : nullptr;
    if (!bytes) return false;
    if (SkinUI::CSkinResources::GetArchiveName() != SkinUI::CSkinResources::kMemoryArchiveName &&
        !SkinUI::CSkinResources::UseArchiveInMemory(bytes, ::SizeofResource(hLauncher, hRes)))
        return false;
    return SkinUI::CShadowUI::Initialize(::GetModuleHandleW(nullptr));
}

class ShadowedWnd : public SkinUI::WindowImplBase {
public:
    // A skin file of the archive ("GameLoader.xml") or markup text ("<Window ...>").
    explicit ShadowedWnd(std::wstring skin) : m_skin(std::move(skin)) {}
    ~ShadowedWnd() override
    {
        if (m_hWnd) ::DestroyWindow(m_hWnd);
    }
    const wchar_t* GetWindowClassName() const override { return L"VemraShadowTestWnd"; }
    std::wstring GetSkinFolder() override { return std::wstring(); }
    std::wstring GetSkinFile() override { return m_skin; }
    int GetSkinSourceKind() const override
    {
        return m_skin.rfind(L"<", 0) == 0 ? SkinUI::kSkinFiles : SkinUI::kSkinArchiveResource;
    }
    std::wstring GetSkinResourceId() const override { return L"130"; }
    SkinUI::CControlUI* CreateCustomControl(const wchar_t* elementName) override
    {
        return ::lstrcmpiW(elementName, L"IeBrowser") == 0 ? new SkinUI::CControlUI : nullptr;
    }

    // Created hidden, then placed at (x, y) (the window base puts a new window at the origin); the skin
    // gives the size.
    HWND Open(int x, int y, DWORD style = WS_POPUP)
    {
        if (!Create(nullptr, L"shadow test", style, WS_EX_TOOLWINDOW, 0, 0, 0, 0)) return nullptr;
        ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return m_hWnd;
    }
    SkinUI::CShadowUI& Shadow() { return *m_manager.GetShadow(); }
    HWND ShadowWindow() { return Shadow().GetShadowWindow(); }
    RECT WindowRect() const
    {
        RECT rc{};
        ::GetWindowRect(m_hWnd, &rc);
        return rc;
    }
    RECT ShadowRect()
    {
        RECT rc{};
        ::GetWindowRect(ShadowWindow(), &rc);
        return rc;
    }

private:
    std::wstring m_skin;
};

}  // namespace shadowtest
