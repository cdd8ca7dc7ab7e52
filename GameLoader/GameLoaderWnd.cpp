#include "GameLoaderWnd.h"

#include "ArgQuote.h"
#include "CIeBrowserUI.h"
#include "Common.h"
#include "CustomMsgBox.h"
#include "GameLoader.h"
#include "LauncherMessages.h"
#include "Logger.h"
#include "PortalPage.h"
#include "UIContainer.h"
#include "UIHandle.h"
#include "UILabel.h"

#include <json/json.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <wininet.h>

#include <cctype>
#include <cstring>
#include <exception>
#include <future>

using SkinUI::CUniqueHkey;
using SkinUI::CUniqueHmenu;

namespace {

constexpr wchar_t kUninstallRoot[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr UINT kExitMenuCommand = 16;
constexpr UINT kTipIntervalMs = 500;
constexpr int kDownloadPage = 1;
constexpr UINT_PTR kPageLoadTimer = WM_USER + 114;
constexpr UINT kDefaultPageLoadTimeoutMs = 30000;
// WinINet's process-wide behaviour switch that keeps no cookie on disk (not every header names it).
constexpr DWORD kSuppressCookiePersist = 3;

int s_nTipStep = 0;
int s_nLiveObjects = 0;

// Download page backgrounds of the games that have one.
const struct {
    const char* gameCode;
    const wchar_t* image;
} kDownloadBackgrounds[] = {
    {"rho", L"rho_download_bk.jpg"},
    {"mesk", L"mesk_download_bk.jpg"},
    {"dutz", L"dutz_download_bk.jpg"},
};

// The first character upper-cased when it is an ASCII letter a to z.
std::wstring UpperFirstAscii(std::wstring text)
{
    if (!text.empty() && text[0] >= L'a' && text[0] <= L'z') text[0] = static_cast<wchar_t>(text[0] - L'a' + L'A');
    return text;
}

// A member that is present and a string, as wide text.
bool ReadStringMember(const Json::Value& root, const char* name, std::wstring& out)
{
    const Json::Value& value = root[name];
    if (value.isNull() || !value.isString()) return false;
    out = AnsiToWide(value.asCString());
    return true;
}

std::wstring WithoutLineEnd(std::wstring text)
{
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}

}  // namespace

std::wstring QuoteGameValue(const std::wstring& value)
{
    return value.empty() ? value : QuoteCommandArg(value);
}

std::wstring BuildGameParameters(const GameStartValues& values)
{
    std::wstring parameters = L"--source=" + QuoteGameValue(values.source);
    const std::pair<const wchar_t*, const std::wstring*> parts[] = {
        {L" --tokenLogin=", &values.tokenLogin}, {L" --token=", &values.token},
        {L" --ocext=", &values.ocext},           {L" --winid=", &values.gameMgrId},
        {L" --typeMode=", &values.typeMode},
    };
    for (const auto& [name, value] : parts)
        if (!value->empty()) parameters += name + QuoteGameValue(*value);
    return parameters;
}

std::vector<std::pair<std::wstring, std::wstring>> UninstallEntryValues(const std::wstring& installDir,
                                                                        const std::wstring& gameCode)
{
    return {
        {L"DisplayVersion", kLauncherVersion},
        {L"DisplayIcon", installDir + L"\\" + gameCode + L"_main.exe"},
        {L"DisplayName", AnsiToWide(kGameTitle)},
        {L"Publisher", L""},
        {L"UninstallString", installDir + L"\\" + UpperFirstAscii(gameCode) + L"GameLauncherUninst.exe"},
    };
}

// ---- construction and end ------------------------------------------------------------------------------

SKINUI_BEGIN_NOTIFY_MAP(GameLoaderWnd, CNotifyPump)
SKINUI_NOTIFY_ON(L"click", &GameLoaderWnd::OnControlClick)
SKINUI_NOTIFY_ON(L"textchanged", &GameLoaderWnd::OnTextChanged)
SKINUI_NOTIFY_ON(L"return", &GameLoaderWnd::OnReturn)
SKINUI_END_NOTIFY_MAP()

GameLoaderWnd::GameLoaderWnd(std::wstring cmdJson) : m_strCmdJson(std::move(cmdJson))
{
    ++s_nLiveObjects;
}

GameLoaderWnd::~GameLoaderWnd()
{
    ::PostQuitMessage(0);
    // The control tree, and with it the browser, outlives this object's own members (the window base's
    // manager owns it): a page closing down must reach neither the event sink nor the queue after them.
    if (m_pBrowser) {
        m_pBrowser->SetEventHandler(nullptr);
        m_pBrowser->ForgetQueue();
    }
    --s_nLiveObjects;
}

UINT GameLoaderWnd::PageLoadTimeoutMs()
{
    wchar_t value[16] = {};
    const DWORD n = ::GetEnvironmentVariableW(kPageTimeoutVariable, value, 16);
    const int ms = (n > 0 && n < 16) ? _wtoi(value) : 0;
    return ms > 0 ? static_cast<UINT>(ms) : kDefaultPageLoadTimeoutMs;
}

int GameLoaderWnd::LiveCount()
{
    return s_nLiveObjects;
}

LRESULT GameLoaderWnd::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    ++m_nHandlersRunning;
    LRESULT result = 0;
    if (message == WM_NCLBUTTONDBLCLK) {
        result = 0;  // a double click on the caption neither maximises nor restores
    } else {
        if (message == WM_TRAY_CALLBACK) {
            OnTrayCallback(lParam);
        } else if (message == WM_TIMER && wParam == TIMER_TIP_ANIMATION) {
            AdvanceTip();
        } else if (message == WM_TIMER && wParam == kPageLoadTimer) {
            OnPageLoadTimeout();
        }
        result = WindowImplBase::OnWindowMessage(message, wParam, lParam);
    }
    // A modal loop inside the handler may have destroyed the window; the object goes now, not earlier.
    if (--m_nHandlersRunning == 0 && m_bFinalDone) delete this;
    return result;
}

void GameLoaderWnd::OnWindowFinal(HWND hWnd)
{
    WindowImplBase::OnWindowFinal(hWnd);
    if (m_nHandlersRunning == 0)
        delete this;
    else
        m_bFinalDone = true;
}

SkinUI::CControlUI* GameLoaderWnd::CreateCustomControl(const wchar_t* elementName)
{
    if (::lstrcmpiW(elementName, L"IeBrowser") != 0) return nullptr;
    return new CIeBrowserUI(m_hWnd, &m_pageCommands);  // the control tree owns it
}

// ---- start-up ------------------------------------------------------------------------------------------

void GameLoaderWnd::InitWindow()
{
    const HICON hIcon = ::LoadIconW(SkinUI::ToolkitInstance(), MAKEINTRESOURCEW(107));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));

    m_pWebEvent = std::make_unique<CWebBrowserEvent>(m_hWnd);
    m_pBrowser = dynamic_cast<CIeBrowserUI*>(m_manager.FindControlByName(L"ie"));
    m_pWizardTab = static_cast<SkinUI::CTabLayoutUI*>(m_manager.FindControlByName(L"wizardTab"));
    m_pProgress = static_cast<SkinUI::CProgressUI*>(m_manager.FindControlByName(L"progress"));
    m_pProgTip = static_cast<SkinUI::CLabelUI*>(m_manager.FindControlByName(L"progTip"));
    m_pDownloadLayout = m_manager.FindControlByName(L"vLayoutDownload");

    for (const auto& entry : kDownloadBackgrounds) {
        if (std::strcmp(kGameCode, entry.gameCode) == 0 && m_pDownloadLayout)
            m_pDownloadLayout->ApplyAttribute(L"bkimage", entry.image);
    }

    m_strInstallDir = GetProgramFilesX86Dir() + L"\\" + AnsiToWide(kGameCode);
    m_strGameCode = AnsiToWide(kGameCode);
    ResolveGameExePath();
    (void)ParseCmdJson();  // an unreadable context leaves the launch values empty; start-up goes on

    if (m_strTypeMode == L"1" && !m_strGameMgrId.empty()) PostToGameManager(WM_LAUNCHER_STARTED);
    (void)WriteLoginSource(GetSettingPath(), m_strSource);
    VLOG(2, "GameLoaderWnd::InitWindow", L"m_nGameInstalled is " + std::to_wstring(m_nGameInstalled));
    if (m_nGameInstalled == 1) {
        // No persistent cookies for the rest of the process.
        DWORD suppress = kSuppressCookiePersist;
        (void)::InternetSetOptionW(nullptr, INTERNET_OPTION_SUPPRESS_BEHAVIOR, &suppress, sizeof suppress);
    }
    m_strFileParam = GetBagFileParam(m_strGameCode);
    VLOG(2, "GameLoaderWnd::InitWindow", L"GetBagFileParam fileparam=" + m_strFileParam);
    if (m_pWizardTab) (void)m_pWizardTab->SelectPage(0);

    if (m_strTokenLogin == L"1")
        LoadGame();
    else
        LoadWeb();
}

bool GameLoaderWnd::ParseCmdJson()
{
    if (m_strCmdJson.empty()) {
        VLOG(2, "GameLoaderWnd::ParseCmdJson", L"m_strCmdJson is empty");
        return false;
    }
    VLOG(2, "GameLoaderWnd::ParseCmdJson", L"m_strCmdJson is:" + WithoutLineEnd(m_strCmdJson));
    try {
        Json::Reader reader;
        Json::Value root;
        if (!reader.parse(WideToNarrow(m_strCmdJson, CP_ACP), root)) {
            VLOG(0, "GameLoaderWnd::ParseCmdJson", L"reader.parse:" + WithoutLineEnd(m_strCmdJson) + L" false");
            return false;
        }
        if (ReadStringMember(root, "winid", m_strWinId)) (void)WriteWindowId(GetSettingPath(), m_strWinId);
        (void)ReadStringMember(root, "source", m_strSource);
        (void)ReadStringMember(root, "tokenLogin", m_strTokenLogin);
        (void)ReadStringMember(root, "token", m_strToken);
        (void)ReadStringMember(root, "ocext", m_strOcExt);
        const Json::Value& installed = root["installed"];
        if (!installed.isNull() && installed.isString()) m_nGameInstalled = std::atoi(installed.asCString());
        (void)ReadStringMember(root, "gameMgrId", m_strGameMgrId);
        (void)ReadStringMember(root, "typeMode", m_strTypeMode);
    } catch (...) {
        // A root that is no object has no members; what was read so far stays.
    }
    return true;
}

void GameLoaderWnd::LoadWeb()
{
    VLOG(2, "GameLoaderWnd::LoadWeb", L"GameLoaderWnd LoadWeb");
    if (!m_pBrowser) return;
    if (m_pWebEvent && m_pBrowser->GetEventHandler() != m_pWebEvent.get()) m_pBrowser->SetEventHandler(m_pWebEvent.get());
    // No script-error boxes and no dialogs of the engine's own.
    if (auto browser = m_pBrowser->QueryHostedObject<IWebBrowser2>()) (void)browser->put_Silent(1);
    VLOG(2, "GameLoaderWnd::LoadWeb", L"fileparam=" + m_strFileParam);
    const std::wstring address =
        ComposePortalAddress(PortalBaseAddress(), m_strFileParam, m_strToken, m_strSource, m_strOcExt, m_strTokenLogin);
    (void)m_pBrowser->NavigateTo(address);
    m_pBrowser->SetVisible(false);
    // A page that never finishes would leave the launcher invisible for good, holding the one-instance lock.
    ::SetTimer(m_hWnd, kPageLoadTimer, PageLoadTimeoutMs(), nullptr);
}

void GameLoaderWnd::OnOpenGame(WPARAM number)
{
    std::string payload;
    if (!m_pageCommands.Take(number, payload)) return;  // no command of our page stands under this number
    try {
        Json::Reader reader;
        Json::Value root;
        if (!reader.parse(payload, root)) {
            VLOG(0, "GameLoaderWnd::OnOpenGame", L"reader.parse:" + AnsiToWide(payload) + L" false");
            return;
        }
        (void)ReadStringMember(root, "token", m_strToken);
        (void)ReadStringMember(root, "ocext", m_strOcExt);
    } catch (...) {
        // A root that is no object: the values from the command line stay in force.
    }
    LoadGame();
}

// ---- game start ----------------------------------------------------------------------------------------

GameStartValues GameLoaderWnd::StartValues() const
{
    return GameStartValues{m_strSource, m_strTokenLogin, m_strToken, m_strOcExt, m_strGameMgrId, m_strTypeMode};
}

void GameLoaderWnd::ResolveGameExePath()
{
    m_strGameExePath = GetGameInstallDir(m_strGameCode);
    if (m_strGameExePath.empty()) m_strGameExePath = GetModuleDir() + L"\\";
    m_strGameExePath += m_strGameCode + L".exe";
}

void GameLoaderWnd::PostToGameManager(UINT message)
{
    ::PostMessageW(WindowFromIdText(m_strGameMgrId), message, 0, 0);
}

void GameLoaderWnd::PostCloseToSelf()
{
    if (::IsWindow(m_hWnd)) ::PostMessageW(m_hWnd, WM_CLOSE, 1, 0);
}

void GameLoaderWnd::LoadGame()
{
    VLOG(2, "GameLoaderWnd::LoadGame", L"GameLoaderWnd LoadGame start");
    if (m_strToken.empty()) return;
    if (!::PathFileExistsW(m_strGameExePath.c_str())) {
        VLOG(2, "GameLoaderWnd::LoadGame", L"PathFileExists " + m_strGameExePath + L" not exists");
        PostToGameManager(WM_GAME_START_FAILED);
        PostCloseToSelf();
        return;
    }
    if (::IsWindow(m_hWnd)) ::ShowWindow(m_hWnd, SW_HIDE);
    const std::wstring parameters = BuildGameParameters(StartValues());
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.lpVerb = L"runas";  // elevated, with the system's consent prompt
    info.lpFile = m_strGameExePath.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&info)) PostToGameManager(WM_GAME_START_FAILED);
    PostCloseToSelf();
}

template <typename Show>
bool GameLoaderWnd::RunModal(const wchar_t* what, Show show)
{
    if (m_bModalOpen) {
        VLOG(2, "GameLoaderWnd::RunModal", std::wstring(what) + L" not shown: a notice is open");
        return false;
    }
    m_bModalOpen = true;
    show();
    m_bModalOpen = false;
    return true;
}

void GameLoaderWnd::OnNetworkState(WPARAM code)
{
    if (code != 0) {
        ::KillTimer(m_hWnd, TIMER_TIP_ANIMATION);
        (void)RunModal(L"网络异常", [this] { (void)ShowNoticeBox(m_hWnd, L"网络异常"); });
        return;
    }
    // The cleanup runs on a worker thread; this thread waits for it (the future's end waits for the task).
    try {
        (void)std::async(std::launch::async, CleanupGeneralProcess);
    } catch (const std::exception&) {
        CleanupGeneralProcess();  // no thread to be had: the same work on this thread
    }
}

// ---- install registration ------------------------------------------------------------------------------

void GameLoaderWnd::RegisterInstall()
{
    DeleteDesktopShortcut();
    CUniqueHkey uninstall;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kUninstallRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          uninstall.AddressOf(), nullptr) == ERROR_SUCCESS)
        (void)::SHDeleteKeyW(uninstall.Get(), m_strGameCode.c_str());
    uninstall.Reset();
    CreateDesktopShortcut();
    WriteUninstallEntry();
}

namespace {

std::wstring DesktopShortcutPath()
{
    return GetDesktopDir() + L"\\" + AnsiToWide(kGameTitle) + L".lnk";
}

}  // namespace

void GameLoaderWnd::DeleteDesktopShortcut()
{
    (void)::DeleteFileW(DesktopShortcutPath().c_str());
}

void GameLoaderWnd::CreateDesktopShortcut()
{
    const std::wstring linkPath = DesktopShortcutPath();
    const std::wstring targetPath = m_strInstallDir + L"\\" + m_strGameCode + L"_main.exe";
    if (m_strSource == L"OC") return;  // the parent client keeps its own entry point
    (void)CreateShortcut(linkPath, targetPath, targetPath);
}

void GameLoaderWnd::WriteUninstallEntry()
{
    CUniqueHkey key;
    const std::wstring path = std::wstring(kUninstallRoot) + L"\\" + m_strGameCode;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.AddressOf(),
                          nullptr) != ERROR_SUCCESS)
        return;
    const auto values = UninstallEntryValues(m_strInstallDir, m_strGameCode);
    for (size_t i = 0; i < values.size(); ++i) {
        const std::wstring& data = values[i].second;
        const LSTATUS status = ::RegSetValueExW(key.Get(), values[i].first.c_str(), 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(data.c_str()),
                                                static_cast<DWORD>(data.size() * sizeof(wchar_t)));
        // The last value's result does not matter; an earlier failure leaves the rest unwritten.
        if (status != ERROR_SUCCESS && i + 1 < values.size()) return;
    }
}

// ---- messages ------------------------------------------------------------------------------------------

void GameLoaderWnd::OnTrayCallback(LPARAM lParam)
{
    if (lParam != WM_RBUTTONDOWN || m_bModalOpen) return;
    POINT pt = {};
    ::GetCursorPos(&pt);
    ::SetForegroundWindow(m_hWnd);
    CUniqueHmenu menu(::CreatePopupMenu());
    if (!menu) return;
    ::AppendMenuW(menu.Get(), MF_STRING, kExitMenuCommand, L"退出");
    const UINT command = static_cast<UINT>(
        ::TrackPopupMenu(menu.Get(), TPM_RETURNCMD, pt.x, pt.y, 0, m_hWnd, nullptr));
    menu.Reset();
    if (command == kExitMenuCommand) OnBtnCloseClick();
}

void GameLoaderWnd::SetTip(const std::wstring& text)
{
    if (m_pProgTip) m_pProgTip->SetText(text);
}

void GameLoaderWnd::AdvanceTip()
{
    static const wchar_t* const kSteps[] = {L"正在下载游戏文件，请耐心等待.", L"正在下载游戏文件，请耐心等待..",
                                            L"正在下载游戏文件，请耐心等待..."};
    SetTip(kSteps[s_nTipStep]);
    s_nTipStep = (s_nTipStep + 1) % 3;
}

void GameLoaderWnd::OnDownloadProgress(WPARAM percent)
{
    // The parent's first report turns to the download page, so the player sees it.
    if (!m_bDownloadShown) {
        m_bDownloadShown = true;
        if (m_pWizardTab) (void)m_pWizardTab->SelectPage(kDownloadPage);
        ::SetTimer(m_hWnd, TIMER_TIP_ANIMATION, kTipIntervalMs, nullptr);
    }
    if (!m_pProgress) return;
    const int old = m_pProgress->GetValue();
    m_pProgress->SetValue(static_cast<int>(percent));
    if (old == 100) {
        ::KillTimer(m_hWnd, TIMER_TIP_ANIMATION);
        SetTip(L"正在释放文件");
    }
}

void GameLoaderWnd::OnUnpackResult(WPARAM result)
{
    if (result == 0) {
        ::KillTimer(m_hWnd, TIMER_TIP_ANIMATION);  // the download is over; its animation would hide the tip
        RegisterInstall();
        ResolveGameExePath();
        SetTip(L"正在启动游戏");
        LoadGame();
        // Without a token nothing was started: the portal page comes back, where the player starts the game.
        if (m_strToken.empty() && m_pWizardTab && ::IsWindow(m_hWnd)) (void)m_pWizardTab->SelectPage(0);
        return;
    }
    if (RunModal(L"释放文件出错", [this] { (void)ShowNoticeBox(m_hWnd, L"释放文件出错"); })) PostCloseToSelf();
}

void GameLoaderWnd::OnPageLoadTimeout()
{
    ::KillTimer(m_hWnd, kPageLoadTimer);
    VLOG(0, "GameLoaderWnd::OnPageLoadTimeout",
         L"no document completed in " + std::to_wstring(PageLoadTimeoutMs()) + L" ms");
    OnPageNetError();
}

void GameLoaderWnd::OnPageNetError()
{
    if (RunModal(L"网络连接异常", [this] { ::MessageBoxW(m_hWnd, L"网络连接异常", L"提示", MB_OK); }))
        OnBtnCloseClick();
}

// The system's move loop follows the mouse while its button is held; without a pressed button (a stray
// message) it would wait for one and keep the mouse captured.
void GameLoaderWnd::OnPageMoveWnd()
{
    const int button = ::GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    if (::GetAsyncKeyState(button) >= 0) return;
    ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
}

LRESULT GameLoaderWnd::OnLauncherMessage(UINT message, WPARAM wParam, LPARAM, bool&)
{
    switch (message) {
    case WM_PAGE_LOADED:
        ::KillTimer(m_hWnd, kPageLoadTimer);
        if (m_pBrowser) m_pBrowser->SetVisible(true);
        if (m_strToken == L"1") break;
        if (::IsWindow(m_hWnd)) {
            ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
            TopMainWnd();
        }
        break;
    case WM_PAGE_MIN_WND: ::ShowWindow(m_hWnd, SW_MINIMIZE); break;
    case WM_PAGE_CLOSE_WND: OnBtnCloseClick(); break;
    case WM_PAGE_OPEN_GAME: OnOpenGame(wParam); break;
    case WM_PAGE_MOVE_WND: OnPageMoveWnd(); break;
    case WM_SHOW_MAIN_WND: TopMainWnd(); break;
    case WM_UNPACK_RESULT: OnUnpackResult(wParam); break;
    case WM_NETWORK_STATE: OnNetworkState(wParam); break;
    case WM_DOWNLOAD_PROGRESS: OnDownloadProgress(wParam); break;
    case WM_PAGE_NET_ERROR: OnPageNetError(); break;
    default: break;
    }
    return 0;
}

void GameLoaderWnd::OnControlClick(const SkinUI::UINotification& msg)
{
    if (!msg.sender) return;
    const std::wstring name = msg.sender->GetName();
    if (name == L"btnClose")
        OnBtnCloseClick();
    else if (name == L"btnMin")
        ::ShowWindow(m_hWnd, SW_MINIMIZE);
}

LRESULT GameLoaderWnd::OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (wParam == SC_CLOSE) {
        VLOG(2, "GameLoaderWnd::OnSysCommand", L"点击任务栏关闭窗口");
        handled = true;
        OnBtnCloseClick();
        return 0;
    }
    return CallSavedProc(message, wParam, lParam);
}

void GameLoaderWnd::OnBtnCloseClick()
{
    if (m_strSource == L"OC" && !m_strWinId.empty()) {
        VLOG(2, "GameLoaderWnd::OnBtnCloseClick", L"GameLoaderWnd close wnd");
        SendParentNotice(m_strWinId);
    }
    PostCloseToSelf();
}

void GameLoaderWnd::TopMainWnd()
{
    VLOG(2, "GameLoaderWnd::TopMainWnd", L"OnShowMainWnd enter");
    if (::IsIconic(m_hWnd)) ::ShowWindow(m_hWnd, SW_RESTORE);
    const HWND hForeground = ::GetForegroundWindow();
    const DWORD ownThread = ::GetCurrentThreadId();
    const DWORD foregroundThread = ::GetWindowThreadProcessId(hForeground, nullptr);
    (void)::AttachThreadInput(foregroundThread, ownThread, TRUE);
    ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    (void)::AttachThreadInput(foregroundThread, ownThread, FALSE);
}
