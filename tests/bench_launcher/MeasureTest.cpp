// What bench_launcher's figures rest on: the object counts taken inside a process, the hook that records what
// wakes a window thread, the Linux process behind a Wine process, and the records a start leaves behind.
// A measurement that counts wrongly would print a pass for a leak or a miss for nothing.
#include "BenchHook.h"
#include "LaunchRecords.h"
#include "ObjectProbe.h"
#include "TestSupport.h"
#include "UIHandle.h"
#include "UnixProc.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using SkinUI::CUniqueHandle;

// ---- objects counted inside the process ----------------------------------------------------------------

TEST(ObjectProbe, CountsExactlyTheGdiObjectsMadeAndFreedByKind)
{
    objprobe::GdiKinds kinds0{};
    const int32_t before = objprobe::CountGdi(kinds0);
    ASSERT_GT(before, 0) << "stock objects exist in every process";
    {
        SkinUI::CUniqueBitmap b1(::CreateBitmap(37, 21, 1, 32, nullptr));
        SkinUI::CUniqueBitmap b2(::CreateBitmap(8, 8, 1, 1, nullptr));
        SkinUI::CUniqueBrush brush(::CreateSolidBrush(RGB(1, 2, 3)));
        SkinUI::CUniqueRgn region(::CreateRectRgn(0, 0, 5, 5));
        SkinUI::CMemDC dc(::CreateCompatibleDC(nullptr));
        SkinUI::CUniqueFont font(
            ::CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
        ASSERT_TRUE(b1 && b2 && brush && region && dc && font);
        objprobe::GdiKinds kinds{};
        EXPECT_EQ(objprobe::CountGdi(kinds), before + 6);
        const struct {
            DWORD kind;
            int added;
        } expected[] = {{OBJ_BITMAP, 2}, {OBJ_BRUSH, 1}, {OBJ_REGION, 1}, {OBJ_MEMDC, 1}, {OBJ_FONT, 1}, {OBJ_PEN, 0}};
        for (const auto& e : expected)
            EXPECT_EQ(kinds[e.kind] - kinds0[e.kind], e.added) << objprobe::GdiKindName(e.kind);
    }
    objprobe::GdiKinds after{};
    EXPECT_EQ(objprobe::CountGdi(after), before) << "every object freed is gone from the count";
}

TEST(ObjectProbe, CountsWindowsMenusIconsAndAcceleratorTablesOfThisProcessOnly)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = &::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ObjectProbeTestWindow";
    (void)::RegisterClassW(&wc);
    // The system may give a thread's first window company of its own (an input method window): made first.
    SkinUI::CUniqueHwnd first(::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                                wc.hInstance, nullptr));
    const objprobe::Counts before = objprobe::CountOwnObjects();
    {
        SkinUI::CUniqueHwnd top(::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                                  wc.hInstance, nullptr));
        SkinUI::CUniqueHwnd child(::CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD, 0, 0, 5, 5, top.Get(), nullptr,
                                                    wc.hInstance, nullptr));
        SkinUI::CUniqueHwnd grandChild(::CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD, 0, 0, 2, 2, child.Get(),
                                                         nullptr, wc.hInstance, nullptr));
        SkinUI::CUniqueHwnd messageOnly(::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                                          nullptr, wc.hInstance, nullptr));
        SkinUI::CUniqueHmenu menu(::CreatePopupMenu());
        ACCEL accel{FVIRTKEY, VK_F5, 1};
        SkinUI::CUniqueAccel table(::CreateAcceleratorTableW(&accel, 1));
        const BYTE andBits[32 * 4] = {};
        const BYTE xorBits[32 * 4] = {};
        using CUniqueIcon = SkinUI::CUniqueRes<HICON, SkinUI::NullIsInvalid<HICON, &::DestroyIcon>>;
        CUniqueIcon icon(::CreateIcon(wc.hInstance, 32, 32, 1, 1, andBits, xorBits));
        ASSERT_TRUE(top && child && grandChild && messageOnly && menu && table && icon);

        const objprobe::Counts during = objprobe::CountOwnObjects();
        EXPECT_EQ(during.windows - before.windows, 4) << "top-level, child, grandchild and message-only";
        EXPECT_EQ(during.menus - before.menus, 1);
        EXPECT_EQ(during.accelerators - before.accelerators, 1);
        EXPECT_EQ(during.icons - before.icons, 1);
        EXPECT_EQ(during.User() - before.User(), 7);
    }
    const objprobe::Counts after = objprobe::CountOwnObjects();
    EXPECT_EQ(after.User(), before.User());
    EXPECT_EQ(after.gdi, before.gdi) << "the icon probe frees the bitmaps it is handed";
}

TEST(ObjectProbe, DescribesWhatAnObjectHolds)
{
    SkinUI::CUniqueBitmap bitmap(::CreateBitmap(37, 21, 1, 32, nullptr));
    SkinUI::CUniqueBrush brush(::CreateSolidBrush(RGB(0x12, 0x34, 0x56)));
    SkinUI::CUniqueRgn region(::CreateRectRgn(1, 2, 30, 40));
    const auto slot = [](HGDIOBJ h) { return reinterpret_cast<uintptr_t>(h) & 0xFFFF; };
    const struct {
        HGDIOBJ object;
        const char* prefix;
        const char* detail;
    } cases[] = {
        {bitmap.Get(), "bitmap ", ": 37 x 21, 32 bits"},
        {brush.Get(), "brush ", ": style 0, colour 563412"},
        {region.Get(), "region ", ": box 1,2,30,40"},
    };
    for (const auto& c : cases) {
        const std::string text = objprobe::DescribeGdi(slot(c.object));
        EXPECT_EQ(text.rfind(c.prefix, 0), 0u) << text;
        EXPECT_NE(text.find(c.detail), std::string::npos) << text;
    }
}

// ---- the hook inside a window thread -------------------------------------------------------------------

// A window thread like the launcher's: one window of its own, one of the stand-in engine's class name, a
// message loop; it runs a task handed to it through the queue.
class WatchedThread {
public:
    static constexpr UINT kRunTask = WM_APP + 40;
    static constexpr UINT kPlain = WM_USER + 5;
    static constexpr UINT kStartTimer = WM_USER + 6;  // a window's timers are set by its own thread

    WatchedThread() : m_thread([this] { Run(); })
    {
        while (!m_bReady.load()) ::Sleep(1);
    }
    ~WatchedThread()
    {
        ::PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
        m_thread.join();
    }
    WatchedThread(const WatchedThread&) = delete;
    WatchedThread& operator=(const WatchedThread&) = delete;

    HWND Own() const { return m_hOwn; }
    HWND Engine() const { return m_hEngine; }
    DWORD ThreadId() const { return m_threadId; }
    int CommandsSeenByWindows() const { return m_nCommandsSeen.load(); }

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        static const UINT s_command = ::RegisterWindowMessageW(benchhook::kCommandMessageName);
        auto* self = reinterpret_cast<WatchedThread*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (msg == s_command && self != nullptr) ++self->m_nCommandsSeen;
        if (msg == kStartTimer) {
            ::SetTimer(hWnd, wParam, 10, nullptr);
            return 0;
        }
        if (msg == WM_TIMER) {
            ::KillTimer(hWnd, wParam);
            return 0;
        }
        return ::DefWindowProcW(hWnd, msg, wParam, lParam);
    }

    HWND Make(const wchar_t* className)
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &WatchedThread::Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = className;
        (void)::RegisterClassW(&wc);
        const HWND h = ::CreateWindowExW(0, className, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance,
                                         nullptr);
        ::SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        return h;
    }

    void Run() noexcept
    {
        m_threadId = ::GetCurrentThreadId();
        SkinUI::CUniqueHwnd own(Make(L"MeasureTestHost"));
        SkinUI::CUniqueHwnd engine(Make(L"VemraFakeBrowserPumpTest"));
        m_hOwn = own.Get();
        m_hEngine = engine.Get();
        m_bReady = true;
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    }

    std::atomic<bool> m_bReady{false};
    std::atomic<int> m_nCommandsSeen{0};
    DWORD m_threadId = 0;
    HWND m_hOwn = nullptr;
    HWND m_hEngine = nullptr;
    std::thread m_thread;
};

class HookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::wstring name = L"Local\\VemraMeasureTest-" + std::to_wstring(::GetCurrentProcessId());
        m_hMapping.Put(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            sizeof(benchhook::Shared), name.c_str()));
        ASSERT_TRUE(m_hMapping);
        m_pShared = static_cast<benchhook::Shared*>(
            ::MapViewOfFile(m_hMapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(benchhook::Shared)));
        ASSERT_NE(m_pShared, nullptr);
        // Read by the DLL at its first hook call in this process, so every test of the program names the same block.
        ::SetEnvironmentVariableW(benchhook::kSharedNameVariable, name.c_str());
        m_hDll.Put(::LoadLibraryW((test::BinDir() + L"bench_hook.dll").c_str()));
        ASSERT_TRUE(m_hDll);
        m_install = reinterpret_cast<benchhook::InstallFn>(
            reinterpret_cast<void*>(::GetProcAddress(m_hDll.Get(), benchhook::kInstallExport)));
        m_remove = reinterpret_cast<benchhook::RemoveFn>(
            reinterpret_cast<void*>(::GetProcAddress(m_hDll.Get(), benchhook::kRemoveExport)));
        ASSERT_TRUE(m_install && m_remove);
        m_command = ::RegisterWindowMessageW(benchhook::kCommandMessageName);
    }
    void TearDown() override
    {
        if (m_remove) m_remove();
        if (m_pShared) ::UnmapViewOfFile(m_pShared);
    }

    bool Command(HWND hWnd, benchhook::Command command)
    {
        const LONG before = m_pShared->commandsDone;
        ::PostMessageW(hWnd, m_command, command, 0);
        for (int i = 0; i < 5000 && m_pShared->commandsDone == before; ++i) ::Sleep(1);
        return m_pShared->commandsDone != before;
    }

    // The recorded count for one kind of wake-up, 0 when absent.
    int Recorded(uint32_t kind, UINT message, const wchar_t* windowClass) const
    {
        for (int32_t i = 0; i < m_pShared->entries; ++i) {
            const benchhook::WakeEntry& e = m_pShared->table[i];
            if (e.kind == kind && e.message == message && std::wstring(e.windowClass) == windowClass) return e.count;
        }
        return 0;
    }

    CUniqueHandle m_hMapping;
    benchhook::Shared* m_pShared = nullptr;
    SkinUI::CUniqueHmodule m_hDll;
    benchhook::InstallFn m_install = nullptr;
    benchhook::RemoveFn m_remove = nullptr;
    UINT m_command = 0;
};

TEST_F(HookTest, RecordsWhatWokeTheThreadByMessageAndWindowClassAndHidesItsCommands)
{
    WatchedThread watched;
    ASSERT_NE(m_install(watched.ThreadId()), 0);
    ASSERT_TRUE(Command(watched.Own(), benchhook::kCommandStartRecording));
    EXPECT_EQ(m_pShared->threadId, watched.ThreadId());

    for (int i = 0; i < 3; ++i) ::PostMessageW(watched.Own(), WatchedThread::kPlain, 0, 0);
    ::SendMessageW(watched.Own(), WatchedThread::kPlain, 1, 0);  // from this thread: a wake-up there
    ::PostMessageW(watched.Engine(), WatchedThread::kStartTimer, 77, 0);  // ended at its first tick
    ::Sleep(200);
    ASSERT_TRUE(Command(watched.Own(), benchhook::kCommandStopRecording));
    ::PostMessageW(watched.Own(), WatchedThread::kPlain, 0, 0);  // after the end: not recorded
    ::Sleep(50);

    EXPECT_EQ(Recorded(benchhook::kWakeQueued, WatchedThread::kPlain, L"MeasureTestHost"), 3);
    EXPECT_EQ(Recorded(benchhook::kWakeSent, WatchedThread::kPlain, L"MeasureTestHost"), 1);
    EXPECT_EQ(Recorded(benchhook::kWakeQueued, WM_TIMER, L"VemraFakeBrowserPumpTest"), 1);
    bool timerIdKept = false;
    for (int32_t i = 0; i < m_pShared->entries; ++i)
        if (m_pShared->table[i].message == WM_TIMER) timerIdKept = m_pShared->table[i].timerId == 77;
    EXPECT_TRUE(timerIdKept);
    EXPECT_EQ(Recorded(benchhook::kWakeQueued, m_command, L"MeasureTestHost"), 0) << "its own commands";
    EXPECT_EQ(watched.CommandsSeenByWindows(), 0) << "the measured program never sees the benchmark's commands";
}

TEST_F(HookTest, CountsAndDescribesTheObjectsOfTheProcessItRunsIn)
{
    WatchedThread watched;
    ASSERT_NE(m_install(watched.ThreadId()), 0);
    ASSERT_TRUE(Command(watched.Own(), benchhook::kCommandCountObjects));
    const objprobe::Counts here = objprobe::CountOwnObjects();
    EXPECT_EQ(m_pShared->objects.gdi, here.gdi);
    EXPECT_EQ(m_pShared->objects.windows, here.windows);

    ASSERT_TRUE(Command(watched.Own(), benchhook::kCommandMarkObjects));
    SkinUI::CUniqueBrush brush(::CreateSolidBrush(RGB(0xAB, 0xCD, 0xEF)));
    ASSERT_TRUE(Command(watched.Own(), benchhook::kCommandDescribeNew));
    const std::vector<std::string> made = launchrec::Lines(m_pShared->newObjects);
    ASSERT_EQ(made.size(), 1u) << m_pShared->newObjects;
    EXPECT_NE(made[0].find("brush"), std::string::npos) << made[0];
    EXPECT_NE(made[0].find("colour efcdab"), std::string::npos) << made[0];

    brush.Reset();
    ASSERT_TRUE(Command(watched.Own(), benchhook::kCommandDescribeNew));
    EXPECT_STREQ(m_pShared->newObjects, "") << "a freed object is no longer listed";
}

// ---- the Linux process behind this Wine process --------------------------------------------------------

TEST(UnixProcess, FindsThisProgramAndSeesItsMainThreadWake)
{
    wchar_t prefix[MAX_PATH * 2] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH * 2);
    ASSERT_GT(n, 0u) << "the tests run under Wine with a prefix of their own";
    std::string prefixUtf8(prefix, prefix + n);  // the prefix path is ASCII
    // Other tests of this program may run at the same time; this one is known by its arguments (under CTest,
    // its own test filter).
    int argc = 0;
    SkinUI::CUniqueLocal argv(::CommandLineToArgvW(::GetCommandLineW(), &argc));
    ASSERT_TRUE(argv);
    const std::wstring first = argc > 1 ? static_cast<wchar_t**>(argv.Get())[1] : L"";
    const std::string marker(first.begin(), first.end());  // test names and options are ASCII
    const int pid = unixproc::FindProcess("bench_launcher_tests.exe", prefixUtf8, marker);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(unixproc::FindProcess("bench_launcher_tests.exe", "/no/such/prefix", marker), 0);
    EXPECT_EQ(unixproc::FindProcess("bench_launcher_tests.exe", prefixUtf8, "--no-such-argument"), 0);

    const unixproc::Activity before = unixproc::ReadActivity(pid);
    ASSERT_TRUE(before.ok);
    for (int i = 0; i < 10; ++i) ::Sleep(5);  // each sleep puts the thread to sleep and wakes it again
    const unixproc::Activity after = unixproc::ReadActivity(pid);
    ASSERT_TRUE(after.ok);
    EXPECT_GE(after.mainThreadWakes - before.mainThreadWakes, 10);
    EXPECT_GE(after.threads, 1);
    EXPECT_GE(after.allThreadWakes, after.mainThreadWakes);
}

// ---- records and /proc files, read ---------------------------------------------------------------------

TEST(LaunchRecords, EngineTimesComeFromThePagesOwnRecordsOnTheSharedClock)
{
    const struct {
        const char* records;
        double created, navigate, complete;
    } cases[] = {
        {"created clsid={X} pid=1 thread=2 clock-us=1000000\r\n"
         "navigate url=https://a/ script=default steps=2 sync=0 ms=3 us=3500\r\n"
         "event name=DocumentComplete url=https://a/f frame=1 ms=4 us=4000\r\n"
         "event name=DocumentComplete url=https://a/ frame=0 ms=9 us=9250\r\n"
         "event name=DocumentComplete url=https://a/ frame=0 ms=20 us=20000\r\n",
         1000000, 1003500, 1009250},
        {"created clsid={X} pid=1 thread=2\r\nevent name=DocumentComplete url=u frame=0 ms=9\r\n", -1, -1, -1},
        {"navigate url=u ms=1 us=5\r\n", -1, -1, -1},
        {"", -1, -1, -1},
    };
    for (const auto& c : cases) {
        const launchrec::EngineTimes t = launchrec::ReadEngineTimes(c.records);
        EXPECT_EQ(t.createdUs, c.created) << c.records;
        EXPECT_EQ(t.navigateUs, c.navigate) << c.records;
        EXPECT_EQ(t.completeUs, c.complete) << c.records;
    }
}

TEST(LaunchRecords, LogLinesGiveTheirTimeFunctionAndMessage)
{
    launchrec::LogLine l;
    ASSERT_TRUE(launchrec::ParseLogLine(
        "2026-12-10 04:01:45. 93 [Main.cpp<44>wWinMain] : Logger::initializePathDir:C:\\x", l));
    EXPECT_EQ(l.function, "wWinMain");
    EXPECT_EQ(l.message, "Logger::initializePathDir:C:\\x");
    launchrec::LogLine m;
    ASSERT_TRUE(launchrec::ParseLogLine("2026-12-10 04:01:45.200 [GameLoaderWnd.cpp<9>GameLoaderWnd::LoadWeb] : a", m));
    EXPECT_EQ(launchrec::FileTimeUs(m.localTime) - launchrec::FileTimeUs(l.localTime), 107000)
        << "blank-padded milliseconds read as numbers";

    for (const char* bad : {"", "not a log line", "2026-13-10 04:01:45.200 [a<1>f] : x", "2026-12-10 04:01:45.200 x"})
        EXPECT_FALSE(launchrec::ParseLogLine(bad, l)) << bad;

    const auto log = launchrec::ParseLog("2026-12-10 04:01:45.100 [a<1>first] : x\r\n"
                                         "garbage\r\n"
                                         "2026-12-10 04:01:45.130 [b<2>GameLoaderWnd::LoadWeb] : y\r\n");
    ASSERT_EQ(log.size(), 2u);
    FILETIME start = log[0].localTime;
    EXPECT_EQ(launchrec::FirstLineAfter(log, "", start), 0);
    EXPECT_EQ(launchrec::FirstLineAfter(log, "GameLoaderWnd::LoadWeb", start), 30000);
    EXPECT_LT(launchrec::FirstLineAfter(log, "absent", start), 0);
}

TEST(UnixProcFiles, StatStatusAndMappingsAreReadByTheirFields)
{
    // A name with blanks and a parenthesis; fields 14, 15 and 22 are the times.
    const unixproc::Stat s = unixproc::ParseStat(
        "4242 (a (b) c.exe) S 1 4242 4242 0 -1 4194560 100 0 0 0 7 3 0 0 20 0 2 0 123456 1000 200 "
        "18446744073709551615");
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.comm, "a (b) c.exe");
    EXPECT_EQ(s.state, 'S');
    EXPECT_EQ(s.utime, 7u);
    EXPECT_EQ(s.stime, 3u);
    EXPECT_EQ(s.startTime, 123456u);
    EXPECT_FALSE(unixproc::ParseStat("4242 (short) S 1").ok);

    const std::string status = "Name:\tx\nnonvoluntary_ctxt_switches:\t9\nvoluntary_ctxt_switches:\t41\n";
    EXPECT_EQ(unixproc::StatusValue(status, "voluntary_ctxt_switches"), 41);
    EXPECT_EQ(unixproc::StatusValue(status, "nonvoluntary_ctxt_switches"), 9);
    EXPECT_EQ(unixproc::StatusValue(status, "VmRSS"), -1);

    const auto rss = unixproc::ResidentByMapping(
        "7f0000000000-7f0000001000 r--p 00000000 08:01 123 /usr/lib/wine/x86_64-windows/user32.dll\n"
        "Size:                  4 kB\nRss:                   4 kB\n"
        "7f0000001000-7f0000009000 r-xp 00001000 08:01 123 /usr/lib/wine/x86_64-windows/user32.dll\n"
        "Rss:                  32 kB\n"
        "7f000000a000-7f000010a000 rw-p 00000000 00:00 0 \nRss:                 100 kB\n"
        "55d000000000-55d000100000 rw-p 00000000 00:00 0                          [heap]\nRss:  8 kB\n"
        "7ffc00000000-7ffc00021000 rw-p 00000000 00:00 0                          [stack]\nRss:  12 kB\n");
    EXPECT_EQ(rss.at("user32.dll"), 36);
    EXPECT_EQ(rss.at("[anonymous]"), 100);
    EXPECT_EQ(rss.at("[heap]"), 8);
    EXPECT_EQ(rss.at("[stack]"), 12);
    EXPECT_EQ(rss.size(), 4u);
}

}  // namespace
