// The launcher imports several system DLLs on first use. Without a failure hook, a DLL or function that is
// missing on the player's system would raise an exception from whatever call needed it and end the
// process with a crash; here it ends with a log line and an exit code that names the cause.
// Linked into the executable itself: the hook must replace the runtime's empty default.
#include "Logger.h"

#include <windows.h>

#include <delayimp.h>

#include <string>

namespace {

std::wstring Widen(const char* text)
{
    std::wstring out;
    if (text == nullptr) return out;
    while (*text != '\0') out += static_cast<wchar_t>(static_cast<unsigned char>(*text++));
    return out;
}

FARPROC WINAPI OnDelayLoadFailure(unsigned notify, PDelayLoadInfo info) noexcept
{
    if (info == nullptr || (notify != dliFailLoadLib && notify != dliFailGetProc)) return nullptr;
    const std::wstring dll = Widen(info->szDll);
    const std::wstring error = std::to_wstring(info->dwLastError);
    UINT exitCode = ERROR_MOD_NOT_FOUND;
    if (notify == dliFailLoadLib) {
        VLOG(0, "DelayLoad", L"LoadLibrary " + dll + L" falsed code:" + error);
    } else {
        exitCode = ERROR_PROC_NOT_FOUND;
        const std::wstring function = info->dlp.fImportByName
                                          ? Widen(info->dlp.szProcName)
                                          : L"#" + std::to_wstring(info->dlp.dwOrdinal);
        VLOG(0, "DelayLoad", L"GetProcAddress " + dll + L"!" + function + L" falsed code:" + error);
    }
    // Going on is impossible: the caller has no way to learn that its call did not happen.
    ::ExitProcess(exitCode);
}

}  // namespace

extern "C" {
PfnDliHook __pfnDliFailureHook2 = &OnDelayLoadFailure;
}
