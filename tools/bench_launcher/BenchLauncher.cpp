// Process-level figures of the real launcher, driven as the parent client drives it, each beside a baseline
// measured in the same run:
//   - launcher start -> main window visible with the stand-in portal page, beside the plain-window program's
//     start -> visible (bench_plain --show-and-wait); the stand-in engine's own time apart; where it goes;
//     the plain program again making the system calls the launcher's start cannot do without (--start-calls),
//     the floor of that figure;
//   - working set and peak with the window and page shown, beside the plain program's;
//   - game-exit start -> exit, beside a trivial console program (bench_trivial);
//   - what wakes the launcher's window thread while the portal page idles, beside the plain program's;
//   - GDI and USER objects of the launcher around opening and closing the network notice many times.
// The launcher's window thread is watched through bench_hook.dll, which the system loads into it.
//
//   bench_launcher.exe [--launcher=PATH] [--runs=N] [--idle-seconds=S] [--notices=N] [--figures=LIST]
// LIST: any of start,exit,idle,notices separated by commas (default: all). Needs the stand-in browser engine
// registered in the Wine prefix (scripts/wine-env.sh start does it) and no launcher running.
#include "BenchChild.h"
#include "BenchCommon.h"
#include "BenchHook.h"
#include "LaunchRecords.h"
#include "LauncherMessages.h"
#include "ToolText.h"
#include "UIHandle.h"
#include "UnixProc.h"
#include "WindowSearch.h"

#include <windows.h>

#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using SkinUI::CUniqueHandle;

constexpr wchar_t kLauncherClass[] = L"GameLoaderResClass";
constexpr wchar_t kNoticeClass[] = L"CustomMsgBoxClass";
constexpr wchar_t kPlainClass[] = L"VemraBenchPlain";
constexpr wchar_t kEngineClassPrefix[] = L"VemraFakeBrowser";
constexpr wchar_t kWebBrowserServer[] =
    L"Software\\Classes\\CLSID\\{8856F961-340A-11D0-A96B-00C04FD705A2}\\InprocServer32";
constexpr DWORD kStartTimeoutMs = 20000;
constexpr double kStartAllowanceUs = 40000;
constexpr double kExitAllowanceUs = 40000;
constexpr double kMemoryAllowance = 12e6;  // bytes
constexpr DWORD kSettleMs = 300;            // after the first paint, before memory is read

// ---- small helpers -------------------------------------------------------------------------------------

std::string Narrow(const std::wstring& text) { return tooltext::ToUtf8(text); }

std::string Mib(double bytes)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f MiB", bytes / (1024.0 * 1024.0));
    return buf;
}

std::string ReadFileText(const std::wstring& path, size_t from = 0)
{
    const SkinUI::CUniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || static_cast<size_t>(size.QuadPart) <= from) return {};
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(from);
    (void)::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN);
    std::string text(static_cast<size_t>(size.QuadPart) - from, '\0');
    DWORD got = 0;
    if (!::ReadFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &got, nullptr)) return {};
    text.resize(got);
    return text;
}

size_t FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return static_cast<size_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

std::wstring SpecialFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    (void)::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
    return path;
}

std::wstring ParentFolder() { return SpecialFolder(CSIDL_LOCAL_APPDATA) + L"\\Orbit_Center\\"; }

std::wstring TodaysLogPath()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return ParentFolder() + L"Log\\vemra2_main.exe_" + std::to_wstring(now.wYear) + L"_" +
           std::to_wstring(now.wMonth) + L"_" + std::to_wstring(now.wDay) + L".log";
}

FILETIME LocalNow()
{
    FILETIME utc{}, local{};
    ::GetSystemTimeAsFileTime(&utc);
    (void)::FileTimeToLocalFileTime(&utc, &local);
    return local;
}

std::string WinePrefix()
{
    wchar_t value[MAX_PATH * 2] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"WINEPREFIX", value, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? Narrow(value) : std::string();
}

void SetEnv(const wchar_t* name, const wchar_t* value) { (void)::SetEnvironmentVariableW(name, value); }

// The settings file the launcher shares with the parent client, put back as it was found.
class SettingsKeeper {
public:
    SettingsKeeper() : m_path(ParentFolder() + L"setting.xml")
    {
        m_bHad = ::GetFileAttributesW(m_path.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (m_bHad) m_text = ReadFileText(m_path);
    }
    ~SettingsKeeper()
    {
        if (!m_bHad) {
            (void)::DeleteFileW(m_path.c_str());
            return;
        }
        const SkinUI::CUniqueFile file(
            ::CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (file) (void)::WriteFile(file.Get(), m_text.data(), static_cast<DWORD>(m_text.size()), &written, nullptr);
    }
    SettingsKeeper(const SettingsKeeper&) = delete;
    SettingsKeeper& operator=(const SettingsKeeper&) = delete;

private:
    std::wstring m_path;
    bool m_bHad = false;
    std::string m_text;
};

// ---- the parent client's windows -----------------------------------------------------------------------

// The parent's main and game-manager windows on a thread of their own, answering the launcher's notices.
class ParentWindows {
public:
    ParentWindows() : m_thread([this] { Run(); })
    {
        while (!m_bReady.load()) ::Sleep(1);
    }
    ~ParentWindows()
    {
        ::PostThreadMessageW(m_threadId.load(), WM_QUIT, 0, 0);
        m_thread.join();
    }
    ParentWindows(const ParentWindows&) = delete;
    ParentWindows& operator=(const ParentWindows&) = delete;

    HWND Main() const { return m_hMain; }
    HWND Manager() const { return m_hManager; }
    long Notices() const { return m_nNotices.load(); }

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_NCCREATE)
            ::SetWindowLongPtrW(hWnd, GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<ParentWindows*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (msg == WM_COPYDATA && self != nullptr) {
            ++self->m_nNotices;
            return TRUE;
        }
        return ::DefWindowProcW(hWnd, msg, wParam, lParam);
    }

    void Run() noexcept
    {
        m_threadId = ::GetCurrentThreadId();
        WNDCLASSW wc{};
        wc.lpfnWndProc = &ParentWindows::Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VemraBenchParent";
        (void)::RegisterClassW(&wc);
        SkinUI::CUniqueHwnd hMain(::CreateWindowExW(0, wc.lpszClassName, L"bench parent", WS_POPUP, 0, 0, 10, 10,
                                                    nullptr, nullptr, wc.hInstance, this));
        SkinUI::CUniqueHwnd hManager(::CreateWindowExW(0, wc.lpszClassName, L"bench game manager", WS_POPUP, 0, 0,
                                                       10, 10, nullptr, nullptr, wc.hInstance, this));
        m_hMain = hMain.Get();
        m_hManager = hManager.Get();
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists before anyone posts to it
        m_bReady = true;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    }

    std::atomic<long> m_nNotices{0};
    std::atomic<bool> m_bReady{false};
    std::atomic<DWORD> m_threadId{0};
    HWND m_hMain = nullptr;
    HWND m_hManager = nullptr;
    std::thread m_thread;
};

// ---- child processes -----------------------------------------------------------------------------------

struct Child {
    CUniqueHandle hProcess;
    DWORD processId = 0;
    double startUs = 0;      // performance counter, just before CreateProcess
    FILETIME startLocal{};   // local time at the same moment, for the launcher's log
};

bool Start(const std::wstring& exe, const std::wstring& args, Child& child)
{
    std::wstring cmd = tooltext::QuoteArg(exe);
    if (!args.empty()) cmd += L" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    // No standard handles, as a program started by the parent client has: the launcher's log would go to
    // this console too, and writing it there would be part of what is timed.
    si.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION pi{};
    child.startLocal = LocalNow();
    child.startUs = bench::NowUs();
    if (!::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    child.hProcess.Put(pi.hProcess);
    CUniqueHandle hThread(pi.hThread);
    child.processId = pi.dwProcessId;
    return true;
}

HWND FindOwnWindow(DWORD processId, const wchar_t* className)
{
    return winsearch::FindTopWindow([&](HWND h) {
        DWORD owner = 0;
        (void)::GetWindowThreadProcessId(h, &owner);
        if (owner != processId) return false;
        wchar_t name[64] = {};
        (void)::GetClassNameW(h, name, 64);
        return std::wcscmp(name, className) == 0;
    });
}

bool Exited(const Child& child) { return ::WaitForSingleObject(child.hProcess.Get(), 0) == WAIT_OBJECT_0; }

// Polls every millisecond (the benchmark may poll; the program measured sleeps meanwhile).
template <typename Done>
bool PollUntil(DWORD timeoutMs, Done done)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) return true;
        if (::GetTickCount64() > deadline) return false;
        ::Sleep(1);
    }
}

// The window shown: the process's top-level window of the class with WS_VISIBLE set.
HWND WaitVisible(const Child& child, const wchar_t* className, double& visibleUs)
{
    HWND found = nullptr;
    const bool ok = PollUntil(kStartTimeoutMs, [&] {
        if (found == nullptr) found = FindOwnWindow(child.processId, className);
        if (found != nullptr && ::IsWindowVisible(found)) return true;
        return Exited(child);
    });
    visibleUs = bench::NowUs();
    return ok && found != nullptr && ::IsWindowVisible(found) ? found : nullptr;
}

// Painted: no part of the window or of its visible children waits for WM_PAINT any more.
bool NothingToPaint(HWND hWnd)
{
    if (::GetUpdateRect(hWnd, nullptr, FALSE)) return false;
    bool clean = true;
    winsearch::ForEachChildWindow(hWnd, [&](HWND c) {
        if (::IsWindowVisible(c) && ::GetUpdateRect(c, nullptr, FALSE)) clean = false;
        return clean;
    });
    return clean;
}

bool WaitPainted(HWND hWnd, double& paintedUs)
{
    const bool ok = PollUntil(kStartTimeoutMs, [&] { return !::IsWindow(hWnd) || NothingToPaint(hWnd); });
    paintedUs = bench::NowUs();
    return ok && ::IsWindow(hWnd);
}

// Closes the program's window as the tests do and waits for the process; a program that stays is ended.
bool End(Child& child, HWND hWnd)
{
    if (!child.hProcess) return true;
    if (hWnd != nullptr && ::IsWindow(hWnd)) ::PostMessageW(hWnd, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(child.hProcess.Get(), 15000) == WAIT_OBJECT_0) return true;
    std::printf("  ! process %lu did not end after WM_CLOSE; ended by force\n", child.processId);
    ::TerminateProcess(child.hProcess.Get(), 1);
    (void)::WaitForSingleObject(child.hProcess.Get(), 5000);
    return false;
}

bool Memory(const Child& child, PROCESS_MEMORY_COUNTERS& pmc)
{
    pmc = {};
    pmc.cb = sizeof pmc;
    return ::GetProcessMemoryInfo(child.hProcess.Get(), &pmc, sizeof pmc) != 0;
}

// ---- the hook inside a measured thread -----------------------------------------------------------------

class Hook {
public:
    Hook(const std::wstring& dllPath, benchhook::Shared* shared) : m_pShared(shared)
    {
        m_hDll.Put(::LoadLibraryW(dllPath.c_str()));
        if (!m_hDll) return;
        m_install = reinterpret_cast<benchhook::InstallFn>(
            reinterpret_cast<void*>(::GetProcAddress(m_hDll.Get(), benchhook::kInstallExport)));
        m_remove = reinterpret_cast<benchhook::RemoveFn>(
            reinterpret_cast<void*>(::GetProcAddress(m_hDll.Get(), benchhook::kRemoveExport)));
        m_message = ::RegisterWindowMessageW(benchhook::kCommandMessageName);
    }
    ~Hook() { Remove(); }
    Hook(const Hook&) = delete;
    Hook& operator=(const Hook&) = delete;

    bool Usable() const { return m_install != nullptr && m_remove != nullptr && m_pShared != nullptr; }

    bool Install(HWND hWnd)
    {
        m_hWnd = hWnd;
        return Usable() && m_install(::GetWindowThreadProcessId(hWnd, nullptr)) != 0;
    }
    // Every thread of the desktop: the DLL comes into a process with its first message.
    bool InstallEverywhere() { return Usable() && m_install(0) != 0; }
    void Remove()
    {
        if (m_remove != nullptr) m_remove();
    }

    // Posts the command to the window and waits until the hook inside has carried it out.
    bool Command(benchhook::Command command, DWORD timeoutMs = 10000)
    {
        const LONG before = m_pShared->commandsDone;
        if (!::PostMessageW(m_hWnd, m_message, command, 0)) return false;
        return PollUntil(timeoutMs, [&] { return m_pShared->commandsDone != before; });
    }

    const benchhook::Shared& Shared() const { return *m_pShared; }

private:
    SkinUI::CUniqueHmodule m_hDll;
    benchhook::InstallFn m_install = nullptr;
    benchhook::RemoveFn m_remove = nullptr;
    benchhook::Shared* m_pShared = nullptr;
    UINT m_message = 0;
    HWND m_hWnd = nullptr;
};

const char* MessageName(uint32_t message)
{
    switch (message) {
    case WM_TIMER: return "WM_TIMER";
    case WM_PAINT: return "WM_PAINT";
    case WM_NULL: return "WM_NULL";
    case WM_MOUSEMOVE: return "WM_MOUSEMOVE";
    case WM_NCMOUSEMOVE: return "WM_NCMOUSEMOVE";
    case WM_SETCURSOR: return "WM_SETCURSOR";
    case WM_NCHITTEST: return "WM_NCHITTEST";
    case WM_GETICON: return "WM_GETICON";
    case WM_GETTEXT: return "WM_GETTEXT";
    case 0x0118: return "WM_SYSTIMER";  // the caret's and scroll bars' timer
    case WM_ERASEBKGND: return "WM_ERASEBKGND";
    case WM_NCPAINT: return "WM_NCPAINT";
    case WM_WINDOWPOSCHANGED: return "WM_WINDOWPOSCHANGED";
    case WM_WINDOWPOSCHANGING: return "WM_WINDOWPOSCHANGING";
    case WM_ACTIVATE: return "WM_ACTIVATE";
    case WM_ACTIVATEAPP: return "WM_ACTIVATEAPP";
    case WM_SETFOCUS: return "WM_SETFOCUS";
    case WM_KILLFOCUS: return "WM_KILLFOCUS";
    case WM_SHOWWINDOW: return "WM_SHOWWINDOW";
    case WM_SIZE: return "WM_SIZE";
    case WM_MOVE: return "WM_MOVE";
    case WM_PAGE_LOADED: return "WM_PAGE_LOADED";
    default: return nullptr;
    }
}

// ---- the benchmark -------------------------------------------------------------------------------------

struct Options {
    std::wstring bin;
    std::wstring launcher;
    size_t runs = 15;
    int idleSeconds = 10;
    int notices = 200;
    std::wstring figures = L"start,exit,idle,notices";
    bool Wants(const wchar_t* figure) const { return figures.find(figure) != std::wstring::npos; }
};

// One start of the launcher (or the baseline) up to its window on the screen, with what it left behind.
struct StartSample {
    bool ok = false;
    double visibleUs = 0, paintedUs = 0;  // after CreateProcess
    double workingSet = 0, peakWorkingSet = 0;
    // Steps of the launcher's start, after CreateProcess; negative where not seen.
    double logFirstUs = -1, engineCreatedUs = -1, initWindowUs = -1, loadWebUs = -1, navigateUs = -1,
           completeUs = -1, shownUs = -1;
};

// Waits for the child's window of the class to be visible and painted, notes both times after its start,
// and, once it has settled, its working set.
bool WaitShown(const Child& child, const wchar_t* className, StartSample& s, HWND& hWnd)
{
    double visible = 0, painted = 0;
    hWnd = WaitVisible(child, className, visible);
    if (hWnd == nullptr || !WaitPainted(hWnd, painted)) return false;
    s.visibleUs = visible - child.startUs;
    s.paintedUs = painted - child.startUs;
    ::Sleep(kSettleMs);
    PROCESS_MEMORY_COUNTERS pmc;
    if (Memory(child, pmc)) {
        s.workingSet = static_cast<double>(pmc.WorkingSetSize);
        s.peakWorkingSet = static_cast<double>(pmc.PeakWorkingSetSize);
    }
    return true;
}

class Bench {
public:
    Bench(Options options, benchhook::Shared* shared, std::wstring engineLog)
        : m_opt(std::move(options)), m_pShared(shared), m_engineLog(std::move(engineLog))
    {
    }

    int Run();

private:
    std::wstring LauncherArgs() const
    {
        const auto id = [](HWND h) { return std::to_wstring(static_cast<long long>(reinterpret_cast<INT_PTR>(h))); };
        return L"--winid=" + id(m_parent.Main()) + L" --source=OC --tokenLogin=0 --token=benchtoken "
               L"--ocext=benchext --installed=1 --gameMgrId=" + id(m_parent.Manager()) + L" --typeMode=0";
    }

    // Makes this run's baseline process known by its command line; as a signal it names no event there is.
    std::wstring PlainMarker() const
    {
        return L"--signal=VemraBenchPlainOf" + std::to_wstring(::GetCurrentProcessId());
    }

    StartSample LauncherStart(bool keepRunning, Child* keep, HWND* keepWindow);
    StartSample PlainStart(bool keepRunning = false, Child* keep = nullptr, HWND* keepWindow = nullptr,
                           bool startCalls = false);
    void FigureStart();
    void PrintMemorySplit();
    void PrintFirstMessages();
    void FigureExit();
    void FigureIdle();
    void FigureNotices();

    Options m_opt;
    benchhook::Shared* m_pShared;
    std::wstring m_engineLog;
    ParentWindows m_parent;
    bool m_bFailed = false;
    bench::Stats m_launcherRepaint;  // the shown window and page painted again, inside the launcher
};

StartSample Bench::LauncherStart(bool keepRunning, Child* keep, HWND* keepWindow)
{
    StartSample s;
    (void)::DeleteFileW(m_engineLog.c_str());
    const std::wstring logPath = TodaysLogPath();
    const size_t logFrom = FileSize(logPath);
    Child child;
    if (!Start(m_opt.launcher, LauncherArgs(), child)) return s;
    HWND hWnd = nullptr;
    const bool ok = WaitShown(child, kLauncherClass, s, hWnd);
    if (ok) {
        const launchrec::EngineTimes engine = launchrec::ReadEngineTimes(ReadFileText(m_engineLog));
        const auto sinceStart = [&](double us) { return us < 0 ? -1 : us - child.startUs; };
        s.engineCreatedUs = sinceStart(engine.createdUs);
        s.navigateUs = sinceStart(engine.navigateUs);
        s.completeUs = sinceStart(engine.completeUs);
        const auto log = launchrec::ParseLog(ReadFileText(logPath, logFrom));
        s.logFirstUs = launchrec::FirstLineAfter(log, "", child.startLocal);
        s.initWindowUs = launchrec::FirstLineAfter(log, "GameLoaderWnd::InitWindow", child.startLocal);
        s.loadWebUs = launchrec::FirstLineAfter(log, "GameLoaderWnd::LoadWeb", child.startLocal);
        s.shownUs = launchrec::FirstLineAfter(log, "GameLoaderWnd::TopMainWnd", child.startLocal);
        s.ok = true;
    } else {
        std::printf("  ! the launcher showed no painted main window within %lu ms\n", kStartTimeoutMs);
    }
    if (ok && keepRunning && keep != nullptr) {
        *keep = std::move(child);
        *keepWindow = hWnd;
        return s;
    }
    if (!End(child, hWnd)) s.ok = false;
    return s;
}

StartSample Bench::PlainStart(bool keepRunning, Child* keep, HWND* keepWindow, bool startCalls)
{
    StartSample s;
    Child child;
    const std::wstring args = L"--show-and-wait " + PlainMarker() + (startCalls ? L" --start-calls" : L"");
    if (!Start(m_opt.bin + L"bench_plain.exe", args, child)) return s;
    HWND hWnd = nullptr;
    const bool ok = WaitShown(child, kPlainClass, s, hWnd);
    if (ok) {
        s.ok = true;
    } else {
        std::printf("  ! bench_plain showed no painted window within %lu ms\n", kStartTimeoutMs);
    }
    if (ok && keepRunning && keep != nullptr) {
        *keep = std::move(child);
        *keepWindow = hWnd;
        return s;
    }
    if (!End(child, hWnd)) s.ok = false;
    return s;
}

// Median of one step over the runs that saw it.
bench::Stats StepStats(const std::vector<StartSample>& samples, double StartSample::*step)
{
    std::vector<double> v;
    for (const StartSample& s : samples)
        if (s.*step >= 0) v.push_back(s.*step);
    return bench::Summarise(v);
}

void Bench::FigureStart()
{
    std::printf("launcher start -> main window visible and painted, beside bench_plain --show-and-wait "
                "(both from CreateProcess, alternating; the first start of each left out)\n");
    std::fflush(stdout);
    (void)LauncherStart(false, nullptr, nullptr);
    (void)PlainStart();
    (void)PlainStart(false, nullptr, nullptr, true);
    std::vector<StartSample> launcher, plain, floor;
    const size_t maxRuns = m_opt.runs * 3;
    size_t failures = 0;
    while (launcher.size() < maxRuns && failures < 3) {
        const StartSample l = LauncherStart(false, nullptr, nullptr);
        const StartSample p = PlainStart();
        const StartSample f = PlainStart(false, nullptr, nullptr, true);
        if (!l.ok || !p.ok || !f.ok) {
            ++failures;
            continue;
        }
        launcher.push_back(l);
        plain.push_back(p);
        floor.push_back(f);
        if (launcher.size() >= m_opt.runs && launcher.size() % 5 == 0 &&
            bench::Steady(StepStats(launcher, &StartSample::paintedUs)) &&
            bench::Steady(StepStats(plain, &StartSample::paintedUs)))
            break;
    }
    if (launcher.empty()) {
        bench::Row("launcher start -> main window visible with the stand-in portal page", "runs", "no run succeeded",
                   "miss");
        m_bFailed = true;
        return;
    }
    const bench::Stats lPainted = StepStats(launcher, &StartSample::paintedUs);
    const bench::Stats pPainted = StepStats(plain, &StartSample::paintedUs);
    bench::Detail("bench_plain: start -> window visible", StepStats(plain, &StartSample::visibleUs));
    bench::Detail("bench_plain: start -> window painted", pPainted);
    const bench::Stats fPainted = StepStats(floor, &StartSample::paintedUs);
    bench::Detail("bench_plain --start-calls: start -> window painted", fPainted);
    bench::Detail("launcher: start -> window visible", StepStats(launcher, &StartSample::visibleUs));
    bench::Detail("launcher: start -> window painted", lPainted);
    std::printf("  where the launcher's start goes (median time after CreateProcess of each step):\n");
    const struct {
        const char* name;
        double StartSample::*step;
    } steps[] = {
        {"first log line (wWinMain: loader, DLLs, runtime done)", &StartSample::logFirstUs},
        {"stand-in engine object created (skin being built)", &StartSample::engineCreatedUs},
        {"GameLoaderWnd::InitWindow (skin built, window made)", &StartSample::initWindowUs},
        {"GameLoaderWnd::LoadWeb", &StartSample::loadWebUs},
        {"Navigate2 reached the engine", &StartSample::navigateUs},
        {"DocumentComplete fired by the engine", &StartSample::completeUs},
        {"main window shown (TopMainWnd's log line)", &StartSample::shownUs},
        {"main window visible (seen from here)", &StartSample::visibleUs},
        {"main window painted (seen from here)", &StartSample::paintedUs},
    };
    for (const auto& step : steps) {
        const bench::Stats st = StepStats(launcher, step.step);
        std::printf("    %-58s %s\n", step.name, st.runs ? bench::Time(st.median).c_str() : "not seen");
    }
    PrintFirstMessages();
    PrintMemorySplit();
    if (m_launcherRepaint.runs > 0)
        bench::Detail("launcher: the shown window and page repainted (warm, inside)", m_launcherRepaint);
    std::vector<double> engineOwn;
    for (const StartSample& s : launcher)
        if (s.engineCreatedUs >= 0 && s.completeUs >= 0) engineOwn.push_back(s.completeUs - s.engineCreatedUs);
    std::fflush(stdout);

    (void)bench::RowPlusGoal("launcher start -> main window visible with the stand-in portal page", lPainted,
                             pPainted, kStartAllowanceUs, "plain program's start -> visible and painted");
    bench::Row("the launcher's start-time system calls alone: plain program with COM, the WinINet option, icons "
               "and the layered shadow window, start -> visible and painted",
               "info (plain program " + bench::Time(pPainted.median) + "; the launcher's start cannot go below)",
               bench::Measured(fPainted), "info");
    const bench::Stats engine = bench::Summarise(engineOwn);
    bench::Row("stand-in engine's own time: its creation -> DocumentComplete", "info (part of the figure above)",
               engine.runs ? bench::Measured(engine) : "not seen (no clock-us in the engine's records)", "info");

    bench::Stats lWs, pWs, lPeak, pPeak;
    {
        std::vector<double> a, b, c, d;
        for (const StartSample& s : launcher) {
            a.push_back(s.workingSet);
            c.push_back(s.peakWorkingSet);
        }
        for (const StartSample& s : plain) {
            b.push_back(s.workingSet);
            d.push_back(s.peakWorkingSet);
        }
        lWs = bench::Summarise(a);
        pWs = bench::Summarise(b);
        lPeak = bench::Summarise(c);
        pPeak = bench::Summarise(d);
    }
    bench::Detail("bench_plain: working set, window shown", pWs, &Mib);
    bench::Detail("bench_plain: peak working set", pPeak, &Mib);
    bench::Detail("launcher: working set, window and page shown", lWs, &Mib);
    bench::Detail("launcher: peak working set", lPeak, &Mib);
    const double limit = pWs.median + kMemoryAllowance;
    bench::Row("working set with the main window and page shown",
               "<= plain program's " + Mib(pWs.median) + " + 12 MB = " + Mib(limit),
               bench::Measured(lWs, &Mib), bench::Verdict(lWs.median <= limit));
    bench::Row("peak working set with the main window and page shown",
               "info (plain program's peak " + Mib(pPeak.median) + ")", bench::Measured(lPeak, &Mib), "info");
}

// The messages the launcher's window thread takes from its first one until its window is painted, each with
// the time until the next: where the time between the skin being built and the window on the screen goes.
// One more start, with the hook set for every thread of the desktop (which costs the launcher a little: the
// DLL is loaded with its first message).
void Bench::PrintFirstMessages()
{
    Hook hook(m_opt.bin + L"bench_hook.dll", m_pShared);
    m_pShared->timelineProcess = 0;
    m_pShared->timelineCount = 0;
    if (!hook.InstallEverywhere()) {
        std::printf("  (the launcher's first messages: the hook could not be set for the desktop)\n");
        return;
    }
    Child child;
    double visible = 0, painted = 0;
    HWND hWnd = nullptr;
    if (Start(m_opt.launcher, LauncherArgs(), child)) {
        m_pShared->timelineProcess = static_cast<LONG>(child.processId);  // long before its first message
        hWnd = WaitVisible(child, kLauncherClass, visible);
        if (hWnd != nullptr) (void)WaitPainted(hWnd, painted);
        ::Sleep(kSettleMs);
    }
    m_pShared->timelineProcess = 0;
    hook.Remove();
    (void)End(child, hWnd);
    const LONG count = m_pShared->timelineCount;
    const LONG n = std::min<LONG>(count, benchhook::kMaxTimeline);
    if (hWnd == nullptr || n == 0) {
        std::printf("  (the launcher's first messages: none seen)\n");
        return;
    }
    std::printf("  the launcher's first messages up to its painted window (one more start; ms after CreateProcess, "
                "then how long until the next message was taken; \"<\": at most that long):\n");
    bool visibleShown = false;
    int printed = 0;
    for (LONG i = 0; i < n && printed < 60; ++i) {
        const benchhook::TimelineEntry& e = m_pShared->timeline[i];
        if (!visibleShown && e.us >= visible) {
            std::printf("    %8.1f                 -- window visible, seen from here\n",
                        (visible - child.startUs) / 1000);
            visibleShown = true;
        }
        if (e.us > painted) break;
        // The last message before the window was painted ends somewhere before that; after it the thread idles.
        const double next = i + 1 < n ? m_pShared->timeline[i + 1].us : e.us;
        const double until = next > painted ? std::max(painted, e.us) : next;
        const char* name = MessageName(e.message);
        char what[32];
        std::snprintf(what, sizeof what, "%s 0x%04X", e.kind == benchhook::kWakeSent ? "sent" : "took", e.message);
        std::printf("    %8.1f %s%7.2f ms  %s%s%s to %s\n", (e.us - child.startUs) / 1000, next > painted ? "<" : " ",
                    (until - e.us) / 1000, what,
                    name ? " " : "", name ? name : "",
                    e.windowClass[0] ? Narrow(e.windowClass).c_str() : "(the thread)");
        ++printed;
    }
    std::printf("    %8.1f                 -- window painted, seen from here\n", (painted - child.startUs) / 1000);
    std::fflush(stdout);
}

// The lines of a GDI description that name bitmaps of at least 256 kB, with their size.
std::string BigBitmaps(const std::string& described)
{
    std::string out;
    for (const std::string& line : launchrec::Lines(described)) {
        long w = 0, h = 0;
        unsigned bits = 0;
        const size_t colon = line.find(": ");
        if (line.rfind("bitmap ", 0) != 0 || colon == std::string::npos ||
            std::sscanf(line.c_str() + colon + 2, "%ld x %ld, %u bits", &w, &h, &bits) != 3)
            continue;
        const double kb = static_cast<double>(w) * static_cast<double>(h) * bits / 8 / 1024;
        if (kb < 256) continue;
        char text[160];
        std::snprintf(text, sizeof text, "    %6.0f kB  %s\n", kb, line.c_str());
        out += text;
    }
    return out;
}

// Where the launcher's working set goes beyond the plain program's: both shown once more, their resident
// memory read by mapping.
void Bench::PrintMemorySplit()
{
    Child launcher, plain;
    HWND hLauncher = nullptr, hPlain = nullptr;
    std::map<std::string, int64_t> l, p;
    std::string bitmaps;
    if (LauncherStart(true, &launcher, &hLauncher).ok) {
        l = unixproc::ResidentByMapping(unixproc::ReadProcFile(
            unixproc::ProcPath(unixproc::FindProcess("vemra2_main.exe", WinePrefix(), Narrow(LauncherArgs())),
                               L"smaps")));
        Hook hook(m_opt.bin + L"bench_hook.dll", m_pShared);
        if (hook.Install(hLauncher) && hook.Command(benchhook::kCommandClearMark) &&
            hook.Command(benchhook::kCommandDescribeNew))
            bitmaps = BigBitmaps(hook.Shared().newObjects);
        std::vector<double> repaints;
        for (int i = 0; i < 15 && hook.Command(benchhook::kCommandTimeRepaint); ++i)
            repaints.push_back(hook.Shared().repaintUs);
        if (!repaints.empty()) m_launcherRepaint = bench::Summarise(repaints);
        hook.Remove();
    }
    (void)End(launcher, hLauncher);
    if (PlainStart(true, &plain, &hPlain).ok)
        p = unixproc::ResidentByMapping(unixproc::ReadProcFile(
            unixproc::ProcPath(unixproc::FindProcess("bench_plain.exe", WinePrefix(), Narrow(PlainMarker())),
                               L"smaps")));
    (void)End(plain, hPlain);
    if (l.empty() || p.empty()) {
        std::printf("  (resident memory by mapping: the Linux processes were not found under /proc)\n");
        return;
    }
    std::vector<std::pair<int64_t, std::string>> diff;
    int64_t lTotal = 0, pTotal = 0;
    for (const auto& [name, kb] : l) {
        lTotal += kb;
        const auto it = p.find(name);
        diff.emplace_back(kb - (it == p.end() ? 0 : it->second), name);
    }
    for (const auto& [name, kb] : p) {
        pTotal += kb;
        if (l.find(name) == l.end()) diff.emplace_back(-kb, name);
    }
    std::sort(diff.begin(), diff.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::printf("  where the launcher's working set goes beyond bench_plain's (resident kB by mapping, one more run "
                "of each; %lld kB against %lld kB):\n",
                static_cast<long long>(lTotal), static_cast<long long>(pTotal));
    int64_t shown = 0;
    for (size_t i = 0; i < diff.size() && i < 16 && diff[i].first > 0; ++i) {
        const auto it = p.find(diff[i].second);
        std::printf("    %+8lld kB  %-40s (launcher %lld, plain %lld)\n", static_cast<long long>(diff[i].first),
                    diff[i].second.c_str(), static_cast<long long>(l[diff[i].second]),
                    static_cast<long long>(it == p.end() ? 0 : it->second));
        shown += diff[i].first;
    }
    std::printf("    %+8lld kB  everything else\n", static_cast<long long>(lTotal - pTotal - shown));
    std::printf("  the launcher's bitmaps of 256 kB or more (they are part of the anonymous memory):\n%s",
                bitmaps.empty() ? "    none seen\n" : bitmaps.c_str());
    std::fflush(stdout);
}

void Bench::FigureExit()
{
    std::printf("game-exit start -> exit, beside bench_trivial (start -> exit; alternating, the first of each "
                "left out)\n");
    std::fflush(stdout);
    // The game-exit start tells the parent whose window the settings file names; a normal start wrote it.
    {
        Child setup;
        HWND hWnd = nullptr;
        if (!LauncherStart(true, &setup, &hWnd).ok) {
            bench::Row("game-exit start, start -> exit", "runs", "the launcher did not start", "miss");
            m_bFailed = true;
            return;
        }
        (void)End(setup, hWnd);
    }
    const std::wstring gameExitArgs = L"\"{\"type\":1}\"";  // as the parent writes it
    const std::wstring logPath = TodaysLogPath();
    std::vector<double> firstLine, lastLine;
    long runs = 0;
    const long noticesBefore = m_parent.Notices();
    const auto gameExit = [&]() -> double {
        const size_t logFrom = FileSize(logPath);
        Child c;
        if (!Start(m_opt.launcher, gameExitArgs, c)) return 1e9;
        if (::WaitForSingleObject(c.hProcess.Get(), 30000) != WAIT_OBJECT_0) {
            ::TerminateProcess(c.hProcess.Get(), 1);
            return 1e9;
        }
        const double t = bench::NowUs() - c.startUs;
        ++runs;
        const auto log = launchrec::ParseLog(ReadFileText(logPath, logFrom));
        if (!log.empty()) {
            firstLine.push_back(launchrec::FirstLineAfter(log, "", c.startLocal));
            lastLine.push_back(static_cast<double>(launchrec::FileTimeUs(log.back().localTime) -
                                                   launchrec::FileTimeUs(c.startLocal)));
        }
        return t;
    };
    // Start -> exit of a program that ends by itself.
    const auto startToExit = [&](const std::wstring& program, const std::wstring& args) -> double {
        Child c;
        if (!Start(program, args, c)) return 1e9;
        (void)::WaitForSingleObject(c.hProcess.Get(), 30000);
        return bench::NowUs() - c.startUs;
    };
    const auto trivial = [&] { return startToExit(m_opt.bin + L"bench_trivial.exe", L""); };
    (void)gameExit();
    (void)trivial();
    firstLine.clear();
    lastLine.clear();
    const auto [exitStats, trivialStats] = bench::MeasurePair(gameExit, trivial, {m_opt.runs, m_opt.runs * 4});
    bench::Detail("bench_trivial: start -> exit", trivialStats);
    bench::Detail("launcher, game-exit start: start -> exit", exitStats);
    std::printf("  where it goes (median after CreateProcess): first log line %s, last log line (notice sent) %s, "
                "process ended %s\n",
                bench::Time(bench::Summarise(firstLine).median).c_str(),
                bench::Time(bench::Summarise(lastLine).median).c_str(), bench::Time(exitStats.median).c_str());
    std::printf("  the parent's window received %ld notices from %ld game-exit starts\n",
                m_parent.Notices() - noticesBefore, runs);
    std::fflush(stdout);
    (void)bench::RowPlusGoal("game-exit start, start -> exit", exitStats, trivialStats, kExitAllowanceUs,
                             "trivial program");

    // What Wine charges for the DLLs the launcher must import at start, apart: the trivial program with the
    // same import table, beside the trivial program once more.
    const std::wstring withImports = m_opt.bin + L"bench_trivial_imports.exe";
    if (::GetFileAttributesW(withImports.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    const auto trivialImports = [&] { return startToExit(withImports, L""); };
    (void)trivialImports();
    const auto [importStats, trivialAgain] = bench::MeasurePair(trivialImports, trivial, {m_opt.runs, m_opt.runs * 4});
    bench::Detail("bench_trivial: start -> exit (again)", trivialAgain);
    bench::Detail("bench_trivial_imports: start -> exit", importStats);
    std::fflush(stdout);
    bench::Row("the launcher's start-time DLLs alone: trivial program with its import table, start -> exit",
               "info (trivial program " + bench::Time(trivialAgain.median) + "; the game-exit start cannot go below)",
               bench::Measured(importStats), "info");

    // The same program making the system calls of a game-exit start as well (log folder and file, mutex,
    // command line, settings file, the parent's notice), without any of the launcher's own code.
    const std::wstring callsArgs =
        L"--game-exit-calls " + std::to_wstring(static_cast<long long>(reinterpret_cast<INT_PTR>(m_parent.Main())));
    const auto trivialCalls = [&] { return startToExit(withImports, callsArgs); };
    (void)trivialCalls();
    const auto [callStats, trivialThird] = bench::MeasurePair(trivialCalls, trivial, {m_opt.runs, m_opt.runs * 4});
    bench::Detail("bench_trivial: start -> exit (third time)", trivialThird);
    bench::Detail("bench_trivial_imports --game-exit-calls: start -> exit", callStats);
    std::fflush(stdout);
    bench::Row("the game-exit start's system calls alone: trivial program with the import table making them, "
               "start -> exit",
               "info (trivial program " + bench::Time(trivialThird.median) + "; the game-exit start cannot go below)",
               bench::Measured(callStats), "info");
}

struct IdleResult {
    bool ok = false;
    std::vector<benchhook::WakeEntry> entries;
    int32_t dropped = 0;
    unixproc::Activity start, stop;
};


bool IsEngineClass(const wchar_t* windowClass)
{
    return std::wcsncmp(windowClass, kEngineClassPrefix, std::wcslen(kEngineClassPrefix)) == 0;
}

// What woke the window thread of a started program (its window hWnd, made by its main thread) over the idle
// time: the messages it took, seen by the hook, and every wake-up of its threads, seen by Linux.
IdleResult WatchIdle(Hook& hook, const wchar_t* exeName, const std::string& marker, HWND hWnd, int seconds)
{
    IdleResult r;
    const int unixPid = unixproc::FindProcess(Narrow(exeName), WinePrefix(), marker);
    if (!hook.Install(hWnd)) {
        std::printf("  ! the hook could not be set on the window's thread\n");
        return r;
    }
    ::Sleep(1000);  // the page script's last steps and the first paints are over
    if (!hook.Command(benchhook::kCommandStartRecording)) {
        std::printf("  ! the hook did not answer inside the program (was bench_hook.dll loaded there?)\n");
        hook.Remove();
        return r;
    }
    r.start = unixproc::ReadActivity(unixPid);
    ::Sleep(static_cast<DWORD>(seconds) * 1000);
    r.stop = unixproc::ReadActivity(unixPid);
    if (!hook.Command(benchhook::kCommandStopRecording)) {
        hook.Remove();
        return r;
    }
    const benchhook::Shared& shared = hook.Shared();
    r.entries.assign(shared.table, shared.table + shared.entries);
    r.dropped = shared.droppedEntries;
    r.ok = true;
    hook.Remove();
    return r;
}

struct WakeSummary {
    long launcher = 0;
    long engine = 0;
};

WakeSummary PrintWakes(const char* who, const IdleResult& r, int seconds)
{
    WakeSummary sum;
    std::printf("  %s, %d s idle: %s\n", who, seconds, r.entries.empty() ? "no message woke the window thread" : "");
    for (const benchhook::WakeEntry& e : r.entries) {
        const bool engine = IsEngineClass(e.windowClass);
        (engine ? sum.engine : sum.launcher) += e.count;
        const char* name = MessageName(e.message);
        std::printf("    %5d x %s 0x%04X%s%s to %s%s\n", e.count, e.kind == benchhook::kWakeSent ? "sent" : "queued",
                    e.message, name ? " " : "", name ? name : "",
                    e.windowClass[0] ? Narrow(e.windowClass).c_str() : "(the thread)",
                    engine ? " [stand-in engine]" : "");
        if (e.message == WM_TIMER)
            std::printf("            timer id %llu\n", static_cast<unsigned long long>(e.timerId));
    }
    if (r.dropped > 0) {
        std::printf("    %d more kinds beyond the table, counted as the launcher's\n", r.dropped);
        sum.launcher += r.dropped;
    }
    if (r.start.ok && r.stop.ok)
        std::printf("    Linux saw the window thread woken %lld times, all %d threads %lld times, processor time "
                    "%.0f ms\n",
                    static_cast<long long>(r.stop.mainThreadWakes - r.start.mainThreadWakes), r.stop.threads,
                    static_cast<long long>(r.stop.allThreadWakes - r.start.allThreadWakes),
                    r.stop.cpuMs - r.start.cpuMs);
    else
        std::printf("    the Linux process was not found under /proc: wake-ups of its threads unknown\n");
    std::fflush(stdout);
    return sum;
}

// Wake-ups of the window thread that no message of the stand-in engine explains (each of its messages woke
// the thread at most once): timers, polls or waits of the program itself. 0 when Linux could not be asked.
int64_t OwnWakes(const IdleResult& r, const WakeSummary& messages)
{
    if (!r.start.ok || !r.stop.ok) return 0;
    return std::max<int64_t>(0, r.stop.mainThreadWakes - r.start.mainThreadWakes - messages.engine);
}

void Bench::FigureIdle()
{
    std::printf("idle for %d s on the portal page (no progress, no input): what wakes the launcher's window "
                "thread, beside bench_plain's\n",
                m_opt.idleSeconds);
    std::fflush(stdout);
    Hook hook(m_opt.bin + L"bench_hook.dll", m_pShared);
    if (!hook.Usable()) {
        bench::Row("idle on the portal page for 10 s: wake-ups", "0 from the launcher", "bench_hook.dll not usable",
                   "miss");
        m_bFailed = true;
        return;
    }
    IdleResult plainIdle, launcherIdle;
    {
        Child child;
        HWND hWnd = nullptr;
        if (PlainStart(true, &child, &hWnd).ok)
            plainIdle = WatchIdle(hook, L"bench_plain.exe", Narrow(PlainMarker()), hWnd, m_opt.idleSeconds);
        (void)End(child, hWnd);
    }
    {
        Child child;
        HWND hWnd = nullptr;
        if (LauncherStart(true, &child, &hWnd).ok)
            launcherIdle = WatchIdle(hook, L"vemra2_main.exe", Narrow(LauncherArgs()), hWnd, m_opt.idleSeconds);
        (void)End(child, hWnd);
    }
    if (!plainIdle.ok || !launcherIdle.ok) {
        bench::Row("idle on the portal page for 10 s: wake-ups", "0 from the launcher", "not measured", "miss");
        m_bFailed = true;
        return;
    }
    const WakeSummary plain = PrintWakes("bench_plain", plainIdle, m_opt.idleSeconds);
    const WakeSummary launcher = PrintWakes("launcher", launcherIdle, m_opt.idleSeconds);
    const auto woke = [](const IdleResult& r) {
        return r.start.ok && r.stop.ok ? std::to_string(r.stop.mainThreadWakes - r.start.mainThreadWakes)
                                       : std::string("?");
    };
    const std::string seconds = std::to_string(m_opt.idleSeconds);
    bench::Row("idle on the portal page for " + seconds + " s: wake-ups by the launcher",
               "0 (timers, posted messages, polling; plain program's thread woke " + woke(plainIdle) + " times)",
               std::to_string(launcher.launcher) + " messages; window thread woken " + woke(launcherIdle) +
                   " times, " + std::to_string(launcher.engine) + " of them could be the stand-in engine's",
               bench::Verdict(launcher.launcher == 0 &&
                              OwnWakes(launcherIdle, launcher) <= OwnWakes(plainIdle, plain)));
    bench::Row("idle on the portal page for " + seconds + " s: wake-ups by the stand-in engine",
               "info (the engine's own windows)", std::to_string(launcher.engine) + " messages", "info");
}

void PrintCounts(const char* when, const objprobe::Counts& c)
{
    std::printf("    %-26s GDI %4d (", when, c.gdi);
    bool first = true;
    for (size_t k = 0; k < c.gdiByKind.size(); ++k) {
        if (c.gdiByKind[k] == 0) continue;
        std::printf("%s%s %d", first ? "" : ", ", objprobe::GdiKindName(k), c.gdiByKind[k]);
        first = false;
    }
    std::printf(")  USER %3d (windows %d, menus %d, icons and cursors %d, accelerator tables %d)\n", c.User(),
                c.windows, c.menus, c.icons, c.accelerators);
}

// Opens the network notice and closes it with Alt+F4 (its OK button would close the launcher too); false
// when the notice did not come or did not go within five seconds.
bool NoticeCycle(const Child& child, HWND hWnd, std::vector<double>& openUs, std::vector<double>& closeUs)
{
    const double t0 = bench::NowUs();
    ::PostMessageW(hWnd, WM_NETWORK_STATE, 1, 0);
    HWND hNotice = nullptr;
    if (!PollUntil(5000, [&] {
            hNotice = FindOwnWindow(child.processId, kNoticeClass);
            return hNotice != nullptr && ::IsWindowVisible(hNotice);
        }))
        return false;
    const double t1 = bench::NowUs();
    ::PostMessageW(hNotice, WM_SYSKEYDOWN, VK_F4, 0x20000001);  // context code: Alt is down
    if (!PollUntil(5000, [&] { return !::IsWindow(hNotice); })) return false;
    openUs.push_back(t1 - t0);
    closeUs.push_back(bench::NowUs() - t1);
    return true;
}

void Bench::FigureNotices()
{
    const int n = m_opt.notices;
    constexpr int kWarmUp = 10;
    std::printf("%d network notices opened and closed after %d to warm up (message %u with code 1 to the main "
                "window; each closed with Alt+F4, which leaves the launcher running): the launcher's objects, "
                "counted inside it\n",
                n, kWarmUp, WM_NETWORK_STATE);
    std::fflush(stdout);
    const std::string figure = std::to_string(n) + " notices opened and closed";
    Hook hook(m_opt.bin + L"bench_hook.dll", m_pShared);
    Child child;
    HWND hWnd = nullptr;
    if (!hook.Usable() || !LauncherStart(true, &child, &hWnd).ok || !hook.Install(hWnd)) {
        bench::Row(figure + ": GDI and USER objects", "back where they started", "not measured", "miss");
        m_bFailed = true;
        (void)End(child, hWnd);
        return;
    }
    ::Sleep(1000);
    const auto count = [&](objprobe::Counts& c) {
        if (!hook.Command(benchhook::kCommandCountObjects, 30000)) return false;
        c = hook.Shared().objects;
        return true;
    };
    const auto describeNew = [&]() -> std::string {
        return hook.Command(benchhook::kCommandDescribeNew) ? hook.Shared().newObjects : "(not described)";
    };
    objprobe::Counts initial, before, after;
    std::string madeByWarmUp, madeByCycle;
    const DWORD guiGdiBefore = ::GetGuiResources(child.hProcess.Get(), GR_GDIOBJECTS);
    const DWORD guiUserBefore = ::GetGuiResources(child.hProcess.Get(), GR_USEROBJECTS);
    std::vector<double> openUs, closeUs;
    bool ok = count(initial) && hook.Command(benchhook::kCommandMarkObjects);
    for (int i = 1; ok && i <= kWarmUp; ++i) ok = NoticeCycle(child, hWnd, openUs, closeUs);
    if (ok) madeByWarmUp = describeNew();
    ok = ok && count(before) && hook.Command(benchhook::kCommandMarkObjects);
    for (int i = 1; ok && i <= n; ++i) {
        ok = NoticeCycle(child, hWnd, openUs, closeUs);
        if (!ok) std::printf("  ! notice %d did not come or did not go\n", i);
    }
    ok = ok && count(after);
    if (ok) madeByCycle = describeNew();
    const DWORD guiGdiAfter = ::GetGuiResources(child.hProcess.Get(), GR_GDIOBJECTS);
    const DWORD guiUserAfter = ::GetGuiResources(child.hProcess.Get(), GR_USEROBJECTS);
    const bool alive = !Exited(child) && ::IsWindow(hWnd) && ::IsWindowEnabled(hWnd);
    hook.Remove();
    (void)End(child, hWnd);
    if (!ok) {
        bench::Row(figure + ": GDI and USER objects", "back where they started", "the cycle broke off", "miss");
        m_bFailed = true;
        return;
    }
    std::printf("  GetGuiResources from outside: GDI %lu -> %lu, USER %lu -> %lu%s\n", guiGdiBefore, guiGdiAfter,
                guiUserBefore, guiUserAfter,
                guiGdiBefore + guiGdiAfter + guiUserBefore + guiUserAfter == 0
                    ? " (Wine answers 0: the counts below are taken inside the launcher by bench_hook.dll)"
                    : "");
    PrintCounts("before any notice", initial);
    PrintCounts(("after " + std::to_string(kWarmUp) + " to warm up").c_str(), before);
    PrintCounts(("after " + std::to_string(n) + " more").c_str(), after);
    const auto list = [](const char* title, const std::string& lines) {
        std::printf("  GDI objects %s:%s\n", title, lines.empty() ? " none" : "");
        for (const std::string& line : launchrec::Lines(lines)) std::printf("    %s\n", line.c_str());
    };
    list("made by the warm-up that stay (a window's dc \"no window\" is Wine's cache of display dcs, kept with its "
         "last visible region)",
         madeByWarmUp);
    list(("made by the " + std::to_string(n) + " notices that stay").c_str(), madeByCycle);
    bench::Detail("notice: message posted -> notice visible", bench::Summarise(openUs));
    bench::Detail("notice: Alt+F4 posted -> notice gone", bench::Summarise(closeUs));
    std::printf("  main window still there and enabled afterwards: %s\n", alive ? "yes" : "no");
    std::fflush(stdout);
    const auto row = [&](const char* kind, int32_t first, int32_t b, int32_t a) {
        bench::Row(figure + ": " + kind + " objects",
                   "back where they started: " + std::to_string(b) + " after " + std::to_string(kWarmUp) +
                       " notices to warm up (" + std::to_string(first) + " before any)",
                   std::to_string(a) + " after " + std::to_string(n) + " more", bench::Verdict(a == b && alive));
    };
    row("GDI", initial.gdi, before.gdi, after.gdi);
    row("USER", initial.User(), before.User(), after.User());
}

int Bench::Run()
{
    if (m_opt.Wants(L"start")) FigureStart();
    if (m_opt.Wants(L"exit")) FigureExit();
    if (m_opt.Wants(L"idle")) FigureIdle();
    if (m_opt.Wants(L"notices")) FigureNotices();
    return m_bFailed ? 1 : 0;
}

// The stand-in engine answers for the WebBrowser class in this prefix (in this program's registry view).
bool StandInRegistered(std::wstring& server)
{
    wchar_t value[MAX_PATH * 2] = {};
    DWORD size = sizeof value;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kWebBrowserServer, nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return false;
    server = value;
    std::wstring lower = server;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(::towlower(c)); });
    return lower.find(L"fake_browser.dll") != std::wstring::npos;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    Options opt;
    opt.bin = bench::SelfFolder();
    opt.launcher = bench::Arg(argc, argv, L"launcher", opt.bin + L"vemra2_main.exe");
    opt.runs = static_cast<size_t>(std::max(3, _wtoi(bench::Arg(argc, argv, L"runs", L"15").c_str())));
    opt.idleSeconds = std::max(1, _wtoi(bench::Arg(argc, argv, L"idle-seconds", L"10").c_str()));
    opt.notices = std::max(1, _wtoi(bench::Arg(argc, argv, L"notices", L"200").c_str()));
    opt.figures = bench::Arg(argc, argv, L"figures", opt.figures);

    std::wstring server;
    if (!StandInRegistered(server)) {
        std::printf("bench_launcher: the stand-in browser engine is not registered in this Wine prefix (found "
                    "\"%s\"); scripts/wine-env.sh start registers it\n",
                    Narrow(server).c_str());
        return 2;
    }
    {
        const CUniqueHandle hRunning(::OpenMutexW(SYNCHRONIZE, FALSE, L"vemra2_main.exe"));
        if (hRunning) {
            std::printf("bench_launcher: a launcher is running already; its one-instance lock would turn every "
                        "start into a hand-over\n");
            return 2;
        }
    }

    // The measured programs inherit the environment: the normal start's page, the engine's records in a file
    // of this run, and the name of the hook's shared block.
    SetEnv(L"VEMRA_FAKE_PAGE", nullptr);
    SetEnv(L"VEMRA2_PORTAL_BASE", nullptr);
    SetEnv(L"VEMRA2_PAGE_TIMEOUT_MS", nullptr);
    wchar_t temp[MAX_PATH] = {};
    (void)::GetTempPathW(MAX_PATH, temp);
    const std::wstring tag = std::to_wstring(::GetCurrentProcessId());
    const std::wstring engineLog = std::wstring(temp) + L"vemra-bench-engine-" + tag + L".txt";
    SetEnv(L"VEMRA_FAKE_BROWSER_LOG", engineLog.c_str());
    const std::wstring sharedName = L"Local\\VemraBenchHook-" + tag;
    const CUniqueHandle hMapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                      sizeof(benchhook::Shared), sharedName.c_str()));
    void* view = hMapping ? ::MapViewOfFile(hMapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(benchhook::Shared))
                          : nullptr;
    if (view == nullptr) {
        std::printf("bench_launcher: no shared memory for the hook\n");
        return 2;
    }
    SetEnv(benchhook::kSharedNameVariable, sharedName.c_str());

    std::printf("bench_launcher: %s with the stand-in engine %s\n", Narrow(opt.launcher).c_str(),
                Narrow(server).c_str());
    std::fflush(stdout);
    int rc = 0;
    {
        const SettingsKeeper settings;
        Bench bench(opt, static_cast<benchhook::Shared*>(view), engineLog);
        rc = bench.Run();
    }
    (void)::UnmapViewOfFile(view);
    (void)::DeleteFileW(engineLog.c_str());
    return rc;
}
