// The portal page through the real launcher with the stand-in browser engine: the address it opens, the
// page's commands, its load and error events, new windows, and the typical run from the parent client's
// start to the game's start.
#include "InstallPaths.h"
#include "LauncherFixture.h"
#include "SimSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using test::SimRun;
using test::StartsWith;
using test::WithPrefix;

using installpaths::kUninstallKey;
const std::string kBase = "https://portal.vemrakai.com/client/index/vemra2";

// The engine's records write blank, CR, LF and "%" of a value as "%" and two hexadecimal digits.
std::string DecodeRecordValue(const std::string& value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) {
            out.push_back(static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(value[i]);
        }
    }
    return out;
}

class PortalPage : public test::LauncherTest {
protected:
    void SetUp() override
    {
        LauncherTest::SetUp();
        m_engineLog = m_dir + L"engine.txt";
    }
    void TearDown() override
    {
        m_page.reset();
        LauncherTest::TearDown();
    }

    // Every navigation of the launchers started from now on plays this page script.
    void Page(const std::string& script)
    {
        const std::wstring path = m_dir + L"page-" + std::to_wstring(++m_pages) + L".txt";
        test::WriteFileBytes(path, script);
        m_page.reset();  // the old setting goes back first, then the new one takes its place
        m_page = std::make_unique<test::ScopedEnv>(L"VEMRA_FAKE_PAGE", path);
    }
    SimRun Sim(const std::vector<std::wstring>& steps)
    {
        ::DeleteFileW(m_engineLog.c_str());
        ::DeleteFileW(m_gameRecord.c_str());
        test::ScopedEnv engineLog(L"VEMRA_FAKE_BROWSER_LOG", m_engineLog);
        return LauncherTest::Sim(steps);
    }
    std::vector<std::string> Engine(const std::string& prefix) const
    {
        return WithPrefix(test::SplitCrLf(test::ReadFileBytes(m_engineLog)), prefix);
    }
    // The address the engine was asked to open (the first navigation).
    std::string NavigatedAddress() const
    {
        const auto navigations = Engine("navigate url=");
        if (navigations.empty()) return {};
        const std::string& n = navigations.front();
        return DecodeRecordValue(n.substr(13, n.find(' ', 13) - 13));
    }
    static std::string Mgr(const SimRun& run) { return run.records.front().substr(run.records.front().find("mgr=") + 4); }

    std::wstring m_engineLog;
    std::unique_ptr<test::ScopedEnv> m_page;
    int m_pages = 0;
};

TEST_F(PortalPage, TypicalRunFromTheParentsStartToTheGamesStart)
{
    const DWORD begin = ::GetTickCount();
    const SimRun run = Sim({L"start", L"wait-visible 10000", L"wait 300", L"state", L"page-click play",
                            L"wait-exit 30000"});
    ASSERT_TRUE(run.finished);
    EXPECT_NE(run.First("state ").find(" visible=1 iconic=0 zoomed=0 enabled=1 foreground=1 "), std::string::npos)
        << run.First("state ");
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    EXPECT_EQ(GameArgs(), (std::vector<std::string>{"--source=OC", "--tokenLogin=0", "--token=simtoken",
                                                    "--ocext=simext", "--winid=" + Mgr(run), "--typeMode=0"}));
    std::printf("[ figure   ] simulator start to game record: %lu ms (including a 300 ms pause)\n",
                static_cast<unsigned long>(::GetTickCount() - begin));
    EXPECT_EQ(NavigatedAddress(), kBase + "?fileparam=&token=simtoken&source=OC&ocext=simext&tokenLogin=0");
    EXPECT_EQ(Engine("silent value=1").size(), 1u) << "the page's own dialogs are silenced";
    EXPECT_TRUE(run.Received().empty());
}

TEST_F(PortalPage, TheAddressCarriesTheLaunchValuesEncodedWhereTheyWouldBreakIt)
{
    const struct {
        const char* name;
        std::wstring start;
        const wchar_t* fileParam;  // in the uninstall entry; null: none
        std::string query;
    } cases[] = {
        {"empty values left out", L"start -token ocext= tokenLogin=0", nullptr, "?fileparam=&source=OC&tokenLogin=0"},
        {"the install-time file parameter first", L"start -token -ocext -tokenLogin -source", L"bag-1",
         "?fileparam=bag-1"},
        {"characters that would end a value", L"start-raw " + test::QuoteArg(L"--token=a&b c#d%e+f\"g") +
                                                  L" --source=OC --ocext=k=v/w?x;y",
         L"p&q", "?fileparam=p%26q&token=a%26b%20c%23d%25e%2Bf%22g&source=OC&ocext=k=v/w?x;y"},
        {"an array as launch context", L"start-raw [1,2]", nullptr, "?fileparam="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::SHDeleteKeyW(HKEY_CURRENT_USER, kUninstallKey);
        if (c.fileParam) {
            HKEY key = nullptr;
            ::RegCreateKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
            ::RegSetValueExW(key, L"FileParam", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.fileParam),
                             static_cast<DWORD>((wcslen(c.fileParam) + 1) * sizeof(wchar_t)));
            ::RegCloseKey(key);
        }
        const SimRun run = Sim({c.start, L"wait-visible 10000", L"post 16", L"wait-exit 30000"});
        EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
        EXPECT_EQ(NavigatedAddress(), kBase + c.query);
    }
}

TEST_F(PortalPage, PageCommandsActOnTheWindowAndEverythingElseIsIgnored)
{
    const struct {
        const char* name;
        const char* call;       // the page script's call line
        const char* reply;      // the engine's record of the answer
        const char* stateHas;   // in the window's state afterwards
        const char* logged;     // launcher log message, or null for none of the command table's lines
    } cases[] = {
        {"minimise", "call {\"funcation_name\":\"min_wnd\"}", "hr=0x00000000 reply={}", " iconic=1 ", "min_wnd call"},
        {"the ordinary spelling of the key", "call {\"function_name\":\"min_wnd\"}", "hr=0x00000000 reply={}",
         " iconic=0 ", nullptr},
        {"a name in capitals", "call {\"funcation_name\":\"MIN_WND\"}", "hr=0x00000000 reply={}", " iconic=0 ", nullptr},
        {"a number as name", "call {\"funcation_name\":7}", "hr=0x00000000 reply={}", " iconic=0 ", nullptr},
        {"an array", "call [1,2]", "hr=0x00000000 reply={}", " iconic=0 ", nullptr},
        {"a number", "call-number 5", "hr=0x00000000 reply={}", " iconic=0 ", nullptr},
        {"two arguments", "call-two {\"funcation_name\":\"min_wnd\"} x", "hr=0x80020003", " iconic=0 ", nullptr},
        {"no JSON", "call min_wnd", "hr=0x00000000 reply={}", " iconic=0 ", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Page(std::string("load\nportal\n") + c.call + "\n");
        test::LogTail tail;
        const SimRun run = Sim({L"start", L"wait-visible 10000", L"wait 500", L"state", L"post 16", L"wait-exit 30000"});
        EXPECT_NE(run.First("state ").find(c.stateHas), std::string::npos) << run.First("state ");
        const auto calls = Engine("call ");
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_NE(calls[0].find(c.reply), std::string::npos) << calls[0];
        const auto logged = WithPrefix(tail.NewMessages(), "min_wnd call");
        EXPECT_EQ(logged.size(), c.logged ? 1u : 0u);
        EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    }
}

TEST_F(PortalPage, CloseCommandRunsTheCloseProcedureAndTwoCommandsActInOrder)
{
    Page("load\ncall {\"funcation_name\":\"min_wnd\"}\ncall {\"funcation_name\":\"close_wnd\"}\n");
    test::LogTail tail;
    const SimRun run = Sim({L"start", L"wait-exit 30000"});
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    EXPECT_EQ(run.Received(), std::vector<std::string>{test::ParentNoticeRecord()});
    const auto messages = tail.NewMessages();
    const auto min = std::find(messages.begin(), messages.end(), "min_wnd call");
    const auto close = std::find(messages.begin(), messages.end(), "close_wnd call");
    ASSERT_NE(min, messages.end());
    ASSERT_NE(close, messages.end());
    EXPECT_LT(min, close);
}

TEST_F(PortalPage, OpenGameTakesTheTokenAndExtensionFromThePage)
{
    const struct {
        const char* name;
        const char* call;
        std::vector<std::string> args;  // empty: no game starts and the launcher stays
    } cases[] = {
        {"fresh token and extension, further fields",
         "call {\"funcation_name\":\"open_game\",\"token\":\"fresh\",\"ocext\":\"e2\",\"more\":[1,{\"x\":null}]}",
         {"--source=OC", "--tokenLogin=0", "--token=fresh", "--ocext=e2"}},
        {"no token: the command line's", "call {\"funcation_name\":\"open_game\",\"ocext\":\"e3\"}",
         {"--source=OC", "--tokenLogin=0", "--token=simtoken", "--ocext=e3"}},
        {"a token of the wrong type is skipped", "call {\"funcation_name\":\"open_game\",\"token\":5}",
         {"--source=OC", "--tokenLogin=0", "--token=simtoken", "--ocext=simext"}},
        {"an empty token starts nothing", "call {\"funcation_name\":\"open_game\",\"token\":\"\"}", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Page(std::string("load\n") + c.call + "\n");
        const SimRun run = Sim({L"start typeMode=", L"wait-visible 10000", L"wait 1000", L"state", L"post 16",
                                L"wait-exit 30000"});
        EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
        auto args = GameArgs();
        if (!args.empty()) args.pop_back();  // the game manager's handle
        EXPECT_EQ(args, c.args);
        EXPECT_EQ(StartsWith(run.First("state "), "state hwnd="), c.args.empty()) << "the launcher stays only without a start";
    }
}

TEST_F(PortalPage, CommandsFromAPageThatIsNotThePortalAreRefused)
{
    Page("load\ngoto https://portal.vemrakai.com.example.net/client/index/vemra2\n"
         "call {\"funcation_name\":\"open_game\",\"token\":\"stolen\"}\ncall {\"funcation_name\":\"min_wnd\"}\n");
    test::LogTail tail;
    const SimRun run = Sim({L"start", L"wait-visible 10000", L"wait 800", L"state", L"post 16", L"wait-exit 30000"});
    EXPECT_NE(run.First("state ").find(" iconic=0 "), std::string::npos);
    EXPECT_TRUE(GameArgs().empty());
    const auto refused = WithPrefix(tail.NewMessages(), "g_callCppFunc refused, the page is not the portal's: ");
    EXPECT_EQ(refused.size(), 2u);
    for (const auto& call : Engine("call ")) EXPECT_NE(call.find("reply={}"), std::string::npos) << call;
}

TEST_F(PortalPage, ServerNotFoundShowsTheNetworkBoxOnceAndNeverTheWindow)
{
    Page("navigate-error 0x800C0005\ndocument-complete\nwait 300\ndocument-complete\n");
    const SimRun run = Sim({L"start", L"wait-dialog 10000", L"wait 500", L"state", L"dialog-ok", L"wait-exit 30000"});
    ASSERT_TRUE(StartsWith(run.First("dialog "), "dialog hwnd=")) << run.First("dialog ");
    EXPECT_NE(run.First("state ").find(" visible=0 "), std::string::npos) << "a later document does not show it";
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    EXPECT_NE(run.Exit().find(" shown=0"), std::string::npos);
    EXPECT_EQ(run.Received(), std::vector<std::string>{test::ParentNoticeRecord()}) << "the close procedure ran";
}

TEST_F(PortalPage, OtherNavigationErrorsChangeNothingAndFramesShowTheWindowToo)
{
    Page("navigate-error 0x800C0008\nbefore-navigate\nnavigate-complete\nframe-complete https://portal.vemrakai.com/f\n");
    const SimRun run = Sim({L"start", L"wait-visible 10000", L"state", L"post 16", L"wait-exit 30000"});
    EXPECT_TRUE(StartsWith(run.First("state "), "state hwnd=")) << run.First("visible");
    EXPECT_NE(run.First("state ").find(" visible=1 "), std::string::npos);
}

TEST_F(PortalPage, NewWindowsAreCancelledAndOnlyWebAddressesLeaveTheLauncher)
{
    Page("load\nnew-window https://example.com/news\nnew-window file:///C:/windows/notepad.exe\n"
         "new-window javascript:alert(1)\n");
    test::LogTail tail;
    const SimRun run = Sim({L"start", L"wait-visible 10000", L"wait 800", L"windows", L"post 16", L"wait-exit 30000"});
    const auto windows = Engine("event name=NewWindow3 ");
    ASSERT_EQ(windows.size(), 3u);
    for (const auto& w : windows) EXPECT_NE(w.find(" cancel=-1 opened=0"), std::string::npos) << w;
    const auto messages = tail.NewMessages();
    EXPECT_EQ(WithPrefix(messages, "new window opened in the default browser: https://example.com/news").size(), 1u);
    EXPECT_EQ(WithPrefix(messages, "new window refused, not a web address: ").size(), 2u);
    // No browser window of the engine's own: only the launcher's window and its shadow.
    std::stringstream classes(run.First("windows ").substr(8));
    for (std::string c; std::getline(classes, c, ',');)
        EXPECT_TRUE(c == "UmbraShadowWnd" || c == "GameLoaderResClass") << c;
}

TEST_F(PortalPage, APageThatNeverFinishesEndsWithTheNetworkBoxInsteadOfAnInvisibleLauncher)
{
    Page("before-navigate\nnavigate-complete\n");
    test::ScopedEnv timeout(L"VEMRA2_PAGE_TIMEOUT_MS", L"1500");
    const SimRun run = Sim({L"start", L"wait-dialog 15000", L"dialog-ok", L"wait-exit 30000"});
    ASSERT_TRUE(StartsWith(run.First("dialog "), "dialog hwnd=")) << run.First("dialog ");
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    EXPECT_EQ(run.Received(), std::vector<std::string>{test::ParentNoticeRecord()});
}

TEST_F(PortalPage, TheDragBandMovesTheWindowWithTheMouse)
{
    const SimRun run = Sim({L"start", L"wait-visible 10000", L"wait 300", L"state", L"page-drag 120 -40", L"state",
                            L"post 16", L"wait-exit 30000"});
    const auto states = WithPrefix(run.records, "state ");
    ASSERT_EQ(states.size(), 2u);
    auto rect = [](const std::string& s) {
        RECT r = {};
        std::sscanf(s.substr(s.find("rect=") + 5).c_str(), "%ld,%ld,%ld,%ld", &r.left, &r.top, &r.right, &r.bottom);
        return r;
    };
    const RECT before = rect(states[0]), after = rect(states[1]);
    EXPECT_EQ(after.left - before.left, 120);
    EXPECT_EQ(after.top - before.top, -40);
    EXPECT_EQ(after.right - after.left, 960);
}

TEST_F(PortalPage, TheEngineIsAskedForItsCurrentModeBeforeItStarts)
{
    const SimRun run = Sim({L"start", L"wait-visible 10000", L"post 16", L"wait-exit 30000"});
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER,
                              L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION",
                              0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD value = 0, size = sizeof value, type = 0;
    EXPECT_EQ(::RegQueryValueExW(key, L"vemra2_main.exe", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, 11001u);
}

TEST_F(PortalPage, LaunchContextsThatAreNotQuiteRight)
{
    // "installed" as a number does not count; "1abc" reads as 1.
    for (const auto& [arg, logged] : std::vector<std::pair<std::wstring, std::string>>{
             {L"{\"installed\":1}", "m_nGameInstalled is 0"}, {L"--installed=1abc", "m_nGameInstalled is 1"}}) {
        SCOPED_TRACE(std::string(arg.begin(), arg.end()));
        test::LogTail tail;
        const SimRun run = Sim({L"start-raw " + test::QuoteArg(arg), L"wait-visible 10000", L"post 16",
                                L"wait-exit 30000"});
        EXPECT_EQ(WithPrefix(tail.NewMessages(), logged).size(), 1u);
    }
    // Without winid the settings file keeps its window; with an empty one it holds the empty text.
    test::WriteFileBytes(m_settingsPath, "<settings><ocwindowid>4242</ocwindowid></settings>");
    Sim({L"start -winid", L"wait-visible 10000", L"post 16", L"wait-exit 30000"});
    EXPECT_NE(test::ReadFileBytes(m_settingsPath).find("<ocwindowid>4242</ocwindowid>"), std::string::npos);
    Sim({L"start winid=", L"wait-visible 10000", L"post 16", L"wait-exit 30000"});
    const std::string settings = test::ReadFileBytes(m_settingsPath);
    EXPECT_EQ(settings.find("4242"), std::string::npos) << settings;
    EXPECT_NE(settings.find("<ocwindowid"), std::string::npos) << settings;
}

TEST_F(PortalPage, APageThatCallsTheBridgeWhileTheLauncherClosesStartsNothing)
{
    // The page's unload handler asks for the game while the window and its queue are going away.
    Page("load\nunload-call {\"funcation_name\":\"open_game\",\"token\":\"late\"}\n");
    test::LogTail tail;
    const SimRun run = Sim({L"start", L"wait-visible 10000", L"post 1130", L"wait-exit 30000"});
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    const auto calls = Engine("call kind=unload ");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].find("hr=0x00000000 reply={}"), std::string::npos) << calls[0];
    EXPECT_EQ(WithPrefix(tail.NewMessages(), "open_game call").size(), 1u);
    EXPECT_TRUE(GameArgs().empty());
}

}  // namespace
