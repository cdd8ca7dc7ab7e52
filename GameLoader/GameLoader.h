// The launch context from the command line, the settings file shared with the parent client, and the
// values of the game's uninstall entry.
#pragma once

#include <windows.h>

#include <string>

namespace Json {
class Value;
}

// Folder of the parent client under the local application-data folder.
inline constexpr wchar_t kParentFolderName[] = L"Orbit_Center";
// The game this launcher belongs to, and its display title (also the main window's title).
inline constexpr char kGameCode[] = "vemra2";
inline constexpr char kGameTitle[] = "Vemrakai2";
// The launcher's own version, as its version record gives it.
inline constexpr wchar_t kLauncherVersion[] = VEMRA_VERSION_W;

// Splits the process command line into the launch context text (compact JSON, UTF-16).
// False only when the command line cannot be split; the text is then left empty.
bool ParseCmdParam(std::wstring& cmdJson);
// The same for a given command line; ParseCmdParam passes GetCommandLineW.
bool ParseCmdLine(const wchar_t* commandLine, std::wstring& cmdJson);
// Sets root[key] to whatever follows the first occurrence of prefix in arg.
bool MatchOption(Json::Value& root, const std::wstring& arg, const char* key, const wchar_t* prefix);

// "setting.xml" in the parent client's folder; creates the folder when it is missing.
std::wstring GetSettingPath();
bool WriteWindowId(const std::wstring& path, const std::wstring& value);
bool WriteLoginSource(const std::wstring& path, const std::wstring& value);
bool ReadWindowId(const std::wstring& path, std::wstring& value);
bool ReadLoginSource(const std::wstring& path, std::wstring& value);

// Folder of the game's executable from "DisplayIcon", ending with a backslash; empty when unknown.
std::wstring GetGameInstallDir(const std::wstring& gameCode);
// The install-time "FileParam" value, unchanged; empty when unknown.
std::wstring GetBagFileParam(const std::wstring& gameCode);

// The record the launcher sends the parent client's main window by WM_COPYDATA (dwData 1): when its main
// window closes and when a game-exit start finds the parent. The content never varies.
struct ParentNotice {
    INT32 noticeHead;         // 1
    wchar_t noticeText[260];  // "1", NUL-padded
    INT32 noticeTail;         // 1
};
static_assert(sizeof(ParentNotice) == 528, "the parent client reads exactly 528 bytes");

// How long the launcher waits for the parent client to take the notice before going on without it.
inline constexpr UINT kParentNoticeTimeoutMs = 5000;

ParentNotice MakeParentNotice();
// A window handle passed as decimal text, read the way _wtoi reads it (text that is no number gives 0).
HWND WindowFromIdText(const std::wstring& idText);
// Sends the notice to the window named by idText; the outcome is deliberately not reported.
void SendParentNotice(const std::wstring& idText);
// True when this process was started only to tell the parent client that the game has exited; the
// parent is then notified if the settings file names it.
bool IsGameExit(const std::wstring& cmdJson);

// Executable names of the game processes that the stale-game cleanup ends.
inline constexpr const wchar_t* g_generalProcessNames[] = {L"vemra2.exe"};
bool GeneralProcessExist();
// Tries to end one process per watched name, falling back to taskkill.
void KillGeneralProcess();
// Kills the watched processes once a second until none is left, at most 30 passes. Runs on a worker thread.
void CleanupGeneralProcess();
