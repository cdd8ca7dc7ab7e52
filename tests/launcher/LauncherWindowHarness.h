// The launcher's own windows built inside the test process, from the skin archive of the real executable,
// so that the tests can look at their controls and pixels directly.
#pragma once

#include "GameLoaderWnd.h"
#include "UIContainer.h"
#include "UILabel.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace lwtest {

// Makes the executable's skin archive the skin source of this process (once).
void UseLauncherSkin();

// A main window as the entry point creates it (hidden), for a launch context text.
class MainWindow {
public:
    explicit MainWindow(const std::wstring& cmdJson);
    ~MainWindow();  // closes the window if it still exists and waits for the object to go
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    GameLoaderWnd* operator->() const { return m_wnd; }
    HWND Hwnd() const { return m_hWnd; }
    bool Alive() const { return ::IsWindow(m_hWnd) != FALSE; }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }

    SkinUI::CProgressUI* Progress() const;
    SkinUI::CLabelUI* Tip() const;
    SkinUI::CTabLayoutUI* Tab() const;

private:
    GameLoaderWnd* m_wnd = nullptr;  // owned by its window
    HWND m_hWnd = nullptr;
};

// Runs fn from a thread timer every intervalMs while this thread dispatches messages (inside modal loops
// too), until fn returns false or the object ends.
class Repeating {
public:
    Repeating(UINT intervalMs, std::function<bool()> fn);
    ~Repeating();
    Repeating(const Repeating&) = delete;
    Repeating& operator=(const Repeating&) = delete;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
    UINT_PTR m_id = 0;
    std::function<bool()> m_fn;
};

// A visible window of this thread with the class, or none; how many of the class it has.
HWND FindThreadWindow(const wchar_t* className);
int CountThreadWindows(const wchar_t* className);
// The notice dialog of this process, if one is shown.
HWND FindNotice();
// Clicks at a point of a window's client area the way the mouse would (posted messages).
void ClickAt(HWND hWnd, int x, int y);
// Centres of the notice's buttons, in its client coordinates.
inline constexpr POINT kNoticeOk = {220, 224};
inline constexpr POINT kNoticeCross = {420, 20};

// Removes the game's uninstall entry and the desktop shortcut, as on a machine where it was never installed.
void ClearInstallState();
std::wstring DesktopShortcutPath();

// Drops the WM_QUIT that a main window's end posts to this thread.
void DrainQuit();

}  // namespace lwtest
