// Window messages the launcher exchanges with a second launcher instance, the parent client and its own
// portal page. The parent client knows them by number, so the numbers never change.
#pragma once

#include <windows.h>

// The download tip's animation timer (its id, carried by WM_TIMER).
inline constexpr UINT TIMER_TIP_ANIMATION = WM_USER + 100;  // 1124
// A notification-area style callback; lParam is the mouse message.
inline constexpr UINT WM_TRAY_CALLBACK = WM_USER + 102;  // 1126

// Posted by the page's event sink and the script bridge to the main window.
inline constexpr UINT WM_PAGE_LOADED = WM_USER + 104;     // 1128, a document completed
inline constexpr UINT WM_PAGE_MIN_WND = WM_USER + 105;    // 1129, "min_wnd"
inline constexpr UINT WM_PAGE_CLOSE_WND = WM_USER + 106;  // 1130, "close_wnd"
inline constexpr UINT WM_PAGE_OPEN_GAME = WM_USER + 107;  // 1131, "open_game"; wParam: its number in the queue
inline constexpr UINT WM_PAGE_MOVE_WND = WM_USER + 108;   // 1132, "wnd_mousemove"
inline constexpr UINT WM_PAGE_NET_ERROR = WM_USER + 113;  // 1137, the portal's server was not found

// A second launcher asks the running one to come to the front.
inline constexpr UINT WM_SHOW_MAIN_WND = WM_USER + 109;  // 1133

// Posted by the parent client to the launcher's main window (found by its title).
inline constexpr UINT WM_UNPACK_RESULT = WM_USER + 110;      // 1134, wParam 0: unpacked; other: failed
inline constexpr UINT WM_NETWORK_STATE = WM_USER + 111;      // 1135, wParam 0: end stale games; other: failure
inline constexpr UINT WM_DOWNLOAD_PROGRESS = WM_USER + 112;  // 1136, wParam: percentage

// Posted by the launcher to the parent client's game-manager window (gameMgrId), wParam and lParam 0.
inline constexpr UINT WM_GAME_START_FAILED = WM_USER + 323;  // 1347
inline constexpr UINT WM_LAUNCHER_STARTED = WM_USER + 324;   // 1348
