// The launcher process as the parent client and a user see it: single instance, exit codes, the log.
#include "SimSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace {

constexpr UINT WM_SHOW_MAIN_WND = WM_USER + 109;

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Received> g_received;

LRESULT CALLBACK RecordingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER) g_received.push_back({message, wParam, lParam});
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

// A top-level window with the launcher's title, as a running launcher would have.
HWND CreateTitledWindow(const wchar_t* title)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VemraStartupTestWindow";
    ::RegisterClassW(&wc);
    return ::CreateWindowExW(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                             wc.hInstance, nullptr);
}

using test::LogTail;

bool Contains(const std::vector<std::string>& lines, const std::string& text)
{
    for (const auto& l : lines)
        if (l == text) return true;
    return false;
}

TEST(Startup, SecondInstancePostsShowMessageToTheRunningWindowAndExits)
{
    HANDLE hMutex = ::CreateMutexW(nullptr, FALSE, L"vemra2_main.exe");  // plays the running launcher
    HWND hWnd = CreateTitledWindow(L"Vemrakai2");
    ASSERT_TRUE(hWnd);
    g_received.clear();
    LogTail tail;

    const auto r = test::RunProcess(test::LauncherPath(), L"--winid=1 --source=OC", 20000);
    test::PumpFor(200);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0u);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].message, WM_SHOW_MAIN_WND);
    EXPECT_EQ(g_received[0].wParam, 0u);
    EXPECT_EQ(g_received[0].lParam, 0);

    const auto messages = tail.NewMessages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].rfind("Logger::initializePathDir:", 0), 0u);
    EXPECT_EQ(messages[1], "CreateMutex ERROR_ALREADY_EXISTS:vemra2_main.exe");
    EXPECT_EQ(messages[2], "FindWindow:Vemrakai2");

    ::DestroyWindow(hWnd);
    ::CloseHandle(hMutex);
}

TEST(Startup, SecondInstanceWithoutWindowExitsSilently)
{
    HANDLE hMutex = ::CreateMutexW(nullptr, FALSE, L"vemra2_main.exe");
    LogTail tail;
    const auto r = test::RunProcess(test::LauncherPath(), L"\"{\"type\":1}\"", 20000);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0u);
    const auto messages = tail.NewMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1], "CreateMutex ERROR_ALREADY_EXISTS:vemra2_main.exe");
    ::CloseHandle(hMutex);
}

TEST(Startup, LogFileNameLineFormatAndCrLf)
{
    LogTail tail;
    const auto r = test::RunLauncherAndClose(L"--winid=123 --source=OC", 20000);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0u);

    const std::string text = tail.NewText();
    ASSERT_FALSE(text.empty()) << "no log at " << std::string(test::TodaysLogPath().begin(), test::TodaysLogPath().end());
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "bare line feed at " << i;
        }
    }
    const std::regex format(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.[ \d]{2}\d \[[^<\]]+<\d+>[^\]]+\] : .*$)");
    const auto lines = test::SplitCrLf(text);
    for (const auto& line : lines) EXPECT_TRUE(std::regex_match(line, format)) << line;

    const auto messages = tail.NewMessages();
    std::string folder;
    for (wchar_t c : test::LogFolder()) folder.push_back(static_cast<char>(c));
    ASSERT_GE(messages.size(), 5u);
    EXPECT_EQ(messages[0], "Logger::initializePathDir:" + folder);
    EXPECT_EQ(messages[1], "CreateMutex not ERROR_ALREADY_EXISTS:vemra2_main.exe");
    EXPECT_EQ(messages[3], "CommandLineToArgvW argCount:1 szArgList:--winid=123");
    EXPECT_EQ(messages[4], "CommandLineToArgvW argCount:2 szArgList:--source=OC");
    EXPECT_NE(lines[0].find(" [Main.cpp<"), std::string::npos);
    EXPECT_NE(lines[0].find(">wWinMain] : "), std::string::npos);

    EXPECT_FALSE(test::FileExists(test::LogFolder() + L"debug.txt"));
}

TEST(Startup, TwoRunsAppendToTheSameDayFile)
{
    LogTail tail;
    ASSERT_EQ(test::RunLauncherAndClose(L"--token=first --k", 20000).exitCode, 0u);
    ASSERT_EQ(test::RunLauncherAndClose(L"--token=second --k", 20000).exitCode, 0u);
    const auto messages = tail.NewMessages();
    EXPECT_TRUE(Contains(messages, "CommandLineToArgvW argCount:1 szArgList:--token=first"));
    EXPECT_TRUE(Contains(messages, "CommandLineToArgvW argCount:1 szArgList:--token=second"));
}

TEST(Startup, ConcurrentWritersLoseNoLines)
{
    const std::wstring folder = test::MakeTempDir(L"logstress");
    const int kLines = 1500;
    const std::wstring stress = test::BinDir() + L"vemra2_logstress.exe";
    HANDLE a = test::StartProcess(stress, test::QuoteArg(folder) + L" " + std::to_wstring(kLines));
    HANDLE b = test::StartProcess(stress, test::QuoteArg(folder) + L" " + std::to_wstring(kLines));
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(test::WaitPumping(a, 60000));
    EXPECT_TRUE(test::WaitPumping(b, 60000));
    const DWORD pidA = ::GetProcessId(a), pidB = ::GetProcessId(b);
    ::CloseHandle(a);
    ::CloseHandle(b);

    const auto lines = test::SplitCrLf(test::ReadFileBytes(
        folder + test::TodaysLogPath(L"vemra2_logstress.exe").substr(test::LogFolder().size())));
    int countA = 0, countB = 0;
    for (const auto& line : lines) {
        const std::string m = test::LogMessage(line);
        if (m.rfind("pid " + std::to_string(pidA) + " line ", 0) == 0) {
            ++countA;
        } else if (m.rfind("pid " + std::to_string(pidB) + " line ", 0) == 0) {
            ++countB;
        } else {
            ADD_FAILURE() << "mangled line: " << line;
        }
    }
    EXPECT_EQ(countA, kLines);
    EXPECT_EQ(countB, kLines);
    test::RemoveTree(folder);
}

TEST(Startup, HugeAndStrangeCommandLinesEndCleanly)
{
    {
        LogTail tail;
        const std::wstring big = L"--ocext=" + std::wstring(32000, L'x');
        const auto r = test::RunLauncherAndClose(big + L" --k", 60000);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_TRUE(Contains(tail.NewMessages(), "CommandLineToArgvW argCount:1 szArgList:" + std::string(big.begin(), big.end())));
    }
    {
        LogTail tail;
        std::wstring args;
        for (int i = 0; i < 2500; ++i) args += L"--token=" + std::to_wstring(i) + L" ";
        const auto r = test::RunLauncherAndClose(args, 60000);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 0u);
        int argLines = 0;
        for (const auto& m : tail.NewMessages())
            if (m.rfind("CommandLineToArgvW argCount:", 0) == 0) ++argLines;
        EXPECT_EQ(argLines, 2501);
    }
    {
        LogTail tail;
        const auto r = test::RunLauncherAndClose(L"--source=\u4e2d\u6587\U0001F600 --k", 20000);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 0u);
        bool found = false;
        for (const auto& m : tail.NewMessages())
            if (m.rfind("CommandLineToArgvW argCount:1 szArgList:--source=", 0) == 0) found = true;
        EXPECT_TRUE(found);
    }
}

TEST(Startup, UnusableLogFolderNeverStopsTheLauncher)
{
    // A plain file where the parent client's folder belongs: the log folder cannot exist.
    const std::wstring parent = test::ParentFolder().substr(0, test::ParentFolder().size() - 1);
    const std::wstring aside = parent + L".aside";
    test::RemoveTree(aside);
    ASSERT_TRUE(::MoveFileW(parent.c_str(), aside.c_str()) || !test::FileExists(parent));
    ASSERT_TRUE(test::WriteFileBytes(parent, "not a folder"));

    const auto r = test::RunLauncherAndClose(L"--winid=1 --source=OC", 20000);
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(test::ReadFileBytes(parent), "not a folder");

    ::DeleteFileW(parent.c_str());
    ::MoveFileW(aside.c_str(), parent.c_str());
}

}  // namespace
