#include "TestSupport.h"

#include "ToolText.h"
#include "WindowSearch.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>

namespace test {

std::wstring BinDir()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir = path;
    dir.resize(dir.rfind(L'\\') + 1);
    return dir;
}

std::wstring LauncherPath()
{
    return BinDir() + L"vemra2_main.exe";
}

std::wstring MakeTempDir(const std::wstring& tag)
{
    wchar_t tmp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, tmp);
    std::wstring dir = std::wstring(tmp) + L"vemra2-test-" + tag + L"-" + std::to_wstring(::GetCurrentProcessId()) +
                       L"-" + std::to_wstring(::GetTickCount());
    RemoveTree(dir);
    ::CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"\\";
}

void RemoveTree(const std::wstring& path)
{
    std::wstring p = path;
    while (!p.empty() && (p.back() == L'\\' || p.back() == L'/')) p.pop_back();
    if (p.empty()) return;
    std::wstring from = p;
    from.push_back(L'\0');  // SHFileOperation wants a double-NUL list
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    ::SHFileOperationW(&op);
}

std::string ReadFileBytes(const std::wstring& path)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string out;
    char buf[65536];
    DWORD got = 0;
    while (::ReadFile(h, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
    ::CloseHandle(h);
    return out;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    const BOOL ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    ::CloseHandle(h);
    return ok && put == bytes.size();
}

bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring QuoteArg(const std::wstring& arg)
{
    return tooltext::QuoteArg(arg);
}

void PumpFor(DWORD ms)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        const DWORD spent = ::GetTickCount() - start;
        if (spent >= ms) return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
    }
}

bool WaitPumping(HANDLE hProcess, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        const DWORD spent = ::GetTickCount() - start;
        if (spent >= timeoutMs) return false;
        const DWORD r = ::MsgWaitForMultipleObjects(1, &hProcess, FALSE, timeoutMs - spent, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) return true;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

HANDLE StartProcess(const std::wstring& program, const std::wstring& arguments)
{
    std::wstring cmd = QuoteArg(program);
    if (!arguments.empty()) cmd += L" " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(program.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return nullptr;
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

ProcessResult RunProcess(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs)
{
    ProcessResult result;
    const DWORD start = ::GetTickCount();
    HANDLE h = StartProcess(program, arguments);
    if (!h) return result;
    result.started = true;
    result.finished = WaitPumping(h, timeoutMs);
    if (!result.finished) ::TerminateProcess(h, 259);
    ::GetExitCodeProcess(h, &result.exitCode);
    ::CloseHandle(h);
    result.elapsedMs = ::GetTickCount() - start;
    return result;
}

HWND FindLauncherWindow(DWORD processId)
{
    return winsearch::FindTopWindow([processId](HWND hWnd) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(hWnd, &owner);
        wchar_t title[64] = {};
        ::GetWindowTextW(hWnd, title, 64);
        return owner == processId && std::wcscmp(title, L"Vemrakai2") == 0;
    });
}

HWND WaitForLauncherWindow(HANDLE hProcess, DWORD timeoutMs)
{
    const DWORD processId = ::GetProcessId(hProcess);
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (HWND h = FindLauncherWindow(processId)) return h;
        if (::GetTickCount() - start >= timeoutMs) return nullptr;
        if (WaitPumping(hProcess, 20)) return FindLauncherWindow(processId);
    }
}

ProcessResult RunLauncherAndClose(const std::wstring& arguments, DWORD timeoutMs)
{
    ProcessResult result;
    const DWORD start = ::GetTickCount();
    HANDLE h = StartProcess(LauncherPath(), arguments);
    if (!h) return result;
    result.started = true;
    if (HWND hWnd = WaitForLauncherWindow(h, timeoutMs)) ::PostMessageW(hWnd, WM_CLOSE, 0, 0);
    const DWORD spent = ::GetTickCount() - start;
    result.finished = WaitPumping(h, timeoutMs > spent ? timeoutMs - spent : 0);
    if (!result.finished) ::TerminateProcess(h, 259);
    ::GetExitCodeProcess(h, &result.exitCode);
    ::CloseHandle(h);
    result.elapsedMs = ::GetTickCount() - start;
    return result;
}

std::vector<DWORD> CaptureClient(HWND hWnd, int& width, int& height)
{
    RECT rc = {};
    ::GetClientRect(hWnd, &rc);
    width = rc.right;
    height = rc.bottom;
    if (width <= 0 || height <= 0) return {};
    BITMAPINFO bmi = {};
    bmi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC hMem = ::CreateCompatibleDC(nullptr);
    HBITMAP hBitmap = ::CreateDIBSection(hMem, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<DWORD> pixels;
    if (hMem && hBitmap && bits) {
        HGDIOBJ hOld = ::SelectObject(hMem, hBitmap);
        ::FillRect(hMem, &rc, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        ::SendMessageW(hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hMem), PRF_CLIENT);
        ::GdiFlush();
        const auto* p = static_cast<const DWORD*>(bits);
        pixels.assign(p, p + static_cast<size_t>(width) * static_cast<size_t>(height));
        ::SelectObject(hMem, hOld);
    }
    if (hBitmap) ::DeleteObject(hBitmap);
    if (hMem) ::DeleteDC(hMem);
    return pixels;
}

std::wstring ParentFolder()
{
    wchar_t path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, path, CSIDL_LOCAL_APPDATA, FALSE);
    return std::wstring(path) + L"\\Orbit_Center\\";
}

std::wstring LogFolder()
{
    return ParentFolder() + L"Log\\";
}

std::wstring TodaysLogPath(const std::wstring& exeName)
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return LogFolder() + exeName + L"_" + std::to_wstring(now.wYear) + L"_" + std::to_wstring(now.wMonth) + L"_" +
           std::to_wstring(now.wDay) + L".log";
}

std::vector<std::string> SplitCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(text.substr(pos));
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

std::string Ansi(const std::wstring& text)
{
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string LogMessage(const std::string& line)
{
    const size_t pos = line.find("] : ");
    return pos == std::string::npos ? line : line.substr(pos + 4);
}

}  // namespace test
