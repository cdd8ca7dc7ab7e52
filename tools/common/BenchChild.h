// Runs a benchmark program (often the caller itself, with a flag) as a fresh process and reads the figure it
// prints, so that "the first window of a process" is measured in a process that has done nothing else.
#pragma once

#include "UIHandle.h"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

inline std::wstring SelfPath()
{
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n < buf.size()) return std::wstring(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

// The folder of this executable, with a trailing backslash.
inline std::wstring SelfFolder()
{
    const std::wstring self = SelfPath();
    return self.substr(0, self.find_last_of(L"\\/") + 1);
}

// Starts commandLine, waits for it (at most timeoutMs) and returns what it wrote to standard output;
// empty when it could not start, timed out or failed.
inline std::string RunCapture(const std::wstring& commandLine, DWORD timeoutMs = 60000)
{
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    SkinUI::CUniqueHandle hRead, hWrite;
    if (!::CreatePipe(hRead.AddressOf(), hWrite.AddressOf(), &sa, 0)) return {};
    (void)::SetHandleInformation(hRead.Get(), HANDLE_FLAG_INHERIT, 0);  // only the child's end is inherited
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = hWrite.Get();
    si.hStdError = hWrite.Get();
    si.hStdInput = nullptr;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = commandLine;  // CreateProcessW may write into it
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) return {};
    SkinUI::CUniqueHandle hProcess(pi.hProcess), hThread(pi.hThread);
    hWrite.Reset();  // so that reading ends when the child's end closes
    std::string out;
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(hRead.Get(), buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    if (::WaitForSingleObject(hProcess.Get(), timeoutMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(hProcess.Get(), 1);
        return {};
    }
    DWORD code = 1;
    ::GetExitCodeProcess(hProcess.Get(), &code);
    return code == 0 ? out : std::string();
}

// The number after "key " in text, or a negative value.
inline double FindValue(const std::string& text, const std::string& key)
{
    const size_t at = text.find(key + " ");
    if (at == std::string::npos) return -1;
    return std::strtod(text.c_str() + at + key.size() + 1, nullptr);
}

}  // namespace bench
