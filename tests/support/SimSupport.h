// Running the parent-client simulator from a test, and reading what it and the launcher recorded.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace test {

bool StartsWith(const std::string& text, const std::string& prefix);
std::vector<std::string> WithPrefix(const std::vector<std::string>& lines, const std::string& prefix);

struct SimRun {
    bool finished = false;
    DWORD exitCode = 0;
    std::vector<std::string> records;
    // What the parent's two windows received: "copydata ..." and "message ..." records.
    std::vector<std::string> Received() const;
    // The record of the last wait-exit step, or empty.
    std::string Exit() const;
    // The first record with the prefix, or empty.
    std::string First(const std::string& prefix) const;
};

// The records of a simulator run, one per line.
std::vector<std::string> ReadSimRecords(const std::wstring& path);

// Runs parent_sim.exe with the steps (one argument each) and reads its records from a file in folder.
SimRun RunParentSim(const std::wstring& folder, const std::vector<std::wstring>& steps,
                    const std::wstring& options = L"", DWORD timeoutMs = 120000);

// The simulator's record of the notice the launcher sends the parent's main window.
const std::string& ParentNoticeRecord();

// Launcher log lines written after construction.
class LogTail {
public:
    LogTail();
    std::string NewText() const;
    std::vector<std::string> NewMessages() const;

private:
    size_t m_offset;
};

// Sets an environment variable for this process and the programs it starts, and puts it back at the end.
class ScopedEnv {
public:
    ScopedEnv(const wchar_t* name, const std::wstring& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::wstring m_name;
    std::wstring m_old;
    bool m_hadOld = false;
};

}  // namespace test
