// The Linux process behind a Wine process, read through Wine's drive of the root folder: how often its
// threads were woken and how much processor time it used. Wine's own calls cannot answer this (processor
// times of other processes read as 0), and "/proc/self" would name the wineserver, which opens the files.
#pragma once

#include "UIHandle.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace unixproc {

// A /proc file (their size reads as 0, so they are read to their end).
inline std::string ReadProcFile(const std::wstring& path)
{
    const SkinUI::CUniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    std::string text;
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(file.Get(), buf, sizeof buf, &got, nullptr) && got > 0) text.append(buf, got);
    return text;
}

inline std::wstring ProcPath(int pid, const wchar_t* rest)
{
    return L"Z:\\proc\\" + std::to_wstring(pid) + L"\\" + rest;
}

// The fields of /proc/PID/stat that matter here. The name stands in parentheses and may hold blanks.
struct Stat {
    bool ok = false;
    std::string comm;
    char state = '?';
    uint64_t utime = 0, stime = 0;  // clock ticks
    uint64_t startTime = 0;         // clock ticks after boot
};

inline Stat ParseStat(const std::string& text)
{
    Stat s;
    const size_t open = text.find('(');
    const size_t close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return s;
    s.comm = text.substr(open + 1, close - open - 1);
    std::istringstream rest(text.substr(close + 1));
    std::vector<std::string> f;  // f[0] is field 3 (state)
    for (std::string word; rest >> word;) f.push_back(word);
    if (f.size() < 20) return s;
    s.state = f[0].empty() ? '?' : f[0][0];
    s.utime = std::strtoull(f[11].c_str(), nullptr, 10);      // field 14
    s.stime = std::strtoull(f[12].c_str(), nullptr, 10);      // field 15
    s.startTime = std::strtoull(f[19].c_str(), nullptr, 10);  // field 22
    s.ok = true;
    return s;
}

// "name:<blanks>value" of a status file; -1 when absent. The line start matters:
// "nonvoluntary_ctxt_switches" ends with the words of "voluntary_ctxt_switches".
inline int64_t StatusValue(const std::string& status, const std::string& name)
{
    const std::string key = name + ":";
    for (size_t at = status.find(key); at != std::string::npos; at = status.find(key, at + 1)) {
        if (at != 0 && status[at - 1] != '\n') continue;
        return std::strtoll(status.c_str() + at + key.size(), nullptr, 10);
    }
    return -1;
}

inline std::vector<int> NumericEntries(const std::wstring& folder)
{
    std::vector<int> out;
    WIN32_FIND_DATAW found{};
    const HANDLE hFind = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (hFind == INVALID_HANDLE_VALUE) return out;
    do {
        wchar_t* end = nullptr;
        const long v = std::wcstol(found.cFileName, &end, 10);
        if (end != found.cFileName && *end == L'\0' && v > 0) out.push_back(static_cast<int>(v));
    } while (::FindNextFileW(hFind, &found));
    ::FindClose(hFind);
    return out;
}

// The newest live process named comm (as Linux shortens it, 15 characters) that runs in the Wine prefix
// winePrefix (its environment says so; empty: any) and whose command line holds marker (Wine hands a
// program's command line to Linux as it is; empty: any); 0 when there is none. Other users of the machine
// may run programs of the same name, in prefixes of their own or in this one.
inline int FindProcess(const std::string& comm, const std::string& winePrefix, const std::string& marker = {})
{
    const std::string shortName = comm.substr(0, 15);
    int best = 0;
    uint64_t bestStart = 0;
    for (int pid : NumericEntries(L"Z:\\proc")) {
        const Stat s = ParseStat(ReadProcFile(ProcPath(pid, L"stat")));
        if (!s.ok || s.comm != shortName || s.state == 'Z' || s.state == 'X') continue;
        if (!winePrefix.empty()) {
            const std::string env = ReadProcFile(ProcPath(pid, L"environ"));
            const std::string want = "WINEPREFIX=" + winePrefix;
            bool match = false;
            for (size_t at = 0; at < env.size();) {
                const size_t end = env.find('\0', at);
                const std::string entry = env.substr(at, end == std::string::npos ? std::string::npos : end - at);
                if (entry == want || entry == want + "/") match = true;
                if (end == std::string::npos) break;
                at = end + 1;
            }
            if (!match) continue;
        }
        if (!marker.empty()) {
            std::string cmdline = ReadProcFile(ProcPath(pid, L"cmdline"));
            for (char& c : cmdline)
                if (c == '\0') c = ' ';
            if (cmdline.find(marker) == std::string::npos) continue;
        }
        if (best == 0 || s.startTime >= bestStart) {
            best = pid;
            bestStart = s.startTime;
        }
    }
    return best;
}

// How often the threads of a process were woken, and its processor time, at one moment.
struct Activity {
    bool ok = false;
    int64_t mainThreadWakes = -1;  // voluntary context switches of the first thread (Wine's main thread)
    int64_t allThreadWakes = 0;
    int threads = 0;
    double cpuMs = 0;
};

inline Activity ReadActivity(int pid)
{
    Activity a;
    if (pid <= 0) return a;
    const Stat s = ParseStat(ReadProcFile(ProcPath(pid, L"stat")));
    if (!s.ok) return a;
    a.cpuMs = static_cast<double>(s.utime + s.stime) * 10.0;  // Linux's user clock runs at 100 ticks a second
    for (int tid : NumericEntries(ProcPath(pid, L"task"))) {
        const int64_t v = StatusValue(
            ReadProcFile(ProcPath(pid, (L"task\\" + std::to_wstring(tid) + L"\\status").c_str())),
            "voluntary_ctxt_switches");
        if (v < 0) continue;
        if (tid == pid) a.mainThreadWakes = v;
        a.allThreadWakes += v;
        ++a.threads;
    }
    a.ok = a.mainThreadWakes >= 0;
    return a;
}

// Resident memory (the working set) of a process by what is mapped: each file by its name, anonymous memory
// as "[anonymous]", the heap and stacks by their kernel names. In kB.
inline std::map<std::string, int64_t> ResidentByMapping(const std::string& smaps)
{
    std::map<std::string, int64_t> out;
    std::string current = "[anonymous]";
    std::istringstream lines(smaps);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) continue;
        const size_t dash = line.find('-');
        const bool header = dash != std::string::npos && dash > 0 &&
                            line.find_first_not_of("0123456789abcdef") == dash;
        if (header) {
            // address perms offset device inode [path]
            std::istringstream f(line);
            std::string address, perms, offset, device, inode, path;
            f >> address >> perms >> offset >> device >> inode;
            std::getline(f, path);
            const size_t start = path.find_first_not_of(' ');
            path = start == std::string::npos ? std::string() : path.substr(start);
            if (path.empty()) {
                current = "[anonymous]";
            } else if (path[0] == '[') {
                current = path.rfind("[stack", 0) == 0 ? "[stack]" : path;
            } else {
                const size_t slash = path.find_last_of('/');
                current = slash == std::string::npos ? path : path.substr(slash + 1);
            }
            continue;
        }
        if (line.rfind("Rss:", 0) == 0) out[current] += std::strtoll(line.c_str() + 4, nullptr, 10);
    }
    return out;
}

}  // namespace unixproc
