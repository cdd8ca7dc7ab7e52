// A program that imports, on first use, one function from a DLL that does not exist and one that its DLL
// does not export, with the launcher's failure hook linked in; the test runs it and reads what it leaves.
//   delayload_probe.exe LOGFOLDER absent-dll|absent-function|present
#include "Logger.h"

#include <windows.h>

#include <cwchar>

extern "C" {
// From vemra_absent.dll, which no system has.
int WINAPI VemraAbsentFunction(int value);
// From the system's kernel32.dll, which does not export it.
int WINAPI VemraMissingKernelFunction(int value);
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) return 2;
    std::wstring folder = argv[1];
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    Logger::initializePathDir(folder);
    VLOG(2, "DelayLoadProbe", std::wstring(L"mode:") + argv[2]);
    int result = 0;
    if (std::wcscmp(argv[2], L"absent-dll") == 0) result = VemraAbsentFunction(1);
    else if (std::wcscmp(argv[2], L"absent-function") == 0) result = VemraMissingKernelFunction(1);
    else if (std::wcscmp(argv[2], L"present") != 0) return 2;
    // Only reached when no failing import was called.
    VLOG(2, "DelayLoadProbe", L"returned:" + std::to_wstring(result));
    return 0;
}
