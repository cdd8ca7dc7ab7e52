// The base of tests that run the real launcher through the simulator: a folder of their own, the shared
// settings file and the game's install put back as they found them, and the stand-in game recording its
// starts into the folder.
#pragma once

#include "SimSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace test {

// One start of the stand-in game, as it recorded it.
struct GameStart {
    std::string cmdline;
    std::vector<std::string> args;
};

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the simulator; the games it leads to record into m_gameRecord and end at once.
    SimRun Sim(const std::vector<std::wstring>& steps, const std::wstring& options = L"", DWORD timeoutMs = 300000);
    // The starts recorded so far, waiting a moment for a game that is still starting.
    std::vector<GameStart> GameStarts() const;
    bool GameStarted() const { return !GameStarts().empty(); }
    // The first start's arguments; empty when no game started.
    std::vector<std::string> GameArgs() const;

    std::wstring m_dir;
    std::wstring m_gameRecord;
    std::wstring m_settingsPath;

private:
    bool m_hadSettings = false;
    std::string m_savedSettings;
};

}  // namespace test
