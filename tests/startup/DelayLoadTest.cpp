// A DLL or function the launcher imports on first use that the system lacks ends the process with a log
// line naming it and an exit code, not with an unhandled exception.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ProbeRun {
    test::ProcessResult process;
    std::string log;
};

ProbeRun RunProbe(const std::wstring& mode)
{
    const std::wstring folder = test::MakeTempDir(L"delayload");
    ProbeRun run;
    run.process = test::RunProcess(test::BinDir() + L"delayload_probe.exe", test::QuoteArg(folder) + L" " + mode,
                                   30000);
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::wstring log = folder + L"\\delayload_probe.exe_" + std::to_wstring(now.wYear) + L"_" +
                             std::to_wstring(now.wMonth) + L"_" + std::to_wstring(now.wDay) + L".log";
    run.log = test::ReadFileBytes(log);
    test::RemoveTree(folder);
    return run;
}

TEST(DelayLoad, MissingDllEndsWithItsNameInTheLogAndModNotFound)
{
    const ProbeRun run = RunProbe(L"absent-dll");
    ASSERT_TRUE(run.process.finished);
    EXPECT_EQ(run.process.exitCode, static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_NE(run.log.find("[DelayLoadGuard.cpp<"), std::string::npos) << run.log;
    EXPECT_NE(run.log.find("DelayLoad] : LoadLibrary vemra_absent.dll falsed code:126"), std::string::npos)
        << run.log;
    EXPECT_EQ(run.log.find("returned:"), std::string::npos) << "the failed call must not seem to return";
}

TEST(DelayLoad, MissingFunctionEndsWithDllAndFunctionInTheLogAndProcNotFound)
{
    const ProbeRun run = RunProbe(L"absent-function");
    ASSERT_TRUE(run.process.finished);
    EXPECT_EQ(run.process.exitCode, static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_NE(run.log.find("GetProcAddress kernel32.dll!VemraMissingKernelFunction falsed code:127"),
              std::string::npos)
        << run.log;
    EXPECT_EQ(run.log.find("returned:"), std::string::npos);
}

TEST(DelayLoad, ProgramThatCallsNothingMissingRunsNormally)
{
    const ProbeRun run = RunProbe(L"present");
    ASSERT_TRUE(run.process.finished);
    EXPECT_EQ(run.process.exitCode, 0u);
    EXPECT_NE(run.log.find("returned:0"), std::string::npos) << run.log;
    EXPECT_EQ(run.log.find("DelayLoad]"), std::string::npos);
}

}  // namespace
