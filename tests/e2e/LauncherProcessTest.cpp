// The real launcher process driven as the parent client drives it (through the simulator): the main
// window's messages, the close procedure, the game start with the stand-in game, install registration and
// the notices, as the parent client, the game and a user see them.
#include "InstallPaths.h"
#include "LauncherFixture.h"
#include "SimSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <tlhelp32.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using test::SimRun;
using test::StartsWith;
using test::WithPrefix;

using installpaths::kUninstallKey;
using test::GameStart;

std::wstring ShortcutPath()
{
    return installpaths::DesktopShortcut();
}

std::wstring SpecialFolder(int csidl)
{
    return installpaths::SpecialFolder(csidl);
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

struct RegValue {
    DWORD type = 0;
    std::vector<BYTE> bytes;
};

bool ReadRegValue(const wchar_t* name, RegValue& out)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    LSTATUS status = ::RegQueryValueExW(key, name, nullptr, &out.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        out.bytes.resize(size);
        status = ::RegQueryValueExW(key, name, nullptr, &out.type, out.bytes.data(), &size);
    }
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

std::vector<std::wstring> RegValueNames()
{
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (::RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    ::RegCloseKey(key);
    return names;
}

void SetRegString(const wchar_t* name, const std::wstring& value)
{
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
}

// The stand-in game's process, if one runs in the prefix.
bool GameRunning()
{
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL ok = ::Process32FirstW(snapshot, &entry); ok && !found; ok = ::Process32NextW(snapshot, &entry))
        found = ::lstrcmpiW(entry.szExeFile, L"vemra2.exe") == 0;
    ::CloseHandle(snapshot);
    return found;
}

class LauncherProcess : public test::LauncherTest {
protected:
    void TearDown() override
    {
        m_stalled.reset();
        LauncherTest::TearDown();
    }
    // A copy of the launcher in a folder of its own, with or without something named like the game.
    std::wstring LauncherCopy(const std::string* gameBytes)
    {
        const std::wstring folder = m_dir + L"copy\\";
        ::CreateDirectoryW(folder.c_str(), nullptr);
        ::CopyFileW(test::LauncherPath().c_str(), (folder + L"vemra2_main.exe").c_str(), FALSE);
        if (gameBytes) test::WriteFileBytes(folder + L"vemra2.exe", *gameBytes);
        return folder + L"vemra2_main.exe";
    }
    // From now on the portal page starts loading but never finishes.
    void StallPage()
    {
        const std::wstring page = m_dir + L"stalled-page.txt";
        test::WriteFileBytes(page, "before-navigate\nnavigate-complete\n");
        m_stalled = std::make_unique<test::ScopedEnv>(L"VEMRA_FAKE_PAGE", page);
    }
    // The stand-in game where the registration says the game is.
    static void InstallGame() { (void)installpaths::InstallGame(test::BinDir()); }

    std::unique_ptr<test::ScopedEnv> m_stalled;
};

// ---- start ---------------------------------------------------------------------------------------------

TEST_F(LauncherProcess, DirectStartWithATokenStartsTheGameAndNeverShowsTheWindow)
{
    test::LogTail tail;
    const SimRun run = Sim({L"start tokenLogin=1 token=tok123", L"wait-exit 30000"});
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    EXPECT_NE(run.Exit().find(" shown=0"), std::string::npos) << run.Exit();
    const std::string mgr = run.records.front().substr(run.records.front().find("mgr=") + 4);

    const auto starts = GameStarts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].args, (std::vector<std::string>{"--source=OC", "--tokenLogin=1", "--token=tok123",
                                                        "--ocext=simext", "--winid=" + mgr, "--typeMode=0"}));
    EXPECT_TRUE(run.Received().empty()) << "the game start closes without the parent's notice";
    const auto messages = tail.NewMessages();
    EXPECT_FALSE(WithPrefix(messages, "GameLoaderWnd LoadGame start").empty());
    EXPECT_TRUE(WithPrefix(messages, "GameLoaderWnd LoadWeb").empty()) << "the portal page is never loaded";
}

TEST_F(LauncherProcess, DirectStartWithoutATokenStaysOpenAndHidden)
{
    const SimRun run = Sim({L"start tokenLogin=1 -token", L"wait-window 10000", L"wait 1500", L"state",
                            L"post 16", L"wait-exit 30000"});
    ASSERT_TRUE(run.finished);
    EXPECT_NE(run.First("state ").find(" visible=0 "), std::string::npos) << run.First("state ");
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    EXPECT_NE(run.Exit().find(" shown=0"), std::string::npos);
    EXPECT_TRUE(GameStarts().empty());
}

TEST_F(LauncherProcess, GameParametersReachTheGameAsSeparateArguments)
{
    const struct {
        const char* name;
        std::wstring options;  // the launcher's command line after its path
        std::vector<std::string> args;
        const char* inCmdline;  // a part of the game's raw command line, byte for byte
    } cases[] = {
        {"no extension, no type mode", L"--source=OC --tokenLogin=1 --token=T --gameMgrId=1234",
         {"--source=OC", "--tokenLogin=1", "--token=T", "--winid=1234"},
         "--source=OC --tokenLogin=1 --token=T --winid=1234"},
        {"a value with a space stays one argument",
         L"--source=OC --tokenLogin=1 \"--token=a b\" \"--ocext=x y z\"",
         {"--source=OC", "--tokenLogin=1", "--token=a b", "--ocext=x y z"}, "--token=\"a b\""},
        {"a double quote and backslashes before it",
         L"--source=OC --tokenLogin=1 " + test::QuoteArg(L"--token=say \"hi\"") + L" " +
             test::QuoteArg(L"--ocext=dir\\ x\\"),
         {"--source=OC", "--tokenLogin=1", "--token=say \"hi\"", "--ocext=dir\\ x\\"}, nullptr},
        {"other characters unchanged", L"--source=OC --tokenLogin=1 --token=a&b|c^d%e<f>g --ocext=k=1;m=\\2",
         {"--source=OC", "--tokenLogin=1", "--token=a&b|c^d%e<f>g", "--ocext=k=1;m=\\2"},
         "--token=a&b|c^d%e<f>g --ocext=k=1;m=\\2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW(m_gameRecord.c_str());
        const SimRun run = Sim({L"start-raw " + c.options, L"wait-exit 30000"});
        ASSERT_TRUE(run.finished);
        EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
        const auto starts = GameStarts();
        ASSERT_EQ(starts.size(), 1u);
        EXPECT_EQ(starts[0].args, c.args);
        if (c.inCmdline) {
            EXPECT_NE(starts[0].cmdline.find(c.inCmdline), std::string::npos) << starts[0].cmdline;
        }
    }
}

TEST_F(LauncherProcess, EmptySourceStillOpensTheParameters)
{
    // The unpack report starts the game without a direct start; the registration points to the game.
    InstallGame();
    const SimRun run = Sim({L"start -source -tokenLogin token=T2 -ocext -gameMgrId -typeMode", L"wait-window 10000",
                            L"post 1134 0", L"wait-exit 30000"});
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    const auto starts = GameStarts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].args, (std::vector<std::string>{"--source=", "--token=T2"}));
    EXPECT_NE(starts[0].cmdline.find("--source= --token=T2"), std::string::npos) << starts[0].cmdline;
}

TEST_F(LauncherProcess, TheGameIsFoundThroughTheUninstallEntry)
{
    const std::wstring folder = m_dir + L"elsewhere\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::CopyFileW((test::BinDir() + L"vemra2.exe").c_str(), (folder + L"vemra2.exe").c_str(), FALSE);
    SetRegString(L"DisplayIcon", folder + L"vemra2_main.exe");
    // The launcher copy has no game beside it: only the entry can lead to the game.
    const std::wstring launcher = LauncherCopy(nullptr);
    const SimRun run = Sim({L"start tokenLogin=1 token=T3", L"wait-exit 30000"}, L"--launcher=" + launcher);
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    ASSERT_EQ(GameStarts().size(), 1u);
    EXPECT_TRUE(WithPrefix(run.Received(), "message to=mgr msg=1347").empty());
}

TEST_F(LauncherProcess, AMissingGameIsReportedToTheGameManagerAndTheLauncherCloses)
{
    test::LogTail tail;
    const std::wstring launcher = LauncherCopy(nullptr);
    const SimRun run = Sim({L"start tokenLogin=1 token=T4", L"wait-exit 30000"}, L"--launcher=" + launcher);
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    EXPECT_EQ(run.Received(), std::vector<std::string>{"message to=mgr msg=1347 wparam=0 lparam=0"});
    const std::wstring expected = L"PathFileExists " + launcher.substr(0, launcher.size() - 15) + L"vemra2.exe not exists";
    const auto messages = tail.NewMessages();
    EXPECT_FALSE(WithPrefix(messages, Utf8(expected)).empty());
}

TEST_F(LauncherProcess, AGameThatCannotStartIsReportedAndTheLauncherCloses)
{
    const std::string notAProgram = "this is text, not a program\r\n";
    const std::wstring launcher = LauncherCopy(&notAProgram);
    // The system reports the failed start in a box of its own before the launcher goes on.
    const SimRun run = Sim({L"start tokenLogin=1 token=T5", L"wait-dialog 10000", L"dialog-ok", L"wait-exit 30000"},
                           L"--launcher=" + launcher);
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(StartsWith(run.First("dialog "), "dialog hwnd=")) << run.First("dialog ");
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    EXPECT_EQ(run.Received(), std::vector<std::string>{"message to=mgr msg=1347 wparam=0 lparam=0"});
}

TEST_F(LauncherProcess, TypeModeOneAnnouncesTheLauncherToTheGameManager)
{
    const SimRun run = Sim({L"start typeMode=1", L"wait-window 10000", L"post 16", L"wait-exit 30000"});
    EXPECT_EQ(run.Received(), std::vector<std::string>{"message to=mgr msg=1348 wparam=0 lparam=0"});
    const SimRun other = Sim({L"start typeMode=1 -gameMgrId", L"wait-window 10000", L"post 16", L"wait-exit 30000"});
    EXPECT_TRUE(other.Received().empty()) << "no game manager named, nothing to announce to";
}

// ---- the window ----------------------------------------------------------------------------------------

TEST_F(LauncherProcess, PageLoadedShowsTheWindowInFrontUnlessTheTokenIsOne)
{
    // The portal page finishes loading by itself and the window comes up in front.
    const SimRun run = Sim({L"start", L"wait-visible 10000", L"wait 300", L"state", L"post 16", L"wait-exit 30000"});
    EXPECT_NE(run.First("state ").find(" visible=1 iconic=0 zoomed=0 enabled=1 foreground=1 "), std::string::npos)
        << run.First("state ");

    const SimRun hidden = Sim({L"start token=1", L"wait-window 10000", L"wait 1500", L"state", L"post 16",
                               L"wait-exit 30000"});
    EXPECT_NE(hidden.First("state ").find(" visible=0 "), std::string::npos) << hidden.First("state ");
    EXPECT_NE(hidden.Exit().find(" shown=0"), std::string::npos);

    // A page that never finishes leaves the window hidden until the page-loaded message.
    StallPage();
    const SimRun stalled = Sim({L"start", L"wait-window 10000", L"wait 1000", L"state", L"post 1128",
                                L"wait-visible 5000", L"state", L"post 16", L"wait-exit 30000"});
    const auto states = WithPrefix(stalled.records, "state ");
    ASSERT_EQ(states.size(), 2u);
    EXPECT_NE(states[0].find(" visible=0 "), std::string::npos) << states[0];
    EXPECT_NE(states[1].find(" visible=1 iconic=0 zoomed=0 enabled=1 foreground=1 "), std::string::npos) << states[1];
}

TEST_F(LauncherProcess, ASecondLauncherBringsTheRunningOneForward)
{
    // Hidden: it stays hidden. Minimised: it is restored and shown.
    StallPage();
    const SimRun run = Sim({L"start", L"wait-window 10000", L"wait 500", L"start-second", L"wait 1000", L"state",
                            L"post 1128", L"wait-visible 5000", L"post 1129", L"wait 500", L"state", L"start-second",
                            L"wait 1500", L"state", L"post 16", L"wait-exit 30000"});
    ASSERT_TRUE(run.finished);
    const auto seconds = WithPrefix(run.records, "second ");
    ASSERT_EQ(seconds.size(), 2u);
    for (const auto& s : seconds) EXPECT_EQ(s, "second exit=0") << "a second launcher ends at once";
    const auto states = WithPrefix(run.records, "state ");
    ASSERT_EQ(states.size(), 3u);
    EXPECT_NE(states[0].find(" visible=0 "), std::string::npos) << states[0];
    EXPECT_NE(states[1].find(" iconic=1 "), std::string::npos) << states[1];
    EXPECT_NE(states[2].find(" visible=1 iconic=0 "), std::string::npos) << states[2];
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
}

TEST_F(LauncherProcess, CaptionDoubleClickDoesNothing)
{
    const SimRun run = Sim({L"start", L"wait-visible 10000", L"wait 300", L"post 163 2",
                            L"wait 500", L"state", L"post 16", L"wait-exit 30000"});
    EXPECT_NE(run.First("state ").find(" visible=1 iconic=0 zoomed=0 "), std::string::npos) << run.First("state ");
}

// ---- closing -------------------------------------------------------------------------------------------

TEST_F(LauncherProcess, TheCloseProcedureNotifiesTheParentOnlyWhenItStartedTheLauncher)
{
    const struct {
        const char* name;
        const wchar_t* start;
        const wchar_t* close;  // the message that asks for the close procedure
        bool notifies;
    } cases[] = {
        {"page close, source OC", L"start", L"post 1130", true},
        {"taskbar close, source OC", L"start", L"post 274 0xF060", true},
        {"page close, another source", L"start source=web", L"post 1130", false},
        {"page close, no window id", L"start -winid", L"post 1130", false},
        {"page close, empty window id", L"start winid=", L"post 1130", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LogTail tail;
        const SimRun run = Sim({c.start, L"wait-window 10000", c.close, L"wait-exit 30000"});
        ASSERT_TRUE(run.finished);
        EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
        if (c.notifies) {
            EXPECT_EQ(run.Received(), std::vector<std::string>{test::ParentNoticeRecord()});
            EXPECT_FALSE(WithPrefix(tail.NewMessages(), "GameLoaderWnd close wnd").empty());
        } else {
            EXPECT_TRUE(run.Received().empty());
        }
    }
}

TEST_F(LauncherProcess, TheTaskbarCloseIsLoggedAndOtherSystemCommandsKeepTheirMeaning)
{
    test::LogTail tail;
    const SimRun run = Sim({L"start", L"wait-visible 10000", L"wait 300", L"post 274 0xF020",
                            L"wait 500", L"state", L"post 274 0xF060", L"wait-exit 30000"});
    EXPECT_NE(run.First("state ").find(" iconic=1 "), std::string::npos) << run.First("state ");
    EXPECT_EQ(run.Received().size(), 1u);
    EXPECT_EQ(WithPrefix(tail.NewMessages(), test::Ansi(L"点击任务栏关闭窗口")).size(), 1u);
}

// ---- the parent's reports ------------------------------------------------------------------------------

TEST_F(LauncherProcess, NetworkCleanupEndsARunningGameAndReturns)
{
    // Nothing to end: the window answers again at once.
    const SimRun idle = Sim({L"start", L"wait-window 10000", L"post 1135 0", L"send 0", L"post 16",
                             L"wait-exit 30000"});
    EXPECT_TRUE(StartsWith(idle.First("sent "), "sent msg=0")) << idle.First("send");

    // A stand-in game that would live for a minute is ended.
    HANDLE hGame = nullptr;
    {
        test::ScopedEnv lifetime(L"VEMRA2_GAME_LIFETIME_MS", L"60000");
        hGame = test::StartProcess(test::BinDir() + L"vemra2.exe", L"");
    }
    ASSERT_TRUE(hGame);
    const SimRun run = Sim({L"start", L"wait-window 10000", L"post 1135 0", L"send 0", L"post 16", L"wait-exit 30000"});
    EXPECT_TRUE(StartsWith(run.First("sent "), "sent msg=0")) << run.First("send");
    EXPECT_EQ(::WaitForSingleObject(hGame, 5000), WAIT_OBJECT_0) << "the game was ended";
    ::CloseHandle(hGame);
    EXPECT_FALSE(GameRunning());
}

TEST_F(LauncherProcess, NetworkFailureShowsTheNoticeAndItsOkClosesTheLauncher)
{
    const SimRun run = Sim({L"start", L"wait-visible 10000", L"wait 300", L"post 1135 1",
                            L"wait-notice 5000", L"state", L"notice-click ok", L"wait-exit 30000"});
    ASSERT_TRUE(run.finished);
    const std::string notice = run.First("notice ");
    ASSERT_TRUE(StartsWith(notice, "notice hwnd=")) << notice;
    EXPECT_NE(notice.find(" owner-enabled=0 "), std::string::npos) << notice;
    EXPECT_NE(run.First("state ").find(" enabled=0 "), std::string::npos);
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    EXPECT_TRUE(run.Received().empty()) << "the notice closes the window directly";
}

TEST_F(LauncherProcess, NetworkNoticeClosedWithAltF4LeavesTheLauncherRunning)
{
    const SimRun run = Sim({L"start", L"wait-visible 10000", L"wait 300", L"post 1135 2",
                            L"wait-notice 5000", L"notice-alt-f4", L"wait 1000", L"state", L"post 16",
                            L"wait-exit 30000"});
    ASSERT_TRUE(StartsWith(run.First("notice "), "notice hwnd="));
    EXPECT_NE(run.First("state ").find(" visible=1 iconic=0 zoomed=0 enabled=1 "), std::string::npos)
        << run.First("state ");
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
}

TEST_F(LauncherProcess, UnpackFailureShowsItsNoticeAndTheLauncherClosesHoweverItIsDismissed)
{
    for (const wchar_t* dismiss : {L"notice-click close", L"notice-alt-f4"}) {
        SCOPED_TRACE(Utf8(dismiss));
        const SimRun run = Sim({L"start", L"wait-visible 10000", L"wait 300", L"post 1134 3",
                                L"wait-notice 5000", dismiss, L"wait-exit 30000"});
        ASSERT_TRUE(StartsWith(run.First("notice "), "notice hwnd=")) << run.First("notice ");
        EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    }
}

TEST_F(LauncherProcess, PageLoadFailureShowsTheSystemBoxThenRunsTheCloseProcedure)
{
    const SimRun run = Sim({L"start", L"wait-window 10000", L"post 1137", L"wait-dialog 5000", L"dialog-ok",
                            L"wait-exit 30000"});
    EXPECT_EQ(run.First("dialog ").substr(run.First("dialog ").find(" title=")),
              " title=\xe6\x8f\x90\xe7\xa4\xba text=\xe7\xbd\x91\xe7\xbb\x9c\xe8\xbf\x9e\xe6\x8e\xa5\xe5\xbc\x82\xe5\xb8\xb8");
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    EXPECT_EQ(run.Received(), std::vector<std::string>{test::ParentNoticeRecord()});
}

TEST_F(LauncherProcess, PostedOpenGameNumbersFromAnotherProcessStartNothing)
{
    std::mt19937 random(20261209);
    std::vector<std::wstring> steps = {L"start tokenLogin=0 token=T6", L"wait-window 10000"};
    for (int i = 0; i < 300; ++i) {
        const unsigned long long w = (static_cast<unsigned long long>(random()) << 32) | random();
        steps.push_back(L"post 1131 " + std::to_wstring(i % 3 == 0 ? w % 1000 : w) + L" " +
                        std::to_wstring(random() % 1000));
    }
    steps.insert(steps.end(), {L"send 0", L"state", L"post 16", L"wait-exit 30000"});
    const SimRun run = Sim(steps);
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(StartsWith(run.First("sent "), "sent msg=0")) << "the launcher still answers";
    EXPECT_TRUE(StartsWith(run.First("state "), "state hwnd="));
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    EXPECT_TRUE(GameStarts().empty());
    EXPECT_TRUE(run.Received().empty());
}

// ---- install registration ------------------------------------------------------------------------------

struct Shortcut {
    std::wstring target, arguments, icon, workingDir;
    int iconIndex = -1;
};

bool ReadShortcut(const std::wstring& path, Shortcut& out)
{
    Microsoft::WRL::ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)))) return false;
    Microsoft::WRL::ComPtr<IPersistFile> file;
    if (FAILED(link.As(&file)) || FAILED(file->Load(path.c_str(), STGM_READ))) return false;
    wchar_t buffer[MAX_PATH] = {};
    link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH);
    out.target = buffer;
    link->GetArguments(buffer, MAX_PATH);
    out.arguments = buffer;
    link->GetIconLocation(buffer, MAX_PATH, &out.iconIndex);
    out.icon = buffer;
    link->GetWorkingDirectory(buffer, MAX_PATH);
    out.workingDir = buffer;
    return true;
}

// The five values as they stand in the registry: exact types and byte counts, no terminator counted.
void ExpectUninstallEntry()
{
    const std::wstring dir = SpecialFolder(CSIDL_PROGRAM_FILESX86) + L"\\vemra2";
    const std::pair<const wchar_t*, std::wstring> expected[] = {
        {L"DisplayVersion", L"3.0.3.30"},
        {L"DisplayIcon", dir + L"\\vemra2_main.exe"},
        {L"DisplayName", L"Vemrakai2"},
        {L"Publisher", L""},
        {L"UninstallString", dir + L"\\Vemra2GameLauncherUninst.exe"},
    };
    for (const auto& [name, data] : expected) {
        SCOPED_TRACE(Utf8(name));
        RegValue v;
        ASSERT_TRUE(ReadRegValue(name, v));
        EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
        // Written without the terminator; the system adds one where the text had one right after it.
        const size_t textBytes = data.size() * sizeof(wchar_t);
        if (data.empty()) {
            EXPECT_EQ(v.bytes.size(), 0u);
        } else {
            ASSERT_EQ(v.bytes.size(), textBytes + sizeof(wchar_t));
            EXPECT_EQ(v.bytes[textBytes], 0);
            EXPECT_EQ(v.bytes[textBytes + 1], 0);
        }
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(v.bytes.data()), data.size()), data);
    }
    auto names = RegValueNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"DisplayIcon", L"DisplayName", L"DisplayVersion", L"Publisher",
                                                L"UninstallString"}));
}

TEST_F(LauncherProcess, UnpackedGameIsRegisteredAndStarted)
{
    SetRegString(L"FileParam", L"bag-7");
    SetRegString(L"SomethingElse", L"x");
    InstallGame();
    test::WriteFileBytes(ShortcutPath(), "an old shortcut");
    const SimRun run = Sim({L"start token=T7", L"wait-window 10000", L"post 1136 100", L"post 1134 0",
                            L"wait-exit 30000"});
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    ExpectUninstallEntry();
    EXPECT_FALSE(test::FileExists(ShortcutPath())) << "the parent client's launches keep no desktop shortcut";
    const auto starts = GameStarts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].args.at(2), "--token=T7");
}

TEST_F(LauncherProcess, RegistrationByAnotherSourceRenewsTheDesktopShortcut)
{
    for (int round = 0; round < 2; ++round) {  // twice gives the same as once
        SCOPED_TRACE(round);
        const SimRun run = Sim({L"start source=web -token", L"wait-window 10000", L"post 1134 0", L"wait 1500",
                                L"state", L"post 16", L"wait-exit 30000"});
        EXPECT_TRUE(StartsWith(run.First("state "), "state hwnd=")) << "no token: registered, nothing started";
        ExpectUninstallEntry();
        Shortcut link;
        ASSERT_TRUE(ReadShortcut(ShortcutPath(), link));
        const std::wstring target = SpecialFolder(CSIDL_PROGRAM_FILESX86) + L"\\vemra2\\vemra2_main.exe";
        EXPECT_EQ(link.target, target);
        EXPECT_EQ(link.arguments, L"");
        EXPECT_EQ(link.icon, target);
        EXPECT_EQ(link.iconIndex, 0);
        EXPECT_EQ(link.workingDir, SpecialFolder(CSIDL_PROGRAM_FILESX86) + L"\\vemra2");
    }
    EXPECT_TRUE(GameStarts().empty());
}

TEST_F(LauncherProcess, AGameUnpackedElsewhereIsNotFoundAfterRegistration)
{
    const SimRun run = Sim({L"start token=T8", L"wait-window 10000", L"post 1134 0", L"wait-exit 30000"});
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    EXPECT_EQ(run.Received(), std::vector<std::string>{"message to=mgr msg=1347 wparam=0 lparam=0"});
    EXPECT_TRUE(GameStarts().empty()) << "the game beside the launcher is not where the entry now points";
}

}  // namespace
