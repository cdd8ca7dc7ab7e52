// Stand-in for the game executable "vemra2.exe": appends how it was started to a record file, then stays
// alive for a while so that the launcher's stale-game cleanup has something to find and end.
//
//   VEMRA2_GAME_RECORD       file to append to (UTF-8, CR LF lines); nothing is written when unset
//   VEMRA2_GAME_LIFETIME_MS  how long to stay alive, in milliseconds (default 60000)
//   VEMRA2_GAME_PROTECT      "1": deny everyone the right to terminate this process (an unkillable game)
//
// Each start appends: "pid=" + process id, "cmdline=" + GetCommandLineW, "cwd=" + working folder, then one
// "arg=" line per argument as CommandLineToArgvW splits the command line (the program name left out), and
// "end" last. A game that lives its full time ends with exit code 3, so a test can tell it from a killed one.
#include "ToolText.h"

#include <windows.h>

#include <aclapi.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

constexpr UINT kNaturalExitCode = 3;
constexpr DWORD kDefaultLifetimeMs = 60000;

std::wstring Env(const wchar_t* name)
{
    wchar_t buffer[32768];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, static_cast<DWORD>(std::size(buffer)));
    return (n == 0 || n >= std::size(buffer)) ? std::wstring() : std::wstring(buffer, n);
}

void AppendRecord(const std::wstring& path)
{
    wchar_t cwd[MAX_PATH * 4] = {};
    ::GetCurrentDirectoryW(static_cast<DWORD>(std::size(cwd)), cwd);
    std::string record = "pid=" + std::to_string(::GetCurrentProcessId()) + "\r\ncmdline=" +
                         tooltext::ToUtf8(::GetCommandLineW()) + "\r\ncwd=" + tooltext::ToUtf8(cwd) + "\r\n";
    int argc = 0;
    if (LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc)) {
        for (int i = 1; i < argc; ++i) record += "arg=" + tooltext::ToUtf8(argv[i]) + "\r\n";
        ::LocalFree(argv);
    }
    record += "end\r\n";
    // One append per start, so that games started together never mix their lines.
    HANDLE h = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(h, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    ::CloseHandle(h);
}

// An empty DACL grants nobody anything, so other processes cannot open this one to terminate it.
void DenyTermination()
{
    ACL acl;
    if (!::InitializeAcl(&acl, sizeof acl, ACL_REVISION)) return;
    ::SetSecurityInfo(::GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl,
                      nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    if (Env(L"VEMRA2_GAME_PROTECT") == L"1") DenyTermination();
    const std::wstring record = Env(L"VEMRA2_GAME_RECORD");
    if (!record.empty()) AppendRecord(record);

    DWORD lifetime = kDefaultLifetimeMs;
    const std::wstring lifetimeText = Env(L"VEMRA2_GAME_LIFETIME_MS");
    if (!lifetimeText.empty()) lifetime = static_cast<DWORD>(std::wcstoul(lifetimeText.c_str(), nullptr, 10));
    ::Sleep(lifetime);
    return static_cast<int>(kNaturalExitCode);
}
