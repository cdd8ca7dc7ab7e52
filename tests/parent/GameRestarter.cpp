// Test helper: keeps a game process alive by starting it again whenever it ends.
//   vemra2_restarter.exe GAME_PATH DURATION_MS
// Restarts until DURATION_MS have passed, then ends the game it started last and exits with the number
// of starts as its exit code.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

HANDLE StartGame(const std::wstring& path)
{
    std::wstring cmd = L"\"" + path + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(path.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return nullptr;
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) return 255;
    const std::wstring game = argv[1];
    const ULONGLONG deadline = ::GetTickCount64() + std::wcstoull(argv[2], nullptr, 10);
    int starts = 0;
    for (ULONGLONG now = ::GetTickCount64(); now < deadline; now = ::GetTickCount64()) {
        HANDLE hGame = StartGame(game);
        if (!hGame) {
            ::Sleep(50);
            continue;
        }
        ++starts;
        const DWORD left = static_cast<DWORD>(deadline - now);
        if (::WaitForSingleObject(hGame, left) == WAIT_TIMEOUT) ::TerminateProcess(hGame, 0);
        ::CloseHandle(hGame);
    }
    return starts;
}
