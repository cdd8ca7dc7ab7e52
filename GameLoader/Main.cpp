// Process entry: log folder, one launcher per game, launch context, then the main window.
#include "Common.h"
#include "GameLoader.h"
#include "GameLoaderWnd.h"
#include "LauncherMessages.h"
#include "Logger.h"
#include "PortalPage.h"
#include "UIManager.h"
#include "UIResources.h"
#include "UIShadow.h"

#include <objbase.h>
#include <shlwapi.h>

#include <string>

namespace {

constexpr char kMutexName[] = "vemra2_main.exe";
// Created without WS_VISIBLE: a window made visible and hidden again at once would flash on the screen
// for a moment (at the screen's corner, before it is centred).
constexpr DWORD kMainWindowStyle = WS_OVERLAPPEDWINDOW;

HINSTANCE g_hInstance = nullptr;

std::wstring PrepareLogFolder()
{
    std::wstring folder = GetLocalAppDataPath() + L"\\" + kParentFolderName;
    if (!::PathFileExistsW(folder.c_str())) (void)::CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\Log";
    if (!::PathFileExistsW(folder.c_str())) (void)::CreateDirectoryW(folder.c_str(), nullptr);
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    return folder;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int)
{
    g_hInstance = hInstance;

    const std::wstring logFolder = PrepareLogFolder();
    Logger::initializePathDir(logFolder);
    VLOG(2, "wWinMain", L"Logger::initializePathDir:" + logFolder);

    const std::wstring title = AnsiToWide(kGameTitle);
    const std::wstring mutexName = AnsiToWide(kMutexName);

    // The handle stays open until the process ends: the named mutex marks the running launcher.
    HANDLE hMutex = ::CreateMutexW(nullptr, TRUE, mutexName.c_str());
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        VLOG(2, "wWinMain", L"CreateMutex ERROR_ALREADY_EXISTS:" + mutexName);
        HWND hRunning = ::FindWindowW(nullptr, title.c_str());
        if (::IsWindow(hRunning)) {
            VLOG(2, "wWinMain", L"FindWindow:" + title);
            // The running launcher may bring itself to the front although this process has the focus.
            DWORD runningProcess = 0;
            (void)::GetWindowThreadProcessId(hRunning, &runningProcess);
            (void)::AllowSetForegroundWindow(runningProcess);
            ::PostMessageW(hRunning, WM_SHOW_MAIN_WND, 0, 0);
        }
        (void)::ReleaseMutex(hMutex);  // not owned here; harmless
        return 0;
    }
    (void)::ReleaseMutex(hMutex);
    VLOG(2, "wWinMain", L"CreateMutex not ERROR_ALREADY_EXISTS:" + mutexName);

    std::wstring cmdJson;
    if (!ParseCmdParam(cmdJson)) {
        VLOG(0, "wWinMain", L"ParseCmdParam false");
        return 0;
    }

    // Started only to tell the parent client that the game has ended: no COM, no window.
    if (IsGameExit(cmdJson)) return 0;

    if (FAILED(::CoInitialize(nullptr))) {
        VLOG(0, "wWinMain", L"CoInitialize false");
        return 0;
    }

    SkinUI::CSkinResources::SetModule(hInstance);
    (void)SkinUI::CShadowUI::Initialize(hInstance);  // a shadow that cannot have its class simply never shows

    // Before the skin (and with it the browser) is built: the engine renders the portal in its current mode.
    (void)SetBrowserEmulation(ExecutableName());

    // The object deletes itself when its window is gone; its end posts the quit message.
    auto* mainWnd = new GameLoaderWnd(cmdJson);
    (void)mainWnd->Create(nullptr, title.c_str(), kMainWindowStyle, 0, 0, 0, 0, 0);
    const HWND hMainWnd = mainWnd->GetHWND();
    if (::IsWindow(hMainWnd)) {
        mainWnd->CenterWindow();
        ::ShowWindow(hMainWnd, SW_HIDE);  // shown once the portal page has loaded
        SkinUI::CUIManager::RunMessageLoop();
    } else if (GameLoaderWnd::LiveCount() > 0) {
        delete mainWnd;  // no window to end it, and no loop to run: a window that never was posts no quit
    }

    ::CoUninitialize();
    return 0;
}
