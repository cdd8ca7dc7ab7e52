#include "Common.h"

#include "Logger.h"
#include "UIHandle.h"

#include <shlobj.h>
#include <tlhelp32.h>
#include <wrl/client.h>

std::wstring AnsiToWide(const std::string& text)
{
    if (text.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 1) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), n);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

std::string WideToNarrow(const std::wstring& text, UINT codePage)
{
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

void ReplaceAll(std::wstring& text, const std::wstring& search, const std::wstring& replacement)
{
    if (search.empty()) return;  // an empty pattern would match forever
    size_t pos = 0;
    while ((pos = text.find(search, pos)) != std::wstring::npos) {
        text.replace(pos, search.size(), replacement);
        pos += replacement.size();
    }
}

std::wstring GetLocalAppDataPath()
{
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, path, CSIDL_LOCAL_APPDATA, FALSE)) return {};
    return path;
}

DWORD GetProcessIdByName(const std::wstring& name)
{
    if (name.empty()) return kNoProcessId;
    SkinUI::CUniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return kNoProcessId;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    // The first entry is the system's idle process; it is never a game.
    if (!::Process32FirstW(snapshot.Get(), &entry)) return kNoProcessId;
    while (::Process32NextW(snapshot.Get(), &entry)) {
        VLOG(0, "GetProcessIdByName", std::wstring(L"Process32Next processName:") + entry.szExeFile);
        if (::lstrcmpW(entry.szExeFile, name.c_str()) == 0) return entry.th32ProcessID;
    }
    return kNoProcessId;
}

bool EnableDebugPrivilege(DWORD processId)
{
    SkinUI::CUniqueHandle token;
    LUID luid = {};
    bool enabled =
        ::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.AddressOf()) &&
        ::LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &luid);
    if (enabled) {
        TOKEN_PRIVILEGES privileges = {};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Luid = luid;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        // Success here does not mean the privilege was held (ERROR_NOT_ALL_ASSIGNED); the second open tells.
        enabled = ::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr) != 0;
    }
    if (enabled) {
        VLOG(0, "KillProcess", L"EnableDebugPrivilege " + std::to_wstring(processId) + L" true");
    } else {
        const DWORD error = ::GetLastError();
        VLOG(0, "KillProcess",
             L"EnableDebugPrivilege " + std::to_wstring(processId) + L" falsed code:" + std::to_wstring(error));
    }
    return enabled;
}

bool KillProcess(DWORD processId)
{
    SkinUI::CUniqueHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, processId));
    if (!process) {
        const DWORD firstError = ::GetLastError();
        VLOG(0, "KillProcess",
             L"OpenProcess1 " + std::to_wstring(processId) + L" falsed code:" + std::to_wstring(firstError));
        (void)EnableDebugPrivilege(processId);  // the second open shows whether it helped
        process.Put(::OpenProcess(PROCESS_TERMINATE, FALSE, processId));
        if (!process) {
            const DWORD secondError = ::GetLastError();
            VLOG(0, "KillProcess",
                 L"OpenProcess2 " + std::to_wstring(processId) + L" falsed code:" + std::to_wstring(secondError));
            return false;
        }
    }
    return ::TerminateProcess(process.Get(), 0) == 1;
}

namespace {

std::wstring SpecialFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE)) return {};
    return path;
}

}  // namespace

std::wstring GetDesktopDir()
{
    return SpecialFolder(CSIDL_DESKTOPDIRECTORY);
}

std::wstring GetProgramFilesX86Dir()
{
    return SpecialFolder(CSIDL_PROGRAM_FILESX86);
}

std::wstring GetModuleDir()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0) return {};
    std::wstring dir(path, n);
    const size_t slash = dir.rfind(L'\\');
    if (slash != std::wstring::npos) dir.resize(slash);
    return dir;
}

std::wstring ShortcutWorkingDir(const std::wstring& targetPath)
{
    size_t cut = targetPath.rfind(L'\\');
    if (cut == std::wstring::npos) cut = targetPath.rfind(L'/');
    return cut == std::wstring::npos ? targetPath : targetPath.substr(0, cut);
}

bool CreateShortcut(const std::wstring& linkPath, const std::wstring& targetPath, const std::wstring& iconPath)
{
    Microsoft::WRL::ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)))) return false;
    // A link missing one of these still points somewhere useful; only the save decides the result.
    (void)link->SetPath(targetPath.c_str());
    (void)link->SetArguments(L"");
    (void)link->SetIconLocation(iconPath.c_str(), 0);
    (void)link->SetWorkingDirectory(ShortcutWorkingDir(targetPath).c_str());
    Microsoft::WRL::ComPtr<IPersistFile> file;
    if (FAILED(link.As(&file))) return false;
    return SUCCEEDED(file->Save(linkPath.c_str(), FALSE));
}
