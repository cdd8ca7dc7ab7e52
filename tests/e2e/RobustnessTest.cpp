// The real launcher under hostile or broken surroundings: other programs posting its message numbers with
// any values, broken settings files and registry values, a launcher ended while it writes, and a parent
// client that hangs or dies during the close notice. Nothing may crash, hang, start a game nobody asked
// for, or leave a broken file behind.
#include "GameLoader.h"
#include "InstallPaths.h"
#include "LauncherFixture.h"
#include "SimSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <json/json.h>
#include <shlwapi.h>

#include <algorithm>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using test::SimRun;
using test::StartsWith;
using test::WithPrefix;

using installpaths::kUninstallKey;

class Robustness : public test::LauncherTest {};

// ---- messages from other programs ----------------------------------------------------------------------

// Random posts and sends of the launcher's message numbers; the close procedure (1130) is left for the end.
std::vector<std::wstring> HostileSteps(unsigned seed, int count)
{
    std::mt19937_64 random(seed);
    std::vector<UINT> messages;
    for (UINT m = 1124; m <= 1137; ++m)
        if (m != 1130) messages.push_back(m);
    messages.push_back(1624);
    messages.push_back(1625);
    const long long special[] = {0, 1, 2, 40, 99, 100, 101, -1, 513, 516, 0x7FFFFFFF, -2147483647LL - 1};
    auto value = [&]() -> long long {
        const auto pick = random() % 3;
        if (pick == 0) return special[random() % std::size(special)];
        if (pick == 1) return static_cast<long long>(random() % 4096);
        return static_cast<long long>(random());
    };
    std::vector<std::wstring> steps;
    for (int i = 0; i < count; ++i) {
        const UINT message = messages[random() % messages.size()];
        const bool send = random() % 10 == 0;
        std::wostringstream step;
        step << (send ? L"send " : L"post ") << message << L" " << value() << L" " << value();
        steps.push_back(step.str());
    }
    return steps;
}

std::set<std::string> WindowClasses(const std::string& record)
{
    std::set<std::string> classes;
    std::stringstream list(record.substr(record.find(' ') + 1));
    for (std::string c; std::getline(list, c, ',');)
        if (!c.empty()) classes.insert(c);
    return classes;
}

TEST_F(Robustness, HostileMessagesInEveryStateStartNothingAndTheLauncherStillEndsCleanly)
{
    const struct {
        const char* name;
        std::vector<std::wstring> setup;
    } states[] = {
        {"portal page", {L"wait-visible 10000", L"wait 300"}},
        {"download page", {L"wait-visible 10000", L"wait 300", L"post 1136 40"}},
        {"notice open", {L"wait-visible 10000", L"wait 300", L"post 1135 1", L"wait-notice 5000"}},
    };
    // What the launcher may show in response: its window, its notice, the network box, the exit menu,
    // shadows and tool tips.
    const std::set<std::string> expected = {"GameLoaderResClass", "CustomMsgBoxClass", "#32770", "#32768",
                                            "UmbraShadowWnd", "tooltips_class32"};
    unsigned seed = 1209;
    for (const auto& state : states) {
        SCOPED_TRACE(state.name);
        std::vector<std::wstring> steps = {L"start -token", L"wait-window 10000"};
        steps.insert(steps.end(), state.setup.begin(), state.setup.end());
        const auto hostile = HostileSteps(seed++, 2000);
        steps.insert(steps.end(), hostile.begin(), hostile.end());
        steps.insert(steps.end(), {L"send 0", L"state", L"windows", L"dialog-ok", L"notice-alt-f4", L"wait 500",
                                   L"post 1130", L"wait-exit 60000"});
        const SimRun run = Sim(steps);
        ASSERT_TRUE(run.finished);
        EXPECT_TRUE(StartsWith(run.First("sent msg=0 "), "sent msg=0")) << "the launcher stopped answering";
        EXPECT_TRUE(StartsWith(run.First("state "), "state hwnd=")) << "the window is gone before the end";
        for (const auto& c : WindowClasses(run.First("windows "))) EXPECT_TRUE(expected.count(c)) << c;
        EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
        EXPECT_FALSE(GameStarted());
        for (const auto& r : run.Received()) EXPECT_TRUE(StartsWith(r, "copydata to=main ")) << r;
    }
}

// The command a page's text names, as the JSON library reads it: "funcation_name" of an object.
std::string CommandOf(const std::string& text)
{
    try {
        Json::Reader reader;
        Json::Value root;
        if (!reader.parse(text, root) || !root.isObject()) return {};
        const Json::Value& name = root["funcation_name"];
        return name.isString() ? name.asString() : std::string();
    } catch (...) {
        return {};
    }
}

TEST_F(Robustness, GeneratedPageCallsThroughTheRealLauncher)
{
    std::mt19937 random(99);
    const char* names[] = {"min_wnd", "wnd_mousemove", "MIN_WND", "other", "", "open_game\\u0000"};
    std::string script = "load\n";
    int minimises = 0;
    for (int i = 0; i < 2000; ++i) {
        std::string text;
        switch (random() % 6) {
        case 0:
            text = std::string("{\"funcation_name\":\"") + names[random() % std::size(names)] + "\"}";
            break;
        case 1: text = std::string(random() % 200, '[') + "{\"funcation_name\":\"min_wnd\"}"; break;
        case 2: text = "{\"funcation_name\":\"min_wnd\",\"x\":\"" + std::string(20000, 'y') + "\"}"; break;
        case 3: text = std::to_string(random()); break;
        case 4: text = "{\"funcation_name\":[\"min_wnd\"],\"token\":{}}"; break;
        default: text = "{\"funcation_name\":\"wnd_mousemove\",\"a\":[1,2,{\"b\":null}]"; break;
        }
        const bool twoArguments = random() % 25 == 0;  // never runs a command
        if (!twoArguments && CommandOf(text) == "min_wnd") ++minimises;
        script += (twoArguments ? "call-two " + text + " x" : "call " + text) + "\n";
    }
    const std::wstring page = m_dir + L"page.txt";
    test::WriteFileBytes(page, script);
    test::ScopedEnv pageEnv(L"VEMRA_FAKE_PAGE", page);
    test::LogTail tail;
    const SimRun run = Sim({L"start -token", L"wait-visible 20000", L"wait 3000", L"send 0", L"state", L"post 1130",
                            L"wait-exit 60000"});
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(StartsWith(run.First("sent msg=0 "), "sent msg=0"));
    EXPECT_TRUE(StartsWith(run.First("state "), "state hwnd="));
    EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
    EXPECT_FALSE(GameStarted());
    const std::string text = tail.NewText();
    EXPECT_EQ(WithPrefix(tail.NewMessages(), "min_wnd call").size(), static_cast<size_t>(minimises));
    const std::regex record(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.[ \d]{2}\d \[[^\]]+\] : .*$)");
    for (const auto& line : test::SplitCrLf(text)) EXPECT_TRUE(std::regex_match(line, record)) << line.substr(0, 200);
}

// ---- broken files and values ---------------------------------------------------------------------------

TEST_F(Robustness, SettingsFileIsNeverLeftHalfWrittenByALauncherEndedAtAnyMoment)
{
    std::mt19937 random(42);
    ::DeleteFileW(m_settingsPath.c_str());
    for (int i = 0; i < 30; ++i) {
        SCOPED_TRACE(i);
        const std::wstring source = L"src" + std::to_wstring(i);
        HANDLE h = test::StartProcess(test::LauncherPath(), L"--winid=" + std::to_wstring(1000 + i) +
                                                                L" --source=" + source + L" --tokenLogin=0");
        ASSERT_TRUE(h);
        ::Sleep(random() % 250);
        ::TerminateProcess(h, 9);
        ::WaitForSingleObject(h, 10000);
        ::CloseHandle(h);
        if (!test::FileExists(m_settingsPath)) continue;
        // A whole document: the window id comes first, the login source may not have been written yet.
        std::wstring read;
        EXPECT_TRUE(ReadWindowId(m_settingsPath, read)) << test::ReadFileBytes(m_settingsPath);
    }
    // The next launcher reads and writes it as always.
    const auto r = test::RunLauncherAndClose(L"--winid=77 --source=after", 20000);
    EXPECT_EQ(r.exitCode, 0u);
    std::wstring source, window;
    EXPECT_TRUE(ReadLoginSource(m_settingsPath, source));
    EXPECT_TRUE(ReadWindowId(m_settingsPath, window));
    EXPECT_EQ(source, L"after");
    EXPECT_EQ(window, L"77");
    EXPECT_FALSE(test::FileExists(m_settingsPath + L".tmp"));
}

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE h = ::FindFirstFileW((folder + L"*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (std::wstring(data.cFileName) != L"." && std::wstring(data.cFileName) != L"..")
            names.push_back(data.cFileName);
    } while (::FindNextFileW(h, &data));
    ::FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(Robustness, UnreadableSettingsFilesAreLeftAloneAndTheLauncherRunsOn)
{
    std::string binary(4096, '\0');
    std::mt19937 random(7);
    for (auto& c : binary) c = static_cast<char>(random());
    const struct {
        const char* name;
        std::string content;
        bool heldOpen;
    } cases[] = {
        {"empty", "", false},
        {"binary", binary, false},
        {"huge", std::string(8 * 1024 * 1024, 'a'), false},
        {"no element", "<!-- nothing here -->", false},
        {"held open by another program", "<settings><loginsource>OC</loginsource></settings>", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(test::WriteFileBytes(m_settingsPath, c.content));
        HANDLE hHeld = INVALID_HANDLE_VALUE;
        if (c.heldOpen)
            hHeld = ::CreateFileW(m_settingsPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const auto normal = test::RunLauncherAndClose(L"--winid=5 --source=OC --tokenLogin=0", 30000);
        EXPECT_TRUE(normal.finished);
        EXPECT_EQ(normal.exitCode, 0u);
        const auto gameExit = test::RunProcess(test::LauncherPath(), L"\"{\"type\":1}\"", 30000);
        EXPECT_TRUE(gameExit.finished);
        EXPECT_EQ(gameExit.exitCode, 0u);
        if (hHeld != INVALID_HANDLE_VALUE) ::CloseHandle(hHeld);
        EXPECT_TRUE(test::ReadFileBytes(m_settingsPath) == c.content) << "the file was changed";
        EXPECT_EQ(FilesIn(test::ParentFolder()), (std::vector<std::wstring>{L"Log", L"setting.xml"}));
    }
}

void SetUninstallValue(const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    ::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    ::RegCloseKey(key);
}

TEST_F(Robustness, UninstallValuesOfAnyTypeOrLengthNeverStopTheLauncher)
{
    const DWORD number = 0x41;  // reads as the one-letter text "A"
    const std::string bytes(600, 'A');
    const std::wstring longPath = L"C:\\" + std::wstring(300, L'x') + L"\\vemra2_main.exe";
    const struct {
        const char* name;
        DWORD type;
        const void* data;
        DWORD size;
        bool gameStarts;  // true: the path reads as empty, so the game beside the launcher is started
    } cases[] = {
        {"a number", REG_DWORD, &number, sizeof number, false},
        {"bytes without an end", REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()), true},
        {"a path longer than 259 characters", REG_SZ, longPath.c_str(),
         static_cast<DWORD>((longPath.size() + 1) * sizeof(wchar_t)), true},
        {"nothing at all", REG_SZ, L"", 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW(m_gameRecord.c_str());
        SetUninstallValue(L"DisplayIcon", c.type, c.data, c.size);
        SetUninstallValue(L"FileParam", c.type, c.data, c.size);
        const SimRun run = Sim({L"start tokenLogin=1 token=R1", L"wait-exit 30000"});
        ASSERT_TRUE(run.finished);
        EXPECT_TRUE(StartsWith(run.Exit(), "exit code=0 ")) << run.Exit();
        if (c.gameStarts) {
            EXPECT_TRUE(GameStarted());
        } else {
            EXPECT_FALSE(GameStarted());
            EXPECT_EQ(run.Received(), std::vector<std::string>{"message to=mgr msg=1347 wparam=0 lparam=0"});
        }
    }
}

// ---- a parent client that hangs or dies ----------------------------------------------------------------

TEST_F(Robustness, AHungParentDelaysTheCloseOnlyByTheNoticesBound)
{
    const SimRun run = Sim({L"hang main", L"start", L"wait-window 10000", L"post 1130", L"wait-exit 60000"});
    ASSERT_TRUE(run.finished);
    const std::string exit = run.Exit();
    ASSERT_TRUE(StartsWith(exit, "exit code=0 ms=")) << exit;
    EXPECT_LT(std::stoul(exit.substr(exit.find("ms=") + 3)), 20000ul);
    EXPECT_EQ(run.Received().size(), 1u) << "the hung parent got the notice, and the launcher went on";
}

TEST_F(Robustness, AParentThatDiesDuringTheNoticeLetsTheLauncherEnd)
{
    const SimRun run = Sim({L"die-on-notice", L"start", L"wait-window 10000", L"post 1130", L"wait 30000"});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 4u) << "the simulator ended inside its notice handler";
    const std::string started = run.First("started pid=");
    ASSERT_FALSE(started.empty());
    const DWORD pid = static_cast<DWORD>(std::stoul(started.substr(12)));
    HANDLE h = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (h) {  // it may be gone already
        EXPECT_EQ(::WaitForSingleObject(h, 20000), WAIT_OBJECT_0);
        DWORD code = 1;
        ::GetExitCodeProcess(h, &code);
        EXPECT_EQ(code, 0u);
        ::CloseHandle(h);
    }
}

TEST_F(Robustness, AParentWindowGoneBeforeTheCloseIsNoObstacle)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VemraGoneParent";
    ::RegisterClassW(&wc);
    HWND h = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
    const std::wstring id = std::to_wstring(reinterpret_cast<INT_PTR>(h));
    ::DestroyWindow(h);
    const SimRun run = Sim({L"start winid=" + id, L"wait-window 10000", L"post 1130", L"wait-exit 30000"});
    const std::string exit = run.Exit();
    ASSERT_TRUE(StartsWith(exit, "exit code=0 ms=")) << exit;
    EXPECT_LT(std::stoul(exit.substr(exit.find("ms=") + 3)), 10000ul);
}

}  // namespace
