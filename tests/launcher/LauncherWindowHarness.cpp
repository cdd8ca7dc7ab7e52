#include "LauncherWindowHarness.h"

#include "TestSupport.h"
#include "UIResources.h"
#include "WindowSearch.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <map>

namespace lwtest {

void UseLauncherSkin()
{
    static HMODULE s_hLauncher = nullptr;
    if (s_hLauncher) return;
    // The portal page of these windows starts but never finishes, so they stay as the tests make them.
    static const std::wstring s_page = test::MakeTempDir(L"stalled-page") + L"page.txt";
    test::WriteFileBytes(s_page, "before-navigate\nnavigate-complete\n");
    ::SetEnvironmentVariableW(L"VEMRA_FAKE_PAGE", s_page.c_str());
    s_hLauncher = ::LoadLibraryExW(test::LauncherPath().c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    SkinUI::CSkinResources::SetResourceModule(s_hLauncher);
}

MainWindow::MainWindow(const std::wstring& cmdJson)
{
    UseLauncherSkin();
    m_wnd = new GameLoaderWnd(cmdJson);  // deletes itself when its window is gone
    m_hWnd = m_wnd->Create(nullptr, L"Vemrakai2", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, 0);
    if (m_hWnd) {
        m_wnd->CenterWindow();
        ::ShowWindow(m_hWnd, SW_HIDE);
    }
    test::PumpFor(50);
}

MainWindow::~MainWindow()
{
    if (::IsWindow(m_hWnd)) ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    for (int i = 0; i < 200 && GameLoaderWnd::LiveCount() > 0; ++i) test::PumpFor(10);
    DrainQuit();
}

SkinUI::CProgressUI* MainWindow::Progress() const
{
    return static_cast<SkinUI::CProgressUI*>(m_wnd->Manager().FindControlByName(L"progress"));
}

SkinUI::CLabelUI* MainWindow::Tip() const
{
    return static_cast<SkinUI::CLabelUI*>(m_wnd->Manager().FindControlByName(L"progTip"));
}

SkinUI::CTabLayoutUI* MainWindow::Tab() const
{
    return static_cast<SkinUI::CTabLayoutUI*>(m_wnd->Manager().FindControlByName(L"wizardTab"));
}

namespace {

std::map<UINT_PTR, Repeating*>& Timers()
{
    static std::map<UINT_PTR, Repeating*> s_timers;
    return s_timers;
}

}  // namespace

Repeating::Repeating(UINT intervalMs, std::function<bool()> fn) : m_fn(std::move(fn))
{
    m_id = ::SetTimer(nullptr, 0, intervalMs, &Repeating::Tick);
    Timers()[m_id] = this;
}

Repeating::~Repeating()
{
    if (m_id) ::KillTimer(nullptr, m_id);
    Timers().erase(m_id);
}

void CALLBACK Repeating::Tick(HWND, UINT, UINT_PTR id, DWORD)
{
    const auto it = Timers().find(id);
    if (it == Timers().end()) return;
    Repeating* self = it->second;
    if (!self->m_fn()) {
        ::KillTimer(nullptr, id);
        self->m_id = 0;
        Timers().erase(id);
    }
}

HWND FindThreadWindow(const wchar_t* className)
{
    HWND found = nullptr;
    winsearch::ForEachThreadWindow(::GetCurrentThreadId(), [&](HWND hWnd) {
        wchar_t cls[64] = {};
        ::GetClassNameW(hWnd, cls, 64);
        if (std::wstring(cls) != className || !::IsWindowVisible(hWnd)) return true;
        found = hWnd;
        return false;
    });
    return found;
}

int CountThreadWindows(const wchar_t* className)
{
    int count = 0;
    winsearch::ForEachThreadWindow(::GetCurrentThreadId(), [&](HWND hWnd) {
        wchar_t cls[64] = {};
        ::GetClassNameW(hWnd, cls, 64);
        if (std::wstring(cls) == className) ++count;
        return true;
    });
    return count;
}

HWND FindNotice()
{
    return FindThreadWindow(L"CustomMsgBoxClass");
}

void ClickAt(HWND hWnd, int x, int y)
{
    const LPARAM at = MAKELPARAM(x, y);
    ::PostMessageW(hWnd, WM_MOUSEMOVE, 0, at);
    ::PostMessageW(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(hWnd, WM_LBUTTONUP, 0, at);
}

std::wstring DesktopShortcutPath()
{
    wchar_t desktop[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE);
    return std::wstring(desktop) + L"\\Vemrakai2.lnk";
}

void ClearInstallState()
{
    ::SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vemra2");
    ::DeleteFileW(DesktopShortcutPath().c_str());
}

void DrainQuit()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

}  // namespace lwtest
