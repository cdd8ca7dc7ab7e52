// The launcher's main window: it holds the launch values, shows the portal page or starts the game at once,
// and reacts to the page, a second launcher, and the parent client's download and unpack reports.
#pragma once

#include "PageCommandQueue.h"
#include "UIWindow.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class CIeBrowserUI;
class CWebBrowserEvent;

namespace SkinUI {
class CLabelUI;
class CProgressUI;
class CTabLayoutUI;
class CVerticalLayoutUI;
}  // namespace SkinUI

// The game's launch values as the game start needs them.
struct GameStartValues {
    std::wstring source;
    std::wstring tokenLogin;
    std::wstring token;
    std::wstring ocext;
    std::wstring gameMgrId;
    std::wstring typeMode;
};

// "--source=" and the other values that are not empty, in the order the game reads them. A value holding
// white space or a double quote is quoted so that it stays one argument; every other value is kept as is.
std::wstring BuildGameParameters(const GameStartValues& values);
// One value as it goes onto the game's command line.
std::wstring QuoteGameValue(const std::wstring& value);

// The values of the game's uninstall entry, in the order they are written.
std::vector<std::pair<std::wstring, std::wstring>> UninstallEntryValues(const std::wstring& installDir,
                                                                        const std::wstring& gameCode);

class GameLoaderWnd : public SkinUI::WindowImplBase {
public:
    explicit GameLoaderWnd(std::wstring cmdJson);
    ~GameLoaderWnd() override;

    const wchar_t* GetWindowClassName() const override { return L"GameLoaderResClass"; }
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowFinal(HWND hWnd) override;
    void InitWindow() override;
    void OnControlClick(const SkinUI::UINotification& msg) override;
    std::wstring GetSkinFolder() override { return std::wstring(); }
    std::wstring GetSkinFile() override { return L"GameLoader.xml"; }
    int GetSkinSourceKind() const override { return SkinUI::kSkinArchiveResource; }
    std::wstring GetSkinResourceId() const override { return L"130"; }
    LRESULT OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    LRESULT OnLauncherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    SkinUI::CControlUI* CreateCustomControl(const wchar_t* elementName) override;

    // The launch context's values; false when the text is empty or no JSON.
    bool ParseCmdJson();
    void LoadWeb();
    void OnOpenGame(WPARAM number);
    void ResolveGameExePath();
    void LoadGame();
    void OnNetworkState(WPARAM code);
    void RegisterInstall();
    void DeleteDesktopShortcut();
    void CreateDesktopShortcut();
    void WriteUninstallEntry();
    void OnBtnCloseClick();
    void TopMainWnd();

    CPageCommandQueue& PageCommands() { return m_pageCommands; }
    GameStartValues StartValues() const;
    const std::wstring& GameExePath() const { return m_strGameExePath; }
    const std::wstring& InstallDir() const { return m_strInstallDir; }
    const std::wstring& FileParam() const { return m_strFileParam; }
    int GameInstalled() const { return m_nGameInstalled; }

    // Objects alive in this process (for the tests of the window's end).
    static int LiveCount();
    // How long the portal page may take to finish its first document before the launcher gives up on it:
    // 30 s, or the milliseconds in kPageTimeoutVariable (a test option the normal start never sets).
    static UINT PageLoadTimeoutMs();
    static constexpr wchar_t kPageTimeoutVariable[] = L"VEMRA2_PAGE_TIMEOUT_MS";

private:
    void OnTrayCallback(LPARAM lParam);
    void AdvanceTip();
    void SetTip(const std::wstring& text);
    void OnDownloadProgress(WPARAM percent);
    void OnUnpackResult(WPARAM result);
    void OnPageNetError();
    void OnPageMoveWnd();
    void OnPageLoadTimeout();
    void PostToGameManager(UINT message);
    void PostCloseToSelf();
    // Runs one modal notice or box; false (nothing shown) while another is open, so that repeated reports
    // cannot stack modal loops without end.
    template <typename Show>
    bool RunModal(const wchar_t* what, Show show);

    SKINUI_DECLARE_NOTIFY_MAP()
    void OnTextChanged(const SkinUI::UINotification&) {}
    void OnReturn(const SkinUI::UINotification&) {}

    std::wstring m_strCmdJson;
    std::wstring m_strWinId;
    std::wstring m_strSource;
    std::wstring m_strTokenLogin;
    std::wstring m_strToken;
    std::wstring m_strOcExt;
    int m_nGameInstalled = 0;
    std::wstring m_strGameMgrId;
    std::wstring m_strTypeMode;
    std::wstring m_strGameCode;
    std::wstring m_strFileParam;
    std::wstring m_strGameExePath;
    std::wstring m_strInstallDir;

    CIeBrowserUI* m_pBrowser = nullptr;
    SkinUI::CTabLayoutUI* m_pWizardTab = nullptr;
    SkinUI::CProgressUI* m_pProgress = nullptr;
    SkinUI::CLabelUI* m_pProgTip = nullptr;
    SkinUI::CControlUI* m_pDownloadLayout = nullptr;

    std::unique_ptr<CWebBrowserEvent> m_pWebEvent;
    CPageCommandQueue m_pageCommands;
    bool m_bDownloadShown = false;
    bool m_bModalOpen = false;

    // Handlers run modal loops in which the window may be destroyed; the object goes only when the
    // outermost message handler has returned.
    int m_nHandlersRunning = 0;
    bool m_bFinalDone = false;
};
