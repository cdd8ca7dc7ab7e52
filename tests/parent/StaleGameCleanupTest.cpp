// The stale-game cleanup, run in this process against real stand-in game processes ("vemra2.exe").
#include "Common.h"
#include "GameLoader.h"
#include "Logger.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

namespace {

constexpr char kFound[] = "GeneralProcessExist,GetProcessIdByName vemra2.exe idProcess:";

std::wstring GamePath()
{
    return test::BinDir() + L"vemra2.exe";
}

std::wstring OwnExeName()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring full = path;
    return full.substr(full.rfind(L'\\') + 1);
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// Messages this process logs after the tail was taken.
class OwnLogTail {
public:
    OwnLogTail() : m_offset(Read().size()) {}
    std::vector<std::string> NewMessages() const
    {
        std::vector<std::string> out;
        for (const auto& line : test::SplitCrLf(Read().substr(m_offset))) out.push_back(test::LogMessage(line));
        return out;
    }

private:
    static std::string Read() { return test::ReadFileBytes(AnsiToWide(Logger::instance().fileName())); }
    size_t m_offset;
};

size_t CountStartingWith(const std::vector<std::string>& lines, const std::string& prefix)
{
    size_t n = 0;
    for (const auto& l : lines)
        if (StartsWith(l, prefix)) ++n;
    return n;
}

class StaleGame : public ::testing::Test {
protected:
    void SetUp() override
    {
        (void)Logger::instance();  // the log file must exist before the first tail is taken
        ::SetEnvironmentVariableW(L"VEMRA2_GAME_LIFETIME_MS", L"60000");
        ::SetEnvironmentVariableW(L"VEMRA2_GAME_RECORD", nullptr);
        ::SetEnvironmentVariableW(L"VEMRA2_GAME_PROTECT", nullptr);
        EndAllGames();
    }
    void TearDown() override
    {
        for (HANDLE h : m_games) {
            ::TerminateProcess(h, 0);
            ::CloseHandle(h);
        }
        EndAllGames();
    }

    HANDLE StartGame(const std::wstring& path)
    {
        HANDLE h = test::StartProcess(path, L"");
        if (h) m_games.push_back(h);
        return h;
    }

    static bool WaitListed(const std::wstring& name, size_t count)
    {
        for (int i = 0; i < 200; ++i) {
            if (CountProcesses(name) >= count) return true;
            ::Sleep(50);
        }
        return false;
    }

    static size_t CountProcesses(const std::wstring& name)
    {
        size_t n = 0;
        HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE) return 0;
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL ok = ::Process32FirstW(snapshot, &entry); ok; ok = ::Process32NextW(snapshot, &entry))
            n += name == entry.szExeFile;
        ::CloseHandle(snapshot);
        return n;
    }

    // Leftovers of an earlier failed test would change every count here.
    static void EndAllGames()
    {
        for (int i = 0; i < 100; ++i) {
            const DWORD id = GetProcessIdByName(L"vemra2.exe");
            if (id == kNoProcessId) return;
            if (HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
                ::TerminateProcess(h, 0);
                ::WaitForSingleObject(h, 5000);
                ::CloseHandle(h);
            }
        }
    }

    std::vector<HANDLE> m_games;
};

TEST_F(StaleGame, NothingRunningEndsAtOnceAfterOneWalkOfTheProcessList)
{
    OwnLogTail tail;
    const ULONGLONG start = ::GetTickCount64();
    CleanupGeneralProcess();
    const ULONGLONG spent = ::GetTickCount64() - start;
    EXPECT_LT(spent, 1000u) << "no game running, yet the cleanup slept";

    const auto messages = tail.NewMessages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(CountStartingWith(messages, "Process32Next processName:"), messages.size());
    // Every process is listed once per walk: this one appears exactly once.
    EXPECT_EQ(CountStartingWith(messages, "Process32Next processName:" + WideToNarrow(OwnExeName(), CP_ACP)), 1u);
    EXPECT_EQ(GetProcessIdByName(L""), kNoProcessId);
}

TEST_F(StaleGame, OneOrTwoGamesAreTerminatedOnePerPass)
{
    for (size_t count : {1u, 2u}) {
        SCOPED_TRACE("games: " + std::to_string(count));
        std::vector<HANDLE> games;
        for (size_t i = 0; i < count; ++i) {
            games.push_back(StartGame(GamePath()));
            ASSERT_TRUE(games.back());
        }
        ASSERT_TRUE(WaitListed(L"vemra2.exe", count));

        OwnLogTail tail;
        CleanupGeneralProcess();
        for (HANDLE h : games) {
            ASSERT_EQ(::WaitForSingleObject(h, 5000), WAIT_OBJECT_0);
            DWORD code = 99;
            ::GetExitCodeProcess(h, &code);
            EXPECT_EQ(code, 0u) << "not ended by TerminateProcess";
        }
        const auto messages = tail.NewMessages();
        // One pass per game, each finding a different one; the pass after the last finds none.
        std::vector<std::string> found;
        for (const auto& m : messages)
            if (StartsWith(m, kFound)) found.push_back(m.substr(sizeof kFound - 1));
        ASSERT_EQ(found.size(), count);
        if (count == 2) {
            EXPECT_NE(found[0], found[1]);
        }
        for (const auto& id : found) {
            bool ours = false;
            for (HANDLE h : games) ours |= id == std::to_string(::GetProcessId(h));
            EXPECT_TRUE(ours) << id;
        }
        EXPECT_EQ(CountStartingWith(messages, "OpenProcess1 "), 0u);
        EXPECT_EQ(GetProcessIdByName(L"vemra2.exe"), kNoProcessId);
    }
}

TEST_F(StaleGame, NameInOtherLetterCaseIsNeitherFoundNorEnded)
{
    const std::wstring dir = test::MakeTempDir(L"upper");
    const std::wstring upper = dir + L"VEMRA2.EXE";
    ASSERT_TRUE(::CopyFileW(GamePath().c_str(), upper.c_str(), FALSE));
    HANDLE h = StartGame(upper);
    ASSERT_TRUE(h);
    ASSERT_TRUE(WaitListed(L"VEMRA2.EXE", 1)) << "the snapshot does not keep the name's letter case";

    EXPECT_NE(GetProcessIdByName(L"VEMRA2.EXE"), kNoProcessId);
    EXPECT_EQ(GetProcessIdByName(L"vemra2.exe"), kNoProcessId);
    EXPECT_FALSE(GeneralProcessExist());
    CleanupGeneralProcess();
    EXPECT_EQ(::WaitForSingleObject(h, 1500), static_cast<DWORD>(WAIT_TIMEOUT));

    ::TerminateProcess(h, 0);
    ::WaitForSingleObject(h, 5000);
    test::RemoveTree(dir);
}

TEST_F(StaleGame, ProcessThatCannotBeOpenedIsReportedWithBothOpenFailures)
{
    OwnLogTail tail;
    const DWORD noSuchProcess = 0x7FFFFFF0;  // ids are multiples of four far below this
    EXPECT_FALSE(KillProcess(noSuchProcess));
    const auto messages = tail.NewMessages();
    const std::string id = std::to_string(noSuchProcess);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_TRUE(StartsWith(messages[0], "OpenProcess1 " + id + " falsed code:")) << messages[0];
    EXPECT_EQ(messages[1], "EnableDebugPrivilege " + id + " true");
    EXPECT_TRUE(StartsWith(messages[2], "OpenProcess2 " + id + " falsed code:")) << messages[2];
    EXPECT_NE(messages[0], "OpenProcess1 " + id + " falsed code:0");
}

TEST_F(StaleGame, TaskkillEndsTheOthersWhenTheFirstGameCannotBeOpened)
{
    // The first game in the process list denies termination to everyone and ends by itself later.
    const std::wstring dir = test::MakeTempDir(L"protect");
    const std::wstring record = dir + L"record.txt";
    ::SetEnvironmentVariableW(L"VEMRA2_GAME_RECORD", record.c_str());
    ::SetEnvironmentVariableW(L"VEMRA2_GAME_PROTECT", L"1");
    ::SetEnvironmentVariableW(L"VEMRA2_GAME_LIFETIME_MS", L"3000");
    HANDLE hProtected = StartGame(GamePath());
    ASSERT_TRUE(hProtected);
    // The game protects itself before it writes its record.
    const std::string pidLine = "pid=" + std::to_string(::GetProcessId(hProtected)) + "\r\n";
    for (int i = 0; i < 200 && test::ReadFileBytes(record).find(pidLine) == std::string::npos; ++i) ::Sleep(50);
    ASSERT_NE(test::ReadFileBytes(record).find(pidLine), std::string::npos);
    ::SetEnvironmentVariableW(L"VEMRA2_GAME_PROTECT", nullptr);
    ::SetEnvironmentVariableW(L"VEMRA2_GAME_LIFETIME_MS", L"60000");
    HANDLE hOther = StartGame(GamePath());
    ASSERT_TRUE(hOther);
    ASSERT_TRUE(WaitListed(L"vemra2.exe", 2));

    OwnLogTail tail;
    CleanupGeneralProcess();
    const auto messages = tail.NewMessages();
    const std::string protectedId = std::to_string(::GetProcessId(hProtected));

    // Only the protected game is ever picked; the other one is ended by taskkill in the first pass.
    EXPECT_EQ(::WaitForSingleObject(hOther, 0), WAIT_OBJECT_0);
    DWORD code = 0;
    ::GetExitCodeProcess(hOther, &code);
    EXPECT_NE(code, 3u) << "the other game lived its full time";
    EXPECT_EQ(::WaitForSingleObject(hProtected, 0), WAIT_OBJECT_0);
    ::GetExitCodeProcess(hProtected, &code);
    EXPECT_EQ(code, 3u) << "the protected game was ended by someone";

    const size_t passes = CountStartingWith(messages, kFound);
    EXPECT_GE(passes, 2u);
    EXPECT_EQ(CountStartingWith(messages, std::string(kFound) + protectedId), passes);
    EXPECT_EQ(CountStartingWith(messages, "OpenProcess1 " + protectedId + " falsed code:5"), passes);
    EXPECT_EQ(CountStartingWith(messages, "EnableDebugPrivilege " + protectedId + " true"), passes);
    EXPECT_EQ(CountStartingWith(messages, "OpenProcess2 " + protectedId + " falsed code:5"), passes);
    EXPECT_EQ(CountStartingWith(messages, "KillProcess vemra2.exe falsed code:"), 0u);  // taskkill did start
    test::RemoveTree(dir);
}

TEST_F(StaleGame, AGameThatKeepsComingBackStopsTheLoopAfterThirtyPasses)
{
    const std::wstring restarter = test::BinDir() + L"vemra2_restarter.exe";
    HANDLE hRestarter = test::StartProcess(restarter, test::QuoteArg(GamePath()) + L" 90000");
    ASSERT_TRUE(hRestarter);
    ASSERT_TRUE(WaitListed(L"vemra2.exe", 1));

    OwnLogTail tail;
    const ULONGLONG start = ::GetTickCount64();
    CleanupGeneralProcess();
    const ULONGLONG spent = ::GetTickCount64() - start;
    const auto messages = tail.NewMessages();

    ::TerminateProcess(hRestarter, 0);
    ::WaitForSingleObject(hRestarter, 5000);
    ::CloseHandle(hRestarter);

    EXPECT_EQ(CountStartingWith(messages, kFound), 30u);
    // Thirty full seconds on the monotonic clock, whatever Sleep does.
    EXPECT_GE(spent, 30000u);
}

}  // namespace
