// Window messages the launcher exchanges with a second launcher instance and with the parent client.
// The parent client knows them by number, so the numbers never change.
#pragma once

#include <windows.h>

// A second launcher asks the running one to come to the front.
inline constexpr UINT WM_SHOW_MAIN_WND = WM_USER + 109;  // 1133

// Posted by the parent client to the launcher's main window (found by its title).
inline constexpr UINT WM_UNPACK_RESULT = WM_USER + 110;      // 1134, wParam 0: unpacked; other: failed
inline constexpr UINT WM_NETWORK_STATE = WM_USER + 111;      // 1135, wParam 0: end stale games; other: failure
inline constexpr UINT WM_DOWNLOAD_PROGRESS = WM_USER + 112;  // 1136, wParam: percentage

// Posted by the launcher to the parent client's game-manager window (gameMgrId), wParam and lParam 0.
inline constexpr UINT WM_GAME_START_FAILED = WM_USER + 323;  // 1347
inline constexpr UINT WM_LAUNCHER_STARTED = WM_USER + 324;   // 1348
