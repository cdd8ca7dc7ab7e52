// The launcher as the parent client sees it, driven through the parent-client simulator: game-exit starts,
// the notice they send, and a parent that stops responding.
#include "SimSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using test::LogTail;
using test::SimRun;
using test::StartsWith;
using test::WithPrefix;

const std::string& kNoticeRecord = test::ParentNoticeRecord();

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());  // the steps here are ASCII
}

// The settings file belongs to the prefix; every test leaves it as it found it.
class ParentLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_settingsPath = test::ParentFolder() + L"setting.xml";
        m_hadSettings = test::FileExists(m_settingsPath);
        if (m_hadSettings) m_savedSettings = test::ReadFileBytes(m_settingsPath);
        m_dir = test::MakeTempDir(L"parentlink");
    }
    void TearDown() override
    {
        if (m_hadSettings) {
            test::WriteFileBytes(m_settingsPath, m_savedSettings);
        } else {
            ::DeleteFileW(m_settingsPath.c_str());
        }
        test::RemoveTree(m_dir);
    }

    SimRun RunSim(const std::vector<std::wstring>& steps, const std::wstring& options = L"")
    {
        return test::RunParentSim(m_dir, steps, options);
    }

    // A game-exit start of any form after the settings file was written as given.
    SimRun GameExit(const std::wstring& settings, const std::wstring& startStep = L"start-game-exit")
    {
        return RunSim({settings.empty() ? L"settings-delete" : L"settings " + settings, startStep, L"wait-exit 30000"});
    }
    // A start that opens the main window, which is then closed directly (no close procedure, no notice).
    SimRun NormalStartClosed(const std::wstring& settings, const std::wstring& startStep)
    {
        return RunSim({settings.empty() ? L"settings-delete" : L"settings " + settings, startStep,
                       L"wait-window 10000", L"post 16", L"wait-exit 30000"});
    }

    std::wstring m_settingsPath;
    bool m_hadSettings = false;
    std::string m_savedSettings;
    std::wstring m_dir;
};

const std::wstring kSavedParent =
    L"<settings><ocwindowid>{main}</ocwindowid><loginsource>OC</loginsource></settings>";

TEST_F(ParentLink, SimulatorStartsTheLauncherWithTheEightOptions)
{
    const SimRun run = RunSim({L"start token=abc typeMode=1 -ocext", L"wait-window 10000", L"post 16", L"wait-exit 30000"});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_FALSE(run.records.empty());
    const std::string ready = run.records.front();
    ASSERT_TRUE(StartsWith(ready, "ready main=")) << ready;
    const std::string main = ready.substr(11, ready.find(' ', 11) - 11);
    const std::string mgr = ready.substr(ready.find("mgr=") + 4);
    const auto started = WithPrefix(run.records, "started pid=");
    ASSERT_EQ(started.size(), 1u);
    EXPECT_NE(started[0].find("vemra2_main.exe --winid=" + main +
                              " --source=OC --tokenLogin=0 --token=abc --installed=1 --gameMgrId=" + mgr +
                              " --typeMode=1"),
              std::string::npos)
        << started[0];
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    // Type mode 1 announces the launcher to the game manager; a direct close sends the parent nothing.
    EXPECT_EQ(run.Received(), std::vector<std::string>{"message to=mgr msg=1348 wparam=0 lparam=0"});
    EXPECT_EQ(run.records.back(), "done");
}

std::vector<MSG> g_posted;

LRESULT CALLBACK RecordingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER) g_posted.push_back({hWnd, message, wParam, lParam, 0, {}});
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

// The simulator itself, before later tests rely on it: what it posts and what it records.
TEST_F(ParentLink, SimulatorPostsToTheLauncherTitleAndRecordsManagerMessages)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VemraParentLinkTestWindow";
    ::RegisterClassW(&wc);
    HWND hLauncher = ::CreateWindowExW(0, wc.lpszClassName, L"Vemrakai2", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                       nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(hLauncher);
    g_posted.clear();

    const std::wstring out = m_dir + L"records.txt";
    HANDLE hSim = test::StartProcess(test::BinDir() + L"parent_sim.exe",
                                     test::QuoteArg(L"--out=" + out) + L" \"post 1134 0\" \"post 1136 57\" \"post 1126 -1 516\" \"wait 3000\"");
    ASSERT_TRUE(hSim);
    // Plays the launcher: 1348 and 1347 to the game-manager window while the simulator waits.
    HWND hManager = nullptr;
    for (int i = 0; i < 100 && !hManager; ++i) {
        test::PumpFor(20);
        hManager = ::FindWindowW(L"VemraParentSimGameMgr", nullptr);
    }
    ASSERT_TRUE(hManager);
    ::PostMessageW(hManager, WM_USER + 324, 0, 0);
    ::PostMessageW(hManager, WM_USER + 323, 0, 0);
    ASSERT_TRUE(test::WaitPumping(hSim, 30000));
    ::CloseHandle(hSim);
    test::PumpFor(100);
    ::DestroyWindow(hLauncher);

    ASSERT_EQ(g_posted.size(), 3u);
    EXPECT_EQ(g_posted[0].message, WM_USER + 110u);
    EXPECT_EQ(g_posted[0].wParam, 0u);
    EXPECT_EQ(g_posted[1].message, WM_USER + 112u);
    EXPECT_EQ(g_posted[1].wParam, 57u);
    EXPECT_EQ(g_posted[2].message, WM_USER + 102u);
    EXPECT_EQ(g_posted[2].wParam, static_cast<WPARAM>(-1));
    EXPECT_EQ(g_posted[2].lParam, WM_RBUTTONDOWN);

    const std::vector<std::string> records = test::ReadSimRecords(out);
    const std::string hwnd = std::to_string(reinterpret_cast<INT_PTR>(hLauncher));
    EXPECT_EQ(WithPrefix(records, "posted "),
              (std::vector<std::string>{"posted msg=1134 wparam=0 hwnd=" + hwnd,
                                        "posted msg=1136 wparam=57 hwnd=" + hwnd,
                                        "posted msg=1126 wparam=-1 lparam=516 hwnd=" + hwnd}));
    EXPECT_EQ(WithPrefix(records, "message "),
              (std::vector<std::string>{"message to=mgr msg=1348 wparam=0 lparam=0",
                                        "message to=mgr msg=1347 wparam=0 lparam=0"}));
}

TEST_F(ParentLink, GameExitFormsNotifyTheSavedParentWindowOnce)
{
    const struct {
        const wchar_t* step;
        const char* launchText;  // what the launcher logs after "IsGameExit:"
    } cases[] = {
        {L"start-game-exit", "{type:1}"},
        {L"start-raw {type:1}", "{type:1}"},
        {L"start-raw type:1", "type:1"},
        {L"start-raw \"{\\\"type\\\":1}\"", "{\"type\":1}"},
        {L"start-raw \"{\\\"type\\\":1.0}\"", "{\"type\":1.0}"},
        {L"start-raw \"{\\\"type\\\":1, \\\"other\\\":[true]} // a comment\"",
         "{\"type\":1, \"other\":[true]} // a comment"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.step));
        LogTail tail;
        const SimRun run = GameExit(kSavedParent, c.step);
        ASSERT_TRUE(run.finished);
        EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
        const auto received = run.Received();
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0], kNoticeRecord);

        const auto messages = tail.NewMessages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(WithPrefix(messages, "IsGameExit:"),
                  std::vector<std::string>{std::string("IsGameExit:") + c.launchText});
        EXPECT_EQ(WithPrefix(messages, "game exit notify:"),
                  std::vector<std::string>{std::string("game exit notify:") + c.launchText});
        EXPECT_EQ(messages.back(), "Orbit Center wnd get");
    }
}

TEST_F(ParentLink, OtherSingleArgumentsAreNormalStarts)
{
    const struct {
        const wchar_t* step;
    } cases[] = {
        {L"start-raw \"{\\\"type\\\":\\\"1\\\"}\""},  // a string holding 1
        {L"start-raw \"{\\\"type\\\":true}\""},
        {L"start-raw \"{\\\"type\\\":2}\""},
        {L"start-raw \"{\\\"type\\\":1.5}\""},
        {L"start-raw \"{\\\"type\\\":null}\""},
        {L"start-raw [1]"},
        {L"start-raw 1"},
        {L"start-raw {type:2}"},
        {L"start-raw TYPE:1"},
        {L"start-raw \"{type:1} \""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.step));
        LogTail tail;
        const SimRun run = NormalStartClosed(kSavedParent, c.step);
        ASSERT_TRUE(run.finished);
        EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
        EXPECT_TRUE(run.Received().empty());
        const auto messages = tail.NewMessages();
        EXPECT_EQ(WithPrefix(messages, "IsGameExit:").size(), 1u);
        EXPECT_TRUE(WithPrefix(messages, "game exit notify:").empty());
    }
}

TEST_F(ParentLink, SettingsDecideWhetherTheGameExitStartNotifies)
{
    const struct {
        const char* name;
        const wchar_t* settings;  // empty: no settings file
        const char* lastLog;      // the last launcher log line
    } cases[] = {
        {"no settings file", L"", "game exit notify:{type:1}"},
        {"window but no login source", L"<settings><ocwindowid>{main}</ocwindowid></settings>",
         "game exit notify:{type:1}"},
        {"empty login source",
         L"<settings><ocwindowid>{main}</ocwindowid><loginsource></loginsource></settings>",
         "game exit notify:{type:1}"},
        {"login source but no window", L"<settings><loginsource>OC</loginsource></settings>",
         "Orbit Center wnd not get"},
        {"window element without text", L"<settings><ocwindowid/><loginsource>OC</loginsource></settings>",
         "Orbit Center wnd get"},
        {"garbage", L"\x01\x02<<<not xml at all &&& \xfffd", "game exit notify:{type:1}"},
        {"root without elements", L"<settings/>", "game exit notify:{type:1}"},
        {"another root name", L"<x><loginsource>web</loginsource><ocwindowid>{main}</ocwindowid></x>",
         "Orbit Center wnd get"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogTail tail;
        const SimRun run = GameExit(c.settings);
        ASSERT_TRUE(run.finished);
        EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
        const bool notifies = std::string(c.name) == "another root name";
        EXPECT_EQ(run.Received().size(), notifies ? 1u : 0u);
        const auto messages = tail.NewMessages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(), c.lastLog);
    }
}

TEST_F(ParentLink, WindowHandleTextsAreReadLikeWtoi)
{
    const struct {
        const wchar_t* idText;
        bool reaches;
    } cases[] = {
        {L"+{main}", true},
        {L"{main}xyz", true},
        {L"000{main}", true},
        {L"-{main}", false},
        {L"0x{main}", false},
        {L"{main}00000000000000000000", false},  // far beyond 32 bits
        {L"abc{main}", false},
        {L"", false},
        {L"0", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.idText));
        const SimRun run = GameExit(L"<settings><ocwindowid>" + std::wstring(c.idText) +
                                    L"</ocwindowid><loginsource>OC</loginsource></settings>");
        ASSERT_TRUE(run.finished);
        EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
        const auto received = run.Received();
        if (c.reaches) {
            ASSERT_EQ(received.size(), 1u);
            EXPECT_EQ(received[0], kNoticeRecord);
        } else {
            EXPECT_TRUE(received.empty());
        }
    }
}

TEST_F(ParentLink, HungParentDelaysTheLauncherOnlyByTheBound)
{
    const DWORD kBoundMs = 5000;
    LogTail tail;
    const SimRun run = RunSim({L"settings " + kSavedParent, L"start-game-exit", L"wait-exit 60000"}, L"--hang=main");
    ASSERT_TRUE(run.finished) << "the simulator itself did not end";
    const std::string exitRecord = run.Exit();
    ASSERT_TRUE(StartsWith(exitRecord, "exit code=0 ms=")) << exitRecord;
    const unsigned long ms = std::stoul(exitRecord.substr(exitRecord.find("ms=") + 3));
    // Start-up and shut-down of a Wine process come on top of the bound.
    EXPECT_LT(ms, kBoundMs + 10000) << "the launcher waited for the hung parent";
    const auto received = run.Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], kNoticeRecord);
    EXPECT_EQ(tail.NewMessages().back(), "Orbit Center wnd get");
}

}  // namespace
