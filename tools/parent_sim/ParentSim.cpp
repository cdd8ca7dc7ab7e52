// Parent-client simulator: plays the game-portal client that starts the launcher and talks to it with
// window messages. See the README for the script and the record format.
//
//   parent_sim.exe [--launcher=PATH] [--out=FILE] [--hang=main|mgr|both] [STEP ...]
//
// Each STEP argument is one script line; without STEP arguments the script is read from standard input,
// one step per line. Every record is one line "KIND key=value ...", written and flushed at once.
#include "InstallPaths.h"
#include "ToolText.h"
#include "WindowSearch.h"

#include "LauncherMessages.h"

#include <windows.h>

#include <shlobj.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kLauncherTitle[] = L"Vemrakai2";
constexpr wchar_t kMainClass[] = L"VemraParentSimMain";
constexpr wchar_t kManagerClass[] = L"VemraParentSimGameMgr";
// The eight options in the order the parent client writes them.
constexpr const wchar_t* kOptionNames[] = {L"winid",     L"source",    L"tokenLogin", L"token",
                                           L"ocext",     L"installed", L"gameMgrId",  L"typeMode"};

// ---- records ------------------------------------------------------------------------------------------

CRITICAL_SECTION g_outLock;
FILE* g_out = stdout;

void Record(const std::string& line)
{
    ::EnterCriticalSection(&g_outLock);
    std::fputs(line.c_str(), g_out);
    std::fputs("\n", g_out);
    std::fflush(g_out);
    ::LeaveCriticalSection(&g_outLock);
}

std::wstring Wide(const std::string& text)
{
    if (text.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string Hex(const void* data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        out.push_back(digits[p[i] >> 4]);
        out.push_back(digits[p[i] & 15]);
    }
    return out;
}

std::string HandleText(HWND h)
{
    return std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(h)));
}

// ---- the parent's windows, on a thread of their own so that the script goes on while they hang --------

HWND g_hMain = nullptr;
HWND g_hManager = nullptr;
std::atomic<bool> g_hangMain{false};
std::atomic<bool> g_dieMain{false};
std::atomic<bool> g_hangManager{false};
HANDLE g_hNeverSet = nullptr;

const char* WindowName(HWND hWnd)
{
    return hWnd == g_hMain ? "main" : hWnd == g_hManager ? "mgr" : "other";
}

LRESULT CALLBACK ParentWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        std::string line = std::string("copydata to=") + WindowName(hWnd) + " wparam=" + std::to_string(wParam);
        if (data) {
            line += " dwdata=" + std::to_string(data->dwData) + " cbdata=" + std::to_string(data->cbData) +
                    " data=" + (data->lpData ? Hex(data->lpData, data->cbData) : std::string());
        }
        Record(line);
        // A parent that ends while it handles the notice: the launcher's wait must end with it.
        if (hWnd == g_hMain && g_dieMain) ::ExitProcess(4);
        const bool hang = hWnd == g_hMain ? g_hangMain.load() : g_hangManager.load();
        // A parent that stopped responding: the handler never returns.
        if (hang) ::WaitForSingleObject(g_hNeverSet, INFINITE);
        return TRUE;
    }
    if (message == WM_GAME_START_FAILED || message == WM_LAUNCHER_STARTED) {
        Record(std::string("message to=") + WindowName(hWnd) + " msg=" + std::to_string(message) +
               " wparam=" + std::to_string(wParam) + " lparam=" + std::to_string(lParam));
        return 0;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

DWORD WINAPI WindowThread(LPVOID ready)
{
    const HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    for (const wchar_t* name : {kMainClass, kManagerClass}) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ParentWndProc;
        wc.hInstance = hInstance;
        wc.lpszClassName = name;
        ::RegisterClassW(&wc);
    }
    g_hMain = ::CreateWindowExW(0, kMainClass, L"Orbit Center (simulated)", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                nullptr, nullptr, hInstance, nullptr);
    g_hManager = ::CreateWindowExW(0, kManagerClass, L"Orbit Center game manager (simulated)", WS_OVERLAPPEDWINDOW,
                                   0, 0, 200, 100, nullptr, nullptr, hInstance, nullptr);
    ::SetEvent(static_cast<HANDLE>(ready));
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}

// ---- the launcher process ------------------------------------------------------------------------------

struct Launcher {
    std::wstring path;
    HANDLE hProcess = nullptr;
    ULONGLONG startTick = 0;
};

// Whether the launcher's main window was ever visible since its start: watched every 10 ms by a thread of
// its own, so that a window shown only for a moment is seen too.
std::atomic<bool> g_launcherShown{false};

DWORD WindowProcess(HWND hWnd)
{
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hWnd, &owner);
    return owner;
}

std::wstring WindowClass(HWND hWnd)
{
    wchar_t cls[64] = {};
    ::GetClassNameW(hWnd, cls, 64);
    return cls;
}

bool ProcessWindowVisible(DWORD processId)
{
    return winsearch::FindTopWindow([processId](HWND hWnd) {
               wchar_t title[32] = {};
               ::GetWindowTextW(hWnd, title, 32);
               return WindowProcess(hWnd) == processId && std::wcscmp(title, kLauncherTitle) == 0 &&
                      ::IsWindowVisible(hWnd);
           }) != nullptr;
}

DWORD WINAPI WatchVisibility(LPVOID process)
{
    const HANDLE hProcess = static_cast<HANDLE>(process);
    const DWORD processId = ::GetProcessId(hProcess);
    while (::WaitForSingleObject(hProcess, 10) == WAIT_TIMEOUT) {
        if (ProcessWindowVisible(processId)) g_launcherShown = true;
    }
    ::CloseHandle(hProcess);
    return 0;
}

// {main} and {mgr} stand for the decimal handles of the two windows.
std::wstring Substitute(std::wstring text)
{
    const std::pair<const wchar_t*, std::wstring> names[] = {{L"{main}", Wide(HandleText(g_hMain))},
                                                             {L"{mgr}", Wide(HandleText(g_hManager))}};
    for (const auto& [name, value] : names) {
        for (size_t pos = text.find(name); pos != std::wstring::npos; pos = text.find(name, pos + value.size()))
            text.replace(pos, wcslen(name), value);
    }
    return text;
}

void StartLauncher(Launcher& launcher, const std::wstring& arguments)
{
    if (launcher.hProcess) {
        ::CloseHandle(launcher.hProcess);
        launcher.hProcess = nullptr;
    }
    std::wstring cmd = tooltext::QuoteArg(launcher.path);
    if (!arguments.empty()) cmd += L" " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    launcher.startTick = ::GetTickCount64();
    if (!::CreateProcessW(launcher.path.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi)) {
        Record("start-failed error=" + std::to_string(::GetLastError()));
        return;
    }
    ::CloseHandle(pi.hThread);
    launcher.hProcess = pi.hProcess;
    g_launcherShown = false;
    HANDLE hWatched = nullptr;
    if (::DuplicateHandle(::GetCurrentProcess(), pi.hProcess, ::GetCurrentProcess(), &hWatched,
                          SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                          0)) {
        if (HANDLE hThread = ::CreateThread(nullptr, 0, WatchVisibility, hWatched, 0, nullptr))
            ::CloseHandle(hThread);
        else
            ::CloseHandle(hWatched);
    }
    Record("started pid=" + std::to_string(pi.dwProcessId) + " cmdline=" + tooltext::ToUtf8(cmd));
}

// ---- the script ----------------------------------------------------------------------------------------

std::vector<std::wstring> Words(const std::wstring& line)
{
    std::vector<std::wstring> words;
    std::wistringstream in(line);
    for (std::wstring w; in >> w;) words.push_back(w);
    return words;
}

// The rest of the line after its first word.
std::wstring Rest(const std::wstring& line)
{
    const size_t verbEnd = line.find_first_of(L" \t");
    if (verbEnd == std::wstring::npos) return {};
    const size_t start = line.find_first_not_of(L" \t", verbEnd);
    return start == std::wstring::npos ? std::wstring() : line.substr(start);
}

DWORD Number(const std::vector<std::wstring>& words, size_t index, DWORD fallback)
{
    return index < words.size() ? static_cast<DWORD>(std::wcstoul(words[index].c_str(), nullptr, 0)) : fallback;
}

// A message argument: decimal or 0x hexadecimal, negative numbers as the system widens them; 0 when absent.
WPARAM SignedNumber(const std::vector<std::wstring>& words, size_t index)
{
    if (index >= words.size()) return 0;
    const wchar_t* text = words[index].c_str();
    if (text[0] == L'-') return static_cast<WPARAM>(static_cast<INT_PTR>(std::wcstoll(text, nullptr, 0)));
    return static_cast<WPARAM>(std::wcstoull(text, nullptr, 0));
}

std::wstring SettingsPath()
{
    wchar_t path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, path, CSIDL_LOCAL_APPDATA, FALSE);
    const std::wstring folder = std::wstring(path) + L"\\Orbit_Center";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\setting.xml";
}

void SetHang(const std::wstring& which)
{
    g_hangMain = which == L"main" || which == L"both";
    g_hangManager = which == L"mgr" || which == L"both";
}

// The launcher's main window: found by its title, as the real parent finds it.
HWND LauncherWindow()
{
    return ::FindWindowW(nullptr, kLauncherTitle);
}

// Polls every 20 ms until done() is true; false on time-out.
template <typename Pred>
bool WaitUntil(DWORD timeoutMs, Pred done)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) return true;
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(20);
    }
}

// Waits until find() gives a window; none on time-out.
template <typename Find>
HWND WaitFor(DWORD timeoutMs, Find find)
{
    HWND found = nullptr;
    (void)WaitUntil(timeoutMs, [&] { return (found = find()) != nullptr; });
    return found;
}

// A top-level window of the given class that belongs to the launcher process.
HWND LauncherOwnedWindow(const Launcher& launcher, const wchar_t* className, bool visibleOnly)
{
    if (!launcher.hProcess) return nullptr;
    const DWORD processId = ::GetProcessId(launcher.hProcess);
    return winsearch::FindTopWindow([&](HWND hWnd) {
        return WindowProcess(hWnd) == processId && WindowClass(hWnd) == className &&
               (!visibleOnly || ::IsWindowVisible(hWnd));
    });
}

std::string RectText(HWND h)
{
    RECT rc = {};
    ::GetWindowRect(h, &rc);
    return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
           std::to_string(rc.bottom);
}

// "state ..." of the launcher's main window as a user would see it.
void RecordWindowState()
{
    const HWND h = LauncherWindow();
    if (!h) {
        Record("state none");
        return;
    }
    Record("state hwnd=" + HandleText(h) + " visible=" + (::IsWindowVisible(h) ? "1" : "0") +
           " iconic=" + (::IsIconic(h) ? "1" : "0") + " zoomed=" + (::IsZoomed(h) ? "1" : "0") +
           " enabled=" + (::IsWindowEnabled(h) ? "1" : "0") +
           " foreground=" + (::GetForegroundWindow() == h ? "1" : "0") + " rect=" + RectText(h));
}

// The notice dialog's buttons, in the dialog's client coordinates (its layout is fixed at 440 x 260).
POINT NoticeButtonCentre(const std::wstring& which)
{
    if (which == L"ok") return POINT{220, 224};
    return POINT{420, 20};  // the close cross
}

void ClickAt(HWND h, POINT pt)
{
    const LPARAM at = MAKELPARAM(pt.x, pt.y);
    ::PostMessageW(h, WM_MOUSEMOVE, 0, at);
    ::PostMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(h, WM_LBUTTONUP, 0, at);
}

// The stand-in browser engine's page window inside the launcher's main window, or none.
HWND PageWindow()
{
    const HWND main = LauncherWindow();
    if (!main) return nullptr;
    HWND found = nullptr;
    winsearch::ForEachChildWindow(main, [&](HWND c) {
        if (WindowClass(c) != L"VemraFakeBrowserView") return true;
        found = c;
        return false;
    });
    return found;
}

// The centre of one area of the stand-in's portal picture, in its window's client coordinates.
bool PageAreaCentre(HWND page, const std::wstring& area, POINT& pt)
{
    RECT rc = {};
    ::GetClientRect(page, &rc);
    const LONG w = rc.right, h = rc.bottom;
    if (area == L"play") pt = POINT{w / 2, h - 120};
    else if (area == L"min") pt = POINT{w - 68, 24};
    else if (area == L"close") pt = POINT{w - 28, 24};
    else if (area == L"drag") pt = POINT{w / 3, 24};
    else return false;
    return true;
}

// Real mouse input at a screen point (the system's cursor moves there).
void SendMouse(POINT screen, DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = ::MulDiv(screen.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = ::MulDiv(screen.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    ::SendInput(1, &input, sizeof input);
}

// ---- the game's install, as the parent client leaves it ------------------------------------------------

using installpaths::DesktopShortcut;
using installpaths::InstalledGameFolder;
using installpaths::kUninstallKey;

// The stand-in game beside the simulator, put where an unpacked game goes.
bool InstallGame()
{
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder = self;
    folder.resize(folder.rfind(L'\\') + 1);
    return installpaths::InstallGame(folder);
}

// "install ..." records: each value of the game's uninstall entry, then the desktop shortcut.
void RecordInstall()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        Record("install entry none");
    } else {
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            DWORD nameLength = 256, type = 0;
            BYTE data[2048] = {};
            DWORD size = sizeof data - sizeof(wchar_t);
            if (::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
            const std::wstring text = type == REG_SZ ? reinterpret_cast<const wchar_t*>(data) : L"(not text)";
            Record("install value " + tooltext::ToUtf8(name) + "=" + tooltext::ToUtf8(text));
        }
        ::RegCloseKey(key);
    }
    Microsoft::WRL::ComPtr<IShellLinkW> link;
    Microsoft::WRL::ComPtr<IPersistFile> file;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) &&
        SUCCEEDED(link.As(&file)) && SUCCEEDED(file->Load(DesktopShortcut().c_str(), STGM_READ))) {
        wchar_t target[MAX_PATH] = {}, workDir[MAX_PATH] = {}, icon[MAX_PATH] = {};
        int iconIndex = 0;
        link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
        link->GetWorkingDirectory(workDir, MAX_PATH);
        link->GetIconLocation(icon, MAX_PATH, &iconIndex);
        Record("install shortcut " + tooltext::ToUtf8(DesktopShortcut()) + " target=" + tooltext::ToUtf8(target) +
               " workdir=" + tooltext::ToUtf8(workDir) + " icon=" + tooltext::ToUtf8(icon) + "," +
               std::to_string(iconIndex));
    } else {
        Record("install shortcut none");
    }
}

// Saves the whole screen as a 24-bit BMP file.
bool SaveScreen(const std::wstring& path)
{
    const int w = ::GetSystemMetrics(SM_CXSCREEN);
    const int h = ::GetSystemMetrics(SM_CYSCREEN);
    HDC hScreen = ::GetDC(nullptr);
    HDC hMem = ::CreateCompatibleDC(hScreen);
    BITMAPINFO bmi = {};
    bmi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP hBitmap = ::CreateDIBSection(hMem, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (hBitmap && bits) {
        HGDIOBJ old = ::SelectObject(hMem, hBitmap);
        ::BitBlt(hMem, 0, 0, w, h, hScreen, 0, 0, SRCCOPY);
        ::GdiFlush();
        ::SelectObject(hMem, old);
        const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3);
        const DWORD imageSize = stride * static_cast<DWORD>(h);
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof(BITMAPINFOHEADER);
        file.bfSize = file.bfOffBits + imageSize;
        HANDLE hFile = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (hFile != INVALID_HANDLE_VALUE) {
            DWORD put = 0;
            ok = ::WriteFile(hFile, &file, sizeof file, &put, nullptr) &&
                 ::WriteFile(hFile, &bmi.bmiHeader, sizeof(BITMAPINFOHEADER), &put, nullptr) &&
                 ::WriteFile(hFile, bits, imageSize, &put, nullptr);
            ::CloseHandle(hFile);
        }
    }
    if (hBitmap) ::DeleteObject(hBitmap);
    ::DeleteDC(hMem);
    ::ReleaseDC(nullptr, hScreen);
    return ok;
}

// Runs one step; false for a step that is not understood.
bool RunStep(Launcher& launcher, const std::wstring& line)
{
    const std::vector<std::wstring> words = Words(line);
    if (words.empty() || words[0][0] == L'#') return true;
    const std::wstring& verb = words[0];

    if (verb == L"start") {
        // The eight options; NAME=VALUE overrides a default, -NAME leaves the option out.
        std::map<std::wstring, std::wstring> values = {
            {L"winid", L"{main}"}, {L"source", L"OC"},    {L"tokenLogin", L"0"}, {L"token", L"simtoken"},
            {L"ocext", L"simext"}, {L"installed", L"1"}, {L"gameMgrId", L"{mgr}"}, {L"typeMode", L"0"}};
        for (size_t i = 1; i < words.size(); ++i) {
            if (words[i][0] == L'-') {
                values.erase(words[i].substr(1));
                continue;
            }
            const size_t eq = words[i].find(L'=');
            if (eq == std::wstring::npos) return false;
            values[words[i].substr(0, eq)] = words[i].substr(eq + 1);
        }
        std::wstring arguments;
        for (const wchar_t* name : kOptionNames) {
            const auto it = values.find(name);
            if (it == values.end()) continue;
            if (!arguments.empty()) arguments += L' ';
            arguments += tooltext::QuoteArg(L"--" + it->first + L"=" + Substitute(it->second));
        }
        StartLauncher(launcher, arguments);
    } else if (verb == L"start-game-exit") {
        // The parent writes the JSON object {"type":1} in double quotes without escaping the inner ones, so
        // the argument splitter hands the launcher {type:1}.
        StartLauncher(launcher, L"\"{\"type\":1}\"");
    } else if (verb == L"start-second") {
        // start-second [TEXT]: another launcher beside the running one, waited for (at most 20 s).
        std::wstring cmd = tooltext::QuoteArg(launcher.path);
        if (!Rest(line).empty()) cmd += L" " + Substitute(Rest(line));
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (!::CreateProcessW(launcher.path.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                              &pi)) {
            Record("second start-failed error=" + std::to_string(::GetLastError()));
            return true;
        }
        DWORD code = STILL_ACTIVE;
        if (::WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0) ::GetExitCodeProcess(pi.hProcess, &code);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
        Record(code == STILL_ACTIVE ? std::string("second timeout") : "second exit=" + std::to_string(code));
    } else if (verb == L"start-raw") {
        StartLauncher(launcher, Substitute(Rest(line)));
    } else if (verb == L"settings") {
        const std::string bytes = tooltext::ToUtf8(Substitute(Rest(line)));
        HANDLE h = ::CreateFileW(SettingsPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        const bool ok = h != INVALID_HANDLE_VALUE &&
                        ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
        Record(std::string("settings written=") + (ok ? "1" : "0") + " bytes=" + std::to_string(bytes.size()));
    } else if (verb == L"settings-delete") {
        ::DeleteFileW(SettingsPath().c_str());
        Record("settings deleted=1");
    } else if (verb == L"hang") {
        if (words.size() < 2) return false;
        SetHang(words[1]);
        Record("hang windows=" + tooltext::ToUtf8(words[1]));
    } else if (verb == L"die-on-notice") {
        // The simulator itself ends (exit code 4) when the notice reaches the main window.
        g_dieMain = true;
        Record("die-on-notice");
    } else if (verb == L"wait") {
        ::Sleep(Number(words, 1, 0));
    } else if (verb == L"wait-window") {
        const HWND h = WaitFor(Number(words, 1, 10000), LauncherWindow);
        Record(h ? "window hwnd=" + HandleText(h) : std::string("window none"));
    } else if (verb == L"post") {
        // post MSG [WPARAM [LPARAM]]: to the launcher's main window, found by its title as the real parent does.
        if (words.size() < 2) return false;
        const UINT message = Number(words, 1, 0);
        const WPARAM wParam = SignedNumber(words, 2);
        const LPARAM lParam = static_cast<LPARAM>(SignedNumber(words, 3));
        const std::string args = " wparam=" + std::to_string(static_cast<long long>(static_cast<INT_PTR>(wParam))) +
                                 (words.size() > 3 ? " lparam=" + std::to_string(static_cast<long long>(lParam)) : "");
        const HWND h = LauncherWindow();
        if (h && ::PostMessageW(h, message, wParam, lParam)) {
            Record("posted msg=" + std::to_string(message) + args + " hwnd=" + HandleText(h));
        } else {
            Record("post-failed msg=" + std::to_string(message) + args +
                   (h ? " error=" + std::to_string(::GetLastError()) : std::string(" error=no-window")));
        }
    } else if (verb == L"send") {
        // send MSG [WPARAM [LPARAM]]: the same, waiting (at most 10 s) for the answer.
        if (words.size() < 2) return false;
        const HWND h = LauncherWindow();
        DWORD_PTR answer = 0;
        const bool ok = h && ::SendMessageTimeoutW(h, Number(words, 1, 0), SignedNumber(words, 2),
                                                  static_cast<LPARAM>(SignedNumber(words, 3)), SMTO_NORMAL, 10000,
                                                  &answer);
        Record(ok ? "sent msg=" + std::to_string(Number(words, 1, 0)) + " result=" + std::to_string(answer)
                  : "send-failed msg=" + std::to_string(Number(words, 1, 0)));
    } else if (verb == L"state") {
        RecordWindowState();
    } else if (verb == L"windows") {
        // The visible top-level windows of the launcher process, by class.
        std::string classes;
        const DWORD processId = launcher.hProcess ? ::GetProcessId(launcher.hProcess) : 0;
        winsearch::ForEachTopWindow([&](HWND hWnd) {
            if (processId == 0 || WindowProcess(hWnd) != processId || !::IsWindowVisible(hWnd)) return true;
            if (!classes.empty()) classes += ",";
            classes += tooltext::ToUtf8(WindowClass(hWnd));
            return true;
        });
        Record("windows " + classes);
    } else if (verb == L"say") {
        // A line of narration for whoever reads the records.
        Record("say " + tooltext::ToUtf8(Rest(line)));
    } else if (verb == L"install-game") {
        Record(std::string("install-game ") + (InstallGame() ? "copied to " : "failed ") +
               tooltext::ToUtf8(InstalledGameFolder()));
    } else if (verb == L"clear-install") {
        installpaths::ClearInstall();
        Record("clear-install");
    } else if (verb == L"show-install") {
        RecordInstall();
    } else if (verb == L"page-click") {
        // page-click play|min|close|drag: a click on the stand-in portal picture, as posted mouse messages.
        const HWND page = PageWindow();
        POINT pt = {};
        if (!page || words.size() < 2 || !PageAreaCentre(page, words[1], pt)) {
            Record("page-click none");
        } else {
            ClickAt(page, pt);
            Record("page-click " + tooltext::ToUtf8(words[1]));
        }
    } else if (verb == L"page-drag") {
        // page-drag DX DY: the mouse pressed in the page's drag band, moved by DX, DY and released, as real
        // input (the system's move loop follows the real button).
        const HWND page = PageWindow();
        POINT pt = {};
        if (!page || !PageAreaCentre(page, L"drag", pt)) {
            Record("page-drag none");
        } else {
            ::ClientToScreen(page, &pt);
            const LONG dx = static_cast<LONG>(SignedNumber(words, 1)), dy = static_cast<LONG>(SignedNumber(words, 2));
            SendMouse(pt, 0);
            ::Sleep(100);
            SendMouse(pt, MOUSEEVENTF_LEFTDOWN);
            ::Sleep(300);
            for (int step = 1; step <= 10; ++step) {
                SendMouse(POINT{pt.x + dx * step / 10, pt.y + dy * step / 10}, 0);
                ::Sleep(30);
            }
            SendMouse(POINT{pt.x + dx, pt.y + dy}, MOUSEEVENTF_LEFTUP);
            ::Sleep(200);
            Record("page-drag " + std::to_string(dx) + " " + std::to_string(dy));
        }
    } else if (verb == L"repaint") {
        // Asks the launcher's window and everything inside it to paint again.
        const HWND main = LauncherWindow();
        const bool ok = main && ::RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        Record(ok ? "repainted" : "repaint none");
    } else if (verb == L"children") {
        // The child windows inside the launcher's main window (an embedded browser lives in them).
        const HWND main = LauncherWindow();
        std::vector<HWND> children;
        if (main) {
            for (HWND c = ::GetWindow(main, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
            for (size_t i = 0; i < children.size(); ++i)
                for (HWND c = ::GetWindow(children[i], GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
                    children.push_back(c);
        }
        for (HWND c : children) {
            RECT rc = {};
            ::GetWindowRect(c, &rc);
            Record("child class=" + tooltext::ToUtf8(WindowClass(c)) + " parent=" +
                   tooltext::ToUtf8(WindowClass(::GetParent(c))) + " visible=" + (::IsWindowVisible(c) ? "1" : "0") +
                   " rect=" + RectText(c));
        }
        Record("children " + std::to_string(children.size()));
    } else if (verb == L"wait-visible") {
        const HWND h = WaitFor(Number(words, 1, 10000), [] {
            const HWND w = LauncherWindow();
            return w && ::IsWindowVisible(w) ? w : nullptr;
        });
        Record(h ? "visible hwnd=" + HandleText(h) : std::string("visible none"));
    } else if (verb == L"wait-notice") {
        // The skinned notice over the main window.
        const HWND h = WaitFor(Number(words, 1, 10000),
                               [&] { return LauncherOwnedWindow(launcher, L"CustomMsgBoxClass", true); });
        if (h) {
            const HWND owner = ::GetWindow(h, GW_OWNER);
            // The notice shows an instant before its owner is disabled: report it once its modal loop has begun.
            (void)WaitFor(2000, [&] { return ::IsWindowEnabled(owner) ? nullptr : owner; });
            Record("notice hwnd=" + HandleText(h) + " owner=" + HandleText(owner) +
                   " owner-enabled=" + (::IsWindowEnabled(owner) ? "1" : "0") + " rect=" + RectText(h));
        } else {
            Record("notice none");
        }
    } else if (verb == L"notice-click") {
        // notice-click ok|close
        const HWND h = LauncherOwnedWindow(launcher, L"CustomMsgBoxClass", true);
        if (!h || words.size() < 2) {
            Record("notice-click none");
        } else {
            ::UpdateWindow(h);  // a person clicks what is painted: the layout comes with the first paint
            ClickAt(h, NoticeButtonCentre(words[1]));
            Record("notice-click " + tooltext::ToUtf8(words[1]));
        }
    } else if (verb == L"notice-alt-f4") {
        const HWND h = LauncherOwnedWindow(launcher, L"CustomMsgBoxClass", true);
        if (h) ::PostMessageW(h, WM_SYSKEYDOWN, VK_F4, 0x20000001);  // context code: Alt is down
        Record(h ? "notice-alt-f4" : "notice-alt-f4 none");
    } else if (verb == L"wait-dialog") {
        // A system message box of the launcher; records its text.
        const HWND h = WaitFor(Number(words, 1, 10000), [&] { return LauncherOwnedWindow(launcher, L"#32770", true); });
        if (!h) {
            Record("dialog none");
        } else {
            wchar_t title[256] = {};
            ::GetWindowTextW(h, title, 256);
            std::wstring text;
            for (HWND c = ::GetWindow(h, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
                wchar_t cls[32] = {};
                ::GetClassNameW(c, cls, 32);
                wchar_t t[512] = {};
                ::GetWindowTextW(c, t, 512);
                if (_wcsicmp(cls, L"Static") == 0 && t[0]) text = t;
            }
            Record("dialog hwnd=" + HandleText(h) + " title=" + tooltext::ToUtf8(title) +
                   " text=" + tooltext::ToUtf8(text));
        }
    } else if (verb == L"dialog-ok") {
        const HWND h = LauncherOwnedWindow(launcher, L"#32770", true);
        if (h) ::PostMessageW(h, WM_COMMAND, IDOK, 0);
        Record(h ? "dialog-ok" : "dialog-ok none");
    } else if (verb == L"wait-gone") {
        // Until the launcher's main window no longer exists.
        const bool gone = WaitUntil(Number(words, 1, 10000), [] { return LauncherWindow() == nullptr; });
        Record(gone ? "gone" : "gone timeout");
    } else if (verb == L"screenshot") {
        const std::wstring path = Rest(line);
        Record(std::string("screenshot ") + (SaveScreen(path) ? "saved " : "failed ") + tooltext::ToUtf8(path));
    } else if (verb == L"wait-exit") {
        // wait-exit [MS]: a launcher still running after MS milliseconds is ended with exit code 259.
        if (!launcher.hProcess) {
            Record("exit none");
            return true;
        }
        const DWORD r = ::WaitForSingleObject(launcher.hProcess, Number(words, 1, 30000));
        const ULONGLONG ms = ::GetTickCount64() - launcher.startTick;
        if (r == WAIT_OBJECT_0) {
            DWORD code = 0;
            ::GetExitCodeProcess(launcher.hProcess, &code);
            Record("exit code=" + std::to_string(code) + " ms=" + std::to_string(ms) +
                   " shown=" + (g_launcherShown ? "1" : "0"));
        } else {
            ::TerminateProcess(launcher.hProcess, STILL_ACTIVE);
            ::WaitForSingleObject(launcher.hProcess, 5000);
            Record("exit timeout ms=" + std::to_string(ms));
        }
        ::CloseHandle(launcher.hProcess);
        launcher.hProcess = nullptr;
    } else {
        return false;
    }
    return true;
}

std::wstring DefaultLauncherPath()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir = path;
    dir.resize(dir.rfind(L'\\') + 1);
    return dir + L"vemra2_main.exe";
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    ::InitializeCriticalSection(&g_outLock);
    Launcher launcher;
    launcher.path = DefaultLauncherPath();
    std::vector<std::wstring> steps;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg.rfind(L"--launcher=", 0) == 0) {
            launcher.path = arg.substr(11);
        } else if (arg.rfind(L"--out=", 0) == 0) {
            g_out = _wfopen(arg.substr(6).c_str(), L"wb");
            if (!g_out) {
                std::fwprintf(stderr, L"parent_sim: cannot write %ls\n", arg.c_str() + 6);
                return 2;
            }
        } else if (arg.rfind(L"--hang=", 0) == 0) {
            SetHang(arg.substr(7));
        } else if (arg.rfind(L"--script=", 0) == 0) {
            // Steps from a UTF-8 file, one a line (for scripts longer than a command line can be).
            std::ifstream script(arg.substr(9).c_str());
            for (std::string line; std::getline(script, line);) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                steps.push_back(Wide(line));
            }
        } else {
            steps.push_back(arg);
        }
    }

    (void)::CoInitialize(nullptr);  // shell links are read through COM
    g_hNeverSet = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hReady = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hThread = ::CreateThread(nullptr, 0, WindowThread, hReady, 0, nullptr);
    if (!hThread || ::WaitForSingleObject(hReady, 10000) != WAIT_OBJECT_0 || !g_hMain || !g_hManager) {
        std::fputs("parent_sim: cannot create the parent windows\n", stderr);
        return 2;
    }
    Record("ready main=" + HandleText(g_hMain) + " mgr=" + HandleText(g_hManager));

    int status = 0;
    auto run = [&](const std::wstring& step) {
        if (!RunStep(launcher, step)) {
            Record("bad-step " + tooltext::ToUtf8(step));
            status = 2;
        }
    };
    if (steps.empty()) {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            run(Wide(line));
        }
    } else {
        for (const auto& step : steps) run(step);
    }
    Record("done");
    // A hung window thread would never end on its own; the process ends it.
    std::fflush(g_out);
    ::ExitProcess(static_cast<UINT>(status));
}
