// The trivial program again, with the DLLs that the launcher's import table lists (loaded and initialised
// by the system before the entry point): the part of the game-exit start that no change inside the
// launcher's own code removes.
//   bench_trivial_imports.exe                       starts and ends
//   bench_trivial_imports.exe --game-exit-calls HWND
//       also makes the system calls a game-exit start cannot do without, and nothing of the launcher's own
//       code: the log folder (special folder, existence checks), the log file (the folder's write probe,
//       five appended records), the one-launcher mutex, the command line split, the settings file read
//       twice, and the WM_COPYDATA notice to the window HWND (decimal). Its log goes to a folder of its own.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

std::wstring LocalAppData()
{
    wchar_t path[MAX_PATH] = {};
    (void)::SHGetSpecialFolderPathW(nullptr, path, CSIDL_LOCAL_APPDATA, FALSE);
    return path;
}

void EnsureFolder(const std::wstring& folder)
{
    if (!::PathFileExistsW(folder.c_str())) (void)::CreateDirectoryW(folder.c_str(), nullptr);
}

void AppendRecord(HANDLE hLog, const char* text)
{
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    char line[256];
    const int n = std::snprintf(line, sizeof line, "%d-%02d-%02d %02d:%02d:%02d.%3d [floor] : %s\n", st.wYear,
                                st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, text);
    DWORD written = 0;
    (void)::SetFilePointer(hLog, 0, nullptr, FILE_END);
    (void)::WriteFile(hLog, line, static_cast<DWORD>(n), &written, nullptr);
}

void ReadWhole(const std::wstring& path)
{
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_READONLY, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    char buf[4096];
    DWORD got = 0;
    (void)::ReadFile(h, buf, sizeof buf, &got, nullptr);
    ::CloseHandle(h);
}

int GameExitCalls(HWND hParent)
{
    const std::wstring folder = LocalAppData() + L"\\VemraBenchFloor";
    EnsureFolder(folder);
    const std::wstring logFolder = folder + L"\\Log\\";
    EnsureFolder(folder + L"\\Log");

    const std::wstring probe = logFolder + L"debug.txt";
    const HANDLE hProbe = ::CreateFileW(probe.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_ALWAYS, 0, nullptr);
    if (hProbe != INVALID_HANDLE_VALUE) ::CloseHandle(hProbe);
    (void)::DeleteFileW(probe.c_str());
    const HANDLE hLog = ::CreateFileW((logFolder + L"floor.log").c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hLog == INVALID_HANDLE_VALUE) return 1;
    AppendRecord(hLog, "log folder ready");

    const HANDLE hMutex = ::CreateMutexW(nullptr, TRUE, L"VemraBenchFloorMutex");
    (void)::ReleaseMutex(hMutex);
    AppendRecord(hLog, "mutex");

    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv != nullptr) ::LocalFree(argv);
    AppendRecord(hLog, "command line");
    AppendRecord(hLog, "game exit");

    const std::wstring settings = LocalAppData() + L"\\Orbit_Center\\setting.xml";
    ReadWhole(settings);
    ReadWhole(settings);
    AppendRecord(hLog, "notice");

    char record[64] = "floor";
    COPYDATASTRUCT data{};
    data.dwData = 0;
    data.cbData = sizeof record;
    data.lpData = record;
    DWORD_PTR result = 0;
    (void)::SendMessageTimeoutW(hParent, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000,
                                &result);
    ::CloseHandle(hLog);
    if (hMutex != nullptr) ::CloseHandle(hMutex);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--game-exit-calls") == 0)
        return GameExitCalls(reinterpret_cast<HWND>(static_cast<INT_PTR>(std::strtoll(argv[2], nullptr, 10))));
    // Referenced, never called: only their loading is measured.
    static const void* volatile keep[] = {
        reinterpret_cast<const void*>(&::FindWindowW),        reinterpret_cast<const void*>(&::GetStockObject),
        reinterpret_cast<const void*>(&::RegOpenKeyExW),      reinterpret_cast<const void*>(&::CommandLineToArgvW),
        reinterpret_cast<const void*>(&::PathFileExistsW),
    };
    return keep[0] == nullptr ? 1 : 0;
}
