#include "LauncherFixture.h"

#include "InstallPaths.h"
#include "TestSupport.h"

namespace test {

void LauncherTest::SetUp()
{
    m_settingsPath = ParentFolder() + L"setting.xml";
    m_hadSettings = FileExists(m_settingsPath);
    if (m_hadSettings) m_savedSettings = ReadFileBytes(m_settingsPath);
    m_dir = MakeTempDir(L"launcher");
    m_gameRecord = m_dir + L"game.txt";
    installpaths::ClearInstall();
}

void LauncherTest::TearDown()
{
    if (m_hadSettings)
        WriteFileBytes(m_settingsPath, m_savedSettings);
    else
        ::DeleteFileW(m_settingsPath.c_str());
    installpaths::ClearInstall();
    RemoveTree(m_dir);
}

SimRun LauncherTest::Sim(const std::vector<std::wstring>& steps, const std::wstring& options, DWORD timeoutMs)
{
    ScopedEnv record(L"VEMRA2_GAME_RECORD", m_gameRecord);
    ScopedEnv lifetime(L"VEMRA2_GAME_LIFETIME_MS", L"0");
    return RunParentSim(m_dir, steps, options, timeoutMs);
}

std::vector<GameStart> LauncherTest::GameStarts() const
{
    // A game writes its record as it starts, which may come a moment after the launcher ended.
    std::string text;
    for (int i = 0; i < 30; ++i) {
        text = ReadFileBytes(m_gameRecord);
        const bool complete = text.size() >= 5 && text.compare(text.size() - 5, 5, "end\r\n") == 0;
        if (complete || (text.empty() && i >= 10)) break;
        PumpFor(100);
    }
    std::vector<GameStart> starts;
    for (const auto& line : SplitCrLf(text)) {
        if (StartsWith(line, "pid=")) starts.emplace_back();
        if (starts.empty()) continue;
        if (StartsWith(line, "cmdline=")) starts.back().cmdline = line.substr(8);
        if (StartsWith(line, "arg=")) starts.back().args.push_back(line.substr(4));
    }
    return starts;
}

std::vector<std::string> LauncherTest::GameArgs() const
{
    const auto starts = GameStarts();
    return starts.empty() ? std::vector<std::string>() : starts.front().args;
}

}  // namespace test
